#include "data/named_matrices.h"

#include <cstdio>
#include <cstring>

#include "base/interpreter.h"
#include "base/messages.h"
#include "data/init_checks.h"
#include "data/matrix_writer.h"
#include "data/model_matrices.h"
#include "data/model_store.h"
#include "data/output_matrices.h"

namespace {

// Size of the header text that joins the y names of the y matrix.
constexpr int kYHeaderSize = 150;

bool requires(const KrigModel& kr, const char* k1, const char* k2 = nullptr) {
  return check_initialized(kr.init, k1, k2, nullptr, nullptr, nullptr, true);
}

// ---- X ----
void read_design(KrigModel** models, KrigArray* ka, const char* file) { read_x(*models, ka, file); }

bool output_design(KrigModel** models, KrigArray*, int mode, const char* file) {
  const KrigModel& kr = (*models)[0];
  if (!requires(kr, "X")) return true;
  if (mode != kShowMatrix)
    return writemat(kr.n[0], kr.d[0], kr.X, file, kr.xlabels, nullptr, "X Matrix", 'w', false);
  print_string_vector(kr.d[0], kr.xlabels, "Labels:");
  print_real_matrix(kr.n[0], kr.d[0], kr.X, "X:", false);
  return true;
}

// ---- y ----
void read_responses(KrigModel** models, KrigArray* ka, const char* file) {
  if (!requires((*models)[0], "X")) return;
  read_y(models, ka, file);
}

// All y variables side by side, headed by their joined names.
bool output_all_responses(const KrigModel* models, const KrigArray* ka, int mode,
                          const char* file) {
  const int n = models[0].n[0], count = y_count_unchecked(ka);
  double** matrix = nullptr;
  alloc_real_matrix(n, count, &matrix);
  char header[kYHeaderSize];
  if (construct_ymat(models, ka, matrix, header, kYHeaderSize) != 0)
    fatal_error("menu_print: y labels are too long .");
  bool written = true;
  if (mode == kShowMatrix) {
    fprintf(out_stream(), "y Label: %s\n", header);
    print_real_matrix(n, count, matrix, "y:", false);
  } else {
    written = writemat(n, count, matrix, file, nullptr, header, "y Matrix", 'w', false);
  }
  free_real_matrix(n, count, &matrix);
  return written;
}

bool output_responses(KrigModel** models, KrigArray* ka, int mode, const char* file) {
  const KrigModel& kr = (*models)[0];
  if (!requires(kr, "y", "X")) return true;
  if (ka != nullptr) return output_all_responses(*models, ka, mode, file);
  if (mode != kShowMatrix) return writevec(kr.n[0], kr.y, file, kr.yname, "y Matrix", 'w');
  fprintf(out_stream(), "y Label: %s\n", kr.yname);
  print_real_vector(kr.n[0], kr.y, "y:");
  return true;
}

// ---- R and F: computed, never read ----
void refuse_read(KrigModel**, KrigArray*, const char*) { say("Sorry, can't read that .. \n"); }

bool output_correlation_matrix(KrigModel** models, KrigArray*, int mode, const char* file) {
  const KrigModel& kr = (*models)[0];
  if (!requires(kr, "R")) return true;
  const int n = kr.n[0];
  if (mode != kShowMatrix)
    return writemat(n, n, kr.R, file, kr.xlabels, nullptr, "Correlation Matrix", 'w', false,
                    kr.d[0]);
  print_real_matrix(n, n, kr.R, "R:", false);
  return true;
}

bool output_regression_matrix(KrigModel** models, KrigArray*, int mode, const char* file) {
  const KrigModel& kr = (*models)[0];
  if (!requires(kr, "F")) return true;
  if (mode != kShowMatrix)
    return writemat(kr.n[0], kr.r[0], kr.F, file, nullptr, "F", "F Matrix", 'w', false);
  print_real_matrix(kr.n[0], kr.r[0], kr.F, "F:", false);
  return true;
}

// ---- The text tables: RegressionModel and YDescription ----
typedef int (*TableBuilder)(const KrigArray*, const KrigModel*, StringSlot***, StringSlot**, int*,
                            int*);

bool output_table(KrigModel** models, KrigArray* ka, int mode, const char* file,
                  TableBuilder build, const char* nothing_to_show, const char* title) {
  StringSlot** table = nullptr;
  StringSlot* names = nullptr;
  int rows = 0, cols = 0;
  if (build(ka, *models, &table, &names, &rows, &cols) != 0) {
    say(nothing_to_show);
    return true;
  }
  bool written = true;
  if (mode == kShowMatrix) {
    print_string_vector(cols, names, "");
    print_string_matrix(rows, cols, table, "");
  } else {
    written = write_string_matrix(rows, cols, table, file, names, nullptr, title, 'w');
  }
  free_string_matrix(rows, cols, &table);
  free_string_vector(cols, &names);
  return written;
}

void read_regression_model(KrigModel** models, KrigArray* ka, const char* file) {
  read_regmodel(models, ka, file);
}

bool output_regression_model(KrigModel** models, KrigArray* ka, int mode, const char* file) {
  return output_table(models, ka, mode, file, construct_regmat,
               "Sorry, there are no RegressionCoefficients.\n", "RegressionModel");
}

void read_y_description(KrigModel** models, KrigArray* ka, const char* file) {
  read_ydescrip(models, ka, file);
}

bool output_y_description(KrigModel** models, KrigArray* ka, int mode, const char* file) {
  return output_table(models, ka, mode, file, construct_ydescrip,
               "Sorry, there are no response variables.\n", "YDescription");
}

// ---- XDescription ----
void read_x_description(KrigModel** models, KrigArray* ka, const char* file) {
  if (!requires((*models)[0], "X")) return;
  read_xdescrip(*models, ka, file);
}

bool output_x_description(KrigModel** models, KrigArray*, int mode, const char* file) {
  const KrigModel& kr = (*models)[0];
  if (!requires(kr, "range")) return true;
  if (mode != kShowMatrix) return output_summary(&kr, file, "XDescription");
  print_real_matrix(kr.d[0], 2, kr.range, "range:", false);
  return true;
}

// ---- StochasticProcessModel ----
void read_correlation_parameters(KrigModel** models, KrigArray* ka, const char* file) {
  if (!requires((*models)[0], "X", "y")) return;
  read_corpar(*models, ka, file);
}

bool output_correlation_parameters(KrigModel** models, KrigArray* ka, int, const char* file) {
  const KrigModel& kr = (*models)[0];
  if (!requires(kr, "theta", "alpha")) return true;
  if (ka != nullptr && !ka->initialized) fatal_error("init corpar : ka is not initialized or NULL");
  const int rows = kr.d[0];
  const int cols = 2 * (ka != nullptr ? y_count_unchecked(ka) : 1) + 1;
  StringSlot** table = nullptr;
  StringSlot* names = nullptr;
  alloc_string_matrix(rows, cols, &table);
  alloc_string_vector(cols, &names);
  construct_cormat(*models, ka, table, names);
  const bool written =
      output_string_matrix(rows, cols, table, file, names, "CorrelationParameters");
  free_string_matrix(rows, cols, &table);
  free_string_vector(cols, &names);
  return written;
}

struct MatrixName {
  const char* name;
  bool command_word;  // a command line may start with it
};

struct MatrixRow {
  const MatrixName* names;  // ends with a null name
  void (*read)(KrigModel** models, KrigArray* ka, const char* file);
  // false when a file could not be written whole
  bool (*output)(KrigModel** models, KrigArray* ka, int mode, const char* file);
};

const MatrixName kDesignNames[] = {{"X", true}, {nullptr, false}};
const MatrixName kResponseNames[] = {{"y", true}, {"Y", true}, {nullptr, false}};
const MatrixName kRegressionModelNames[] = {
    {"beta", true}, {"RegressionModel", true}, {nullptr, false}};
const MatrixName kRegressionMatrixNames[] = {{"F", true}, {nullptr, false}};
const MatrixName kCorrelationMatrixNames[] = {{"R", true}, {nullptr, false}};
const MatrixName kXDescriptionNames[] = {
    {"range", true}, {"XDescription", true}, {"xdescription", true}, {nullptr, false}};
const MatrixName kCorparNames[] = {
    {"corpar", true}, {"StochasticProcessModel", true}, {nullptr, false}};
// "yDescription" is the name the dumps write under; no command starts with it.
const MatrixName kYDescriptionNames[] = {{"summary", true},      {"Summary", true},
                                         {"YDescription", true}, {"ydescrip", true},
                                         {"yDescription", false}, {nullptr, false}};

const MatrixRow kMatrices[] = {
    {kDesignNames, read_design, output_design},
    {kResponseNames, read_responses, output_responses},
    {kCorrelationMatrixNames, refuse_read, output_correlation_matrix},
    {kRegressionMatrixNames, refuse_read, output_regression_matrix},
    {kRegressionModelNames, read_regression_model, output_regression_model},
    {kXDescriptionNames, read_x_description, output_x_description},
    {kCorparNames, read_correlation_parameters, output_correlation_parameters},
    {kYDescriptionNames, read_y_description, output_y_description},
};

const MatrixName* find_matrix_name(const char* name, const MatrixRow** row) {
  for (const MatrixRow& r : kMatrices)
    for (const MatrixName* n = r.names; n->name != nullptr; n++)
      if (strcmp(n->name, name) == 0) {
        *row = &r;
        return n;
      }
  return nullptr;
}

const MatrixRow* find_matrix(const char* name) {
  const MatrixRow* row = nullptr;
  return find_matrix_name(name, &row) != nullptr ? row : nullptr;
}

void report_unknown_matrix(int mode, const char* name) {
  const char* format = mode == kShowMatrix    ? "Print pardon what ?  %s ?\n"
                       : mode == kWriteMatrix ? "Output pardon what ?  %s ?\n"
                                              : "Read pardon what ?  %s ?\n";
  fprintf(out_stream(), format, name);
}

}  // namespace

bool is_matrix_command_word(const char* word) {
  const MatrixRow* row = nullptr;
  const MatrixName* n = find_matrix_name(word, &row);
  return n != nullptr && n->command_word;
}

bool menu_print(KrigModel** models, KrigArray* ka, int mode, const char* name,
                const char* file_name) {
  check_invariant(ka != nullptr || mode != kReadMatrix, "menu_print: Code Bug , ka==NULL");
  const MatrixRow* row = find_matrix(name);
  if (row == nullptr) {
    report_unknown_matrix(mode, name);
    return true;
  }
  if (mode == kReadMatrix) {
    row->read(models, ka, file_name);
    return true;
  }
  return row->output(models, ka, mode, file_name);
}

void collect_ynames(const KrigArray* ka, const KrigModel* models, StringSlot* names) {
  for (int i = 0; i < y_count_unchecked(ka); i++)
    snprintf(names[i], kSlotLen, "%.29s", models[i].yname);
}
