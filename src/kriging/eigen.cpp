// Symmetric eigen decomposition by Householder reduction and implicit-shift QL.
//
// The arithmetic is that of the classical row-pointer formulation: every
// floating-point operation takes the same operands in the same order. Only the
// memory traffic is arranged for speed:
//  - the reduction keeps the active block fully symmetric (the upper triangle
//    mirrors the lower one), so the matrix-vector products and the rank-2
//    updates run along rows instead of down columns;
//  - the accumulation of the reduction matrix first forms every column's inner
//    product, then updates the block row by row;
//  - the QL iteration rotates the rows of the transposed eigenvector matrix,
//    so the two eigenvectors of a rotation are contiguous.
// Each element still sees its additions in the original order, so the results
// are bit-identical to the straightforward loops.
//
// When only the eigenvalues and a few vectors in the eigenvector basis are
// needed (the likelihood), the reflectors and rotations are applied to those
// vectors instead of being accumulated into the eigenvector matrix. Both
// variants share the reduction and the QL iteration, so their eigenvalues
// agree bit for bit.
#include "kriging/eigen.h"

#include <atomic>
#include <cfloat>
#include <cmath>
#include <cstdio>

#include "base/messages.h"
#include "numeric/cpu_features.h"
#include "numeric/storage.h"

// Let the compiler use SIMD on the row loops below. Vector lanes hold
// independent elements, each computed by the same operations in the same order
// as in scalar code (no reassociation, no fused multiply-add), so this changes
// speed only.
#pragma GCC optimize("vect-cost-model=dynamic", "fp-contract=off")

// The routines that carry the O(n^3) and O(n^2) loops are compiled twice
// (DORVE_VECTOR_CLONES): wider registers hold more independent lanes, with
// the same operations in each, so both versions give the same bits.

namespace {

inline __attribute__((always_inline)) double hypot_without_overflow(double a, double b) {
  const double p = fabs(a);
  const double q = fabs(b);
  if (p > q) {
    const double t = q / p;
    return p * sqrt(1.0 + t * t);
  }
  if (q == 0.0) return 0.0;
  const double t = p / q;
  return q * sqrt(1.0 + t * t);
}

}  // namespace

double safe_hypot(double a, double b) { return hypot_without_overflow(a, b); }

namespace {

// Copies the strict lower triangle into the upper one.
void mirror_lower_triangle(double** a, int n) {
  for (int j = 1; j < n; j++) {
    const double* aj = a[j];
    for (int k = 0; k < j; k++) a[k][j] = aj[k];
  }
}

void transpose_in_place(double** a, int n) {
  for (int i = 1; i < n; i++) {
    double* ai = a[i];
    for (int j = 0; j < i; j++) {
      const double t = ai[j];
      ai[j] = a[j][i];
      a[j][i] = t;
    }
  }
}

// acc[j] = acc[j] + row[j] * s for j < len.
void add_scaled_row(double* __restrict acc, const double* __restrict row, double s, int len) {
  for (int j = 0; j < len; j++) acc[j] += row[j] * s;
}

// Symmetric rank-2 update of row p of the active block:
// row[q] = row[q] - (up * e[q] + ep * u[q]). The two products commute with
// their mirror images, so row p and column p receive identical values.
void rank2_update_row(double* __restrict row, double up, double ep,
                      const double* __restrict e, const double* __restrict u, int len) {
  for (int q = 0; q < len; q++) row[q] = row[q] - (up * e[q] + ep * u[q]);
}

// row[j] = row[j] - g[j] * s for j < len.
void subtract_scaled_vector(double* __restrict row, const double* __restrict g, double s,
                            int len) {
  for (int j = 0; j < len; j++) row[j] = row[j] - g[j] * s;
}

// Plane rotation of two eigenvectors held as contiguous rows.
void rotate_rows(double* __restrict zi, double* __restrict zi1, double s, double c, int n) {
  for (int k = 0; k < n; k++) {
    const double f = zi1[k];
    zi1[k] = s * zi[k] + c * f;
    zi[k] = c * zi[k] - s * f;
  }
}

// QL iterations on one eigenvalue under the relative deflation test alone;
// also the average per eigenvalue that the whole matrix may spend.
constexpr int kRelativeTestIterations = 30;

// The first m >= l at which the tridiagonal matrix splits under the relative
// test: e[m] vanishes beside |d[m]| + |d[m+1]| in floating point. n - 1 if none.
int first_relative_split(const double* d, const double* e, int l, int n) {
  int m;
  for (m = l; m <= n - 2; m++) {
    const double dd = fabs(d[m]) + fabs(d[m + 1]);
    if (fabs(e[m]) + dd == dd) break;
  }
  return m;
}

// The first m in [l, limit) with |e[m]| <= negligible, limit if none.
int first_absolute_split(const double* e, int l, int limit, double negligible) {
  for (int m = l; m < limit; m++)
    if (fabs(e[m]) <= negligible) return m;
  return limit;
}

// Machine epsilon times the largest absolute row sum of the tridiagonal
// matrix (d, e), e[i] coupling rows i and i+1: an off-diagonal element below
// this is a perturbation of the size of the rounding errors of the whole
// decomposition, so neglecting it keeps the result backward stable. Returns -1
// when the matrix holds an infinite or undefined element: no off-diagonal
// element is then negligible by this test.
double absolute_negligible(const double* d, const double* e, int n) {
  double norm = 0.0;
  for (int i = 0; i < n; i++) {
    double row = fabs(d[i]) + fabs(e[i]);
    if (i > 0) row += fabs(e[i - 1]);
    if (!(row <= DBL_MAX)) return -1.0;
    if (row > norm) norm = row;
  }
  return DBL_EPSILON * norm;
}

// Counted from every thread that decomposes (the tries of a fit run in parallel).
std::atomic<long long> g_fallback_eigenvalues{0};

// Counts an eigenvalue that needed the absolute test. Builds with
// DORVE_QL_TRACE also report it on standard error, so that whole runs of the
// program show how often the test is needed.
void note_fallback_eigenvalue(int l, int n, int iter) {
  g_fallback_eigenvalues.fetch_add(1, std::memory_order_relaxed);
#ifdef DORVE_QL_TRACE
  fprintf(stderr, "tqli: eigenvalue %d of %d needed the absolute test, %d iterations\n", l, n,
          iter);
#else
  (void)l;
  (void)n;
  (void)iter;
#endif
}

// The reduction proper: d[i] receives h_i, the squared norm term of
// reflector i (0 when the row needs none), e the sub-diagonal. Row i of a
// keeps the reflector's vector u (a[i][0..i-1]) and column i its scaled copy
// u / h_i (a[0..i-1][i]); a[i][i] is the diagonal element.
// Starts reflector i from row ai and its first l + 1 entries (l = i - 1 > 0):
// false when their scale is 0 (no reflector: *h = 0, *sub = ai[l]);
// otherwise the entries are divided by the scale, *h is the reflector's
// norm term, *sub the sub-diagonal element e[i], and ai[l] holds f - g.
inline __attribute__((always_inline)) bool start_reflector(double* ai, int l, double* h,
                                                           double* sub) {
  double scale = 0.0;
  for (int k = 0; k <= l; k++) scale += fabs(ai[k]);
  *h = 0.0;
  if (scale == 0.0) {
    *sub = ai[l];
    return false;
  }
  double sum = 0.0;
  for (int k = 0; k <= l; k++) {
    ai[k] /= scale;
    sum += ai[k] * ai[k];
  }
  const double f = ai[l];
  const double g = (f >= 0.0 ? -sqrt(sum) : sqrt(sum));
  *sub = scale * g;
  *h = sum - f * g;
  ai[l] = f - g;
  return true;
}

// A reflector started ahead of its step, with the product A u of its step
// already summed.
struct StartedReflector {
  bool started = false;
  bool regular = false;  // a scale above 0
  double h = 0.0;
  double sub = 0.0;
};

DORVE_VECTOR_CLONES void reduce_to_tridiagonal(double** a, int n, double* d, double* e) {
  mirror_lower_triangle(a, n);
  // The next reflector's A u, summed row by row as the rank-2 update leaves
  // each row, so that one pass over the block serves both.
  double* next_p = nullptr;
  alloc_real_vector(n, &next_p);
  StartedReflector ahead;

  for (int i = n - 1; i >= 1; i--) {
    const int l = i - 1;
    double h = 0.0;
    double* ai = a[i];
    if (l > 0) {
      double sub = 0.0;
      const bool summed = ahead.started && ahead.regular;
      const bool regular = ahead.started ? ahead.regular : start_reflector(ai, l, &h, &sub);
      if (ahead.started) {
        h = ahead.h;
        sub = ahead.sub;
      }
      ahead = StartedReflector();
      e[i] = sub;
      if (regular) {
        double f = 0.0;
        // p = A u, summed over k in increasing order for every component.
        if (summed) {
          for (int j = 0; j <= l; j++) e[j] = next_p[j];
        } else {
          for (int j = 0; j <= l; j++) e[j] = 0.0;
          for (int k = 0; k <= l; k++) add_scaled_row(e, a[k], ai[k], l + 1);
        }
        for (int j = 0; j <= l; j++) {
          a[j][i] = ai[j] / h;
          e[j] = e[j] / h;
          f += e[j] * ai[j];
        }
        const double hh = f / (h + h);
        for (int j = 0; j <= l; j++) e[j] = e[j] - hh * ai[j];
        // Row l first: it is the next reflector's row, which can then start.
        rank2_update_row(a[l], ai[l], e[l], e, ai, l + 1);
        const int next_l = l - 1;
        if (next_l > 0) {
          ahead.started = true;
          ahead.regular = start_reflector(a[l], next_l, &ahead.h, &ahead.sub);
        }
        if (ahead.regular) {
          const double* u = a[l];
          for (int j = 0; j <= next_l; j++) next_p[j] = 0.0;
          for (int p = 0; p < l; p++) {
            rank2_update_row(a[p], ai[p], e[p], e, ai, l + 1);
            add_scaled_row(next_p, a[p], u[p], next_l + 1);
          }
        } else {
          for (int p = 0; p < l; p++) rank2_update_row(a[p], ai[p], e[p], e, ai, l + 1);
        }
      }
    } else {
      e[i] = ai[l];
    }
    d[i] = h;
  }
  d[0] = 0.0;
  e[0] = 0.0;
  free_real_vector(n, &next_p);
}

// Replaces the reflectors left by reduce_to_tridiagonal with the orthogonal
// matrix Q of the reduction, and h_i in d with the diagonal.
DORVE_VECTOR_CLONES void accumulate_reflectors(double** a, int n, double* d) {
  double* work = nullptr;
  alloc_real_vector(n, &work);
  for (int i = 0; i < n; i++) {
    const int l = i - 1;
    double* ai = a[i];
    if (d[i] != 0.0) {
      for (int j = 0; j <= l; j++) work[j] = 0.0;
      for (int k = 0; k <= l; k++) add_scaled_row(work, a[k], ai[k], l + 1);
      for (int k = 0; k <= l; k++) subtract_scaled_vector(a[k], work, a[k][i], l + 1);
    }
    d[i] = ai[i];
    ai[i] = 1.0;
    for (int j = 0; j <= l; j++) {
      a[j][i] = 0.0;
      ai[j] = 0.0;
    }
  }
  free_real_vector(n, &work);
}

// Q' x for each of the k vectors x = v[0..k-1] in place, from the reflectors
// left by reduce_to_tridiagonal (Q = H_{n-1} ... H_2, so Q' x applies H_{n-1}
// first), and h_i in d replaced by the diagonal.
DORVE_VECTOR_CLONES void apply_reflectors(double* const* a, int n, double* d,
                                          double* const* v, int k) {
  for (int i = n - 1; i >= 0; i--) {
    const int l = i - 1;
    const double* ai = a[i];
    if (d[i] != 0.0) {
      for (int j = 0; j < k; j++) {
        double* x = v[j];
        double g = 0.0;
        for (int q = 0; q <= l; q++) g += ai[q] * x[q];
        for (int q = 0; q <= l; q++) x[q] = x[q] - g * a[q][i];
      }
    }
    d[i] = ai[i];
  }
}

// The QL iteration on the tridiagonal matrix (d, e) as householder_tridiag
// leaves it: the eigenvalues into d, e destroyed. Every plane rotation of
// rows i and i + 1 (sine s, cosine c) is handed to rotate(i, s, c), which
// applies it to whatever the caller carries along (the eigenvectors or a few
// transformed vectors); the iteration itself does not depend on it.
template <class Rotate>
inline __attribute__((always_inline)) void ql_iterate(double* d, double* e, int n,
                                                      Rotate rotate) {
  for (int i = 1; i < n; i++) e[i - 1] = e[i];
  e[n - 1] = 0.0;

  const double negligible = absolute_negligible(d, e, n);
  const long long budget = static_cast<long long>(kRelativeTestIterations) * n;
  long long spent = 0;

  for (int l = 0; l < n; l++) {
    int iter = 0;
    bool fallback = false;
    int m;
    do {
      m = first_relative_split(d, e, l, n);
      if (iter >= kRelativeTestIterations && m != l) {
        // On graded matrices (nearly singular correlation matrices: eigenvalues
        // down to 1e-16 beside off-diagonals of 1e-23) rounding keeps e[m]
        // above the relative threshold for good. From here on the split may
        // also come from the absolute test.
        if (negligible < 0.0) fatal_error("Too many iterations in tqli");
        m = first_absolute_split(e, l, m, negligible);
        fallback = true;
      }
      if (m != l) {
        // With the absolute test the iteration converges on any finite
        // matrix; the budget only stops one that has turned non-finite.
        if (spent == budget) fatal_error("Too many iterations in tqli");
        spent++;
        iter++;
        double g = (d[l + 1] - d[l]) / (2.0 * e[l]);
        double r = hypot_without_overflow(g, 1.0);
        g = d[m] - d[l] + e[l] / (g + (g > 0.0 ? fabs(r) : -fabs(r)));
        double s = 1.0;
        double c = 1.0;
        double p = 0.0;
        int i;
        for (i = m - 1; i >= l; i--) {
          const double f = s * e[i];
          const double b = c * e[i];
          r = hypot_without_overflow(f, g);
          e[i + 1] = r;
          if (r == 0.0) {
            // Underflow: the matrix splits here; restart the search.
            d[i + 1] -= p;
            e[m] = 0.0;
            break;
          }
          s = f / r;
          c = g / r;
          g = d[i + 1] - p;
          r = (d[i] - g) * s + 2.0 * c * b;
          p = s * r;
          d[i + 1] = g + p;
          g = c * r - b;
          rotate(i, s, c);
        }
        if (r == 0.0 && i >= l) continue;
        d[l] -= p;
        e[l] = g;
        e[m] = 0.0;
      }
    } while (m != l);
    if (fallback) note_fallback_eigenvalue(l, n, iter);
  }
}

// The QL iteration carrying the eigenvectors along as rows.
DORVE_VECTOR_CLONES void ql_with_eigenvector_rows(double* d, double* e, int n, double** z) {
  ql_iterate(d, e, n, [z, n](int i, double s, double c) { rotate_rows(z[i], z[i + 1], s, c, n); });
}

// The QL iteration carrying k vectors in the eigenvector basis along.
DORVE_VECTOR_CLONES void ql_with_vectors(double* d, double* e, int n, double* const* v, int k) {
  ql_iterate(d, e, n, [v, k](int i, double s, double c) {
    for (int j = 0; j < k; j++) {
      double* x = v[j];
      const double f = x[i + 1];
      x[i + 1] = s * x[i] + c * f;
      x[i] = c * x[i] - s * f;
    }
  });
}

}  // namespace

void householder_tridiag(double** a, int n, double* d, double* e) {
  reduce_to_tridiagonal(a, n, d, e);
  accumulate_reflectors(a, n, d);
}

void tqli(double* d, double* e, int n, double** z) {
  // Work on the transposed eigenvector matrix: eigenvector i is row i.
  transpose_in_place(z, n);
  ql_with_eigenvector_rows(d, e, n, z);
  transpose_in_place(z, n);
}

long long tqli_fallback_eigenvalues() { return g_fallback_eigenvalues.load(); }

void eigen_symmetric(double** a, int n, double* d) {
  double* e = nullptr;
  alloc_real_vector(n, &e);
  householder_tridiag(a, n, d, e);
  tqli(d, e, n, a);
  free_real_vector(n, &e);
}

void eigen_symmetric_transform(double** a, int n, double* d, double* const* v, int k) {
  double* e = nullptr;
  alloc_real_vector(n, &e);
  reduce_to_tridiagonal(a, n, d, e);
  apply_reflectors(a, n, d, v, k);
  ql_with_vectors(d, e, n, v, k);
  free_real_vector(n, &e);
}
