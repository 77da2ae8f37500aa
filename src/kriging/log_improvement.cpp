#include "kriging/log_improvement.h"

#include <cmath>

namespace {

constexpr double kLogSqrtTwoPi = 0.91893853320467274178;  // log sqrt(2 pi)
constexpr double kSqrtHalf = 0.70710678118654752440;      // 1 / sqrt(2)
// From here on (x = -u) the continued fraction; nearer the target the
// forward recurrence, whose cancellation stays below 1e-12 there for g <= 10.
constexpr double kContinuedFractionFrom = 1.5;
// Depth of the continued fraction: 30 + 600 / x^2 terms reach full double
// precision for every g <= 10 and x >= 1.5 (fewer terms as x grows).
constexpr int kFractionBaseDepth = 30;
constexpr double kFractionDepthScale = 600.0;
// Beyond this u, I_g = u^g (1 + O(g^2 / u^2)) to within rounding, and the
// forward recurrence would overflow for large g.
constexpr double kPowerFormFrom = 1e8;

double log_normal_density(double z) { return -0.5 * z * z - kLogSqrtTwoPi; }

// log I_g and its derivative for x = -u >= 1.5 from the ratios r_k.
double continued_fraction_form(int g, double x, double* dlog_du) {
  const double depth = kFractionBaseDepth + std::ceil(kFractionDepthScale / (x * x));
  double ratio[kMaxImprovementMoment + 1];
  double r = 0.0;
  for (int k = static_cast<int>(depth); k >= 1; k--) {
    r = k / (x + r);
    if (k <= g) ratio[k] = r;
  }
  // r now holds r_1: I_0 = phi(x) / (x + r_1).
  double log_moment = log_normal_density(x) - std::log(x + r);
  for (int k = 1; k <= g; k++) log_moment += std::log(ratio[k]);
  if (dlog_du) *dlog_du = g == 0 ? x + r : g / ratio[g];
  return log_moment;
}

// log I_g and its derivative for x = -u < 1.5 by the forward recurrence.
double forward_form(int g, double x, double* dlog_du) {
  const double Phi = 0.5 * std::erfc(x * kSqrtHalf);  // Phi(u)
  const double phi = std::exp(log_normal_density(x));
  double previous = Phi;       // I_(k-1)
  double current = phi - x * Phi;  // I_k, k = 1
  if (g == 0) {
    if (dlog_du) *dlog_du = phi / Phi;
    return std::log(Phi);
  }
  for (int k = 1; k < g; k++) {
    const double next = k * previous - x * current;
    previous = current;
    current = next;
  }
  if (dlog_du) *dlog_du = g * previous / current;
  return std::log(current);
}

}  // namespace

double log_improvement_moment(int g, double u, double* dlog_du) {
  if (std::isnan(u)) {
    if (dlog_du) *dlog_du = u;
    return u;
  }
  if (u == -INFINITY) {
    if (dlog_du) *dlog_du = INFINITY;
    return -INFINITY;
  }
  if (u > kPowerFormFrom) {
    if (dlog_du) *dlog_du = g / u;
    return g * std::log(u);
  }
  const double x = -u;
  if (x >= kContinuedFractionFrom) return continued_fraction_form(g, x, dlog_du);
  return forward_form(g, x, dlog_du);
}

double log_normal_interval(double a, double b, double* dlog_da, double* dlog_db) {
  double log_mass;
  if (!(a < b)) {
    log_mass = -INFINITY;
  } else if (b <= 0.0) {
    // Both in the lower tail: Phi(b) (1 - Phi(a) / Phi(b)).
    const double log_upper = log_improvement_moment(0, b, nullptr);
    const double log_lower = log_improvement_moment(0, a, nullptr);
    log_mass = log_upper + std::log(-std::expm1(log_lower - log_upper));
  } else if (a >= 0.0) {
    // Both in the upper tail: by symmetry Phi(-a) - Phi(-b).
    log_mass = log_normal_interval(-b, -a, nullptr, nullptr);
  } else {
    // a < 0 < b: the two tails left out hold less than the whole mass.
    const double below = 0.5 * std::erfc(-a * kSqrtHalf);
    const double above = 0.5 * std::erfc(b * kSqrtHalf);
    log_mass = std::log1p(-(below + above));
  }
  // d/db = phi(b) / (Phi(b) - Phi(a)), d/da = -phi(a) / (Phi(b) - Phi(a)).
  const bool empty = log_mass == -INFINITY;
  if (dlog_da) *dlog_da = empty ? 0.0 : -std::exp(log_normal_density(a) - log_mass);
  if (dlog_db) *dlog_db = empty ? 0.0 : std::exp(log_normal_density(b) - log_mass);
  return log_mass;
}
