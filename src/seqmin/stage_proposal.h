// A stage of new points proposed one after the other: each maximises the
// expected-improvement criterion given the observed data and the points
// already proposed in the stage, their standard errors counting as observed
// while their responses stay unknown. MinimizeStage writes such a stage out;
// Minimize with ParallelEvaluations > 1 evaluates one per iteration.
#ifndef DORVE_SEQMIN_STAGE_PROPOSAL_H_
#define DORVE_SEQMIN_STAGE_PROPOSAL_H_

struct KrigModel;
struct MinimizeContext;

// The stage design: the response model's n observed points followed by the
// points proposed so far (rows holds room for n + the stage's size).
struct StageDesign {
  double** points = nullptr;  // rows x d
  double* y = nullptr;        // rows values the predictor is handed; never read
  int rows = 0;
  int d = 0;
  int n = 0;  // observed points at the start of the stage
  MinimizeContext* context = nullptr;  // the criterion's context that sees it
};

// Allocates the stage design for n_new points after the response model's
// design and makes the criterion of the context c see it (the stage fields
// of c). The models must have their decompositions.
void open_stage(MinimizeContext* c, const KrigModel* resp, int n_new, StageDesign* stage);

// Proposes the next point of the stage: on success (kCriterionFound) x (d
// values) is the point, *best its criterion, and the point joins the stage
// design. Any other status leaves the stage as it was.
int propose_stage_point(StageDesign* stage, KrigModel* resp, double* best, double* x);

// Points proposed so far in the open stage, the observed ones included.
int stage_size(const StageDesign& stage);

// The criterion sees the observed data alone again; the storage is released
// (a stage never opened is left as it is).
void close_stage(StageDesign* stage);

#endif  // DORVE_SEQMIN_STAGE_PROPOSAL_H_
