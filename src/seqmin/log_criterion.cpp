#include "seqmin/log_criterion.h"

#include <cmath>

#include "base/messages.h"
#include "base/settings.h"
#include "data/model_store.h"
#include "kriging/log_improvement.h"
#include "kriging/predictor.h"
#include "optim/trafo.h"
#include "seqmin/expected_improvement.h"

namespace {

// Adds d log s / dx = dMSE/dx / (2 MSE) of prediction p, times factor, to grad.
void add_log_se_slope(const GradientPrediction& p, double factor, int d, double* grad) {
  for (int l = 0; l < d; l++) grad[l] += factor * p.dmse[l] / (2.0 * p.mse);
}

// Adds dz/dx to grad times factor, for the standardised distance
// z = (c - yhat) / s of the bound c from prediction p with standard error s
// (ds/dx taken as 0 when the MSE is 0 and s stands in for it).
void add_standardised_slope(const GradientPrediction& p, double z, double s, double factor, int d,
                            double* grad) {
  for (int l = 0; l < d; l++) {
    const double ds = p.mse > 0.0 ? p.dmse[l] / (2.0 * s) : 0.0;
    grad[l] += factor * -(p.dyhat[l] + z * ds) / s;
  }
}

// (1/g) log I_g(u) (log Phi(u) for g = 0) of the response; -inf where s is 0.
double improvement_term(LogCriterion* lc, const double* x, double* grad) {
  GradientPrediction& p = lc->work;
  predict_with_gradient(&lc->response, x, grad != nullptr, &p);
  if (!(p.mse > 0.0)) return -INFINITY;
  const double s = sqrt(p.mse);
  const double u = (lc->target - p.yhat) / s;
  double slope = 0.0;
  const double log_moment = log_improvement_moment(lc->g, u, grad ? &slope : nullptr);
  const double scale = lc->g == 0 ? 1.0 : 1.0 / lc->g;
  if (grad) {
    for (int l = 0; l < lc->d; l++) grad[l] = 0.0;
    add_standardised_slope(p, u, s, scale * slope, lc->d, grad);
  }
  return scale * log_moment;
}

// log s' of the multiplier: the response's own s (still in lc->work), or in
// a stage the standard error from the stage design; -inf where it is 0.
double multiplier_term(LogCriterion* lc, const double* x, double* grad) {
  GradientPrediction& p = lc->work;
  if (lc->stage) {
    predict_with_gradient(&lc->stage_se, x, grad != nullptr, &p);
    if (!(p.mse > 0.0)) return -INFINITY;
  }
  if (grad) add_log_se_slope(p, 1.0, lc->d, grad);
  return 0.5 * log(p.mse);
}

// log P_c of one constraint: the log probability that its prediction lies
// within its bounds, with the standard error that prob_constraints_met uses.
double constraint_term(LogCriterion* lc, LogConstraint* c, const double* x, double* grad) {
  GradientPrediction& p = lc->work;
  predict_with_gradient(&c->predictor, x, grad != nullptr, &p);
  double s = sqrt(p.mse);
  if (s == 0.0) s = kZeroConstraintSe;
  const double a = std::isinf(c->lower) ? c->lower : (c->lower - p.yhat) / s;
  const double b = std::isinf(c->upper) ? c->upper : (c->upper - p.yhat) / s;
  double da = 0.0, db = 0.0;
  const double value = log_normal_interval(a, b, grad ? &da : nullptr, grad ? &db : nullptr);
  if (grad) {
    if (!std::isinf(a)) add_standardised_slope(p, a, s, da, lc->d, grad);
    if (!std::isinf(b)) add_standardised_slope(p, b, s, db, lc->d, grad);
  }
  return value;
}

}  // namespace

void open_log_criterion(const MinimizeContext& ctx, KrigModel* kr, LogCriterion* lc) {
  const KrigArray* ka = ctx.ka;
  lc->g = g_settings.GlobalExpectedImprovement;
  lc->d = kr->d[0];
  lc->target = ctx.target;
  lc->range = kr->range;
  open_model_gradient_predictor(kr, &lc->response);
  lc->stage = ctx.stage;
  if (lc->stage) {
    const AnyXState& st = ctx.stage_state;
    check_invariant(st.initialized,
                    "open_log_criterion: Code Bug: stage without its krigmse_anyX state");
    open_gradient_predictor(kr, ctx.stage_design, ctx.stage_y, st.N, st.A, st.inveig,
                            &lc->stage_se);
  }
  lc->constraints.clear();
  if (!ctx.constraints) return;
  lc->constraints.resize(ka->ncons);
  for (int k = 0; k < ka->ncons; k++) {
    const int c = ka->cons_index[k];
    LogConstraint& con = lc->constraints[k];
    open_model_gradient_predictor(&ctx.models[c], &con.predictor);
    const double lower = ka->ydescrip[c][kYDescLower];
    const double upper = ka->ydescrip[c][kYDescUpper];
    con.lower = lower > kNaMarker ? lower : -INFINITY;
    con.upper = upper < kNoUpperBound ? upper : INFINITY;
  }
}

double log_criterion(LogCriterion* lc, const double* x, double* grad) {
  double L = improvement_term(lc, x, grad);
  if (L == -INFINITY) return L;
  if (lc->g != 0) {
    const double m = multiplier_term(lc, x, grad);
    if (m == -INFINITY) return m;
    L += m;
  }
  for (LogConstraint& c : lc->constraints) L += constraint_term(lc, &c, x, grad);
  return L;
}

bool negative_log_criterion_in_t(const double* t, int d, double* f, double* grad, void* ctx) {
  LogCriterion* lc = static_cast<LogCriterion*>(ctx);
  std::vector<double> x(d);
  double* trow[1] = {const_cast<double*>(t)};
  double* xrow[1] = {x.data()};
  trafo_inf_to_ab(1, d, trow, lc->range, xrow, "sin");
  const double L = log_criterion(lc, x.data(), grad);
  if (!std::isfinite(L)) return false;
  *f = -L;
  for (int l = 0; l < d; l++) {
    const double dx_dt = 0.5 * (lc->range[l][1] - lc->range[l][0]) * cos(t[l]);
    grad[l] = -grad[l] * dx_dt;
  }
  return true;
}
