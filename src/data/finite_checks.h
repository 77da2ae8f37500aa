// Checks that the data a command is about to compute with hold no missing or
// non-finite value (the NA marker, inf or nan), and the one message that
// reports them.
//
// The matrix reader accepts "NA" (stored as the NA marker) and whatever the
// decimal conversion accepts, "inf" and "nan" included, so such values reach
// the store; every command that computes checks its data here first and
// refuses what it cannot use, naming the variables and the 1-based rows:
//
//   Sorry, <where> holds missing or non-finite values: <variables>. <consequence>
//
// where <variables> is "Pressure (rows 3, 7), Temp (row 5)": at most
// kMaxListedRows rows per variable and kMaxListedColumns variables, then "...".
#ifndef DORVE_DATA_FINITE_CHECKS_H_
#define DORVE_DATA_FINITE_CHECKS_H_

#include "numeric/storage.h"

struct KrigModel;
struct KrigArray;

constexpr int kMaxListedRows = 10;
constexpr int kMaxListedColumns = 10;
// Capacity of a variables text; longer lists end in "...".
constexpr int kUnusableTextSize = 1024;

// True for a value that can be computed with: finite and not the NA marker.
bool is_usable_value(double v);

// "NA", "nan", "inf" or "-inf" for an unusable value; null for a usable one.
const char* unusable_value_word(double v);

// Index of the first unusable entry of v[0 .. k-1], or -1.
int first_unusable(int k, const double* v);

// Writes the variables text of the rows x cols matrix m (column j named
// names[j]) into text (capacity bytes); returns the number of columns that
// hold unusable values (0: text is empty).
int describe_unusable_columns(int rows, int cols, const double* const* m, const StringSlot* names,
                              char* text, int capacity);

// The same for one column of values v[0 .. n-1] named name.
int describe_unusable_entries(int n, const double* v, const char* name, char* text, int capacity);

// Prints the message with the given parts on the output stream.
void report_unusable(const char* where, const char* variables, const char* consequence);

// True when every entry of m is usable; otherwise reports it as held by
// where, with the consequence "Command ignored.", and returns false.
bool matrix_is_usable(const char* where, int rows, int cols, const double* const* m,
                      const StringSlot* names);

// True when the design X of every model that holds one is usable; otherwise
// reports the first one that is not ("X", "Command ignored."). A design whose
// values along a variable lie so far apart that the square of their span
// overflows is not usable either ("Sorry, X holds values too far apart: ...").
bool designs_are_usable(const KrigModel* models, const KrigArray* ka);

// True when the model's responses are usable (or not read yet); otherwise
// reports them as y's with "<yname> is not fitted." and returns false.
bool responses_can_be_fitted(const KrigModel* kr);

// The same with "The model of <yname> is not ready.", for the commands that
// use a fitted model.
bool responses_are_ready(const KrigModel* kr);

// False, after saying why the model is not ready, when the last Fit left it
// unfitted (see FitFailure); for the commands that use a fitted model.
bool last_fit_usable(const KrigModel* kr);

#endif  // DORVE_DATA_FINITE_CHECKS_H_
