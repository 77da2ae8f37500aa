#include "kriging/prediction_matrix.h"

#include <cstdio>

#include "base/interpreter.h"
#include "base/messages.h"
#include "base/refusal_watch.h"
#include "base/settings.h"
#include "data/database_listing.h"
#include "data/finite_checks.h"
#include "data/init_checks.h"
#include "data/matrix_reader.h"
#include "data/matrix_writer.h"
#include "data/model_store.h"
#include "data/point_columns.h"
#include "kriging/correlation.h"
#include "kriging/predictor.h"
#include "numeric/storage.h"
#include "numeric/vecutil.h"

namespace {

// A model predicts when its data and all its parameters are there. A
// variance still holding the missing-value marker (read as NA) counts as
// missing: it would turn every standard error negative.
bool parameters_ready(const KrigModel* kr) {
  if (!check_initialized(kr->init, "X", "y", "alpha", "theta", "beta", true)) return false;
  if (!check_initialized(kr->init, "var", nullptr, nullptr, nullptr, nullptr, true)) return false;
  if (kr->sigma2[0] == kNaMarker) {
    fprintf(out_stream(), "Sorry, can't do that. %s is not initialized.\n",
            "Stochastic Process Variance");
    return false;
  }
  return true;
}

// Responses holding NA, inf or nan are never fitted; parameters set before
// such a y was read (or read from files) do not make the model usable.
bool model_ready(const KrigModel* kr) {
  if (!last_fit_usable(kr)) return false;
  const bool parameters = parameters_ready(kr);
  const bool responses = responses_are_ready(kr);
  return parameters && responses;
}

// Every point is predicted from the model's decomposition for its
// parameters as they stand (built once, and again only when the design or a
// parameter has changed: reading a YDescription, for one, may change the
// stochastic share without touching R).
//
// The listing has always shown the singular-matrix warning twice per
// near-zero eigenvalue during Predict (the matrix used to be decomposed a
// second time for the prediction); the second line is kept so that
// listings stay as they were.
void repeat_singular_warnings(const KrigModel* kr) {
  const int m = kr->n[0] + kr->r[0];
  for (int i = 0; i < m; i++)
    if (is_singular_eigenvalue(kr->eigval[i]))
      print_warning("Correlation Matrix is singular. Proceed with fingers crossed. (T1)");
}

// Predictions and standard errors of model kr at the P points into columns
// column and column + 1 of result.
void predict_model(KrigModel* kr, int P, double* const* points, double** result, int column) {
  build_prediction_decomposition(kr);
  repeat_singular_warnings(kr);
  double** temp = nullptr;
  alloc_real_matrix(P, 2, &temp);
  krigblup(kr, P, points, temp);
  copy_matrix_offsets(P, 2, temp, 0, result, column);
  free_real_matrix(P, 2, &temp);
}

void name_column(StringSlot* slot, const char* prefix, const char* yname) {
  // The slot holds 29 characters; longer names are cut.
  char* dst = *slot;
  int k = 0;
  for (const char* c = prefix; *c != '\0' && k < kSlotLen - 1; c++) dst[k++] = *c;
  for (const char* c = yname; *c != '\0' && k < kSlotLen - 1; c++) dst[k++] = *c;
  dst[k] = '\0';
}

}  // namespace

void predict_matrix(KrigModel* models, KrigArray* ka, const char* input, const char* output) {
  FILE* out = out_stream();
  const int ycount = ky_count(ka);
  if (ycount == 0) {
    say_on_standard_output("Sorry, no response variables.\n");
    return;
  }
  if (!designs_are_usable(models, ka)) return;
  print_database(models, ka);

  double** points = nullptr;
  StringSlot* point_names = nullptr;
  int P = 0, cols = 0;
  const int rc = read_matrix(0, 0, &points, &P, &cols, input, &point_names);
  const int d = models[0].d[0];
  if (rc == 0 && cols != d)
    fprintf(out, "ERROR: Number of columns in matrix does not match the number of variables\n");
  bool headerless = false;
  if (rc != 0 || cols != d ||
      !arrange_point_columns(input, d, models[0].xlabels, &points, &P, point_names, &headerless) ||
      !matrix_is_usable(input, P, cols, points, point_names)) {
    if (P > 0 && cols > 0) free_real_matrix(P, cols, &points);
    if (cols > 0) free_string_vector(cols, &point_names);
    return;
  }

  const int width = 2 * ycount;
  double** result = nullptr;
  StringSlot* names = nullptr;
  alloc_real_matrix(P, width, &result);
  alloc_string_vector(width, &names);
  for (int i = 0; i < ycount; i++) {
    KrigModel* kr = &models[i];
    fprintf(out, "Predicting %s ... \n", kr->yname);
    name_column(&names[2 * i], "Pred.", kr->yname);
    name_column(&names[2 * i + 1], "SE.", kr->yname);
    if (model_ready(kr)) {
      predict_model(kr, P, points, result, 2 * i);
    } else {
      for (int p = 0; p < P; p++) result[p][2 * i] = result[p][2 * i + 1] = kNaMarker;
    }
  }
  output_matrix(P, width, result, output, names, "PredictionMatrix");

  free_real_matrix(P, width, &result);
  free_string_vector(width, &names);
  free_real_matrix(P, cols, &points);
  free_string_vector(cols, &point_names);
}
