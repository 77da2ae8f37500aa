// One evaluation of the profile log-likelihood (loglike) at n = 50 to 400
// with d = 5, beside its two dominant steps alone on the same data (the
// correlation matrix by calcR and its eigen decomposition), so that the cost
// of the generalised least-squares and variance steps shows as the
// difference; and one prediction of 1000 points by krigmse_anyX at n = 100.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>

#include "base/settings.h"
#include "data/model_store.h"
#include "kriging/correlation.h"
#include "kriging/eigen.h"
#include "kriging/fit_state.h"
#include "kriging/krigfit.h"
#include "kriging/predictor.h"
#include "numeric/alloc_registry.h"
#include "numeric/storage.h"
#include "numeric/vecutil.h"

namespace {

constexpr int kDims = 5;

// A model of n random points in the unit cube with a smooth response and
// the parameters alpha = 0.5, theta = 2 in every variable.
struct BenchModel {
  KrigModel kr;
  explicit BenchModel(int n) {
    set_alloc_tracking(false);
    g_settings.RandomError = false;
    clear_KrigModel(&kr);
    default_KrigModel(&kr, n, kDims, 1);
    std::mt19937_64 gen(4242 + n);
    std::uniform_real_distribution<double> unif(0.0, 1.0);
    for (int i = 0; i < n; i++) {
      double y = 0.0;
      for (int l = 0; l < kDims; l++) {
        kr.X[i][l] = unif(gen);
        y += std::sin(3.0 * kr.X[i][l]) + l * kr.X[i][l];
      }
      kr.y[i] = y;
    }
    kr.init.X = kr.init.y = kr.init.alpha = kr.init.theta = 1;
    for (int l = 0; l < kDims; l++) {
      t[l] = std::asin(0.5 - 1.0);       // alpha 0.5
      t[kDims + l] = std::sqrt(20.0);     // theta 2
    }
    set_corpar(&kr, t, kDims);
    ensure_fit_storage(&kr);  // R, which BM_calcR_and_eigen writes into
  }
  ~BenchModel() { free_KrigModel(&kr); }
  double t[2 * kDims];
};

void BM_loglike(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  BenchModel m(n);
  FitState fit;
  open_model_fit(fit, &m.kr);
  for (auto _ : state) benchmark::DoNotOptimize(loglike(m.t, 2 * kDims, &fit));
  close_fit(fit);
}

// What loglike cannot avoid: R, a copy to decompose in place, the decomposition.
void BM_calcR_and_eigen(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  BenchModel m(n);
  double** Q = nullptr;
  double* lambda = nullptr;
  alloc_real_matrix(n, n, &Q);
  alloc_real_vector(n, &lambda);
  for (auto _ : state) {
    calcR(m.kr.X, m.kr.alpha, m.kr.theta, 1.0, n, kDims, m.kr.R);
    copy_real_matrix(n, n, m.kr.R, Q);
    eigen_symmetric(Q, n, lambda);
    benchmark::DoNotOptimize(lambda[0]);
    benchmark::ClobberMemory();
  }
  free_real_matrix(n, n, &Q);
  free_real_vector(n, &lambda);
}

// 1000 new points predicted from n = 100 observations; the decomposition is
// built once outside the timed loop.
void BM_krigmse_anyX_1000(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const int P = 1000;
  BenchModel m(n);
  m.kr.sigma2[0] = 1.0;
  double** points = nullptr;
  double** result = nullptr;
  alloc_real_matrix(P, kDims, &points);
  alloc_real_matrix(P, 2, &result);
  std::mt19937_64 gen(77);
  std::uniform_real_distribution<double> unif(0.0, 1.0);
  for (int p = 0; p < P; p++)
    for (int l = 0; l < kDims; l++) points[p][l] = unif(gen);
  AnyXState anyx;
  init_krigmse_anyX(&anyx, &m.kr, m.kr.X, n, kDims, 1);
  for (auto _ : state) {
    krigmse_anyX(&anyx, &m.kr, m.kr.X, m.kr.y, n, kDims, P, points, result);
    benchmark::DoNotOptimize(result[0][0]);
    benchmark::ClobberMemory();
  }
  free_krigmse_anyX(&anyx, n, 1);
  free_real_matrix(P, kDims, &points);
  free_real_matrix(P, 2, &result);
}

}  // namespace

BENCHMARK(BM_loglike)->Arg(50)->Arg(100)->Arg(200)->Arg(400)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_calcR_and_eigen)->Arg(50)->Arg(100)->Arg(200)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_krigmse_anyX_1000)->Arg(100)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
