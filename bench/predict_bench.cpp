// Predictions with standard errors (krigblup) of 10,000 and 100,000 points
// from a fitted model of n = 200 and n = 1000 observations (d = 5, Gaussian
// correlation alpha = 0, theta = 10 in every variable), on one thread and on
// two (Threads), the model's
// decomposition built once beforehand as a fit leaves it; and a Predict of one
// point on such a model, which since it reuses the decomposition costs one
// prediction.
//
// With DORVE_PREDICT_DATA set to a folder, each model's data (X, y, theta and
// the prediction points) is written there as raw doubles, so that
// bench/peers/predict_peers.py can time scikit-learn on the very same model
// (bench/peers/predict_peers.sh runs both side by side).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/settings.h"
#include "data/model_store.h"
#include "kriging/correlation.h"
#include "kriging/predictor.h"
#include "numeric/alloc_registry.h"
#include "numeric/storage.h"

namespace {

constexpr int kDims = 5;
constexpr double kTheta = 10.0;
constexpr int kMaxPoints = 100000;

// splitmix64: a fixed stream of uniform doubles in [0, 1).
struct Uniform {
  uint64_t state;
  double next() {
    uint64_t z = (state += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    z ^= z >> 31;
    return static_cast<double>(z >> 11) * 0x1.0p-53;
  }
};

double friedman(const double* x) {
  const double pi = 3.14159265358979323846;
  return 10.0 * std::sin(pi * x[0] * x[1]) + 20.0 * (x[2] - 0.5) * (x[2] - 0.5) + 10.0 * x[3] +
         5.0 * x[4];
}

void write_doubles(FILE* f, const double* v, size_t count) {
  if (fwrite(v, sizeof(double), count, f) != count) {
    fprintf(stderr, "predict_bench: cannot write the model data\n");
    exit(1);
  }
}

// A model of n observations with its decomposition, and kMaxPoints points.
struct PredictModel {
  KrigModel kr;
  double** points = nullptr;
  explicit PredictModel(int n) {
    set_alloc_tracking(false);
    g_settings.RandomError = false;
    clear_KrigModel(&kr);
    default_KrigModel(&kr, n, kDims, 1);
    Uniform u{20261209ULL + static_cast<uint64_t>(n)};
    for (int i = 0; i < n; i++) {
      for (int l = 0; l < kDims; l++) kr.X[i][l] = u.next();
      kr.y[i] = friedman(kr.X[i]);
    }
    for (int l = 0; l < kDims; l++) {
      kr.alpha[l] = 0.0;
      kr.theta[l] = kTheta;
    }
    kr.sigma2[0] = 1.0;
    kr.stochratio[0] = 1.0;
    kr.init.X = kr.init.y = kr.init.alpha = kr.init.theta = kr.init.beta = kr.init.var = 1;
    alloc_real_matrix(kMaxPoints, kDims, &points);
    for (int p = 0; p < kMaxPoints; p++)
      for (int l = 0; l < kDims; l++) points[p][l] = u.next();
    build_prediction_decomposition(&kr);
    save(n);
  }
  ~PredictModel() {
    free_real_matrix(kMaxPoints, kDims, &points);
    free_KrigModel(&kr);
  }
  // n, d, X, y, theta, then the points, as native doubles.
  void save(int n) const {
    const char* folder = getenv("DORVE_PREDICT_DATA");
    if (folder == nullptr) return;
    const std::string path = std::string(folder) + "/model_n" + std::to_string(n) + ".bin";
    FILE* f = fopen(path.c_str(), "wb");
    if (f == nullptr) {
      fprintf(stderr, "predict_bench: cannot create %s\n", path.c_str());
      exit(1);
    }
    const double sizes[3] = {static_cast<double>(n), kDims, kMaxPoints};
    write_doubles(f, sizes, 3);
    for (int i = 0; i < n; i++) write_doubles(f, kr.X[i], kDims);
    write_doubles(f, kr.y, n);
    write_doubles(f, kr.theta, kDims);
    for (int p = 0; p < kMaxPoints; p++) write_doubles(f, points[p], kDims);
    fclose(f);
  }
};

PredictModel& model_of(int n) {
  static PredictModel* models[2] = {nullptr, nullptr};
  const int slot = n == 200 ? 0 : 1;
  if (models[slot] == nullptr) models[slot] = new PredictModel(n);
  return *models[slot];
}

// n, points, threads.
void BM_predict(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const int P = static_cast<int>(state.range(1));
  g_settings.Threads = static_cast<int>(state.range(2));
  PredictModel& m = model_of(n);
  double** result = nullptr;
  alloc_real_matrix(P, 2, &result);
  for (auto _ : state) {
    krigblup(&m.kr, P, m.points, result);
    benchmark::DoNotOptimize(result[0][0]);
    benchmark::ClobberMemory();
  }
  state.counters["points/s"] = benchmark::Counter(static_cast<double>(P) * state.iterations(),
                                                  benchmark::Counter::kIsRate);
  free_real_matrix(P, 2, &result);
}

// The model as Predict finds it after a fit: the decomposition is current,
// so one more point costs its prediction only.
void BM_predict_one_after_fit(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  PredictModel& m = model_of(n);
  double** result = nullptr;
  alloc_real_matrix(1, 2, &result);
  for (auto _ : state) {
    build_prediction_decomposition(&m.kr);
    krigblup(&m.kr, 1, m.points, result);
    benchmark::DoNotOptimize(result[0][0]);
  }
  free_real_matrix(1, 2, &result);
}

}  // namespace

BENCHMARK(BM_predict)
    ->ArgsProduct({{200, 1000}, {10000, 100000}, {1, 2}})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(0.5)
    ->UseRealTime();
BENCHMARK(BM_predict_one_after_fit)->Arg(200)->Arg(1000)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
