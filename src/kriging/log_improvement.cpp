// Temporary stand-in for the tail-accurate forms.
#include "kriging/log_improvement.h"

#include <cmath>

namespace {

constexpr double kLogSqrt2Pi = 0.91893853320467274178;
constexpr double kTail = 8.0;

double log_phi(double u) { return -0.5 * u * u - kLogSqrt2Pi; }

// J_g(u) = E[(u + Z)_+^g] / phi(u) for u = -t, t > kTail, by its asymptotic series.
double tail_scaled_moment(int g, double t) {
  double fact = 1.0;  // (g + 2k)!
  for (int i = 2; i <= g; i++) fact *= i;
  double sum = 0.0, coef = 1.0, tp = pow(t, g + 1);
  for (int k = 0; k < 60; k++) {
    const double term = coef * fact / tp;
    sum += term;
    if (fabs(term) < 1e-17 * fabs(sum)) break;
    coef *= -0.5 / (k + 1);
    fact *= (g + 2.0 * k + 1.0) * (g + 2.0 * k + 2.0);
    tp *= t * t;
  }
  return sum;
}

// J_0 .. J_g for -kTail <= u by the recursion J_g = u J_(g-1) + (g - 1) J_(g-2).
double scaled_moment(int g, double u, double* below) {
  double jm2 = 0.0;
  double jm1 = 0.5 * erfc(-u / sqrt(2.0)) / exp(log_phi(u));
  if (g == 0) {
    *below = 0.0;
    return jm1;
  }
  double j = u * jm1 + 1.0;
  for (int k = 2; k <= g; k++) {
    jm2 = jm1;
    jm1 = j;
    j = u * jm1 + (k - 1) * jm2;
  }
  *below = jm1;
  return j;
}

double log_cdf(double x) {
  if (x > -kTail) return log(0.5 * erfc(-x / sqrt(2.0)));
  return log_phi(x) + log(tail_scaled_moment(0, -x));
}

}  // namespace

// I_g and I_(g-1) for u >= 0 by I_g = u I_(g-1) + (g - 1) I_(g-2).
static double direct_moment(int g, double u, double* below) {
  const double Phi = 0.5 * erfc(-u / sqrt(2.0)), phi = exp(log_phi(u));
  if (g == 0) {
    *below = phi;
    return Phi;
  }
  double im2 = 0.0, im1 = Phi, i = u * Phi + phi;
  for (int k = 2; k <= g; k++) {
    im2 = im1;
    im1 = i;
    i = u * im1 + (k - 1) * im2;
  }
  *below = im1;
  return i;
}

double log_improvement_moment(int g, double u, double* dlog_du) {
  if (u >= 0.0) {
    double below;
    const double I = direct_moment(g, u, &below);
    if (dlog_du) *dlog_du = g == 0 ? below / I : g * below / I;
    return log(I);
  }
  double J, Jm1;
  if (u < -kTail) {
    J = tail_scaled_moment(g, -u);
    Jm1 = g > 0 ? tail_scaled_moment(g - 1, -u) : 0.0;
  } else {
    J = scaled_moment(g, u, &Jm1);
  }
  if (dlog_du) *dlog_du = g == 0 ? 1.0 / J : g * Jm1 / J;
  return log_phi(u) + log(J);
}

double log_normal_interval(double a, double b, double* dlog_da, double* dlog_db) {
  double L;
  if (b <= 0.0)
    L = log_cdf(b) + log1p(-exp(log_cdf(a) - log_cdf(b)));
  else if (a >= 0.0)
    L = log_cdf(-a) + log1p(-exp(log_cdf(-b) - log_cdf(-a)));
  else
    L = log1p(-0.5 * erfc(-a / sqrt(2.0)) - 0.5 * erfc(b / sqrt(2.0)));
  if (dlog_da) *dlog_da = std::isinf(a) ? 0.0 : -exp(log_phi(a) - L);
  if (dlog_db) *dlog_db = std::isinf(b) ? 0.0 : exp(log_phi(b) - L);
  return L;
}
