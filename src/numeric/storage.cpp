#include "numeric/storage.h"

#include <cstdlib>

#include "base/messages.h"
#include "numeric/alloc_registry.h"

// Real and integer storage goes through the allocation registry while it is
// on; text storage always comes straight from the heap. A release stores null
// into the handle, so a stale pointer is never released twice.

void alloc_real_vector(int n, double** handle) {
  if (n == 0) fatal_error("alloc_real_vector: dimensions == 0");
  if (alloc_tracking) {
    *handle = generic_alloc(0, *handle, n);
    return;
  }
  double* v = static_cast<double*>(heap_alloc(n, sizeof(double)));
  if (v == nullptr) fatal_error("alloc_real_vector: Failure.");
  *handle = v;
}

void alloc_int_vector(int n, int** handle) {
  if (n == 0) fatal_error("alloc_int_vector: dimensions == 0");
  if (alloc_tracking) {
    *handle = generic_alloc_i(0, *handle, n);
    return;
  }
  int* v = static_cast<int*>(heap_alloc(n, sizeof(int)));
  if (v == nullptr) fatal_error("alloc_int_vector: Failure.");
  *handle = v;
}

void alloc_char_vector(int n, char** handle) {
  if (n == 0) fatal_error("alloc_char_vector: dimensions == 0");
  char* v = static_cast<char*>(heap_alloc(n, sizeof(char)));
  if (v == nullptr) fatal_error("alloc_char_vector: Failure.");
  *handle = v;
}

void alloc_string_vector(int n, StringSlot** handle) {
  if (n == 0) fatal_error("alloc string vector: dimensions == 0");
  StringSlot* v = static_cast<StringSlot*>(heap_alloc(n, sizeof(StringSlot)));
  if (v == nullptr) fatal_error("alloc string vector: Failure.");
  *handle = v;
}

void alloc_real_matrix(int rows, int cols, double*** handle) {
  if (alloc_tracking) {
    if (seek_list_dr(rows, *handle) != 0)
      fatal_error("alloc_real_matrix:Trying to allocate existing matrix pointer.");
    double** m = generic_alloc_dr(0, *handle, rows);
    for (int i = 0; i < rows; i++) m[i] = generic_alloc(0, nullptr, cols);
    *handle = m;
    return;
  }
  double** m = static_cast<double**>(heap_alloc(rows, sizeof(double*)));
  if (m == nullptr) fatal_error("alloc real Matrix Failure (1)");
  for (int i = 0; i < rows; i++) {
    m[i] = static_cast<double*>(heap_alloc(cols, sizeof(double)));
    if (m[i] == nullptr) fatal_error("alloc real Matrix Failure (2)");
  }
  *handle = m;
}

void alloc_char_matrix(int rows, int cols, char*** handle) {
  char** m = static_cast<char**>(heap_alloc(rows, sizeof(char*)));
  if (m == nullptr) fatal_error("alloc char Matrix Failure (1)");
  for (int i = 0; i < rows; i++) {
    m[i] = static_cast<char*>(heap_alloc(cols, sizeof(char)));
    if (m[i] == nullptr) fatal_error("alloc char Matrix Failure (2)");
  }
  *handle = m;
}

void alloc_string_matrix(int rows, int cols, StringSlot*** handle) {
  StringSlot** m = static_cast<StringSlot**>(heap_alloc(rows, sizeof(StringSlot*)));
  if (m == nullptr) fatal_error("alloc string Matrix Failure (1)");
  for (int i = 0; i < rows; i++) {
    m[i] = static_cast<StringSlot*>(heap_alloc(cols, sizeof(StringSlot)));
    if (m[i] == nullptr) fatal_error("alloc string Matrix Failure (2)");
  }
  *handle = m;
}

void free_real_vector(int n, double** handle) {
  if (alloc_tracking) {
    *handle = generic_alloc(n, *handle, 0);
    return;
  }
  free(*handle);
  *handle = nullptr;
}

void free_int_vector(int n, int** handle) {
  if (alloc_tracking) {
    *handle = generic_alloc_i(n, *handle, 0);
    return;
  }
  free(*handle);
  *handle = nullptr;
}

void free_char_vector(int /*n*/, char** handle) {
  free(*handle);
  *handle = nullptr;
}

void free_string_vector(int /*n*/, StringSlot** handle) {
  free(*handle);
  *handle = nullptr;
}

void free_real_matrix(int rows, int cols, double*** handle) {
  double** m = *handle;
  if (alloc_tracking) {
    // A null row array has no rows to release; the registry reports it.
    if (m != nullptr) {
      for (int i = 0; i < rows; i++) m[i] = generic_alloc(cols, m[i], 0);
    }
    *handle = generic_alloc_dr(rows, m, 0);
    return;
  }
  if (m != nullptr) {
    for (int i = 0; i < rows; i++) free(m[i]);
  }
  free(m);
  *handle = nullptr;
}

void free_char_matrix(int rows, int /*cols*/, char*** handle) {
  char** m = *handle;
  if (m != nullptr) {
    for (int i = 0; i < rows; i++) free(m[i]);
  }
  free(m);
  *handle = nullptr;
}

void free_string_matrix(int rows, int /*cols*/, StringSlot*** handle) {
  StringSlot** m = *handle;
  if (m != nullptr) {
    for (int i = 0; i < rows; i++) free(m[i]);
  }
  free(m);
  *handle = nullptr;
}

void morealloc(int old_n, double** handle, int new_n) {
  if (new_n == 0) fatal_error("morealloc: dimensions == 0");
  if (alloc_tracking) {
    *handle = generic_alloc(old_n, *handle, new_n);
    return;
  }
  double* v = static_cast<double*>(heap_realloc(*handle, new_n, sizeof(double)));
  if (v == nullptr) fatal_error("realloc real Vector Failure.");
  *handle = v;
}

void realloc_int_vector(int old_n, int** handle, int new_n) {
  if (new_n == 0) fatal_error("realloc_int_vector: dimensions == 0");
  if (alloc_tracking) {
    *handle = generic_alloc_i(old_n, *handle, new_n);
    return;
  }
  int* v = static_cast<int*>(heap_realloc(*handle, new_n, sizeof(int)));
  if (v == nullptr) fatal_error("realloc int Vector Failure.");
  *handle = v;
}

void realloc_string_vector(int /*old_n*/, StringSlot** handle, int new_n) {
  if (new_n == 0) fatal_error("realloc_string_vector: dimensions == 0");
  StringSlot* v = static_cast<StringSlot*>(heap_realloc(*handle, new_n, sizeof(StringSlot)));
  if (v == nullptr) fatal_error("realloc string Vector Failure.");
  *handle = v;
}

namespace {

bool any_zero(int a, int b, int c, int d) { return a == 0 || b == 0 || c == 0 || d == 0; }

// Shrinking: rows first, then the row array; growing: the row array first.
double** resize_real_matrix_tracked(int R0, int K0, double** m, int R1, int K1) {
  // No rows to visit: the registry reports the null row array.
  if (m == nullptr) return generic_alloc_dr(R0, m, R1);
  if (R1 < R0) {
    for (int i = 0; i < R1; i++) m[i] = generic_alloc(K0, m[i], K1);
    for (int i = R1; i < R0; i++) m[i] = generic_alloc(K0, m[i], 0);
    return generic_alloc_dr(R0, m, R1);
  }
  m = generic_alloc_dr(R0, m, R1);
  for (int i = 0; i < R0; i++) m[i] = generic_alloc(K0, m[i], K1);
  for (int i = R0; i < R1; i++) m[i] = generic_alloc(0, nullptr, K1);
  return m;
}

// Rows keep their blocks when the column count stays: growing a tall matrix
// by a few rows then costs only the new rows.
double** resize_real_matrix_plain(int R0, int K0, double** m, int R1, int K1) {
  if (R1 < R0) {
    for (int i = 0; i < R1 && K1 != K0; i++) {
      double* row = static_cast<double*>(heap_realloc(m[i], K1, sizeof(double)));
      if (row == nullptr) fatal_error("realloc real mat: Allocation failure (1)");
      m[i] = row;
    }
    for (int i = R1; i < R0; i++) free(m[i]);
    double** rows = static_cast<double**>(heap_realloc(m, R1, sizeof(double*)));
    if (rows == nullptr) fatal_error("realloc real mat: Allocation failure (2)");
    return rows;
  }
  double** rows = static_cast<double**>(heap_realloc(m, R1, sizeof(double*)));
  if (rows == nullptr) fatal_error("realloc real mat: Allocation failure (3)");
  for (int i = 0; i < R0 && K1 != K0; i++) {
    double* row = static_cast<double*>(heap_realloc(rows[i], K1, sizeof(double)));
    if (row == nullptr) fatal_error("realloc real mat: Allocation failure (4)");
    rows[i] = row;
  }
  for (int i = R0; i < R1; i++) {
    rows[i] = static_cast<double*>(heap_alloc(K1, sizeof(double)));
    if (rows[i] == nullptr) fatal_error("realloc real mat: Allocation failure (5)");
  }
  return rows;
}

}  // namespace

void realloc_real_matrix(int old_rows, int old_cols, double*** handle, int new_rows,
                         int new_cols) {
  if (any_zero(new_rows, new_cols, old_cols, old_rows))
    fatal_error("realloc real matrix: 0 columns and / or 0 rows");
  if (alloc_tracking) {
    *handle = resize_real_matrix_tracked(old_rows, old_cols, *handle, new_rows, new_cols);
  } else {
    *handle = resize_real_matrix_plain(old_rows, old_cols, *handle, new_rows, new_cols);
  }
}

void realloc_string_matrix(int old_rows, int old_cols, StringSlot*** handle, int new_rows,
                           int new_cols) {
  if (any_zero(new_rows, new_cols, old_cols, old_rows))
    fatal_error("realloc  string matrix: 0 columns and / or 0 rows");
  StringSlot** m = *handle;
  if (new_rows < old_rows) {
    for (int i = 0; i < new_rows; i++) {
      StringSlot* row = static_cast<StringSlot*>(heap_realloc(m[i], new_cols, sizeof(StringSlot)));
      if (row == nullptr) fatal_error("realloc string mat: Allocation failure (1)");
      m[i] = row;
    }
    for (int i = new_rows; i < old_rows; i++) free(m[i]);
    StringSlot** rows = static_cast<StringSlot**>(heap_realloc(m, new_rows, sizeof(StringSlot*)));
    if (rows == nullptr) fatal_error("realloc string mat: Allocation failure (2)");
    *handle = rows;
    return;
  }
  StringSlot** rows = static_cast<StringSlot**>(heap_realloc(m, new_rows, sizeof(StringSlot*)));
  if (rows == nullptr) fatal_error("realloc string mat: Allocation failure (3)");
  for (int i = 0; i < old_rows; i++) {
    StringSlot* row = static_cast<StringSlot*>(heap_realloc(rows[i], new_cols, sizeof(StringSlot)));
    if (row == nullptr) fatal_error("realloc string  mat: Allocation failure (4)");
    rows[i] = row;
  }
  for (int i = old_rows; i < new_rows; i++) {
    rows[i] = static_cast<StringSlot*>(heap_alloc(new_cols, sizeof(StringSlot)));
    if (rows[i] == nullptr) fatal_error("realloc string mat: Allocation failure (5)");
  }
  *handle = rows;
}
