#include "seqmin/stage_proposal.h"

#include "data/model_store.h"
#include "kriging/predictor.h"
#include "numeric/storage.h"
#include "numeric/vecutil.h"
#include "seqmin/criterion_max.h"
#include "seqmin/expected_improvement.h"

void open_stage(const KrigModel* resp, int n_new, StageDesign* stage) {
  const int n = resp->n[0], d = resp->d[0];
  stage->rows = n + n_new;
  stage->d = d;
  stage->n = n;
  alloc_real_matrix(stage->rows, d, &stage->points);
  alloc_real_vector(stage->rows, &stage->y);
  init_real_vec(0.0, stage->rows, stage->y);
  copy_real_matrix(n, d, resp->X, stage->points);
  g_minctx.stage = true;
  g_minctx.stage_design = stage->points;
  g_minctx.stage_y = stage->y;
  g_minctx.stage_n = n;
}

int propose_stage_point(KrigModel* resp, double* best, double* x) {
  const int N = g_minctx.stage_n, d = resp->d[0], r = resp->r[0];
  init_krigmse_anyX(resp, g_minctx.stage_design, N, d, r);
  const int status = maximize_criterion(resp, best, x);
  free_krigmse_anyX(N, r);
  if (status != kCriterionFound) return status;
  copy_real_vector(d, x, g_minctx.stage_design[N]);
  g_minctx.stage_n = N + 1;
  return status;
}

int stage_size() { return g_minctx.stage_n; }

void close_stage(StageDesign* stage) {
  g_minctx.stage = false;
  g_minctx.stage_design = nullptr;
  g_minctx.stage_y = nullptr;
  if (stage->points) free_real_matrix(stage->rows, stage->d, &stage->points);
  if (stage->y) free_real_vector(stage->rows, &stage->y);
  *stage = StageDesign();
}
