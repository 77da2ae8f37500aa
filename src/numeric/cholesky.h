// Cholesky factorisation of a symmetric positive definite matrix held flat
// (row-major, n x n), and the triangular solves and the inverse built on it.
// The kernels read and write rows only, so their inner loops run over
// contiguous memory.
#ifndef DORVE_NUMERIC_CHOLESKY_H_
#define DORVE_NUMERIC_CHOLESKY_H_

// Replaces the lower triangle of a (diagonal included) by L with a = L L';
// the strict upper triangle is neither read nor written. Returns false, with
// a partly overwritten, as soon as a pivot L_ii^2 is not above min_pivot
// (the matrix is then not positive definite, or too close to singular).
bool cholesky_lower(double* a, int n, double min_pivot);

// b := L^-1 b, with L the lower factor left by cholesky_lower.
void solve_lower(const double* L, int n, double* b);

// b := L'^-1 b.
void solve_lower_transposed(const double* L, int n, double* b);

// The upper triangle of U (diagonal included) := L'^-1, row-major; the strict
// lower triangle of U is left alone. acc is n doubles of work space. Then
// a^-1 = U U', so (a^-1)_ij is the product of rows i and j of U from
// column max(i, j) on.
void inverse_of_lower_transposed(const double* L, int n, double* U, double* acc);

// sum_k a_k b_k over k < n, summed in four interleaved parts (so not in
// the order of a plain loop).
double dot_product_unrolled(const double* a, const double* b, int n);

#endif  // DORVE_NUMERIC_CHOLESKY_H_
