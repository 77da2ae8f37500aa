// Symmetric eigen decomposition: Householder reduction to tridiagonal form
// followed by the QL algorithm with implicit shifts. Matrices are real
// matrices of row pointers (numeric/storage.h); the routines work in place.
#ifndef DORVE_KRIGING_EIGEN_H_
#define DORVE_KRIGING_EIGEN_H_

// sqrt(a*a + b*b) without overflow or destructive underflow.
double safe_hypot(double a, double b);

// Reduces the symmetric matrix a (n x n; only its lower triangle is read) to
// tridiagonal form: d receives the diagonal, e the sub-diagonal (e[i] couples
// rows i-1 and i, e[0] = 0), and a is replaced by the orthogonal matrix of the
// reduction.
void householder_tridiag(double** a, int n, double* d, double* e);

// Eigenvalues of the tridiagonal matrix (d, e) into d (e is destroyed). z holds
// the reduction matrix on entry and the eigenvectors by column on return.
// An off-diagonal element is negligible when adding it to the magnitudes of its
// two diagonal neighbours changes nothing (relative test). An eigenvalue that
// has not converged after 30 QL iterations continues with a second test as
// well: |e[m]| <= DBL_EPSILON times the largest absolute row sum of the
// tridiagonal matrix (absolute test), which bounds the error by the rounding
// of the whole decomposition. Fatal "Too many iterations in tqli" when the
// matrix holds an infinite or undefined element and an eigenvalue reaches 30
// iterations, or when the whole matrix has spent 30 n iterations (possible
// only once the iteration has produced non-finite values).
void tqli(double* d, double* e, int n, double** z);

// How many eigenvalues, since the program started, needed the absolute test.
long long tqli_fallback_eigenvalues();

// d receives the eigenvalues (unsorted, in the order the QL iteration leaves
// them) and a the eigenvectors by column: a[k][i] is component k of the
// eigenvector of d[i].
void eigen_symmetric(double** a, int n, double* d);

// The eigenvalues of eigen_symmetric without its eigenvectors: d receives the
// same values in the same order, bit for bit (the same reduction and the same
// QL iteration). Instead of the eigenvector matrix V, each of the k vectors
// v[0..k-1] (n entries each) is replaced by V' v[j], its coordinates in the
// eigenvector basis: the reflectors and rotations are applied to it directly.
// This equals the product with eigen_symmetric's V up to rounding, at a cost
// of O(n^2) per vector instead of O(n^3) for V. a is destroyed.
void eigen_symmetric_transform(double** a, int n, double* d, double* const* v, int k);

#endif  // DORVE_KRIGING_EIGEN_H_
