// Eigen decomposition, LU decomposition and inversion, normal distribution.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "fatal_test_support.h"
#include "kriging/eigen.h"
#include "kriging/inverse.h"
#include "kriging/normal.h"
#include "numeric/storage.h"
#include "numeric_test_support.h"

namespace {

// ---------------------------------------------------------------------------
// Helpers

// The standard-error text of a fatal error, matched anywhere in the output.
std::string fatal_pattern(const std::string& message) {
  return regex_literal("DORVE ERROR... \n" + message + " \nNow exiting to system ... \n ");
}

// A square matrix in the system's storage, released on scope exit.
struct Mat {
  int n;
  double** a = nullptr;
  explicit Mat(int order) : n(order) { alloc_real_matrix(n, n, &a); }
  Mat(const Mat& other) : n(other.n) {
    alloc_real_matrix(n, n, &a);
    for (int i = 0; i < n; i++)
      for (int j = 0; j < n; j++) a[i][j] = other.a[i][j];
  }
  Mat& operator=(const Mat&) = delete;
  ~Mat() { free_real_matrix(n, n, &a); }
  double* operator[](int i) const { return a[i]; }
};

Mat random_symmetric(int n, unsigned seed) {
  std::mt19937_64 gen(seed);
  std::uniform_real_distribution<double> unif(-1.0, 1.0);
  Mat m(n);
  for (int i = 0; i < n; i++)
    for (int j = 0; j <= i; j++) m[i][j] = m[j][i] = unif(gen);
  return m;
}

// exp(-theta * |xi - xj|^2) for n random points in the unit cube of dims dimensions.
Mat correlation_matrix(int n, int dims, double theta, unsigned seed) {
  std::mt19937_64 gen(seed);
  std::uniform_real_distribution<double> unif(0.0, 1.0);
  std::vector<double> x(static_cast<size_t>(n) * dims);
  for (double& v : x) v = unif(gen);
  Mat r(n);
  for (int i = 0; i < n; i++) {
    for (int j = 0; j < n; j++) {
      double s = 0.0;
      for (int l = 0; l < dims; l++) {
        const double t = x[i * dims + l] - x[j * dims + l];
        s += t * t;
      }
      r[i][j] = std::exp(-theta * s);
    }
  }
  return r;
}

double frobenius_norm(const Mat& m) {
  double s = 0.0;
  for (int i = 0; i < m.n; i++)
    for (int j = 0; j < m.n; j++) s += m[i][j] * m[i][j];
  return std::sqrt(s);
}

// Checks A V = V diag(d) and V^T V = I, both to 1e-12 relative to |A|.
void expect_eigen_decomposition(const Mat& original, const Mat& v, const double* d) {
  const int n = original.n;
  const double norm = frobenius_norm(original);
  const double tol = 1e-12 * (norm > 0.0 ? norm : 1.0);
  double worst_residual = 0.0, worst_orthogonality = 0.0;
  for (int i = 0; i < n; i++) {
    for (int k = 0; k < n; k++) {
      double av = 0.0;
      for (int j = 0; j < n; j++) av += original[i][j] * v[j][k];
      worst_residual = std::max(worst_residual, std::fabs(av - v[i][k] * d[k]));
      double vtv = 0.0;
      for (int j = 0; j < n; j++) vtv += v[j][i] * v[j][k];
      worst_orthogonality = std::max(worst_orthogonality, std::fabs(vtv - (i == k ? 1.0 : 0.0)));
    }
  }
  EXPECT_LE(worst_residual, tol) << "order " << n;
  EXPECT_LE(worst_orthogonality, 1e-12) << "order " << n;
}

// ---------------------------------------------------------------------------
// The Householder reduction and the QL iteration written out plainly, loop by
// loop as the algorithm reads. The library's version rearranges memory access
// only; it must reproduce these results bit for bit.

double plain_hypot(double a, double b) {
  double p = std::fabs(a), q = std::fabs(b);
  if (p > q) return p * std::sqrt(1.0 + (q / p) * (q / p));
  return q == 0.0 ? 0.0 : q * std::sqrt(1.0 + (p / q) * (p / q));
}

void plain_householder(double** a, int n, double* d, double* e) {
  for (int i = n - 1; i >= 1; i--) {
    int l = i - 1;
    double h = 0.0, scale = 0.0;
    if (l > 0) {
      for (int k = 0; k <= l; k++) scale += std::fabs(a[i][k]);
      if (scale == 0.0) {
        e[i] = a[i][l];
      } else {
        for (int k = 0; k <= l; k++) {
          a[i][k] /= scale;
          h += a[i][k] * a[i][k];
        }
        double f = a[i][l];
        double g = (f >= 0.0 ? -std::sqrt(h) : std::sqrt(h));
        e[i] = scale * g;
        h -= f * g;
        a[i][l] = f - g;
        f = 0.0;
        for (int j = 0; j <= l; j++) {
          a[j][i] = a[i][j] / h;
          g = 0.0;
          for (int k = 0; k <= j; k++) g += a[j][k] * a[i][k];
          for (int k = j + 1; k <= l; k++) g += a[k][j] * a[i][k];
          e[j] = g / h;
          f += e[j] * a[i][j];
        }
        double hh = f / (h + h);
        for (int j = 0; j <= l; j++) {
          f = a[i][j];
          e[j] = g = e[j] - hh * f;
          for (int k = 0; k <= j; k++) a[j][k] -= (f * e[k] + g * a[i][k]);
        }
      }
    } else {
      e[i] = a[i][l];
    }
    d[i] = h;
  }
  d[0] = 0.0;
  e[0] = 0.0;
  for (int i = 0; i < n; i++) {
    int l = i - 1;
    if (d[i] != 0.0) {
      for (int j = 0; j <= l; j++) {
        double g = 0.0;
        for (int k = 0; k <= l; k++) g += a[i][k] * a[k][j];
        for (int k = 0; k <= l; k++) a[k][j] -= g * a[k][i];
      }
    }
    d[i] = a[i][i];
    a[i][i] = 1.0;
    for (int j = 0; j <= l; j++) a[j][i] = a[i][j] = 0.0;
  }
}

void plain_tqli(double* d, double* e, int n, double** z) {
  for (int i = 1; i < n; i++) e[i - 1] = e[i];
  e[n - 1] = 0.0;
  for (int l = 0; l < n; l++) {
    int iter = 0, m;
    do {
      for (m = l; m <= n - 2; m++) {
        double dd = std::fabs(d[m]) + std::fabs(d[m + 1]);
        if (std::fabs(e[m]) + dd == dd) break;
      }
      if (m != l) {
        if (iter++ == 30) return;
        double g = (d[l + 1] - d[l]) / (2.0 * e[l]);
        double r = plain_hypot(g, 1.0);
        g = d[m] - d[l] + e[l] / (g + (g > 0.0 ? std::fabs(r) : -std::fabs(r)));
        double s = 1.0, c = 1.0, p = 0.0;
        int i;
        for (i = m - 1; i >= l; i--) {
          double f = s * e[i];
          double b = c * e[i];
          e[i + 1] = (r = plain_hypot(f, g));
          if (r == 0.0) {
            d[i + 1] -= p;
            e[m] = 0.0;
            break;
          }
          s = f / r;
          c = g / r;
          g = d[i + 1] - p;
          r = (d[i] - g) * s + 2.0 * c * b;
          d[i + 1] = g + (p = s * r);
          g = c * r - b;
          for (int k = 0; k < n; k++) {
            f = z[k][i + 1];
            z[k][i + 1] = s * z[k][i] + c * f;
            z[k][i] = c * z[k][i] - s * f;
          }
        }
        if (r == 0.0 && i >= l) continue;
        d[l] -= p;
        e[l] = g;
        e[m] = 0.0;
      }
    } while (m != l);
  }
}

bool same_bits(double x, double y) { return std::memcmp(&x, &y, sizeof x) == 0; }

// Runs both versions on copies of m and requires identical bits everywhere.
void expect_bit_identical_to_plain(const Mat& m) {
  const int n = m.n;
  Mat fast(m), plain(m);
  std::vector<double> d_fast(n), d_plain(n), e_plain(n);
  eigen_symmetric(fast.a, n, d_fast.data());
  plain_householder(plain.a, n, d_plain.data(), e_plain.data());
  plain_tqli(d_plain.data(), e_plain.data(), n, plain.a);
  int value_mismatches = 0, vector_mismatches = 0;
  for (int i = 0; i < n; i++) {
    if (!same_bits(d_fast[i], d_plain[i])) value_mismatches++;
    for (int j = 0; j < n; j++)
      if (!same_bits(fast[i][j], plain[i][j])) vector_mismatches++;
  }
  EXPECT_EQ(value_mismatches, 0) << "order " << n;
  EXPECT_EQ(vector_mismatches, 0) << "order " << n;
}

// ---------------------------------------------------------------------------
// Eigen decomposition

TEST(EigenSymmetricTest, SafeHypotAvoidsOverflowAndUnderflow) {
  EXPECT_EQ(safe_hypot(3.0, 4.0), 5.0);
  EXPECT_EQ(safe_hypot(-3.0, 4.0), 5.0);
  EXPECT_EQ(safe_hypot(0.0, 0.0), 0.0);
  EXPECT_EQ(safe_hypot(0.0, -2.5), 2.5);
  EXPECT_EQ(safe_hypot(7.0, 0.0), 7.0);
  EXPECT_DOUBLE_EQ(safe_hypot(1e300, 1e300), std::sqrt(2.0) * 1e300);
  EXPECT_DOUBLE_EQ(safe_hypot(3e-300, 4e-300), 5e-300);
  EXPECT_DOUBLE_EQ(safe_hypot(1e-320, 0.0), 1e-320);
}

TEST(EigenSymmetricTest, OrderOneIsTrivial) {
  Mat a(1);
  a[0][0] = -2.75;
  double d[1];
  eigen_symmetric(a.a, 1, d);
  EXPECT_EQ(d[0], -2.75);
  EXPECT_EQ(a[0][0], 1.0);
}

TEST(EigenSymmetricTest, DiagonalMatrixGivesItsDiagonalAndUnitVectors) {
  const int n = 6;
  Mat a(n);
  const double diag[n] = {3.0, -1.0, 0.0, 7.5, 2.0, 1e-3};
  for (int i = 0; i < n; i++)
    for (int j = 0; j < n; j++) a[i][j] = (i == j ? diag[i] : 0.0);
  double d[n];
  eigen_symmetric(a.a, n, d);
  for (int i = 0; i < n; i++) {
    EXPECT_EQ(d[i], diag[i]);
    for (int j = 0; j < n; j++) EXPECT_EQ(a[i][j], i == j ? 1.0 : 0.0);
  }
}

TEST(EigenSymmetricTest, TwoByTwoKnownValues) {
  Mat a(2);
  a[0][0] = 2.0;
  a[0][1] = 1.0;
  a[1][0] = 1.0;
  a[1][1] = 2.0;
  Mat original(a);
  double d[2];
  eigen_symmetric(a.a, 2, d);
  const double lo = std::min(d[0], d[1]), hi = std::max(d[0], d[1]);
  EXPECT_NEAR(lo, 1.0, 1e-15);
  EXPECT_NEAR(hi, 3.0, 1e-15);
  expect_eigen_decomposition(original, a, d);
}

TEST(EigenSymmetricTest, EigenvalueColumnsStayPaired) {
  // Unsorted output: whatever order comes out, column i belongs to d[i].
  Mat a(3);
  const double m[3][3] = {{4, 1, 0}, {1, 3, 1}, {0, 1, 2}};
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 3; j++) a[i][j] = m[i][j];
  Mat original(a);
  double d[3];
  eigen_symmetric(a.a, 3, d);
  expect_eigen_decomposition(original, a, d);
  EXPECT_NEAR(d[0] + d[1] + d[2], 9.0, 1e-13);  // trace
}

TEST(EigenSymmetricTest, RandomSymmetricMatricesOfOrdersOneToTwoHundred) {
  std::vector<int> orders;
  for (int n = 1; n <= 40; n++) orders.push_back(n);
  for (int n : {47, 64, 99, 128, 163, 200}) orders.push_back(n);
  for (int n : orders) {
    Mat a = random_symmetric(n, 1000u + n);
    Mat v(a);
    std::vector<double> d(n);
    eigen_symmetric(v.a, n, d.data());
    expect_eigen_decomposition(a, v, d.data());
  }
}

TEST(EigenSymmetricTest, CorrelationMatrices) {
  struct Case {
    int n, dims;
    double theta;
  };
  // From well conditioned to nearly singular (tiny and slightly negative eigenvalues).
  for (const Case& c : {Case{10, 2, 5.0}, Case{50, 3, 2.0}, Case{100, 4, 3.0}, Case{150, 2, 0.5},
                        Case{200, 4, 1.0}, Case{200, 1, 10.0}}) {
    Mat r = correlation_matrix(c.n, c.dims, c.theta, 77u + c.n);
    Mat v(r);
    std::vector<double> d(c.n);
    eigen_symmetric(v.a, c.n, d.data());
    expect_eigen_decomposition(r, v, d.data());
    double trace = 0.0;
    for (double x : d) trace += x;
    EXPECT_NEAR(trace, c.n, 1e-10 * c.n);
  }
}

TEST(EigenSymmetricTest, OnlyTheLowerTriangleIsRead) {
  Mat a = random_symmetric(12, 5u);
  Mat b(a);
  for (int i = 0; i < 12; i++)
    for (int j = i + 1; j < 12; j++) b[i][j] = 99.0 + j;  // garbage above the diagonal
  std::vector<double> da(12), db(12);
  eigen_symmetric(a.a, 12, da.data());
  eigen_symmetric(b.a, 12, db.data());
  for (int i = 0; i < 12; i++) {
    EXPECT_TRUE(same_bits(da[i], db[i]));
    for (int j = 0; j < 12; j++) EXPECT_TRUE(same_bits(a[i][j], b[i][j]));
  }
}

TEST(EigenSymmetricTest, BitIdenticalToThePlainLoops) {
  for (int n : {1, 2, 3, 4, 7, 16, 33, 90}) expect_bit_identical_to_plain(random_symmetric(n, 42u + n));
  expect_bit_identical_to_plain(correlation_matrix(60, 3, 2.0, 9u));
  expect_bit_identical_to_plain(correlation_matrix(150, 2, 0.5, 10u));
  expect_bit_identical_to_plain(correlation_matrix(201, 4, 1.0, 11u));

  // Rows that are zero left of the diagonal take the skip branch of the reduction.
  Mat sparse = random_symmetric(9, 3u);
  for (int j = 0; j < 5; j++) sparse[5][j] = sparse[j][5] = 0.0;
  for (int j = 0; j < 9; j++)
    if (j != 2) sparse[2][j] = sparse[j][2] = 0.0;
  expect_bit_identical_to_plain(sparse);

  // Not symmetric: both versions read the lower triangle only.
  Mat skew = random_symmetric(25, 4u);
  for (int i = 0; i < 25; i++)
    for (int j = i + 1; j < 25; j++) skew[i][j] = -3.0 * skew[i][j] + 1.0;
  expect_bit_identical_to_plain(skew);
}

TEST(EigenSymmetricTest, HouseholderAndTqliComposeToTheDecomposition) {
  const int n = 20;
  Mat a = random_symmetric(n, 21u);
  Mat q(a), whole(a);
  std::vector<double> d(n), e(n), dw(n);
  householder_tridiag(q.a, n, d.data(), e.data());
  EXPECT_EQ(e[0], 0.0);
  // Q^T A Q is tridiagonal with diagonal d and off-diagonal e[1..n-1].
  for (int i = 0; i < n; i++) {
    for (int j = 0; j < n; j++) {
      double t = 0.0;
      for (int k = 0; k < n; k++) {
        double ak = 0.0;
        for (int l = 0; l < n; l++) ak += a[k][l] * q[l][j];
        t += q[k][i] * ak;
      }
      double expected = 0.0;
      if (i == j) expected = d[i];
      if (i == j + 1) expected = e[i];
      if (j == i + 1) expected = e[j];
      EXPECT_NEAR(t, expected, 1e-13) << i << "," << j;
    }
  }
  tqli(d.data(), e.data(), n, q.a);
  eigen_symmetric(whole.a, n, dw.data());
  for (int i = 0; i < n; i++) {
    EXPECT_TRUE(same_bits(d[i], dw[i]));
    for (int j = 0; j < n; j++) EXPECT_TRUE(same_bits(q[i][j], whole[i][j]));
  }
}

// Q diag(lambda) Q' with eigenvalues from 1 down to 1e-16, alternating in sign,
// in the basis of a random orthogonal Q (Gram-Schmidt on uniform entries).
Mat graded_matrix(int n, unsigned seed) {
  std::mt19937_64 gen(seed);
  std::uniform_real_distribution<double> unif(-1.0, 1.0);
  Mat q(n);
  for (int i = 0; i < n; i++) {
    for (int j = 0; j < n; j++) q[i][j] = unif(gen);
    for (int k = 0; k < i; k++) {
      double dot = 0.0;
      for (int j = 0; j < n; j++) dot += q[i][j] * q[k][j];
      for (int j = 0; j < n; j++) q[i][j] -= dot * q[k][j];
    }
    double norm = 0.0;
    for (int j = 0; j < n; j++) norm += q[i][j] * q[i][j];
    for (int j = 0; j < n; j++) q[i][j] /= std::sqrt(norm);
  }
  Mat a(n);
  for (int i = 0; i < n; i++) {
    for (int j = 0; j < n; j++) {
      double s = 0.0;
      for (int k = 0; k < n; k++)
        s += q[k][i] * (k % 2 ? -1.0 : 1.0) * std::pow(10.0, -16.0 * k / (n - 1)) * q[k][j];
      a[i][j] = s;
    }
  }
  return a;
}

TEST(EigenSymmetricTest, GradedMatricesThatDefeatTheRelativeTest) {
  // Eigenvalues down to 1e-16 beside off-diagonals of about 1e-23: the relative
  // deflation test never fires for some eigenvalue within 30 iterations, and
  // the absolute test must finish it with an accurate decomposition. The second
  // matrix is a nearly singular Gaussian correlation matrix, as a fit meets.
  const Mat graded = graded_matrix(40, 5u);
  const Mat correlation = correlation_matrix(100, 2, 3.0, 3u);
  for (const Mat* a : {&graded, &correlation}) {
    Mat v(*a);
    std::vector<double> d(a->n);
    const long long before = tqli_fallback_eigenvalues();
    eigen_symmetric(v.a, a->n, d.data());
    EXPECT_GT(tqli_fallback_eigenvalues(), before) << "order " << a->n;
    expect_eigen_decomposition(*a, v, d.data());
  }
}

// eigen_symmetric_transform against eigen_symmetric on the same matrix: the
// eigenvalues bit for bit, and each transformed vector equal to V' x formed
// with the eigenvectors, within 1e-10 of |x|.
void expect_transform_matches_eigenvectors(const Mat& a, unsigned seed) {
  const int n = a.n;
  std::mt19937_64 gen(seed);
  std::uniform_real_distribution<double> unif(-1.0, 1.0);
  std::vector<double> ones(n, 1.0), x(n);
  for (double& v : x) v = unif(gen);
  std::vector<double> t_ones(ones), t_x(x);
  double* vectors[2] = {t_ones.data(), t_x.data()};

  Mat v(a), work(a);
  std::vector<double> d(n), dt(n);
  eigen_symmetric(v.a, n, d.data());
  eigen_symmetric_transform(work.a, n, dt.data(), vectors, 2);
  for (int i = 0; i < n; i++)
    EXPECT_TRUE(same_bits(d[i], dt[i])) << "order " << n << " eigenvalue " << i;

  const std::vector<double>* originals[2] = {&ones, &x};
  for (int j = 0; j < 2; j++) {
    const std::vector<double>& orig = *originals[j];
    double norm = 0.0;
    for (double c : orig) norm += c * c;
    norm = std::sqrt(norm);
    double worst = 0.0;
    for (int i = 0; i < n; i++) {
      double vtx = 0.0;
      for (int k = 0; k < n; k++) vtx += v[k][i] * orig[k];
      worst = std::max(worst, std::fabs(vectors[j][i] - vtx));
    }
    EXPECT_LE(worst, 1e-10 * norm) << "order " << n << " vector " << j;
  }
}

TEST(EigenSymmetricTest, TransformGivesTheEigenvaluesAndTheVectorsInTheEigenvectorBasis) {
  for (int n : {1, 2, 3, 5, 17, 64, 150})
    expect_transform_matches_eigenvectors(random_symmetric(n, 300u + n), 7u + n);
  // Correlation matrices from well conditioned to nearly singular, and a
  // graded matrix that needs the absolute deflation test.
  expect_transform_matches_eigenvectors(correlation_matrix(100, 4, 3.0, 12u), 1u);
  expect_transform_matches_eigenvectors(correlation_matrix(150, 2, 0.5, 13u), 2u);
  expect_transform_matches_eigenvectors(correlation_matrix(200, 1, 10.0, 14u), 3u);
  expect_transform_matches_eigenvectors(correlation_matrix(100, 2, 3.0, 3u), 4u);
  expect_transform_matches_eigenvectors(graded_matrix(40, 5u), 5u);
  // Rows that are zero left of the diagonal need no reflector.
  Mat sparse = random_symmetric(9, 3u);
  for (int j = 0; j < 5; j++) sparse[5][j] = sparse[j][5] = 0.0;
  for (int j = 0; j < 9; j++)
    if (j != 2) sparse[2][j] = sparse[j][2] = 0.0;
  expect_transform_matches_eigenvectors(sparse, 6u);
}

TEST(EigenSymmetricDeathTest, NonFiniteInputRunsOutOfQlIterations) {
  Mat a = random_symmetric(4, 8u);
  a[2][1] = a[1][2] = std::numeric_limits<double>::quiet_NaN();
  double d[4];
  EXPECT_FATAL_EXIT(eigen_symmetric(a.a, 4, d), ::testing::ExitedWithCode(1),
                    fatal_pattern("Too many iterations in tqli"));
}

// ---------------------------------------------------------------------------
// LU decomposition and inversion

TEST(InverseTest, InverseTimesMatrixIsIdentity) {
  std::mt19937_64 gen(31);
  std::uniform_real_distribution<double> unif(-1.0, 1.0);
  for (int n : {1, 2, 3, 5, 8, 13, 30}) {
    Mat a(n);
    for (int i = 0; i < n; i++)
      for (int j = 0; j < n; j++) a[i][j] = unif(gen) + (i == j ? n : 0.0);
    Mat work(a), y(n);
    invert_matrix(work.a, y.a, n);
    for (int i = 0; i < n; i++) {
      for (int j = 0; j < n; j++) {
        double ay = 0.0, ya = 0.0;
        for (int k = 0; k < n; k++) {
          ay += a[i][k] * y[k][j];
          ya += y[i][k] * a[k][j];
        }
        EXPECT_NEAR(ay, i == j ? 1.0 : 0.0, 1e-13) << "order " << n;
        EXPECT_NEAR(ya, i == j ? 1.0 : 0.0, 1e-13) << "order " << n;
      }
    }
  }
}

TEST(InverseTest, PivotingNeedsRowExchanges) {
  // A zero leading element forces an exchange; the inverse is exact.
  Mat a(3);
  const double m[3][3] = {{0, 2, 0}, {4, 0, 0}, {0, 0, 0.5}};
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 3; j++) a[i][j] = m[i][j];
  Mat y(3);
  invert_matrix(a.a, y.a, 3);
  const double inv[3][3] = {{0, 0.25, 0}, {0.5, 0, 0}, {0, 0, 2}};
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 3; j++) EXPECT_EQ(y[i][j], inv[i][j]);
}

TEST(InverseTest, LudcmpRecordsPivotsAndParity) {
  Mat a(3);
  const double m[3][3] = {{1, 2, 3}, {4, 5, 6}, {7, 8, 10}};
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 3; j++) a[i][j] = m[i][j];
  int indx[3];
  double parity = 0.0;
  ludcmp(a.a, 3, indx, &parity);
  // Scaled candidates in column 0: 1/3, 4/6, 7/10 -> row 2.
  EXPECT_EQ(indx[0], 2);
  // The determinant is parity times the product of U's diagonal: -3.
  EXPECT_NEAR(parity * a[0][0] * a[1][1] * a[2][2], -3.0, 1e-13);
  double b[3] = {6.0, 15.0, 25.0};  // A (1,1,1)
  lu_backsub(a.a, 3, indx, b);
  for (double x : b) EXPECT_NEAR(x, 1.0, 1e-14);
}

TEST(InverseTest, EqualScaledCandidatesPickTheLaterRow) {
  Mat a(2);
  a[0][0] = 1.0;
  a[0][1] = 0.0;
  a[1][0] = 1.0;
  a[1][1] = 1.0;
  int indx[2];
  double parity = 0.0;
  ludcmp(a.a, 2, indx, &parity);
  EXPECT_EQ(indx[0], 1);
  EXPECT_EQ(indx[1], 1);
  EXPECT_EQ(parity, -1.0);
  // Rows exchanged: L = [1 0; 1 1], U = [1 1; 0 -1].
  EXPECT_EQ(a[0][0], 1.0);
  EXPECT_EQ(a[0][1], 1.0);
  EXPECT_EQ(a[1][0], 1.0);
  EXPECT_EQ(a[1][1], -1.0);
}

TEST(InverseTest, BacksubstitutionSkipsLeadingZerosOfTheRightHandSide) {
  Mat a(3);
  const double m[3][3] = {{2, 0, 0}, {1, 3, 0}, {1, 1, 4}};
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 3; j++) a[i][j] = m[i][j];
  int indx[3];
  double parity;
  ludcmp(a.a, 3, indx, &parity);
  double b[3] = {0.0, 0.0, 8.0};
  lu_backsub(a.a, 3, indx, b);
  EXPECT_EQ(b[0], 0.0);
  EXPECT_EQ(b[1], 0.0);
  EXPECT_EQ(b[2], 2.0);
}

TEST(InverseTest, ZeroPivotBecomesTinyAndInversionGoesOn) {
  Mat a(2);
  a[0][0] = 1.0;
  a[0][1] = 2.0;
  a[1][0] = 1.0;
  a[1][1] = 2.0;
  Mat lu(a);
  int indx[2];
  double parity;
  ludcmp(lu.a, 2, indx, &parity);
  EXPECT_EQ(lu[1][1], 1e-20);

  Mat y(2);
  invert_matrix(a.a, y.a, 2);
  for (int i = 0; i < 2; i++)
    for (int j = 0; j < 2; j++) EXPECT_TRUE(std::isfinite(y[i][j]));
  EXPECT_GT(std::fabs(y[1][0]), 1e15);
}

TEST(InverseDeathTest, ZeroRowIsFatal) {
  Mat a(3);
  const double m[3][3] = {{1, 2, 3}, {0, 0, 0}, {7, 8, 10}};
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 3; j++) a[i][j] = m[i][j];
  int indx[3];
  double parity;
  EXPECT_FATAL_EXIT(ludcmp(a.a, 3, indx, &parity), ::testing::ExitedWithCode(1),
                    fatal_pattern("inverse : Singular matrix in routine ludcmp"));
  Mat y(3);
  EXPECT_FATAL_EXIT(invert_matrix(a.a, y.a, 3), ::testing::ExitedWithCode(1),
                    fatal_pattern("inverse : Singular matrix in routine ludcmp"));
}

// ---------------------------------------------------------------------------
// Normal distribution

double exact_cdf(double x) { return 0.5 * std::erfc(-x / std::sqrt(2.0)); }

TEST(NormalTest, DocumentedPoints) {
  EXPECT_EQ(normal_cdf(0.0, 1), 0.5);
  EXPECT_EQ(normal_cdf(0.0, 0), 0.5);
  EXPECT_LT(normal_cdf(8.0, 1), 1.0);
  for (double x : {8.000001, 9.0, 20.0, 1e6}) EXPECT_EQ(normal_cdf(x, 1), 1.0) << x;
  EXPECT_NEAR(normal_cdf(-10.0, 1), 7.6198530241605e-24, 1e-30);
  EXPECT_GT(normal_cdf(-37.32, 1), 0.0);
  EXPECT_EQ(normal_cdf(-37.33, 1), 0.0);
  EXPECT_EQ(normal_cdf(-40.0, 1), 0.0);
  // Upper tail: the mirror image, with the cut-offs swapped.
  EXPECT_EQ(normal_cdf(-9.0, 0), 1.0);
  EXPECT_EQ(normal_cdf(10.0, 0), normal_cdf(-10.0, 1));
  EXPECT_EQ(normal_cdf(40.0, 0), 0.0);
  EXPECT_EQ(normal_cdf(1.5, 0), normal_cdf(-1.5, 1));
}

TEST(NormalTest, BothBranchesOfTheApproximationMeetAtTheSwitch) {
  EXPECT_NEAR(normal_cdf(1.28, 1), exact_cdf(1.28), 1e-11);
  EXPECT_NEAR(normal_cdf(std::nextafter(1.28, 2.0), 1), exact_cdf(1.28), 1e-11);
}

TEST(NormalTest, AgreesWithErfcOverTheWholeRange) {
  // Hill's approximations: absolute error about 4e-12 (largest near the
  // switch at 1.28) and, in the lower tail, relative error about 4e-11 down to
  // the cut-off; the bounds below leave a small margin over those.
  double worst_abs = 0.0, worst_rel = 0.0;
  for (int k = -40000; k <= 40000; k++) {
    const double x = k * 0.001;
    const double got = normal_cdf(x, 1);
    const double want = exact_cdf(x);
    if (x > 8.0) {
      ASSERT_EQ(got, 1.0) << x;
    } else if (x < -37.32) {
      ASSERT_EQ(got, 0.0) << x;
    } else {
      worst_abs = std::max(worst_abs, std::fabs(got - want));
      if (x < 0.0) worst_rel = std::max(worst_rel, std::fabs(got - want) / want);
    }
    ASSERT_GE(got, 0.0);
    ASSERT_LE(got, 1.0);
  }
  EXPECT_LT(worst_abs, 1e-11);
  EXPECT_LT(worst_rel, 1e-10);
}

TEST(NormalTest, DensityAndItsCutoff) {
  EXPECT_DOUBLE_EQ(normal_pdf(0.0), 0.3989422804014327);
  EXPECT_DOUBLE_EQ(normal_pdf(1.0), 0.3989422804014327 * std::exp(-0.5));
  EXPECT_EQ(normal_pdf(-2.0), normal_pdf(2.0));
  EXPECT_GT(normal_pdf(37.6), 0.0);
  EXPECT_GT(normal_pdf(-37.6), 0.0);
  EXPECT_EQ(normal_pdf(37.61), 0.0);
  EXPECT_EQ(normal_pdf(-37.61), 0.0);
}

}  // namespace
