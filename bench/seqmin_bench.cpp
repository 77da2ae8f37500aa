// One evaluation of the expected-improvement objective (one prediction from
// the stored decomposition of n observations in d dimensions), one whole
// maximisation of the criterion from all its starts, single-threaded, and
// the simplex tries against the gradient search on fitted models of smooth
// test functions (the criterion maximum each finds, as a counter).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "base/interpreter.h"
#include "base/settings.h"
#include "data/model_store.h"
#include "kriging/correlation.h"
#include "kriging/mle_tries.h"
#include "numeric/alloc_registry.h"
#include "numeric/random.h"
#include "numeric/storage.h"
#include "seqmin/criterion_max.h"
#include "seqmin/expected_improvement.h"
#include "seqmin/log_criterion.h"

namespace {

// A store of one response model of n observations in the unit cube of d
// dimensions (X and y still to be filled).
KrigModel* one_response_store(int n, int d, KrigModel** models, KrigArray** ka) {
  set_alloc_tracking(false);
  *models = create_first_KrigModel();
  *ka = create_KrigArray();
  change_krig_p(*ka, models, 1);
  KrigModel* kr = &(*models)[0];
  default_KrigModel(kr, n, d, 1);
  for (int l = 0; l < d; l++) {
    kr->range[l][0] = 0.0;
    kr->range[l][1] = 1.0;
  }
  return kr;
}

// The criterion of the store's response with target T.
void use_as_context(MinimizeContext* c, KrigModel* models, KrigArray* ka, double T) {
  *c = MinimizeContext();
  c->models = models;
  c->ka = ka;
  c->target = T;
  c->d = models[0].d[0];
  c->n_obs = models[0].n[0];
}

// A fitted-looking model of n random points of the unit cube in d
// dimensions, with its decomposition, as the only response of a store.
struct BenchStore {
  KrigModel* models = nullptr;
  KrigArray* ka = nullptr;
  MinimizeContext context;

  BenchStore(int n, int d) {
    std::mt19937_64 gen(777 + 31 * n + d);
    std::uniform_real_distribution<double> unif(0.0, 1.0);
    KrigModel* kr = one_response_store(n, d, &models, &ka);
    for (int i = 0; i < n; i++) {
      double y = 0.0;
      for (int l = 0; l < d; l++) {
        kr->X[i][l] = unif(gen);
        y += (kr->X[i][l] - 0.4) * (kr->X[i][l] - 0.4) + 0.1 * sin(5.0 * kr->X[i][l]);
      }
      kr->y[i] = y;
    }
    for (int l = 0; l < d; l++) {
      kr->alpha[l] = 0.1;
      kr->theta[l] = 3.0;
    }
    kr->sigma2[0] = 0.2;
    kr->init.X = kr->init.y = kr->init.range = kr->init.alpha = kr->init.theta = 1;
    kr->init.beta = kr->init.var = 1;
    krCalcR(kr);
    krCalcF(kr);
    krCalc_augmR(kr);
    use_as_context(&context, models, ka, *std::min_element(kr->y, kr->y + n));
  }
  ~BenchStore() { free_model_store(ka, models); }
};

void BM_ei_objective(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const int d = static_cast<int>(state.range(1));
  BenchStore store(n, d);
  std::vector<double> t(d);
  std::mt19937_64 gen(99);
  std::uniform_real_distribution<double> unif(-1.5, 1.5);
  for (auto _ : state) {
    state.PauseTiming();
    for (double& v : t) v = unif(gen);
    state.ResumeTiming();
    benchmark::DoNotOptimize(ei_objective(t.data(), d, &store.context));
  }
}
BENCHMARK(BM_ei_objective)
    ->Args({20, 2})
    ->Args({50, 2})
    ->Args({100, 2})
    ->Args({20, 5})
    ->Args({50, 5})
    ->Args({100, 5})
    ->Unit(benchmark::kMicrosecond);

// One value of the log criterion with (range(2) = 1) or without its gradient.
void BM_log_criterion(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const int d = static_cast<int>(state.range(1));
  const bool gradient = state.range(2) == 1;
  BenchStore store(n, d);
  LogCriterion lc;
  open_log_criterion(store.context, &store.models[0], &lc);
  std::vector<double> x(d), grad(d);
  std::mt19937_64 gen(99);
  std::uniform_real_distribution<double> unif(0.0, 1.0);
  for (auto _ : state) {
    state.PauseTiming();
    for (double& v : x) v = unif(gen);
    state.ResumeTiming();
    benchmark::DoNotOptimize(log_criterion(&lc, x.data(), gradient ? grad.data() : nullptr));
  }
}
BENCHMARK(BM_log_criterion)
    ->Args({50, 5, 0})
    ->Args({50, 5, 1})
    ->Args({100, 10, 0})
    ->Args({100, 10, 1})
    ->Unit(benchmark::kMicrosecond);

void BM_maximize_criterion(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  BenchStore store(n, 2);
  FILE* sink = fopen("/dev/null", "w");
  FILE* saved = g_interp.out;
  g_interp.out = sink;
  std::vector<double> x(2);
  double best = 0.0;
  for (auto _ : state) {
    set_random_seeds(10, 20, 1000);
    g_settings.CriterionOptimTries = -1;
    benchmark::DoNotOptimize(maximize_criterion(store.context, &store.models[0], &best, x.data()));
  }
  g_interp.out = saved;
  fclose(sink);
}
BENCHMARK(BM_maximize_criterion)->Arg(30)->Unit(benchmark::kMillisecond);

// ---- Simplex tries against the gradient search ----

// Test functions of a point u of the unit cube.
double branin(const double* u) {
  const double x1 = -5.0 + 15.0 * u[0], x2 = 15.0 * u[1];
  const double b = 5.1 / (4.0 * M_PI * M_PI), c = 5.0 / M_PI, t = 1.0 / (8.0 * M_PI);
  const double a = x2 - b * x1 * x1 + c * x1 - 6.0;
  return a * a + 10.0 * (1.0 - t) * cos(x1) + 10.0;
}

double friedman(const double* u) {
  return 10.0 * sin(M_PI * u[0] * u[1]) + 20.0 * (u[2] - 0.5) * (u[2] - 0.5) + 10.0 * u[3] +
         5.0 * u[4];
}

double hartmann6(const double* u) {
  static const double alpha[4] = {1.0, 1.2, 3.0, 3.2};
  static const double A[4][6] = {{10, 3, 17, 3.5, 1.7, 8},
                                 {0.05, 10, 17, 0.1, 8, 14},
                                 {3, 3.5, 1.7, 10, 17, 8},
                                 {17, 8, 0.05, 10, 0.1, 14}};
  static const double P[4][6] = {{0.1312, 0.1696, 0.5569, 0.0124, 0.8283, 0.5886},
                                 {0.2329, 0.4135, 0.8307, 0.3736, 0.1004, 0.9991},
                                 {0.2348, 0.1451, 0.3522, 0.2883, 0.3047, 0.6650},
                                 {0.4047, 0.8828, 0.8732, 0.5743, 0.1091, 0.0381}};
  double f = 0.0;
  for (int i = 0; i < 4; i++) {
    double e = 0.0;
    for (int j = 0; j < 6; j++) e += A[i][j] * (u[j] - P[i][j]) * (u[j] - P[i][j]);
    f -= alpha[i] * exp(-e);
  }
  return f;
}

double wing_weight(const double* u) {
  static const double lo[10] = {150, 220, 6, -10, 16, 0.5, 0.08, 2.5, 1700, 0.025};
  static const double hi[10] = {200, 300, 10, 10, 45, 1.0, 0.18, 6.0, 2500, 0.08};
  double x[10];
  for (int l = 0; l < 10; l++) x[l] = lo[l] + (hi[l] - lo[l]) * u[l];
  const double c = cos(x[3] * M_PI / 180.0);
  return 0.036 * pow(x[0], 0.758) * pow(x[1], 0.0035) * pow(x[2] / (c * c), 0.6) *
             pow(x[4], 0.006) * pow(x[5], 0.04) * pow(100.0 * x[6] / c, -0.3) *
             pow(x[7] * x[8], 0.49) +
         x[0] * x[9];
}

// Twenty inputs: a smooth sum of one-input terms and neighbour products.
double smooth20(const double* u) {
  double f = 0.0;
  for (int l = 0; l < 20; l++) {
    f += (u[l] - 0.3) * (u[l] - 0.3) * (1.0 + l % 3) + 0.3 * sin(4.0 * u[l] + l);
    if (l > 0) f += 0.5 * u[l] * u[l - 1];
  }
  return f;
}

struct TestCase {
  const char* name;
  int d;
  double (*f)(const double*);
};
const TestCase kCases[] = {{"branin", 2, branin},
                           {"friedman", 5, friedman},
                           {"hartmann6", 6, hartmann6},
                           {"wing_weight", 10, wing_weight},
                           {"smooth20", 20, smooth20}};

// A model of a test case fitted (MleMethod gradient) to a Latin hypercube
// of n = 10 d points drawn with seed, as the only response of a store.
struct FittedStore {
  KrigModel* models = nullptr;
  KrigArray* ka = nullptr;
  double ymin = 0.0;

  FittedStore(const TestCase& tc, int seed) {
    const int d = tc.d, n = 10 * d;
    std::mt19937_64 gen(1000 + seed);
    std::uniform_real_distribution<double> unif(0.0, 1.0);
    KrigModel* kr = one_response_store(n, d, &models, &ka);
    std::vector<int> slice(n);
    for (int l = 0; l < d; l++) {
      for (int i = 0; i < n; i++) slice[i] = i;
      std::shuffle(slice.begin(), slice.end(), gen);
      for (int i = 0; i < n; i++) kr->X[i][l] = (slice[i] + unif(gen)) / n;
    }
    for (int i = 0; i < n; i++) kr->y[i] = tc.f(kr->X[i]);
    ymin = *std::min_element(kr->y, kr->y + n);
    kr->init.X = kr->init.y = kr->init.range = 1;
    snprintf(g_settings.MleMethod, kShortTextSize, "%s", "gradient");
    set_random_seeds(10, 20, 1000);
    mle_fit(kr, 0);
    g_settings = Settings();
  }
  ~FittedStore() { free_model_store(ka, models); }
};

FittedStore* fitted_store(int which, int seed) {
  static std::map<std::pair<int, int>, FittedStore*> cache;
  FittedStore*& s = cache[{which, seed}];
  if (!s) s = new FittedStore(kCases[which], seed);
  return s;
}

// Args: test case, seed, method (0 simplex, 1 gradient). One maximisation
// per iteration from the same random state; counter "criterion" is the
// maximum it found.
void BM_criterion_search(benchmark::State& state) {
  const int which = static_cast<int>(state.range(0));
  const int seed = static_cast<int>(state.range(1));
  const bool gradient = state.range(2) == 1;
  FILE* sink = fopen("/dev/null", "w");
  FILE* saved = g_interp.out;
  g_interp.out = sink;
  FittedStore* store = fitted_store(which, seed);
  KrigModel* kr = &store->models[0];
  const int d = kr->d[0];
  MinimizeContext context;
  use_as_context(&context, store->models, store->ka, store->ymin);
  std::vector<double> x(d);
  double best = 0.0;
  int status = 0;
  for (auto _ : state) {
    g_settings = Settings();
    snprintf(g_settings.CriterionOptimMethod, kShortTextSize, "%s", gradient ? "gradient" : "simplex");
    set_random_seeds(10, 20, 1000);
    status = maximize_criterion(context, kr, &best, x.data());
  }
  g_interp.out = saved;
  fclose(sink);
  state.counters["criterion"] = best;
  state.counters["status"] = status;
  state.SetLabel(std::string(kCases[which].name) + (gradient ? " gradient" : " simplex"));
}

// d = 2, 5, 6 and 10 with both searches, d = 20 with the gradient search
// only: there one simplex maximisation takes over a minute. Setting
// DORVE_BENCH_D20_SIMPLEX=1 adds the d = 20 simplex rows.
void criterion_search_args(benchmark::internal::Benchmark* b) {
  const bool slow = getenv("DORVE_BENCH_D20_SIMPLEX") != nullptr;
  for (int which = 0; which < 5; which++)
    for (int seed = 1; seed <= 3; seed++)
      for (int method = 0; method <= 1; method++)
        if (which < 4 || method == 1 || slow) b->Args({which, seed, method});
}
BENCHMARK(BM_criterion_search)
    ->Apply(criterion_search_args)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
