#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "base/interpreter.h"
#include "fatal_test_support.h"
#include "kriging/correlation.h"
#include "kriging/kernel.h"

namespace {

// Row-pointer views over flat storage, for small hand-made matrices.
struct Matrix {
  std::vector<double> cells;
  std::vector<double*> rows;
  Matrix(int n, int m, double fill = 0.0) : cells(n * m, fill), rows(n) {
    for (int i = 0; i < n; i++) rows[i] = &cells[i * m];
  }
  double** p() { return rows.data(); }
};

std::string captured_output(FILE* f) {
  std::string s;
  rewind(f);
  for (int c; (c = fgetc(f)) != EOF;) s += static_cast<char>(c);
  return s;
}

TEST(Correlation, PowerExponentialFactors) {
  Matrix X(2, 1);
  X.rows[0][0] = 0.0;
  X.rows[1][0] = 2.0;
  double theta[] = {1.0};
  double gaussian[] = {0.0}, exponential[] = {1.0}, flat[] = {2.0};
  Matrix R(2, 2);
  calcR(X.p(), gaussian, theta, 1.0, 2, 1, R.p());
  EXPECT_EQ(R.rows[0][1], exp(-4.0));
  EXPECT_EQ(R.rows[1][0], R.rows[0][1]);
  EXPECT_EQ(R.rows[0][0], 1.0);
  calcR(X.p(), exponential, theta, 1.0, 2, 1, R.p());
  EXPECT_EQ(R.rows[0][1], exp(-2.0));
  calcR(X.p(), flat, theta, 1.0, 2, 1, R.p());
  EXPECT_EQ(R.rows[0][1], exp(-1.0));
}

// The kernel's three evaluation forms give one correlation, and the chain
// rule to t is the Jacobian of the parameter map.
TEST(Correlation, KernelFormsAgreeAndTheChainRuleMatchesTheMap) {
  const double alpha[2] = {0.3, 1.6}, theta[2] = {0.8, 2.5};
  Matrix X(3, 2);
  const double points[3][2] = {{0.1, 0.9}, {0.6, 0.9}, {0.35, 0.2}};
  for (int i = 0; i < 3; i++) X.rows[i][0] = points[i][0], X.rows[i][1] = points[i][1];
  KernelPairs pairs;
  kernel_pairs_setup(&pairs, X.p(), 3, 2);
  kernel_pair_correlations(&pairs, alpha, theta);
  int pair = 0;
  for (int i = 0; i < 3; i++) {
    double with_slopes[3], slopes[6];
    kernel_correlations_with_slopes(X.p(), 3, X.rows[i], alpha, theta, 2, 1.0, with_slopes,
                                    slopes);
    for (int j = 0; j < 3; j++) {
      const double c = kernel_correlation(X.rows[i], X.rows[j], alpha, theta, 2);
      EXPECT_NEAR(with_slopes[j], c, 1e-15);
      if (j > i) {
        EXPECT_NEAR(pairs.corr[pair], c, 1e-14);
        pair++;
      }
    }
  }
  // d/dt of f(alpha, theta, s) = sum alpha + sum theta + s is the Jacobian's diagonal.
  const double t[5] = {0.4, -1.1, 1.7, 0.6, 0.3};
  const double ones[2] = {1.0, 1.0};
  double grad[5];
  kernel_gradient_to_t(t, 2, true, ones, ones, 1.0, grad);
  EXPECT_EQ(kernel_parameter_count(2, true), 5);
  for (int k = 0; k < 5; k++) {
    double up[5], down[5], a[2], th[2], s_up = 0.0, s_down = 0.0;
    for (int q = 0; q < 5; q++) up[q] = down[q] = t[q];
    up[k] += 1e-6;
    down[k] -= 1e-6;
    corpar_from_t(up, 2, true, a, th, &s_up);
    const double f_up = a[0] + a[1] + th[0] + th[1] + s_up;
    corpar_from_t(down, 2, true, a, th, &s_down);
    const double f_down = a[0] + a[1] + th[0] + th[1] + s_down;
    EXPECT_NEAR(grad[k], (f_up - f_down) / 2e-6, 1e-7) << k;
  }
}

TEST(Correlation, ShareScalesOffDiagonalOnly) {
  Matrix X(3, 2);
  double v[] = {0.1, 0.7, 0.4, 0.2, 0.9, 0.5};
  for (int i = 0; i < 6; i++) X.cells[i] = v[i];
  double alpha[] = {0.0, 0.5}, theta[] = {2.0, 3.0};
  Matrix full(3, 3), shared(3, 3), none(3, 3);
  calcR(X.p(), alpha, theta, 1.0, 3, 2, full.p());
  calcR(X.p(), alpha, theta, 0.75, 3, 2, shared.p());
  calcR(X.p(), alpha, theta, 0.0, 3, 2, none.p());
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 3; j++) {
      EXPECT_EQ(shared.rows[i][j], i == j ? 1.0 : 0.75 * full.rows[i][j]);
      EXPECT_EQ(none.rows[i][j], i == j ? 1.0 : 0.0);
    }
}

TEST(Correlation, NewPointCorrelations) {
  Matrix X(2, 2);
  X.rows[0][0] = 0.0; X.rows[0][1] = 0.0;
  X.rows[1][0] = 1.0; X.rows[1][1] = 1.0;
  double alpha[] = {0.0, 0.0}, theta[] = {1.0, 1.0};
  double r[2];
  double on_design[] = {0.0, 0.0};
  calcr(on_design, r, X.p(), alpha, theta, 0.8, 2, 2);
  EXPECT_EQ(r[0], 0.8);
  EXPECT_EQ(r[1], 0.8 * (exp(-1.0) * exp(-1.0)));
  calcr(on_design, r, X.p(), alpha, theta, 1.0, 2, 2);
  EXPECT_EQ(r[0], 1.0);
  double between[] = {0.5, 0.5};
  calcr(between, r, X.p(), alpha, theta, 0.8, 2, 2);
  EXPECT_EQ(r[0], 0.8 * (exp(-0.25) * exp(-0.25)));
  EXPECT_EQ(r[1], r[0]);
}

TEST(Correlation, SinglePointAugmentedMatrix) {
  Matrix R(1, 1, 1.0), F(1, 1, 1.0), A(2, 2);
  double eig[2], inveig[2];
  calc_augmR(1, 1, R.p(), F.p(), A.p(), eig, inveig);
  double lo = std::min(eig[0], eig[1]), hi = std::max(eig[0], eig[1]);
  EXPECT_NEAR(lo, (1.0 - sqrt(5.0)) / 2.0, 1e-14);
  EXPECT_NEAR(hi, (1.0 + sqrt(5.0)) / 2.0, 1e-14);
  for (int i = 0; i < 2; i++) EXPECT_EQ(inveig[i], 1.0 / eig[i]);
}

TEST(Correlation, SingularAugmentedMatrixWarnsForEachZeroEigenvalue) {
  // theta = 0 and s = 1: R is all ones, so rank(A) = 2 and n - 1 eigenvalues vanish.
  const int n = 4;
  Matrix X(n, 1);
  for (int i = 0; i < n; i++) X.rows[i][0] = i;
  double alpha[] = {0.0}, theta[] = {0.0};
  Matrix R(n, n), F(n, 1), A(n + 1, n + 1);
  calcR(X.p(), alpha, theta, 1.0, n, 1, R.p());
  calcF(n, 1, F.p());
  double eig[n + 1], inveig[n + 1];
  FILE* capture = tmpfile();
  FILE* saved = g_interp.out;
  g_interp.out = capture;
  calc_augmR(n, 1, R.p(), F.p(), A.p(), eig, inveig);
  g_interp.out = saved;
  std::string warning =
      "WARNING: Correlation Matrix is singular. Proceed with fingers crossed. (T1)\n";
  std::string expected;
  int zeros = 0;
  for (int i = 0; i <= n; i++) {
    if (fabs(eig[i]) <= kSingularEigenvalue) {
      EXPECT_EQ(inveig[i], 0.0);
      expected += warning;
      zeros++;
    }
  }
  EXPECT_EQ(zeros, n - 1);
  EXPECT_EQ(captured_output(capture), expected);
  fclose(capture);
}

TEST(CorrelationDeathTest, ShareOutsideUnitIntervalIsFatalWithValue) {
  Matrix X(1, 1), R(1, 1);
  double alpha[] = {0.0}, theta[] = {1.0}, r[1];
  EXPECT_FATAL_EXIT(
      calcR(X.p(), alpha, theta, 1.5, 1, 1, R.p()), ::testing::ExitedWithCode(2),
      "DORVE error \\.\\.\\. \nstochratio:  1\\.500000 \ncalcR: stochratio not within "
      "\\[0,1\\] \n");
  EXPECT_FATAL_EXIT(calcr(X.rows[0], r, X.p(), alpha, theta, NAN, 1, 1),
                    ::testing::ExitedWithCode(2), "calcr: stochratio not within \\[0,1\\]");
  Matrix F(2, 2);
  EXPECT_FATAL_EXIT(calcF(2, 2, F.p()), ::testing::ExitedWithCode(1),
                    "calcF : r!=1, that's  not implemented yet  \n");
}

}  // namespace
