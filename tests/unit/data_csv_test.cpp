// Comma-separated files: a name ending in ".csv" switches read_matrix and
// writemat to that format.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "data/matrix_reader.h"
#include "data/matrix_writer.h"
#include "data/model_store.h"
#include "data_test_support.h"
#include "numeric/storage.h"
#include "numeric_test_support.h"

namespace {

bool same_bits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

class DataCsv : public MatrixFileTest {};

TEST_F(DataCsv, WrittenMatrixReadsBackBitForBit) {
  const double values[3][3] = {{0.1 + 0.2, 1.0 / 3.0, -0.0},
                               {DBL_MAX, 4.9e-324, kNaMarker},
                               {-2.2250738585072014e-308, 123456789.123456789, 1e22}};
  double** m = nullptr;
  alloc_real_matrix(3, 3, &m);
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 3; j++) m[i][j] = values[i][j];
  StringSlot* names = nullptr;
  alloc_string_vector(3, &names);
  snprintf(names[0], kSlotLen, "temp");
  snprintf(names[1], kSlotLen, "Temperature_Out_Of_The_Pipe");
  snprintf(names[2], kSlotLen, "p,\"q\"");
  const std::string path = dir.file("out.CSV");
  {
    CapturedOutput out;
    ASSERT_TRUE(writemat(3, 3, m, path.c_str(), names, nullptr, "X Matrix", 'w', false));
    EXPECT_EQ(out.text(), "Writing to file " + path + ".\n");
  }
  EXPECT_EQ(read_file(path),
            "temp,Temperature_Out_Of_The_Pipe,\"p,\"\"q\"\"\"\n"
            "0.30000000000000004,0.3333333333333333,-0\n"
            "1.7976931348623157e+308,4.94065645841247e-324,NA\n"
            "-2.2250738585072014e-308,123456789.12345679,1e+22\n");
  RealRead r;
  read(path, &r);
  ASSERT_EQ(r.code, 0) << r.output;
  ASSERT_EQ(r.rows, 3);
  ASSERT_EQ(r.cols, 3);
  EXPECT_EQ(r.name_list(),
            (std::vector<std::string>{"temp", "Temperature_Out_Of_The_Pipe", "p,\"q\""}));
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 3; j++) EXPECT_TRUE(same_bits(r.m[i][j], values[i][j])) << i << "," << j;
  EXPECT_NE(r.output.find("Matrix contains NA values."), std::string::npos);
  free_real_matrix(3, 3, &m);
  free_string_vector(3, &names);
}

TEST_F(DataCsv, HeaderWordsNameColumnsWhenNoNamesAreGiven) {
  double** m = nullptr;
  alloc_real_matrix(1, 2, &m);
  m[0][0] = 1.5;
  m[0][1] = -2.0;
  const std::string joined = dir.file("y.csv"), numbered = dir.file("f.csv");
  {
    CapturedOutput out;
    writemat(1, 2, m, joined.c_str(), nullptr, "yield     cost     ", "y Matrix", 'w', false);
    writemat(1, 2, m, numbered.c_str(), nullptr, "F", "F Matrix", 'w', false);
  }
  EXPECT_EQ(read_file(joined), "yield,cost\n1.5,-2\n");
  EXPECT_EQ(read_file(numbered), "c1,c2\n1.5,-2\n");
  free_real_matrix(1, 2, &m);
}

TEST_F(DataCsv, SpreadsheetConventionsAreAccepted) {
  // Byte order mark, CR LF, quoted names and numbers, blanks around fields,
  // blank lines, a Case column of row labels.
  RealRead r;
  read(put("d.csv",
           "\xEF\xBB\xBF\"Case\",\"temp\", p \r\n"
           "1,\"0.5\", 2 \r\n\r\n"
           "\"row, two\",1e3,NA\r\n"),
       &r);
  ASSERT_EQ(r.code, 0) << r.output;
  ASSERT_EQ(r.rows, 2);
  EXPECT_EQ(r.name_list(), (std::vector<std::string>{"temp", "p"}));
  EXPECT_EQ(r.m[0][0], 0.5);
  EXPECT_EQ(r.m[0][1], 2.0);
  EXPECT_EQ(r.m[1][0], 1000.0);
  EXPECT_EQ(r.m[1][1], kNaMarker);
}

TEST_F(DataCsv, FaultsNameTheirPlaceAndLeaveTheStorageAsItWas) {
  struct Case {
    const char* content;
    int code;
    const char* message;
  };
  const Case cases[] = {
      {"t,Temp\n1,2\n1,abc\n", kReadNotANumber,
       "ERROR: Entry 'abc' in row 2 (line 3), column Temp of %s is not a number.\n"},
      {"t,Temp\n1,\n", kReadNotANumber,
       "ERROR: Entry '' in row 1 (line 2), column Temp of %s is not a number.\n"},
      {"t,Temp\n1,2x\n", kReadNotANumber,
       "ERROR: Entry '2x' in row 1 (line 2), column Temp of %s is not a number.\n"},
      {"t,Temp\n\n1,2\n3\n", kReadWrongEntries,
       "ERROR: Row 2 (line 4) of %s has 1 field(s); the header has 2.\n"},
      {"t,Temp\n1,2,3\n", kReadWrongEntries,
       "ERROR: Row 1 (line 2) of %s has 3 field(s); the header has 2.\n"},
      {"t,Temp\n1,\"2\n", kReadLineRejected,
       "ERROR: Unbalanced or misplaced double quote in line 2 of %s.\n"},
      {"t,\"Temp\"x\n1,2\n", kReadLineRejected,
       "ERROR: Unbalanced or misplaced double quote in line 1 of %s.\n"},
      {"t,Te mp\n1,2\n", kReadLineRejected,
       "ERROR: Column name 'Te mp' in column 2 of %s must have 1 to 28 characters and no blank, "
       "tab, '#', '<', '=' or '>'.\n"},
      {"t,abcdefghijklmnopqrstuvwxyz123\n1,2\n", kReadLineRejected,
       "ERROR: Column name 'abcdefghijklmnopqrstuvwxyz123' in column 2 of %s must have 1 to 28 "
       "characters and no blank, tab, '#', '<', '=' or '>'.\n"},
      {"t,Temp\n", kReadNoData, "ERROR: There are is no data in matrix\n"},
      {"\n \n", kReadNoHeader, "ERROR: There is no header line with variable names.\n"},
      {"Case\n1\n", kReadNoColumns, "ERROR: There are no columns in header\n"},
  };
  for (const Case& c : cases) {
    const std::string path = put("bad.csv", c.content);
    char message[512];
    snprintf(message, sizeof message, c.message, path.c_str());
    // The caller's storage (as the design is passed in) must survive a fault.
    double** m = nullptr;
    StringSlot* names = nullptr;
    alloc_real_matrix(1, 1, &m);
    alloc_string_vector(1, &names);
    m[0][0] = 7.0;
    int rows = 0, cols = 0;
    std::string output;
    int code;
    {
      CapturedOutput out;
      code = read_matrix(1, 1, &m, &rows, &cols, path.c_str(), &names);
      output = out.text();
    }
    EXPECT_EQ(code, c.code) << c.content;
    EXPECT_EQ(output, "Reading from " + path + ".\n" + message) << c.content;
    ASSERT_EQ(rows, 1);
    ASSERT_EQ(cols, 1);
    EXPECT_EQ(m[0][0], 7.0);
    free_real_matrix(1, 1, &m);
    free_string_vector(1, &names);
  }
}

TEST_F(DataCsv, OtherNamesKeepTheMatrixFileFormat) {
  EXPECT_FALSE(is_csv_file_name("data.csv.mat"));
  EXPECT_FALSE(is_csv_file_name(".csv"));
  EXPECT_FALSE(is_csv_file_name("datacsv"));
  EXPECT_TRUE(is_csv_file_name("a.Csv"));
  double** m = nullptr;
  alloc_real_matrix(1, 1, &m);
  m[0][0] = 2.0;
  const std::string path = dir.file("x.mat");
  {
    CapturedOutput out;
    writemat(1, 1, m, path.c_str(), nullptr, "F", "F Matrix", 'w', false);
  }
  EXPECT_EQ(read_file(path).rfind("Version 1.400 \nF Matrix \n", 0), 0u);
  free_real_matrix(1, 1, &m);
}

}  // namespace
