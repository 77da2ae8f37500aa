// The process-wide Settings record of the `Name = value` options, with the
// defaults a run starts from. The interpreter's option parsing sets it; every
// layer reads it.
#ifndef DORVE_BASE_SETTINGS_H_
#define DORVE_BASE_SETTINGS_H_

constexpr int kObjectiveTextSize = 150;
constexpr int kShortTextSize = 32;

// The number of hardware threads, at least 1: the default of Threads.
int default_thread_count();
// The largest Threads value accepted.
constexpr int kMaxThreads = 256;

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
  int MaxEvaluations = 0;  // objective calls a Minimize run may make; 0: no limit
  int ParallelEvaluations = 1;  // points a Minimize iteration proposes and evaluates at once
  int ObjectiveTimeout = 0;  // seconds an objective call may run; 0: no limit
  int GlobalExpectedImprovement = 1;
  double StoppingAbsoluteTolerance = 0.001;
  double StoppingRelativeTolerance = 0.001;
  double MinimizationTarget = 0.0;
  bool target_set = false;  // otherwise the smallest observed response is the target
  char CriterionOptimStart[kShortTextSize] = "distanceneighbour";
  char CriterionOptimMethod[kShortTextSize] = "simplex";
  char MleMethod[kShortTextSize] = "simplex";  // "simplex" or "gradient"
  int CriterionOptimTries = -1;  // -1: twice the number of observations
  bool RandomError = false;
  double OptTolAbs = 0.0;  // absolute tolerance of the criterion optimiser
  int Threads = default_thread_count();  // worker threads of a fit
};

extern Settings g_settings;

#endif  // DORVE_BASE_SETTINGS_H_
