#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

#include "numeric/lapack_cholesky.h"

namespace {

// A symmetric positive definite n x n matrix, full, column-major.
std::vector<double> spd_matrix(int n) {
  std::vector<double> a(static_cast<size_t>(n) * n);
  for (int i = 0; i < n; i++)
    for (int j = 0; j < n; j++) a[i * n + j] = std::exp(-0.3 * std::fabs(i - j)) + (i == j);
  return a;
}

}  // namespace

// The factor solves a x = b, and the inverse times a is the identity.
TEST(LapackCholesky, SolvesAndInverts) {
  const int n = 70;  // beyond one block of the blocked routines
  const std::vector<double> a = spd_matrix(n);
  std::vector<double> L = a;
  ASSERT_TRUE(lapack_cholesky(L.data(), n, 1e-14));
  std::vector<double> b(n), x(n);
  for (int i = 0; i < n; i++) b[i] = x[i] = std::sin(i + 1.0);
  lapack_solve_lower(L.data(), n, x.data());
  lapack_solve_lower_transposed(L.data(), n, x.data());
  for (int i = 0; i < n; i++) {
    double ax = 0.0;
    for (int j = 0; j < n; j++) ax += a[j * n + i] * x[j];
    EXPECT_NEAR(ax, b[i], 1e-12);
  }
  lapack_inverse_from_cholesky(L.data(), n);
  for (int i = 0; i < n; i++) {
    for (int k = 0; k < n; k++) {
      double sum = 0.0;
      for (int j = 0; j < n; j++) {
        // Only the lower triangle (j >= i) holds the inverse.
        const double inv = j >= i ? L[i * n + j] : L[j * n + i];
        sum += inv * a[k * n + j];
      }
      EXPECT_NEAR(sum, i == k ? 1.0 : 0.0, 1e-12);
    }
  }
}

// A matrix that is not positive definite, or whose pivot is below the
// limit, is refused.
TEST(LapackCholesky, RefusesIndefiniteAndNearlySingularMatrices) {
  std::vector<double> indefinite = {1.0, 2.0, 2.0, 1.0};
  EXPECT_FALSE(lapack_cholesky(indefinite.data(), 2, 1e-14));
  std::vector<double> nearly = {1.0, 1.0 - 1e-15, 1.0 - 1e-15, 1.0};
  EXPECT_FALSE(lapack_cholesky(nearly.data(), 2, 3e-14));
}

// The tries of a fit call the routines from several threads at once, each on
// its own matrix: each call gives what it gives alone, bit for bit.
TEST(LapackCholesky, CallsFromSeveralThreadsAtOnceGiveTheSerialResult) {
  for (int n : {33, 120}) {
    const int rounds = 20000 / n;
    std::vector<double> a[2] = {spd_matrix(n), spd_matrix(n)};
    for (double& v : a[1]) v = v * v;  // another positive definite matrix
    std::vector<double> serial[2], x_serial[2];
    for (int t = 0; t < 2; t++) {
      serial[t] = a[t];
      x_serial[t].assign(n, 1.0);
      ASSERT_TRUE(lapack_cholesky(serial[t].data(), n, 1e-14));
      lapack_solve_lower(serial[t].data(), n, x_serial[t].data());
      lapack_solve_lower_transposed(serial[t].data(), n, x_serial[t].data());
      lapack_inverse_from_cholesky(serial[t].data(), n);
    }
    std::atomic<int> differing{0};
    auto work = [&](int t) {
      for (int r = 0; r < rounds; r++) {
        std::vector<double> m = a[t], x(n, 1.0);
        if (!lapack_cholesky(m.data(), n, 1e-14)) differing++;
        lapack_solve_lower(m.data(), n, x.data());
        lapack_solve_lower_transposed(m.data(), n, x.data());
        lapack_inverse_from_cholesky(m.data(), n);
        if (m != serial[t] || x != x_serial[t]) differing++;
      }
    };
    std::thread first(work, 0), second(work, 1);
    first.join();
    second.join();
    EXPECT_EQ(differing.load(), 0) << "n = " << n;
  }
}
