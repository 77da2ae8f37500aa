// LU decomposition with implicit partial pivoting (Crout's method), the
// matching forward and back substitution, and matrix inversion built on them.
#ifndef DORVE_KRIGING_INVERSE_H_
#define DORVE_KRIGING_INVERSE_H_

// Replaces a (n x n) by its LU decomposition: L below the diagonal (its unit
// diagonal not stored), U on and above it. indx[j] receives the row exchanged
// with row j at step j; *parity is +1.0 for an even number of exchanges, -1.0
// for an odd one. A row of zeros is fatal; a zero pivot is replaced by 1e-20.
void ludcmp(double** a, int n, int* indx, double* parity);

// Solves A x = b with the output of ludcmp; b is replaced by x.
void lu_backsub(double* const* a, int n, const int* indx, double* b);

// y receives the inverse of a; a is left holding its LU decomposition.
void invert_matrix(double** a, double** y, int n);

#endif  // DORVE_KRIGING_INVERSE_H_
