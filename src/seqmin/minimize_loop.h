// The sequential minimisation loop of the Minimize command: refit the
// models by the refit schedule, propose a stage of points by the
// expected-improvement criterion (one point, or ParallelEvaluations of them),
// evaluate them through the outside objective (evaluation_batch.h), append
// the answered points to every model, until the criterion has been small
// three times running, no useful point can be found or MaxEvaluations is
// spent. Its steps are in minimize_steps.h, the exchange with the objective
// in exchange_file.h.
#ifndef DORVE_SEQMIN_MINIMIZE_LOOP_H_
#define DORVE_SEQMIN_MINIMIZE_LOOP_H_

struct KrigModel;
struct KrigArray;

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

#endif  // DORVE_SEQMIN_MINIMIZE_LOOP_H_
