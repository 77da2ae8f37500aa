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
// Fatal "Too many iterations in tqli" after 30 QL iterations on one eigenvalue.
void tqli(double* d, double* e, int n, double** z);

// d receives the eigenvalues (unsorted, in the order the QL iteration leaves
// them) and a the eigenvectors by column: a[k][i] is component k of the
// eigenvector of d[i].
void eigen_symmetric(double** a, int n, double* d);

#endif  // DORVE_KRIGING_EIGEN_H_
