#include "kriging/kernel.h"

#include <cmath>

#include "base/messages.h"
#include "base/settings.h"
#include "data/model_store.h"
#include "numeric/cpu_features.h"
#include "numeric/vector_exp.h"
#include "numeric/vecutil.h"

void corpar_from_t(const double* t, int d, bool random_error, double* alpha, double* theta,
                   double* share) {
  for (int l = 0; l < d; l++) {
    alpha[l] = sin(t[l]) + 1.0;
    theta[l] = t[d + l] * t[d + l] / 10.0;
  }
  if (random_error) *share = sin(t[2 * d]) / 2.0 + 0.5;
}

void set_corpar(KrigModel* kr, const double* t, int d) {
  corpar_from_t(t, d, g_settings.RandomError, kr->alpha, kr->theta, kr->stochratio);
}

void trafo_corpar(const double* alpha, const double* theta, double sigma2, double stochratio,
                  double* t, int d) {
  for (int l = 0; l < d; l++) {
    const double b = alpha[l] - 1.0;
    if (!(b >= -1.0 && b <= 1.0))
      fatal_error_value("krigfit, trafo_corpar: arcsin argument out of range", b,
                        "arcsin argument: ");
    t[l] = asin(b);
    if (theta[l] >= 0.0)
      t[d + l] = sqrt(theta[l] * 10.0);
    else
      fatal_error_value("trafo_corpar: theta<0.0", theta[l], "theta[i]: ");
  }
  if (g_settings.RandomError) {
    if (sigma2 > 0.0)
      t[2 * d] = asin((stochratio - 0.5) * 2.0);
    else
      fatal_error_value("trafo_corpar: var", sigma2, " ");
  }
}

void kernel_gradient_to_t(const double* t, int d, bool random_error, const double* g_alpha,
                          const double* g_theta, double g_share, double* grad) {
  // alpha = sin t + 1, theta = t^2 / 10, s = sin t / 2 + 0.5.
  for (int l = 0; l < d; l++) {
    grad[l] = g_alpha[l] * cos(t[l]);
    grad[d + l] = g_theta[l] * t[d + l] / 5.0;
  }
  if (random_error) grad[2 * d] = g_share * cos(t[2 * d]) / 2.0;
}

namespace {

// d/dx of |x - c|^p for delta = c - x, from w = |delta|^p: p w / (x - c),
// 0 where it is not defined (x = c with p <= 1) and for p = 0 (a constant).
double distance_power_slope(double delta, double p, double w) {
  if (delta == 0.0 || p == 0.0) return 0.0;
  return -p * w / delta;
}

}  // namespace

void kernel_correlations_with_slopes(double* const* Xs, int N, const double* x,
                                     const double* alpha, const double* theta, int d, double s,
                                     double* out, double* slopes) {
  for (int i = 0; i < N; i++) {
    const double* Xi = Xs[i];
    double sum = 0.0;
    for (int l = 0; l < d; l++) {
      const double delta = Xi[l] - x[l];
      const double power = 2.0 - alpha[l];
      const double w = power == 2.0 ? delta * delta : pow(fabs(delta), power);
      sum += theta[l] * w;
      if (slopes) slopes[i * d + l] = distance_power_slope(delta, power, w);
    }
    double c = exp(-sum);
    // With a random error a new point on a design point correlates with it by s exactly.
    if (s != 1.0 && equal_real_vectors(d, x, Xi)) c = 1.0;
    out[i] = s * c;
  }
}

void kernel_pairs_setup(KernelPairs* k, double* const* X, int n, int d) {
  k->n = n;
  k->d = d;
  const long pairs = static_cast<long>(n) * (n - 1) / 2;
  k->pairs = pairs;
  k->log_dist.assign(pairs * d, 0.0);
  k->dist_pow.assign(pairs * d, 0.0);
  k->corr.assign(pairs, 0.0);
  k->zero_dist.assign(d, std::vector<long>());
  for (int l = 0; l < d; l++) {
    long pair = 0;
    for (int i = 0; i < n; i++) {
      for (int j = i + 1; j < n; j++, pair++) {
        const double dx = fabs(X[i][l] - X[j][l]);
        // exp(p * 0) = 1 is corrected to 0^p after the exponential.
        if (dx == 0.0) k->zero_dist[l].push_back(pair);
        k->log_dist[l * pairs + pair] = dx == 0.0 ? 0.0 : log(dx);
      }
    }
  }
}

namespace {

// Sums of many terms in eight interleaved parts, so that the additions
// overlap.
inline double sum_of_products(const double* a, const double* b, long count) {
  double s[8] = {0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0};
  long k = 0;
  for (; k + 8 <= count; k += 8)
    for (int q = 0; q < 8; q++) s[q] += a[k + q] * b[k + q];
  for (; k < count; k++) s[0] += a[k] * b[k];
  return ((s[0] + s[1]) + (s[2] + s[3])) + ((s[4] + s[5]) + (s[6] + s[7]));
}

// The powers |dx_l|^(2 - alpha_l) as exp of their logarithms, and the
// correlations from them. The elementwise loops here and in the gradient use
// the widest vector instructions at hand (one version per instruction set,
// chosen at load time).
DORVE_VECTOR_CLONES void pair_correlations(KernelPairs* w, const double* alpha,
                                           const double* theta) {
  const int d = w->d;
  const long pairs = w->pairs;
  double* corr = w->corr.data();
  for (long k = 0; k < pairs; k++) corr[k] = 0.0;
  for (int l = 0; l < d; l++) {
    const double p = 2.0 - alpha[l];
    const double* ld = &w->log_dist[l * pairs];
    double* dp = &w->dist_pow[l * pairs];
    for (long k = 0; k < pairs; k++) dp[k] = p * ld[k];
    exp_array(dp, dp, pairs);
    // Coinciding coordinates: 0^p, with 0^0 = 1 as in the correlation itself.
    for (long k : w->zero_dist[l]) dp[k] = p == 0.0 ? 1.0 : 0.0;
    const double t = theta[l];
    for (long k = 0; k < pairs; k++) corr[k] -= t * dp[k];
  }
  exp_array(corr, corr, pairs);
}

// The pairs of one design point at a time.
DORVE_VECTOR_CLONES void pair_gradient(const KernelPairs* w, const double* Rinv,
                                       const double* a_all, double sigma2, double s,
                                       const double* theta, double* work, const double* ones,
                                       double* g_alpha, double* g_theta, double* g_s) {
  const int n = w->n, d = w->d;
  const long pairs = w->pairs;
  for (int l = 0; l < d; l++) g_alpha[l] = g_theta[l] = 0.0;
  *g_s = 0.0;
  double* wr = work;
  double* term = work + n;
  long first = 0;
  for (int i = 0; i < n - 1; first += n - 1 - i, i++) {
    const int count = n - 1 - i;
    const double* r_inv = Rinv + static_cast<long>(i) * n + i + 1;
    const double* a = a_all + i + 1;
    const double* c = &w->corr[first];
    const double a_i = a_all[i] / sigma2;
    // weight * c for the pairs (i, j), j > i.
    for (int k = 0; k < count; k++) wr[k] = (a_i * a[k] - r_inv[k]) * c[k];
    *g_s += sum_of_products(wr, ones, count);
    for (int k = 0; k < count; k++) wr[k] *= s;
    for (int l = 0; l < d; l++) {
      const double* dp = &w->dist_pow[l * pairs + first];
      for (int k = 0; k < count; k++) term[k] = wr[k] * dp[k];
      g_theta[l] -= sum_of_products(term, ones, count);
      // |dx|^p ln|dx| tends to 0 at dx = 0, where the logarithm is kept as 0.
      g_alpha[l] += sum_of_products(term, &w->log_dist[l * pairs + first], count);
    }
  }
  for (int l = 0; l < d; l++) g_alpha[l] *= theta[l];
}

}  // namespace

void kernel_pair_correlations(KernelPairs* k, const double* alpha, const double* theta) {
  pair_correlations(k, alpha, theta);
}

void kernel_pair_gradient(const KernelPairs* k, const double* Rinv, const double* a,
                          double sigma2, double s, const double* theta, double* work,
                          const double* ones, double* g_alpha, double* g_theta, double* g_s) {
  pair_gradient(k, Rinv, a, sigma2, s, theta, work, ones, g_alpha, g_theta, g_s);
}
