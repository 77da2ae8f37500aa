#include "data/output_matrices.h"

#include <cstdio>
#include <cstring>

#include "base/messages.h"
#include "base/settings.h"
#include "data/matrix_writer.h"

namespace {

// Rows of the per-y-variable tables: one per y variable, or just the model passed.
int table_rows(const KrigArray* ka) {
  return (ka != nullptr && ka->initialized) ? y_count_unchecked(ka) : 1;
}

// "%f" where it holds the value exactly, every digit needed otherwise: a
// model written and read back predicts as the session did.
void put_real(StringSlot slot, double value) { format_fixed_or_exact(value, slot, kSlotLen); }

// Copies at most limit characters of text into dst and terminates it.
void copy_cut(char* dst, const char* text, size_t limit) {
  size_t len = strnlen(text, limit);
  memcpy(dst, text, len);
  dst[len] = '\0';
}

void put_text(StringSlot slot, const char* text) { copy_cut(slot, text, kSlotLen - 1); }

// A real as put_real writes it, or "NA" when it equals the marker.
void put_real_or_na(StringSlot slot, double value, double marker) {
  if (value == marker)
    put_text(slot, "NA");
  else
    put_real(slot, value);
}

// Allocates a rows x cols table and its names.
void alloc_table(int rows, int cols, StringSlot*** table, StringSlot** names) {
  *table = nullptr;
  *names = nullptr;
  alloc_string_matrix(rows, cols, table);
  alloc_string_vector(cols, names);
}

int check_table_rows(int rows) {
  check_invariant(rows >= 0, "construct_ydescrip: Code bug , pc <0");
  return rows;
}

// The optional columns of the YDescription table, in their order.
struct YDescColumns {
  bool loglik, variance, error_variance, obs, bounds;
  int count() const {
    return 1 + loglik + variance + error_variance + obs + 3 * static_cast<int>(bounds);
  }
};

YDescColumns choose_ydesc_columns(const KrigArray* ka, const KrigModel* kr) {
  YDescColumns c;
  c.loglik = kr->loglik[0] != kNaMarker;
  c.variance = kr->init.var != 0;
  c.error_variance = g_settings.RandomError;
  c.obs = kr->init.y != 0;
  c.bounds = ka != nullptr && ka->has_bounds == 1;
  return c;
}

const char* constraint_word(double flag) {
  if (flag == 0.0) return "FALSE";
  if (flag == 1.0) return "TRUE";
  invariant_broken("construct_ydescrip : Code BUG, ka->ydescrip!=0 or 1");
}

void fill_ydesc_row(const YDescColumns& c, const KrigArray* ka, const KrigModel* kr, int i,
                    StringSlot* row) {
  int j = 0;
  put_text(row[j++], kr->yname);
  const double sigma2 = kr->sigma2[0];
  if (c.loglik) put_real_or_na(row[j++], kr->loglik[0], kNaMarker);
  if (c.variance) {
    if (sigma2 == kNaMarker)
      put_text(row[j++], "NA");
    else
      put_real(row[j++], sigma2 * kr->stochratio[0]);
  }
  if (c.error_variance) {
    if (sigma2 == kNaMarker)
      put_text(row[j++], "NA");
    else
      put_real(row[j++], sigma2 * (1.0 - kr->stochratio[0]));
  }
  if (c.obs) snprintf(row[j++], kSlotLen, "%d", kr->n[0]);
  if (c.bounds) {
    put_real_or_na(row[j++], ka->ydescrip[i][kYDescLower], kNaMarker);
    put_real_or_na(row[j++], ka->ydescrip[i][kYDescUpper], kNoUpperBound);
    put_text(row[j++], constraint_word(ka->ydescrip[i][kYDescConstraint]));
  }
}

void name_ydesc_columns(const YDescColumns& c, StringSlot* names) {
  int j = 0;
  put_text(names[j++], "Variable");
  if (c.loglik) put_text(names[j++], "LogLikelihood");
  if (c.variance) put_text(names[j++], "StochasticProcessVariance");
  if (c.error_variance) put_text(names[j++], "ErrorVariance");
  if (c.obs) put_text(names[j++], "NumberObs");
  if (c.bounds) {
    put_text(names[j++], "Min");
    put_text(names[j++], "Max");
    put_text(names[j++], "Constraint");
  }
}

}  // namespace

void build_slot_name(StringSlot slot, const char* prefix, const char* name) {
  copy_cut(slot, prefix, kMaxWrittenEntry);
  size_t used = strlen(slot);
  copy_cut(slot + used, name, kMaxWrittenEntry - used);
}

int construct_ymat(const KrigModel* models, const KrigArray* ka, double** matrix, char* buffer,
                   int capacity) {
  check_invariant(ka != nullptr, "Code Bug construct_ymat : ka == NULL");
  const int count = y_count_unchecked(ka);
  for (int i = 0; i < models[0].n[0]; i++)
    for (int j = 0; j < count; j++) matrix[i][j] = models[j].y[i];
  buffer[0] = '\0';
  for (int j = 0; j < count; j++) {
    size_t used = strlen(buffer), name = strlen(models[j].yname);
    if (static_cast<int>(used + name + 5) > capacity - 1) return 1;
    snprintf(buffer + used, capacity - used, "%s     ", models[j].yname);
  }
  return 0;
}

void construct_cormat(const KrigModel* models, const KrigArray* ka, StringSlot** table,
                      StringSlot* names) {
  const int count = ka != nullptr ? y_count_unchecked(ka) : 1;
  const int d = models[0].d[0];
  for (int p = 0; p < d; p++) {
    put_text(table[p][0], models[0].xlabels[p]);
    for (int j = 0; j < count; j++) {
      put_real(table[p][2 * j + 1], models[j].theta[p]);
      put_real(table[p][2 * j + 2], models[j].alpha[p]);
    }
  }
  put_text(names[0], "Variable");
  for (int j = 0; j < count; j++) {
    build_slot_name(names[2 * j + 1], "Theta.", models[j].yname);
    build_slot_name(names[2 * j + 2], "Alpha.", models[j].yname);
  }
}

int construct_regmat(const KrigArray* ka, const KrigModel* models, StringSlot*** table,
                     StringSlot** names, int* rows, int* cols) {
  if (strcmp(models[0].yname, "EMPTY") == 0) return 1;
  *rows = check_table_rows(table_rows(ka));
  *cols = 3;
  alloc_table(*rows, *cols, table, names);
  put_text((*names)[0], "Variable");
  put_text((*names)[1], "Term");
  put_text((*names)[2], "Coefficients");
  for (int i = 0; i < *rows; i++) {
    const KrigModel& kr = models[i];
    put_text((*table)[i][0], kr.yname);
    put_text((*table)[i][1], "1");
    if (kr.init.beta)
      put_real((*table)[i][2], kr.beta[0]);
    else
      put_text((*table)[i][2], "NA");
  }
  return 0;
}

int construct_ydescrip(const KrigArray* ka, const KrigModel* models, StringSlot*** table,
                       StringSlot** names, int* rows, int* cols) {
  if (strcmp(models[0].yname, "EMPTY") == 0) return 1;
  *rows = check_table_rows(table_rows(ka));
  const YDescColumns c = choose_ydesc_columns(ka, &models[0]);
  *cols = c.count();
  alloc_table(*rows, *cols, table, names);
  name_ydesc_columns(c, *names);
  for (int i = 0; i < *rows; i++) fill_ydesc_row(c, ka, &models[i], i, (*table)[i]);
  return 0;
}

int check_x_range(int rows, int cols, double* const* X, double* const* range) {
  for (int i = 0; i < rows; i++)
    for (int j = 0; j < cols; j++)
      if (!(X[i][j] >= range[j][0]) || X[i][j] > range[j][1]) return 1;
  return 0;
}

int check_constraints(int rows, int ny, double* const* Y, double* const* ydescrip) {
  int violated = 0;
  for (int i = 0; i < rows; i++) {
    for (int j = 0; j < ny; j++) {
      if (ydescrip[j][kYDescConstraint] != 1.0) continue;
      const double v = Y[i][j];
      if (v == kNaMarker) fatal_error("ERROR : y contains NA values when checked for constraints");
      const double lower = ydescrip[j][kYDescLower], upper = ydescrip[j][kYDescUpper];
      if (lower != kNaMarker && v < lower) violated = 1;
      if (upper != kNoUpperBound && v > upper) violated = 1;
    }
  }
  return violated;
}

void append_ynames(const KrigModel* models, int groups, int per_group, StringSlot* names) {
  for (int g = 1; g < groups; g++)
    for (int k = 0; k < per_group; k++) put_text(names[g * per_group + k], names[k]);
  for (int k = 0; k < groups * per_group; k++) {
    StringSlot base;
    put_text(base, names[k]);
    char joined[kSlotLen + 1];
    copy_cut(joined, base, kSlotLen - 1);
    strcat(joined, ".");
    build_slot_name(names[k], joined, models[k / per_group].yname);
  }
}
