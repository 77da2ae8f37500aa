// The sequential minimisation loop of the Minimize command: refit the
// models by the refit schedule, maximise the expected-improvement
// criterion, hand the new point to the outside objective program through
// the exchange file "dorve.temp", read its responses back and append the
// point to every model, until the criterion has been small three times
// running or no useful point can be found.
//
// Also the steps that MinimizeStage shares: the entry checks, the smallest
// sampled response ymin and the target rule.
#ifndef DORVE_SEQMIN_MINIMIZE_LOOP_H_
#define DORVE_SEQMIN_MINIMIZE_LOOP_H_

#include "seqmin/objective_processes.h"

struct KrigModel;
struct KrigArray;
struct MinimizeContext;

// Smallest sampled response of the response model (feasible observations
// only when there are constraints; its smoothed prediction with
// RandomError), and the 1-based index of that observation.
extern double g_ymin;
extern int g_ymin_index;

// Outcome of minimize_sequential when the objective returned NA, inf or nan:
// the point cannot be modelled and was not added.
constexpr int kMinimizeNaResponse = 4;
// Outcome of minimize_sequential when it made MaxEvaluations objective calls.
constexpr int kMinimizeBudgetSpent = 5;
// Outcome of minimize_sequential at the console when an evaluation failed
// (from a command file the run ends instead).
constexpr int kMinimizeEvaluationFailed = 6;
// Outcome of minimize_sequential when a refit left a model unfitted.
constexpr int kMinimizeFitFailed = 7;

// The sequential minimisation; random_error is the RandomError setting when
// the command starts. Returns the status of the last criterion maximisation
// (or kMinimizeNaResponse).
int minimize_sequential(KrigModel* models, KrigArray* ka, bool random_error);

// The shared entry checks; fitted: MinimizeStage (needs the fitted
// parameters), otherwise Minimize (needs the objective). The designs, the
// response's and the constraints' y must hold no NA, inf or nan. Each
// failure prints its message.
bool minimize_entry_checks(KrigModel* models, KrigArray* ka, bool fitted);

// True when every constraint model has X, y and range (and, with fitted,
// alpha, beta, theta and var) and its y holds no NA, inf or nan.
bool check_constraint_models(KrigModel* models, KrigArray* ka, bool fitted);

// Sets g_ymin and g_ymin_index from the store.
void calc_ymin(KrigArray* ka, KrigModel* models);
// Back to the start-up state: no quantile grid (not released), g_ymin 0 and
// g_ymin_index 1; for a harness that runs many sessions in one process.
void reset_minimize_state();

// Lowers g_ymin to the new response when it is smaller and feasible, with
// g_ymin_index the row (from 1) the new observation takes in the design.
void update_ymin(KrigArray* ka, const double* ynew, int row);

// True when the models are to be refitted at iteration it with n
// observations, the last fit having been made at last_fit_n. May raise
// MleFrequency to 10 once n reaches 100.
bool do_mle(int it, int n, int last_fit_n);

// True when this iteration counts as converged (StoppingCriterion).
bool ConvergeCrit(double target, double best);

// The count of consecutive converged iterations after this one: 0 while
// fewer than MinimumSample observations are held, one more when ConvergeCrit
// holds, otherwise 0 (with an info line when a run was interrupted).
int count_convergence(int conv, int n, double target, double best);

// The text of one coordinate in the exchange file, and the value that text
// reads back as: the value the objective receives, which the design then
// stores. range (Min, Max of the variable; null: unknown) decides: "%f" when
// the range is at least 1 wide (and when it is unknown), unless rounding
// would carry a value inside the range out of it; otherwise the shortest
// text that reads back as the same double, so that small ranges keep their
// significant digits.
double format_exchange_coordinate(double value, const double* range, char* text, int capacity);

// Writes the count d and the point x to the exchange file, each coordinate
// by format_exchange_coordinate with its row of range (null: "%f" for all).
// A file that cannot be created ends the run.
void write_exchange_file(int d, const double* x, double* const* range = nullptr);
// The same to the exchange file named file.
void write_exchange_file_named(const char* file, int d, const double* x, double* const* range);
// The same without ending the run: false, with the message the run would
// end with in message, when the file cannot be created. written (d values,
// may be x itself, or null) receives the point as the file holds it.
bool write_exchange_file_checked(const char* file, int d, const double* x, double* const* range,
                                 double* written, char* message, int capacity);
// The same with every coordinate in the shortest text that reads back as
// the same double, whatever its range: Evaluate hands the objective exactly
// the design's rows, which a rerun of the design reproduces bit for bit.
bool write_exact_exchange_file(const char* file, int d, const double* x, char* message,
                               int capacity);

// The command line that runs the objective: the program name followed by
// the exchange file name, or (is_command) the whole command as given.
// Bounded by capacity; false when it does not fit.
bool objective_command_line(const char* objective, bool is_command, char* buffer, int capacity);

// Reads the k responses that follow the d + 1 leading tokens of the
// exchange file into ynew ("NA"/"na" give the NA marker).
void read_exchange_file(int d, int k, double* ynew);
// The same from the exchange file named file, without ending the run: false
// when the file cannot be read or does not hold k responses, with the
// message that read_exchange_file would end the run with (naming file) in
// message (capacity characters).
bool read_exchange_file_named(const char* file, int d, int k, double* ynew, char* message,
                              int capacity);

// Writes the point, runs the objective command and reads its k responses;
// x becomes the point as the exchange file holds it, the point the objective
// was evaluated at. False, with the reason in message, when the evaluation
// failed: the
// exchange file could not be written, the command could not be run, failed
// (see command_failed: an exit status other than 0, a signal, ObjectiveTimeout
// overrun) or left no readable answer.
bool evaluate_objective(const char* objective, int d, double* x, int k, double* ynew,
                        double* const* range, char* message, int capacity);
// The same, ending the run with the reason when the evaluation failed.
void sample_new_y(const char* objective, int d, const double* x, int k, double* ynew,
                  double* const* range = nullptr);

// True when the objective can run on the slot files of several evaluations
// at once: a program (it gets the file as its argument) or a command that
// names the exchange file. Otherwise says so and returns false.
bool objective_runs_on_slot_files();

// The report of one new point, against the target of the context c (whose
// constraint models give the probability that they are met).
void report_new_point(const MinimizeContext& c, int n, int d, const double* x, int k,
                      const double* ynew, double best, int resp, bool constraints);

// Appends the observation (x, ynew[j]) to every model j of the store: the
// members grow by one row and the R, F and U flags are cleared.
void append_observation(KrigModel* models, KrigArray* ka, const double* x, const double* ynew);

#endif  // DORVE_SEQMIN_MINIMIZE_LOOP_H_
