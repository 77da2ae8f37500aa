// The Cholesky factorisation, triangular solves and inverse of a symmetric
// positive definite matrix by the blocked routines of the system's LAPACK
// (OpenBLAS), on one thread per call; calls from several threads take turns
// (the library's serial build is not safe for calls at once). Matrices are held flat in column-major
// order (n x n, leading dimension n); only the lower triangle is read or
// written. For a symmetric matrix stored row by row the same memory is its
// upper triangle, so a[i * n + j] with j >= i is element (j, i).
#ifndef DORVE_NUMERIC_LAPACK_CHOLESKY_H_
#define DORVE_NUMERIC_LAPACK_CHOLESKY_H_

// Replaces the lower triangle of a by L with a = L L'. False when the matrix
// is not positive definite in floating point or a pivot L_ii^2 is not above
// min_pivot (a is then partly overwritten).
bool lapack_cholesky(double* a, int n, double min_pivot);

// b := L^-1 b and b := L'^-1 b with the factor left by lapack_cholesky.
void lapack_solve_lower(const double* L, int n, double* b);
void lapack_solve_lower_transposed(const double* L, int n, double* b);

// Replaces the factor L by the lower triangle of a^-1 = (L L')^-1.
void lapack_inverse_from_cholesky(double* L, int n);

#endif  // DORVE_NUMERIC_LAPACK_CHOLESKY_H_
