#include "optim/quasi_newton.h"

#include <cmath>
#include <vector>

namespace {

// Sufficient decrease and curvature constants of the weak Wolfe conditions.
constexpr double kArmijo = 1e-4;
constexpr double kCurvature = 0.9;
// Trial steps in one line search.
constexpr int kMaxLineTrials = 30;

double dot(const std::vector<double>& a, const std::vector<double>& b) {
  double s = 0.0;
  for (size_t i = 0; i < a.size(); i++) s += a[i] * b[i];
  return s;
}

double max_abs(const std::vector<double>& a) {
  double m = 0.0;
  for (double v : a) m = fmax(m, fabs(v));
  return m;
}

struct Search {
  BoundedValueGradientFunction fg;
  void* ctx;
  int n;
  const QuasiNewtonControl& control;
  int evaluations = 0;

  bool out_of_budget() const { return evaluations >= control.max_evaluations; }

  // False when x cannot be evaluated; otherwise *f, and g unless *f > bound.
  bool evaluate(const std::vector<double>& x, double bound, double* f, std::vector<double>* g) {
    evaluations++;
    const QuasiNewtonEvaluation e = fg(x.data(), n, bound, f, g->data(), ctx);
    if (e == QuasiNewtonEvaluation::kUnusable || !std::isfinite(*f)) return false;
    // A value at or below the bound must come with its gradient.
    return e == QuasiNewtonEvaluation::kValueAndGradient || *f > bound;
  }
};

// A function with its gradient everywhere, seen as a bounded one.
struct PlainFunction {
  ValueGradientFunction fg;
  void* ctx;
};

QuasiNewtonEvaluation plain_evaluation(const double* x, int n, double, double* f, double* g,
                                       void* ctx) {
  const PlainFunction* p = static_cast<const PlainFunction*>(ctx);
  return p->fg(x, n, f, g, p->ctx) ? QuasiNewtonEvaluation::kValueAndGradient
                                   : QuasiNewtonEvaluation::kUnusable;
}

// A point with its value and gradient.
struct Point {
  std::vector<double> x, g;
  double f = 0.0;
};

enum class LineResult { kFound, kFailed, kBelowTolerance };

// Searches along dir from p (slope g'dir < 0) for a step with sufficient
// decrease and enough curvature, starting with step a. Bisects (or
// interpolates) when a trial fails or rises, doubles while the slope stays
// steep. Found: a decreasing step, in *next. BelowTolerance: the steps left
// to try could lower f by less than min_decrease, so f is as low as its
// rounding lets the search tell.
LineResult line_search(Search& s, const Point& p, const std::vector<double>& dir, double a,
                       double min_decrease, Point* next) {
  const double slope0 = dot(p.g, dir);
  double lo = 0.0, hi = INFINITY;
  bool have_lo = false;
  Point trial, best_lo;
  trial.x.resize(s.n);
  trial.g.resize(s.n);
  for (int k = 0; k < kMaxLineTrials && !s.out_of_budget(); k++) {
    for (int i = 0; i < s.n; i++) trial.x[i] = p.x[i] + a * dir[i];
    const double bound = p.f + kArmijo * a * slope0;
    const bool ok = s.evaluate(trial.x, bound, &trial.f, &trial.g);
    if (!ok || trial.f > bound) {
      hi = a;
      if (ok && !have_lo) {
        // Minimum of the quadratic through f(0), f'(0) and f(a), kept within
        // [0.1 a, 0.5 a].
        const double q = -slope0 * a * a / (2.0 * (trial.f - p.f - slope0 * a));
        a = fmin(fmax(q, 0.1 * a), 0.5 * a);
      } else {
        a = 0.5 * (lo + hi);
      }
      if (!have_lo && -slope0 * a < min_decrease) return LineResult::kBelowTolerance;
    } else if (dot(trial.g, dir) < kCurvature * slope0) {
      lo = a;
      have_lo = true;
      best_lo = trial;
      a = std::isinf(hi) ? 2.0 * a : 0.5 * (lo + hi);
    } else {
      *next = trial;
      return LineResult::kFound;
    }
  }
  // Out of trials: the last step with sufficient decrease still helps.
  if (!have_lo) return LineResult::kFailed;
  *next = best_lo;
  return LineResult::kFound;
}

// H := (I - rho s y') H (I - rho y s') + rho s s', rho = 1 / y's.
void bfgs_update(std::vector<double>& H, int n, const std::vector<double>& s,
                 const std::vector<double>& y, double ys) {
  const double rho = 1.0 / ys;
  std::vector<double> Hy(n, 0.0);
  for (int i = 0; i < n; i++)
    for (int j = 0; j < n; j++) Hy[i] += H[i * n + j] * y[j];
  const double yHy = dot(y, Hy);
  for (int i = 0; i < n; i++)
    for (int j = 0; j < n; j++)
      H[i * n + j] += rho * ((1.0 + rho * yHy) * s[i] * s[j] - Hy[i] * s[j] - s[i] * Hy[j]);
}

void set_identity(std::vector<double>& H, int n, double scale) {
  for (int i = 0; i < n; i++)
    for (int j = 0; j < n; j++) H[i * n + j] = i == j ? scale : 0.0;
}

}  // namespace

QuasiNewtonResult quasi_newton_minimize(ValueGradientFunction fg, void* ctx, int n, double* x,
                                        const QuasiNewtonControl& control) {
  PlainFunction plain{fg, ctx};
  return quasi_newton_minimize_bounded(plain_evaluation, &plain, n, x, control);
}

QuasiNewtonResult quasi_newton_minimize_bounded(BoundedValueGradientFunction fg, void* ctx, int n,
                                                double* x, const QuasiNewtonControl& control) {
  QuasiNewtonResult result;
  Search s{fg, ctx, n, control};
  Point p;
  p.x.assign(x, x + n);
  p.g.resize(n);
  if (!s.evaluate(p.x, INFINITY, &p.f, &p.g)) {
    result.evaluations = s.evaluations;
    return result;
  }
  result.started = true;

  std::vector<double> H(static_cast<size_t>(n) * n), dir(n), step(n), dg(n);
  set_identity(H, n, 1.0);
  bool fresh = true;  // H is a multiple of the identity
  while (max_abs(p.g) > control.gtol * fmax(1.0, fabs(p.f)) && !s.out_of_budget()) {
    for (int i = 0; i < n; i++) {
      dir[i] = 0.0;
      for (int j = 0; j < n; j++) dir[i] -= H[i * n + j] * p.g[j];
    }
    double slope = dot(p.g, dir);
    if (!(slope < 0.0)) {  // H lost its positive definiteness: steepest descent
      set_identity(H, n, 1.0);
      fresh = true;
      for (int i = 0; i < n; i++) dir[i] = -p.g[i];
      slope = dot(p.g, dir);
    }
    const double longest = max_abs(dir);
    double a = 1.0;
    if (longest * a > control.max_step) a = control.max_step / longest;
    if (fresh && result.iterations == 0 && longest > 1.0) a = fmin(a, 1.0 / longest);

    Point next;
    const double min_decrease = control.ftol_rel * fmax(1.0, fabs(p.f));
    const LineResult found = line_search(s, p, dir, a, min_decrease, &next);
    if (found == LineResult::kBelowTolerance) break;
    if (found == LineResult::kFailed) {
      if (fresh) break;  // not even a short steepest-descent step helps
      set_identity(H, n, 1.0);
      fresh = true;
      continue;
    }
    for (int i = 0; i < n; i++) {
      step[i] = next.x[i] - p.x[i];
      dg[i] = next.g[i] - p.g[i];
    }
    const double decrease = p.f - next.f;
    p = next;
    result.iterations++;
    const double ys = dot(dg, step);
    if (ys > 1e-12 * sqrt(dot(dg, dg) * dot(step, step))) {
      if (fresh) set_identity(H, n, ys / dot(dg, dg));
      bfgs_update(H, n, step, dg, ys);
      fresh = false;
    }
    if (decrease <= control.ftol_rel * fmax(1.0, fabs(p.f))) break;
  }
  for (int i = 0; i < n; i++) x[i] = p.x[i];
  result.f = p.f;
  result.evaluations = s.evaluations;
  result.hit_limit = s.out_of_budget();
  return result;
}
