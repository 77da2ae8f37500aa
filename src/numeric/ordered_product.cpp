#include "numeric/ordered_product.h"

#include <cstring>
#include <vector>

#include "numeric/cpu_features.h"

// Products and sums stay separate operations: a fused multiply-add would
// round once where the plain loop rounds twice.
#pragma GCC optimize("fp-contract=off")
// The vector helpers below are inlined into their callers; no vector value
// crosses a call boundary, so the ABI note on 32-byte arguments does not apply.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace {

// Four doubles in one vector register; every lane is computed on its own,
// with the same operations in the same order as scalar code.
typedef double v4 __attribute__((vector_size(32)));

#define DORVE_INLINE inline __attribute__((always_inline))

DORVE_INLINE v4 load4(const double* p) {
  v4 x;
  memcpy(&x, p, sizeof x);
  return x;
}

DORVE_INLINE void store4(double* p, const v4& x) { memcpy(p, &x, sizeof x); }

DORVE_INLINE v4 splat(double a) { return v4{a, a, a, a}; }

// Rows [0, PB) of A (stride inner) times columns [j0, j0 + 4 JV) of M into
// out (stride cols). The PB x 4 JV sums are held in registers while the
// inner index runs through M once.
template <int PB, int JV>
DORVE_INLINE void panel_kernel(const double* A, int inner, const double* panel, int j0,
                               double* out, int cols) {
  v4 acc[PB][JV];
#pragma GCC unroll 8
  for (int p = 0; p < PB; p++)
#pragma GCC unroll 8
    for (int q = 0; q < JV; q++) acc[p][q] = splat(0.0);
  for (int i = 0; i < inner; i++) {
    const double* m = panel + static_cast<long>(i) * 4 * JV;
    v4 mv[JV];
#pragma GCC unroll 8
    for (int q = 0; q < JV; q++) mv[q] = load4(m + 4 * q);
#pragma GCC unroll 8
    for (int p = 0; p < PB; p++) {
      const v4 a = splat(A[static_cast<long>(p) * inner + i]);
#pragma GCC unroll 8
      for (int q = 0; q < JV; q++) acc[p][q] = acc[p][q] + a * mv[q];
    }
  }
#pragma GCC unroll 8
  for (int p = 0; p < PB; p++)
#pragma GCC unroll 8
    for (int q = 0; q < JV; q++) store4(out + static_cast<long>(p) * cols + j0 + 4 * q, acc[p][q]);
}

// Every row of A against columns [j0, j0 + 4 JV): blocks of PB rows, then
// the rows left one at a time.
template <int PB, int JV>
DORVE_INLINE void panel_all_rows(const double* A, int rows, int inner, double* const* M, int j0,
                                 double* out, int cols, double* panel) {
  for (int i = 0; i < inner; i++) memcpy(panel + static_cast<long>(i) * 4 * JV, M[i] + j0, 32 * JV);
  int p = 0;
  for (; p + PB <= rows; p += PB)
    panel_kernel<PB, JV>(A + static_cast<long>(p) * inner, inner, panel, j0,
                         out + static_cast<long>(p) * cols, cols);
  for (; p < rows; p++)
    panel_kernel<1, JV>(A + static_cast<long>(p) * inner, inner, panel, j0,
                        out + static_cast<long>(p) * cols, cols);
}

template <int PB, int JV>
DORVE_INLINE void rows_times_matrix(const double* A, int rows, int inner, double* const* M,
                                    int cols, double* out) {
  // One column panel of M at a time, copied contiguous for all the rows.
  std::vector<double> panel(static_cast<size_t>(inner) * 4 * JV);
  int j0 = 0;
  for (; j0 + 4 * JV <= cols; j0 += 4 * JV)
    panel_all_rows<PB, JV>(A, rows, inner, M, j0, out, cols, panel.data());
  for (; j0 + 4 <= cols; j0 += 4) panel_all_rows<PB, 1>(A, rows, inner, M, j0, out, cols, panel.data());
  for (; j0 < cols; j0++) {
    for (int p = 0; p < rows; p++) {
      const double* a = A + static_cast<long>(p) * inner;
      double sum = 0.0;
      for (int i = 0; i < inner; i++) sum += a[i] * M[i][j0];
      out[static_cast<long>(p) * cols + j0] = sum;
    }
  }
}

// out += v[i] M[i] for four rows i at a time, each element taking the four
// additions in turn.
DORVE_INLINE void vector_times_matrix(const double* v, int inner, double* const* M, int cols,
                                      double* out) {
  for (int j = 0; j < cols; j++) out[j] = 0.0;
  int i = 0;
  for (; i + 4 <= inner; i += 4) {
    const double* m0 = M[i];
    const double* m1 = M[i + 1];
    const double* m2 = M[i + 2];
    const double* m3 = M[i + 3];
    const v4 a0 = splat(v[i]), a1 = splat(v[i + 1]), a2 = splat(v[i + 2]), a3 = splat(v[i + 3]);
    int j = 0;
    for (; j + 4 <= cols; j += 4) {
      v4 s = load4(out + j);
      s = s + a0 * load4(m0 + j);
      s = s + a1 * load4(m1 + j);
      s = s + a2 * load4(m2 + j);
      s = s + a3 * load4(m3 + j);
      store4(out + j, s);
    }
    for (; j < cols; j++) {
      double s = out[j];
      s = s + v[i] * m0[j];
      s = s + v[i + 1] * m1[j];
      s = s + v[i + 2] * m2[j];
      s = s + v[i + 3] * m3[j];
      out[j] = s;
    }
  }
  for (; i < inner; i++) {
    const double* m = M[i];
    const double a = v[i];
    for (int j = 0; j < cols; j++) out[j] = out[j] + a * m[j];
  }
}

// The same code for three instruction sets, chosen once at run time: the
// results are identical, only the register width and count differ.
__attribute__((target("avx512f,avx512vl"))) void rows_avx512(const double* A, int rows,
                                                              int inner, double* const* M,
                                                              int cols, double* out) {
  rows_times_matrix<6, 4>(A, rows, inner, M, cols, out);
}

__attribute__((target("avx2"))) void rows_avx2(const double* A, int rows, int inner,
                                               double* const* M, int cols, double* out) {
  rows_times_matrix<4, 3>(A, rows, inner, M, cols, out);
}

void rows_baseline(const double* A, int rows, int inner, double* const* M, int cols,
                   double* out) {
  rows_times_matrix<4, 2>(A, rows, inner, M, cols, out);
}

__attribute__((target("avx2"))) void vector_avx2(const double* v, int inner, double* const* M,
                                                 int cols, double* out) {
  vector_times_matrix(v, inner, M, cols, out);
}

void vector_baseline(const double* v, int inner, double* const* M, int cols, double* out) {
  vector_times_matrix(v, inner, M, cols, out);
}

}  // namespace

void ordered_vector_times_matrix(const double* v, int inner, double* const* M, int cols,
                                 double* out) {
  if (vector_isa() == VectorIsa::kBaseline)
    vector_baseline(v, inner, M, cols, out);
  else
    vector_avx2(v, inner, M, cols, out);
}

void ordered_rows_times_matrix(const double* A, int rows, int inner, double* const* M, int cols,
                               double* out) {
  switch (vector_isa()) {
    case VectorIsa::kAvx512:
      rows_avx512(A, rows, inner, M, cols, out);
      break;
    case VectorIsa::kAvx2:
      rows_avx2(A, rows, inner, M, cols, out);
      break;
    case VectorIsa::kBaseline:
      rows_baseline(A, rows, inner, M, cols, out);
      break;
  }
}
