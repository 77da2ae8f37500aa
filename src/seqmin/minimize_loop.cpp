#include "seqmin/minimize_loop.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/interpreter.h"
#include "base/messages.h"
#include "base/safe_files.h"
#include "base/progress.h"
#include "base/settings.h"
#include "data/database_listing.h"
#include "data/dumps.h"
#include "data/finite_checks.h"
#include "data/init_checks.h"
#include "data/matrix_reader.h"
#include "data/matrix_writer.h"
#include "data/model_store.h"
#include "data/output_matrices.h"
#include "kriging/correlation.h"
#include "kriging/mle_tries.h"
#include "kriging/predictor.h"
#include "numeric/storage.h"
#include "numeric/vecutil.h"
#include "seqmin/criterion_max.h"
#include "seqmin/evaluation_journal.h"
#include "seqmin/expected_improvement.h"
#include "seqmin/folder_lock.h"
#include "seqmin/objective_processes.h"
#include "seqmin/stage_proposal.h"

double g_ymin = 0.0;
int g_ymin_index = 1;

namespace {

constexpr int kYNamesCapacity = 150;
// Longest exchange-file token read; a longer one is refused.
constexpr int kExchangeTokenWidth = 127;
constexpr int kDoMleRaiseAt = 100;
constexpr int kDoMleRaisedFrequency = 10;
constexpr int kTempDumpFrom = 100;
constexpr int kConvergedRunsNeeded = 3;
// A coordinate whose range is at least this wide is written with "%f": its
// six decimals leave at most 5e-7 of the width unsaid, and the design stores
// the value that text reads back as. Narrower ranges get the exact text.
constexpr double kFixedExchangeWidth = 1.0;
constexpr int kCoordinateTextSize = 64;
// Room for the longest message about an unreadable exchange file.
constexpr int kExchangeMessageSize = 400;

const char* const kDashes56 = "--------------------------------------------------------\n";

enum class TokenRead { kRead, kNone, kTooLong };

bool is_token_separator(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// The next blank-, tab- or line-separated word of f, whole: a word that does
// not fit token (capacity characters with the terminator) is kTooLong.
TokenRead read_exchange_token(FILE* f, char* token, int capacity) {
  int c = fgetc(f);
  while (c != EOF && is_token_separator(c)) c = fgetc(f);
  if (c == EOF) return TokenRead::kNone;
  int length = 0;
  for (; c != EOF && !is_token_separator(c); c = fgetc(f)) {
    if (length + 1 >= capacity) return TokenRead::kTooLong;
    token[length++] = static_cast<char>(c);
  }
  token[length] = '\0';
  return TokenRead::kRead;
}

// The grid of the "quantile" stopping rule, built by minimize_sequential.
struct QuantileGrid {
  double** points = nullptr;
  int count = 0;
  int d = 0;
  KrigModel* model = nullptr;  // the response model predicted on it
};
QuantileGrid g_quantile;

KrigModel* response_of(KrigModel* models, const KrigArray* ka) {
  return &models[ka->resp_index[0]];
}

// The smoothed prediction of the response model at its design point index
// (1-based), from its own X and y.
double smoothed_response(KrigModel* kr, int index) {
  const int n = kr->n[0], d = kr->d[0], r = kr->r[0];
  double** result = nullptr;
  alloc_real_matrix(1, 2, &result);
  double* point[1] = {kr->X[index - 1]};
  AnyXState state;
  init_krigmse_anyX(&state, kr, kr->X, n, d, r);
  krigmse_anyX(&state, kr, kr->X, kr->y, n, d, 1, point, result);
  free_krigmse_anyX(&state, n, r);
  const double value = result[0][0];
  free_real_matrix(1, 2, &result);
  return value;
}

// Smallest response among the observations whose constraints are met.
double feasible_minimum(KrigModel* models, KrigArray* ka, int* index) {
  const int n = models[0].n[0];
  const int k = ky_count(ka);
  const int resp = ka->resp_index[0];
  double** ymat = nullptr;
  double* values = nullptr;
  int* rows = nullptr;
  alloc_real_matrix(n, k, &ymat);
  alloc_real_vector(n, &values);
  alloc_int_vector(n, &rows);
  char names[kYNamesCapacity];
  if (construct_ymat(models, ka, ymat, names, kYNamesCapacity))
    fatal_error("calc_ymin: y labels are too long .");
  int m = 0;
  for (int i = 0; i < n; i++) {
    if (check_constraints(1, k, &ymat[i], ka->ydescrip)) continue;
    values[m] = ymat[i][resp];
    rows[m] = i;
    m++;
  }
  int position = 0;
  const double minimum = real_minimum_index(m, values, &position);
  *index = rows[position - 1] + 1;
  free_real_matrix(n, k, &ymat);
  free_real_vector(n, &values);
  free_int_vector(n, &rows);
  return minimum;
}

void set_target_from_ymin(MinimizeContext* c) {
  if (g_settings.target_set) return;
  c->target = g_ymin;
  g_settings.MinimizationTarget = g_ymin;
}

void build_quantile_grid(KrigModel* kr) {
  g_quantile.d = kr->d[0];
  g_quantile.model = kr;
  grid(g_settings.GridSize, g_quantile.d, kr->range, &g_quantile.points, &g_quantile.count);
}

void release_quantile_grid() {
  if (g_quantile.points) free_real_matrix(g_quantile.count, g_quantile.d, &g_quantile.points);
  g_quantile = QuantileGrid();
}

// Refits the response and every constraint; false when one of them could not
// be fitted (it said why).
bool fit_models(KrigModel* models, KrigArray* ka) {
  FILE* out = out_stream();
  KrigModel* resp = response_of(models, ka);
  fprintf(out, "Fitting Response %s...\n", resp->yname);
  mle_fit(resp, 0);
  bool fitted = resp->fit_failure == kFitNotFailed;
  for (int c = 0; c < ka->ncons; c++) {
    KrigModel* con = &models[ka->cons_index[c]];
    fprintf(out, "Fitting Constraint %s...\n", con->yname);
    mle_fit(con, 0);
    if (con->fit_failure != kFitNotFailed) fitted = false;
  }
  return fitted;
}

// R, F and the decomposition of one model for its present parameters (kept
// from its fit when nothing has changed since).
void recompute_decomposition(KrigModel* kr) { build_prediction_decomposition(kr); }

// "Minimize: evaluation 12/40, best 0.4012": the next evaluation, of
// MaxEvaluations when set, and the best value so far.
void show_minimize_progress(int evaluations, int budget) {
  if (budget > 0)
    show_progress("Minimize: evaluation %d/%d, best %.4g", evaluations + 1, budget, g_ymin);
  else
    show_progress("Minimize: evaluation %d, best %.4g", evaluations + 1, g_ymin);
}

void refresh_models(KrigModel* models, KrigArray* ka) {
  recompute_decomposition(response_of(models, ka));
  for (int c = 0; c < ka->ncons; c++) recompute_decomposition(&models[ka->cons_index[c]]);
}

}  // namespace

// ---- Shared entry checks ----

bool check_constraint_models(KrigModel* models, KrigArray* ka, bool fitted) {
  bool ok = true;
  for (int c = 0; c < ka->ncons; c++) {
    const KrigModel* con = &models[ka->cons_index[c]];
    const KrigInit& init = con->init;
    if (!check_initialized(init, "X", "y", "range", nullptr, nullptr, true)) ok = false;
    if (fitted && !check_initialized(init, "alpha", "beta", "theta", "var", nullptr, true))
      ok = false;
    if (fitted && !last_fit_usable(con)) ok = false;
    if (!responses_are_ready(con)) ok = false;
  }
  if (!ok) fprintf(out_stream(), "The previous message(s) refer to the constraints\n");
  return ok;
}

bool minimize_entry_checks(KrigModel* models, KrigArray* ka, bool fitted) {
  if (!check_responses(ka)) return false;
  if (!designs_are_usable(models, ka)) return false;
  if (ka->ncons > 0 && !check_constraint_models(models, ka, fitted)) return false;
  const KrigModel* resp = response_of(models, ka);
  const KrigInit& init = resp->init;
  bool ready;
  if (!fitted)
    ready = check_initialized(init, "X", "y", "range", "FuncName", nullptr, true);
  else
    ready = check_initialized(init, "X", "y", "range", nullptr, nullptr, true) &&
            check_initialized(init, "alpha", "beta", "theta", "var", nullptr, true) &&
            last_fit_usable(resp);
  // Missing or non-finite responses can neither be fitted nor give ymin.
  const bool responses = responses_are_ready(resp);
  return ready && responses;
}

// ---- ymin ----

void calc_ymin(KrigArray* ka, KrigModel* models) {
  KrigModel* resp = response_of(models, ka);
  if (ka->ncons > 0)
    g_ymin = feasible_minimum(models, ka, &g_ymin_index);
  else
    g_ymin = real_minimum_index(resp->n[0], resp->y, &g_ymin_index);
  // Smoothing needs fitted parameters; before the first fit of a Minimize
  // run the observed value stands.
  if (g_settings.RandomError && resp->init.alpha && resp->init.theta && resp->init.var)
    g_ymin = smoothed_response(resp, g_ymin_index);
}

void update_ymin(KrigArray* ka, const double* ynew, int row) {
  const double y = ynew[ka->resp_index[0]];
  if (!(y < g_ymin)) return;
  double* rows[1] = {const_cast<double*>(ynew)};
  if (ka->ncons > 0 && check_constraints(1, ky_count(ka), rows, ka->ydescrip)) return;
  g_ymin = y;
  g_ymin_index = row;
}

// ---- Schedule and stopping rule ----

bool do_mle(int it, int n, int last_fit_n) {
  check_invariant(last_fit_n != 0, "do_mle: Code Bug , last_mle_n==0");
  if (n == kDoMleRaiseAt && g_settings.MleFrequency < kDoMleRaisedFrequency)
    g_settings.MleFrequency = kDoMleRaisedFrequency;
  if (it == 0) return true;
  if (n >= g_settings.MleMaxObs) return false;
  const double p = g_settings.MlePercentage;
  if (p != 0.0) return p <= static_cast<double>(n) / last_fit_n - 1;
  return it % g_settings.MleFrequency == 0;
}

bool ConvergeCrit(double target, double best) {
  const char* rule = g_settings.StoppingCriterion;
  if (strcmp(rule, "tolerance") == 0) {
    if (best < g_settings.StoppingAbsoluteTolerance) return true;
    return target != 0.0 && fabs(best / target) < g_settings.StoppingRelativeTolerance;
  }
  if (strcmp(rule, "quantile") == 0) {
    if (g_quantile.points && g_quantile.model) {
      double** result = nullptr;
      alloc_real_matrix(g_quantile.count, 2, &result);
      krigblup(g_quantile.model, g_quantile.count, g_quantile.points, result);
      int zero = 0;
      for (int i = 0; i < g_quantile.count; i++)
        if (!(result[i][1] > 0.0)) zero++;
      free_real_matrix(g_quantile.count, 2, &result);
      if (zero > 0)
        fprintf(out_stream(), "%d variables in entire grid have 0 standard error.\n)", zero);
    }
    fatal_error("This option has been removed");
  }
  fatal_error("ConvergeCrit: This method doesn't exist ");
}

int count_convergence(int conv, int n, double target, double best) {
  if (g_settings.MinimumSample > 0 && n < g_settings.MinimumSample) return 0;
  if (ConvergeCrit(target, best)) return conv + 1;
  if (conv > 0) print_info("3 Consecutive Convergences Interrupted");
  return 0;
}

// ---- The exchange with the objective ----

double format_exchange_coordinate(double value, const double* range, char* text, int capacity) {
  if (range == nullptr || range[1] - range[0] >= kFixedExchangeWidth) {
    snprintf(text, capacity, "%f", value);
    const double written = strtod(text, nullptr);
    // Rounding must not carry a point inside the range out of it.
    const bool inside = range == nullptr || !(value >= range[0] && value <= range[1]) ||
                        (written >= range[0] && written <= range[1]);
    if (inside) return written;
  }
  format_exact_number(value, text, capacity);
  return value;
}

namespace {

// Writes contents as the exchange file: whole, under a fresh name renamed
// into place, so a link or special file planted at its name is never written
// through. False with the reason in message.
bool write_exchange_text(const char* file, const std::string& contents, char* message,
                         int capacity) {
  const FileKind kind = file_kind(file);
  if (kind != FileKind::kMissing && kind != FileKind::kRegular) {
    snprintf(message, capacity,
             "sample_new_y: %s is %s, not a regular file; DORVE does not write through it. ",
             file, file_kind_words(kind));
    return false;
  }
  if (!replace_file_text(file, contents.data(), contents.size())) {
    snprintf(message, capacity, "sample_new_y: Can't open/create %s for writing. ", file);
    return false;
  }
  return true;
}

void append_exchange_item(std::string* contents, const char* format, const char* text) {
  char item[kCoordinateTextSize + 4];
  snprintf(item, sizeof item, format, text);
  *contents += item;
}

std::string exchange_count(int d) {
  char count[16];
  snprintf(count, sizeof count, "%d ", d);
  return count;
}

}  // namespace

bool write_exchange_file_checked(const char* file, int d, const double* x, double* const* range,
                                 double* written, char* message, int capacity) {
  std::string contents = exchange_count(d);
  char text[kCoordinateTextSize];
  for (int j = 0; j < d; j++) {
    const double value = format_exchange_coordinate(x[j], range ? range[j] : nullptr, text,
                                                    sizeof text);
    if (written != nullptr) written[j] = value;
    append_exchange_item(&contents, " %s ", text);
  }
  return write_exchange_text(file, contents, message, capacity);
}

bool write_exact_exchange_file(const char* file, int d, const double* x, char* message,
                               int capacity) {
  std::string contents = exchange_count(d);
  char text[kCoordinateTextSize];
  for (int j = 0; j < d; j++) {
    format_exact_number(x[j], text, sizeof text);
    append_exchange_item(&contents, " %s ", text);
  }
  return write_exchange_text(file, contents, message, capacity);
}

void write_exchange_file_named(const char* file, int d, const double* x, double* const* range) {
  char message[kExchangeMessageSize];
  if (!write_exchange_file_checked(file, d, x, range, nullptr, message, sizeof message))
    fatal_error(message);
}

void write_exchange_file(int d, const double* x, double* const* range) {
  write_exchange_file_named(kExchangeFile, d, x, range);
}

bool objective_command_line(const char* objective, bool is_command, char* buffer, int capacity) {
  const int written = is_command ? snprintf(buffer, capacity, "%s", objective)
                                 : snprintf(buffer, capacity, "%s %s", objective, kExchangeFile);
  return written >= 0 && written < capacity;
}

bool read_exchange_file_named(const char* file, int d, int k, double* ynew, char* message,
                              int capacity) {
  FILE* f = open_regular_for_reading(file);
  if (!f) {
    const FileKind kind = file_kind(file);
    if (kind != FileKind::kMissing && kind != FileKind::kRegular)
      snprintf(message, capacity, "sample_new_y: %s is %s, not a regular file; it is not read. ",
               file, file_kind_words(kind));
    else
      snprintf(message, capacity, "sample_new_y: Can't open  %s for reading. ", file);
    return false;
  }
  char token[kExchangeTokenWidth + 1];
  for (int i = 0; i < d + 1 + k; i++) {
    const TokenRead got = read_exchange_token(f, token, sizeof token);
    if (got == TokenRead::kNone) {
      fclose(f);
      snprintf(message, capacity,
               "sample_new_y: Possible reasons:\n\t(1) Minimization Function File does not exist "
               "in directory supplied. \n\t(2) Not enough values in  %s for reading.\n\t(3) "
               "Number of x-vars in Minimization Function and Program Database \n\t  don't match.",
               file);
      return false;
    }
    if (got == TokenRead::kTooLong) {
      // Cut into pieces, a long number would be read as another one.
      fclose(f);
      snprintf(message, capacity,
               "Sample New Points: a value in %s is longer than %d characters and cannot be read",
               file, kExchangeTokenWidth);
      return false;
    }
    if (i <= d) continue;
    if (parse_real_or_na(token, &ynew[i - d - 1], kNaMarker) != 0) {
      fclose(f);
      snprintf(message, capacity, "%s",
               "Sample New Points: Not all new points can be interpreted as a number");
      return false;
    }
  }
  fclose(f);
  return true;
}

void read_exchange_file(int d, int k, double* ynew) {
  char message[kExchangeMessageSize];
  if (!read_exchange_file_named(kExchangeFile, d, k, ynew, message, sizeof message))
    fatal_error(message);
}

// Runs the objective command on the exchange file as the commands of
// several evaluations at once run: in a process group of its own, which an
// interrupt, hangup or termination request of the run ends too, and which
// ObjectiveTimeout stops once it overruns.
CommandOutcome run_objective_command(const char* command) {
  CommandOutcome outcome;
  run_commands_at_once(1, &command, &outcome, g_settings.ObjectiveTimeout);
  return outcome;
}

bool evaluate_objective(const char* objective, int d, double* x, int k, double* ynew,
                        double* const* range, char* message, int capacity) {
  if (!write_exchange_file_checked(kExchangeFile, d, x, range, x, message, capacity)) return false;
  char command[kObjectiveTextSize + 16];
  if (!objective_command_line(objective, g_settings.objective_is_command, command,
                              static_cast<int>(sizeof command))) {
    snprintf(message, capacity, "%s", "sample_new_y: objective command too long");
    return false;
  }
  // A command that failed gives no answer, whatever the file holds.
  const CommandOutcome outcome = run_objective_command(command);
  if (command_failed(outcome, kExchangeFile, g_settings.ObjectiveTimeout, message, capacity))
    return false;
  return read_exchange_file_named(kExchangeFile, d, k, ynew, message, capacity);
}

void sample_new_y(const char* objective, int d, const double* x, int k, double* ynew,
                  double* const* range) {
  char message[kExchangeMessageSize];
  std::vector<double> point(x, x + d);
  if (!evaluate_objective(objective, d, point.data(), k, ynew, range, message, sizeof message))
    fatal_error(message);
}

// ---- Report and growth ----

void report_new_point(const MinimizeContext& c, int n, int d, const double* x, int k,
                      const double* ynew, double best, int resp, bool constraints) {
  FILE* out = out_stream();
  const double target = c.target;
  print_real_vector(d, x, "xbest:");
  if (constraints) {
    fprintf(out, "Responses at xbest: ");
    for (int j = 0; j < k; j++) {
      if (ynew[j] == kNaMarker)
        fprintf(out, " NA ");
      else
        fprintf(out, " %7.3e ", ynew[j]);
    }
    fprintf(out, "\n");
    fprintf(out, "Criterion:%6.4e ", best);
    fprintf(out, "RelCrit:%6.4e ", best / fabs(target));
    fprintf(out, "P(constr. met)=%5.3f ", prob_constraints_met(c, x));
    fprintf(out, "ymin:%6.4e", g_ymin);
  } else {
    fprintf(out, "y(xbest): %7.5e\n", ynew[resp]);
    fprintf(out, "Criterion: %7.5e ", best);
    fprintf(out, "RelCrit: %7.5e ", best / fabs(target));
    fprintf(out, "ymin:%7.5e ", g_ymin);
  }
  fprintf(out, "n=%3d\n", n + 1);
  if (g_ymin < target) print_warning("MinTarget< Minimal Sampled y Value");
}

void append_observation(KrigModel* models, KrigArray* ka, const double* x, const double* ynew) {
  const int k = ky_count(ka);
  for (int j = 0; j < k; j++) {
    KrigModel* kr = &models[j];
    const int n = kr->n[0];
    const int d = kr->d[0];
    resize_KrigModel(kr, n + 1, d);
    copy_real_vector(d, x, kr->X[n]);
    kr->y[n] = ynew[j];
    kr->init.U = 0;
    kr->init.R = 0;
    kr->init.F = 0;
  }
}

namespace {

// An NA, inf or nan cannot be modelled: appending it would corrupt every
// later fit and, as a response, could become the smallest value. Says so and
// returns true when the answer y (k values) holds one.
bool refuse_unusable_answer(const KrigModel* models, int k, const double* y) {
  const int bad = first_unusable(k, y);
  if (bad < 0) return false;
  fprintf(out_stream(), "Sorry, the objective returned %s for %s. The point is not added; "
                        "Minimize stops.\n", unusable_value_word(y[bad]), models[bad].yname);
  return true;
}

// ---- Several evaluations at once (ParallelEvaluations > 1) ----
//
// Each iteration proposes a stage of q points as MinimizeStage would, writes
// point k to the slot file "dorve.temp.k", runs the q objective commands at
// once and adds the answered points to the design in proposal order.

// Room for one slot's command line: the objective text, plus the slot
// number beside each exchange-file word it names (or after the program).
constexpr int kSlotCommandSize = kObjectiveTextSize * 2;

enum SlotOutcome { kSlotAnswered, kSlotUnusable, kSlotFailed };

// Outcome of a stage with a slot that left no answer: the run ends once the
// other slots' points are added and the work storage is released.
constexpr int kStageSlotFailed = -2;

// The work storage of the stages of one Minimize run.
struct SlotStage {
  int q = 0;  // slots
  int d = 0;
  int k = 0;                   // y variables
  char* files = nullptr;       // q names of kSlotFileNameSize characters
  char* commands = nullptr;    // q command lines of kSlotCommandSize characters
  double** points = nullptr;   // q x d: the stage's proposed points
  double* criteria = nullptr;  // q: their criterion values
  double** answers = nullptr;  // q x k: the responses read back
  CommandOutcome* ends = nullptr;  // q: how each slot's command ended
  int* outcomes = nullptr;     // q SlotOutcome
  char failure[kExchangeMessageSize] = "";  // why the first failed slot failed
};

char* slot_file(SlotStage* stage, int slot) { return stage->files + slot * kSlotFileNameSize; }
char* slot_command(SlotStage* stage, int slot) {
  return stage->commands + slot * kSlotCommandSize;
}

// Builds the slot files' names and the command lines. False, after saying
// why, when the objective cannot be run on q files at once: a command that
// does not name the exchange file would leave every slot without an answer.
bool prepare_slot_commands(SlotStage* stage) {
  const Settings& s = g_settings;
  if (!objective_runs_on_slot_files()) return false;
  for (int i = 0; i < stage->q; i++) {
    slot_file_name(i + 1, slot_file(stage, i), kSlotFileNameSize);
    if (!slot_command_line(s.ObjectiveFunction, s.objective_is_command, slot_file(stage, i),
                           slot_command(stage, i), kSlotCommandSize)) {
      fprintf(out_stream(), "Sorry, command ignored. The objective command for %s is too long.\n",
              slot_file(stage, i));
      return false;
    }
  }
  return true;
}

void release_slot_stage(SlotStage* stage) {
  delete[] stage->files;
  delete[] stage->commands;
  delete[] stage->ends;
  delete[] stage->outcomes;
  if (stage->points) free_real_matrix(stage->q, stage->d, &stage->points);
  if (stage->criteria) free_real_vector(stage->q, &stage->criteria);
  if (stage->answers) free_real_matrix(stage->q, stage->k, &stage->answers);
  stage->q = 0;
}

// False (nothing to release) when the commands cannot be prepared.
bool open_slot_stage(int q, int d, int k, SlotStage* stage) {
  stage->q = q;
  stage->d = d;
  stage->k = k;
  stage->files = new char[q * kSlotFileNameSize];
  stage->commands = new char[q * kSlotCommandSize];
  stage->ends = new CommandOutcome[q];
  stage->outcomes = new int[q];
  alloc_real_matrix(q, d, &stage->points);
  alloc_real_vector(q, &stage->criteria);
  alloc_real_matrix(q, k, &stage->answers);
  if (prepare_slot_commands(stage)) return true;
  release_slot_stage(stage);
  return false;
}

// do_mle raises MleFrequency when the design holds exactly kDoMleRaiseAt
// points; a stage can step over that count, which raises it all the same.
void raise_refit_interval_if_stepped_over(int previous_n, int n) {
  if (previous_n < kDoMleRaiseAt && n > kDoMleRaiseAt &&
      g_settings.MleFrequency < kDoMleRaisedFrequency)
    g_settings.MleFrequency = kDoMleRaisedFrequency;
}

// Points the next stage holds: q, or what is left of MaxEvaluations.
int next_stage_size(int q, int evaluations) {
  const int budget = g_settings.MaxEvaluations;
  if (budget > 0 && budget - evaluations < q) return budget - evaluations;
  return q;
}

// Proposes points 2.. of the stage (the first is proposed by the loop). A
// point that cannot be found ends the stage there; the points found so far
// are still evaluated. Returns the stage's size.
int propose_rest_of_stage(StageDesign* design, KrigModel* resp, SlotStage* stage, int size) {
  for (int i = 1; i < size; i++) {
    if (propose_stage_point(design, resp, &stage->criteria[i], stage->points[i]) != kCriterionFound)
      return i;
  }
  return size;
}

// Runs the objective on the stage's points and sorts the slots by outcome.
// A slot whose command failed (see command_failed) has no answer.
void evaluate_slots(SlotStage* stage, int size, double* const* range) {
  std::vector<const char*> commands(size);
  char message[kExchangeMessageSize];
  for (int i = 0; i < size; i++) {
    // The slot files share one folder: one that cannot be written fails the stage.
    if (!write_exchange_file_checked(slot_file(stage, i), stage->d, stage->points[i], range,
                                     stage->points[i], message, sizeof message)) {
      for (int j = 0; j < size; j++) stage->outcomes[j] = kSlotFailed;
      snprintf(stage->failure, sizeof stage->failure, "%s", message);
      return;
    }
    commands[i] = slot_command(stage, i);
  }
  const int timeout = g_settings.ObjectiveTimeout;
  run_commands_at_once(size, commands.data(), stage->ends, timeout);
  stage->failure[0] = '\0';
  for (int i = 0; i < size; i++) {
    const bool answered =
        !command_failed(stage->ends[i], slot_file(stage, i), timeout, message, sizeof message) &&
        read_exchange_file_named(slot_file(stage, i), stage->d, stage->k, stage->answers[i],
                                 message, sizeof message);
    if (!answered) {
      stage->outcomes[i] = kSlotFailed;
      if (stage->failure[0] == '\0') snprintf(stage->failure, sizeof stage->failure, "%s", message);
    } else {
      stage->outcomes[i] = first_unusable(stage->k, stage->answers[i]) >= 0 ? kSlotUnusable
                                                                            : kSlotAnswered;
    }
  }
}

// Adds the answered slots' points in proposal order: the journal first (one
// rewrite holding all of them), then for each ymin, the target and its
// report, then they join the models. Returns how many were added.
int add_answered_slots(MinimizeContext* c, KrigModel* models, KrigArray* ka, SlotStage* stage,
                       int size, int n, bool random_error) {
  std::vector<int> slots;
  std::vector<const double*> xs, ys;
  for (int i = 0; i < size; i++) {
    if (stage->outcomes[i] != kSlotAnswered) continue;
    slots.push_back(i);
    xs.push_back(stage->points[i]);
    ys.push_back(stage->answers[i]);
  }
  const int added = static_cast<int>(slots.size());
  if (added == 0) return 0;
  journal_evaluations(models, ka, added, xs.data(), ys.data());
  FILE* out = out_stream();
  for (int i = 0; i < added; i++) {
    if (random_error)
      calc_ymin(ka, models);
    else
      update_ymin(ka, ys[i], n + i + 1);
    set_target_from_ymin(c);
    report_new_point(*c, n + i, stage->d, xs[i], stage->k, ys[i], stage->criteria[slots[i]],
                     ka->resp_index[0], c->constraints);
    fprintf(out, "%s", kDashes56);
  }
  for (int i = 0; i < added; i++) append_observation(models, ka, xs[i], ys[i]);
  return added;
}

// The rest of one stage whose first point is proposed: the other points,
// their evaluation, and the answered points added to the models (*added of
// them). Returns kCriterionFound to go on, kMinimizeNaResponse when a slot
// answered NA, inf or nan, or kStageSlotFailed when a slot has no answer
// (stage->failure says why, in the words a single evaluation would end the
// run with).
int finish_stage(MinimizeContext* c, KrigModel* models, KrigArray* ka, SlotStage* stage, int size,
                 StageDesign* design, int n, bool random_error, int* evaluated, int* added) {
  KrigModel* resp = response_of(models, ka);
  size = propose_rest_of_stage(design, resp, stage, size);
  close_stage(design);
  evaluate_slots(stage, size, resp->range);
  *evaluated = size;
  *added = add_answered_slots(c, models, ka, stage, size, n, random_error);
  int status = kCriterionFound;
  for (int i = 0; i < size; i++) {
    if (stage->outcomes[i] == kSlotUnusable && refuse_unusable_answer(models, stage->k,
                                                                     stage->answers[i]))
      status = kMinimizeNaResponse;
  }
  if (stage->failure[0] != '\0') status = kStageSlotFailed;
  return status;
}

// A failed evaluation (no answer, a failed or overrunning command, an
// exchange file that cannot be written) ends the run from a command file,
// as it always has: the journal holds every point answered before. At the
// console Minimize stops instead and the session keeps its models, with
// every point answered added.
int stop_on_failed_evaluation(const char* message) {
  if (!g_interp.interactive) fatal_error(message);
  fprintf(out_stream(),
          "ERROR: %s\nMinimize stops; the point of a failed evaluation is not added.\n", message);
  return kMinimizeEvaluationFailed;
}

}  // namespace

bool objective_runs_on_slot_files() {
  const Settings& s = g_settings;
  if (!s.objective_is_command || names_exchange_file(s.ObjectiveFunction)) return true;
  fprintf(out_stream(),
          "Sorry, command ignored. With ParallelEvaluations > 1, "
          "SystemCommandObjectiveFunction must name dorve.temp (each evaluation gets its own "
          "file dorve.temp.k in its place).\n");
  return false;
}

// ---- The loop ----

int minimize_sequential(KrigModel* models, KrigArray* ka, bool random_error) {
  if (!minimize_entry_checks(models, ka, false)) return -1;
  const int q = g_settings.ParallelEvaluations;
  WorkingFolderLock lock;
  if (!own_files_are_safe(q, "Minimize") || !lock.take("Minimize")) return -1;
  SlotStage slots;
  if (q > 1 && !open_slot_stage(q, response_of(models, ka)->d[0], ky_count(ka), &slots)) return -1;
  FILE* out = out_stream();
  KrigModel* resp = response_of(models, ka);
  MinimizeContext c;
  c.models = models;
  c.ka = ka;
  c.constraints = ka->ncons > 0;
  c.d = resp->d[0];
  if (ka->nresp > 1) print_info("Minimize for first non - constraint only.");
  print_database(models, ka);

  int n = resp->n[0];
  const int d = resp->d[0];
  const int k = ky_count(ka);
  c.n_obs = n;
  calc_ymin(ka, models);
  c.target = g_settings.target_set ? g_settings.MinimizationTarget : g_ymin;
  set_target_from_ymin(&c);
  const bool quantile = strcmp(g_settings.StoppingCriterion, "quantile") == 0;
  if (quantile) build_quantile_grid(resp);

  double* x = nullptr;
  double* ynew = nullptr;
  alloc_real_vector(d, &x);
  alloc_real_vector(k, &ynew);
  int it = 0, conv = 0, last_fit_n = 1, status = kCriterionFound;
  int evaluations = 0;  // objective calls of this run
  double best = 0.0;
  do {
    show_minimize_progress(evaluations, g_settings.MaxEvaluations);
    if (do_mle(it, n, last_fit_n)) {
      if (!fit_models(models, ka)) {
        fprintf(out, "Minimize stops: a model could not be fitted.\n");
        status = kMinimizeFitFailed;
        break;
      }
      last_fit_n = n;
      if (n >= kTempDumpFrom) {
        char note[96];
        snprintf(note, sizeof note, "Temporary storage of response with %d observations.", n);
        temp_dump(resp, note);
      }
    } else {
      refresh_models(models, ka);
    }
    it++;
    show_minimize_progress(evaluations, g_settings.MaxEvaluations);
    StageDesign design;
    int stage_points = 1;
    if (q == 1) {
      status = maximize_criterion(c, resp, &best, x);
    } else {
      // The stage's first point is the one a single evaluation would choose:
      // the convergence rule reads its criterion. The later points' criteria
      // count the earlier points as observed and are not compared.
      stage_points = next_stage_size(q, evaluations);
      open_stage(&c, resp, stage_points, &design);
      status = propose_stage_point(&design, resp, &best, slots.points[0]);
      slots.criteria[0] = best;
    }
    conv = count_convergence(conv, n, c.target, best);
    if (status != kCriterionFound || conv >= kConvergedRunsNeeded) {
      if (q > 1) close_stage(&design);
      end_progress();  // out may be the terminal the line is on
      fprintf(out, "Final MaxCriterion : %f\n", best);
      fprintf(out, "Best Value found: ymin=%6.4e\n", g_ymin);
      break;
    }
    if (q > 1) {
      int evaluated = 0, added = 0;
      status = finish_stage(&c, models, ka, &slots, stage_points, &design, n, random_error,
                            &evaluated, &added);
      evaluations += evaluated;
      raise_refit_interval_if_stepped_over(n, n + added);
      n += added;
      if (status != kCriterionFound) break;
    } else {
      char failure[kExchangeMessageSize];
      const bool answered = evaluate_objective(g_settings.ObjectiveFunction, d, x, k, ynew,
                                               resp->range, failure, sizeof failure);
      evaluations++;
      if (!answered) {
        status = stop_on_failed_evaluation(failure);
        break;
      }
      if (refuse_unusable_answer(models, k, ynew)) {
        status = kMinimizeNaResponse;
        break;
      }
      // On disk before anything else can end the run.
      journal_evaluation(models, ka, x, ynew);
      if (random_error)
        calc_ymin(ka, models);
      else
        update_ymin(ka, ynew, n + 1);
      set_target_from_ymin(&c);
      report_new_point(c, n, d, x, k, ynew, best, ka->resp_index[0], c.constraints);
      append_observation(models, ka, x, ynew);
      n = n + 1;
      fprintf(out, "%s", kDashes56);
    }
    if (g_settings.MaxEvaluations > 0 && evaluations >= g_settings.MaxEvaluations) {
      fprintf(out, "Minimize stops: %d objective evaluation%s made (MaxEvaluations = %d).\n",
              evaluations, evaluations == 1 ? "" : "s", g_settings.MaxEvaluations);
      fprintf(out, "Best Value found: ymin=%6.4e\n", g_ymin);
      status = kMinimizeBudgetSpent;
      break;
    }
  } while (conv < kConvergedRunsNeeded && status == kCriterionFound);

  free_real_vector(d, &x);
  free_real_vector(k, &ynew);
  if (quantile) release_quantile_grid();
  if (q > 1) {
    char failure[kExchangeMessageSize];
    snprintf(failure, sizeof failure, "%s", slots.failure);
    release_slot_stage(&slots);
    if (status == kStageSlotFailed) status = stop_on_failed_evaluation(failure);
  }
  return status;
}

void reset_minimize_state() {
  g_quantile = QuantileGrid();
  g_ymin = 0.0;
  g_ymin_index = 1;
}
