#include "seqmin/expected_improvement.h"

#include <cfloat>
#include <cmath>

#include "base/messages.h"
#include "base/settings.h"
#include "data/model_store.h"
#include "kriging/log_improvement.h"
#include "kriging/normal.h"
#include "kriging/predictor.h"
#include "numeric/storage.h"
#include "numeric/vecutil.h"
#include "optim/trafo.h"

KrigModel* context_response_model(const MinimizeContext& c) {
  return &c.models[c.ka->resp_index[0]];
}

double recurse_integral(int p, double phi, double Phi, double u) {
  if (p < 0) fatal_error("recurse_integral: p<0");
  if (p == 0) return Phi;
  if (p == 1) return -phi;
  return (p - 1) * recurse_integral(p - 2, phi, Phi, u) - pow(u, p - 1) * phi;
}

namespace {

// The criterion's value, as the sums below compute it, counts as accurate
// when Phi(u) did not underflow and the sum keeps at least this share of the
// magnitude of its terms: Phi carries a relative error of up to 5e-11, so the
// value then stays within 1e-6 of the exact one.
constexpr double kAccurateShare = 5e-5;
// A constraint factor Phi(b') - Phi(a') of two values near 1 is the
// difference of two numbers whose last bits are rounding: below this it is
// recomputed from the tails.
constexpr double kAccurateNearOneDifference = 1e-5;

// The g-th moment of the improvement in units of s: sum over j of
// C(g, j) (-1)^j u^(g-j) T_j; *magnitude receives the sum of the terms'
// magnitudes.
double improvement_moment(int g, double u, double phi, double Phi, double* magnitude) {
  double S = 0.0;
  double terms = 0.0;
  for (int j = 0; j <= g; j++) {
    const double sign = pow(-1.0, j % 2);
    const double term = choose(g, j) * sign * pow(u, g - j) * recurse_integral(j, phi, Phi, u);
    S += term;
    terms += fabs(term);
  }
  *magnitude = terms;
  return S;
}

bool is_accurate_sum(double sum, double magnitude, double Phi) {
  return Phi > 0.0 && sum > 0.0 && sum >= kAccurateShare * magnitude;
}

// Prediction and standard error of model kr at the single point x.
void predict_one(KrigModel* kr, const double* x, double* yhat, double* se) {
  double** result = nullptr;
  alloc_real_matrix(1, 2, &result);
  double* point[1] = {const_cast<double*>(x)};
  krigblup(kr, 1, point, result);
  *yhat = result[0][0];
  *se = result[0][1];
  free_real_matrix(1, 2, &result);
}

// The standard error at x as if the stage design had been observed.
double stage_standard_error(const MinimizeContext& c, KrigModel* kr, const double* x) {
  double** result = nullptr;
  alloc_real_matrix(1, 2, &result);
  double* point[1] = {const_cast<double*>(x)};
  krigmse_anyX(&c.stage_state, kr, c.stage_design, c.stage_y, c.stage_n, c.d, 1, point, result);
  const double se = result[0][1];
  free_real_matrix(1, 2, &result);
  return se;
}

// The probability that every constraint is met at x, as prob_constraints_met
// computes it, with its logarithm computed from the tails and whether the
// product itself is accurate.
struct ConstraintFactor {
  double P = 1.0;
  double log_P = 0.0;
  bool accurate = true;
};

ConstraintFactor constraint_factor(const MinimizeContext& ctx, const double* x) {
  const KrigArray* ka = ctx.ka;
  ConstraintFactor f;
  for (int k = 0; k < ka->ncons; k++) {
    const int c = ka->cons_index[k];
    double yhat, se;
    predict_one(&ctx.models[c], x, &yhat, &se);
    if (se == 0.0) se = kZeroConstraintSe;
    const double lower = ka->ydescrip[c][kYDescLower];
    const double upper = ka->ydescrip[c][kYDescUpper];
    const double z_low = lower > kNaMarker ? (lower - yhat) / se : -INFINITY;
    const double z_up = upper < kNoUpperBound ? (upper - yhat) / se : INFINITY;
    const double p_low = lower > kNaMarker ? normal_cdf(z_low, 1) : 0.0;
    const double p_up = upper < kNoUpperBound ? normal_cdf(z_up, 1) : 1.0;
    const double share = p_up - p_low;
    f.P = f.P * share;
    f.log_P += log_normal_interval(z_low, z_up, nullptr, nullptr);
    if (!(share > 0.0) || (p_low > 0.5 && share < kAccurateNearOneDifference)) f.accurate = false;
  }
  return f;
}

// The criterion where the plain value underflowed or lost its digits, from
// its logarithm log_c: the value itself where it is a normal double, otherwise
// log_c, a negative number that still rises toward the better regions and
// stays below every positive criterion.
double tail_criterion(double log_c) {
  if (log_c >= log(DBL_MIN)) return exp(log_c);
  return log_c > -DBL_MAX ? log_c : -DBL_MAX;
}

}  // namespace

double improvement_criterion(int g, double yhat, double s, double s_mult, double target) {
  bool accurate;
  return improvement_criterion_checked(g, yhat, s, s_mult, target, &accurate);
}

double improvement_criterion_checked(int g, double yhat, double s, double s_mult, double target,
                                     bool* accurate) {
  *accurate = true;
  if (s == 0.0) return 0.0;
  const double u = (target - yhat) / s;
  const double Phi = normal_cdf(u, 1);
  const double phi = normal_pdf(u);
  if (g == 1) {
    *accurate = is_accurate_sum(u * Phi + phi, fabs(u) * Phi + phi, Phi);
    return (u * Phi + phi) * s_mult;
  }
  if (g == 0) {
    // Far below any chance of improvement Phi underflows to 0; -ln(-u)
    // keeps a slope there that still points towards improvement.
    if (Phi == 0.0) return -log(-u);
    return Phi;
  }
  if (g < 0) fatal_error("ExpectedImprovement: GlobalEiParam<0 ");
  double magnitude;
  const double S = improvement_moment(g, u, phi, Phi, &magnitude);
  *accurate = is_accurate_sum(S, magnitude, Phi);
  // Far below the target rounding can leave the moment at zero or slightly
  // negative, where its root is not a number. Such a point has no real
  // chance of improvement: 0 ranks it at or below every point that has one.
  if (!(S > 0.0)) return 0.0;
  return pow(S, 1.0 / g) * s_mult;
}

double criterion_value(const MinimizeContext& c, int g, double yhat, double s, double s_mult,
                       const double* x) {
  const double target = c.target;
  bool accurate;
  double criterion = improvement_criterion_checked(g, yhat, s, s_mult, target, &accurate);
  ConstraintFactor factor;
  if (c.constraints) {
    factor = constraint_factor(c, x);
    criterion = criterion * factor.P;
  }
  // The probability of improvement keeps its own far-tail rule; a point
  // already proposed in the stage (s' = 0) has nothing to gain.
  if (g == 0 || s == 0.0 || s_mult == 0.0) return criterion;
  if (accurate && factor.accurate && criterion >= DBL_MIN) return criterion;
  const double u = (target - yhat) / s;
  const double log_c = log_improvement_moment(g, u, nullptr) / g + log(s_mult) + factor.log_P;
  if (std::isnan(log_c)) return criterion;
  return tail_criterion(log_c);
}

double prob_constraints_met(const MinimizeContext& c, const double* x) {
  return constraint_factor(c, x).P;
}

double ei_objective(double* t, int d, void* ctx) {
  const MinimizeContext& c = *static_cast<const MinimizeContext*>(ctx);
  KrigModel* kr = context_response_model(c);
  double** x = nullptr;
  alloc_real_matrix(1, d, &x);
  double* trow[1] = {t};
  trafo_inf_to_ab(1, d, trow, kr->range, x, "sin");

  double yhat, s;
  predict_one(kr, x[0], &yhat, &s);
  const double s_mult = c.stage ? stage_standard_error(c, kr, x[0]) : s;

  double criterion = 0.0;
  if (s != 0.0)
    criterion = criterion_value(c, g_settings.GlobalExpectedImprovement, yhat, s, s_mult, x[0]);
  free_real_matrix(1, d, &x);
  return -criterion;
}
