#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "base/interpreter.h"
#include "data/matrix_reader.h"
#include "data/matrix_writer.h"
#include "data/model_store.h"
#include "data_test_support.h"
#include "fatal_test_support.h"
#include "numeric/storage.h"
#include "numeric_test_support.h"

namespace {

// A real matrix with names, built from rows of values, released afterwards.
struct RealTable {
  int rows;
  int cols;
  double** m = nullptr;
  StringSlot* names = nullptr;
  RealTable(const std::vector<std::vector<double>>& values, const std::vector<std::string>& labels)
      : rows(static_cast<int>(values.size())), cols(static_cast<int>(values[0].size())) {
    alloc_real_matrix(rows, cols, &m);
    for (int i = 0; i < rows; i++)
      for (int j = 0; j < cols; j++) m[i][j] = values[i][j];
    if (!labels.empty()) {
      alloc_string_vector(cols, &names);
      for (int j = 0; j < cols; j++) snprintf(names[j], kSlotLen, "%s", labels[j].c_str());
    }
  }
  ~RealTable() {
    free_real_matrix(rows, cols, &m);
    if (names) free_string_vector(cols, &names);
  }
};

struct TextTable {
  int rows;
  int cols;
  StringSlot** m = nullptr;
  StringSlot* names = nullptr;
  TextTable(int r, int c) : rows(r), cols(c) {
    alloc_string_matrix(rows, cols, &m);
    alloc_string_vector(cols, &names);
  }
  ~TextTable() {
    free_string_matrix(rows, cols, &m);
    free_string_vector(cols, &names);
  }
};

class DataMatrixWriter : public ::testing::Test {
 protected:
  TempDir dir;
  TrackingScope tracking{true};
  RegistrySnapshot before;
  void TearDown() override { expect_registry_back_to(before); }
};

TEST_F(DataMatrixWriter, TwoByTwoLayout) {
  RealTable t({{1.0, 2.0}, {-3.25, 40.5}}, {"a", "b"});
  const std::string path = dir.file("x.mat");
  CapturedOutput out;
  writemat(2, 2, t.m, path.c_str(), t.names, nullptr, "X Matrix", 'w', false);
  EXPECT_EQ(out.text(), "Writing to file " + path + ".\n");
  EXPECT_EQ(read_file(path),
            "Version 1.400 \n"
            "X Matrix \n"
            "\n"
            "------------------------------\n"
            " Case           a           b \n"
            "------------------------------\n"
            "    1     1.00000     2.00000  \n"
            "    2    -3.25000    40.50000  \n");
}

TEST_F(DataMatrixWriter, NaLongNamesAndFullPrecision) {
  RealTable t({{kNaMarker, 0.5}}, {"Temperature_Out", "b"});
  const std::string path = dir.file("x.mat");
  CapturedOutput out;
  writemat(1, 2, t.m, path.c_str(), t.names, nullptr, "T", 'w', false);
  EXPECT_EQ(read_file(path),
            "Version 1.400 \nT \n\n"
            "-----------------------------------\n"
            " Case  Temperature_Out           b \n"
            "-----------------------------------\n"
            "    1               NA     0.50000  \n");
  writemat(1, 2, t.m, path.c_str(), t.names, nullptr, "T", 'w', true);
  EXPECT_NE(read_file(path).find(" 0.500000000000000  \n"), std::string::npos);
}

TEST_F(DataMatrixWriter, SevenColumnsMakeTwoChunksThatReadBack) {
  std::vector<double> row;
  std::vector<std::string> names;
  for (int j = 0; j < 7; j++) {
    row.push_back(j + 0.5);
    names.push_back("x" + std::to_string(j + 1));
  }
  RealTable t({row, row}, names);
  const std::string path = dir.file("x.mat");
  CapturedOutput out;
  writemat(2, 7, t.m, path.c_str(), t.names, nullptr, "X Matrix", 'w', false);
  const std::string text = read_file(path);
  const std::string dash66 = "\n" + std::string(66, '-') + "\n";
  const std::string dash30 = "\n" + std::string(30, '-') + "\n";
  EXPECT_NE(text.find("X Matrix \n" + dash66 + " Case          x1          x2          x3          "
                      "x4          x5 " + dash66),
            std::string::npos);
  EXPECT_NE(text.find("  \n" + dash30 + " Case          x6          x7 " + dash30), std::string::npos);

  double** m = nullptr;
  StringSlot* read_names = nullptr;
  int rows = 0, cols = 0;
  ASSERT_EQ(read_matrix(0, 0, &m, &rows, &cols, path.c_str(), &read_names), 0);
  EXPECT_EQ(rows, 2);
  ASSERT_EQ(cols, 7);
  EXPECT_STREQ(read_names[6], "x7");
  EXPECT_EQ(m[1][6], 6.5);
  free_real_matrix(rows, cols, &m);
  free_string_vector(cols, &read_names);
}

TEST_F(DataMatrixWriter, HeaderTextWithoutNamesAndAppendMode) {
  RealTable t({{1.0}, {0.0}}, {});
  const std::string path = dir.file("f.mat");
  CapturedOutput out;
  writemat(2, 1, t.m, path.c_str(), nullptr, "F", "F Matrix", 'w', false);
  writemat(2, 1, t.m, path.c_str(), nullptr, "F", "ignored", 'a', false);
  const std::string chunk =
      "\n-------\n Case F\n-------\n    1     1.00000  \n    2     0.00000  \n";
  EXPECT_EQ(read_file(path), "Version 1.400 \nF Matrix \n" + chunk + chunk);
}

TEST_F(DataMatrixWriter, StringMatrixLayoutHasNoBlankLineBeforeChunks) {
  TextTable t(2, 2);
  snprintf(t.names[0], kSlotLen, "Name");
  snprintf(t.names[1], kSlotLen, "Constraint_flag");
  snprintf(t.m[0][0], kSlotLen, "yield");
  snprintf(t.m[0][1], kSlotLen, "TRUE");
  snprintf(t.m[1][0], kSlotLen, "cost");
  snprintf(t.m[1][1], kSlotLen, "NA");
  const std::string path = dir.file("d.mat");
  CapturedOutput out;
  write_string_matrix(2, 2, t.m, path.c_str(), t.names, nullptr, "YDescription", 'a');
  EXPECT_EQ(out.text(), "Writing to file " + path + ".\n");
  const std::string dashes(35, '-');
  EXPECT_EQ(read_file(path), "Version 1.400 \nYDescription \n" + dashes +
                                 "\n Case        Name  Constraint_flag \n" + dashes +
                                 "\n    1       yield             TRUE  \n"
                                 "    2        cost               NA  \n");
}

TEST_F(DataMatrixWriter, WritevecAndOutputSummaryLayouts) {
  double v[2] = {1.5, kNaMarker};
  const std::string path = dir.file("y.mat");
  CapturedOutput out;
  writevec(2, v, path.c_str(), "yield", "y Matrix", 'w');
  EXPECT_EQ(read_file(path),
            "Version 1.400 \ny Matrix \n-------\n Case yield \n-------\n"
            "   1      1.50000 \n   2   -100000000000000.00000 \n");

  KrigModel kr;
  memset(&kr, 0, sizeof kr);
  clear_KrigModel(&kr);
  default_KrigModel(&kr, 4, 3, 1);
  for (int i = 0; i < 3; i++) {
    snprintf(kr.xlabels[i], kSlotLen, "temp%d", i);
    kr.range[i][0] = -i;
    kr.range[i][1] = 0.5 * i;
  }
  const std::string summary = dir.file("r.mat");
  output_summary(&kr, summary.c_str(), "XDescription");
  const std::string dashes(58, '-');
  EXPECT_EQ(read_file(summary),
            "Version 1.400 \nXDescription \n" + dashes + "\n Case Variable Min        Max\n" +
                dashes +
                "\n  1     temp0      0.000000  0.000000 \n"
                "  2     temp1      -1.000000  0.500000 \n"
                "  3     temp2      -2.000000  1.000000 \n");
  EXPECT_EQ(out.text(), "");  // neither writer announces itself
  free_KrigModel(&kr);

  // Both read back: the vector as one named column, the summary as text.
  double** m = nullptr;
  StringSlot* names = nullptr;
  int rows = 0, cols = 0;
  ASSERT_EQ(read_matrix(0, 0, &m, &rows, &cols, path.c_str(), &names), 0);
  EXPECT_STREQ(names[0], "yield");
  EXPECT_EQ(m[1][0], -1e14);
  free_real_matrix(rows, cols, &m);
  free_string_vector(cols, &names);
}

TEST_F(DataMatrixWriter, ScreenDestinationShowsAtMostTwentyOneRows) {
  std::vector<std::vector<double>> values(22, std::vector<double>{1.0});
  RealTable big(values, {"a"});
  values.pop_back();
  RealTable fits(values, {"a"});
  {
    CapturedOutput out;
    output_matrix(22, 1, big.m, "screen", big.names, "T");
    EXPECT_EQ(out.text(), "Sorry, Matrix is to big to be displayed on screen\n");
  }
  {
    CapturedOutput out;
    output_matrix(21, 1, fits.m, "s", fits.names, "T");
    EXPECT_EQ(out.text().rfind("sorry, no labels at this time \n", 0), 0u);
  }
  TextTable text(22, 1);
  for (int i = 0; i < 22; i++) snprintf(text.m[i][0], kSlotLen, "t%d", i);
  {
    CapturedOutput out;
    output_string_matrix(22, 1, text.m, "s", text.names, "T");
    EXPECT_EQ(out.text(), "Sorry, Matrix is to big to be displayed on screen\n");
  }
  {
    CapturedOutput out;
    output_string_matrix(2, 1, text.m, "screen", text.names, "T");
    EXPECT_EQ(out.text(), "Sorry, no labels at this time \nt0 , \nt1 \n");
  }
  {
    // Any other destination is a file, with 5 decimals.
    CapturedOutput out;
    const std::string path = dir.file("p.mat");
    output_matrix(21, 1, fits.m, path.c_str(), fits.names, "PredictionMatrix");
    EXPECT_EQ(out.text(), "Writing to file " + path + ".\n");
    EXPECT_EQ(read_file(path).rfind("Version 1.400 \nPredictionMatrix \n", 0), 0u);
  }
}

// ---- Values and names that would not fit a slot or a line ----

TEST_F(DataMatrixWriter, HugeNumbersAreWrittenInExponentFormAndSurvive) {
  const std::vector<double> values = {1e21, -1e21, 1e25, -3.0000000000000004e22, 1.7976931348623157e308,
                                      123456789.123};
  RealTable t({values}, {"a", "b", "c", "d", "e", "f"});
  const std::string path = dir.file("h.mat");
  CapturedOutput out;
  writemat(1, 6, t.m, path.c_str(), t.names, nullptr, "H", 'w', false);
  const std::string text = read_file(path);
  EXPECT_NE(text.find(" 1000000000000000000000.00000 "), std::string::npos);
  EXPECT_NE(text.find(" -1.0000000000000000e+21 "), std::string::npos);
  EXPECT_NE(text.find(" 1.0000000000000001e+25 "), std::string::npos);

  double** m = nullptr;
  StringSlot* names = nullptr;
  int rows = 0, cols = 0;
  ASSERT_EQ(read_matrix(0, 0, &m, &rows, &cols, path.c_str(), &names), 0) << out.text();
  ASSERT_EQ(cols, 6);
  for (int j = 0; j < 5; j++) EXPECT_EQ(m[0][j], values[j]) << j;
  EXPECT_EQ(m[0][5], 123456789.123);
  free_real_matrix(rows, cols, &m);
  free_string_vector(cols, &names);

  // Full precision reaches the limit much earlier (1e12 has 29 characters).
  RealTable p({{1e12, 999999999999.5}}, {"a", "b"});
  writemat(1, 2, p.m, path.c_str(), p.names, nullptr, "H", 'w', true);
  ASSERT_EQ(read_matrix(0, 0, &m, &rows, &cols, path.c_str(), &names), 0) << out.text();
  EXPECT_EQ(m[0][0], 1e12);
  EXPECT_EQ(m[0][1], 999999999999.5);
  free_real_matrix(rows, cols, &m);
  free_string_vector(cols, &names);

  // writevec and output_summary follow the same rule.
  double v[1] = {-2e30};
  writevec(1, v, path.c_str(), "v", "V", 'w');
  EXPECT_NE(read_file(path).find("   1   -2.0000000000000000e+30 \n"), std::string::npos);
}

TEST_F(DataMatrixWriter, NamesAreCutToTheLongestReadableEntry) {
  RealTable t({{1.0, 2.0}}, {"", ""});
  memset(t.names[0], 'n', kSlotLen - 1);  // 29 characters
  t.names[0][kSlotLen - 1] = '\0';
  snprintf(t.names[1], kSlotLen, "b");
  const std::string path = dir.file("n.mat");
  CapturedOutput out;
  writemat(1, 2, t.m, path.c_str(), t.names, nullptr, "N", 'w', false);
  double** m = nullptr;
  StringSlot* names = nullptr;
  int rows = 0, cols = 0;
  ASSERT_EQ(read_matrix(0, 0, &m, &rows, &cols, path.c_str(), &names), 0);
  EXPECT_EQ(std::string(names[0]), std::string(28, 'n'));
  EXPECT_EQ(m[0][1], 2.0);
  free_real_matrix(rows, cols, &m);
  free_string_vector(cols, &names);

  // A long vector column name is cut the same way.
  double v[1] = {1.0};
  writevec(1, v, path.c_str(), "abcdefghijklmnopqrstuvwxyz0123456789", "V", 'w');
  EXPECT_NE(read_file(path).find(" Case abcdefghijklmnopqrstuvwxyz01 \n"), std::string::npos);
}

TEST_F(DataMatrixWriter, FewerNamesThanColumnsAreNumbered) {
  // As for R: n columns but only d names at hand.
  std::vector<std::vector<double>> values(4, std::vector<double>(4, 0.25));
  RealTable t(values, {});
  StringSlot* two = nullptr;
  alloc_string_vector(2, &two);
  snprintf(two[0], kSlotLen, "x1");
  snprintf(two[1], kSlotLen, "x2");
  const std::string path = dir.file("r.mat");
  CapturedOutput out;
  writemat(4, 4, t.m, path.c_str(), two, nullptr, "Correlation Matrix", 'w', false, 2);
  EXPECT_NE(read_file(path).find(" Case          x1          x2          c3          c4 \n"),
            std::string::npos);
  free_string_vector(2, &two);
}

TEST_F(DataMatrixWriter, WideEntriesSplitChunksSoLinesReadBack) {
  // Five short-named columns of 27-character values would make a 158-character line.
  std::vector<double> row(5, -1e20);
  RealTable t({row, row}, {"a", "b", "c", "d", "e"});
  const std::string path = dir.file("w.mat");
  CapturedOutput out;
  writemat(2, 5, t.m, path.c_str(), t.names, nullptr, "W", 'w', false);
  const std::string text = read_file(path);
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find('\n', start);
    EXPECT_LE(end - start + 1, 148u);
    start = end + 1;
  }
  double** m = nullptr;
  StringSlot* names = nullptr;
  int rows = 0, cols = 0;
  ASSERT_EQ(read_matrix(0, 0, &m, &rows, &cols, path.c_str(), &names), 0) << out.text();
  ASSERT_EQ(cols, 5);
  EXPECT_EQ(m[1][4], -1e20);
  free_real_matrix(rows, cols, &m);
  free_string_vector(cols, &names);
}

// ---- Round trips ----

std::string random_name(std::mt19937& rng) {
  static const char kChars[] =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_.";
  std::uniform_int_distribution<int> len(1, 28);
  std::uniform_int_distribution<int> pick(0, static_cast<int>(sizeof kChars) - 2);
  std::string s;
  const int n = len(rng);
  for (int i = 0; i < n; i++) s += kChars[pick(rng)];
  return s;
}

double random_value(std::mt19937& rng) {
  std::uniform_real_distribution<double> mantissa(-10.0, 10.0);
  std::uniform_int_distribution<int> exponent(-8, 26);
  std::uniform_int_distribution<int> kind(0, 19);
  const int k = kind(rng);
  if (k == 0) return kNaMarker;
  if (k == 1) return 0.0;
  if (k == 2) return std::round(mantissa(rng) * 1000.0);
  return mantissa(rng) * std::pow(10.0, exponent(rng));
}

// The value the file holds: what " %10.5f " printed, or the exact value when
// the fixed-point text was too long and the exponent form was written.
double written_value(double v, bool full_precision) {
  char text[64];
  const int len = snprintf(text, sizeof text, full_precision ? "%10.15f" : "%10.5f", v);
  if (len > kMaxWrittenEntry) return v;
  return strtod(text, nullptr);
}

TEST_F(DataMatrixWriter, RandomRealMatricesRoundTrip) {
  std::mt19937 rng(20240611);
  for (int trial = 0; trial < 60; trial++) {
    const bool full = trial % 5 == 4;
    const int cols = 1 + static_cast<int>(rng() % 60);
    const int rows = 1 + static_cast<int>(rng() % 30);
    std::vector<std::vector<double>> values(rows, std::vector<double>(cols));
    for (auto& row : values)
      for (double& v : row) v = random_value(rng);
    std::vector<std::string> labels;
    for (int j = 0; j < cols; j++) labels.push_back(random_name(rng));
    RealTable t(values, labels);
    const std::string path = dir.file("rt" + std::to_string(trial) + ".mat");
    CapturedOutput out;
    writemat(rows, cols, t.m, path.c_str(), t.names, nullptr, "Round Trip", 'w', full);

    double** m = nullptr;
    StringSlot* names = nullptr;
    int r = 0, c = 0;
    ASSERT_EQ(read_matrix(0, 0, &m, &r, &c, path.c_str(), &names), 0) << out.text();
    ASSERT_EQ(r, rows);
    ASSERT_EQ(c, cols);
    for (int j = 0; j < cols; j++) EXPECT_EQ(std::string(names[j]), labels[j]);
    for (int i = 0; i < rows; i++)
      for (int j = 0; j < cols; j++) {
        if (values[i][j] == kNaMarker)
          EXPECT_EQ(m[i][j], kNaMarker);
        else
          EXPECT_EQ(m[i][j], written_value(values[i][j], full))
              << "trial " << trial << " value " << values[i][j];
      }
    free_real_matrix(r, c, &m);
    free_string_vector(c, &names);
  }
}

TEST_F(DataMatrixWriter, RandomStringMatricesRoundTrip) {
  std::mt19937 rng(777);
  for (int trial = 0; trial < 40; trial++) {
    const int cols = 1 + static_cast<int>(rng() % 60);
    const int rows = 1 + static_cast<int>(rng() % 25);
    TextTable t(rows, cols);
    for (int j = 0; j < cols; j++) snprintf(t.names[j], kSlotLen, "%s", random_name(rng).c_str());
    for (int i = 0; i < rows; i++)
      for (int j = 0; j < cols; j++)
        snprintf(t.m[i][j], kSlotLen, "%s", random_name(rng).c_str());
    const std::string path = dir.file("st" + std::to_string(trial) + ".mat");
    CapturedOutput out;
    write_string_matrix(rows, cols, t.m, path.c_str(), t.names, nullptr, "Text", 'w');

    StringSlot** m = nullptr;
    StringSlot* names = nullptr;
    int r = 0, c = 0;
    ASSERT_EQ(read_string_matrix(0, 0, &m, &r, &c, path.c_str(), &names), 0) << out.text();
    ASSERT_EQ(r, rows);
    ASSERT_EQ(c, cols);
    for (int j = 0; j < cols; j++) EXPECT_STREQ(names[j], t.names[j]);
    for (int i = 0; i < rows; i++)
      for (int j = 0; j < cols; j++) EXPECT_STREQ(m[i][j], t.m[i][j]);
    free_string_matrix(r, c, &m);
    free_string_vector(c, &names);
  }
}

TEST_F(DataMatrixWriter, FailedWritesAreReportedAndNotCalledSuccess) {
  RealTable t({{1.0, 2.0}}, {"a", "b"});
  TextTable s(1, 2);
  snprintf(s.m[0][0], kSlotLen, "x");
  snprintf(s.m[0][1], kSlotLen, "y");
  KrigModel kr;
  memset(&kr, 0, sizeof kr);
  clear_KrigModel(&kr);
  default_KrigModel(&kr, 1, 2, 1);
  kr.range[0][0] = kr.range[1][0] = 0.0;
  kr.range[0][1] = kr.range[1][1] = 1.0;
  snprintf(kr.xlabels[0], kSlotLen, "a");
  snprintf(kr.xlabels[1], kSlotLen, "b");
  const std::string failed =
      "ERROR: Could not write to file /dev/full: No space left on device. The file is incomplete.\n";
  for (const std::string& file : {std::string("/dev/full"), dir.file("good.mat")}) {
    const bool full = file == "/dev/full";
    const std::string written = "Writing to file " + file + ".\n";
    {
      CapturedOutput out;
      EXPECT_EQ(writemat(1, 2, t.m, file.c_str(), t.names, nullptr, "X", 'w', false), !full);
      EXPECT_EQ(output_matrix(1, 2, t.m, file.c_str(), t.names, "X"), !full);
      EXPECT_EQ(write_string_matrix(1, 2, s.m, file.c_str(), s.names, nullptr, "T", 'w'), !full);
      EXPECT_EQ(out.text(), full ? written + failed + written + failed + written + failed
                                 : written + written + written);
    }
    {
      CapturedOutput out;
      EXPECT_EQ(writevec(1, t.m[0], file.c_str(), "v", "V", 'w'), !full);
      EXPECT_EQ(output_summary(&kr, file.c_str(), "XDescription"), !full);
      EXPECT_EQ(out.text(), full ? failed + failed : "");
    }
  }
  free_KrigModel(&kr);
}

using DataMatrixWriterDeath = DataMatrixWriter;

// From a command file; at the console the command is refused instead (see
// the transcript console_write_failure_keeps_session).
TEST_F(DataMatrixWriterDeath, UncreatableFilesEndTheRun) {
  const bool was_interactive = g_interp.interactive;
  g_interp.interactive = false;
  RealTable t({{1.0}}, {"a"});
  const std::string bad = dir.file("missing/dir/x.mat");
  EXPECT_FATAL_EXIT(
      writemat(1, 1, t.m, bad.c_str(), t.names, nullptr, "X", 'w', false),
      ::testing::ExitedWithCode(1),
      "^" + regex_literal("\n writemat: Can't open/create file " + bad + ". Exit(1) \n") + "$");
  EXPECT_FATAL_EXIT(writemat(1, 1, t.m, dir.path().c_str(), t.names, nullptr, "X", 'w', false),
                    ::testing::ExitedWithCode(1),
                    regex_literal("writemat: Can't open/create file"));
  TextTable s(1, 1);
  EXPECT_FATAL_EXIT(write_string_matrix(1, 1, s.m, bad.c_str(), s.names, nullptr, "X", 'w'),
                    ::testing::ExitedWithCode(1),
                    regex_literal("writemat: Can't open/create file"));
  double v[1] = {1.0};
  EXPECT_FATAL_EXIT(
      writevec(1, v, bad.c_str(), "v", "V", 'w'), ::testing::ExitedWithCode(1),
      "^" + regex_literal("\n writevec: Can't open/create file " + bad + ". Exit(1) \n") + "$");
  KrigModel kr;
  memset(&kr, 0, sizeof kr);
  EXPECT_FATAL_EXIT(output_summary(&kr, bad.c_str(), "XDescription"), ::testing::ExitedWithCode(1),
                    fatal_text("output_summary: Can't open/create file corpar.mat."));
  g_interp.interactive = was_interactive;
}

}  // namespace

// The exact form: any finite double (subnormals and extremes included), NA
// and -0 read back bit for bit, across chunks, and nothing is printed.
TEST_F(DataMatrixWriter, ExactFormReadsBackBitForBit) {
  std::mt19937_64 rng(77);
  const int rows = 40, cols = 9;
  std::vector<std::vector<double>> values(rows, std::vector<double>(cols));
  for (auto& row : values)
    for (double& v : row) {
      do {
        const uint64_t bits = rng();
        memcpy(&v, &bits, sizeof v);
      } while (!std::isfinite(v));
    }
  values[0] = {kNaMarker, -0.0, 0.1, 1.0 / 3.0, 5e-324, -1.7976931348623157e308,
               7.999893, 2.2250738585072014e-308, 1e-5};
  std::vector<std::string> labels;
  for (int j = 0; j < cols; j++) labels.push_back("column_" + std::to_string(j));
  RealTable t(values, labels);
  const std::string path = dir.file("exact.mat");
  CapturedOutput out;
  FILE* f = fopen(path.c_str(), "w");
  ASSERT_NE(f, nullptr);
  EXPECT_TRUE(write_exact_matrix(f, rows, cols, t.m, t.names, nullptr, "Exact"));
  fclose(f);
  EXPECT_EQ(out.text(), "");
  EXPECT_NE(read_file(path).find(" 0.1 "), std::string::npos);

  double** m = nullptr;
  StringSlot* names = nullptr;
  int r = 0, c = 0;
  ASSERT_EQ(read_matrix(0, 0, &m, &r, &c, path.c_str(), &names), 0) << out.text();
  ASSERT_EQ(r, rows);
  ASSERT_EQ(c, cols);
  for (int i = 0; i < rows; i++)
    for (int j = 0; j < cols; j++)
      EXPECT_EQ(memcmp(&m[i][j], &values[i][j], sizeof(double)), 0)
          << i << "," << j << " " << values[i][j];
  free_real_matrix(r, c, &m);
  free_string_vector(c, &names);
}
