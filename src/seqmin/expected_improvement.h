// The expected-improvement criterion that chooses the next point of a
// sequential minimisation: the improvement of the response model's
// prediction over a target T, generalised by the exponent g
// (GlobalExpectedImprovement: 0 probability of improvement, 1 classical
// expected improvement, g >= 2 the g-th root of the g-th moment), multiplied
// by the probability that every constraint is met.
//
// The criterion reads everything it needs from the MinimizeContext it is
// handed, which the minimisation commands own and set up before the first
// evaluation.
#ifndef DORVE_SEQMIN_EXPECTED_IMPROVEMENT_H_
#define DORVE_SEQMIN_EXPECTED_IMPROVEMENT_H_

#include "kriging/normal.h"  // ExpectedImprovement
#include "kriging/predictor.h"

struct KrigModel;
struct KrigArray;

// Standard errors are replaced by this when a constraint model predicts
// exactly 0, so that its bounds still decide the factor.
constexpr double kZeroConstraintSe = 3e-14;

struct MinimizeContext {
  KrigModel* models = nullptr;  // the models' array
  KrigArray* ka = nullptr;      // the response model is models[ka->resp_index[0]]
  double target = 0.0;          // T: the improvement is measured below it
  bool constraints = false;     // the store has at least one constraint
  // During a stage: the standard error that multiplies the criterion comes
  // from the stage design (observed points followed by the points already
  // proposed), through the krigmse_anyX state of its stage_n points that
  // propose_stage_point (stage_proposal.h) initialises.
  bool stage = false;
  double** stage_design = nullptr;  // stage_n x d
  double* stage_y = nullptr;        // stage_n values handed to the predictor; never used
  int stage_n = 0;
  AnyXState stage_state;
  int d = 0;
  // Observations when the command started: sets the step of the
  // "displacement" start rule.
  int n_obs = 0;
};

// The response model of the context.
KrigModel* context_response_model(const MinimizeContext& c);

// Minus the criterion of the context ctx (a MinimizeContext) at the box
// point that the unbounded coordinates t (d values, "sin" map onto the
// response model's range) stand for: a minimiser objective.
double ei_objective(double* t, int d, void* ctx);
// c as the ctx of ei_objective, which only reads it.
inline void* objective_context(const MinimizeContext& c) {
  return const_cast<MinimizeContext*>(&c);
}

// The probability that every constraint model's prediction at the box point
// x (d values) lies within its bounds, the constraints taken as independent.
double prob_constraints_met(const MinimizeContext& c, const double* x);

// T_p of the generalised improvement: T_0 = Phi, T_1 = -phi,
// T_p = (p - 1) T_(p-2) - u^(p-1) phi. Fatal for p < 0.
double recurse_integral(int p, double phi, double Phi, double u);

// The plain criterion value for prediction yhat, standard error s,
// multiplier s_mult and target T, without constraints.
double improvement_criterion(int g, double yhat, double s, double s_mult, double target);
// The same; *accurate tells whether the value is exact to about 1e-6: false
// where Phi(u) underflowed or the moment's sum lost its digits to
// cancellation (far below the target).
double improvement_criterion_checked(int g, double yhat, double s, double s_mult, double target,
                                     bool* accurate);

// The criterion ei_objective maximises in context c at the box point x, with prediction
// yhat, standard error s and multiplier s_mult, times the constraint factor
// when the context has constraints. Where the plain value is a positive,
// accurately computed number it is returned as it is. For g >= 1, where it
// underflows or loses its digits, it comes from its logarithm, computed from
// the tails: the value itself when that is a normal double, otherwise the
// logarithm, a negative number that still rises toward the better regions
// and stays below every positive criterion (so that "found" and the
// convergence rule keep their meaning). 0 where s or s_mult is 0.
double criterion_value(const MinimizeContext& c, int g, double yhat, double s, double s_mult,
                       const double* x);

#endif  // DORVE_SEQMIN_EXPECTED_IMPROVEMENT_H_
