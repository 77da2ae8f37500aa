#include "kriging/cross_validation.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "base/interpreter.h"
#include "base/messages.h"
#include "base/progress.h"
#include "base/settings.h"
#include "data/database_listing.h"
#include "data/finite_checks.h"
#include "data/init_checks.h"
#include "data/matrix_reader.h"
#include "data/matrix_writer.h"
#include "data/model_store.h"
#include "data/point_columns.h"
#include "data/output_matrices.h"
#include "data/svg_writer.h"
#include "kriging/cv_plot.h"
#include "kriging/normal.h"
#include "kriging/predictor.h"
#include "numeric/storage.h"
#include "numeric/vecutil.h"

namespace {

constexpr int kCvColumns = 3;

void release_validation_set(int N, int d, double*** Xv, double** yv) {
  if (*Xv != nullptr) free_real_matrix(N, d, Xv);
  if (*yv != nullptr) free_real_vector(N, yv);
  *Xv = nullptr;
  *yv = nullptr;
}

// A matrix just read, released with the dimensions the reader reports.
struct ReadBack {
  double** cells = nullptr;
  StringSlot* names = nullptr;
  int rows = 0, cols = 0;
  ~ReadBack() {
    if (rows > 0 && cols > 0) free_real_matrix(rows, cols, &cells);
    if (cols > 0) free_string_vector(cols, &names);
  }
};

void copy_name(char* out_name, const char* name) { snprintf(out_name, kCvNameSize, "%s", name); }

void fill_missing(int N, double** result) {
  for (int i = 0; i < N; i++)
    for (int j = 0; j < kCvColumns; j++) result[i][j] = kNaMarker;
}

void leave_one_out(KrigModel* kr, double* const* Xv, const double* yv, int N, int d,
                   double** result) {
  double** Xrest = nullptr;
  double* yrest = nullptr;
  alloc_real_matrix(N - 1, d, &Xrest);
  alloc_real_vector(N - 1, &yrest);
  const int r = kr->r[0];
  for (int i = 0; i < N; i++) {
    show_progress("CrossValidate %s: point %d/%d", kr->yname, i + 1, N);
    copy_real_matrix_minus_1row(N, d, Xv, i, Xrest);
    copy_real_vector_minus_one(N, yv, i, yrest);
    AnyXState state;
    init_krigmse_anyX(&state, kr, Xrest, N - 1, d, r);
    krigmse_anyX(&state, kr, Xrest, yrest, N - 1, d, 1, &Xv[i], &result[i]);
    free_krigmse_anyX(&state, N - 1, r);
  }
  free_real_matrix(N - 1, d, &Xrest);
  free_real_vector(N - 1, &yrest);
}

// Writes the first N rows of the result under their column names.
void write_result(int N, int k, double* const* result, const KrigModel* models,
                  const char* out_name) {
  StringSlot* names = nullptr;
  alloc_string_vector(kCvColumns * k, &names);
  snprintf(names[0], kSlotLen, "CvPred");
  snprintf(names[1], kSlotLen, "CvSe");
  snprintf(names[2], kSlotLen, "CvEi");
  append_ynames(models, k, kCvColumns, names);
  output_matrix(N, kCvColumns * k, result, out_name, names, "CrossValidationMatrix");
  free_string_vector(kCvColumns * k, &names);
}

// Draws the predictions of every y variable against its observed values:
// on the model's own design each y variable's own responses, otherwise the
// validation file's.
void plot_result(int N, int k, double* const* result, const KrigModel* models,
                 const double* validation_y, bool own_design, const char* out_name) {
  std::vector<double> predicted(static_cast<size_t>(N) * k), std_error(predicted.size());
  std::vector<CvPlotSeries> series(k);
  for (int i = 0; i < k; i++) {
    double* pred = &predicted[static_cast<size_t>(N) * i];
    double* se = &std_error[static_cast<size_t>(N) * i];
    for (int r = 0; r < N; r++) {
      pred[r] = result[r][kCvColumns * i];
      se[r] = result[r][kCvColumns * i + 1];
    }
    series[i].yname = models[i].yname;
    series[i].N = N;
    series[i].observed = own_design ? models[i].y : validation_y;
    series[i].predicted = pred;
    series[i].std_error = se;
  }
  fprintf(out_stream(), "Writing to file %s.\n", out_name);
  write_cross_validation_svg(out_name, series.data(), k);
}

}  // namespace

int read_xy_files(const char* x_file, const char* y_file, const StringSlot* xnames, int* N, int d,
                  double*** Xv, double** yv) {
  ReadBack x;
  if (read_matrix(0, 0, &x.cells, &x.rows, &x.cols, x_file, &x.names) != 0) return 1;
  if (x.cols != d) {
    say("ERROR: Incorrect number of columns\n");
    return 1;
  }
  bool headerless = false;
  if (!arrange_point_columns(x_file, d, xnames, &x.cells, &x.rows, x.names, &headerless))
    return 1;
  if (!matrix_is_usable(x_file, x.rows, x.cols, x.cells, x.names)) return 1;
  ReadBack y;
  if (read_matrix(0, 0, &y.cells, &y.rows, &y.cols, y_file, &y.names) != 0) return 1;
  if (headerless && y.cols == 1) arrange_value_column(y_file, &y.cells, &y.rows, y.names);
  if (y.rows != x.rows) {
    say("ERROR: Incorrect number of rows\n");
    return 1;
  }
  if (y.cols != 1) {
    say("ERROR: More than one y is not yet programmed \n");
    return 1;
  }
  if (!matrix_is_usable(y_file, y.rows, y.cols, y.cells, y.names)) return 1;
  *N = x.rows;
  alloc_real_matrix(*N, d, Xv);
  copy_real_matrix(*N, d, x.cells, *Xv);
  alloc_real_vector(*N, yv);
  for (int i = 0; i < *N; i++) (*yv)[i] = y.cells[i][0];
  return 0;
}

int get_validation_set(const KrigModel* kr, const char* x_file, const char* y_file,
                       const char* out, char* out_name, int* N, double*** Xv, double** yv) {
  const int n = kr->n[0], d = kr->d[0];
  *Xv = nullptr;
  *yv = nullptr;
  copy_name(out_name, out);
  if (x_file == nullptr) {
    *N = n;
    alloc_real_matrix(n, d, Xv);
    copy_real_matrix(n, d, kr->X, *Xv);
    alloc_real_vector(n, yv);
    copy_real_vector(n, kr->y, *yv);
  } else {
    if (read_xy_files(x_file, y_file, kr->xlabels, N, d, Xv, yv) != 0) return 1;
    if (strcmp(out_name, x_file) == 0 || strcmp(out_name, y_file) == 0) {
      say("ERROR: Attempting to overwrite input file\n");
      release_validation_set(*N, d, Xv, yv);
      return 1;
    }
    if (*N > n) {
      say("ERROR: Cross Validation files contain more rows than model.\n");
      release_validation_set(*N, d, Xv, yv);
      return 1;
    }
  }
  // Leaving one point out of one leaves nothing to predict from.
  if (*N < 2) {
    say("Sorry, cross-validation needs at least two points.\n");
    release_validation_set(*N, d, Xv, yv);
    return 1;
  }
  return 0;
}

void cross_validate_model(KrigModel* kr, double* const* Xv, const double* yv, int N, int d,
                          double** result, int) {
  if (!last_fit_usable(kr)) {
    fill_missing(N, result);
    return;
  }
  const bool parameters =
      check_initialized(kr->init, "alpha", "theta", "beta", "var", nullptr, true);
  const bool responses = responses_are_ready(kr);
  if (!parameters || !responses) {
    fill_missing(N, result);
    return;
  }
  leave_one_out(kr, Xv, yv, N, d, result);
  const double ymin = Real_Minimum(kr->n[0], kr->y);
  ExpectedImprovement(result, N, 0.0, ymin);
}

void cross_validate_all(KrigModel* models, KrigArray* ka, const char* x_file, const char* y_file,
                        const char* out) {
  KrigModel* m0 = &models[0];
  if (!check_initialized(m0->init, "X", "y", "alpha", "theta", "beta", true)) return;
  if (!check_initialized(m0->init, "var", nullptr, nullptr, nullptr, nullptr, true)) return;
  if (!designs_are_usable(models, ka)) return;
  const int k = y_count_unchecked(ka), n = m0->n[0], d = m0->d[0];
  char out_name[kCvNameSize];
  double** result = nullptr;
  double** one = nullptr;
  alloc_real_matrix(n, kCvColumns * k, &result);
  alloc_real_matrix(n, kCvColumns, &one);
  print_database(models, ka);
  int N = 0;
  double** Xv = nullptr;
  double* yv = nullptr;
  if (get_validation_set(m0, x_file, y_file, out, out_name, &N, &Xv, &yv) == 0) {
    for (int i = 0; i < k; i++) {
      KrigModel* kr = &models[i];
      fprintf(out_stream(), "CrossValidating %s ... \n", kr->yname);
      // On its own design each y variable is validated against its own responses.
      if (x_file == nullptr) copy_real_vector(N, kr->y, yv);
      cross_validate_model(kr, Xv, yv, N, d, one, kCvColumns);
      copy_matrix_offsets(N, kCvColumns, one, 0, result, kCvColumns * i);
    }
    if (is_svg_name(out_name))
      plot_result(N, k, result, models, yv, x_file == nullptr, out_name);
    else
      write_result(N, k, result, models, out_name);
    release_validation_set(N, d, &Xv, &yv);
  }
  free_real_matrix(n, kCvColumns * k, &result);
  free_real_matrix(n, kCvColumns, &one);
}
