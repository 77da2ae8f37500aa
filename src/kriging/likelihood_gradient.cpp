#include "kriging/likelihood_gradient.h"

#include <algorithm>
#include <cmath>

#include "kriging/correlation.h"
#include "kriging/kernel.h"
#include "kriging/krigfit.h"
#include "numeric/cpu_features.h"
#include "numeric/lapack_cholesky.h"
#include "numeric/vecutil.h"
#include "optim/quasi_newton.h"

namespace {

// Relative change of -L and gradient size at which a try has converged; the
// likelihood is only compared to a few decimals, so these are far below
// what the comparison of tries can see.
constexpr double kGradientFtolRel = 1e-7;
constexpr double kGradientGtol = 1e-4;

// R into w->L (column-major lower triangle: element (j, i), j > i, at
// i * n + j, so that the pairs i < j run through memory in order), from the
// kernel's pairwise correlations, which the gradient reuses.
DORVE_VECTOR_CLONES void build_R(LikelihoodGradient* w, const double* alpha,
                                 const double* theta, double s) {
  const int n = w->n;
  kernel_pair_correlations(&w->kernel, alpha, theta);
  const double* corr = w->kernel.corr.data();
  long pair = 0;
  for (int i = 0; i < n; i++) {
    double* column = &w->L[static_cast<long>(i) * n];
    column[i] = 1.0;
    for (int j = i + 1; j < n; j++, pair++) column[j] = s * corr[pair];
  }
}

struct SearchContext {
  LikelihoodGradient* w;
  ObjectiveFunction fallback;
  void* fallback_ctx;
  std::vector<double> t;  // a copy the fallback may write through
};

}  // namespace

void likelihood_gradient_setup(LikelihoodGradient* w, double* const* X, const double* y, int n,
                               int d, bool random_error) {
  w->n = n;
  w->d = d;
  w->random_error = random_error;
  w->y.assign(y, y + n);
  kernel_pairs_setup(&w->kernel, X, n, d);
  w->L.assign(static_cast<size_t>(n) * n, 0.0);
  w->work.assign(2 * static_cast<size_t>(n), 0.0);
  w->ones.assign(n, 1.0);
  w->alpha.assign(d, 0.0);
  w->theta.assign(d, 0.0);
  w->ones_w.assign(n, 0.0);
  w->resid_w.assign(n, 0.0);
  w->a.assign(n, 0.0);
}

namespace {

// The value part of an evaluation at t: R, its factor (left in w->L), beta,
// sigma2 and L in *loglik. kNotPositiveDefinite when the factor or the
// value cannot be formed.
LikelihoodStatus likelihood_value(LikelihoodGradient* w, const double* t, double* loglik) {
  const int n = w->n, d = w->d;
  double s = 1.0;
  corpar_from_t(t, d, w->random_error, w->alpha.data(), w->theta.data(), &s);
  w->share = s;
  build_R(w, w->alpha.data(), w->theta.data(), s);
  double* L = w->L.data();
  if (!lapack_cholesky(L, n, kSingularEigenvalue)) return LikelihoodStatus::kNotPositiveDefinite;

  double logdet = 0.0;
  for (int i = 0; i < n; i++) logdet += log(L[static_cast<long>(i) * n + i]);
  w->logdet = 2.0 * logdet;

  // Generalised least squares in the whitened coordinates L^-1 F, L^-1 y.
  std::fill(w->ones_w.begin(), w->ones_w.end(), 1.0);
  lapack_solve_lower(L, n, w->ones_w.data());
  w->resid_w = w->y;
  lapack_solve_lower(L, n, w->resid_w.data());
  const double* ones = w->ones_w.data();
  w->beta = dot_product(ones, n, w->resid_w.data()) / dot_product(ones, n, ones);
  for (int i = 0; i < n; i++) w->resid_w[i] -= w->beta * w->ones_w[i];
  w->sigma2 = dot_product(w->resid_w.data(), n, w->resid_w.data()) / n;
  if (!(w->sigma2 > 0.0)) return LikelihoodStatus::kNotPositiveDefinite;
  const double value = -0.5 * (n * log(w->sigma2) + w->logdet);
  if (!std::isfinite(value)) return LikelihoodStatus::kNotPositiveDefinite;
  *loglik = value;
  return LikelihoodStatus::kOk;
}

// The rest of an evaluation after likelihood_value: R^-1 in place of the
// factor, the test of 1 / tr(R^-1), and the gradient in t when grad is not
// null.
LikelihoodStatus likelihood_gradient_part(LikelihoodGradient* w, const double* t, double* grad) {
  const int n = w->n, d = w->d;
  double* L = w->L.data();
  // a = R^-1 (y - F beta), while L still holds the factor; then R^-1 in its place.
  w->a = w->resid_w;
  lapack_solve_lower_transposed(L, n, w->a.data());
  lapack_inverse_from_cholesky(L, n);
  double trace = 0.0;
  for (int i = 0; i < n; i++) trace += L[static_cast<long>(i) * n + i];
  if (!(1.0 / trace > kMinCorrelationEigenvalue)) return LikelihoodStatus::kNearlySingular;
  if (grad == nullptr) return LikelihoodStatus::kOk;

  std::vector<double> g_alpha(d), g_theta(d);
  double g_s = 0.0;
  kernel_pair_gradient(&w->kernel, L, w->a.data(), w->sigma2, w->share, w->theta.data(),
                       w->work.data(), w->ones.data(), g_alpha.data(), g_theta.data(), &g_s);
  kernel_gradient_to_t(t, d, w->random_error, g_alpha.data(), g_theta.data(), g_s, grad);
  return LikelihoodStatus::kOk;
}

}  // namespace

LikelihoodStatus likelihood_gradient_eval(LikelihoodGradient* w, const double* t, double* loglik,
                                          double* grad) {
  double value = 0.0;
  LikelihoodStatus status = likelihood_value(w, t, &value);
  if (status == LikelihoodStatus::kOk) status = likelihood_gradient_part(w, t, grad);
  if (status == LikelihoodStatus::kOk) *loglik = value;
  return status;
}

namespace {

// -L for the minimiser, and its gradient when -L is at most bound (a point
// above it is refused by the line search whatever its gradient, which then
// costs nothing: only the factor was formed). A point without a Cholesky
// factor goes through the eigen path for its warnings and counters and is
// refused, as is a nearly singular one that the search would accept.
QuasiNewtonEvaluation negative_loglik(const double* x, int m, double bound, double* f, double* g,
                                      void* ctx) {
  SearchContext* c = static_cast<SearchContext*>(ctx);
  double L = 0.0;
  LikelihoodStatus status = likelihood_value(c->w, x, &L);
  if (status == LikelihoodStatus::kNotPositiveDefinite) {
    c->t.assign(x, x + m);
    *f = c->fallback(c->t.data(), m, c->fallback_ctx);
    return QuasiNewtonEvaluation::kUnusable;
  }
  *f = -L;
  if (*f > bound) return QuasiNewtonEvaluation::kValueOnly;
  status = likelihood_gradient_part(c->w, x, g);
  if (status != LikelihoodStatus::kOk) return QuasiNewtonEvaluation::kUnusable;
  for (int i = 0; i < m; i++) g[i] = -g[i];
  return QuasiNewtonEvaluation::kValueAndGradient;
}

}  // namespace

int gradient_search_try(LikelihoodGradient* w, int m, double** P, double* Y,
                        ObjectiveFunction fallback, void* fallback_ctx, int max_evaluations,
                        bool* hit_limit) {
  SearchContext ctx{w, fallback, fallback_ctx, {}};
  QuasiNewtonControl control;
  control.ftol_rel = kGradientFtolRel;
  control.gtol = kGradientGtol;
  std::vector<double> x(m);
  int evaluations = 0;
  *hit_limit = false;
  for (int v = 0; v <= m; v++) {
    control.max_evaluations = max_evaluations - evaluations;
    if (control.max_evaluations <= 0) break;
    x.assign(P[v], P[v] + m);
    const QuasiNewtonResult r =
        quasi_newton_minimize_bounded(negative_loglik, &ctx, m, x.data(), control);
    evaluations += r.evaluations;
    if (r.started) {
      for (int j = 0; j < m; j++) P[0][j] = x[j];
      Y[0] = r.f;
      *hit_limit = r.hit_limit;
      return evaluations;
    }
  }
  // No vertex could start the search: vertex 0 stands.
  Y[0] = fallback(P[0], m, fallback_ctx);
  return 0;
}
