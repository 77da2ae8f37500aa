// Reads matrix files: an optional preamble, then one or more side-by-side
// blocks, each a "--" line, a header line of column names, a "--" line and
// data lines. A header starting with Case/case/CASE gives the block a row
// label column, which is dropped. Line ends may be newline, carriage return
// or both.
#ifndef DORVE_DATA_MATRIX_READER_H_
#define DORVE_DATA_MATRIX_READER_H_

#include "numeric/storage.h"

// Result codes of read_matrix and read_string_matrix.
enum MatrixReadCode {
  kReadOk = 0,
  kReadCantOpen = 1,
  kReadLineRejected = 2,
  kReadWrongEntries = 3,
  kReadNoColumns = 4,
  kReadNoData = 5,
  kReadWrongRows = 8,
  kReadNoHeader = 9,
  kReadNoSeparator = 10,
  kReadNotANumber = 11,
  kReadLineTooLong = 43,
};

// Longest header or data line accepted, counting one character for its line end.
constexpr int kMaxMatrixLine = 148;
// Longest line of any kind read at all: a preamble or separator line (whose
// rest is ignored) may be longer than kMaxMatrixLine, but a line that passes
// this length is refused as too long as soon as it does, so that a file
// without line ends is not read whole.
constexpr int kMaxScannedLine = 65536;
// Most entries on one line, the Case label included.
constexpr int kMaxLineEntries = 29;

// True when file_name ends in ".csv" (in any case): such a file is read and
// written as comma-separated values instead of a matrix file.
bool is_csv_file_name(const char* file_name);

// Reads file_name into *matrix (real entries, "NA"/"na" stored as kNaMarker)
// and its column names into *names. On entry init_rows x init_cols describe
// the storage passed in (0, 0 for none); on every return *rows x *cols
// describe the storage then held (names has *cols entries), whether the read
// succeeded or not. Returns 0 or one of the codes above after printing its
// message on the output stream.
//
// A file whose name ends in ".csv" is read as comma-separated values: a
// header row of names (at most 28 characters, without blanks, tabs, '#',
// '<', '=' or '>'), then one row of numbers or NA per observation; fields may
// be enclosed in double quotes. A first column named Case is dropped. Its
// faults give the same codes, with messages naming the line, row and column;
// the storage passed in is left as it was unless the whole file was read.
int read_matrix(int init_rows, int init_cols, double*** matrix, int* rows, int* cols,
                const char* file_name, StringSlot** names);

// The same with the entries kept as text.
int read_string_matrix(int init_rows, int init_cols, StringSlot*** matrix, int* rows, int* cols,
                       const char* file_name, StringSlot** names);

// 0: the whole text is a number (stored in *value); 1: it does not begin with
// a number; 3: the number is directly followed by a character other than a
// blank, tab or line end; 2: blanks follow the number and then something else.
int parse_real(const char* text, double* value);

// parse_real, except that "NA" or "na" stores na_value and returns 0; any
// other failure returns 1.
int parse_real_or_na(const char* text, double* value, double na_value);

#endif  // DORVE_DATA_MATRIX_READER_H_
