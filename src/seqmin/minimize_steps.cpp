#include "seqmin/minimize_steps.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "base/interpreter.h"
#include "base/messages.h"
#include "base/settings.h"
#include "data/finite_checks.h"
#include "data/init_checks.h"
#include "data/model_store.h"
#include "data/output_matrices.h"
#include "kriging/mle_tries.h"
#include "kriging/predictor.h"
#include "numeric/storage.h"
#include "numeric/vecutil.h"
#include "seqmin/expected_improvement.h"

double g_ymin = 0.0;
int g_ymin_index = 1;

namespace {

constexpr int kYNamesCapacity = 150;
constexpr int kDoMleRaiseAt = 100;
constexpr int kDoMleRaisedFrequency = 10;

// The grid of the "quantile" stopping rule, built by minimize_sequential.
struct QuantileGrid {
  double** points = nullptr;
  int count = 0;
  int d = 0;
  KrigModel* model = nullptr;  // the response model predicted on it
};
QuantileGrid g_quantile;

// The smoothed prediction of the response model at its design point index
// (1-based), from its own X and y.
double smoothed_response(KrigModel* kr, int index) {
  const int n = kr->n[0], d = kr->d[0], r = kr->r[0];
  double** result = nullptr;
  alloc_real_matrix(1, 2, &result);
  double* point[1] = {kr->X[index - 1]};
  AnyXState state;
  init_krigmse_anyX(&state, kr, kr->X, n, d, r);
  krigmse_anyX(&state, kr, kr->X, kr->y, n, d, 1, point, result);
  free_krigmse_anyX(&state, n, r);
  const double value = result[0][0];
  free_real_matrix(1, 2, &result);
  return value;
}

// Smallest response among the observations whose constraints are met.
double feasible_minimum(KrigModel* models, KrigArray* ka, int* index) {
  const int n = models[0].n[0];
  const int k = ky_count(ka);
  const int resp = ka->resp_index[0];
  double** ymat = nullptr;
  double* values = nullptr;
  int* rows = nullptr;
  alloc_real_matrix(n, k, &ymat);
  alloc_real_vector(n, &values);
  alloc_int_vector(n, &rows);
  char names[kYNamesCapacity];
  if (construct_ymat(models, ka, ymat, names, kYNamesCapacity))
    fatal_error("calc_ymin: y labels are too long .");
  int m = 0;
  for (int i = 0; i < n; i++) {
    if (check_constraints(1, k, &ymat[i], ka->ydescrip)) continue;
    values[m] = ymat[i][resp];
    rows[m] = i;
    m++;
  }
  int position = 0;
  const double minimum = real_minimum_index(m, values, &position);
  *index = rows[position - 1] + 1;
  free_real_matrix(n, k, &ymat);
  free_real_vector(n, &values);
  free_int_vector(n, &rows);
  return minimum;
}

}  // namespace

void build_quantile_grid(KrigModel* kr) {
  g_quantile.d = kr->d[0];
  g_quantile.model = kr;
  grid(g_settings.GridSize, g_quantile.d, kr->range, &g_quantile.points, &g_quantile.count);
}

void release_quantile_grid() {
  if (g_quantile.points) free_real_matrix(g_quantile.count, g_quantile.d, &g_quantile.points);
  g_quantile = QuantileGrid();
}

// ---- Shared entry checks ----

bool check_constraint_models(KrigModel* models, KrigArray* ka, bool fitted) {
  bool ok = true;
  for (int c = 0; c < ka->ncons; c++) {
    const KrigModel* con = &models[ka->cons_index[c]];
    const KrigInit& init = con->init;
    if (!check_initialized(init, "X", "y", "range", nullptr, nullptr, true)) ok = false;
    if (fitted && !check_initialized(init, "alpha", "beta", "theta", "var", nullptr, true))
      ok = false;
    if (fitted && !last_fit_usable(con)) ok = false;
    if (!responses_are_ready(con)) ok = false;
  }
  if (!ok) fprintf(out_stream(), "The previous message(s) refer to the constraints\n");
  return ok;
}

bool minimize_entry_checks(KrigModel* models, KrigArray* ka, bool fitted) {
  if (!check_responses(ka)) return false;
  if (!designs_are_usable(models, ka)) return false;
  if (ka->ncons > 0 && !check_constraint_models(models, ka, fitted)) return false;
  const KrigModel* resp = response_of(models, ka);
  const KrigInit& init = resp->init;
  bool ready;
  if (!fitted)
    ready = check_initialized(init, "X", "y", "range", "FuncName", nullptr, true);
  else
    ready = check_initialized(init, "X", "y", "range", nullptr, nullptr, true) &&
            check_initialized(init, "alpha", "beta", "theta", "var", nullptr, true) &&
            last_fit_usable(resp);
  // Missing or non-finite responses can neither be fitted nor give ymin.
  const bool responses = responses_are_ready(resp);
  return ready && responses;
}

// ---- ymin ----

void calc_ymin(KrigArray* ka, KrigModel* models) {
  KrigModel* resp = response_of(models, ka);
  if (ka->ncons > 0)
    g_ymin = feasible_minimum(models, ka, &g_ymin_index);
  else
    g_ymin = real_minimum_index(resp->n[0], resp->y, &g_ymin_index);
  // Smoothing needs fitted parameters; before the first fit of a Minimize
  // run the observed value stands.
  if (g_settings.RandomError && resp->init.alpha && resp->init.theta && resp->init.var)
    g_ymin = smoothed_response(resp, g_ymin_index);
}

void update_ymin(KrigArray* ka, const double* ynew, int row) {
  const double y = ynew[ka->resp_index[0]];
  if (!(y < g_ymin)) return;
  double* rows[1] = {const_cast<double*>(ynew)};
  if (ka->ncons > 0 && check_constraints(1, ky_count(ka), rows, ka->ydescrip)) return;
  g_ymin = y;
  g_ymin_index = row;
}

// ---- Schedule and stopping rule ----

bool do_mle(int it, int n, int last_fit_n) {
  check_invariant(last_fit_n != 0, "do_mle: Code Bug , last_mle_n==0");
  if (n == kDoMleRaiseAt && g_settings.MleFrequency < kDoMleRaisedFrequency)
    g_settings.MleFrequency = kDoMleRaisedFrequency;
  if (it == 0) return true;
  if (n >= g_settings.MleMaxObs) return false;
  const double p = g_settings.MlePercentage;
  if (p != 0.0) return p <= static_cast<double>(n) / last_fit_n - 1;
  return it % g_settings.MleFrequency == 0;
}

bool ConvergeCrit(double target, double best) {
  const char* rule = g_settings.StoppingCriterion;
  if (strcmp(rule, "tolerance") == 0) {
    if (best < g_settings.StoppingAbsoluteTolerance) return true;
    return target != 0.0 && fabs(best / target) < g_settings.StoppingRelativeTolerance;
  }
  if (strcmp(rule, "quantile") == 0) {
    if (g_quantile.points && g_quantile.model) {
      double** result = nullptr;
      alloc_real_matrix(g_quantile.count, 2, &result);
      krigblup(g_quantile.model, g_quantile.count, g_quantile.points, result);
      int zero = 0;
      for (int i = 0; i < g_quantile.count; i++)
        if (!(result[i][1] > 0.0)) zero++;
      free_real_matrix(g_quantile.count, 2, &result);
      if (zero > 0)
        fprintf(out_stream(), "%d variables in entire grid have 0 standard error.\n)", zero);
    }
    fatal_error("This option has been removed");
  }
  fatal_error("ConvergeCrit: This method doesn't exist ");
}

int count_convergence(int conv, int n, double target, double best) {
  if (g_settings.MinimumSample > 0 && n < g_settings.MinimumSample) return 0;
  if (ConvergeCrit(target, best)) return conv + 1;
  if (conv > 0) print_info("3 Consecutive Convergences Interrupted");
  return 0;
}
// do_mle raises MleFrequency when the design holds exactly kDoMleRaiseAt
// points; a stage can step over that count, which raises it all the same.
void raise_refit_interval_if_stepped_over(int previous_n, int n) {
  if (previous_n < kDoMleRaiseAt && n > kDoMleRaiseAt &&
      g_settings.MleFrequency < kDoMleRaisedFrequency)
    g_settings.MleFrequency = kDoMleRaisedFrequency;
}

// ---- Report and growth ----

void report_new_point(const MinimizeContext& c, int n, int d, const double* x, int k,
                      const double* ynew, double best, int resp, bool constraints) {
  FILE* out = out_stream();
  const double target = c.target;
  print_real_vector(d, x, "xbest:");
  if (constraints) {
    fprintf(out, "Responses at xbest: ");
    for (int j = 0; j < k; j++) {
      if (ynew[j] == kNaMarker)
        fprintf(out, " NA ");
      else
        fprintf(out, " %7.3e ", ynew[j]);
    }
    fprintf(out, "\n");
    fprintf(out, "Criterion:%6.4e ", best);
    fprintf(out, "RelCrit:%6.4e ", best / fabs(target));
    fprintf(out, "P(constr. met)=%5.3f ", prob_constraints_met(c, x));
    fprintf(out, "ymin:%6.4e", g_ymin);
  } else {
    fprintf(out, "y(xbest): %7.5e\n", ynew[resp]);
    fprintf(out, "Criterion: %7.5e ", best);
    fprintf(out, "RelCrit: %7.5e ", best / fabs(target));
    fprintf(out, "ymin:%7.5e ", g_ymin);
  }
  fprintf(out, "n=%3d\n", n + 1);
  if (g_ymin < target) print_warning("MinTarget< Minimal Sampled y Value");
}

void append_observation(KrigModel* models, KrigArray* ka, const double* x, const double* ynew) {
  const int k = ky_count(ka);
  for (int j = 0; j < k; j++) {
    KrigModel* kr = &models[j];
    const int n = kr->n[0];
    const int d = kr->d[0];
    resize_KrigModel(kr, n + 1, d);
    copy_real_vector(d, x, kr->X[n]);
    kr->y[n] = ynew[j];
    kr->init.U = 0;
    kr->init.R = 0;
    kr->init.F = 0;
  }
}
void reset_minimize_state() {
  g_quantile = QuantileGrid();
  g_ymin = 0.0;
  g_ymin_index = 1;
}
