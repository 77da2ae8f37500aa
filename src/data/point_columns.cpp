#include "data/point_columns.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "base/interpreter.h"
#include "base/messages.h"
#include "data/matrix_reader.h"
#include "data/model_store.h"

namespace {

// Room for an information line naming a file.
constexpr int kInfoSize = 400;

// Index of name among the d names, or -1.
int find_name(const char* name, int d, const StringSlot* names) {
  for (int j = 0; j < d; j++)
    if (strcmp(name, names[j]) == 0) return j;
  return -1;
}

// True when every name reads as a value: the CSV reader then took the first
// row of a file without a header for its names.
bool names_are_values(int d, const StringSlot* names) {
  double value = 0.0;
  for (int j = 0; j < d; j++)
    if (parse_real_or_na(names[j], &value, kNaMarker) != 0) return false;
  return true;
}

// Turns the names back into the first row of the matrix.
void restore_first_row(int cols, double*** matrix, int* rows, StringSlot* names) {
  realloc_real_matrix(*rows, cols, matrix, *rows + 1, cols);
  double** m = *matrix;
  for (int i = *rows; i > 0; i--)
    for (int j = 0; j < cols; j++) m[i][j] = m[i - 1][j];
  for (int j = 0; j < cols; j++) parse_real_or_na(names[j], &m[0][j], kNaMarker);
  (*rows)++;
}

void take_names(int d, const StringSlot* from, StringSlot* to) {
  for (int j = 0; j < d; j++) snprintf(to[j], kSlotLen, "%s", from[j]);
}

// Where each of X's variables is in the file (source[j] for variable j);
// false, after saying which name does not fit, when the names are not X's.
bool match_names(const char* file, int d, const StringSlot* xnames, const StringSlot* names,
                 int* source) {
  for (int j = 0; j < d; j++) source[j] = -1;
  for (int c = 0; c < d; c++) {
    const int j = find_name(names[c], d, xnames);
    if (j < 0) {
      fprintf(out_stream(), "Sorry, column %s of %s is not an x variable (X has", names[c], file);
      for (int k = 0; k < d; k++) fprintf(out_stream(), "%s %s", k > 0 ? "," : "", xnames[k]);
      fprintf(out_stream(), "). Command ignored.\n");
      return false;
    }
    if (source[j] >= 0) {
      fprintf(out_stream(), "Sorry, column %s of %s appears twice. Command ignored.\n", names[c],
              file);
      return false;
    }
    source[j] = c;
  }
  return true;
}

}  // namespace

bool arrange_point_columns(const char* file, int d, const StringSlot* xnames, double*** points,
                           int* rows, StringSlot* names, bool* headerless) {
  *headerless = false;
  if (!is_csv_file_name(file)) return true;
  std::vector<int> source(d);
  bool in_order = true;
  for (int j = 0; j < d; j++)
    if (strcmp(names[j], xnames[j]) != 0) in_order = false;
  if (in_order) return true;
  // Names that are X's, in any order, are names even when they read as numbers.
  bool all_known = true;
  for (int j = 0; j < d; j++)
    if (find_name(names[j], d, xnames) < 0) all_known = false;
  char text[kInfoSize];
  if (!all_known && names_are_values(d, names)) {
    snprintf(text, sizeof text,
             "%s has no header row (its first row holds numbers); its columns are taken in the "
             "order of X's variables.",
             file);
    print_info(text);
    restore_first_row(d, points, rows, names);
    take_names(d, xnames, names);
    *headerless = true;
    return true;
  }
  if (!match_names(file, d, xnames, names, source.data())) return false;
  snprintf(text, sizeof text, "The columns of %s are taken by their names, in X's order.", file);
  print_info(text);
  std::vector<double> row(d);
  double** m = *points;
  for (int i = 0; i < *rows; i++) {
    for (int j = 0; j < d; j++) row[j] = m[i][source[j]];
    for (int j = 0; j < d; j++) m[i][j] = row[j];
  }
  take_names(d, xnames, names);
  return true;
}

void arrange_value_column(const char* file, double*** values, int* rows, StringSlot* names) {
  if (!is_csv_file_name(file) || !names_are_values(1, names)) return;
  char text[kInfoSize];
  snprintf(text, sizeof text, "%s has no header row either; its first row is its first value.",
           file);
  print_info(text);
  restore_first_row(1, values, rows, names);
}
