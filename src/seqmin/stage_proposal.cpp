#include "seqmin/stage_proposal.h"

#include "data/model_store.h"
#include "kriging/predictor.h"
#include "numeric/storage.h"
#include "numeric/vecutil.h"
#include "seqmin/criterion_max.h"
#include "seqmin/expected_improvement.h"

void open_stage(MinimizeContext* c, const KrigModel* resp, int n_new, StageDesign* stage) {
  const int n = resp->n[0], d = resp->d[0];
  stage->rows = n + n_new;
  stage->d = d;
  stage->n = n;
  alloc_real_matrix(stage->rows, d, &stage->points);
  alloc_real_vector(stage->rows, &stage->y);
  init_real_vec(0.0, stage->rows, stage->y);
  copy_real_matrix(n, d, resp->X, stage->points);
  stage->context = c;
  c->stage = true;
  c->stage_design = stage->points;
  c->stage_y = stage->y;
  c->stage_n = n;
}

int propose_stage_point(StageDesign* stage, KrigModel* resp, double* best, double* x) {
  MinimizeContext& c = *stage->context;
  const int N = c.stage_n, d = resp->d[0], r = resp->r[0];
  init_krigmse_anyX(&c.stage_state, resp, c.stage_design, N, d, r);
  const int status = maximize_criterion(c, resp, best, x);
  free_krigmse_anyX(&c.stage_state, N, r);
  if (status != kCriterionFound) return status;
  copy_real_vector(d, x, c.stage_design[N]);
  c.stage_n = N + 1;
  return status;
}

int stage_size(const StageDesign& stage) { return stage.context->stage_n; }

void close_stage(StageDesign* stage) {
  if (stage->context) {
    MinimizeContext& c = *stage->context;
    c.stage = false;
    c.stage_design = nullptr;
    c.stage_y = nullptr;
  }
  if (stage->points) free_real_matrix(stage->rows, stage->d, &stage->points);
  if (stage->y) free_real_vector(stage->rows, &stage->y);
  *stage = StageDesign();
}
