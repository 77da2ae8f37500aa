// Vectors and matrices: plain heap blocks indexed from 0. A matrix is an array
// of row pointers, each row its own block. No dimensions are stored: callers
// keep every count and pass it again to each resize and release. Every
// operation takes a handle (the address of the caller's pointer) and stores
// the result there. New storage is not initialised.
#ifndef DORVE_NUMERIC_STORAGE_H_
#define DORVE_NUMERIC_STORAGE_H_

#include "base/string_slot.h"

void alloc_real_vector(int n, double** handle);
void alloc_int_vector(int n, int** handle);
void alloc_char_vector(int n, char** handle);
void alloc_string_vector(int n, StringSlot** handle);
void alloc_real_matrix(int rows, int cols, double*** handle);
void alloc_char_matrix(int rows, int cols, char*** handle);
void alloc_string_matrix(int rows, int cols, StringSlot*** handle);

void free_real_vector(int n, double** handle);
void free_int_vector(int n, int** handle);
void free_char_vector(int n, char** handle);
void free_string_vector(int n, StringSlot** handle);
void free_real_matrix(int rows, int cols, double*** handle);
void free_char_matrix(int rows, int cols, char*** handle);
void free_string_matrix(int rows, int cols, StringSlot*** handle);

// Resizes keep the first min(old, new) values (for matrices, the overlapping block).
void morealloc(int old_n, double** handle, int new_n);
void realloc_int_vector(int old_n, int** handle, int new_n);
void realloc_string_vector(int old_n, StringSlot** handle, int new_n);
void realloc_real_matrix(int old_rows, int old_cols, double*** handle, int new_rows, int new_cols);
void realloc_string_matrix(int old_rows, int old_cols, StringSlot*** handle, int new_rows,
                           int new_cols);

#endif  // DORVE_NUMERIC_STORAGE_H_
