#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include <cstring>

#include "base/settings.h"
#include "kriging/fit_state.h"
#include "kriging/krigfit.h"
#include "kriging/likelihood_gradient.h"
#include "kriging/mle_tries.h"
#include "kriging_model_support.h"
#include "numeric/random.h"

using namespace kriging_test;

namespace {

// Restores the settings the fit reads.
struct SettingsGuard {
  Settings saved = g_settings;
  ~SettingsGuard() { g_settings = saved; }
};

Mat random_design(Lcg& g, int n, int d) {
  Mat X(n, std::vector<double>(d));
  for (auto& row : X)
    for (double& x : row) x = g.uniform();
  return X;
}

std::vector<double> response(const Mat& X, Lcg& g) {
  std::vector<double> y;
  for (const auto& x : X) {
    double v = 1.0;
    for (size_t l = 0; l < x.size(); l++) v += sin(3.0 * x[l] + l) * (l + 1.0);
    y.push_back(v + 0.01 * g.normal());
  }
  return y;
}

// Prepares the workspace for a test model.
void setup(LikelihoodGradient* w, TestModel& m, bool random_error) {
  likelihood_gradient_setup(w, m.kr.X, m.kr.y, m.n(), m.d(), random_error);
}

double value_at(LikelihoodGradient* w, std::vector<double> t) {
  double L = 0.0;
  EXPECT_EQ(likelihood_gradient_eval(w, t.data(), &L, nullptr), LikelihoodStatus::kOk);
  return L;
}

// The analytic gradient against central differences, at t.
void expect_gradient_matches_differences(LikelihoodGradient* w, const std::vector<double>& t) {
  const int m = static_cast<int>(t.size());
  std::vector<double> g(m);
  double L = 0.0;
  ASSERT_EQ(likelihood_gradient_eval(w, t.data(), &L, g.data()), LikelihoodStatus::kOk);
  const double h = 1e-5;
  for (int i = 0; i < m; i++) {
    std::vector<double> up = t, down = t;
    up[i] += h;
    down[i] -= h;
    const double diff = (value_at(w, up) - value_at(w, down)) / (2.0 * h);
    EXPECT_NEAR(g[i], diff, 1e-6 * (1.0 + fabs(L)) + 1e-5 * fabs(diff)) << "component " << i;
  }
}

}  // namespace

TEST(LikelihoodGradient, AnalyticGradientMatchesCentralDifferences) {
  Lcg g(7);
  const Mat X = random_design(g, 14, 3);
  TestModel m(X, response(X, g));
  // alpha = sin t + 1: t = 1.45 puts alpha at 1.99, near the Gaussian end;
  // t = 0.2 and -0.6 put it well inside.
  const std::vector<double> near_two = {1.45, 1.4, 1.45, 2.0, 1.5, 3.0};
  const std::vector<double> inside = {0.2, -0.6, 0.5, 1.2, 2.2, 0.9};
  LikelihoodGradient w;
  setup(&w, m, false);
  expect_gradient_matches_differences(&w, near_two);
  expect_gradient_matches_differences(&w, inside);

  LikelihoodGradient w_error;
  setup(&w_error, m, true);
  std::vector<double> with_share = inside;
  with_share.push_back(0.7);  // s = 0.82
  expect_gradient_matches_differences(&w_error, with_share);
  with_share = near_two;
  with_share.push_back(1.2);
  expect_gradient_matches_differences(&w_error, with_share);
}

TEST(LikelihoodGradient, ValueEqualsTheEigenPathLikelihood) {
  SettingsGuard guard;
  Lcg g(11);
  const Mat X = random_design(g, 20, 2);
  TestModel m(X, response(X, g));
  for (bool random_error : {false, true}) {
    g_settings.RandomError = random_error;
    LikelihoodGradient w;
    setup(&w, m, random_error);
    m.kr.init.alpha = m.kr.init.theta = 1;
    FitState fit;
    open_model_fit(fit, &m.kr);
    for (int k = 0; k < 4; k++) {
      std::vector<double> t = {g.uniform() * 3 - 1.5, g.uniform() * 3 - 1.5, 1 + g.uniform() * 3,
                               1 + g.uniform() * 3};
      if (random_error) t.push_back(g.uniform() * 1.5);
      double L = 0.0;
      ASSERT_EQ(likelihood_gradient_eval(&w, t.data(), &L, nullptr), LikelihoodStatus::kOk);
      const double eigen = -loglike(t.data(), static_cast<int>(t.size()), &fit);
      EXPECT_NEAR(L, eigen, 1e-9 * fabs(eigen)) << "random error " << random_error;
      EXPECT_NEAR(w.sigma2, m.kr.sigma2[0], 1e-9 * m.kr.sigma2[0]);
      EXPECT_NEAR(w.beta, m.kr.beta[0], 1e-9 * (1.0 + fabs(m.kr.beta[0])));
    }
    close_fit(fit);
  }
}

TEST(LikelihoodGradient, SingularCorrelationMatrixIsRefused) {
  // Two equal design points and the Gaussian correlation with theta 0: R is
  // all ones.
  const Mat X = {{0.1, 0.2}, {0.1, 0.2}, {0.7, 0.4}};
  TestModel m(X, {1.0, 2.0, 3.0});
  LikelihoodGradient w;
  setup(&w, m, false);
  const std::vector<double> t = {-1.5707963267948966, -1.5707963267948966, 0.0, 0.0};
  double L = 0.0;
  std::vector<double> g(4);
  EXPECT_EQ(likelihood_gradient_eval(&w, t.data(), &L, g.data()),
            LikelihoodStatus::kNotPositiveDefinite);
}

// Both methods draw the same start vertices, so the random stream after a
// fit does not depend on the method; and the gradient fit leaves a model
// whose estimates and log-likelihood belong to its parameters.
TEST(LikelihoodGradient, GradientFitKeepsTheRandomStreamAndAConsistentModel) {
  SettingsGuard guard;
  Lcg g(3);
  const Mat X = random_design(g, 25, 2);
  const std::vector<double> y = response(X, g);
  int after[2][2][3];  // method, random error, state word
  for (int method = 0; method < 2; method++) {
    for (bool random_error : {false, true}) {
      g_settings.RandomError = random_error;
      g_settings.Tries = 2;
      snprintf(g_settings.MleMethod, sizeof g_settings.MleMethod, "%s",
               method == 0 ? "simplex" : "gradient");
      TestModel m(X, y);
      set_random_seeds(12, 34, 56);
      {
        Captured out;
        mle_fit(&m.kr, 1);
      }
      int* state = after[method][random_error ? 1 : 0];
      get_random_state(&state[0], &state[1], &state[2]);
      if (method == 0) continue;
      for (auto flag : {m.kr.init.R, m.kr.init.F, m.kr.init.U, m.kr.init.beta, m.kr.init.var})
        EXPECT_EQ(flag, 1);
      std::vector<double> alpha(m.kr.alpha, m.kr.alpha + 2), theta(m.kr.theta, m.kr.theta + 2);
      const RefGls ref = ref_gls(ref_R(X, alpha, theta, m.kr.stochratio[0]), y);
      expect_rel_near(ref.beta, m.kr.beta[0], 1e-8, "beta");
      expect_rel_near(ref.sigma2, m.kr.sigma2[0], 1e-8, "sigma2");
      expect_rel_near(ref.loglik, m.kr.loglik[0], 1e-8, "loglik");
    }
  }
  for (int e = 0; e < 2; e++)
    for (int k = 0; k < 3; k++) EXPECT_EQ(after[0][e][k], after[1][e][k]);
}
