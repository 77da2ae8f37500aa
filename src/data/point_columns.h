// The columns of a file of points (the points to predict at, or to validate
// on) put in the order of X's variables.
//
// A matrix file's columns are taken in order, whatever their names. A CSV
// file names its columns in its header row, and those names decide: columns
// named as X's variables in another order are taken by name; a header that
// names anything else is refused; a first row that holds only numbers (or
// NA) is no header at all but the first point, and the columns are taken in
// order.
#ifndef DORVE_DATA_POINT_COLUMNS_H_
#define DORVE_DATA_POINT_COLUMNS_H_

#include "numeric/storage.h"

// Puts the rows x d matrix *points read from file (its column names in
// names, d of them, as many as X has) in the order of X's names xnames,
// adding the first row back when the CSV file has no header (*rows and the
// storage grow by one; *headerless tells). Files that are not CSV are left
// as they are. True when the points are ready; false after printing why the
// file is refused.
bool arrange_point_columns(const char* file, int d, const StringSlot* xnames, double*** points,
                           int* rows, StringSlot* names, bool* headerless);

// For the CSV file of one column of values that goes with a file of points
// without a header (the responses of the validation points): a first row
// that holds a number is its first value, added back as arrange_point_columns
// does.
void arrange_value_column(const char* file, double*** values, int* rows, StringSlot* names);

#endif  // DORVE_DATA_POINT_COLUMNS_H_
