// Writes matrices as matrix files that the matrix reader reads back: a
// version line, a title line, then the columns in side-by-side chunks that
// fit a line, each with a "Case" row-label column. Every entry and name
// written is at most 28 characters, the longest entry the reader accepts:
// names are cut, and numbers whose fixed-point text is longer are written in
// exponent form with all significant digits.
#ifndef DORVE_DATA_MATRIX_WRITER_H_
#define DORVE_DATA_MATRIX_WRITER_H_

#include <cstdio>

#include "data/model_store.h"
#include "numeric/storage.h"

// Longest entry or name written.
constexpr int kMaxWrittenEntry = 28;
// Matrices with more rows than this are not shown on the screen.
constexpr int kMaxScreenRows = 21;

// Writes rows x cols of matrix to file_name. names (may be null) gives the
// column names; name_count says how many it holds (-1: one per column);
// columns beyond the names given are named by their 1-based number ("c5").
// Without names, header is written once as the header line. mode 'a'
// appends without the version and title lines; anything else creates the
// file. full_precision writes 15 decimals instead of 5. A file that cannot be
// created ends the program with status 1 when commands come from a command
// file; at the console it prints "ERROR: writemat: Can't open/create file
// <name> (<reason>). Command ignored." and the writer returns false.
//
// A file name ending in ".csv" gets comma-separated values instead: a header
// row of the column names (without names, the words of header when there is
// one per column), then one row per matrix row with every number in its
// exact form (format_exact_number) and NA for the NA marker; no title, no
// Case column, and no header row when appending.
//
// Every writer returns true when the whole file was written; a write that
// fails afterwards (a full disk) prints "ERROR: Could not write to file
// <name>: <reason>. The file is incomplete." on the output stream and
// returns false.
bool writemat(int rows, int cols, double* const* matrix, const char* file_name,
              const StringSlot* names, const char* header, const char* title, char mode,
              bool full_precision, int name_count = -1);

// The shortest of the "%.15g", "%.16g" and "%.17g" texts of value that reads
// back as the same double (at most 24 characters; capacity 25 or more).
void format_exact_number(double value, char* text, int capacity);

// The "%f" text of value when it reads back as the same double (0.5, 12.25,
// -5), otherwise the exact form of format_exact_number: a value that "%f"
// would cut (a theta of 4e-7, which it writes as 0.000000) keeps every
// digit it needs. Same capacity as format_exact_number.
void format_fixed_or_exact(double value, char* text, int capacity);

// Writes the matrix as writemat does in create mode, but to the open stream
// f, without any message, and with every number in its exact form
// (format_exact_number), so that reading the file back gives the same
// doubles bit for bit. Returns false when a write failed.
bool write_exact_matrix(FILE* f, int rows, int cols, double* const* matrix,
                        const StringSlot* names, const char* header, const char* title);

// The same for text entries; the version and title lines are written in
// every mode.
bool write_string_matrix(int rows, int cols, StringSlot* const* matrix, const char* file_name,
                         const StringSlot* names, const char* header, const char* title,
                         char mode, int name_count = -1);

// Writes one real vector as a one-column matrix named name.
bool writevec(int rows, const double* vector, const char* file_name, const char* name,
              const char* title, char mode);

// Writes the x ranges of kr as an XDescription matrix, one row per x
// variable with its name, so that the file reads back onto the same design
// and the same ranges (format_fixed_or_exact).
bool output_summary(const KrigModel* kr, const char* file_name, const char* title);

// destination "screen" or "s": shows the matrix on the output stream (at most
// 21 rows; true); otherwise writemat in create mode with 5 decimals.
bool output_matrix(int rows, int cols, double* const* matrix, const char* destination,
                   const StringSlot* names, const char* title, int name_count = -1);
bool output_string_matrix(int rows, int cols, StringSlot* const* matrix, const char* destination,
                          const StringSlot* names, const char* title, int name_count = -1);

#endif  // DORVE_DATA_MATRIX_WRITER_H_
