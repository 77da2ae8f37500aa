// A quasi-Newton (BFGS) minimiser of a smooth function of n unbounded
// variables with an analytic gradient, with a line search that accepts the
// weak Wolfe conditions and treats points where the function cannot be
// evaluated as too long a step.
#ifndef DORVE_OPTIM_QUASI_NEWTON_H_
#define DORVE_OPTIM_QUASI_NEWTON_H_

// The function and its gradient at x (n values): stores f(x) in *f and the
// gradient in g and returns true, or returns false when x cannot be
// evaluated (the search then steps back). ctx is passed through.
typedef bool (*ValueGradientFunction)(const double* x, int n, double* f, double* g, void* ctx);

struct QuasiNewtonControl {
  // Stop when an iteration lowers f by no more than ftol_rel * max(1, |f|).
  double ftol_rel = 1e-9;
  // Stop when max_i |g_i| <= gtol * max(1, |f|).
  double gtol = 1e-6;
  // Stop after this many function evaluations.
  int max_evaluations = 2000;
  // Longest step in any one variable.
  double max_step = 4.0;
};

struct QuasiNewtonResult {
  bool started = false;    // the start point could be evaluated
  double f = 0.0;          // the value at the final x
  int evaluations = 0;     // calls of the function
  int iterations = 0;      // accepted steps
  bool hit_limit = false;  // max_evaluations ended the search
};

// Minimises fg from x (n values); x holds the best point found on return.
// When the start cannot be evaluated, x is unchanged and started is false.
QuasiNewtonResult quasi_newton_minimize(ValueGradientFunction fg, void* ctx, int n, double* x,
                                        const QuasiNewtonControl& control);

// A function whose gradient costs more than its value: at x it stores f(x)
// in *f and, unless f(x) > bound, the gradient in g. The line search refuses
// every trial point above its sufficient-decrease bound, so such points need
// no gradient.
enum class QuasiNewtonEvaluation {
  kUnusable,          // x cannot be evaluated (or its gradient not formed)
  kValueOnly,         // f(x) > bound: g not set
  kValueAndGradient,
};
typedef QuasiNewtonEvaluation (*BoundedValueGradientFunction)(const double* x, int n,
                                                              double bound, double* f, double* g,
                                                              void* ctx);

// The same search with such a function: the same steps as with the gradient
// at every point.
QuasiNewtonResult quasi_newton_minimize_bounded(BoundedValueGradientFunction fg, void* ctx, int n,
                                                double* x, const QuasiNewtonControl& control);

#endif  // DORVE_OPTIM_QUASI_NEWTON_H_
