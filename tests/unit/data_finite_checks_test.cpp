// The finiteness checks: which values are unusable, and the variables text
// of the message (1-based rows, singular and plural, the caps on rows and
// variables, a bounded buffer).
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "data/finite_checks.h"
#include "data/model_store.h"

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
const double kNan = std::nan("");

// A rows x cols matrix of 1.0 with row pointers, and column names c0, c1, ...
struct Table {
  std::vector<std::vector<double>> cells;
  std::vector<double*> rows;
  StringSlot names[16];
  int d;
  Table(int n, int d_) : cells(n, std::vector<double>(d_, 1.0)), d(d_) {
    for (auto& row : cells) rows.push_back(row.data());
    for (int j = 0; j < d; j++) snprintf(names[j], kSlotLen, "c%d", j);
  }
  std::string describe(int capacity, int* bad_columns) {
    std::vector<char> text(capacity);
    *bad_columns = describe_unusable_columns(static_cast<int>(rows.size()),
                                             d, rows.data(), names, text.data(), capacity);
    return text.data();
  }
};

}  // namespace

TEST(DataFiniteChecks, NaMarkerInfAndNanAreUnusableAndNamed) {
  EXPECT_TRUE(is_usable_value(0.0));
  EXPECT_TRUE(is_usable_value(kNoUpperBound));
  EXPECT_EQ(unusable_value_word(2.5), nullptr);
  EXPECT_STREQ(unusable_value_word(kNaMarker), "NA");
  EXPECT_STREQ(unusable_value_word(kNan), "nan");
  EXPECT_STREQ(unusable_value_word(kInf), "inf");
  EXPECT_STREQ(unusable_value_word(-kInf), "-inf");
  const double v[] = {1.0, 2.0, kNan, kNaMarker};
  EXPECT_EQ(first_unusable(4, v), 2);
  EXPECT_EQ(first_unusable(2, v), -1);
}

TEST(DataFiniteChecks, NamesEachColumnWithItsRowsCountedFromOne) {
  Table t(6, 3);
  int bad = 0;
  EXPECT_EQ(t.describe(kUnusableTextSize, &bad), "");
  EXPECT_EQ(bad, 0);
  t.cells[0][0] = kNaMarker;
  t.cells[5][0] = -kInf;
  t.cells[2][2] = kNan;
  EXPECT_EQ(t.describe(kUnusableTextSize, &bad), "c0 (rows 1, 6), c2 (row 3)");
  EXPECT_EQ(bad, 2);
}

TEST(DataFiniteChecks, ListsAtMostTenRowsAndTenVariables) {
  Table t(12, 12);
  for (int i = 0; i < 12; i++) t.cells[i][0] = kNan;
  for (int j = 1; j < 12; j++) t.cells[0][j] = kInf;
  int bad = 0;
  const std::string text = t.describe(kUnusableTextSize, &bad);
  EXPECT_EQ(bad, 12);
  EXPECT_EQ(text.substr(0, 45), "c0 (rows 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, ...),");
  EXPECT_NE(text.find("c9 (row 1), ..."), std::string::npos) << text;
  EXPECT_EQ(text.find("c10"), std::string::npos) << text;
}

TEST(DataFiniteChecks, AShortBufferEndsTheListWithoutOverflow) {
  Table t(2, 3);
  for (int j = 0; j < 3; j++) t.cells[1][j] = kNaMarker;
  int bad = 0;
  EXPECT_EQ(t.describe(24, &bad), "c0 (row 2), ...");
  EXPECT_EQ(bad, 3);
  EXPECT_EQ(t.describe(8, &bad), "...");
}
