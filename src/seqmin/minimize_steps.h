// The steps of a minimisation that Minimize and MinimizeStage share: the
// entry checks, the smallest sampled response ymin, the refit schedule, the
// stopping rule, the report of a new point and its addition to the models.
#ifndef DORVE_SEQMIN_MINIMIZE_STEPS_H_
#define DORVE_SEQMIN_MINIMIZE_STEPS_H_

#include "data/model_store.h"

struct MinimizeContext;

// The response model of the store.
inline KrigModel* response_of(KrigModel* models, const KrigArray* ka) {
  return &models[ka->resp_index[0]];
}

// Smallest sampled response of the response model (feasible observations
// only when there are constraints; its smoothed prediction with
// RandomError), and the 1-based index of that observation.
extern double g_ymin;
extern int g_ymin_index;

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

// do_mle raises MleFrequency to 10 when the design holds exactly 100 points;
// a stage that steps from previous_n below 100 to n above it raises it too.
void raise_refit_interval_if_stepped_over(int previous_n, int n);

// The grid of the "quantile" stopping rule over kr's ranges (GridSize),
// which ConvergeCrit predicts on, and its release.
void build_quantile_grid(KrigModel* kr);
void release_quantile_grid();

// The report of one new point, against the target of the context c (whose
// constraint models give the probability that they are met).
void report_new_point(const MinimizeContext& c, int n, int d, const double* x, int k,
                      const double* ynew, double best, int resp, bool constraints);

// Appends the observation (x, ynew[j]) to every model j of the store: the
// members grow by one row and the R, F and U flags are cleared.
void append_observation(KrigModel* models, KrigArray* ka, const double* x, const double* ynew);

#endif  // DORVE_SEQMIN_MINIMIZE_STEPS_H_
