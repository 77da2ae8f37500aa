#include "kriging/inverse.h"

#include <cmath>

#include "base/messages.h"
#include "numeric/storage.h"

namespace {

constexpr double kTinyPivot = 1.0e-20;

void exchange_rows(double** a, int n, int r1, int r2) {
  double* p = a[r1];
  double* q = a[r2];
  for (int k = 0; k < n; k++) {
    const double t = p[k];
    p[k] = q[k];
    q[k] = t;
  }
}

}  // namespace

void ludcmp(double** a, int n, int* indx, double* parity) {
  double* vv = nullptr;
  alloc_real_vector(n, &vv);
  *parity = 1.0;

  // Implicit pivoting: each row is judged relative to its largest element.
  for (int i = 0; i < n; i++) {
    double big = 0.0;
    for (int j = 0; j < n; j++) {
      const double t = fabs(a[i][j]);
      if (t > big) big = t;
    }
    if (big == 0.0) fatal_error("inverse : Singular matrix in routine ludcmp");
    vv[i] = 1.0 / big;
  }

  for (int j = 0; j < n; j++) {
    for (int i = 0; i < j; i++) {
      double sum = a[i][j];
      for (int k = 0; k < i; k++) sum -= a[i][k] * a[k][j];
      a[i][j] = sum;
    }
    double big = 0.0;
    int imax = j;
    for (int i = j; i < n; i++) {
      double sum = a[i][j];
      for (int k = 0; k < j; k++) sum -= a[i][k] * a[k][j];
      a[i][j] = sum;
      const double dum = vv[i] * fabs(sum);
      if (dum >= big) {  // ties go to the later row
        big = dum;
        imax = i;
      }
    }
    if (imax != j) {
      exchange_rows(a, n, imax, j);
      *parity = -(*parity);
      vv[imax] = vv[j];
    }
    indx[j] = imax;
    if (a[j][j] == 0.0) a[j][j] = kTinyPivot;
    if (j != n - 1) {
      for (int i = j + 1; i < n; i++) a[i][j] /= a[j][j];
    }
  }
  free_real_vector(n, &vv);
}

void lu_backsub(double* const* a, int n, const int* indx, double* b) {
  int ii = -1;  // first non-zero element of b, once found
  for (int i = 0; i < n; i++) {
    const int ip = indx[i];
    double sum = b[ip];
    b[ip] = b[i];
    if (ii != -1) {
      for (int j = ii; j < i; j++) sum -= a[i][j] * b[j];
    } else if (sum != 0.0) {
      ii = i;
    }
    b[i] = sum;
  }
  for (int i = n - 1; i >= 0; i--) {
    double sum = b[i];
    for (int j = i + 1; j < n; j++) sum -= a[i][j] * b[j];
    b[i] = sum / a[i][i];
  }
}

void invert_matrix(double** a, double** y, int n) {
  int* indx = nullptr;
  double* col = nullptr;
  double parity;
  alloc_int_vector(n, &indx);
  alloc_real_vector(n, &col);
  ludcmp(a, n, indx, &parity);
  for (int j = 0; j < n; j++) {
    for (int i = 0; i < n; i++) col[i] = 0.0;
    col[j] = 1.0;
    lu_backsub(a, n, indx, col);
    for (int i = 0; i < n; i++) y[i][j] = col[i];
  }
  free_int_vector(n, &indx);
  free_real_vector(n, &col);
}
