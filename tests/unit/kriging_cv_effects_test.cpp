#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "base/settings.h"
#include "data/model_store.h"
#include "data_test_support.h"
#include "kriging/correlation.h"
#include "kriging/cross_validation.h"
#include "kriging/effects.h"
#include "kriging/inverse.h"
#include "kriging/normal.h"
#include "kriging/predictor.h"
#include "numeric/storage.h"

namespace {

// A fitted-looking model of a smooth function of two variables on [0, 1]^2.
struct TestModel {
  KrigModel kr;
  TestModel(int n, double s) {
    memset(&kr, 0, sizeof kr);
    clear_KrigModel(&kr);
    default_KrigModel(&kr, n, 2, 1);
    for (int i = 0; i < n; i++) {
      kr.X[i][0] = std::fmod(0.37 * i + 0.11, 1.0);
      kr.X[i][1] = std::fmod(0.61 * i + 0.05, 1.0);
      kr.y[i] = std::sin(3.0 * kr.X[i][0]) + kr.X[i][1] * kr.X[i][1];
    }
    snprintf(kr.xlabels[0], kSlotLen, "a");
    snprintf(kr.xlabels[1], kSlotLen, "b");
    snprintf(kr.yname, kYNameLen, "f");
    kr.alpha[0] = 0.0;
    kr.alpha[1] = 0.3;
    kr.theta[0] = 2.0;
    kr.theta[1] = 1.5;
    kr.stochratio[0] = s;
    kr.sigma2[0] = 0.8;
    kr.beta[0] = 0.5;
    kr.range[0][0] = kr.range[1][0] = 0.0;
    kr.range[0][1] = kr.range[1][1] = 1.0;
    kr.init.X = kr.init.y = kr.init.alpha = kr.init.theta = kr.init.beta = kr.init.var = 1;
    kr.init.range = 1;
  }
  ~TestModel() { free_KrigModel(&kr); }
};

// The kriging prediction at x from (X, y) written out with an explicit
// inverse: beta = 1'R^-1 y / 1'R^-1 1, yhat = beta + r' R^-1 (y - beta).
double direct_prediction(const KrigModel& kr, const std::vector<std::vector<double>>& X,
                         const std::vector<double>& y, const double* x) {
  const int m = static_cast<int>(X.size());
  std::vector<std::vector<double>> Rm(m, std::vector<double>(m)), Ri(m, std::vector<double>(m));
  std::vector<double*> R(m), Rinv(m), Xp(m);
  for (int i = 0; i < m; i++) {
    R[i] = Rm[i].data();
    Rinv[i] = Ri[i].data();
    Xp[i] = const_cast<double*>(X[i].data());
  }
  calcR(Xp.data(), kr.alpha, kr.theta, kr.stochratio[0], m, 2, R.data());
  std::vector<double> r(m);
  calcr(x, r.data(), Xp.data(), kr.alpha, kr.theta, kr.stochratio[0], m, 2);
  invert_matrix(R.data(), Rinv.data(), m);
  double a = 0, b = 0;
  for (int i = 0; i < m; i++)
    for (int j = 0; j < m; j++) {
      a += Rinv[i][j] * y[j];
      b += Rinv[i][j];
    }
  const double beta = a / b;
  double pred = beta;
  for (int i = 0; i < m; i++)
    for (int j = 0; j < m; j++) pred += r[i] * Rinv[i][j] * (y[j] - beta);
  return pred;
}

TEST(CrossValidation, LeaveOneOutMatchesDirectPredictionFromTheOthers) {
  TestModel m(12, 1.0);
  const int n = 12;
  std::vector<std::vector<double>> res(n, std::vector<double>(3));
  std::vector<double*> result(n);
  for (int i = 0; i < n; i++) result[i] = res[i].data();
  cross_validate_model(&m.kr, m.kr.X, m.kr.y, n, 2, result.data(), 3);
  double ymin = m.kr.y[0];
  for (int i = 1; i < n; i++) ymin = std::min(ymin, m.kr.y[i]);
  for (int i = 0; i < n; i++) {
    std::vector<std::vector<double>> X;
    std::vector<double> y;
    for (int k = 0; k < n; k++)
      if (k != i) {
        X.push_back({m.kr.X[k][0], m.kr.X[k][1]});
        y.push_back(m.kr.y[k]);
      }
    EXPECT_NEAR(res[i][0], direct_prediction(m.kr, X, y, m.kr.X[i]), 1e-8) << i;
    EXPECT_GT(res[i][1], 0.0) << i;
    const double s = res[i][1], u = (ymin - res[i][0]) / s;
    EXPECT_NEAR(res[i][2], s * (u * normal_cdf(u, 1) + normal_pdf(u)), 1e-12) << i;
  }
}

TEST(CrossValidation, ModelNotFittedGivesMissingValues) {
  TestModel m(5, 1.0);
  m.kr.init.theta = 0;
  double rows[5][3];
  double* result[5];
  for (int i = 0; i < 5; i++) result[i] = rows[i];
  CapturedOutput out;
  cross_validate_model(&m.kr, m.kr.X, m.kr.y, 5, 2, result, 3);
  EXPECT_EQ(out.text(), "Sorry, can't do that. theta is not initialized.\n");
  for (auto& row : rows)
    for (double v : row) EXPECT_EQ(v, kNaMarker);
}

// Parameters set before a y holding NA, inf or nan was read do not make the
// model usable: both say why and compute nothing.
TEST(CrossValidation, ResponsesHoldingNonFiniteValuesGiveMissingValuesAndEffectsNothing) {
  TestModel m(5, 1.0);
  m.kr.y[1] = std::numeric_limits<double>::infinity();
  const std::string why =
      "Sorry, y holds missing or non-finite values: f (row 2). The model of f is not ready.\n";
  double rows[5][3];
  double* result[5];
  for (int i = 0; i < 5; i++) result[i] = rows[i];
  CapturedOutput out;
  cross_validate_model(&m.kr, m.kr.X, m.kr.y, 5, 2, result, 3);
  for (auto& row : rows)
    for (double v : row) EXPECT_EQ(v, kNaMarker);
  EXPECT_FALSE(main_effects(&m.kr, "screen", 'w'));
  EXPECT_FALSE(joint_effects(&m.kr, "screen", 'w'));
  EXPECT_EQ(out.text(), why + why + why);
}

TEST(Effects, TableBeyondIntRowsIsRefused) {
  TestModel m(10, 1.0);
  g_settings.GridSize = 46341;  // one pair's block alone passes INT_MAX rows
  {
    CapturedOutput out;
    EXPECT_FALSE(joint_effects(&m.kr, "screen", 'w'));
    EXPECT_EQ(out.text(),
              "Sorry, command ignored. The effects table would have too many rows; lower "
              "GridSize.\n");
  }
  g_settings = Settings();
}

TEST(Effects, RowsSpanTheRangesAndMatchThePredictor) {
  TestModel m(10, 1.0);
  TempDir dir;
  g_settings.GridSize = 4;
  const std::string file = dir.file("main.mat");
  {
    CapturedOutput out;
    ASSERT_TRUE(main_effects(&m.kr, file.c_str(), 'w'));
    ASSERT_TRUE(joint_effects(&m.kr, dir.file("joint.mat").c_str(), 'w'));
  }
  // Main effects: d * G rows; the first and last value of each block at the limits.
  const std::string text = read_file(file);
  EXPECT_NE(text.find("    1           a    0.000000 "), std::string::npos);
  EXPECT_NE(text.find("    4           a    1.000000 "), std::string::npos);
  EXPECT_NE(text.find("    8           b    1.000000 "), std::string::npos);
  EXPECT_EQ(text.find("    9 "), std::string::npos);
  // Joint effects: G^2 rows for the one pair.
  const std::string joint = read_file(dir.file("joint.mat"));
  EXPECT_NE(joint.find("   16 "), std::string::npos);
  EXPECT_EQ(joint.find("   17 "), std::string::npos);
  // The effect of variable a at its lower limit is the prediction there.
  double x[2] = {0.0, 0.5}, pred[2];
  double* px[1] = {x};
  double* pp[1] = {pred};
  krigblup(&m.kr, 1, px, pp);
  char expected[64];
  snprintf(expected, sizeof expected, "    0.000000 %11.6f ", pred[0]);
  EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
  g_settings = Settings();
}

}  // namespace
