#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/matrix_reader.h"
#include "data/model_store.h"
#include "data_test_support.h"
#include "fatal_test_support.h"
#include "numeric/storage.h"
#include "numeric_test_support.h"

namespace {

const char kReading[] = "Reading from ";

struct TextRead {
  int code = -1;
  int rows = 0;
  int cols = 0;
  StringSlot** m = nullptr;
  StringSlot* names = nullptr;
  std::string output;

  ~TextRead() {
    if (rows > 0 && cols > 0) free_string_matrix(rows, cols, &m);
    if (cols > 0) free_string_vector(cols, &names);
  }
};

class DataMatrixReader : public MatrixFileTest {
 protected:
  void read_text(const std::string& path, TextRead* r) {
    CapturedOutput out;
    r->code = read_string_matrix(0, 0, &r->m, &r->rows, &r->cols, path.c_str(), &r->names);
    r->output = out.text();
  }
  // Reads content and expects the failure code with exactly this message.
  void expect_failure(const std::string& content, int code, const std::string& message) {
    const std::string path = put("bad.mat", content);
    {
      RealRead r;
      read(path, &r);
      EXPECT_EQ(r.code, code) << content;
      EXPECT_EQ(r.output, kReading + path + ".\n" + message) << content;
    }
    if (code != kReadNotANumber) {  // text entries are never numbers
      TextRead r;
      read_text(path, &r);
      EXPECT_EQ(r.code, code) << content;
    }
  }
};

TEST_F(DataMatrixReader, ReadsASimpleBlockAfterAnyPreamble) {
  RealRead r;
  read(put("m.mat", "Version 1.400 \nX Matrix \n\nanything\n--\na b\n--\n1 2\n3 4\n"), &r);
  ASSERT_EQ(r.code, 0);
  EXPECT_EQ(r.output, kReading + dir.file("m.mat") + ".\n");
  ASSERT_EQ(r.rows, 2);
  ASSERT_EQ(r.cols, 2);
  EXPECT_EQ(r.name_list(), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(r.m[0][0], 1.0);
  EXPECT_EQ(r.m[0][1], 2.0);
  EXPECT_EQ(r.m[1][0], 3.0);
  EXPECT_EQ(r.m[1][1], 4.0);
}

TEST_F(DataMatrixReader, CaseColumnIsDroppedPerBlock) {
  RealRead r;
  read(put("m.mat",
           "--\nCase a b\n--\n1 10 11\n2 20 21\n3 30 31\n"
           "--\nz\n--\n5\n6\n7\n"
           "--\nCASE w\n--\nr1 8\n\nr2 9\nr3 10\n"),
       &r);
  ASSERT_EQ(r.code, 0) << r.output;
  ASSERT_EQ(r.rows, 3);
  EXPECT_EQ(r.name_list(), (std::vector<std::string>{"a", "b", "z", "w"}));
  EXPECT_EQ(r.m[2][1], 31.0);
  EXPECT_EQ(r.m[0][2], 5.0);
  EXPECT_EQ(r.m[2][3], 10.0);
}

TEST_F(DataMatrixReader, BlankCommentAndLabelOnlyLinesAreNotRows) {
  RealRead r;
  read(put("m.mat", "--\ncase x # names\n--\n\n# comment\n1 1.5\n   \t\n2\n3 2.5 # tail\n"), &r);
  ASSERT_EQ(r.code, 0) << r.output;
  ASSERT_EQ(r.rows, 2);
  EXPECT_EQ(r.m[0][0], 1.5);
  EXPECT_EQ(r.m[1][0], 2.5);
}

TEST_F(DataMatrixReader, BlocksWithUnequalRowsAreRejected) {
  const std::string first = "--\nCase a b\n--\n1 1 2\n2 3 4\n3 5 6\n";
  expect_failure(first + "--\nCase z\n--\n1 7\n2 8\n", kReadWrongRows,
                 "ERROR: Too few or too many rows in a data block\n");
  expect_failure(first + "--\nCase z\n--\n1 7\n2 8\n3 9\n4 10\n", kReadWrongRows,
                 "ERROR: Too few or too many rows in a data block\n");
}

TEST_F(DataMatrixReader, NaIsAcceptedOnlyInItsTwoSpellings) {
  RealRead r;
  read(put("m.mat", "--\na b\n--\nNA 1\n2 na\n"), &r);
  ASSERT_EQ(r.code, 0);
  EXPECT_EQ(r.m[0][0], kNaMarker);
  EXPECT_EQ(r.m[1][1], kNaMarker);
  EXPECT_EQ(r.output, kReading + dir.file("m.mat") +
                          ".\nWARNING: Matrix contains NA values. Operations on NA values other "
                          "than \n\tin- and output will result into errors.\n\n");
  for (const char* bad : {"Na", "nA", "N/A", "NaN/", "12abc", "1,5"}) {
    expect_failure(std::string("--\na\n--\n") + bad + "\n", kReadNotANumber,
                   "ERROR: Some of the Data cannot be interpreted as a number\n");
  }
}

TEST_F(DataMatrixReader, StringMatrixKeepsEntriesAsText) {
  TextRead r;
  read_text(put("d.mat", "--\nCase Name Min Constraint\n--\n1 yield NA TRUE\n2 cost 1e3 FALSE\n"),
            &r);
  ASSERT_EQ(r.code, 0) << r.output;
  ASSERT_EQ(r.rows, 2);
  ASSERT_EQ(r.cols, 3);
  EXPECT_STREQ(r.names[2], "Constraint");
  EXPECT_STREQ(r.m[0][0], "yield");
  EXPECT_STREQ(r.m[0][1], "NA");
  EXPECT_STREQ(r.m[1][1], "1e3");
  EXPECT_STREQ(r.m[1][2], "FALSE");
  // No NA warning for text.
  EXPECT_EQ(r.output, kReading + dir.file("d.mat") + ".\n");
}

TEST_F(DataMatrixReader, StructuralErrorsGiveTheirCodes) {
  expect_failure("", kReadNoHeader, "ERROR: There is no header line with variable names.\n");
  expect_failure("no separator at all\n1 2\n", kReadNoHeader,
                 "ERROR: There is no header line with variable names.\n");
  expect_failure("--\n", kReadNoHeader, "ERROR: There is no header line with variable names.\n");
  expect_failure("--\na\n--\n1\n--\n", kReadNoHeader,
                 "ERROR: There is no header line with variable names.\n");
  expect_failure("--\na b\n", kReadNoSeparator,
                 "ERROR: There is no seperator line '---' after header line.\n");
  expect_failure("--\na b\n1 2\n", kReadNoSeparator,
                 "ERROR: There is no seperator line '---' after header line.\n");
  expect_failure("--\nCase\n--\n1\n", kReadNoColumns, "ERROR: There are no columns in header\n");
  expect_failure("--\n\n--\n1\n", kReadNoColumns, "ERROR: There are no columns in header\n");
  expect_failure("--\na b\n--\n", kReadNoData, "ERROR: There are is no data in matrix\n");
  expect_failure("--\na b\n--\n\n--\nc\n--\n1\n", kReadNoData,
                 "ERROR: There are is no data in matrix\n");
  expect_failure("--\na b\n--\n1 2\n3\n", kReadWrongEntries,
                 "ERROR: Too few or too many entries in a row \n");
  expect_failure("--\na b\n--\n1 2 3\n", kReadWrongEntries,
                 "ERROR: Too few or too many entries in a row \n");
}

TEST_F(DataMatrixReader, SeparatorCharactersInsideDataAreRejected) {
  const std::string sequence =
      "Unexpected input: \n\t(1)Input Line should not start with seperator or\n\t(2) Two "
      "seperators should not appear in sequence.\n";
  const std::string symbols =
      "ERROR: The symbols <,>,= are not allowed as part of variable names\n";
  expect_failure("--\na b\n--\n1 =2\n", kReadLineRejected, symbols);
  expect_failure("--\na b\n--\n1 2>\n", kReadLineRejected, symbols);
  expect_failure("--\na b\n--\n< 1 2\n", kReadLineRejected, sequence);
  expect_failure("--\na b\n--\n1 <> 2\n", kReadLineRejected, sequence);
  expect_failure("--\na=b\n--\n1 2\n", kReadLineRejected, symbols);
}

TEST_F(DataMatrixReader, MissingFilesAndDirectoriesCannotBeOpened) {
  const std::string message = "ERROR: Can't open this file. Does it exist?\n";
  {
    RealRead r;
    read(dir.file("nowhere.mat"), &r);
    EXPECT_EQ(r.code, kReadCantOpen);
    EXPECT_EQ(r.output, kReading + dir.file("nowhere.mat") + ".\n" + message);
  }
  {
    RealRead r;
    read(dir.path(), &r);
    EXPECT_EQ(r.code, kReadCantOpen);
    EXPECT_EQ(r.output, kReading + dir.path() + ".\n" + message);
  }
}

TEST_F(DataMatrixReader, BinaryFilesFailWithoutHarm) {
  std::string bytes;
  for (int i = 0; i < 4096; i++) bytes += static_cast<char>((i * 7919 + 13) % 256);
  const std::string with_block = "--\na b\n--\n" + bytes + "\n";
  for (const std::string& content : {bytes, with_block, std::string("--\n\0\0\0\n--\n1\n", 12)}) {
    const std::string path = put("bin.mat", content);
    RealRead r;
    read(path, &r);
    EXPECT_NE(r.code, 0);
    TextRead t;
    read_text(path, &t);
    EXPECT_NE(t.code, 0);
  }
}

TEST_F(DataMatrixReader, LineLengthCountsTheLineEndOnce) {
  const std::string message = "ERROR: Input line contains too many characters.\n";
  // 147 characters + newline = 148: accepted.
  const std::string data147 = "1" + std::string(145, ' ') + "2";
  const std::string data148 = "1" + std::string(146, ' ') + "2";
  for (const char* end : {"\n", "\r\n", "\r"}) {
    {
      RealRead r;
      read(put("ok.mat", std::string("--") + end + "a b" + end + "--" + end + data147 + end), &r);
      EXPECT_EQ(r.code, 0) << r.output;
      EXPECT_EQ(r.rows, 1);
    }
    expect_failure(std::string("--") + end + "a b" + end + "--" + end + data148 + end,
                   kReadLineTooLong, message);
    const std::string header148 = "a" + std::string(146, ' ') + "b";
    expect_failure(std::string("--") + end + header148 + end + "--" + end + "1 2" + end,
                   kReadLineTooLong, message);
  }
  // A last line without a line end may hold 148 characters.
  RealRead r;
  read(put("last.mat", "--\na b\n--\n" + data148), &r);
  EXPECT_EQ(r.code, 0);
  expect_failure("--\na b\n--\n" + std::string(400, '7') + "\n", kReadLineTooLong, message);
}

TEST_F(DataMatrixReader, LinesPastTheScanLimitAreRefusedWithoutReadingOn) {
  const std::string message = "ERROR: Input line contains too many characters.\n";
  const std::string matrix = "--\na b\n--\n1 2\n";
  // Ignored lines (preamble, separator rest) may reach the limit, not pass it.
  {
    RealRead r;
    read(put("ok.mat", std::string(kMaxScannedLine, 'v') + "\n" + matrix), &r);
    EXPECT_EQ(r.code, 0) << r.output;
  }
  expect_failure(std::string(kMaxScannedLine + 1, 'v') + "\n" + matrix, kReadLineTooLong, message);
  expect_failure("--" + std::string(kMaxScannedLine, '-') + "\na b\n--\n1 2\n", kReadLineTooLong,
                 message);
  // A file without line ends is refused, the caller's storage kept and reported.
  double** X = nullptr;
  StringSlot* labels = nullptr;
  alloc_real_matrix(3, 2, &X);
  alloc_string_vector(2, &labels);
  int rows = 0, cols = 0;
  {
    CapturedOutput out;
    EXPECT_EQ(read_matrix(3, 2, &X, &rows, &cols, "/dev/zero", &labels), kReadLineTooLong);
    EXPECT_EQ(out.text(), "Reading from /dev/zero.\n" + message);
  }
  EXPECT_EQ(rows, 3);
  EXPECT_EQ(cols, 2);
  free_real_matrix(rows, cols, &X);
  free_string_vector(cols, &labels);
}

TEST_F(DataMatrixReader, CarriageReturnLineEndsReadLikeNewlines) {
  const std::string plain =
      "Version 1.400 \nX Matrix \n\n------\n Case a b \n------\n    1 1.5 NA \n    2 3 4 \n";
  std::string crlf, cr;
  for (char c : plain) {
    crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    cr += c == '\n' ? '\r' : c;
  }
  RealRead a, b, c;
  read(put("plain.mat", plain), &a);
  read(put("crlf.mat", crlf), &b);
  read(put("cr.mat", cr), &c);
  for (RealRead* r : {&a, &b, &c}) {
    ASSERT_EQ(r->code, 0) << r->output;
    ASSERT_EQ(r->rows, 2);
    EXPECT_EQ(r->name_list(), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(r->m[0][0], 1.5);
    EXPECT_EQ(r->m[0][1], kNaMarker);
    EXPECT_EQ(r->m[1][1], 4.0);
  }
}

TEST_F(DataMatrixReader, EntriesPerLineStopAtTwentyNine) {
  auto line_of = [](int count, const std::string& stem) {
    std::string s;
    for (int i = 0; i < count; i++) s += (i ? " " : "") + stem + std::to_string(i);
    return s;
  };
  {
    RealRead r;
    read(put("29.mat", "--\n" + line_of(29, "v") + "\n--\n" + line_of(29, "") + "\n"), &r);
    EXPECT_EQ(r.code, 0) << r.output;
    EXPECT_EQ(r.cols, 29);
    EXPECT_EQ(r.m[0][28], 28.0);
  }
  {
    RealRead r;
    read(put("case28.mat", "--\nCase " + line_of(28, "v") + "\n--\n1 " + line_of(28, "") + "\n"),
         &r);
    EXPECT_EQ(r.code, 0) << r.output;
    EXPECT_EQ(r.cols, 28);
  }
  const std::string too_many = "More Tokens in line than code can handle\n";
  expect_failure("--\n" + line_of(30, "v") + "\n--\n1\n", kReadLineRejected, too_many);
  expect_failure("--\n" + line_of(29, "v") + "\n--\n" + line_of(30, "") + "\n", kReadLineRejected,
                 too_many);
  expect_failure("--\nCase " + line_of(29, "v") + "\n--\n1\n", kReadLineRejected, too_many);
}

TEST_F(DataMatrixReader, EntriesOfTwentyEightCharactersFit) {
  const std::string name28(28, 'n');
  const std::string value28 = "1." + std::string(26, '5');
  RealRead r;
  read(put("28.mat", "--\n" + name28 + "\n--\n" + value28 + "\n"), &r);
  ASSERT_EQ(r.code, 0);
  EXPECT_EQ(std::string(r.names[0]), name28);
  EXPECT_DOUBLE_EQ(r.m[0][0], 1.5555555555555555);
  TextRead t;
  read_text(put("28s.mat", "--\nx\n--\n" + name28 + "\n"), &t);
  ASSERT_EQ(t.code, 0);
  EXPECT_EQ(std::string(t.m[0][0]), name28);
}

using DataMatrixReaderDeath = DataMatrixReader;

TEST_F(DataMatrixReader, EntriesOfTwentyNineCharactersRefuseTheLine) {
  const std::string too_long = "ERROR: Entries may have at most 28 characters.\n";
  expect_failure("--\n" + std::string(29, 'n') + "\n--\n1\n", kReadLineRejected, too_long);
  expect_failure("--\nx\n--\n" + std::string(29, '1') + "\n", kReadLineRejected, too_long);
}

TEST_F(DataMatrixReaderDeath, NegativeOrColumnlessInitialStorageIsACodeBug) {
  double** m = nullptr;
  StringSlot* names = nullptr;
  int rows = 0, cols = 0;
  const std::string path = put("m.mat", "--\na\n--\n1\n");
  EXPECT_FATAL_EXIT(read_matrix(-1, 0, &m, &rows, &cols, path.c_str(), &names),
                    ::testing::ExitedWithCode(1),
                    fatal_text("read_matrix: Code Bug , Unrecognized option (1)"));
  EXPECT_FATAL_EXIT(read_matrix(3, 0, &m, &rows, &cols, path.c_str(), &names),
                    ::testing::ExitedWithCode(1),
                    fatal_text("read_matrix: Code Bug, Unrecognized option (2)"));
}

TEST_F(DataMatrixReader, RowsGrowByTenAndEndExact) {
  std::string content = "--\nCase v\n--\n";
  for (int i = 1; i <= 25; i++) content += std::to_string(i) + " " + std::to_string(i * 2) + "\n";
  RealRead r;
  read(put("25.mat", content), &r);
  ASSERT_EQ(r.code, 0);
  EXPECT_EQ(r.rows, 25);
  EXPECT_EQ(r.m[24][0], 50.0);
}

TEST_F(DataMatrixReader, CallerStorageIsResizedInPlaceAndReportedOnFailure) {
  // As the X reader does: the design storage n x d goes in.
  double** X = nullptr;
  StringSlot* labels = nullptr;
  alloc_real_matrix(21, 2, &X);
  alloc_string_vector(2, &labels);
  int rows = 0, cols = 0;
  {
    CapturedOutput out;
    const std::string path = put("x.mat", "--\na b c\n--\n1 2 3\n4 5 6\n7 8 9\n");
    ASSERT_EQ(read_matrix(21, 2, &X, &rows, &cols, path.c_str(), &labels), 0);
  }
  EXPECT_EQ(rows, 3);
  EXPECT_EQ(cols, 3);
  EXPECT_EQ(X[2][2], 9.0);
  EXPECT_STREQ(labels[2], "c");
  {
    // Fails in the second block: the storage then holds 2 rows and 4 columns.
    CapturedOutput out;
    const std::string path = put("y.mat", "--\na b\n--\n1 2\n3 4\n--\nc d\n--\n5 x\n");
    EXPECT_EQ(read_matrix(rows, cols, &X, &rows, &cols, path.c_str(), &labels), kReadNotANumber);
  }
  EXPECT_EQ(rows, 2);
  EXPECT_EQ(cols, 4);
  free_real_matrix(rows, cols, &X);
  free_string_vector(cols, &labels);
}

TEST(DataParseReal, ReportsWhatFollowsTheNumber) {
  double v = -7.0;
  EXPECT_EQ(parse_real("1e3", &v), 0);
  EXPECT_EQ(v, 1000.0);
  EXPECT_EQ(parse_real("  -2.5 \t\n", &v), 0);
  EXPECT_EQ(v, -2.5);
  EXPECT_EQ(parse_real("4.5\r\n", &v), 0);
  EXPECT_EQ(v, 4.5);
  v = -7.0;
  EXPECT_EQ(parse_real("abc", &v), 1);
  EXPECT_EQ(parse_real("", &v), 1);
  EXPECT_EQ(parse_real("NA", &v), 1);
  EXPECT_EQ(parse_real("12abc", &v), 3);
  EXPECT_EQ(parse_real("1.5 x", &v), 2);
  EXPECT_EQ(parse_real("1.5 2", &v), 2);
  EXPECT_EQ(v, -7.0);

  EXPECT_EQ(parse_real_or_na("NA", &v, -1e14), 0);
  EXPECT_EQ(v, -1e14);
  EXPECT_EQ(parse_real_or_na("na", &v, 3.0), 0);
  EXPECT_EQ(v, 3.0);
  EXPECT_EQ(parse_real_or_na("0.25", &v, 3.0), 0);
  EXPECT_EQ(v, 0.25);
  EXPECT_EQ(parse_real_or_na("Na", &v, 3.0), 1);
  EXPECT_EQ(parse_real_or_na("1.5 x", &v, 3.0), 1);
  EXPECT_EQ(parse_real_or_na("1x", &v, 3.0), 1);
}

}  // namespace
