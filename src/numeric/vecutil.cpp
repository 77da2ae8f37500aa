#include "numeric/vecutil.h"

#include <climits>
#include <cstdio>
#include <cstring>

#include "base/messages.h"

void init_real_vec(double value, int n, double* v) {
  if (n == 0) fatal_error("init_real_vec: Vector has n==0");
  for (int i = 0; i < n; i++) v[i] = value;
}

void init_diag_mat(double value, int n, double** m) {
  if (n == 0) fatal_error("init_diag_mat: Matrix has n==0");
  for (int i = 0; i < n; i++) {
    for (int j = 0; j < n; j++) m[i][j] = (i == j) ? value : 0.0;
  }
}

int equal_real_vectors(int n, const double* a, const double* b) {
  for (int i = 0; i < n; i++) {
    if (a[i] != b[i]) return 0;
  }
  return 1;
}

void copy_real_vector(int n, const double* src, double* dst) {
  for (int i = 0; i < n; i++) dst[i] = src[i];
}

void copy_real_matrix(int rows, int cols, double* const* src, double** dst) {
  for (int i = 0; i < rows; i++) {
    for (int j = 0; j < cols; j++) dst[i][j] = src[i][j];
  }
}

void copy_matrix_offsets(int rows, int cols, double* const* src, int src_offset, double** dst,
                         int dst_offset) {
  if (src_offset < 0 || dst_offset < 0)
    fatal_error("copy_matrix with offsets: one of the  offset <0 ");
  for (int i = 0; i < rows; i++) {
    for (int j = 0; j < cols; j++) dst[i][j + dst_offset] = src[i][j + src_offset];
  }
}

namespace {

// The "%f" text of a value when it fits a slot; otherwise (magnitudes of
// about 1e21 and more) the shortest-safe exponent form "%.17g", which reads
// back to the same double and is at most 24 characters long.
void format_real_into_slot(double value, StringSlot slot) {
  char wide[512];
  const int len = snprintf(wide, sizeof wide, "%f", value);
  if (len >= 0 && len < kSlotLen) {
    memcpy(slot, wide, static_cast<size_t>(len) + 1);
    return;
  }
  snprintf(slot, kSlotLen, "%.17g", value);
}

}  // namespace

void copy_matrix_real_to_string(int rows, int cols, double* const* src, int src_offset,
                                StringSlot** dst, int dst_offset) {
  if (src_offset < 0 || dst_offset < 0)
    fatal_error("copy_matrix real to string with offsets: one of the  offset <0 ");
  for (int i = 0; i < rows; i++) {
    for (int j = 0; j < cols; j++)
      format_real_into_slot(src[i][j + src_offset], dst[i][j + dst_offset]);
  }
}

void copy_real_vector_minus_one(int n, const double* src, int omit, double* dst) {
  if (omit >= n || omit < 0)
    fatal_error("copy_real_vector_minus_one:(omit index>vector length)or <0");
  int k = 0;
  for (int i = 0; i < n; i++) {
    if (i != omit) dst[k++] = src[i];
  }
}

void copy_real_matrix_minus_1row(int rows, int cols, double* const* src, int omit, double** dst) {
  if (omit >= rows || omit < 0)
    fatal_error("copy_real_matrix_minus_1row:(omit index>vector length)or <0");
  int k = 0;
  for (int i = 0; i < rows; i++) {
    if (i == omit) continue;
    for (int j = 0; j < cols; j++) dst[k][j] = src[i][j];
    k++;
  }
}

void copy_string_vector(int n, const StringSlot* src, StringSlot* dst) {
  for (int i = 0; i < n; i++) {
    // At most 29 characters and the terminator, even from an unterminated slot.
    int c = 0;
    for (; c < kSlotLen - 1 && src[i][c] != '\0'; c++) dst[i][c] = src[i][c];
    dst[i][c] = '\0';
  }
}

int join_strings(int n, const char* const* texts, int capacity, char* dst) {
  if (capacity < 1) return n > 0 ? 1 : 0;
  dst[0] = '\0';
  size_t used = 0;
  for (int i = 0; i < n; i++) {
    const size_t len = strlen(texts[i]);
    if (static_cast<long long>(used + len) + 5 > static_cast<long long>(capacity) - 1) return 1;
    memcpy(dst + used, texts[i], len);
    memcpy(dst + used + len, "   ", 4);
    used += len + 3;
  }
  return 0;
}

void add_scaled_vector(double a, const double* y, int n, const double* x, double* out) {
  for (int i = 0; i < n; i++) out[i] = a * x[i] + y[i];
}

void scale_vector_elementwise(const double* w, int n, double* v) {
  for (int i = 0; i < n; i++) v[i] = v[i] * w[i];
}

void multiply_vectors_elementwise(const double* a, int n, const double* b, double* out) {
  for (int i = 0; i < n; i++) out[i] = a[i] * b[i];
}

double product_of_elements(int n, const double* v) {
  double product = 1.0;
  for (int i = 0; i < n; i++) product *= v[i];
  return product;
}

double dot_product(const double* a, int n, const double* b) {
  double sum = 0.0;
  for (int i = 0; i < n; i++) sum += a[i] * b[i];
  return sum;
}

void transpose_matrix(int rows, int cols, double* const* src, double** dst) {
  for (int i = 0; i < rows; i++) {
    for (int j = 0; j < cols; j++) dst[j][i] = src[i][j];
  }
}

void multiply_matrices(int rows, double* const* A, int inner, double* const* B, int cols,
                       double** P) {
  for (int i = 0; i < rows; i++) {
    for (int j = 0; j < cols; j++) {
      double sum = 0.0;
      for (int k = 0; k < inner; k++) sum += A[i][k] * B[k][j];
      P[i][j] = sum;
    }
  }
}

void vector_times_matrix(const double* v, int m, double* const* M, int n, double* out) {
  for (int i = 0; i < n; i++) {
    double sum = 0.0;
    for (int j = 0; j < m; j++) sum += v[j] * M[j][i];
    out[i] = sum;
  }
}

void matrix_times_vector(int rows, double* const* M, int m, const double* v, double* out) {
  for (int i = 0; i < rows; i++) {
    double sum = 0.0;
    for (int j = 0; j < m; j++) sum += M[i][j] * v[j];
    out[i] = sum;
  }
}

void scale_matrix_columns(int rows, double* const* M, int cols, const double* w, double** out) {
  for (int i = 0; i < rows; i++) {
    for (int j = 0; j < cols; j++) out[i][j] = M[i][j] * w[j];
  }
}

int find_string(const char* text, int n, const StringSlot* strings, int* position) {
  const size_t len = strlen(text);
  for (int i = 0; i < n; i++) {
    if (strnlen(strings[i], kSlotLen) == len && memcmp(strings[i], text, len) == 0) {
      *position = i + 1;
      return 0;
    }
  }
  *position = -1;
  return 1;
}

double Real_Minimum(int n, const double* v) {
  if (n == 0) fatal_error("Real_Minimum: Minimum of empty set of numbers");
  double minimum = v[0];
  for (int i = 1; i < n; i++) {
    if (v[i] < minimum) minimum = v[i];
  }
  return minimum;
}

double real_minimum_index(int n, const double* v, int* position) {
  if (n == 0) fatal_error("Real_Minimum: Minimum of empty set of numbers");
  double minimum = v[0];
  int at = 0;
  for (int i = 1; i < n; i++) {
    if (v[i] < minimum) {
      minimum = v[i];
      at = i;
    }
  }
  *position = at + 1;
  return minimum;
}

void swap_rows(int cols, double** M, int a, int b) {
  for (int j = 0; j < cols; j++) {
    const double held = M[a][j];
    M[a][j] = M[b][j];
    M[b][j] = held;
  }
}

double real_max(double a, double b) { return a > b ? a : b; }

// 12! is the largest factorial a 32-bit int holds; larger n are refused
// rather than returned wrapped.
int factorial(int n) {
  if (n < 0) fatal_error("factorial: (n<0) or (n is not an integer)");
  if (n > 12) fatal_error("factorial: n! where n>12, number too large");
  int product = 1;
  for (int k = 2; k <= n; k++) product *= k;
  return product;
}

int choose(int n, int i) {
  if (n < i) fatal_error("choose: i>n , mathematical nonsense\n");
  if (n > 10) fatal_error("choose: rewrite procedure, can't handle n>10");
  return factorial(n) / (factorial(i) * factorial(n - i));
}

int PermGrid(int m, const int* levels, int* counter) {
  if (m < 1) fatal_error("PermGrid: dimension is zero or negative.");
  for (int i = m - 1; i >= 0; i--) {
    if (counter[i] + 1 == levels[i]) {
      counter[i] = 0;
    } else {
      counter[i] = counter[i] + 1;
      return 1;
    }
  }
  return 0;
}

void grid(int levels, int m, double* const* ranges, double*** result, int* count) {
  int* level_of = nullptr;
  int* counter = nullptr;
  alloc_int_vector(m, &level_of);
  alloc_int_vector(m, &counter);
  for (int s = 0; s < m; s++) {
    level_of[s] = levels;
    counter[s] = 0;
  }
  check_invariant(levels > 1, "grid(): Code Bug : <=1 on grid");

  // G^m rows; a count that does not fit an int would wrap and under-allocate.
  long long points = 1;
  for (int s = 0; s < m; s++) {
    points *= levels;
    check_invariant(points <= INT_MAX, "grid(): Code Bug : too many grid points");
  }
  const int total = static_cast<int>(points);
  double** mat = nullptr;
  alloc_real_matrix(total, m, &mat);

  const double steps = static_cast<double>(levels - 1);
  int p = 0;
  do {
    for (int s = 0; s < m; s++) {
      const double lo = ranges[s][0];
      const double hi = ranges[s][1];
      mat[p][s] = static_cast<double>(counter[s]) / steps * (hi - lo) + lo;
    }
    p++;
  } while (PermGrid(m, level_of, counter));

  free_int_vector(m, &level_of);
  free_int_vector(m, &counter);
  *result = mat;
  *count = total;
}

void min_distance_each_dim(int N, int m, const double* x, double* const* X,
                           double* const* ranges, const int* dirs, double* out) {
  int own = -1;
  for (int i = 0; i < N && own < 0; i++) {
    bool same = true;
    for (int j = 0; j < m; j++) {
      if (X[i][j] != x[j]) {
        same = false;
        break;
      }
    }
    if (same) own = i;
  }
  if (own < 0) print_info("min_distance_each_dim: No point contained");

  for (int j = 0; j < m; j++) {
    double t;
    if (dirs[j] == 1) {
      t = ranges[j][1] - x[j];
    } else if (dirs[j] == -1) {
      t = x[j] - ranges[j][0];
    } else {
      invariant_broken("min_distance_each_dim: Code Bug , direction!= -1,1");
    }
    check_invariant(!(t < 0), "min_distance_each_dim: Code Bug, temp<0");
    for (int k = 0; k < N; k++) {
      if (k == own) continue;
      const double diff = X[k][j] - x[j];
      if (dirs[j] == 1) {
        if (diff >= 0 && diff < t) t = diff;
      } else {
        if (diff <= 0 && x[j] - X[k][j] < t) t = x[j] - X[k][j];
      }
    }
    out[j] = t;
  }
}
