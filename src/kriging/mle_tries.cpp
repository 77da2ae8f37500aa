#include "kriging/mle_tries.h"

#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "base/interpreter.h"
#include "base/messages.h"
#include "base/ordered_tasks.h"
#include "base/progress.h"
#include "base/settings.h"
#include "data/model_store.h"
#include "kriging/correlation.h"
#include "kriging/fit_state.h"
#include "kriging/kernel.h"
#include "kriging/krigfit.h"
#include "kriging/likelihood_gradient.h"
#include "numeric/storage.h"
#include "numeric/vecutil.h"
#include "optim/minimize.h"

namespace {

bool uses_gradient_search() { return strcmp(g_settings.MleMethod, "gradient") == 0; }

// ---- The progress line of a fit ----
//
// "Fit <y>: try 2/3, 140 evaluations, LogLikelihood 51.3": the tries of the
// fit begun so far, the likelihood evaluations made by them, and the largest
// log-likelihood met. Tries update it from their threads, under a lock; it
// only reads what the tries compute, never changes it.
struct FitProgress {
  const char* name = "";
  int tries = 0;
  int started = 0;
  long evaluations = 0;
  double best = kMleInitialBest;
};

std::mutex g_fit_progress_lock;

void show_fit_progress(const FitProgress& p) {
  if (p.best > kMleInitialBest)
    show_progress("Fit %s: try %d/%d, %ld evaluations, LogLikelihood %.1f", p.name, p.started,
                  p.tries, p.evaluations, p.best);
  else
    show_progress("Fit %s: try %d/%d, %ld evaluations", p.name, p.started, p.tries,
                  p.evaluations);
}

// count evaluations that found the negative log-likelihood value at best.
void note_evaluations(FitProgress* p, long count, double value) {
  if (p == nullptr) return;
  const std::lock_guard<std::mutex> guard(g_fit_progress_lock);
  p->evaluations += count;
  if (-value > p->best) p->best = -value;
  if (progress_due()) show_fit_progress(*p);
}

void note_try_started(FitProgress* p) {
  const std::lock_guard<std::mutex> guard(g_fit_progress_lock);
  p->started++;
  show_fit_progress(*p);
}

// What the search of one try works on: its own workspace, and the progress
// of the fit it belongs to.
struct TryObjective {
  FitState* fit;
  FitProgress* progress;
};

// loglike, counted on the progress line.
double loglike_counted(double* t, int m, void* ctx) {
  const TryObjective* o = static_cast<const TryObjective*>(ctx);
  const double value = loglike(t, m, o->fit);
  note_evaluations(o->progress, 1, value);
  return value;
}

// What one try of the search found: the best t is left in row 0 of the
// vertices, value is the objective there (the negative log-likelihood) and
// evaluations the count the search method reports.
struct TryResult {
  double value;
  int evaluations;
  bool hit_limit;  // the evaluation limit ended the search
  bool by_simplex;  // the downhill simplex made the search
};

// One try of the downhill simplex from the m + 1 start vertices P on its own
// workspace: the vertices are evaluated in order into Y, then the search
// runs.
TryResult run_simplex_try(TryObjective* o, int m, double** P, double* Y) {
  for (int i = 0; i <= m; i++) Y[i] = loglike_counted(P[i], m, o);
  const int k = minimize(loglike_counted, o, kMleFtolAbs, kMleFtolRel, kMleMaxEvaluations, m, P,
                         Y, "simplex");
  return TryResult{Y[0], k, k > kMleMaxEvaluations, true};
}

// One try of the quasi-Newton gradient search from vertex 0 of P (the
// others are evaluated only when it cannot start there), with the Cholesky
// workspace of this try; the eigen path of the try's own workspace values
// the points where R is not positive definite. Where R has no Cholesky
// factor at any vertex (a design with repeated points, say), the try is the
// simplex's from the same vertices, which searches on the pseudo-inverse the
// eigen path gives.
TryResult run_gradient_try(TryObjective* o, int m, double** P, double* Y) {
  {
    const FitState& s = *o->fit;
    const KrigModel* kr = s.kr;
    LikelihoodGradient work;
    likelihood_gradient_setup(&work, kr->X, kr->y, s.n, s.d, s.random_error);
    bool hit_limit = false;
    const int k =
        gradient_search_try(&work, m, P, Y, loglike, o->fit, kMleMaxEvaluations, &hit_limit);
    note_evaluations(o->progress, k, Y[0]);
    if (k > 0) return TryResult{Y[0], k, hit_limit, false};
  }
  print_info("The gradient search cannot start: the correlation matrix is singular at every "
             "start. This try is the simplex's.");
  return run_simplex_try(o, m, P, Y);
}

// The parameters the try ended on, as its line shows them.
void report_try(int try_num, double best, int evals, const FitState& s) {
  FILE* out = out_stream();
  // A penalised or overflowing value is no likelihood to show.
  if (is_genuine_loglik(best))
    fprintf(out, "MLE-Try %2d, MaxLogLike: %.2f, Evals:%4d", try_num, best, evals);
  else
    fprintf(out, "MLE-Try %2d, MaxLogLike: none, Evals:%4d", try_num, evals);
  if (g_settings.RandomError) fprintf(out, ", StochVar/TotalVar:%7.2f", s.share[0]);
  fprintf(out, "\n");
  print_real_vector(s.d, s.alpha, "alpha:");
  print_real_vector(s.d, s.theta, "theta:");
}

void report_fit(const KrigModel* kr) {
  FILE* out = out_stream();
  const double sigma2 = kr->sigma2[0], s = kr->stochratio[0];
  fprintf(out, "LogLikelihood:%f StochVariance:%f", kr->loglik[0], s * sigma2);
  if (g_settings.RandomError) fprintf(out, ", ErrorVar:%7.2f", (1.0 - s) * sigma2);
  fprintf(out, "\n");
  print_real_vector(kr->d[0], kr->alpha, "mle alpha:");
  print_real_vector(kr->d[0], kr->theta, "mle theta:");
}

void report_difficulties(const FitState& s) {
  FILE* out = out_stream();
  if (s.t4 > 0)
    fprintf(out,
            "INFO: Some numerical difficulties in computing likelihood. Frequency:%d.(T4)\n",
            s.t4);
  if (s.t5 > 0)
    fprintf(out,
            "WARNING: Some numerical difficulties in computing likelihood. Frequency:%d.(T5)\n",
            s.t5);
}

// One try of a planned fit: its start vertices (drawn when the fit was
// planned) and what the search left.
struct PlannedTry {
  double** P = nullptr;  // (m + 1) x m: start vertices, then the final simplex
  double* Y = nullptr;   // m + 1 values
  int t4 = 0;
  int t5 = 0;
  bool t2_warned = false;  // the (T2) warning came in this try
};

// A fit in three steps: planned on the calling thread (its messages before
// the first try, every start vertex drawn in order), its tries run on any
// thread, then completed on the calling thread (best try, reports, the final
// model).
// What a fit may change in the model before it knows whether it succeeds:
// kept to be put back when no try reaches a genuine likelihood.
struct EarlierParameters {
  std::vector<double> alpha, theta;
  double stochratio = 1.0;
  double loglik = 0.0;
  int init_alpha = 0, init_theta = 0;
};

struct PlannedFit {
  KrigModel* kr = nullptr;
  int report = 0;
  int d = 0;
  int m = 0;
  std::string lead;  // printed before the first try's output
  std::vector<PlannedTry> tries;
  FitProgress progress;
  EarlierParameters earlier;
};

void keep_earlier_parameters(const KrigModel* kr, EarlierParameters* e) {
  const int d = kr->d[0];
  e->alpha.assign(kr->alpha, kr->alpha + d);
  e->theta.assign(kr->theta, kr->theta + d);
  e->stochratio = kr->stochratio[0];
  e->loglik = kr->loglik[0];
  e->init_alpha = kr->init.alpha;
  e->init_theta = kr->init.theta;
}

void restore_earlier_parameters(const EarlierParameters& e, KrigModel* kr) {
  copy_real_vector(kr->d[0], e.alpha.data(), kr->alpha);
  copy_real_vector(kr->d[0], e.theta.data(), kr->theta);
  kr->stochratio[0] = e.stochratio;
  kr->loglik[0] = e.loglik;
  kr->init.alpha = e.init_alpha;
  kr->init.theta = e.init_theta;
}

// True when some try of the fit ended on a genuine likelihood: not every
// point it met had a singular correlation matrix or overflowing sums.
bool some_try_is_genuine(const PlannedFit* fit) {
  for (const PlannedTry& t : fit->tries)
    if (is_genuine_loglik(-t.Y[0])) return true;
  return false;
}

void report_no_genuine_try(const KrigModel* kr) {
  fprintf(out_stream(),
          "Sorry, no try of the fit of %s reached a finite likelihood: at every point tried the "
          "correlation matrix is singular or the sums overflow. %s is not fitted (earlier "
          "parameters, if any, are kept); remove repeated design points or set RandomError = "
          "TRUE, rescale it, or raise Tries.\n",
          kr->yname, kr->yname);
}

void plan_fit(PlannedFit* fit) {
  KrigModel* kr = fit->kr;
  keep_earlier_parameters(kr, &fit->earlier);
  krCalcF(kr);  // r must be 1
  const int d = kr->d[0];
  kr->loglik[0] = kMleInitialBest;
  const int m = kernel_parameter_count(d, g_settings.RandomError);
  if (!g_settings.RandomError && kr->stochratio[0] != 1.0)
    print_warning("Setting ErrorVariance to 0.0 for Fitting");
  kr->stochratio[0] = 1.0;
  fit->d = d;
  fit->m = m;
  fit->tries.resize(g_settings.Tries);
  fit->progress.name = kr->yname;
  fit->progress.tries = g_settings.Tries;
  for (int attempt = 0; attempt < g_settings.Tries; attempt++) {
    PlannedTry& t = fit->tries[attempt];
    alloc_real_matrix(m + 1, m, &t.P);
    alloc_real_vector(m + 1, &t.Y);
    draw_start_vertices(kr, attempt + 1, m, t.P);
  }
}

// Try `attempt` (from 0) of a planned fit, on its own workspace, by the
// search MleMethod names.
void run_planned_try(PlannedFit* fit, int attempt) {
  PlannedTry& t = fit->tries[attempt];
  note_try_started(&fit->progress);
  FitState work;
  open_try_fit(work, fit->kr);
  TryObjective objective{&work, &fit->progress};
  const bool use_gradient = uses_gradient_search();
  const TryResult result = use_gradient ? run_gradient_try(&objective, fit->m, t.P, t.Y)
                                        : run_simplex_try(&objective, fit->m, t.P, t.Y);
  const int k = result.evaluations;
  if (k == 0)
    print_warning("One MLE try failed to start");
  else if (result.hit_limit)
    print_warning("MLE try was interrupted when max iteration was reached");
  // The simplex count includes the d + 1 evaluations of its start vertices.
  const int evals = result.by_simplex ? fit->d + 1 + k : k;
  corpar_from_t(t.P[0], fit->d, work.random_error, work.alpha, work.theta, work.share);
  if (fit->report) report_try(attempt + 1, -result.value, evals, work);
  t.t4 = work.t4;
  t.t5 = work.t5;
  t.t2_warned = work.t2_warned;
  close_fit(work);
}

// The best try made final in the model, with the closing reports.
void complete_fit(PlannedFit* fit) {
  KrigModel* kr = fit->kr;
  const int d = fit->d, m = fit->m;
  FitState s;
  open_model_fit(s, kr);
  double* best_alpha = nullptr;
  double* best_theta = nullptr;
  alloc_real_vector(d, &best_alpha);
  alloc_real_vector(d, &best_theta);
  double best_stochratio = 1.0;
  const int tries = static_cast<int>(fit->tries.size());
  for (int attempt = 0; attempt < tries; attempt++) {
    const PlannedTry& t = fit->tries[attempt];
    set_corpar(kr, t.P[0], d);
    // The first try is always kept, so that the best copies hold parameters
    // even when every try ends below the starting best.
    if (attempt == 0 || -t.Y[0] > kr->loglik[0]) {
      kr->loglik[0] = -t.Y[0];
      copy_real_vector(d, kr->alpha, best_alpha);
      copy_real_vector(d, kr->theta, best_theta);
      best_stochratio = kr->stochratio[0];
    }
    s.t4 += t.t4;
    s.t5 += t.t5;
    s.t2_warned = t.t2_warned;
  }
  report_difficulties(s);
  if (tries > 0 && -fit->tries[tries - 1].Y[0] != kr->loglik[0]) {
    copy_real_vector(d, best_alpha, kr->alpha);
    copy_real_vector(d, best_theta, kr->theta);
    kr->stochratio[0] = best_stochratio;
  }
  if (some_try_is_genuine(fit)) {
    finish_fit(s, kr, uses_gradient_search());
    kr->fit_failure = kFitNotFailed;
    report_fit(kr);
  } else {
    // A penalised value is no likelihood: the model keeps what it held.
    restore_earlier_parameters(fit->earlier, kr);
    kr->fit_failure = kFitNoFiniteTry;
    report_no_genuine_try(kr);
  }

  for (PlannedTry& t : fit->tries) {
    free_real_matrix(m + 1, m, &t.P);
    free_real_vector(m + 1, &t.Y);
  }
  free_real_vector(d, &best_alpha);
  free_real_vector(d, &best_theta);
  close_fit(s);
}

}  // namespace

struct FitBatch {
  HeldOutput held;                 // the calling thread's output since the last fit was added
  std::vector<PlannedFit*> fits;   // each lead holding what was printed before it was added
};

FitBatch* open_fit_batch() {
  FitBatch* batch = new FitBatch;
  hold_output(&batch->held);
  return batch;
}

void add_to_fit_batch(FitBatch* batch, KrigModel* kr, int report) {
  if (!likelihood_can_hold(kr->n[0], kr->y)) {
    fprintf(out_stream(),
            "Sorry, the values of %s are too large for the likelihood: the squares of their "
            "spread overflow. Rescale %s (divide it by a power of ten) and read y again. %s is "
            "not fitted.\n",
            kr->yname, kr->yname, kr->yname);
    kr->fit_failure = kFitValuesOverflow;
    return;
  }
  PlannedFit* fit = new PlannedFit;
  fit->kr = kr;
  fit->report = report;
  fit->lead = release_output(&batch->held);
  batch->fits.push_back(fit);
  hold_output(&batch->held);
}

namespace {

void put_text(FILE* out, const std::string& text) {
  if (!text.empty()) fwrite(text.data(), 1, text.size(), out);
}

// Plans the fits in the order they were added, each one's messages joining
// its lead, every start vertex drawn in the order of a sequential run.
// Returns how many were planned: fewer than all when the planning of one
// ended in a fatal error (*error).
size_t plan_fits(FitBatch* batch, FatalError* error) {
  for (size_t k = 0; k < batch->fits.size(); k++) {
    PlannedFit* fit = batch->fits[k];
    std::string text;
    const bool planned = run_captured([fit] { plan_fit(fit); }, &text, error);
    fit->lead += text;
    if (!planned) return k;
  }
  return batch->fits.size();
}

// Runs the tries of the fits on the pool, then puts out each fit's lead and
// tries in order and completes it. A try that ended in a fatal error raises
// it once everything printed before it is out.
void run_planned_fits(const std::vector<PlannedFit*>& fits) {
  std::vector<PlannedFit*> owner;
  std::vector<int> attempt;
  for (PlannedFit* fit : fits) {
    for (int i = 0; i < static_cast<int>(fit->tries.size()); i++) {
      owner.push_back(fit);
      attempt.push_back(i);
    }
  }
  // Nothing comes before the first fit's lead ("Fitting y1 ..."): it goes
  // out now, so that an output file shows the fit has begun.
  FILE* out = out_stream();
  if (!fits.empty()) {
    put_text(out, fits[0]->lead);
    fits[0]->lead.clear();
  }
  std::vector<TaskRecord> records;
  run_ordered_tasks(
      static_cast<int>(owner.size()), g_settings.Threads,
      [&owner, &attempt](int i) { run_planned_try(owner[i], attempt[i]); }, &records);

  out = out_stream();
  size_t task = 0;
  for (PlannedFit* fit : fits) {
    put_text(out, fit->lead);
    for (size_t i = 0; i < fit->tries.size(); i++, task++) {
      put_text(out, records[task].output);
      if (records[task].failed) throw records[task].fatal;
    }
    complete_fit(fit);
    delete fit;
  }
}

}  // namespace

void run_fit_batch(FitBatch* batch) {
  const std::string trailing = release_output(&batch->held);
  FatalError planning_error;
  const size_t planned = plan_fits(batch, &planning_error);
  const std::vector<PlannedFit*> ready(batch->fits.begin(), batch->fits.begin() + planned);
  run_planned_fits(ready);
  // A fit whose planning failed ends the run after the fits before it, with
  // its own messages; what was printed after it was added never was.
  if (planned < batch->fits.size()) {
    put_text(out_stream(), batch->fits[planned]->lead);
    throw planning_error;
  }
  put_text(out_stream(), trailing);
  delete batch;
}

void mle_fit(KrigModel* kr, int report) {
  FitBatch* batch = open_fit_batch();
  add_to_fit_batch(batch, kr, report);
  run_fit_batch(batch);
}
