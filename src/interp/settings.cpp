#include "interp/settings.h"

#include <cerrno>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/interpreter.h"
#include "base/messages.h"
#include "numeric/random.h"
#include "numeric/space_filling.h"
#include "numeric/vecutil.h"
#include "seqmin/minimize_stage.h"

namespace {

// The four real options pass through single precision; range tests use that
// value. Text without a number gives 0 as with atof; magnitudes beyond float
// become infinite without an out-of-range conversion.
float single_precision_atof(const char* value) {
  const double v = strtod(value, nullptr);
  if (v > FLT_MAX) return HUGE_VALF;
  if (v < -FLT_MAX) return -HUGE_VALF;
  return static_cast<float>(v);
}

// Largest values the integer options accept. Each keeps the arithmetic its
// readers do with the value inside int:
// - RandomSeed s seeds the generator with s, 2s and 100s;
// - GridSize G gives d*G main-effect rows and G*G rows per pair of joint
//   effects; 1000 levels is finer than any effect plot needs;
// - GlobalExpectedImprovement g sums binomial coefficients C(g, j), which are
//   computed for g up to 10, and recurses g levels deep.
// - Tries t: every try of every y variable keeps its own copy of the
//   likelihood's work storage until the fits end; 10000 tries is far more
//   than a fit needs and still fits in memory for modest designs.
constexpr long kMaxRandomSeed = INT_MAX / 100;
constexpr long kMaxTries = 10000;
constexpr long kMaxGridSize = 1000;
constexpr long kMaxGlobalExpectedImprovement = 10;

// An integer option's value: a decimal integer literal (an optional sign and
// digits, nothing else) within lo .. hi. Anything else, "4.9", "1e3" or
// "12x" included, is refused rather than cut to its leading digits. Text
// beyond the range of long is held at its limits by strtol and so refused
// by the range test before anything is narrowed to int.
bool int_in_range(const char* value, long lo, long hi, int* result) {
  char* end = nullptr;
  errno = 0;
  const long v = strtol(value, &end, 10);
  if (end == value || *end != '\0' || errno == ERANGE || v < lo || v > hi) return false;
  *result = static_cast<int>(v);
  return true;
}

// Copies a word into one of the short text fields, always terminated.
void store_word(char* field, const char* word) { snprintf(field, kShortTextSize, "%s", word); }

bool is_one_of(const char* value, const char* const* words) {
  for (; *words != nullptr; words++)
    if (strcmp(value, *words) == 0) return true;
  return false;
}

// Options whose value is a positive integer up to max.
void set_positive_int(int* field, const char* value, long max, const char* rejection) {
  int v;
  if (int_in_range(value, 1, max, &v))
    *field = v;
  else
    say(rejection);
}

void set_tries(const char* value) {
  int v;
  if (int_in_range(value, 1, kMaxTries, &v)) {
    g_settings.Tries = v;
    fprintf(out_stream(), "Tries = %d\n", v);
  } else {
    say("Sorry, command ignored. Tries>0, integer.\n");
  }
}

// The fit runs its tries on up to this many threads; results and output do
// not depend on the number.
void set_threads(const char* value) {
  int v;
  if (int_in_range(value, 1, kMaxThreads, &v)) {
    g_settings.Threads = v;
    fprintf(out_stream(), "Threads = %d\n", v);
  } else {
    say("Sorry, command ignored. 0<Threads<=256, integer.\n");
  }
}

void set_objective_function(const char* value) {
  snprintf(g_settings.ObjectiveFunction, kObjectiveTextSize, "%s", value);
  g_settings.objective_set = true;
  g_settings.objective_is_command = false;
  fprintf(out_stream(), "ObjectiveFunction = %s\n", g_settings.ObjectiveFunction);
}

void set_random_seed(const char* value) {
  int s;
  if (int_in_range(value, 1, kMaxRandomSeed, &s)) {
    set_random_seeds(s, 2 * s, 100 * s);
    seed_design_stream(s);
    fprintf(out_stream(), "RandomSeed = %d\n", s);
  } else {
    say("Sorry, command ignored. RandomSeed>0, integer value .\n");
  }
}

void set_minimum_sample(const char* value) {
  set_positive_int(&g_settings.MinimumSample, value, INT_MAX,
                   "Sorry, command ignored. MinimumSample>0, integer .\n");
}

// A grid needs both ends of the range, so at least two levels. The refusal
// keeps the text it has always had, which scripts may look for.
void set_grid_size(const char* value) {
  int v;
  if (int_in_range(value, 2, kMaxGridSize, &v))
    g_settings.GridSize = v;
  else
    say("Sorry, command ignored. GridSize>0 , integer.\n");
}

void set_mle_frequency(const char* value) {
  set_positive_int(&g_settings.MleFrequency, value, INT_MAX,
                   "Sorry, command ignored. MinimizationMleFrequency>0,integer.\n");
}

void set_mle_max_obs(const char* value) {
  set_positive_int(&g_settings.MleMaxObs, value, INT_MAX,
                   "Sorry, command ignored. MaxObsForMle>0,integer .\n");
}

void set_max_evaluations(const char* value) {
  set_positive_int(&g_settings.MaxEvaluations, value, INT_MAX,
                   "Sorry, command ignored. MaxEvaluations>0, integer.\n");
}

// Each of the q points is one child process running at once, and the stage
// that proposes them is a MinimizeStage of q points: the same bound holds.
void set_parallel_evaluations(const char* value) {
  static_assert(kMaxStagePoints == 10000, "the refusal names the bound");
  set_positive_int(&g_settings.ParallelEvaluations, value, kMaxStagePoints,
                   "Sorry, command ignored. 0<ParallelEvaluations<=10000, integer.\n");
}

// A call that runs longer is stopped and fails its evaluation.
void set_objective_timeout(const char* value) {
  set_positive_int(&g_settings.ObjectiveTimeout, value, INT_MAX,
                   "Sorry, command ignored. ObjectiveTimeout>0, integer (seconds).\n");
}

void set_mle_percentage(const char* value) {
  float v = single_precision_atof(value);
  if (v > 0.0f && v <= 1.0f)
    g_settings.MlePercentage = v;
  else
    say("Sorry, command ignored.  0.0< MinimizationMlePercentage <=1.0\n");
}

void set_minimization_target(const char* value) {
  // A target must be a finite number: an infinite or nan target makes every
  // criterion value nan.
  char* end = nullptr;
  const float v = strtof(value, &end);
  if (end != value && std::isfinite(v)) {
    g_settings.MinimizationTarget = v;
    g_settings.target_set = true;
  } else {
    say("Sorry, command ignored.  MinTarget must be a real number.\n");
  }
}

void set_global_expected_improvement(const char* value) {
  int v;
  if (int_in_range(value, 0, kMaxGlobalExpectedImprovement, &v))
    g_settings.GlobalExpectedImprovement = v;
  else
    say("Sorry, command ignored. GlobalExpextedImprovement>=0, integer.\n");
}

void set_criterion_optim_tries(const char* value) {
  int v;
  if (int_in_range(value, 0, INT_MAX, &v))
    g_settings.CriterionOptimTries = v;
  else
    say("Sorry, command ignored. CriterionOptimTries>=0, integer.\n");
}

void set_stopping_absolute_tolerance(const char* value) {
  float v = single_precision_atof(value);
  if (v == 0.0f || !std::isfinite(v))
    say("Sorry, command ignored. Not a valid real number.\n");
  else if (v <= g_settings.OptTolAbs)
    say("Sorry, can't do so. You are attempting to set OptTolAbs >= StopTolAbs\n");
  else
    g_settings.StoppingAbsoluteTolerance = v;
}

void set_stopping_relative_tolerance(const char* value) {
  float v = single_precision_atof(value);
  if (v > 0.0f && v < 1.0f)
    g_settings.StoppingRelativeTolerance = v;
  else
    say("Sorry, command ignored.  0.0< StoppingRelativeTolerance <1.0\n");
}

void reject_stopping_quantile(const char*) {
  say("Option StoppingQuantile is depreciated. Use \n");
  say(" default option (Tolerance) .\n");
}

void set_stopping_criterion(const char* value) {
  if (strcmp(value, "quantile") == 0 || strcmp(value, "tolerance") == 0)
    store_word(g_settings.StoppingCriterion, value);
  else if (strcmp(value, "order") == 0)
    store_word(g_settings.StoppingCriterion, "quantile");
  else
    say("Sorry, only 'quantile' and 'tolerance' are valid options. Default remains.\n");
}

void set_criterion_optim_method(const char* value) {
  static const char* const simplex[] = {"simplex", "Simplex", nullptr};
  static const char* const powell[] = {"powell", "Powell", nullptr};
  static const char* const gradient[] = {"gradient", "Gradient", nullptr};
  if (is_one_of(value, simplex))
    store_word(g_settings.CriterionOptimMethod, "simplex");
  else if (is_one_of(value, powell))
    store_word(g_settings.CriterionOptimMethod, "powell");
  else if (is_one_of(value, gradient))
    store_word(g_settings.CriterionOptimMethod, "gradient");
  else
    say("Sorry, only 'simplex' and 'powell' are valid options. Default remains.\n");
}

void set_mle_method(const char* value) {
  static const char* const simplex[] = {"simplex", "Simplex", nullptr};
  static const char* const gradient[] = {"gradient", "Gradient", nullptr};
  if (is_one_of(value, simplex))
    store_word(g_settings.MleMethod, "simplex");
  else if (is_one_of(value, gradient))
    store_word(g_settings.MleMethod, "gradient");
  else
    say("Sorry, only 'simplex' and 'gradient' are valid options. Default remains.\n");
}

void set_criterion_optim_start(const char* value) {
  static const char* const random[] = {"random", "Random", nullptr};
  static const char* const displacement[] = {"displacement", "Displacement", nullptr};
  static const char* const neighbour[] = {"DistanceNeighbour", "distanceneighbour", nullptr};
  if (is_one_of(value, random))
    store_word(g_settings.CriterionOptimStart, "random");
  else if (is_one_of(value, displacement))
    store_word(g_settings.CriterionOptimStart, "displacement");
  else if (is_one_of(value, neighbour))
    store_word(g_settings.CriterionOptimStart, "distanceneighbour");
  else
    say("Sorry, only 'random', 'displacement' and 'distanceneighbour'  are valid options. "
        "Default remains.\n");
}

// Once set, the random-error flag cannot be cleared by this command.
void set_random_error(const char* value) {
  static const char* const yes[] = {"TRUE", "true", "True", nullptr};
  static const char* const no[] = {"false", "FALSE", "False", nullptr};
  if (is_one_of(value, yes)) {
    g_settings.RandomError = true;
  } else if (is_one_of(value, no)) {
    if (g_settings.RandomError) {
      say("Error: Database indicates that RandomError == TRUE. Read ");
      say("Ydescription without \n\t RandomError if no RandomError is desired.\n");
    }
  } else {
    say("Sorry, only 'FALSE' and 'TRUE' are valid options. Default remains.\n");
  }
}

struct OptionRow {
  const char* key;
  void (*set)(const char* value);
};

const OptionRow kOptions[] = {
    {"Tries", set_tries},
    {"ObjectiveFunction", set_objective_function},
    {"RandomSeed", set_random_seed},
    {"MinimumSample", set_minimum_sample},
    {"GridSize", set_grid_size},
    {"MleFrequency", set_mle_frequency},
    {"MleMaxObs", set_mle_max_obs},
    {"MaxEvaluations", set_max_evaluations},
    {"ParallelEvaluations", set_parallel_evaluations},
    {"ObjectiveTimeout", set_objective_timeout},
    {"MlePercentage", set_mle_percentage},
    {"MleMethod", set_mle_method},
    {"MinimizationTarget", set_minimization_target},
    {"GlobalExpectedImprovement", set_global_expected_improvement},
    {"CriterionOptimTries", set_criterion_optim_tries},
    {"StoppingAbsoluteTolerance", set_stopping_absolute_tolerance},
    {"StoppingRelativeTolerance", set_stopping_relative_tolerance},
    {"StoppingQuantile", reject_stopping_quantile},
    {"StoppingCriterion", set_stopping_criterion},
    {"CriterionOptimMethod", set_criterion_optim_method},
    {"CriterionOptimStart", set_criterion_optim_start},
    {"RandomError", set_random_error},
    {"Threads", set_threads},
};

const OptionRow* find_option(const char* key) {
  for (const OptionRow& row : kOptions)
    if (strcmp(key, row.key) == 0) return &row;
  return nullptr;
}

}  // namespace

bool is_setting_word(const char* word) { return find_option(word) != nullptr; }

void equal_init(KrigModel*, char** tokens, int count) {
  bool bad_shape = false;
  if (count < 2 || strcmp(tokens[1], "=") != 0) {
    say("Unexpected input. A '=' sign was expected. Input line ignored.\n");
    bad_shape = true;
  }
  if (count != 3) {
    say("Unexpected input. Only 3 tokens were expected. (excluding comments '#')\n\tInput line "
        "ignored.\n");
    bad_shape = true;
  }
  if (bad_shape) return;
  if (const OptionRow* row = find_option(tokens[0])) {
    row->set(tokens[2]);
    return;
  }
  fprintf(stderr, "%s\n", tokens[0]);
  invariant_broken("equal_init: code bug,  missing option ");
}

void set_system_command_objective(KrigModel*, char** tokens, int count) {
  if (count <= 2 || strcmp(tokens[0], "SystemCommandObjectiveFunction") != 0 ||
      strcmp(tokens[1], "=") != 0) {
    say("Usage: SystemCommandObjectiveFunction = system command (several words allowed) \n\t "
        "that interacts with dorve.temp\n");
    return;
  }
  // Join into a scratch buffer so that a command that is too long leaves the
  // previous text in place, matching the flags that still describe it.
  char joined[kObjectiveTextSize];
  if (join_strings(count - 2, tokens + 2, kObjectiveTextSize, joined) != 0) {
    say("ERROR: SystemCommandObjectiveFunction is too long.\n");
    return;
  }
  memcpy(g_settings.ObjectiveFunction, joined, sizeof joined);
  g_settings.objective_set = true;
  g_settings.objective_is_command = true;
  fprintf(out_stream(), "SystemCommandObjectiveFunction = %s\n", g_settings.ObjectiveFunction);
}
