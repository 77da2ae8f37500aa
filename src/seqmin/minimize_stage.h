// The MinimizeStage command: proposes a stage of new design points at once,
// without evaluating the objective. Each point maximises the
// expected-improvement criterion given the observed data and the points
// already proposed (their standard errors count as observed, their
// responses stay unknown). The stage design (old design, then the new
// points) goes to a matrix file or to the screen.
#ifndef DORVE_SEQMIN_MINIMIZE_STAGE_H_
#define DORVE_SEQMIN_MINIMIZE_STAGE_H_

struct KrigModel;
struct KrigArray;

// Most points one stage may propose. Each point costs an eigen decomposition
// of order n plus the points before it and up to 2000 criterion searches, so
// a stage of 10000 points is already beyond any practical run; the bound also
// keeps the stage design's n + k rows far inside int.
constexpr int kMaxStagePoints = 10000;

// Runs the stage of n_new points (1 to kMaxStagePoints) and writes the
// stage design to file ("screen" or "s" shows it); returns the status of the last criterion
// maximisation (0 when every point was found; -1 when an entry check failed).
int minimize_stage(KrigModel* models, KrigArray* ka, int n_new, const char* file);

#endif  // DORVE_SEQMIN_MINIMIZE_STAGE_H_
