// Products of vectors with a matrix of row pointers that add up every sum in
// the order of the plain loop: element j of v' M is
//   ((0 + v_0 M_0j) + v_1 M_1j) + ... + v_{k-1} M_{k-1,j},
// so the results are bit for bit those of the straightforward code however
// the work is arranged. The arrangement only makes them fast: rows of M are
// read contiguously, and many vectors share each pass over M, with the
// independent sums of different elements in vector lanes (no reassociation,
// no fused multiply-add).
#ifndef DORVE_NUMERIC_ORDERED_PRODUCT_H_
#define DORVE_NUMERIC_ORDERED_PRODUCT_H_

// out[j] = sum_i v[i] M[i][j] for j < cols, M having `inner` rows.
void ordered_vector_times_matrix(const double* v, int inner, double* const* M, int cols,
                                 double* out);

// The same for `rows` vectors at once: row p of A (A + p * inner, row-major)
// times M into row p of out (out + p * cols).
void ordered_rows_times_matrix(const double* A, int rows, int inner, double* const* M, int cols,
                               double* out);

#endif  // DORVE_NUMERIC_ORDERED_PRODUCT_H_
