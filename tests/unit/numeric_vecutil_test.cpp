// Vector and matrix utilities: grids, the index odometer, axis distances,
// combinatorics, text joining, minima, copies with offsets and products.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fatal_test_support.h"
#include "numeric/storage.h"
#include "numeric/vecutil.h"
#include "numeric_test_support.h"

namespace {

using ::testing::ExitedWithCode;

// A real matrix filled row by row from a list of values.
double** make_matrix(int rows, int cols, const std::vector<double>& values) {
  double** m = nullptr;
  alloc_real_matrix(rows, cols, &m);
  for (int i = 0; i < rows; i++)
    for (int j = 0; j < cols; j++) m[i][j] = values[static_cast<size_t>(i * cols + j)];
  return m;
}

class VecUtil : public ::testing::Test {
 protected:
  TrackingScope scope_{true};
};
using VecUtilDeathTest = VecUtil;

TEST_F(VecUtil, GridListsEveryPointLastDimensionFastest) {
  double** ranges = make_matrix(1, 2, {0.0, 1.0});
  double** g = nullptr;
  int count = 0;
  grid(2, 1, ranges, &g, &count);
  ASSERT_EQ(count, 2);
  EXPECT_EQ(g[0][0], 0.0);
  EXPECT_EQ(g[1][0], 1.0);
  free_real_matrix(count, 1, &g);
  free_real_matrix(1, 2, &ranges);

  ranges = make_matrix(2, 2, {-1.0, 3.0, 0.5, 2.0});
  grid(10, 2, ranges, &g, &count);
  ASSERT_EQ(count, 100);
  EXPECT_EQ(seek_list_dr(100, g), 1);  // the caller releases 100 x 2
  EXPECT_EQ(g[0][0], -1.0);
  EXPECT_EQ(g[0][1], 0.5);
  EXPECT_EQ(g[1][0], -1.0);
  EXPECT_EQ(g[1][1], 1.0 / 9.0 * (2.0 - 0.5) + 0.5);
  EXPECT_EQ(g[10][0], 1.0 / 9.0 * 4.0 + -1.0);
  EXPECT_EQ(g[10][1], 0.5);
  EXPECT_EQ(g[99][0], 3.0);
  EXPECT_EQ(g[99][1], 2.0);
  free_real_matrix(count, 2, &g);
  free_real_matrix(2, 2, &ranges);
}

TEST_F(VecUtil, GridOfThreeLevelsInTwoDimensions) {
  double** ranges = make_matrix(2, 2, {0.0, 4.0, 10.0, 20.0});
  double** g = nullptr;
  int count = 0;
  grid(3, 2, ranges, &g, &count);
  ASSERT_EQ(count, 9);
  const double expected[9][2] = {{0, 10}, {0, 15}, {0, 20}, {2, 10}, {2, 15},
                                 {2, 20}, {4, 10}, {4, 15}, {4, 20}};
  for (int p = 0; p < 9; p++) {
    EXPECT_EQ(g[p][0], expected[p][0]) << p;
    EXPECT_EQ(g[p][1], expected[p][1]) << p;
  }
  free_real_matrix(count, 2, &g);
  free_real_matrix(2, 2, &ranges);
}

TEST_F(VecUtil, PermGridStepsLikeAnOdometer) {
  const int levels[2] = {2, 3};
  int counter[2] = {0, 0};
  const int expected[5][2] = {{0, 1}, {0, 2}, {1, 0}, {1, 1}, {1, 2}};
  for (const auto& step : expected) {
    ASSERT_EQ(PermGrid(2, levels, counter), 1);
    EXPECT_EQ(counter[0], step[0]);
    EXPECT_EQ(counter[1], step[1]);
  }
  EXPECT_EQ(PermGrid(2, levels, counter), 0);
  EXPECT_EQ(counter[0], 0);
  EXPECT_EQ(counter[1], 0);
}

TEST_F(VecUtilDeathTest, GridAndPermGridRefuseDegenerateInput) {
  const int levels[1] = {2};
  int counter[1] = {0};
  EXPECT_FATAL_EXIT(PermGrid(0, levels, counter), ExitedWithCode(1),
                    fatal_text("PermGrid: dimension is zero or negative."));
  EXPECT_FATAL_EXIT(
      {
        double** ranges = make_matrix(1, 2, {0.0, 1.0});
        double** g = nullptr;
        int count = 0;
        grid(1, 1, ranges, &g, &count);
      },
      ExitedWithCode(1), fatal_text("grid(): Code Bug : <=1 on grid"));
  // A point count beyond an int would wrap and under-allocate.
  EXPECT_FATAL_EXIT(
      {
        double** ranges = make_matrix(40, 2, std::vector<double>(80, 1.0));
        double** g = nullptr;
        int count = 0;
        grid(2, 40, ranges, &g, &count);
      },
      ExitedWithCode(1), fatal_text("grid(): Code Bug : too many grid points"));
}

TEST_F(VecUtil, MinDistanceSkipsOwnRowAndCountsTies) {
  double** X = make_matrix(4, 2, {0.5, 0.5, 0.7, 0.5, 0.2, 0.9, 0.4, 0.1});
  double** ranges = make_matrix(2, 2, {0.0, 1.0, 0.0, 1.0});
  const double x[2] = {0.5, 0.5};
  double out[2];

  const int up[2] = {1, 1};
  testing::internal::CaptureStdout();
  min_distance_each_dim(4, 2, x, X, ranges, up, out);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(out[0], 0.7 - 0.5);  // x's own row would have given 0
  EXPECT_EQ(out[1], 0.0);        // row 1 shares x's second coordinate

  const int down[2] = {-1, -1};
  min_distance_each_dim(4, 2, x, X, ranges, down, out);
  EXPECT_EQ(out[0], 0.5 - 0.4);
  EXPECT_EQ(out[1], 0.0);
  free_real_matrix(4, 2, &X);
  free_real_matrix(2, 2, &ranges);
}

TEST_F(VecUtil, MinDistanceAgainstRangesWhenPointIsNotADesignPoint) {
  double** X = make_matrix(2, 1, {0.2, 0.6});
  double** ranges = make_matrix(1, 2, {0.0, 1.0});
  const double top[1] = {1.0};
  const int up[1] = {1};
  double out[1];
  testing::internal::CaptureStdout();
  min_distance_each_dim(2, 1, top, X, ranges, up, out);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Info : min_distance_each_dim: No point contained\n");
  EXPECT_EQ(out[0], 0.0);

  const double mid[1] = {0.3};
  const int down[1] = {-1};
  testing::internal::CaptureStdout();
  min_distance_each_dim(2, 1, mid, X, ranges, down, out);
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(out[0], 0.3 - 0.2);
  free_real_matrix(2, 1, &X);
  free_real_matrix(1, 2, &ranges);
}

TEST_F(VecUtilDeathTest, MinDistanceRefusesBadDirectionOrOutsidePoint) {
  double** X = make_matrix(1, 1, {0.5});
  double** ranges = make_matrix(1, 2, {0.0, 1.0});
  double out[1];
  const double inside[1] = {0.5};
  const int sideways[1] = {0};
  EXPECT_FATAL_EXIT(min_distance_each_dim(1, 1, inside, X, ranges, sideways, out),
                    ExitedWithCode(1),
                    fatal_text("min_distance_each_dim: Code Bug , direction!= -1,1"));
  const double above[1] = {1.5};
  const int up[1] = {1};
  EXPECT_FATAL_EXIT(min_distance_each_dim(1, 1, above, X, ranges, up, out), ExitedWithCode(1),
                    fatal_text("min_distance_each_dim: Code Bug, temp<0"));
  free_real_matrix(1, 1, &X);
  free_real_matrix(1, 2, &ranges);
}

TEST_F(VecUtil, ChooseAndFactorial) {
  EXPECT_EQ(choose(10, 3), 120);
  EXPECT_EQ(choose(10, 0), 1);
  EXPECT_EQ(choose(10, 10), 1);
  EXPECT_EQ(choose(5, 2), 10);
  EXPECT_EQ(factorial(0), 1);
  EXPECT_EQ(factorial(12), 479001600);
}

TEST_F(VecUtilDeathTest, ChooseAndFactorialRefuseOutOfRange) {
  EXPECT_FATAL_EXIT(choose(11, 1), ExitedWithCode(1),
                    fatal_text("choose: rewrite procedure, can't handle n>10"));
  EXPECT_FATAL_EXIT(choose(3, 4), ExitedWithCode(1),
                    fatal_text("choose: i>n , mathematical nonsense\n"));
  EXPECT_FATAL_EXIT(factorial(-1), ExitedWithCode(1),
                    fatal_text("factorial: (n<0) or (n is not an integer)"));
  // 13! does not fit a 32-bit int.
  EXPECT_FATAL_EXIT(factorial(13), ExitedWithCode(1),
                    fatal_text("factorial: n! where n>12, number too large"));
}

TEST_F(VecUtil, JoinStringsStopsBeforeTheCapacity) {
  const char* texts[2] = {"ab", "cd"};
  char dst[10];
  EXPECT_EQ(join_strings(2, texts, 10, dst), 1);
  EXPECT_STREQ(dst, "ab   ");
  char wide[13];
  EXPECT_EQ(join_strings(2, texts, 13, wide), 0);
  EXPECT_STREQ(wide, "ab   cd   ");
  EXPECT_EQ(join_strings(0, texts, 13, wide), 0);
  EXPECT_STREQ(wide, "");
}

TEST_F(VecUtil, MinimaReportTheFirstOccurrence) {
  const double v[3] = {3.0, 1.0, 1.0};
  int position = 0;
  EXPECT_EQ(real_minimum_index(3, v, &position), 1.0);
  EXPECT_EQ(position, 2);
  const double first[3] = {-4.0, 1.0, -4.0};
  EXPECT_EQ(real_minimum_index(3, first, &position), -4.0);
  EXPECT_EQ(position, 1);
  EXPECT_EQ(Real_Minimum(1, v), 3.0);
  EXPECT_EQ(Real_Minimum(3, first), -4.0);
  EXPECT_EQ(real_max(2.0, 5.0), 5.0);
  EXPECT_EQ(real_max(5.0, 2.0), 5.0);
}

TEST_F(VecUtilDeathTest, EmptyInputsAreFatal) {
  double v[1] = {0.0};
  int position = 0;
  const std::string empty = fatal_text("Real_Minimum: Minimum of empty set of numbers");
  EXPECT_FATAL_EXIT(Real_Minimum(0, v), ExitedWithCode(1), empty);
  EXPECT_FATAL_EXIT(real_minimum_index(0, v, &position), ExitedWithCode(1), empty);
  EXPECT_FATAL_EXIT(init_real_vec(1.0, 0, v), ExitedWithCode(1),
                    fatal_text("init_real_vec: Vector has n==0"));
  double* rows[1] = {v};
  EXPECT_FATAL_EXIT(init_diag_mat(1.0, 0, rows), ExitedWithCode(1),
                    fatal_text("init_diag_mat: Matrix has n==0"));
}

TEST_F(VecUtil, FindStringGivesFirstPositionFromOne) {
  StringSlot names[4] = {"alpha", "beta", "Beta", "beta"};
  int position = 0;
  EXPECT_EQ(find_string("beta", 4, names, &position), 0);
  EXPECT_EQ(position, 2);
  EXPECT_EQ(find_string("Beta", 4, names, &position), 0);
  EXPECT_EQ(position, 3);
  EXPECT_EQ(find_string("bet", 4, names, &position), 1);
  EXPECT_EQ(position, -1);
}

TEST_F(VecUtil, CopiesWithColumnOffsets) {
  double** src = make_matrix(2, 4, {1, 2, 3, 4, 5, 6, 7, 8});
  double** dst = make_matrix(2, 3, std::vector<double>(6, 0.0));
  copy_matrix_offsets(2, 2, src, 2, dst, 1);
  EXPECT_EQ(dst[0][0], 0.0);
  EXPECT_EQ(dst[0][1], 3.0);
  EXPECT_EQ(dst[0][2], 4.0);
  EXPECT_EQ(dst[1][1], 7.0);
  EXPECT_EQ(dst[1][2], 8.0);

  // A row offset is expressed by passing the row array from that row on.
  copy_matrix_offsets(1, 1, src, 0, dst + 1, 0);
  EXPECT_EQ(dst[1][0], 1.0);

  StringSlot** text = nullptr;
  alloc_string_matrix(2, 3, &text);
  copy_matrix_real_to_string(2, 2, src, 1, text, 1);
  EXPECT_STREQ(text[0][1], "2.000000");
  EXPECT_STREQ(text[0][2], "3.000000");
  EXPECT_STREQ(text[1][2], "7.000000");
  free_string_matrix(2, 3, &text);
  free_real_matrix(2, 4, &src);
  free_real_matrix(2, 3, &dst);
}

TEST_F(VecUtil, RealToStringKeepsHugeValuesInsideTheSlot) {
  const double values[5] = {-123456.5, 1e20, -1e21, 1.7976931348623157e308, 1.0 / 3.0 * 1e25};
  double** src = make_matrix(1, 5, std::vector<double>(values, values + 5));
  StringSlot** text = nullptr;
  alloc_string_matrix(1, 5, &text);
  copy_matrix_real_to_string(1, 5, src, 0, text, 0);
  EXPECT_STREQ(text[0][0], "-123456.500000");
  EXPECT_STREQ(text[0][1], "100000000000000000000.000000");  // 28 characters: still "%f"
  for (int j = 0; j < 5; j++) {
    EXPECT_LT(strnlen(text[0][j], kSlotLen), static_cast<size_t>(kSlotLen)) << j;
    EXPECT_EQ(strtod(text[0][j], nullptr), values[j]) << text[0][j];
  }
  free_string_matrix(1, 5, &text);
  free_real_matrix(1, 5, &src);
}

TEST_F(VecUtilDeathTest, NegativeOffsetsAreFatal) {
  double** m = make_matrix(1, 1, {1.0});
  StringSlot** text = nullptr;
  alloc_string_matrix(1, 1, &text);
  EXPECT_FATAL_EXIT(copy_matrix_offsets(1, 1, m, -1, m, 0), ExitedWithCode(1),
                    fatal_text("copy_matrix with offsets: one of the  offset <0 "));
  EXPECT_FATAL_EXIT(copy_matrix_offsets(1, 1, m, 0, m, -1), ExitedWithCode(1),
                    fatal_text("copy_matrix with offsets: one of the  offset <0 "));
  EXPECT_FATAL_EXIT(copy_matrix_real_to_string(1, 1, m, 0, text, -2), ExitedWithCode(1),
                    fatal_text("copy_matrix real to string with offsets: one of the  offset <0 "));
  free_string_matrix(1, 1, &text);
  free_real_matrix(1, 1, &m);
}

TEST_F(VecUtil, CopiesLeavingOneOut) {
  const double v[4] = {1, 2, 3, 4};
  double out[3];
  copy_real_vector_minus_one(4, v, 3, out);
  EXPECT_EQ(out[0], 1.0);
  EXPECT_EQ(out[2], 3.0);
  copy_real_vector_minus_one(4, v, 1, out);
  EXPECT_EQ(out[0], 1.0);
  EXPECT_EQ(out[1], 3.0);
  EXPECT_EQ(out[2], 4.0);

  double** m = make_matrix(3, 2, {1, 2, 3, 4, 5, 6});
  double** rest = make_matrix(2, 2, {0, 0, 0, 0});
  copy_real_matrix_minus_1row(3, 2, m, 1, rest);
  EXPECT_EQ(rest[0][1], 2.0);
  EXPECT_EQ(rest[1][0], 5.0);
  EXPECT_EQ(rest[1][1], 6.0);
  free_real_matrix(3, 2, &m);
  free_real_matrix(2, 2, &rest);
}

TEST_F(VecUtilDeathTest, LeaveOneOutIndexMustLieInside) {
  const double v[2] = {1, 2};
  double out[2];
  const std::string vec_text =
      fatal_text("copy_real_vector_minus_one:(omit index>vector length)or <0");
  EXPECT_FATAL_EXIT(copy_real_vector_minus_one(2, v, 2, out), ExitedWithCode(1), vec_text);
  EXPECT_FATAL_EXIT(copy_real_vector_minus_one(2, v, -1, out), ExitedWithCode(1), vec_text);
  double** m = make_matrix(2, 1, {1, 2});
  EXPECT_FATAL_EXIT(copy_real_matrix_minus_1row(2, 1, m, 2, m), ExitedWithCode(1),
                    fatal_text("copy_real_matrix_minus_1row:(omit index>vector length)or <0"));
  free_real_matrix(2, 1, &m);
}

TEST_F(VecUtil, StringVectorCopyIsBoundedToTheSlot) {
  StringSlot src[2];
  memset(src[0], 'q', kSlotLen);  // no terminator inside the slot
  snprintf(src[1], kSlotLen, "%s", "short");
  StringSlot dst[2];
  copy_string_vector(2, src, dst);
  EXPECT_EQ(std::string(dst[0]), std::string(kSlotLen - 1, 'q'));
  EXPECT_STREQ(dst[1], "short");
}

TEST_F(VecUtil, ElementwiseProductsAndSums) {
  const double a[3] = {1.5, -2.0, 4.0};
  const double b[3] = {2.0, 3.0, 0.25};
  double out[3];
  add_scaled_vector(-1.0, a, 3, b, out);  // a - b
  EXPECT_EQ(out[0], -0.5);
  EXPECT_EQ(out[1], -5.0);
  EXPECT_EQ(out[2], 3.75);
  multiply_vectors_elementwise(a, 3, b, out);
  EXPECT_EQ(out[0], 3.0);
  EXPECT_EQ(out[2], 1.0);
  double v[3] = {1.0, 1.0, 2.0};
  scale_vector_elementwise(a, 3, v);
  EXPECT_EQ(v[1], -2.0);
  EXPECT_EQ(v[2], 8.0);
  EXPECT_EQ(product_of_elements(3, a), -12.0);
  EXPECT_EQ(product_of_elements(0, a), 1.0);
  EXPECT_EQ(dot_product(a, 3, b), 3.0 - 6.0 + 1.0);
  EXPECT_EQ(equal_real_vectors(3, a, a), 1);
  EXPECT_EQ(equal_real_vectors(3, a, b), 0);
  EXPECT_EQ(equal_real_vectors(0, a, b), 1);
}

TEST_F(VecUtil, DotProductSumsInIndexOrder) {
  // Left to right, 1e16 + 1 rounds back to 1e16, and the 1 is lost.
  const double a[3] = {1e16, 1.0, -1e16};
  const double ones[3] = {1.0, 1.0, 1.0};
  EXPECT_EQ(dot_product(a, 3, ones), 0.0);
}

TEST_F(VecUtil, MatrixProducts) {
  double** A = make_matrix(2, 3, {1, 2, 3, 4, 5, 6});
  double** B = make_matrix(3, 2, {7, 8, 9, 10, 11, 12});
  double** P = make_matrix(2, 2, {0, 0, 0, 0});
  multiply_matrices(2, A, 3, B, 2, P);
  EXPECT_EQ(P[0][0], 58.0);
  EXPECT_EQ(P[0][1], 64.0);
  EXPECT_EQ(P[1][0], 139.0);
  EXPECT_EQ(P[1][1], 154.0);

  double** T = make_matrix(3, 2, std::vector<double>(6, 0.0));
  transpose_matrix(2, 3, A, T);
  EXPECT_EQ(T[2][0], 3.0);
  EXPECT_EQ(T[0][1], 4.0);

  const double v2[2] = {1.0, -1.0};
  double out3[3];
  vector_times_matrix(v2, 2, A, 3, out3);  // A^T v
  EXPECT_EQ(out3[0], -3.0);
  EXPECT_EQ(out3[2], -3.0);
  const double v3[3] = {1.0, 0.0, 2.0};
  double out2[2];
  matrix_times_vector(2, A, 3, v3, out2);
  EXPECT_EQ(out2[0], 7.0);
  EXPECT_EQ(out2[1], 16.0);

  double** S = make_matrix(2, 3, std::vector<double>(6, 0.0));
  const double w[3] = {2.0, 0.5, -1.0};
  scale_matrix_columns(2, A, 3, w, S);
  EXPECT_EQ(S[0][0], 2.0);
  EXPECT_EQ(S[1][1], 2.5);
  EXPECT_EQ(S[1][2], -6.0);

  swap_rows(3, A, 0, 1);
  EXPECT_EQ(A[0][0], 4.0);
  EXPECT_EQ(A[1][2], 3.0);

  double** D = make_matrix(2, 2, {5, 5, 5, 5});
  init_diag_mat(3.0, 2, D);
  EXPECT_EQ(D[0][0], 3.0);
  EXPECT_EQ(D[0][1], 0.0);
  EXPECT_EQ(D[1][0], 0.0);
  copy_real_matrix(2, 2, D, P);
  EXPECT_EQ(P[1][1], 3.0);
  EXPECT_EQ(P[1][0], 0.0);
  double filled[3];
  init_real_vec(-1e14, 3, filled);
  copy_real_vector(3, filled, out3);
  EXPECT_EQ(out3[2], -1e14);

  free_real_matrix(2, 3, &A);
  free_real_matrix(3, 2, &B);
  free_real_matrix(2, 2, &P);
  free_real_matrix(3, 2, &T);
  free_real_matrix(2, 3, &S);
  free_real_matrix(2, 2, &D);
}

}  // namespace
