// Small stateless operations on real vectors, real matrices and string
// vectors: initialisers, copies, products, minima, grids and distances.
// Output arguments are storage the caller has allocated, except for grid().
#ifndef DORVE_NUMERIC_VECUTIL_H_
#define DORVE_NUMERIC_VECUTIL_H_

#include "numeric/storage.h"

void init_real_vec(double value, int n, double* v);
void init_diag_mat(double value, int n, double** m);
int equal_real_vectors(int n, const double* a, const double* b);
void copy_real_vector(int n, const double* src, double* dst);
void copy_real_matrix(int rows, int cols, double* const* src, double** dst);
void copy_matrix_offsets(int rows, int cols, double* const* src, int src_offset, double** dst,
                         int dst_offset);
void copy_matrix_real_to_string(int rows, int cols, double* const* src, int src_offset,
                                StringSlot** dst, int dst_offset);
void copy_real_vector_minus_one(int n, const double* src, int omit, double* dst);
void copy_real_matrix_minus_1row(int rows, int cols, double* const* src, int omit, double** dst);
void copy_string_vector(int n, const StringSlot* src, StringSlot* dst);
int join_strings(int n, const char* const* texts, int capacity, char* dst);

void add_scaled_vector(double a, const double* y, int n, const double* x, double* out);
void scale_vector_elementwise(const double* w, int n, double* v);
void multiply_vectors_elementwise(const double* a, int n, const double* b, double* out);
double product_of_elements(int n, const double* v);
double dot_product(const double* a, int n, const double* b);
void transpose_matrix(int rows, int cols, double* const* src, double** dst);
void multiply_matrices(int rows, double* const* A, int inner, double* const* B, int cols,
                       double** P);
void vector_times_matrix(const double* v, int m, double* const* M, int n, double* out);
void matrix_times_vector(int rows, double* const* M, int m, const double* v, double* out);
void scale_matrix_columns(int rows, double* const* M, int cols, const double* w, double** out);

int find_string(const char* text, int n, const StringSlot* strings, int* position);
double Real_Minimum(int n, const double* v);
double real_minimum_index(int n, const double* v, int* position);
void swap_rows(int cols, double** M, int a, int b);
double real_max(double a, double b);
int factorial(int n);
int choose(int n, int i);

void grid(int levels, int m, double* const* ranges, double*** result, int* count);
int PermGrid(int m, const int* levels, int* counter);
void min_distance_each_dim(int N, int m, const double* x, double* const* X,
                           double* const* ranges, const int* dirs, double* out);

#endif  // DORVE_NUMERIC_VECUTIL_H_
