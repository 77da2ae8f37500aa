#include "data/finite_checks.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "base/interpreter.h"
#include "data/model_store.h"

namespace {

constexpr const char* kCommandIgnored = "Command ignored.";
constexpr const char* kMore = ", ...";
// One variable's part: a name of at most 29 characters, " (rows ", the row
// numbers, ", ...)".
constexpr int kPartSize = 64 + kMaxListedRows * 12;

// Bounded appending to a caller's buffer.
struct Text {
  char* s;
  int capacity;
  int length;
};

// Appends piece when it fits with room left for kMore; false otherwise.
bool append(Text* t, const char* piece) {
  const int len = static_cast<int>(strlen(piece));
  const int reserve = static_cast<int>(strlen(kMore));
  if (t->length + len + reserve >= t->capacity) return false;
  memcpy(t->s + t->length, piece, static_cast<size_t>(len) + 1);
  t->length += len;
  return true;
}

// "name (row 5)" or "name (rows 3, 7, ...)" for the unusable entries of one
// column; returns how many there are (0: part is left empty).
template <typename At>
int describe_column(int rows, At at, const char* name, char* part) {
  part[0] = '\0';
  int bad = 0;
  // Each row number takes at most 12 characters with its ", ".
  char rows_text[kMaxListedRows * 12 + 1] = "";
  int used = 0;
  for (int i = 0; i < rows; i++) {
    if (is_usable_value(at(i))) continue;
    bad++;
    if (bad <= kMaxListedRows)
      used += snprintf(rows_text + used, sizeof rows_text - used, "%s%d", bad > 1 ? ", " : "",
                       i + 1);
  }
  if (bad == 0) return 0;
  snprintf(part, kPartSize, "%.29s (%s %s%s)", name, bad > 1 ? "rows" : "row", rows_text,
           bad > kMaxListedRows ? kMore : "");
  return bad;
}

// Appends one variable's part (after ", " unless it is the first); once the
// list is full it ends in kMore and takes nothing more.
void fill_text(Text* t, int column, const char* part, bool* stopped) {
  if (*stopped) return;
  char piece[kPartSize + 2];
  snprintf(piece, sizeof piece, "%s%s", column > 0 ? ", " : "", part);
  if (column < kMaxListedColumns && append(t, piece)) return;
  // append always leaves room for kMore.
  const char* more = t->length > 0 ? kMore : "...";
  memcpy(t->s + t->length, more, strlen(more) + 1);
  t->length += static_cast<int>(strlen(more));
  *stopped = true;
}

bool responses_usable(const KrigModel* kr, const char* consequence_format) {
  if (!kr->init.y) return true;
  char variables[kUnusableTextSize];
  if (describe_unusable_entries(kr->n[0], kr->y, kr->yname, variables, sizeof variables) == 0)
    return true;
  char consequence[kYNameLen + 48];
  snprintf(consequence, sizeof consequence, consequence_format, kr->yname);
  report_unusable("y", variables, consequence);
  return false;
}

}  // namespace

bool is_usable_value(double v) { return std::isfinite(v) && v != kNaMarker; }

const char* unusable_value_word(double v) {
  if (v == kNaMarker) return "NA";
  if (std::isnan(v)) return "nan";
  if (std::isinf(v)) return v > 0 ? "inf" : "-inf";
  return nullptr;
}

int first_unusable(int k, const double* v) {
  for (int j = 0; j < k; j++)
    if (!is_usable_value(v[j])) return j;
  return -1;
}

int describe_unusable_columns(int rows, int cols, const double* const* m, const StringSlot* names,
                              char* text, int capacity) {
  Text t = {text, capacity, 0};
  text[0] = '\0';
  int bad_columns = 0;
  bool stopped = false;
  for (int j = 0; j < cols; j++) {
    char part[kPartSize];
    if (describe_column(rows, [&](int i) { return m[i][j]; }, names[j], part) == 0) continue;
    fill_text(&t, bad_columns, part, &stopped);
    bad_columns++;
  }
  return bad_columns;
}

int describe_unusable_entries(int n, const double* v, const char* name, char* text,
                              int capacity) {
  Text t = {text, capacity, 0};
  text[0] = '\0';
  char part[kPartSize];
  if (describe_column(n, [&](int i) { return v[i]; }, name, part) == 0) return 0;
  bool stopped = false;
  fill_text(&t, 0, part, &stopped);
  return 1;
}

void report_unusable(const char* where, const char* variables, const char* consequence) {
  fprintf(out_stream(), "Sorry, %s holds missing or non-finite values: %s. %s\n", where,
          variables, consequence);
}

bool matrix_is_usable(const char* where, int rows, int cols, const double* const* m,
                      const StringSlot* names) {
  char variables[kUnusableTextSize];
  if (describe_unusable_columns(rows, cols, m, names, variables, sizeof variables) == 0)
    return true;
  report_unusable(where, variables, kCommandIgnored);
  return false;
}

// The correlation raises the distances along each variable to powers up to
// 2: a column whose span squared overflows gives infinite or undefined
// correlations. Reports the first such column.
bool design_spans_usable(const KrigModel* kr) {
  for (int j = 0; j < kr->d[0]; j++) {
    double lo = kr->X[0][j], hi = kr->X[0][j];
    for (int i = 1; i < kr->n[0]; i++) {
      if (kr->X[i][j] < lo) lo = kr->X[i][j];
      if (kr->X[i][j] > hi) hi = kr->X[i][j];
    }
    const double span = hi - lo;
    if (std::isfinite(span * span)) continue;
    fprintf(out_stream(),
            "Sorry, X holds values too far apart: %.29s spans %g, whose square overflows the "
            "correlation. Rescale X (to [0, 1], say). %s\n",
            kr->xlabels[j], span, kCommandIgnored);
    return false;
  }
  return true;
}

bool designs_are_usable(const KrigModel* models, const KrigArray* ka) {
  const int count = model_count(ka);
  for (int i = 0; i < count; i++) {
    const KrigModel* kr = &models[i];
    if (!kr->init.X) continue;
    if (!matrix_is_usable("X", kr->n[0], kr->d[0], kr->X, kr->xlabels)) return false;
    if (!design_spans_usable(kr)) return false;
  }
  return true;
}

bool responses_can_be_fitted(const KrigModel* kr) {
  return responses_usable(kr, "%s is not fitted.");
}

bool responses_are_ready(const KrigModel* kr) {
  return responses_usable(kr, "The model of %s is not ready.");
}

bool last_fit_usable(const KrigModel* kr) {
  const char* why = nullptr;
  if (kr->fit_failure == kFitValuesOverflow)
    why = "the last Fit refused %s: its values are too large for the likelihood (rescale them "
          "and read y again)";
  else if (kr->fit_failure == kFitNoFiniteTry)
    why = "no try of the last Fit of %s reached a finite likelihood";
  if (why == nullptr) return true;
  char text[kYNameLen + 120];
  snprintf(text, sizeof text, why, kr->yname);
  fprintf(out_stream(), "Sorry, %s. The model of %s is not ready.\n", text, kr->yname);
  return false;
}
