#include "data/model_matrices.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "base/interpreter.h"
#include "base/messages.h"
#include "base/settings.h"
#include "data/matrix_reader.h"
#include "data/matrix_writer.h"
#include "data/output_matrices.h"
#include "numeric/storage.h"
#include "numeric/vecutil.h"

int PtsOutOfRange = 0;

namespace {

// A matrix just read from a file, with its column names; released by the
// reader that asked for it.
template <typename Entry>
struct FileTable {
  Entry** cells = nullptr;
  StringSlot* names = nullptr;
  int rows = 0;
  int cols = 0;
};

void release(FileTable<double>* t) {
  if (t->rows > 0 && t->cols > 0) free_real_matrix(t->rows, t->cols, &t->cells);
  if (t->cols > 0) free_string_vector(t->cols, &t->names);
  t->cells = nullptr;
  t->names = nullptr;
  t->rows = t->cols = 0;
}

void release(FileTable<StringSlot>* t) {
  if (t->rows > 0 && t->cols > 0) free_string_matrix(t->rows, t->cols, &t->cells);
  if (t->cols > 0) free_string_vector(t->cols, &t->names);
  t->cells = nullptr;
  t->names = nullptr;
  t->rows = t->cols = 0;
}

int read_real_table(const char* file, FileTable<double>* t) {
  int rc = read_matrix(0, 0, &t->cells, &t->rows, &t->cols, file, &t->names);
  if (rc != 0) release(t);
  return rc;
}

int read_text_table(const char* file, FileTable<StringSlot>* t) {
  int rc = read_string_matrix(0, 0, &t->cells, &t->rows, &t->cols, file, &t->names);
  if (rc != 0) release(t);
  return rc;
}

// Releases the table and passes the result through.
template <typename Entry>
int finish(FileTable<Entry>* t, int result) {
  release(t);
  return result;
}

bool label_is(const char* label, const char* a, const char* b = nullptr, const char* c = nullptr,
              const char* d = nullptr) {
  for (const char* s : {a, b, c, d})
    if (s != nullptr && strcmp(label, s) == 0) return true;
  return false;
}

bool label_starts(const char* label, const char* prefix) {
  return strncmp(label, prefix, strlen(prefix)) == 0;
}

void set_yname(KrigModel* kr, const char* name) { snprintf(kr->yname, kYNameLen, "%.29s", name); }

// Sets PtsOutOfRange from the check of model 0's design against its ranges.
void check_design_in_range(const KrigModel* kr) {
  if (check_x_range(kr->n[0], kr->d[0], kr->X, kr->range)) {
    say("WARNING: Not all x elements are within range limits.\n");
    PtsOutOfRange = 1;
  } else {
    PtsOutOfRange = 0;
  }
}

// The first read of y, YDescription or RegressionModel fixes the number of
// y variables; the new models get model 0's sizes.
void create_y_variables(KrigModel** models, KrigArray* ka, int count) {
  change_krig_p(ka, models, count);
  KrigModel* m = *models;
  for (int i = 1; i < count; i++) default_KrigModel(&m[i], m[0].n[0], m[0].d[0], m[0].r[0]);
}

// Everything computed from the design or the parameters is stale.
void clear_derived(KrigModel* kr) {
  kr->init.R = 0;
  kr->init.F = 0;
  kr->init.U = 0;
}

// After a new design: what was computed from the old one is stale. Another
// number of x variables leaves no parameter meaningful (theta and alpha are
// reset to 0, beta, the variance and the log-likelihood are forgotten) and
// no range; another number of rows leaves no response and no regression
// matrix that fits.
void forget_stale_members(KrigModel* kr, bool rows_changed, bool cols_changed) {
  kr->init.R = 0;
  kr->init.U = 0;
  kr->fit_failure = kFitNotFailed;
  if (cols_changed) {
    // theta and alpha were reset to 0 when the storage took the new d.
    kr->init.alpha = 0;
    kr->init.theta = 0;
    kr->init.beta = 0;
    kr->init.var = 0;
    kr->init.range = 0;
    kr->loglik[0] = kNaMarker;
  }
  if (rows_changed) {
    if (kr->init.y) kr->y_dropped = 1;
    kr->init.y = 0;
    kr->init.F = 0;
  }
}

// ---- Entries that must be finite numbers ----

bool is_na_text(const char* entry) { return strcmp(entry, "NA") == 0 || strcmp(entry, "na") == 0; }

// The one message for an entry whose value cannot be computed with: NA where
// the column gives NA no meaning, or a number that is not finite (inf, nan,
// or an overflow such as 1e999). The matrix is not taken at all.
int refuse_entry(const char* matrix, const char* label, int row, const char* entry) {
  fprintf(out_stream(),
          "ERROR: Entry %.29s in column %.29s, row %d of %s is missing or not finite. Matrix "
          "ignored.\n",
          entry, label, row + 1, matrix);
  return kNonFiniteEntry;
}

// Checks every entry row by row with usable(label, entry); reports the first
// one refused. 0 when all are usable.
int check_entries(const char* matrix, const FileTable<StringSlot>& t,
                  bool (*usable)(const char* label, const char* entry)) {
  for (int i = 0; i < t.rows; i++)
    for (int j = 0; j < t.cols; j++)
      if (!usable(t.names[j], t.cells[i][j]))
        return refuse_entry(matrix, t.names[j], i, t.cells[i][j]);
  return 0;
}

// An entry read with atof rules that must be a finite number; text that is
// no number at all still reads as 0, but NA is not taken for 0.
bool is_finite_number(const char* entry) {
  return !is_na_text(entry) && std::isfinite(atof(entry));
}

// ---- YDescription ----

struct YDescSeen {
  bool variable = false, min = false, max = false, constraint = false;
};

enum { kYDescOk = 0, kYDescEntryError = 1, kYDescConstraintValue = 3 };

int not_numeric() {
  say("ERROR: Some of the input data is not numeric where it ought to be.\n");
  return kYDescEntryError;
}

// Applies one entry of row i; returns 0 or the reader's error result.
int apply_ydesc_entry(KrigModel* kr, KrigArray* ka, int i, const char* label, const char* entry,
                      double* error_variance, YDescSeen* seen) {
  double v = 0.0;
  if (label_is(label, "StochasticProcessVariance")) {
    if (parse_real_or_na(entry, &v, kNaMarker) != 0) return not_numeric();
    kr->sigma2[0] = v;
    kr->init.var = 1;
  } else if (label_is(label, "ErrorVariance")) {
    if (parse_real_or_na(entry, &v, kNaMarker) != 0) return not_numeric();
    if (v > 0.0) {
      *error_variance = v;
      g_settings.RandomError = true;
    } else if (v < 0.0 && v != kNaMarker) {
      say("ERROR: Error Variance negative. Ignored.");
    }
  } else if (label_is(label, "LogLikelihood")) {
    if (parse_real_or_na(entry, &v, kNaMarker) != 0) return not_numeric();
    kr->loglik[0] = v;
  } else if (label_is(label, "Variable")) {
    seen->variable = true;
    if (kr->init.y && strcmp(entry, kr->yname) != 0) {
      say("ERROR: Label for y does not match label used earlier\n");
      return kYDescEntryError;
    }
    set_yname(kr, entry);
  } else if (label_is(label, "Min", "MIN", "min")) {
    seen->min = true;
    if (parse_real_or_na(entry, &v, kNaMarker) != 0) return not_numeric();
    ka->ydescrip[i][kYDescLower] = v;
  } else if (label_is(label, "Max", "max", "MAX")) {
    seen->max = true;
    if (parse_real_or_na(entry, &v, kNoUpperBound) != 0) return not_numeric();
    ka->ydescrip[i][kYDescUpper] = v;
  } else if (label_is(label, "Constraint", "constraint")) {
    seen->constraint = true;
    if (label_is(entry, "true", "TRUE")) {
      ka->ydescrip[i][kYDescConstraint] = 1.0;
    } else if (label_is(entry, "false", "FALSE")) {
      ka->ydescrip[i][kYDescConstraint] = 0.0;
    } else {
      say("ERROR: Label for column 'constraint' must be 'TRUE' or 'FALSE'.\n");
      return kYDescConstraintValue;
    }
  } else if (label_is(label, "NumberObs")) {
    if (parse_real_or_na(entry, &v, kNaMarker) != 0) return not_numeric();
    if (kr->init.y && v != kr->n[0]) print_warning("NumberObs does not match with database.");
  } else if (i == 0) {
    fprintf(out_stream(), "WARNING: Label %s ignored.\n", label);
  }
  return kYDescOk;
}

// The variances and bounds may be NA (no value, no bound) but not infinite
// or nan. LogLikelihood is only shown and NumberObs only compared, so they
// are left as they are read.
bool ydesc_entry_usable(const char* label, const char* entry) {
  if (!label_is(label, "StochasticProcessVariance", "ErrorVariance") &&
      !label_is(label, "Min", "MIN", "min") && !label_is(label, "Max", "max", "MAX"))
    return true;
  double v = 0.0;
  if (parse_real_or_na(entry, &v, kNaMarker) != 0) return true;  // reported as not numeric
  return std::isfinite(v);
}

// The variances of a row recombine into the total variance and its share.
void combine_variances(KrigModel* kr, double error_variance) {
  if (!(error_variance > 0.0)) return;
  if (kr->init.var && kr->sigma2[0] != kNaMarker) {
    kr->stochratio[0] = kr->sigma2[0] / (error_variance + kr->sigma2[0]);
    kr->sigma2[0] = error_variance + kr->sigma2[0];
    // R and its augmented decomposition were built with the old share.
    kr->init.R = 0;
    kr->init.U = 0;
  } else {
    say("ErrorVariance ignored since no StochasticProcess Variance present\n");
  }
}

void complete_bounds(KrigArray* ka, const YDescSeen& seen, int rows, int cols) {
  if (!seen.min && !seen.max && !seen.constraint) {
    ka->has_bounds = 0;
    return;
  }
  ka->has_bounds = 1;
  if (!seen.min) {
    print_info("Lower bounds on responses are assumed to be -infinity");
    for (int i = 0; i < rows; i++) ka->ydescrip[i][kYDescLower] = kNaMarker;
  }
  if (!seen.max) {
    print_info("Upper bounds on responses are assumed to be +infinity");
    for (int i = 0; i < rows; i++) ka->ydescrip[i][kYDescUpper] = kNoUpperBound;
  }
  if (!seen.constraint) {
    if (cols > 1) print_info("Assuming that none of the responses is a constraint.");
    for (int i = 0; i < rows; i++) ka->ydescrip[i][kYDescConstraint] = 0.0;
  }
}

// ---- StochasticProcessModel ----

// The model whose y name a Theta./Alpha. label carries from its 7th
// character on. A label cut to the longest entry a file holds still finds
// its model by the start of the name.
int find_model_by_suffix(const KrigModel* models, int count, const char* label) {
  const char* name = strlen(label) > 6 ? label + 6 : "";
  for (int k = 0; k < count; k++)
    if (strcmp(models[k].yname, name) == 0) return k;
  if (strlen(label) >= static_cast<size_t>(kMaxWrittenEntry) && name[0] != '\0') {
    for (int k = 0; k < count; k++)
      if (strncmp(models[k].yname, name, strlen(name)) == 0) return k;
  }
  return -1;
}

bool is_corpar_parameter(const char* label) {
  return label_starts(label, "Theta") || label_starts(label, "theta") ||
         label_starts(label, "alpha") || label_starts(label, "Alpha");
}

bool corpar_entry_usable(const char* label, const char* entry) {
  return !is_corpar_parameter(label) || is_finite_number(entry);
}

enum { kCorparXNames = 2, kCorparThetaName = 10, kCorparAlphaName = 11, kCorparLabel = 12 };

int apply_corpar_entry(KrigModel* models, int count, int p, const char* label, const char* entry) {
  KrigModel* m0 = &models[0];
  if (label_is(label, "Term", "term", "Variable", "variable")) {
    if (m0->init.X && strcmp(entry, m0->xlabels[p]) != 0) {
      say("ERROR: Variables in Matrix do not appear in same order as in x matrix\n");
      return kCorparXNames;
    }
    return 0;
  }
  const bool theta = label_starts(label, "Theta") || label_starts(label, "theta");
  const bool alpha = label_starts(label, "alpha") || label_starts(label, "Alpha");
  if (!theta && !alpha) {
    fprintf(out_stream(), "ERROR: Couldn't identify label %s .\n", label);
    return kCorparLabel;
  }
  int k = find_model_by_suffix(models, count, label);
  if (k < 0) {
    say(theta ? "ERROR: Name of a response variable (appended to Theta) unknown\n"
              : "ERROR: Name of a response variable (appended to Alpha) unknown\n");
    return theta ? kCorparThetaName : kCorparAlphaName;
  }
  KrigModel* kr = &models[k];
  if (p >= kr->alloc_d) return 0;  // a model not yet given this design's columns
  if (theta) {
    kr->theta[p] = atof(entry);
    kr->init.theta = 1;
  } else {
    kr->alpha[p] = atof(entry);
    kr->init.alpha = 1;
  }
  kr->fit_failure = kFitNotFailed;
  clear_derived(kr);
  return 0;
}

// ---- RegressionModel ----

bool is_coefficient_label(const char* label) {
  return label_starts(label, "Coef") || label_starts(label, "coef") || label_starts(label, "Beta");
}

// NA is how a y variable without a coefficient is written.
bool regmodel_entry_usable(const char* label, const char* entry) {
  return !is_coefficient_label(label) || is_na_text(entry) || std::isfinite(atof(entry));
}

// ---- XDescription ----

bool is_limit_label(const char* label) { return label_is(label, "Min", "min", "Max", "max"); }

bool xdesc_entry_usable(const char* label, const char* entry) {
  return !is_limit_label(label) || is_finite_number(entry);
}

// Every y variable's model takes the design and its column of cells (rows
// x cols, with names); the first read makes the y variables.
void install_responses(KrigModel** models, KrigArray* ka, double* const* cells,
                       const StringSlot* names, int rows, int cols) {
  const bool was_initialized = ka->initialized != 0;
  if (!was_initialized) create_y_variables(models, ka, cols);
  KrigModel* m = *models;
  for (int i = 1; i < cols; i++) copy_KrigModel(&m[0], &m[i]);
  for (int i = 0; i < cols; i++) {
    KrigModel* kr = &m[i];
    if (was_initialized) {
      if (kr->n[0] != rows) clear_derived(kr);
      kr->n[0] = rows;
      kr->nfixed = 1;
    }
    set_yname(kr, names[i]);
    for (int row = 0; row < rows; row++) kr->y[row] = cells[row][i];
    kr->init.y = 1;
    kr->y_dropped = 0;
    kr->fit_failure = kFitNotFailed;
  }
}

// ---- Design ----

// Makes cells (rows x cols, with names; taken over) the design of model 0,
// and of every other y variable's model. new_runs: the rows are new runs,
// so no y held belongs to them even when their number is unchanged.
void install_design(KrigModel* models, const KrigArray* ka, double** cells, StringSlot* names,
                    int rows, int cols, bool new_runs) {
  KrigModel* kr = &models[0];
  const bool cols_changed = cols != kr->d[0];
  const bool rows_changed = rows != kr->n[0] || new_runs;
  free_real_matrix(kr->alloc_n, kr->alloc_d, &kr->X);
  free_string_vector(kr->alloc_d, &kr->xlabels);
  kr->X = cells;
  kr->xlabels = names;
  resize_KrigModel_to_design(kr, rows, cols);
  if (rows_changed) kr->nfixed = 1;
  kr->init.X = 1;
  // Every y variable shares the design: the other models take it now, so
  // that none keeps columns or rows of the old one.
  const int count = ka != nullptr ? y_count_unchecked(ka) : 0;
  for (int i = 1; i < count; i++) {
    copy_KrigModel(kr, &models[i]);
    models[i].n[0] = rows;
    if (rows_changed) models[i].nfixed = 1;
  }
  for (int i = 0; i < (count > 1 ? count : 1); i++)
    forget_stale_members(&models[i], rows_changed, cols_changed);
  if (kr->init.range) check_design_in_range(kr);
}

// Model 0's ranges go to every other y variable's model that has the design's columns.
void share_ranges(KrigModel* models, const KrigArray* ka) {
  const KrigModel* m0 = &models[0];
  const int d = m0->d[0];
  if (!ka->initialized || !m0->init.range) return;
  for (int i = 1; i < y_count_unchecked(ka); i++) {
    if (models[i].alloc_d != d) continue;  // gets the ranges with the design at the next y read
    for (int p = 0; p < d; p++) {
      models[i].range[p][0] = m0->range[p][0];
      models[i].range[p][1] = m0->range[p][1];
    }
    models[i].init.range = 1;
  }
}

}  // namespace

int read_x(KrigModel* models, const KrigArray* ka, const char* file_name) {
  FileTable<double> t;
  if (read_real_table(file_name, &t) != 0) return 10;
  // The new design replaces the old one only now that it has been read whole.
  install_design(models, ka, t.cells, t.names, t.rows, t.cols, false);
  return 0;
}

int read_x(KrigModel* kr, const char* file_name) { return read_x(kr, nullptr, file_name); }

int read_y(KrigModel** models, KrigArray* ka, const char* file_name) {
  KrigModel* m0 = &(*models)[0];
  // A y dropped by a new design still counts as the one being replaced.
  if (m0->init.y || m0->y_dropped)
    print_warning("You already have a y matrix. Old y-matrix will be overread.\n");
  FileTable<double> t;
  if (read_real_table(file_name, &t) != 0) return 4;
  const int n = m0->n[0];
  if ((m0->nfixed && t.rows != n) || t.rows > n) {
    say("ERROR: Number of rows does not match with database. Matrix ignored.\n");
    return finish(&t, 6);
  }
  const bool was_initialized = ka->initialized != 0;
  if (was_initialized) {
    if (t.cols != y_count_unchecked(ka)) {
      say("ERROR: Number of columns does not match with database. Matrix ignored.\n");
      return finish(&t, 7);
    }
    for (int i = 0; i < t.cols; i++) {
      if (strcmp(t.names[i], (*models)[i].yname) != 0) {
        say("ERROR: The variable names do not match with earlier variable names.\n");
        return finish(&t, 9);
      }
    }
  }
  install_responses(models, ka, t.cells, t.names, t.rows, t.cols);
  return finish(&t, 0);
}

int read_ydescrip(KrigModel** models, KrigArray* ka, const char* file_name) {
  FileTable<StringSlot> t;
  if (read_text_table(file_name, &t) != 0) return 4;
  if (ka->initialized && t.rows != y_count_unchecked(ka)) {
    say("ERROR: Number of rows (y variables) does not match database\n");
    return finish(&t, 2);
  }
  check_invariant(t.cols > 0, "read_ydescrip: Code Bug newm<=0");
  if (check_entries("YDescription", t, ydesc_entry_usable) != 0)
    return finish(&t, kNonFiniteEntry);
  if (!ka->initialized) {
    create_y_variables(models, ka, t.rows);
    for (int i = 0; i < t.rows; i++) (*models)[i].nfixed = 0;
  }
  KrigModel* m = *models;
  YDescSeen seen;
  for (int i = 0; i < t.rows; i++) {
    double error_variance = kNaMarker;
    for (int j = 0; j < t.cols; j++) {
      int rc = apply_ydesc_entry(&m[i], ka, i, t.names[j], t.cells[i][j], &error_variance, &seen);
      if (rc != 0) return finish(&t, rc);
    }
    combine_variances(&m[i], error_variance);
  }
  if (!seen.variable) say("ERROR: No 'Variable' column. Cannot check variable names.");
  complete_bounds(ka, seen, t.rows, t.cols);
  adjust_KrigArray(ka);
  return finish(&t, 0);
}

int read_corpar(KrigModel* models, KrigArray* ka, const char* file_name) {
  check_invariant(ka != nullptr, "read_corpar: code bug : ka==NULL");
  KrigModel* m0 = &models[0];
  const KrigInit before = m0->init;
  m0->init.theta = 0;
  m0->init.alpha = 0;
  m0->init.R = 0;
  m0->init.U = 0;
  FileTable<StringSlot> t;
  if (read_text_table(file_name, &t) != 0) return 4;
  const int count = y_count_unchecked(ka);
  if (t.rows != m0->d[0]) {
    say("ERROR: Matrix contains too few or too many rows.\n");
    return finish(&t, 5);
  }
  if (t.cols != 2 * count + 1) {
    say("ERROR: Matrix contains too few or too many columns.\n");
    return finish(&t, 1);
  }
  if (check_entries("StochasticProcessModel", t, corpar_entry_usable) != 0) {
    m0->init = before;
    return finish(&t, kNonFiniteEntry);
  }
  for (int p = 0; p < t.rows; p++) {
    for (int j = 0; j < t.cols; j++) {
      int rc = apply_corpar_entry(models, count, p, t.names[j], t.cells[p][j]);
      if (rc != 0) return finish(&t, rc);
    }
  }
  return finish(&t, 0);
}

int read_regmodel(KrigModel** models, KrigArray* ka, const char* file_name) {
  const int had_beta = (*models)[0].init.beta;
  (*models)[0].init.beta = 0;
  FileTable<StringSlot> t;
  if (read_text_table(file_name, &t) != 0) return 4;
  if (t.cols >= 4) {
    say("ERROR: Matrix contains too many columns.\n");
    return finish(&t, 4);
  }
  if (ka->initialized && t.rows != y_count_unchecked(ka)) {
    say("ERROR: Number of rows in matrix does not match with database.\n");
    return finish(&t, 7);
  }
  if (check_entries("RegressionModel", t, regmodel_entry_usable) != 0) {
    (*models)[0].init.beta = had_beta;
    return finish(&t, kNonFiniteEntry);
  }
  if (!ka->initialized) {
    create_y_variables(models, ka, t.rows);
    for (int i = 0; i < t.rows; i++) (*models)[i].nfixed = 0;
  }
  KrigModel* m = *models;
  bool names_given = false, mismatch = false, coefficients_given = false;
  for (int i = 0; i < t.rows; i++) {
    for (int j = 0; j < t.cols; j++) {
      const char* label = t.names[j];
      const char* entry = t.cells[i][j];
      if (label_is(label, "Term", "term")) {
        if (atol(entry) != 1)
          print_warning("Term should be 1 for intercept, nothing else is implemented right now");
      } else if (label_is(label, "Variable", "variable")) {
        names_given = true;
        if (m[i].init.y && strcmp(entry, m[i].yname) != 0) {
          say("ERROR: Unsuspected Variable names for reponse(s).\n");
          mismatch = true;
        } else {
          set_yname(&m[i], entry);
        }
      } else if (is_coefficient_label(label)) {
        coefficients_given = true;
        if (is_na_text(entry)) {
          m[i].init.beta = 0;  // a y variable written without a coefficient
        } else {
          m[i].beta[0] = atof(entry);
          m[i].init.beta = 1;
        }
      }
    }
  }
  if (mismatch) return finish(&t, 21);
  if (!names_given) {
    say("WARNING: No names for response variables given.\n");
    return finish(&t, 22);
  }
  if (!coefficients_given) print_warning("Matrix did not contain a `beta` column and could not be read.\n");
  return finish(&t, 0);
}

int read_xdescrip(KrigModel* models, KrigArray* ka, const char* file_name) {
  KrigModel* m0 = &models[0];
  FileTable<StringSlot> t;
  if (read_text_table(file_name, &t) != 0) return 4;
  const int d = m0->d[0];
  if (t.rows != d) {
    say("ERROR: Number of columns in matrix does not match number of x variables\n");
    return finish(&t, 4);
  }
  if (check_entries("XDescription", t, xdesc_entry_usable) != 0)
    return finish(&t, kNonFiniteEntry);
  bool has_min = false, has_max = false, names_given = false;
  for (int j = 0; j < t.cols; j++) {
    const char* label = t.names[j];
    const bool is_min = label_is(label, "Min", "min");
    const bool is_max = label_is(label, "Max", "max");
    if (is_min || is_max) {
      has_min = has_min || is_min;
      has_max = has_max || is_max;
      for (int p = 0; p < d; p++) m0->range[p][is_min ? 0 : 1] = atof(t.cells[p][j]);
    } else if (label_is(label, "Variable", "variable")) {
      names_given = true;
      for (int p = 0; p < d; p++) {
        if (strcmp(t.cells[p][j], m0->xlabels[p]) != 0) {
          say("ERROR: Variables in matrix are not in same order as in x matrix\n");
          return finish(&t, 1);
        }
      }
    }
  }
  if (has_min && has_max)
    m0->init.range = 1;
  else
    print_warning("'Min' or/and  'Max' column are missing. Command ignored.");
  if (!names_given) print_warning("Assuming xdescription contains variables in same order as x matrix");
  if (m0->init.range) check_design_in_range(m0);
  share_ranges(models, ka);
  return finish(&t, 0);
}

void set_design(KrigModel* models, const KrigArray* ka, double* const* points,
                const StringSlot* names, int rows, int cols) {
  double** cells = nullptr;
  StringSlot* labels = nullptr;
  alloc_real_matrix(rows, cols, &cells);
  alloc_string_vector(cols, &labels);
  copy_real_matrix(rows, cols, points, cells);
  copy_string_vector(cols, names, labels);
  install_design(models, ka, cells, labels, rows, cols, true);
}

int read_x_box(const char* file_name, XBox* box) {
  FileTable<StringSlot> t;
  if (read_text_table(file_name, &t) != 0) return 4;
  if (check_entries("XDescription", t, xdesc_entry_usable) != 0)
    return finish(&t, kNonFiniteEntry);
  int min_col = -1, max_col = -1, name_col = -1;
  for (int j = 0; j < t.cols; j++) {
    if (label_is(t.names[j], "Min", "min")) min_col = j;
    if (label_is(t.names[j], "Max", "max")) max_col = j;
    if (label_is(t.names[j], "Variable", "variable")) name_col = j;
  }
  if (min_col < 0 || max_col < 0) {
    print_warning("'Min' or/and  'Max' column are missing. Command ignored.");
    return finish(&t, kBoxWithoutLimits);
  }
  box->d = t.rows;
  alloc_string_vector(t.rows, &box->names);
  alloc_real_matrix(t.rows, 2, &box->range);
  for (int p = 0; p < t.rows; p++) {
    if (name_col >= 0)
      snprintf(box->names[p], kSlotLen, "%s", t.cells[p][name_col]);
    else
      snprintf(box->names[p], kSlotLen, "x%d", p + 1);
    box->range[p][0] = atof(t.cells[p][min_col]);
    box->range[p][1] = atof(t.cells[p][max_col]);
  }
  return finish(&t, 0);
}

void release_x_box(XBox* box) {
  if (box->d > 0) {
    free_string_vector(box->d, &box->names);
    free_real_matrix(box->d, 2, &box->range);
  }
  *box = XBox();
}

void set_ranges(KrigModel* models, const KrigArray* ka, double* const* range) {
  KrigModel* m0 = &models[0];
  copy_real_matrix(m0->d[0], 2, range, m0->range);
  m0->init.range = 1;
  check_design_in_range(m0);
  share_ranges(models, ka);
}

void set_responses(KrigModel** models, KrigArray* ka, double* const* y, const StringSlot* names,
                   int rows, int cols) {
  install_responses(models, ka, y, names, rows, cols);
}
