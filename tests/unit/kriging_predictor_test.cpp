#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "base/settings.h"
#include "fatal_test_support.h"
#include "kriging/correlation.h"
#include "kriging/predictor.h"
#include "kriging_model_support.h"
#include "numeric/storage.h"

using namespace kriging_test;

namespace {

// P x 2 result storage and a points matrix, released on destruction.
struct Points {
  int rows, cols;
  double** m = nullptr;
  Points(int r, int c) : rows(r), cols(c) { alloc_real_matrix(r, c, &m); }
  explicit Points(const Mat& v) : Points(static_cast<int>(v.size()), static_cast<int>(v[0].size())) {
    for (int i = 0; i < rows; i++)
      for (int j = 0; j < cols; j++) m[i][j] = v[i][j];
  }
  ~Points() { free_real_matrix(rows, cols, &m); }
  Points(const Points&) = delete;
  Points& operator=(const Points&) = delete;
};

Mat design(Lcg& g, int n, int d) {
  Mat X(n, std::vector<double>(d));
  for (auto& row : X)
    for (double& x : row) x = 4.0 * g.uniform();
  return X;
}

std::vector<double> response(const Mat& X) {
  std::vector<double> y;
  for (const auto& x : X) y.push_back(5.0 + 2.0 * sin(x[0]) + x[1] * x[1] / 4.0);
  return y;
}

// The model's augmented decomposition made current, as after a fit.
void make_current(TestModel& m) {
  krCalcR(&m.kr);
  krCalcF(&m.kr);
  krCalc_augmR(&m.kr);
}

// krigmse_anyX on the model's own design, bracketed by its state.
void predict_any(TestModel& m, Points& pts, Points& result) {
  AnyXState state;
  init_krigmse_anyX(&state, &m.kr, m.kr.X, m.n(), m.d(), 1);
  krigmse_anyX(&state, &m.kr, m.kr.X, m.kr.y, m.n(), m.d(), pts.rows, pts.m, result.m);
  free_krigmse_anyX(&state, m.n(), 1);
}

// Classical kriging formulas with R^-1 from a Cholesky factorisation:
// prediction beta + r'R^-1(y - beta 1), MSE sigma2 (1 - r'R^-1 r + (1 - 1'R^-1 r)^2 / 1'R^-1 1).
void reference_prediction(const Mat& X, const std::vector<double>& y,
                          const std::vector<double>& alpha, const std::vector<double>& theta,
                          double s, double sigma2, const std::vector<double>& x, double* pred,
                          double* mse) {
  const RefGls g = ref_gls(ref_R(X, alpha, theta, s), y);
  std::vector<double> r;
  for (const auto& xi : X) r.push_back(s * ref_corr(xi, x, alpha, theta));
  const std::vector<double> Rinv_r = chol_solve(g.L, r);
  std::vector<double> e, ones(X.size(), 1.0);
  for (double v : y) e.push_back(v - g.beta);
  *pred = g.beta + dot(Rinv_r, e);
  const double u = 1.0 - dot(ones, Rinv_r);
  *mse = sigma2 * (1.0 - dot(r, Rinv_r) + u * u / g.one_Rinv_one);
}

}  // namespace

TEST(Predictor, InterpolatesTheDesignWithoutRandomError) {
  Lcg g(1);
  const Mat X = design(g, 15, 2);
  const std::vector<double> y = response(X);
  TestModel m(X, y);
  m.set_parameters({0.0, 0.5}, {0.8, 0.4}, 1.0, 4.0);
  make_current(m);
  Points pts(X), any(15, 2), blup(15, 2);
  Captured out;
  predict_any(m, pts, any);
  krigblup(&m.kr, 15, pts.m, blup.m);
  for (int i = 0; i < 15; i++) {
    EXPECT_NEAR(any.m[i][0], y[i], 1e-8 * fabs(y[i]));
    EXPECT_NEAR(blup.m[i][0], y[i], 1e-8 * fabs(y[i]));
    EXPECT_GE(any.m[i][1], 0.0);  // 0, or a tiny value
    EXPECT_LT(any.m[i][1], 1e-5);
  }
  // Tiny negative MSEs are set to 0 without a word.
  EXPECT_EQ(out.text(), "");
}

TEST(Predictor, SmoothsWithRandomErrorAndKeepsAPositiveStandardError) {
  Lcg g(2);
  const Mat X = design(g, 15, 2);
  std::vector<double> y = response(X);
  for (double& v : y) v += 0.3 * g.normal();
  TestModel m(X, y);
  const double s = 0.8, sigma2 = 2.0;
  m.set_parameters({0.0, 0.0}, {0.5, 0.5}, s, sigma2);
  make_current(m);
  Points pts(X), any(15, 2);
  predict_any(m, pts, any);
  double largest_change = 0.0;
  for (int i = 0; i < 15; i++) {
    largest_change = std::max(largest_change, fabs(any.m[i][0] - y[i]));
    EXPECT_GT(any.m[i][1], 0.0);
    double pred, mse;
    reference_prediction(X, y, {0.0, 0.0}, {0.5, 0.5}, s, sigma2, X[i], &pred, &mse);
    EXPECT_NEAR(any.m[i][0], pred, 1e-9 * fabs(pred));
    EXPECT_NEAR(any.m[i][1], sqrt(mse), 1e-7 * sqrt(mse));
  }
  EXPECT_GT(largest_change, 1e-3);
}

TEST(Predictor, MatchesTheClassicalFormulasBetweenDesignPoints) {
  Lcg g(3);
  const Mat X = design(g, 20, 2);
  const std::vector<double> y = response(X);
  TestModel m(X, y);
  const std::vector<double> alpha = {0.3, 1.2}, theta = {0.6, 0.9};
  m.set_parameters(alpha, theta, 1.0, 3.5);
  make_current(m);
  Mat new_points = design(g, 30, 2);
  Points pts(new_points), any(30, 2), blup(30, 2);
  predict_any(m, pts, any);
  krigblup(&m.kr, 30, pts.m, blup.m);
  for (int p = 0; p < 30; p++) {
    double pred, mse;
    reference_prediction(X, y, alpha, theta, 1.0, 3.5, new_points[p], &pred, &mse);
    EXPECT_NEAR(any.m[p][0], pred, 1e-9 * fabs(pred));
    EXPECT_NEAR(any.m[p][1], sqrt(mse), 1e-7 * sqrt(mse) + 1e-9);
    // Both forms compute the same thing from the same decomposition.
    EXPECT_NEAR(blup.m[p][0], any.m[p][0], 1e-12 * fabs(pred));
    EXPECT_NEAR(blup.m[p][1], any.m[p][1], 1e-10);
  }
}

TEST(Predictor, FarAwayPointGivesTheGlsMeanAndItsVariance) {
  Lcg g(4);
  const Mat X = design(g, 12, 2);
  const std::vector<double> y = response(X);
  for (double s : {1.0, 0.7}) {
    TestModel m(X, y);
    const std::vector<double> alpha = {0.0, 0.0}, theta = {1.0, 1.0};
    m.set_parameters(alpha, theta, s, 6.0);
    make_current(m);
    Points pts({{1e3, -1e3}}), any(1, 2), blup(1, 2);
    predict_any(m, pts, any);
    krigblup(&m.kr, 1, pts.m, blup.m);
    const RefGls ref = ref_gls(ref_R(X, alpha, theta, s), y);
    EXPECT_NEAR(any.m[0][0], ref.beta, 1e-10 * fabs(ref.beta));
    const double mse = 6.0 * (1.0 + 1.0 / ref.one_Rinv_one);
    EXPECT_NEAR(any.m[0][1], sqrt(mse), 1e-10 * sqrt(mse));
    EXPECT_NEAR(blup.m[0][0], any.m[0][0], 1e-12 * fabs(ref.beta));
    EXPECT_NEAR(blup.m[0][1], any.m[0][1], 1e-12);
  }
}

// Only the observed points passed take part: leaving one out changes the
// prediction there, and the state can be built again afterwards.
TEST(Predictor, AnyPointSetUsesOnlyThosePoints) {
  Lcg g(5);
  const Mat X = design(g, 10, 2);
  const std::vector<double> y = response(X);
  TestModel m(X, y);
  m.set_parameters({0.0, 0.0}, {0.7, 0.7}, 1.0, 2.0);
  Mat X9(X.begin() + 1, X.end());
  std::vector<double> y9(y.begin() + 1, y.end());
  Points sub(X9), pts({X[0]}), res(1, 2);
  AnyXState state;
  init_krigmse_anyX(&state, &m.kr, sub.m, 9, 2, 1);
  krigmse_anyX(&state, &m.kr, sub.m, y9.data(), 9, 2, 1, pts.m, res.m);
  free_krigmse_anyX(&state, 9, 1);
  double pred, mse;
  reference_prediction(X9, y9, {0.0, 0.0}, {0.7, 0.7}, 1.0, 2.0, X[0], &pred, &mse);
  EXPECT_NEAR(res.m[0][0], pred, 1e-9 * fabs(pred));
  EXPECT_NEAR(res.m[0][1], sqrt(mse), 1e-7 * sqrt(mse));
  EXPECT_GT(res.m[0][1], 1e-4);
}

TEST(Predictor, NegativeMeanSquaredErrors) {
  TestModel m({{0.0, 0.0}}, {1.0});
  {
    Captured out;
    EXPECT_EQ(check_mse(&m.kr, -1e-8, 3), 0.0);
    EXPECT_EQ(check_mse(&m.kr, -1e-7, 3), 0.0);
    EXPECT_EQ(out.text(), "");
  }
  {
    Captured out;
    EXPECT_EQ(check_mse(&m.kr, -0.05, 3), 0.0);
    EXPECT_EQ(check_mse(&m.kr, -0.1, 0), 0.0);
    EXPECT_EQ(out.text(),
              "WARNING : MSE for obs. 4 is -0.050000.Set to zero.\n"
              "WARNING : MSE for obs. 1 is -0.100000.Set to zero.\n");
  }
  EXPECT_TRUE(std::isnan(check_mse(&m.kr, std::nan(""), 0)));
}

TEST(Predictor, RoundingShortfallOfALargeVarianceIsSetToZero) {
  // sigma2 (1 - v' A+ v) at a design point of a response of magnitude 1e6:
  // rounding leaves a shortfall of 1e-15 sigma2, far below -0.1 in absolute terms.
  TestModel m({{0.0, 0.0}}, {1.0});
  m.kr.sigma2[0] = 6.670552912434903e15;
  Captured out;
  EXPECT_EQ(check_mse(&m.kr, -7.405801, 0), 0.0);
  EXPECT_EQ(out.text(), "WARNING : MSE for obs. 1 is -7.405801.Set to zero.\n");
}

TEST(PredictorDeathTest, ImpossibleMeanSquaredErrorDumpsTheModelAndEnds) {
  TestModel m({{0.0, 0.0}, {1.0, 1.0}}, {1.0, 2.0});
  char dir[] = "/tmp/dorve_predictor_XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  EXPECT_FATAL_EXIT(
      {
        if (chdir(dir) != 0) exit(9);
        check_mse(&m.kr, -0.2, 6);
      },
      ::testing::ExitedWithCode(1),
      "Kobb's runtime errors ... \nkrigblup,krigcov or mse_anyX: MSE in covariance is negative, "
      "possibly due to scaling. \n");
  std::string cleanup = std::string("rm -rf ") + dir;
  EXPECT_EQ(system(cleanup.c_str()), 0);
}

TEST(PredictorDeathTest, PredictionStateAdmitsOneUserAndMustBeBracketed) {
  TestModel m({{0.0, 0.0}, {1.0, 1.0}}, {1.0, 2.0});
  m.set_parameters({0.0, 0.0}, {1.0, 1.0}, 1.0, 1.0);
  Points pts({{0.5, 0.5}}), res(1, 2);
  AnyXState state;
  EXPECT_FATAL_EXIT(krigmse_anyX(&state, &m.kr, m.kr.X, m.kr.y, 2, 2, 1, pts.m, res.m),
                    ::testing::ExitedWithCode(1),
                    "krigmse_anyX: Code Bug: function call without its initialization");
  EXPECT_FATAL_EXIT(free_krigmse_anyX(&state, 2, 1), ::testing::ExitedWithCode(1),
                    "free_krigmse_anyX: Code Bug : mse_anyX was not initialized");
  EXPECT_FATAL_EXIT(
      {
        init_krigmse_anyX(&state, &m.kr, m.kr.X, 2, 2, 1);
        init_krigmse_anyX(&state, &m.kr, m.kr.X, 2, 2, 1);
      },
      ::testing::ExitedWithCode(1),
      "init_krigmse_anyX: Code Bug : krigmse_anyX already initialized");
  EXPECT_FATAL_EXIT(
      {
        init_krigmse_anyX(&state, &m.kr, m.kr.X, 2, 2, 1);
        krigmse_anyX(&state, &m.kr, m.kr.X, m.kr.y, 2, 3, 1, pts.m, res.m);
      },
      ::testing::ExitedWithCode(1), "mse_anyX : Code Bug : ad!= \\*kr->d");
}

// The decomposition is kept while the model's inputs stay and rebuilt when
// one changes: a stale one would predict with the old theta.
TEST(Predictor, PredictionDecompositionFollowsTheParameters) {
  Lcg g(8);
  const Mat X = design(g, 12, 2);
  const std::vector<double> y = response(X);
  TestModel m(X, y);
  m.set_parameters({0.0, 0.5}, {0.8, 0.4}, 1.0, 2.0);
  Points pts({{1.1, 2.3}}), res(1, 2);
  for (double theta0 : {0.8, 0.8, 1.7}) {
    m.kr.theta[0] = theta0;
    build_prediction_decomposition(&m.kr);
    krigblup(&m.kr, 1, pts.m, res.m);
    double pred, mse;
    reference_prediction(X, y, {0.0, 0.5}, {theta0, 0.4}, 1.0, 2.0, {1.1, 2.3}, &pred, &mse);
    EXPECT_NEAR(res.m[0][0], pred, 1e-9 * fabs(pred)) << theta0;
    EXPECT_NEAR(res.m[0][1], sqrt(mse), 1e-7 * sqrt(mse)) << theta0;
  }
}

// Points predicted in blocks, on two threads, give each point's own result
// bit for bit.
TEST(Predictor, ManyPointsAtOnceEqualOneAtATime) {
  Lcg g(9);
  const Mat X = design(g, 25, 3);
  const std::vector<double> y = response(X);
  TestModel m(X, y);
  m.set_parameters({0.2, 0.9, 1.5}, {0.6, 0.3, 1.1}, 0.9, 3.0);
  make_current(m);
  const int P = 450;
  Points pts(design(g, P, 3)), all(P, 2), one(1, 2);
  const int threads = g_settings.Threads;
  g_settings.Threads = 2;
  krigblup(&m.kr, P, pts.m, all.m);
  g_settings.Threads = threads;
  for (int p = 0; p < P; p++) {
    krigblup(&m.kr, 1, &pts.m[p], one.m);
    ASSERT_EQ(memcmp(all.m[p], one.m[0], 2 * sizeof(double)), 0) << p;
  }
}
