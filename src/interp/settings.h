// The process-wide Settings record of the `Name = value` options, the
// handlers that set them, and the Database listing.
#ifndef DORVE_INTERP_SETTINGS_H_
#define DORVE_INTERP_SETTINGS_H_

struct KrigModel;
struct KrigArray;

constexpr int kObjectiveTextSize = 150;
constexpr int kShortTextSize = 32;

struct Settings {
  int Tries = 3;
  char ObjectiveFunction[kObjectiveTextSize] = "";
  bool objective_set = false;         // an objective program or command was given
  bool objective_is_command = false;  // the text is a whole system command
  int MinimumSample = 0;
  int GridSize = 10;
  char StoppingCriterion[kShortTextSize] = "tolerance";
  int MleFrequency = 1;
  double MlePercentage = 0.0;  // 0.0: absent
  int MleMaxObs = 200;
  int GlobalExpectedImprovement = 1;
  double StoppingAbsoluteTolerance = 0.001;
  double StoppingRelativeTolerance = 0.001;
  double MinimizationTarget = 0.0;
  bool target_set = false;  // otherwise the smallest observed response is the target
  char CriterionOptimStart[kShortTextSize] = "distanceneighbour";
  char CriterionOptimMethod[kShortTextSize] = "simplex";
  int CriterionOptimTries = -1;  // -1: twice the number of observations
  bool RandomError = false;
  double OptTolAbs = 0.0;  // absolute tolerance of the criterion optimiser
};

extern Settings g_settings;

// Validates and stores one `Name = value` line.
void equal_init(KrigModel* models, char** tokens, int count);

// Stores a command of several words as the objective.
void set_system_command_objective(KrigModel* models, char** tokens, int count);

// Shows the store's counts and the settings that differ from their defaults.
void print_database(const KrigModel* models, const KrigArray* ka);

#endif  // DORVE_INTERP_SETTINGS_H_
