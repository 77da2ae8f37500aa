// Shared helpers for the sequential-minimisation tests: a model store built
// from plain data with fixed correlation parameters and a current
// decomposition, the settings and context reset around each test, the output
// stream captured in memory and a scratch working directory.
#ifndef DORVE_TESTS_UNIT_SEQMIN_TEST_SUPPORT_H_
#define DORVE_TESTS_UNIT_SEQMIN_TEST_SUPPORT_H_

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "base/interpreter.h"
#include "base/settings.h"
#include "data/model_matrices.h"
#include "data/model_store.h"
#include "data_test_support.h"
#include "kriging/correlation.h"
#include "numeric/random.h"
#include "optim/trafo.h"
#include "seqmin/expected_improvement.h"

namespace seqmin_test {

typedef std::vector<std::vector<double>> Mat;

// The output stream captured in memory for the life of the object.
using Captured = ::CapturedOutput;

// Runs the test inside a fresh temporary directory, removed afterwards.
class ScratchDir {
 public:
  ScratchDir() {
    char pattern[] = "/tmp/dorve_seqmin_XXXXXX";
    if (mkdtemp(pattern)) path_ = pattern;
    saved_ = std::filesystem::current_path();
    std::filesystem::current_path(path_);
  }
  ~ScratchDir() {
    std::error_code ignored;
    std::filesystem::current_path(saved_, ignored);
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  std::filesystem::path saved_;
};

using ::read_file;
using ::write_file;

// A script the tests run as an objective program.
inline void write_executable(const std::string& name, const std::string& text) {
  ::write_file(name, text);
  std::filesystem::permissions(name, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add);
}

// The settings, random generator, out-of-range flag and context as at start-up.
inline void reset_process_state() {
  g_settings = Settings();
  set_random_seeds(10, 20, 1000);
  PtsOutOfRange = 0;
}

// A store of k y variables over the design X with the box `range`. Column j
// of ys is model j's y. Every model gets alpha, theta, stochratio 1 and
// sigma2, and its R, F and decomposition are computed.
struct Store {
  KrigModel* models = nullptr;
  KrigArray* ka = nullptr;
  int k = 0;
  MinimizeContext context;  // the criterion's context on this store

  Store(const Mat& X, const Mat& ys, const Mat& range, double alpha = 0.0, double theta = 5.0,
        double sigma2 = 1.0) {
    const int n = static_cast<int>(X.size()), d = static_cast<int>(X[0].size());
    k = static_cast<int>(ys.size());
    models = create_first_KrigModel();
    ka = create_KrigArray();
    change_krig_p(ka, &models, k);
    for (int j = 0; j < k; j++) {
      KrigModel* kr = &models[j];
      default_KrigModel(kr, n, d, 1);
      for (int i = 0; i < n; i++) {
        for (int l = 0; l < d; l++) kr->X[i][l] = X[i][l];
        kr->y[i] = ys[j][i];
      }
      for (int l = 0; l < d; l++) {
        kr->range[l][0] = range[l][0];
        kr->range[l][1] = range[l][1];
        kr->alpha[l] = alpha;
        kr->theta[l] = theta;
        snprintf(kr->xlabels[l], kSlotLen, "x%d", l + 1);
      }
      kr->beta[0] = 0.0;
      kr->sigma2[0] = sigma2;
      snprintf(kr->yname, sizeof kr->yname, "y%d", j + 1);
      kr->init.X = kr->init.y = kr->init.range = 1;
      kr->init.alpha = kr->init.theta = kr->init.beta = kr->init.var = 1;
      decompose(j);
    }
  }
  ~Store() { free_model_store(ka, models); }
  Store(const Store&) = delete;
  Store& operator=(const Store&) = delete;

  void decompose(int j) {
    krCalcR(&models[j]);
    krCalcF(&models[j]);
    krCalc_augmR(&models[j]);
  }
  // Makes y variable j a constraint with bounds (lower, upper).
  void constrain(int j, double lower, double upper) {
    ka->ydescrip[j][kYDescLower] = lower;
    ka->ydescrip[j][kYDescUpper] = upper;
    ka->ydescrip[j][kYDescConstraint] = 1.0;
    ka->has_bounds = 1;
    adjust_KrigArray(ka);
  }
  // The store's minimisation context, set up afresh with the target.
  MinimizeContext& use_as_context(double target) {
    context = MinimizeContext();
    context.models = models;
    context.ka = ka;
    context.target = target;
    context.constraints = ka->ncons > 0;
    context.d = models[0].d[0];
    context.n_obs = models[0].n[0];
    return context;
  }
};

// A 10-point design on the unit square and a smooth response on it.
inline Mat unit_design() {
  return {{0.05, 0.45}, {0.15, 0.85}, {0.25, 0.15}, {0.35, 0.65}, {0.45, 0.95},
          {0.55, 0.25}, {0.65, 0.55}, {0.75, 0.05}, {0.85, 0.75}, {0.95, 0.35}};
}
inline double smooth_response(double a, double b) {
  return (a - 0.3) * (a - 0.3) + (b - 0.6) * (b - 0.6) + 0.2 * sin(6.0 * a);
}
inline std::vector<double> smooth_values(const Mat& X) {
  std::vector<double> y;
  for (const auto& x : X) y.push_back(smooth_response(x[0], x[1]));
  return y;
}
inline Mat unit_box(int d = 2) { return Mat(d, std::vector<double>{0.0, 1.0}); }
// x1 + x2 of every design point: a constraint response.
inline std::vector<double> input_sums(const Mat& X) {
  std::vector<double> y;
  for (const auto& x : X) y.push_back(x[0] + x[1]);
  return y;
}

// The criterion of context c (minus ei_objective) at the box point x of model kr.
inline double criterion_at(MinimizeContext& c, KrigModel* kr, const std::vector<double>& x) {
  const int d = static_cast<int>(x.size());
  std::vector<double> in(x), t(d);
  double* xp[1] = {in.data()};
  double* tp[1] = {t.data()};
  trafo_ab_inf(1, d, xp, kr->range, tp, "sin");
  return -ei_objective(t.data(), d, &c);
}

// Standard normal functions written out independently of the code under test.
inline double ref_Phi(double u) { return 0.5 * erfc(-u / sqrt(2.0)); }
inline double ref_phi(double u) { return exp(-0.5 * u * u) / sqrt(2.0 * M_PI); }

}  // namespace seqmin_test

#endif  // DORVE_TESTS_UNIT_SEQMIN_TEST_SUPPORT_H_
