// eigen_symmetric on correlation matrices exp(-theta * |xi - xj|^2) of random
// points, and (when built with OpenBLAS) LAPACK dsyev with vectors on the same
// matrices, single-threaded.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <random>
#include <vector>

#include "kriging/correlation.h"
#include "kriging/eigen.h"
#include "numeric/storage.h"

#ifdef DORVE_BENCH_WITH_LAPACK
extern "C" {
void dsyev_(const char* jobz, const char* uplo, const int* n, double* a, const int* lda,
            double* w, double* work, const int* lwork, int* info);
void openblas_set_num_threads(int num_threads);
}
#endif

namespace {

constexpr int kDims = 4;
constexpr double kTheta = 3.0;

// Row-major n x n correlation matrix of n random points in the unit cube.
std::vector<double> correlation_matrix(int n) {
  std::mt19937_64 gen(12345 + n);
  std::uniform_real_distribution<double> unif(0.0, 1.0);
  std::vector<double> x(static_cast<size_t>(n) * kDims);
  for (double& v : x) v = unif(gen);
  std::vector<double> r(static_cast<size_t>(n) * n);
  for (int i = 0; i < n; i++) {
    for (int j = 0; j < n; j++) {
      double s = 0.0;
      for (int l = 0; l < kDims; l++) {
        const double t = x[i * kDims + l] - x[j * kDims + l];
        s += kTheta * t * t;
      }
      r[static_cast<size_t>(i) * n + j] = std::exp(-s);
    }
  }
  return r;
}

void BM_eigen_symmetric(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const std::vector<double> r = correlation_matrix(n);
  double** a = nullptr;
  double* d = nullptr;
  alloc_real_matrix(n, n, &a);
  alloc_real_vector(n, &d);
  for (auto _ : state) {
    for (int i = 0; i < n; i++)
      for (int j = 0; j < n; j++) a[i][j] = r[static_cast<size_t>(i) * n + j];
    eigen_symmetric(a, n, d);
    benchmark::DoNotOptimize(d[0]);
    benchmark::ClobberMemory();
  }
  free_real_vector(n, &d);
  free_real_matrix(n, n, &a);
}
BENCHMARK(BM_eigen_symmetric)->Arg(50)->Arg(100)->Arg(200)->Arg(400)->Unit(benchmark::kMillisecond);

// The correlation matrix itself: n(n-1)/2 products of d power-exponential
// factors with general exponents (alpha strictly between 0 and 2).
void BM_calcR(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0)), d = 5;
  std::mt19937_64 gen(777 + n);
  std::uniform_real_distribution<double> unif(0.0, 1.0);
  double** X = nullptr;
  double** R = nullptr;
  alloc_real_matrix(n, d, &X);
  alloc_real_matrix(n, n, &R);
  for (int i = 0; i < n; i++)
    for (int l = 0; l < d; l++) X[i][l] = unif(gen);
  const double alpha[d] = {0.3, 0.7, 1.1, 1.5, 0.9}, theta[d] = {2.0, 1.0, 3.0, 0.5, 1.5};
  for (auto _ : state) {
    calcR(X, alpha, theta, 1.0, n, d, R);
    benchmark::DoNotOptimize(R[n - 1][0]);
    benchmark::ClobberMemory();
  }
  free_real_matrix(n, n, &R);
  free_real_matrix(n, d, &X);
}
BENCHMARK(BM_calcR)->Arg(100)->Arg(200)->Unit(benchmark::kMillisecond);

#ifdef DORVE_BENCH_WITH_LAPACK
void BM_lapack_dsyev(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const std::vector<double> r = correlation_matrix(n);  // symmetric: same in column order
  std::vector<double> a(r.size()), w(n);
  int lwork = -1, info = 0;
  double query = 0.0;
  dsyev_("V", "U", &n, a.data(), &n, w.data(), &query, &lwork, &info);
  lwork = static_cast<int>(query);
  std::vector<double> work(lwork);
  for (auto _ : state) {
    a = r;
    dsyev_("V", "U", &n, a.data(), &n, w.data(), work.data(), &lwork, &info);
    benchmark::DoNotOptimize(w[0]);
    benchmark::ClobberMemory();
  }
  if (info != 0) state.SkipWithError("dsyev failed");
}
BENCHMARK(BM_lapack_dsyev)->Arg(50)->Arg(100)->Arg(200)->Arg(400)->Unit(benchmark::kMillisecond);
#endif

}  // namespace

int main(int argc, char** argv) {
#ifdef DORVE_BENCH_WITH_LAPACK
  // Compare single-threaded code with single-threaded code.
  setenv("OPENBLAS_NUM_THREADS", "1", 1);
  openblas_set_num_threads(1);
#endif
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
