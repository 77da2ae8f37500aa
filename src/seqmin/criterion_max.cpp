#include "seqmin/criterion_max.h"

#include <cstdio>
#include <cstring>

#include "base/interpreter.h"
#include "base/messages.h"
#include "base/settings.h"
#include "data/model_matrices.h"
#include "data/model_store.h"
#include "numeric/random.h"
#include "numeric/storage.h"
#include "numeric/vecutil.h"
#include "optim/minimize.h"
#include "optim/trafo.h"
#include "seqmin/criterion_gradient_search.h"
#include "seqmin/expected_improvement.h"

namespace {

bool inside(double v, const double* limits) { return v >= limits[0] && v <= limits[1]; }

void start_displacement(int d, int n, double* const* range, double** P) {
  if (PtsOutOfRange) fatal_error("start_values_krmin: PtsOutOfRange and displacement");
  // A single observation has no spacing to derive a step from: half of each
  // range then always leaves one side inside the box.
  const double h = n > 1 ? 0.5 / (n - 1) : 0.5;
  const double* x0 = P[0];
  double* start = nullptr;
  alloc_real_vector(d, &start);
  copy_real_vector(d, x0, start);
  for (int r = 0; r <= d; r++) {
    for (int j = 0; j < d; j++) {
      if (r != 0 && r != j + 1) {
        P[r][j] = start[j];
        continue;
      }
      const double sigma = random_uniform() < 0.5 ? -1.0 : 1.0;
      const double step = sigma * h * (range[j][1] - range[j][0]);
      double v = start[j] + step;
      if (!inside(v, range[j])) {
        v = start[j] - step;
        if (!inside(v, range[j])) fatal_error("start_values: range < +-alpha%,modify start values");
      }
      P[r][j] = v;
    }
  }
  free_real_vector(d, &start);
}

void start_distanceneighbour(const KrigModel* kr, int d, double* const* range, double** P) {
  if (PtsOutOfRange) fatal_error("start_values_krmin: PtsOutOfRange and distanceneighbour");
  int* dirs = nullptr;
  int* back = nullptr;
  double* dplus = nullptr;
  double* dminus = nullptr;
  double* x0 = nullptr;
  alloc_int_vector(d, &dirs);
  alloc_int_vector(d, &back);
  alloc_real_vector(d, &dplus);
  alloc_real_vector(d, &dminus);
  alloc_real_vector(d, &x0);
  copy_real_vector(d, P[0], x0);
  for (int j = 0; j < d; j++) {
    dirs[j] = random_uniform() >= 0.5 ? 1 : -1;
    back[j] = -dirs[j];
  }
  min_distance_each_dim(kr->n[0], d, x0, kr->X, range, dirs, dplus);
  min_distance_each_dim(kr->n[0], d, x0, kr->X, range, back, dminus);
  for (int r = 0; r <= d; r++)
    for (int j = 0; j < d; j++) P[r][j] = x0[j];
  for (int j = 0; j < d; j++) {
    P[j + 1][j] = x0[j] + dirs[j] * 0.5 * dplus[j];
    check_invariant(inside(P[j + 1][j], range[j]), "start_values: halfneighbour , code bug");
    P[0][j] = x0[j] - dirs[j] * 0.5 * dminus[j];
    check_invariant(inside(P[0][j], range[j]), "start_values: halfneighbour , code bug 2");
  }
  free_int_vector(d, &dirs);
  free_int_vector(d, &back);
  free_real_vector(d, &dplus);
  free_real_vector(d, &dminus);
  free_real_vector(d, &x0);
}

void start_random(int d, double* const* range, double** P) {
  for (int r = 0; r <= d; r++) {
    for (int j = 0; j < d; j++) {
      const double a = range[j][0], b = range[j][1];
      double v = a + random_uniform() * (b - a);
      // A draw of exactly 1 can round past the upper limit.
      if (v > b) v = b;
      P[r][j] = v;
    }
  }
}

// Counts of how the tries went.
struct TryCounts {
  int interrupted = 0;  // hit the evaluation limit
  int explored = 0;     // made at least one step
  int failed = 0;       // stopped before the first step
};

void count_try(int c, TryCounts* counts) {
  if (c >= kMaxCriterionTries) counts->interrupted++;
  if (c > 0) counts->explored++;
  if (c == 0) counts->failed++;
}

void report_tries(const TryCounts& counts, bool best_from_random) {
  FILE* out = out_stream();
  if (best_from_random) fprintf(out, "INFO: Method 'random' found MaxExpImp\n");
  if (counts.interrupted > 0 || counts.failed > 0) {
    fprintf(out, "INFO: %d Optimization Tries.\n", g_settings.CriterionOptimTries);
    if (counts.interrupted > 0)
      fprintf(out, "\t %d tries interrupted. (MAXITER=%d)\n", counts.interrupted,
              kMaxCriterionTries);
    if (counts.failed > 0) fprintf(out, "\t %d tries failed to start.\n", counts.failed);
  }
}

}  // namespace

void start_values(const MinimizeContext& c, int d, int n, double* const* range, double** P,
                  double* Y, const char* method) {
  if (strcmp(method, "displacement") == 0)
    start_displacement(d, n, range, P);
  else if (strcmp(method, "distanceneighbour") == 0)
    start_distanceneighbour(context_response_model(c), d, range, P);
  else if (strcmp(method, "random") == 0)
    start_random(d, range, P);
  else
    fatal_error("start_values: Unrecognized Method");
  trafo_ab_inf(d + 1, d, P, range, P, "sin");
  for (int r = 0; r <= d; r++) Y[r] = ei_objective(P[r], d, objective_context(c));
}

namespace {

// The simplex or Powell tries: one from each design point, then from random
// points, until CriterionOptimTries have run and 3 have explored.
int maximize_by_tries(const MinimizeContext& ctx, KrigModel* kr, double* best, double* x) {
  const int n = kr->n[0];
  const int d = kr->d[0];
  double** P = nullptr;
  double* Y = nullptr;
  double* B = nullptr;
  alloc_real_matrix(d + 1, d, &P);
  alloc_real_vector(d + 1, &Y);
  alloc_real_vector(d, &B);
  init_real_vec(-1.0, d, B);
  int status = kCriterionNoneFound;

  TryCounts counts;
  bool best_from_random = false;
  for (int l = 0;; l++) {
    copy_real_vector(d, kr->X[l % n], P[0]);
    const char* method = l < n ? g_settings.CriterionOptimStart : "random";
    start_values(ctx, d, ctx.n_obs, kr->range, P, Y, method);
    const int c = minimize(ei_objective, objective_context(ctx), g_settings.OptTolAbs,
                           g_settings.StoppingRelativeTolerance / 100, kMaxCriterionTries, d, P, Y,
                           g_settings.CriterionOptimMethod);
    count_try(c, &counts);
    if (-Y[0] > *best) {
      *best = -Y[0];
      copy_real_vector(d, P[0], B);
      status = kCriterionFound;
      best_from_random = l >= n;
    }
    if (l % 100 == 0 && l > 2 * n) print_warning("Optimization has difficulties finding local optima.");
    const bool more = (l + 1 < g_settings.CriterionOptimTries || counts.explored < 3) &&
                      l + 1 < kMaxCriterionTries;
    if (!more) break;
  }

  report_tries(counts, best_from_random);
  if (counts.explored < 3) {
    print_warning("Optimization explored less than 3 tries.");
    status = kCriterionFewExplored;
  }
  double* brow[1] = {B};
  double* xrow[1] = {x};
  trafo_inf_to_ab(1, d, brow, kr->range, xrow, "sin");

  free_real_matrix(d + 1, d, &P);
  free_real_vector(d + 1, &Y);
  free_real_vector(d, &B);
  return status;
}

}  // namespace

int maximize_criterion(const MinimizeContext& c, KrigModel* kr, double* best, double* x) {
  const bool gradient = strcmp(g_settings.CriterionOptimMethod, "gradient") == 0;
  *best = 0.0;
  // The gradient search sets its own number of refinements from -1.
  if (!gradient && g_settings.CriterionOptimTries == -1) g_settings.CriterionOptimTries = 2 * kr->n[0];

  if (PtsOutOfRange && strcmp(g_settings.CriterionOptimStart, "random") != 0) {
    fprintf(out_stream(),
            "ERROR: When one or more X points are outside of the optimization range,\n"
            "    CriterionOptimStart=random needed.\n");
    return kCriterionOutOfRange;
  }
  if (!gradient) return maximize_by_tries(c, kr, best, x);
  const GradientSearchOutcome outcome = maximize_criterion_by_gradient(c, kr, best, x);
  if (outcome.started < kFewestGradientSearches) {
    print_warning("Gradient search could start fewer than 3 searches.");
    return kCriterionFewExplored;
  }
  return outcome.positive ? kCriterionFound : kCriterionNoneFound;
}
