#include "seqmin/minimize_loop.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "base/interpreter.h"
#include "base/messages.h"
#include "base/progress.h"
#include "base/settings.h"
#include "data/database_listing.h"
#include "data/dumps.h"
#include "data/model_store.h"
#include "kriging/correlation.h"
#include "kriging/mle_tries.h"
#include "seqmin/criterion_max.h"
#include "seqmin/evaluation_batch.h"
#include "seqmin/evaluation_journal.h"
#include "seqmin/expected_improvement.h"
#include "seqmin/folder_lock.h"
#include "seqmin/minimize_steps.h"
#include "seqmin/stage_proposal.h"

namespace {

constexpr int kTempDumpFrom = 100;
constexpr int kConvergedRunsNeeded = 3;
// Outcome of a stage with an evaluation that left no answer: the run ends
// once the other points are added and the work storage is released.
constexpr int kStageEvaluationFailed = -2;

const char* const kDashes56 = "--------------------------------------------------------\n";

void set_target_from_ymin(MinimizeContext* c) {
  if (g_settings.target_set) return;
  c->target = g_ymin;
  g_settings.MinimizationTarget = g_ymin;
}

// "Minimize: evaluation 12/40, best 0.4012": the next evaluation, of
// MaxEvaluations when set, and the best value so far.
void show_minimize_progress(int evaluations, int budget) {
  if (budget > 0)
    show_progress("Minimize: evaluation %d/%d, best %.4g", evaluations + 1, budget, g_ymin);
  else
    show_progress("Minimize: evaluation %d, best %.4g", evaluations + 1, g_ymin);
}

// Refits the response and every constraint; false when one of them could not
// be fitted (it said why).
bool fit_models(KrigModel* models, KrigArray* ka) {
  FILE* out = out_stream();
  KrigModel* resp = response_of(models, ka);
  fprintf(out, "Fitting Response %s...\n", resp->yname);
  mle_fit(resp, 0);
  bool fitted = resp->fit_failure == kFitNotFailed;
  for (int c = 0; c < ka->ncons; c++) {
    KrigModel* con = &models[ka->cons_index[c]];
    fprintf(out, "Fitting Constraint %s...\n", con->yname);
    mle_fit(con, 0);
    if (con->fit_failure != kFitNotFailed) fitted = false;
  }
  return fitted;
}

// The models refitted when the schedule says so (kept on disk from 100
// observations on), otherwise their R, F and decomposition brought up to
// their present parameters. False when a refit failed.
bool update_models(KrigModel* models, KrigArray* ka, int it, int n, int* last_fit_n) {
  if (!do_mle(it, n, *last_fit_n)) {
    build_prediction_decomposition(response_of(models, ka));
    for (int c = 0; c < ka->ncons; c++) build_prediction_decomposition(&models[ka->cons_index[c]]);
    return true;
  }
  if (!fit_models(models, ka)) return false;
  *last_fit_n = n;
  if (n >= kTempDumpFrom) {
    char note[96];
    snprintf(note, sizeof note, "Temporary storage of response with %d observations.", n);
    temp_dump(response_of(models, ka), note);
  }
  return true;
}

// Points the next stage holds: q, or what is left of MaxEvaluations.
int next_stage_size(int q, int evaluations) {
  const int budget = g_settings.MaxEvaluations;
  if (budget > 0 && budget - evaluations < q) return budget - evaluations;
  return q;
}

// The stage's first point, the one a single evaluation would choose: the
// convergence rule reads its criterion (*best). With several evaluations at
// once (q > 1) the stage design is open from this point on; the later
// points' criteria count the earlier points as observed and are not compared.
int propose_first_point(MinimizeContext* c, KrigModel* resp, int q, int size,
                        StageDesign* design, EvaluationBatch* batch, double* best) {
  int status;
  if (q == 1) {
    status = maximize_criterion(*c, resp, best, batch->points[0]);
  } else {
    open_stage(c, resp, size, design);
    status = propose_stage_point(design, resp, best, batch->points[0]);
  }
  batch->criteria[0] = *best;
  return status;
}

// Proposes points 2.. of the stage. A point that cannot be found ends the
// stage there; the points found so far are still evaluated. Returns the
// stage's size.
int propose_rest_of_stage(StageDesign* design, KrigModel* resp, EvaluationBatch* batch,
                          int size) {
  for (int i = 1; i < size; i++) {
    if (propose_stage_point(design, resp, &batch->criteria[i], batch->points[i]) !=
        kCriterionFound)
      return i;
  }
  return size;
}

// Adds the answered points in proposal order: the journal first (one
// rewrite holding all of them), then for each ymin, the target and its
// report, then they join the models. Returns how many were added.
int add_answered_points(MinimizeContext* c, KrigModel* models, KrigArray* ka,
                        const EvaluationBatch* batch, int size, int n, bool random_error) {
  std::vector<int> answered;
  std::vector<const double*> xs, ys;
  for (int i = 0; i < size; i++) {
    if (batch->outcomes[i] != kBatchAnswered) continue;
    answered.push_back(i);
    xs.push_back(batch->points[i]);
    ys.push_back(batch->answers[i]);
  }
  const int added = static_cast<int>(answered.size());
  if (added == 0) return 0;
  // On disk before anything else can end the run.
  journal_evaluations(models, ka, added, xs.data(), ys.data());
  FILE* out = out_stream();
  for (int i = 0; i < added; i++) {
    if (random_error)
      calc_ymin(ka, models);
    else
      update_ymin(ka, ys[i], n + i + 1);
    set_target_from_ymin(c);
    report_new_point(*c, n + i, batch->d, xs[i], batch->k, ys[i], batch->criteria[answered[i]],
                     ka->resp_index[0], c->constraints);
    fprintf(out, "%s", kDashes56);
  }
  for (int i = 0; i < added; i++) append_observation(models, ka, xs[i], ys[i]);
  return added;
}

// The rest of one stage whose first point is proposed: the other points,
// their evaluation, and the answered points added to the models (*added of
// them). Returns kCriterionFound to go on, kMinimizeNaResponse when an
// evaluation answered NA, inf or nan, or kStageEvaluationFailed when one has
// no answer (batch->failure says why).
int finish_stage(MinimizeContext* c, KrigModel* models, KrigArray* ka, EvaluationBatch* batch,
                 int size, StageDesign* design, int n, bool random_error, int* evaluated,
                 int* added) {
  KrigModel* resp = response_of(models, ka);
  size = propose_rest_of_stage(design, resp, batch, size);
  close_stage(design);
  evaluate_batch(batch, size, resp->range);
  *evaluated = size;
  *added = add_answered_points(c, models, ka, batch, size, n, random_error);
  int status = kCriterionFound;
  for (int i = 0; i < size; i++) {
    if (batch->outcomes[i] == kBatchUnusable &&
        refuse_unusable_answer(models, batch->k, batch->answers[i]))
      status = kMinimizeNaResponse;
  }
  if (batch->failure[0] != '\0') status = kStageEvaluationFailed;
  return status;
}

// A failed evaluation (no answer, a failed or overrunning command, an
// exchange file that cannot be written) ends the run from a command file,
// as it always has: the journal holds every point answered before. At the
// console Minimize stops instead and the session keeps its models, with
// every point answered added.
int stop_on_failed_evaluation(const char* message) {
  if (!g_interp.interactive) fatal_error(message);
  fprintf(out_stream(),
          "ERROR: %s\nMinimize stops; the point of a failed evaluation is not added.\n", message);
  return kMinimizeEvaluationFailed;
}

}  // namespace

int minimize_sequential(KrigModel* models, KrigArray* ka, bool random_error) {
  if (!minimize_entry_checks(models, ka, false)) return -1;
  const int q = g_settings.ParallelEvaluations;
  WorkingFolderLock lock;
  if (!own_files_are_safe(q, "Minimize") || !lock.take("Minimize")) return -1;
  KrigModel* resp = response_of(models, ka);
  EvaluationBatch batch;
  if (!open_evaluation_batch(q, resp->d[0], ky_count(ka), &batch)) return -1;
  FILE* out = out_stream();
  MinimizeContext c;
  c.models = models;
  c.ka = ka;
  c.constraints = ka->ncons > 0;
  c.d = resp->d[0];
  if (ka->nresp > 1) print_info("Minimize for first non - constraint only.");
  print_database(models, ka);

  int n = resp->n[0];
  c.n_obs = n;
  calc_ymin(ka, models);
  c.target = g_settings.target_set ? g_settings.MinimizationTarget : g_ymin;
  set_target_from_ymin(&c);
  const bool quantile = strcmp(g_settings.StoppingCriterion, "quantile") == 0;
  if (quantile) build_quantile_grid(resp);

  int it = 0, conv = 0, last_fit_n = 1, status = kCriterionFound;
  int evaluations = 0;  // objective calls of this run
  double best = 0.0;
  do {
    show_minimize_progress(evaluations, g_settings.MaxEvaluations);
    if (!update_models(models, ka, it, n, &last_fit_n)) {
      fprintf(out, "Minimize stops: a model could not be fitted.\n");
      status = kMinimizeFitFailed;
      break;
    }
    it++;
    show_minimize_progress(evaluations, g_settings.MaxEvaluations);
    StageDesign design;
    const int size = next_stage_size(q, evaluations);
    status = propose_first_point(&c, resp, q, size, &design, &batch, &best);
    conv = count_convergence(conv, n, c.target, best);
    if (status != kCriterionFound || conv >= kConvergedRunsNeeded) {
      close_stage(&design);
      end_progress();  // out may be the terminal the line is on
      fprintf(out, "Final MaxCriterion : %f\n", best);
      fprintf(out, "Best Value found: ymin=%6.4e\n", g_ymin);
      break;
    }
    int evaluated = 0, added = 0;
    status = finish_stage(&c, models, ka, &batch, size, &design, n, random_error, &evaluated,
                          &added);
    evaluations += evaluated;
    raise_refit_interval_if_stepped_over(n, n + added);
    n += added;
    if (status != kCriterionFound) break;
    if (g_settings.MaxEvaluations > 0 && evaluations >= g_settings.MaxEvaluations) {
      fprintf(out, "Minimize stops: %d objective evaluation%s made (MaxEvaluations = %d).\n",
              evaluations, evaluations == 1 ? "" : "s", g_settings.MaxEvaluations);
      fprintf(out, "Best Value found: ymin=%6.4e\n", g_ymin);
      status = kMinimizeBudgetSpent;
      break;
    }
  } while (conv < kConvergedRunsNeeded && status == kCriterionFound);

  if (quantile) release_quantile_grid();
  char failure[kExchangeMessageSize];
  snprintf(failure, sizeof failure, "%s", batch.failure);
  release_evaluation_batch(&batch);
  if (status == kStageEvaluationFailed) status = stop_on_failed_evaluation(failure);
  return status;
}
