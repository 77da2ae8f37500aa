#include "numeric/cholesky.h"

#include <cmath>

namespace {

// y += f x. The arrays do not overlap and the body is written out four
// wide, so the compiler can use vector instructions.
void add_multiple(double f, const double* __restrict x, double* __restrict y, int n) {
  int k = 0;
  for (; k + 4 <= n; k += 4) {
    y[k] += f * x[k];
    y[k + 1] += f * x[k + 1];
    y[k + 2] += f * x[k + 2];
    y[k + 3] += f * x[k + 3];
  }
  for (; k < n; k++) y[k] += f * x[k];
}

}  // namespace

// Eight interleaved partial sums keep the adder busy (a single running sum
// waits on each addition) and pair up into vector instructions.
double dot_product_unrolled(const double* a, const double* b, int n) {
  double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0, s4 = 0.0, s5 = 0.0, s6 = 0.0, s7 = 0.0;
  int k = 0;
  for (; k + 8 <= n; k += 8) {
    s0 += a[k] * b[k];
    s1 += a[k + 1] * b[k + 1];
    s2 += a[k + 2] * b[k + 2];
    s3 += a[k + 3] * b[k + 3];
    s4 += a[k + 4] * b[k + 4];
    s5 += a[k + 5] * b[k + 5];
    s6 += a[k + 6] * b[k + 6];
    s7 += a[k + 7] * b[k + 7];
  }
  for (; k < n; k++) s0 += a[k] * b[k];
  return ((s0 + s1) + (s2 + s3)) + ((s4 + s5) + (s6 + s7));
}

bool cholesky_lower(double* a, int n, double min_pivot) {
  for (int i = 0; i < n; i++) {
    double* row_i = a + static_cast<long>(i) * n;
    for (int j = 0; j <= i; j++) {
      const double* row_j = a + static_cast<long>(j) * n;
      const double sum = row_i[j] - dot_product_unrolled(row_i, row_j, j);
      if (j < i) {
        row_i[j] = sum / row_j[j];
      } else {
        // NaN fails the test too.
        if (!(sum > min_pivot)) return false;
        row_i[i] = sqrt(sum);
      }
    }
  }
  return true;
}

void solve_lower(const double* L, int n, double* b) {
  for (int i = 0; i < n; i++) {
    const double* row = L + static_cast<long>(i) * n;
    b[i] = (b[i] - dot_product_unrolled(row, b, i)) / row[i];
  }
}

void solve_lower_transposed(const double* L, int n, double* b) {
  // Column i of L' is row i of L: once b_i is known, it is taken out of the
  // rows above.
  for (int i = n - 1; i >= 0; i--) {
    const double* row = L + static_cast<long>(i) * n;
    b[i] /= row[i];
    const double bi = b[i];
    for (int k = 0; k < i; k++) b[k] -= row[k] * bi;
  }
}

void inverse_of_lower_transposed(const double* L, int n, double* U, double* acc) {
  // Row i of U from the rows below it: L' U = I gives
  // U_ik = (delta_ik - sum_{l>i} L_li U_lk) / L_ii, and U_lk = 0 for k < l.
  for (int i = n - 1; i >= 0; i--) {
    for (int k = i; k < n; k++) acc[k] = 0.0;
    for (int l = i + 1; l < n; l++) {
      const double f = L[static_cast<long>(l) * n + i];
      add_multiple(f, U + static_cast<long>(l) * n + l, acc + l, n - l);
    }
    double* row_i = U + static_cast<long>(i) * n;
    const double pivot = L[static_cast<long>(i) * n + i];
    row_i[i] = 1.0 / pivot;
    for (int k = i + 1; k < n; k++) row_i[k] = -acc[k] / pivot;
  }
}
