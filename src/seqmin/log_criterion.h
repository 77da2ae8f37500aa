// The logarithm of the expected-improvement criterion and its gradient with
// respect to the box point x, for the gradient search of the criterion:
//   L(x) = (1/g) log I_g(u) + log s'(x) + sum over constraints of log P_c(x),
// with u = (T - yhat(x)) / s(x), I_g(u) = E[(u + Z)_+^g] the g-th moment of
// the improvement in units of s, s' the multiplier of the criterion (s, or
// in a stage the standard error from the stage design) and P_c the
// probability that constraint c lies within its bounds. For g = 0,
// L = log Phi(u) + sum log P_c. Where the criterion is positive, L is its
// logarithm; far below the target L stays finite and keeps its slope. Where
// s (or s') is 0 the criterion is 0 and L is -infinity.
//
// The set-up reads the MinimizeContext it is handed and
// GlobalExpectedImprovement; in a stage the context's krigmse_anyX state
// must be open for the stage design.
#ifndef DORVE_SEQMIN_LOG_CRITERION_H_
#define DORVE_SEQMIN_LOG_CRITERION_H_

#include <vector>

#include "kriging/predictor_gradient.h"

struct KrigModel;
struct MinimizeContext;

// A constraint model with its bounds (+-infinity where it has none).
struct LogConstraint {
  GradientPredictor predictor;
  double lower = 0.0;
  double upper = 0.0;
};

struct LogCriterion {
  int g = 1;
  int d = 0;
  double target = 0.0;
  double* const* range = nullptr;  // d x 2, the response model's
  GradientPredictor response;      // from the observed data
  bool stage = false;
  GradientPredictor stage_se;      // s' from the stage design (stage only)
  std::vector<LogConstraint> constraints;
  GradientPrediction work;         // the prediction in progress
};

// Prepares the criterion of the response model kr from the context c.
void open_log_criterion(const MinimizeContext& c, KrigModel* kr, LogCriterion* lc);

// L at the box point x (d values); grad (d values, may be null) receives
// dL/dx. Returns -INFINITY (grad unset) where the criterion is 0.
double log_criterion(LogCriterion* lc, const double* x, double* grad);

// The objective of the quasi-Newton search: -L and its gradient at the
// unbounded coordinates t ("sin" map onto the range, dx/dt = (b - a)/2 cos t).
// ctx is the LogCriterion. False where L is -infinity or not a number.
bool negative_log_criterion_in_t(const double* t, int d, double* f, double* grad, void* ctx);

#endif  // DORVE_SEQMIN_LOG_CRITERION_H_
