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

// Tokens: MinimizeStage N > file ("screen" or "s" shows the design).
void MinimizeStage(KrigModel* models, KrigArray* ka, char** tokens, int count);

// Runs the stage of n_new points; returns the status of the last criterion
// maximisation (0 when every point was found; -1 when an entry check failed).
int minimize_stage(KrigModel* models, KrigArray* ka, int n_new, const char* file);

#endif  // DORVE_SEQMIN_MINIMIZE_STAGE_H_
