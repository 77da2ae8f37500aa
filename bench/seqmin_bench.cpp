// One evaluation of the expected-improvement objective (one prediction from
// the stored decomposition of n observations in d dimensions), and one whole
// maximisation of the criterion from all its starts, single-threaded.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include "base/interpreter.h"
#include "base/settings.h"
#include "data/model_store.h"
#include "kriging/correlation.h"
#include "numeric/alloc_registry.h"
#include "numeric/random.h"
#include "numeric/storage.h"
#include "seqmin/criterion_max.h"
#include "seqmin/expected_improvement.h"

namespace {

// A fitted-looking model of n random points of the unit cube in d
// dimensions, with its decomposition, as the only response of a store.
struct BenchStore {
  KrigModel* models = nullptr;
  KrigArray* ka = nullptr;

  BenchStore(int n, int d) {
    set_alloc_tracking(false);
    std::mt19937_64 gen(777 + 31 * n + d);
    std::uniform_real_distribution<double> unif(0.0, 1.0);
    models = create_first_KrigModel();
    ka = create_KrigArray();
    change_krig_p(ka, &models, 1);
    KrigModel* kr = &models[0];
    default_KrigModel(kr, n, d, 1);
    for (int i = 0; i < n; i++) {
      double y = 0.0;
      for (int l = 0; l < d; l++) {
        kr->X[i][l] = unif(gen);
        y += (kr->X[i][l] - 0.4) * (kr->X[i][l] - 0.4) + 0.1 * sin(5.0 * kr->X[i][l]);
      }
      kr->y[i] = y;
    }
    for (int l = 0; l < d; l++) {
      kr->range[l][0] = 0.0;
      kr->range[l][1] = 1.0;
      kr->alpha[l] = 0.1;
      kr->theta[l] = 3.0;
    }
    kr->sigma2[0] = 0.2;
    kr->init.X = kr->init.y = kr->init.range = kr->init.alpha = kr->init.theta = 1;
    kr->init.beta = kr->init.var = 1;
    krCalcR(kr);
    krCalcF(kr);
    krCalc_augmR(kr);
    double ymin = kr->y[0];
    for (int i = 1; i < n; i++) ymin = std::min(ymin, kr->y[i]);
    g_minctx = MinimizeContext();
    g_minctx.models = models;
    g_minctx.ka = ka;
    g_minctx.target = ymin;
    g_minctx.d = d;
    g_minctx.n_obs = n;
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
    benchmark::DoNotOptimize(ei_objective(t.data(), d));
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
    benchmark::DoNotOptimize(maximize_criterion(&store.models[0], &best, x.data()));
  }
  g_interp.out = saved;
  fclose(sink);
}
BENCHMARK(BM_maximize_criterion)->Arg(30)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
