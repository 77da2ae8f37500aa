#include "kriging/likelihood_gradient.h"

#include <algorithm>
#include <cmath>

#include "kriging/correlation.h"
#include "kriging/krigfit.h"
#include "numeric/cholesky.h"
#include "numeric/vecutil.h"
#include "optim/quasi_newton.h"

namespace {

// Relative change of -L and gradient size at which a try has converged; the
// likelihood is only compared to a few decimals, so these are far below
// what the comparison of tries can see.
constexpr double kGradientFtolRel = 1e-7;
constexpr double kGradientGtol = 1e-4;

// |dx|^p from ln|dx|; pow(0, 0) is 1 as in the correlation itself.
double power_from_log(double log_dist, double p) {
  if (std::isinf(log_dist)) return p == 0.0 ? 1.0 : 0.0;
  return exp(p * log_dist);
}

// R into the lower triangle of w->L, with the per-pair powers and
// correlations the gradient reuses.
void build_R(LikelihoodGradient* w, const double* alpha, const double* theta, double s) {
  const int n = w->n, d = w->d;
  long pair = 0;
  for (int i = 0; i < n; i++) {
    w->L[static_cast<long>(i) * n + i] = 1.0;
    for (int j = i + 1; j < n; j++, pair++) {
      const double* ld = &w->log_dist[pair * d];
      double* dp = &w->dist_pow[pair * d];
      double sum = 0.0;
      for (int l = 0; l < d; l++) {
        dp[l] = power_from_log(ld[l], 2.0 - alpha[l]);
        sum += theta[l] * dp[l];
      }
      w->corr[pair] = exp(-sum);
      w->L[static_cast<long>(j) * n + i] = s * w->corr[pair];
    }
  }
}

// dL/dalpha, dL/dtheta and dL/ds from a and R^-1 in one pass over the pairs.
void gradient_in_parameters(LikelihoodGradient* w, const double* theta, double s, double* g_alpha,
                            double* g_theta, double* g_s) {
  const int n = w->n, d = w->d;
  for (int l = 0; l < d; l++) g_alpha[l] = g_theta[l] = 0.0;
  *g_s = 0.0;
  const double* U = w->U.data();
  long pair = 0;
  for (int i = 0; i < n; i++) {
    const double* u_i = U + static_cast<long>(i) * n;
    const double a_i = w->a[i] / w->sigma2;
    for (int j = i + 1; j < n; j++, pair++) {
      const double* u_j = U + static_cast<long>(j) * n;
      const double r_inv = dot_product_unrolled(u_i + j, u_j + j, n - j);
      const double weight = a_i * w->a[j] - r_inv;
      const double c = w->corr[pair];
      *g_s += weight * c;
      const double wr = weight * s * c;
      const double* ld = &w->log_dist[pair * d];
      const double* dp = &w->dist_pow[pair * d];
      for (int l = 0; l < d; l++) {
        const double term = wr * dp[l];
        g_theta[l] -= term;
        // |dx|^p ln|dx| tends to 0 at dx = 0.
        if (dp[l] != 0.0 && !std::isinf(ld[l])) g_alpha[l] += term * ld[l];
      }
    }
  }
  for (int l = 0; l < d; l++) g_alpha[l] *= theta[l];
}

struct SearchContext {
  LikelihoodGradient* w;
  FallbackObjective fallback;
  std::vector<double> t;  // a copy the fallback may write through
};

// -L and its gradient for the minimiser; a point without a Cholesky factor
// goes through the eigen path for its warnings and counters and is refused.
bool negative_loglik(const double* x, int m, double* f, double* g, void* ctx) {
  SearchContext* c = static_cast<SearchContext*>(ctx);
  double L = 0.0;
  const LikelihoodStatus status = likelihood_gradient_eval(c->w, x, &L, g);
  if (status == LikelihoodStatus::kOk) {
    *f = -L;
    for (int i = 0; i < m; i++) g[i] = -g[i];
    return true;
  }
  if (status == LikelihoodStatus::kNotPositiveDefinite) {
    c->t.assign(x, x + m);
    *f = c->fallback(c->t.data(), m);
  }
  return false;
}

}  // namespace

void likelihood_gradient_setup(LikelihoodGradient* w, double* const* X, const double* y, int n,
                               int d, bool random_error) {
  w->n = n;
  w->d = d;
  w->random_error = random_error;
  w->y.assign(y, y + n);
  const long pairs = static_cast<long>(n) * (n - 1) / 2;
  w->log_dist.resize(pairs * d);
  w->dist_pow.resize(pairs * d);
  w->corr.resize(pairs);
  long pair = 0;
  for (int i = 0; i < n; i++)
    for (int j = i + 1; j < n; j++, pair++)
      for (int l = 0; l < d; l++) w->log_dist[pair * d + l] = log(fabs(X[i][l] - X[j][l]));
  w->L.assign(static_cast<size_t>(n) * n, 0.0);
  w->U.assign(static_cast<size_t>(n) * n, 0.0);
  w->work.assign(n, 0.0);
  w->ones_w.assign(n, 0.0);
  w->resid_w.assign(n, 0.0);
  w->a.assign(n, 0.0);
}

LikelihoodStatus likelihood_gradient_eval(LikelihoodGradient* w, const double* t, double* loglik,
                                          double* grad) {
  const int n = w->n, d = w->d;
  std::vector<double> alpha(d), theta(d);
  double s = 1.0;
  corpar_from_t(t, d, w->random_error, alpha.data(), theta.data(), &s);
  build_R(w, alpha.data(), theta.data(), s);
  double* L = w->L.data();
  if (!cholesky_lower(L, n, kSingularEigenvalue)) return LikelihoodStatus::kNotPositiveDefinite;

  double logdet = 0.0;
  for (int i = 0; i < n; i++) logdet += log(L[static_cast<long>(i) * n + i]);
  w->logdet = 2.0 * logdet;

  // Generalised least squares in the whitened coordinates L^-1 F, L^-1 y.
  std::fill(w->ones_w.begin(), w->ones_w.end(), 1.0);
  solve_lower(L, n, w->ones_w.data());
  w->resid_w = w->y;
  solve_lower(L, n, w->resid_w.data());
  const double* ones = w->ones_w.data();
  w->beta = dot_product(ones, n, w->resid_w.data()) / dot_product(ones, n, ones);
  for (int i = 0; i < n; i++) w->resid_w[i] -= w->beta * w->ones_w[i];
  w->sigma2 = dot_product(w->resid_w.data(), n, w->resid_w.data()) / n;
  if (!(w->sigma2 > 0.0)) return LikelihoodStatus::kNotPositiveDefinite;
  const double value = -0.5 * (n * log(w->sigma2) + w->logdet);
  if (!std::isfinite(value)) return LikelihoodStatus::kNotPositiveDefinite;

  // tr(R^-1) is the sum of the squares of L'^-1.
  inverse_of_lower_transposed(L, n, w->U.data(), w->work.data());
  double trace = 0.0;
  for (int i = 0; i < n; i++) {
    const double* u_i = &w->U[static_cast<long>(i) * n + i];
    trace += dot_product_unrolled(u_i, u_i, n - i);
  }
  if (!(1.0 / trace > kMinCorrelationEigenvalue)) return LikelihoodStatus::kNearlySingular;
  *loglik = value;
  if (grad == nullptr) return LikelihoodStatus::kOk;

  w->a = w->resid_w;
  solve_lower_transposed(L, n, w->a.data());
  std::vector<double> g_alpha(d), g_theta(d);
  double g_s = 0.0;
  gradient_in_parameters(w, theta.data(), s, g_alpha.data(), g_theta.data(), &g_s);
  // Chain rule to t: alpha = sin t + 1, theta = t^2 / 10, s = sin t / 2 + 0.5.
  for (int l = 0; l < d; l++) {
    grad[l] = g_alpha[l] * cos(t[l]);
    grad[d + l] = g_theta[l] * t[d + l] / 5.0;
  }
  if (w->random_error) grad[2 * d] = g_s * cos(t[2 * d]) / 2.0;
  return LikelihoodStatus::kOk;
}

int gradient_search_try(LikelihoodGradient* w, int m, double** P, double* Y,
                        FallbackObjective fallback, int max_evaluations, bool* hit_limit) {
  SearchContext ctx{w, fallback, {}};
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
    const QuasiNewtonResult r = quasi_newton_minimize(negative_loglik, &ctx, m, x.data(), control);
    evaluations += r.evaluations;
    if (r.started) {
      for (int j = 0; j < m; j++) P[0][j] = x[j];
      Y[0] = r.f;
      *hit_limit = r.hit_limit;
      return evaluations;
    }
  }
  // No vertex could start the search: vertex 0 stands.
  Y[0] = fallback(P[0], m);
  return 0;
}
