#include "kriging/correlation.h"

#include <cmath>
#include <cstring>

#include "base/messages.h"
#include "data/init_checks.h"
#include "data/model_store.h"
#include "kriging/eigen.h"
#include "kriging/kernel.h"
#include "numeric/storage.h"
#include "numeric/vecutil.h"

namespace {

// s must be a share in [0, 1]; NaN fails every comparison and is refused too.
bool is_share(double s) { return s >= 0.0 && s <= 1.0; }

}  // namespace

void calcR(double* const* X, const double* alpha, const double* theta, double s, int n, int d,
           double** R) {
  if (!is_share(s)) fatal_error_value("calcR: stochratio not within [0,1]", s, "stochratio: ");
  for (int i = 0; i < n; i++) {
    for (int j = i + 1; j < n; j++) {
      R[i][j] = s * kernel_correlation(X[i], X[j], alpha, theta, d);
      R[j][i] = R[i][j];
    }
    R[i][i] = 1.0;
  }
}

void krCalcR(KrigModel* kr) {
  if (!check_initialized(kr->init, "alpha", "theta", nullptr, nullptr, nullptr, true))
    fatal_error("calcR: alpha or theta not initialized");
  ensure_fit_storage(kr);
  calcR(kr->X, kr->alpha, kr->theta, kr->stochratio[0], kr->n[0], kr->d[0], kr->R);
  kr->init.R = 1;
}

void calcr(const double* x, double* out, double* const* X, const double* alpha,
           const double* theta, double s, int n, int d) {
  if (!is_share(s)) fatal_error_value("calcr: stochratio not within [0,1]", s, "stochratio: ");
  for (int i = 0; i < n; i++) {
    out[i] = 1.0;
    // With a random error a new point on a design point correlates with it by s exactly.
    if (!(s != 1.0 && equal_real_vectors(d, x, X[i]))) out[i] = kernel_correlation(X[i], x, alpha, theta, d);
    out[i] = s * out[i];
  }
}

void calcF(int n, int r, double** F) {
  if (r != 1) fatal_error("calcF : r!=1, that's  not implemented yet ");
  for (int i = 0; i < n; i++) F[i][0] = 1.0;
}

void krCalcF(KrigModel* kr) {
  if (kr->r[0] != 1) fatal_error("krCalcF : r!=1, that's  not implemented yet ");
  ensure_fit_storage(kr);
  for (int i = 0; i < kr->n[0]; i++) kr->F[i][0] = 1.0;
  kr->init.F = 1;
}

bool is_singular_eigenvalue(double eig) {
  return !(eig > kSingularEigenvalue || eig < -kSingularEigenvalue || std::isnan(eig));
}

void calc_augmR(int n, int r, double* const* R, double* const* F, double** A, double* eig,
                double* inveig) {
  if (r > 1) fatal_error("calc_augmR: r>1 not implmented yet ");
  for (int i = 0; i < r; i++)
    for (int j = 0; j < r; j++) A[i][j] = 0.0;
  for (int i = 0; i < n; i++) {
    for (int j = 0; j < n; j++) A[r + i][r + j] = R[i][j];
    for (int j = 0; j < r; j++) {
      A[r + i][j] = F[i][j];
      A[j][r + i] = F[i][j];
    }
  }
  eigen_symmetric(A, n + r, eig);
  for (int i = 0; i < n + r; i++) {
    if (!is_singular_eigenvalue(eig[i])) {
      inveig[i] = 1.0 / eig[i];
    } else {
      inveig[i] = 0.0;
      print_warning("Correlation Matrix is singular. Proceed with fingers crossed. (T1)");
    }
  }
}

void krCalc_augmR(KrigModel* kr) {
  ensure_fit_storage(kr);
  // R may predate the present parameters: the result is not known to belong to them.
  forget_decomposition_key(kr);
  calc_augmR(kr->n[0], kr->r[0], kr->R, kr->F, kr->augR, kr->eigval, kr->inveig);
  kr->init.U = 1;
}

namespace {

// n, d, X, alpha, theta, stochratio.
int decomposition_key_length(const KrigModel* kr) {
  const int n = kr->n[0], d = kr->d[0];
  return 2 + n * d + 2 * d + 1;
}

void write_decomposition_key(const KrigModel* kr, double* key) {
  const int n = kr->n[0], d = kr->d[0];
  key[0] = n;
  key[1] = d;
  double* next = key + 2;
  for (int i = 0; i < n; i++, next += d) memcpy(next, kr->X[i], sizeof(double) * d);
  memcpy(next, kr->alpha, sizeof(double) * d);
  memcpy(next + d, kr->theta, sizeof(double) * d);
  next[2 * d] = kr->stochratio[0];
}

// Compared bit for bit: the decomposition is reused only for inputs that
// would give it again.
bool decomposition_key_matches(const KrigModel* kr) {
  if (kr->ukey == nullptr || !kr->init.U) return false;
  if (kr->ukey_len != decomposition_key_length(kr)) return false;
  const int n = kr->n[0], d = kr->d[0];
  const double* key = kr->ukey;
  if (key[0] != n || key[1] != d) return false;
  const double* next = key + 2;
  for (int i = 0; i < n; i++, next += d)
    if (memcmp(next, kr->X[i], sizeof(double) * d) != 0) return false;
  return memcmp(next, kr->alpha, sizeof(double) * d) == 0 &&
         memcmp(next + d, kr->theta, sizeof(double) * d) == 0 &&
         memcmp(next + 2 * d, kr->stochratio, sizeof(double)) == 0;
}

void record_decomposition_key(KrigModel* kr) {
  const int length = decomposition_key_length(kr);
  if (kr->ukey != nullptr && kr->ukey_len != length) forget_decomposition_key(kr);
  if (kr->ukey == nullptr) alloc_real_vector(length, &kr->ukey);
  kr->ukey_len = length;
  write_decomposition_key(kr, kr->ukey);
}

}  // namespace

void build_prediction_decomposition(KrigModel* kr) {
  if (decomposition_key_matches(kr)) {
    const int m = kr->n[0] + kr->r[0];
    for (int i = 0; i < m; i++)
      if (is_singular_eigenvalue(kr->eigval[i]))
        print_warning("Correlation Matrix is singular. Proceed with fingers crossed. (T1)");
    ensure_init(kr, "R");
    ensure_init(kr, "F");
    return;
  }
  krCalcR(kr);
  krCalcF(kr);
  krCalc_augmR(kr);
  record_decomposition_key(kr);
}

void ensure_init(KrigModel* kr, const char* key) {
  if (check_initialized(kr->init, key, nullptr, nullptr, nullptr, nullptr, false)) return;
  if (strcmp(key, "R") == 0)
    krCalcR(kr);
  else if (strcmp(key, "F") == 0)
    krCalcF(kr);
  else if (strcmp(key, "U") == 0)
    krCalc_augmR(kr);
  else
    fatal_error("ensure_init: This option is not recognized");
}
