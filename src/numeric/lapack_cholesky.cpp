#include "numeric/lapack_cholesky.h"

#include <cstddef>
#include <mutex>

#include "base/messages.h"

// The Fortran interface, with the hidden lengths of the character arguments.
extern "C" {
void dpotrf_(const char* uplo, const int* n, double* a, const int* lda, int* info, size_t);
void dpotri_(const char* uplo, const int* n, double* a, const int* lda, int* info, size_t);
void dtrsv_(const char* uplo, const char* trans, const char* diag, const int* n, const double* a,
            const int* lda, double* x, const int* incx, size_t, size_t, size_t);
void openblas_set_num_threads(int threads);
}

namespace {

// The fits run their tries on threads of their own: the library must not
// start more.
void use_one_library_thread() {
  static std::once_flag once;
  std::call_once(once, [] { openblas_set_num_threads(1); });
}

// The serial build of OpenBLAS hands out its work buffers without a lock:
// two calls at once from different threads (the tries of a fit) can get the
// same buffer and spoil each other's results. The calls take turns.
std::mutex g_library_lock;

}  // namespace

bool lapack_cholesky(double* a, int n, double min_pivot) {
  use_one_library_thread();
  int info = 0;
  const std::lock_guard<std::mutex> turn(g_library_lock);
  dpotrf_("L", &n, a, &n, &info, 1);
  if (info != 0) return false;
  for (int i = 0; i < n; i++) {
    const double pivot = a[static_cast<long>(i) * n + i];
    // NaN fails the test too.
    if (!(pivot * pivot > min_pivot)) return false;
  }
  return true;
}

void lapack_solve_lower(const double* L, int n, double* b) {
  const int one = 1;
  const std::lock_guard<std::mutex> turn(g_library_lock);
  dtrsv_("L", "N", "N", &n, L, &n, b, &one, 1, 1, 1);
}

void lapack_solve_lower_transposed(const double* L, int n, double* b) {
  const int one = 1;
  const std::lock_guard<std::mutex> turn(g_library_lock);
  dtrsv_("L", "T", "N", &n, L, &n, b, &one, 1, 1, 1);
}

void lapack_inverse_from_cholesky(double* L, int n) {
  int info = 0;
  const std::lock_guard<std::mutex> turn(g_library_lock);
  dpotri_("L", &n, L, &n, &info, 1);
  // A factor with positive pivots always has an inverse.
  check_invariant(info == 0, "lapack_inverse_from_cholesky: Code Bug : singular factor");
}
