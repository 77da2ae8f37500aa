// Shared helpers for the fit and predictor tests: a model record built on
// the stack from plain data, the output stream captured in memory, and an
// independent reference for the kriging formulas (correlation matrix and
// Cholesky factorisation written out here, not taken from the code under test).
#ifndef DORVE_TESTS_UNIT_KRIGING_MODEL_SUPPORT_H_
#define DORVE_TESTS_UNIT_KRIGING_MODEL_SUPPORT_H_

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/interpreter.h"
#include "data/model_store.h"
#include "data_test_support.h"

namespace kriging_test {

typedef std::vector<std::vector<double>> Mat;

// The output stream captured in memory for the life of the object.
using Captured = ::CapturedOutput;

// A model with the given design and responses (X and y flags set), released
// on destruction.
struct TestModel {
  KrigModel kr;
  TestModel(const Mat& X, const std::vector<double>& y) {
    clear_KrigModel(&kr);
    const int n = static_cast<int>(X.size()), d = static_cast<int>(X[0].size());
    default_KrigModel(&kr, n, d, 1);
    for (int i = 0; i < n; i++) {
      for (int l = 0; l < d; l++) kr.X[i][l] = X[i][l];
      kr.y[i] = y[i];
    }
    kr.init.X = 1;
    kr.init.y = 1;
    snprintf(kr.yname, sizeof kr.yname, "%s", "resp");
  }
  ~TestModel() { free_KrigModel(&kr); }
  TestModel(const TestModel&) = delete;
  TestModel& operator=(const TestModel&) = delete;
  int n() const { return kr.n[0]; }
  int d() const { return kr.d[0]; }
  // Sets the correlation parameters and the variance; flags alpha, theta, var.
  void set_parameters(const std::vector<double>& alpha, const std::vector<double>& theta,
                      double s, double sigma2) {
    for (int l = 0; l < d(); l++) {
      kr.alpha[l] = alpha[l];
      kr.theta[l] = theta[l];
    }
    kr.stochratio[0] = s;
    kr.sigma2[0] = sigma2;
    kr.init.alpha = kr.init.theta = kr.init.var = 1;
  }
};

// A small deterministic generator for test data (not DORVE's).
struct Lcg {
  unsigned long long state;
  explicit Lcg(unsigned long long seed) : state(seed) {}
  double uniform() {  // [0, 1)
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<double>(state >> 11) / 9007199254740992.0;
  }
  double normal() {  // Box-Muller
    double u1 = uniform(), u2 = uniform();
    if (u1 < 1e-300) u1 = 1e-300;
    return sqrt(-2.0 * log(u1)) * cos(6.283185307179586 * u2);
  }
};

inline double ref_corr(const std::vector<double>& a, const std::vector<double>& b,
                       const std::vector<double>& alpha, const std::vector<double>& theta) {
  double sum = 0.0;
  for (size_t l = 0; l < a.size(); l++) sum += theta[l] * pow(fabs(a[l] - b[l]), 2.0 - alpha[l]);
  return exp(-sum);
}

// R = s K + (1 - s) I.
inline Mat ref_R(const Mat& X, const std::vector<double>& alpha, const std::vector<double>& theta,
                 double s) {
  const size_t n = X.size();
  Mat R(n, std::vector<double>(n, 1.0));
  for (size_t i = 0; i < n; i++)
    for (size_t j = 0; j < n; j++)
      if (i != j) R[i][j] = s * ref_corr(X[i], X[j], alpha, theta);
  return R;
}

// Lower Cholesky factor; false when the matrix is not positive definite.
inline bool cholesky(const Mat& A, Mat* L) {
  const size_t n = A.size();
  *L = Mat(n, std::vector<double>(n, 0.0));
  for (size_t j = 0; j < n; j++) {
    long double sum = A[j][j];
    for (size_t k = 0; k < j; k++) sum -= (long double)(*L)[j][k] * (*L)[j][k];
    if (sum <= 0) return false;
    (*L)[j][j] = sqrt((double)sum);
    for (size_t i = j + 1; i < n; i++) {
      long double t = A[i][j];
      for (size_t k = 0; k < j; k++) t -= (long double)(*L)[i][k] * (*L)[j][k];
      (*L)[i][j] = (double)(t / (*L)[j][j]);
    }
  }
  return true;
}

// Solves L L' x = b.
inline std::vector<double> chol_solve(const Mat& L, const std::vector<double>& b) {
  const size_t n = L.size();
  std::vector<double> z(n), x(n);
  for (size_t i = 0; i < n; i++) {
    long double t = b[i];
    for (size_t k = 0; k < i; k++) t -= (long double)L[i][k] * z[k];
    z[i] = (double)(t / L[i][i]);
  }
  for (size_t i = n; i-- > 0;) {
    long double t = z[i];
    for (size_t k = i + 1; k < n; k++) t -= (long double)L[k][i] * x[k];
    x[i] = (double)(t / L[i][i]);
  }
  return x;
}

inline double dot(const std::vector<double>& a, const std::vector<double>& b) {
  long double s = 0;
  for (size_t i = 0; i < a.size(); i++) s += (long double)a[i] * b[i];
  return (double)s;
}

// The generalised least-squares fit of a constant mean under R.
struct RefGls {
  Mat L;
  double logdet = 0.0;  // ln det R
  double one_Rinv_one = 0.0;
  double beta = 0.0;
  double sigma2 = 0.0;  // (y - beta)' R^-1 (y - beta) / n
  double loglik = 0.0;  // -0.5 (n ln sigma2 + ln det R)
};

inline RefGls ref_gls(const Mat& R, const std::vector<double>& y) {
  RefGls g;
  const size_t n = y.size();
  EXPECT_TRUE(cholesky(R, &g.L)) << "reference R not positive definite";
  for (size_t i = 0; i < n; i++) g.logdet += 2.0 * log(g.L[i][i]);
  std::vector<double> ones(n, 1.0);
  const std::vector<double> Rinv_one = chol_solve(g.L, ones);
  const std::vector<double> Rinv_y = chol_solve(g.L, y);
  g.one_Rinv_one = dot(ones, Rinv_one);
  g.beta = dot(ones, Rinv_y) / g.one_Rinv_one;
  std::vector<double> e(n);
  for (size_t i = 0; i < n; i++) e[i] = y[i] - g.beta;
  g.sigma2 = dot(e, chol_solve(g.L, e)) / n;
  g.loglik = -0.5 * (n * log(g.sigma2) + g.logdet);
  return g;
}

inline void expect_rel_near(double expected, double actual, double rel, const char* what) {
  EXPECT_NEAR(actual, expected, rel * fabs(expected)) << what;
}

}  // namespace kriging_test

#endif  // DORVE_TESTS_UNIT_KRIGING_MODEL_SUPPORT_H_
