#include "kriging/effects.h"

#include <climits>
#include <cstdio>
#include <vector>

#include "base/interpreter.h"
#include "base/messages.h"
#include "base/settings.h"
#include "data/finite_checks.h"
#include "data/init_checks.h"
#include "data/matrix_writer.h"
#include "data/model_matrices.h"
#include "data/model_store.h"
#include "data/svg_writer.h"
#include "kriging/correlation.h"
#include "kriging/effect_plots.h"
#include "kriging/predictor.h"
#include "numeric/storage.h"
#include "numeric/vecutil.h"

namespace {

const char* const kMainHeader = "    Term     Value       Effect       StandardError";
const char* const kJointHeader = "    Term1 Term2  Value1       Value2     Effect  StandardError";

// The model has what effects need; reports what is missing.
bool parameters_ready(const KrigModel* kr) {
  if (!check_initialized(kr->init, "X", "y", "alpha", "theta", "beta", true)) return false;
  return check_initialized(kr->init, "var", "range", nullptr, nullptr, nullptr, true);
}

bool ready_for_effects(const KrigModel* kr) {
  if (!last_fit_usable(kr)) return false;
  const bool parameters = parameters_ready(kr);
  const bool responses = responses_are_ready(kr);
  return parameters && responses;
}

// The tables are indexed with int: blocks of block_rows rows each that would
// give more rows than that are refused before anything is computed.
bool rows_fit_table(long long block_rows, long long blocks, int* result) {
  if (block_rows > INT_MAX || (blocks > 0 && block_rows > INT_MAX / blocks)) {
    fputs("Sorry, command ignored. The effects table would have too many rows; lower GridSize.\n",
          out_stream());
    return false;
  }
  *result = static_cast<int>(block_rows * blocks);
  return true;
}

// Brings the model's decomposition up to date and warns about points
// outside the ranges the grids span.
void prepare_model(KrigModel* kr) {
  if (PtsOutOfRange)
    fputs("WARNING: Effects are based on the range as given in Xdescription.\n    Not all X "
          "points are within that range.\n",
          out_stream());
  build_prediction_decomposition(kr);
}

// The grid points (rows x (d + 2) coordinates), their predictions and the
// text table written to the file.
struct EffectTables {
  int rows = 0, d = 0, text_cols = 0;
  double** real = nullptr;
  double** pred = nullptr;
  StringSlot** text = nullptr;
};

void alloc_tables(EffectTables* t, int rows, int d, int text_cols, double* const* range) {
  t->rows = rows;
  t->d = d;
  t->text_cols = text_cols;
  alloc_real_matrix(rows, d + 2, &t->real);
  alloc_real_matrix(rows, 2, &t->pred);
  alloc_string_matrix(rows, text_cols, &t->text);
  for (int i = 0; i < rows; i++)
    for (int l = 0; l < d; l++) t->real[i][l] = (range[l][0] + range[l][1]) / 2.0;
}

void free_tables(EffectTables* t) {
  free_real_matrix(t->rows, t->d + 2, &t->real);
  free_real_matrix(t->rows, 2, &t->pred);
  free_string_matrix(t->rows, t->text_cols, &t->text);
}

// Puts grid column g_col of rows [first, first + G) into real column l and text column t_col.
void place_grid_column(EffectTables* t, int first, int count, double* const* grid_rows, int g_col,
                       int l, int t_col) {
  copy_matrix_offsets(count, 1, grid_rows, g_col, t->real + first, l);
  copy_matrix_real_to_string(count, 1, grid_rows, g_col, t->text + first, t_col);
}

// Predicts every row, then fills the two result columns and their text.
void predict_rows(KrigModel* kr, EffectTables* t, int text_effect_col) {
  krigblup(kr, t->rows, t->real, t->pred);
  copy_matrix_offsets(t->rows, 2, t->pred, 0, t->real, t->d);
  copy_matrix_real_to_string(t->rows, 2, t->pred, 0, t->text, text_effect_col);
}

// False when the file could not be written whole (the writer has said so).
bool output_tables(const KrigModel* kr, EffectTables* t, const char* name, char mode,
                   const char* announcement, const char* header, const char* title) {
  if (is_screen(name)) {
    print_string_vector(kr->d[0], kr->xlabels, "Labels:");
    print_real_matrix(t->rows, t->d + 2, t->real, "", false);
    return true;
  }
  fprintf(out_stream(), announcement, name);
  return write_string_matrix(t->rows, t->text_cols, t->text, name, nullptr, header, title, mode);
}

void put_label(StringSlot slot, const char* label) { snprintf(slot, kSlotLen, "%.29s", label); }

void put_pair_label(StringSlot slot, const char* a, const char* b) {
  char both[2 * kSlotLen + 2];
  snprintf(both, sizeof both, "%.29s  %.29s", a, b);
  put_label(slot, both);
}

// What the effects of one model came to.
enum class EffectsOutcome { kNotReady, kShown, kNotWritten };

typedef EffectsOutcome (*EffectsOfModel)(KrigModel* kr, const char* name, char mode);

// Every y variable into one file: the first table written replaces the
// file, so a model that is not ready never leaves an old file to append to.
void effects_of_all_models(KrigModel* models, const KrigArray* ka, const char* name,
                           EffectsOfModel effects) {
  const int count = y_count_unchecked(ka) > 0 ? y_count_unchecked(ka) : 1;
  bool written = false;
  for (int i = 0; i < count; i++) {
    const EffectsOutcome outcome = effects(&models[i], name, written ? 'a' : 'w');
    // A file that cannot be written is not tried again for the next model.
    if (outcome == EffectsOutcome::kNotWritten) return;
    if (outcome == EffectsOutcome::kShown) written = true;
  }
}

}  // namespace

namespace {

// Fills t with the main effects of kr; false when the model is not ready
// (reported) and t was left empty.
bool compute_main_effects(KrigModel* kr, EffectTables* t) {
  if (!ready_for_effects(kr)) return false;
  const int d = kr->d[0], G = g_settings.GridSize;
  int rows = 0;
  if (!rows_fit_table(G, d, &rows)) return false;
  prepare_model(kr);
  alloc_tables(t, rows, d, 4, kr->range);
  for (int l = 0; l < d; l++) {
    double** values = nullptr;
    int count = 0;
    grid(G, 1, &kr->range[l], &values, &count);
    place_grid_column(t, l * G, G, values, 0, l, 1);
    for (int g = 0; g < G; g++) put_label(t->text[l * G + g][0], kr->xlabels[l]);
    free_real_matrix(count, 1, &values);
  }
  predict_rows(kr, t, 2);
  return true;
}

// The same for every pair of x variables.
bool compute_joint_effects(KrigModel* kr, EffectTables* t) {
  if (!ready_for_effects(kr)) return false;
  const int d = kr->d[0], G = g_settings.GridSize;
  const long long pairs = static_cast<long long>(d) * (d - 1) / 2;
  int rows = 0;
  if (!rows_fit_table(static_cast<long long>(G) * G, pairs, &rows)) return false;
  const int block = G * G;  // fits: checked with the rows
  prepare_model(kr);
  alloc_tables(t, rows, d, 5, kr->range);
  int first = 0;
  for (int l = 0; l < d; l++) {
    for (int l2 = l + 1; l2 < d; l2++) {
      double* pair_ranges[2] = {kr->range[l], kr->range[l2]};
      double** values = nullptr;
      int count = 0;
      grid(G, 2, pair_ranges, &values, &count);
      place_grid_column(t, first, block, values, 0, l, 1);
      place_grid_column(t, first, block, values, 1, l2, 2);
      for (int g = 0; g < block; g++)
        put_pair_label(t->text[first + g][0], kr->xlabels[l], kr->xlabels[l2]);
      free_real_matrix(count, 2, &values);
      first += block;
    }
  }
  predict_rows(kr, t, 3);
  return true;
}

typedef bool (*ComputeEffects)(KrigModel* kr, EffectTables* t);
typedef bool (*WriteEffectsPicture)(const char* file_name, const EffectPlotModel* models,
                                    int count);

EffectPlotModel plot_model(const KrigModel* kr, const EffectTables& t) {
  EffectPlotModel m;
  m.yname = kr->yname;
  m.d = kr->d[0];
  m.G = g_settings.GridSize;
  m.n = kr->n[0];
  m.range = kr->range;
  m.X = kr->X;
  m.xlabels = kr->xlabels;
  m.table = t.real;
  return m;
}

// Every y variable's effects in one picture, a row of panels for each model
// that is ready.
void effects_picture(KrigModel* models, const KrigArray* ka, const char* name,
                     ComputeEffects compute, WriteEffectsPicture write,
                     const char* announcement) {
  const int count = y_count_unchecked(ka) > 0 ? y_count_unchecked(ka) : 1;
  std::vector<EffectTables> tables(count);
  std::vector<EffectPlotModel> plots;
  for (int i = 0; i < count; i++)
    if (compute(&models[i], &tables[i])) plots.push_back(plot_model(&models[i], tables[i]));
  if (!plots.empty()) {
    fprintf(out_stream(), announcement, name);
    write(name, plots.data(), static_cast<int>(plots.size()));
  }
  for (EffectTables& t : tables)
    if (t.real != nullptr) free_tables(&t);
}

EffectsOutcome main_effects_outcome(KrigModel* kr, const char* name, char mode) {
  EffectTables t;
  if (!compute_main_effects(kr, &t)) return EffectsOutcome::kNotReady;
  const bool written = output_tables(kr, &t, name, mode, "Writing Main Effects to '%s' file...\n",
                                     kMainHeader, "MainEffects");
  free_tables(&t);
  return written ? EffectsOutcome::kShown : EffectsOutcome::kNotWritten;
}

EffectsOutcome joint_effects_outcome(KrigModel* kr, const char* name, char mode) {
  EffectTables t;
  if (!compute_joint_effects(kr, &t)) return EffectsOutcome::kNotReady;
  const bool written = output_tables(kr, &t, name, mode, "Writing Joint Effects to '%s' file...\n",
                                     kJointHeader, "JointEffects");
  free_tables(&t);
  return written ? EffectsOutcome::kShown : EffectsOutcome::kNotWritten;
}

}  // namespace

bool main_effects(KrigModel* kr, const char* name, char mode) {
  return main_effects_outcome(kr, name, mode) != EffectsOutcome::kNotReady;
}

bool joint_effects(KrigModel* kr, const char* name, char mode) {
  return joint_effects_outcome(kr, name, mode) != EffectsOutcome::kNotReady;
}

void write_main_effects(KrigModel* models, KrigArray* ka, const char* name) {
  if (!designs_are_usable(models, ka)) return;
  if (is_svg_name(name))
    effects_picture(models, ka, name, compute_main_effects, write_main_effects_svg,
                    "Writing Main Effects to '%s' file...\n");
  else
    effects_of_all_models(models, ka, name, main_effects_outcome);
}

void write_joint_effects(KrigModel* models, KrigArray* ka, const char* name) {
  // One x variable has no pair: say so rather than write an empty table.
  if (models[0].init.X && models[0].d[0] < 2) {
    fputs("Sorry, joint effects need at least two x variables.\n", out_stream());
    return;
  }
  if (!designs_are_usable(models, ka)) return;
  if (is_svg_name(name))
    effects_picture(models, ka, name, compute_joint_effects, write_joint_effects_svg,
                    "Writing Joint Effects to '%s' file...\n");
  else
    effects_of_all_models(models, ka, name, joint_effects_outcome);
}
