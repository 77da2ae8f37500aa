#include "seqmin/expected_improvement.h"

#include <cmath>

#include "base/messages.h"
#include "base/settings.h"
#include "data/model_store.h"
#include "kriging/normal.h"
#include "kriging/predictor.h"
#include "numeric/storage.h"
#include "numeric/vecutil.h"
#include "optim/trafo.h"

MinimizeContext g_minctx;

KrigModel* context_response_model() {
  return &g_minctx.models[g_minctx.ka->resp_index[0]];
}

double recurse_integral(int p, double phi, double Phi, double u) {
  if (p < 0) fatal_error("recurse_integral: p<0");
  if (p == 0) return Phi;
  if (p == 1) return -phi;
  return (p - 1) * recurse_integral(p - 2, phi, Phi, u) - pow(u, p - 1) * phi;
}

namespace {

// The g-th moment of the improvement in units of s: sum over j of
// C(g, j) (-1)^j u^(g-j) T_j.
double improvement_moment(int g, double u, double phi, double Phi) {
  double S = 0.0;
  for (int j = 0; j <= g; j++) {
    const double sign = pow(-1.0, j % 2);
    S += choose(g, j) * sign * pow(u, g - j) * recurse_integral(j, phi, Phi, u);
  }
  return S;
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
double stage_standard_error(KrigModel* kr, const double* x) {
  double** result = nullptr;
  alloc_real_matrix(1, 2, &result);
  double* point[1] = {const_cast<double*>(x)};
  krigmse_anyX(kr, g_minctx.stage_design, g_minctx.stage_y, g_minctx.stage_n, g_minctx.d, 1,
               point, result);
  const double se = result[0][1];
  free_real_matrix(1, 2, &result);
  return se;
}

}  // namespace

double improvement_criterion(int g, double yhat, double s, double s_mult, double target) {
  if (s == 0.0) return 0.0;
  const double u = (target - yhat) / s;
  const double Phi = normal_cdf(u, 1);
  const double phi = normal_pdf(u);
  if (g == 1) return (u * Phi + phi) * s_mult;
  if (g == 0) {
    // Far below any chance of improvement Phi underflows to 0; -ln(-u)
    // keeps a slope there that still points towards improvement.
    if (Phi == 0.0) return -log(-u);
    return Phi;
  }
  if (g < 0) fatal_error("ExpectedImprovement: GlobalEiParam<0 ");
  const double S = improvement_moment(g, u, phi, Phi);
  // Far below the target rounding can leave the moment at zero or slightly
  // negative, where its root is not a number. Such a point has no real
  // chance of improvement: 0 ranks it at or below every point that has one.
  if (!(S > 0.0)) return 0.0;
  return pow(S, 1.0 / g) * s_mult;
}

double prob_constraints_met(const double* x) {
  const KrigArray* ka = g_minctx.ka;
  double P = 1.0;
  for (int k = 0; k < ka->ncons; k++) {
    const int c = ka->cons_index[k];
    double yhat, se;
    predict_one(&g_minctx.models[c], x, &yhat, &se);
    if (se == 0.0) se = kZeroConstraintSe;
    const double lower = ka->ydescrip[c][kYDescLower];
    const double upper = ka->ydescrip[c][kYDescUpper];
    const double p_low = lower > kNaMarker ? normal_cdf((lower - yhat) / se, 1) : 0.0;
    const double p_up = upper < kNoUpperBound ? normal_cdf((upper - yhat) / se, 1) : 1.0;
    P = P * (p_up - p_low);
  }
  return P;
}

double ei_objective(double* t, int d) {
  KrigModel* kr = context_response_model();
  double** x = nullptr;
  alloc_real_matrix(1, d, &x);
  double* trow[1] = {t};
  trafo_inf_to_ab(1, d, trow, kr->range, x, "sin");

  double yhat, s;
  predict_one(kr, x[0], &yhat, &s);
  const double s_mult = g_minctx.stage ? stage_standard_error(kr, x[0]) : s;

  double criterion = 0.0;
  if (s != 0.0) {
    criterion = improvement_criterion(g_settings.GlobalExpectedImprovement, yhat, s, s_mult,
                                      g_minctx.target);
    if (g_minctx.constraints) criterion = criterion * prob_constraints_met(x[0]);
  }
  free_real_matrix(1, d, &x);
  return -criterion;
}
