#include <gtest/gtest.h>

#include <cmath>

#include "optim/quasi_newton.h"

namespace {

// Rosenbrock's function; ctx, when not null, is the largest x[0] at which
// it can be evaluated.
bool rosenbrock(const double* x, int, double* f, double* g, void* ctx) {
  if (ctx != nullptr && x[0] > *static_cast<const double*>(ctx)) return false;
  const double a = 1.0 - x[0], b = x[1] - x[0] * x[0];
  *f = a * a + 100.0 * b * b;
  g[0] = -2.0 * a - 400.0 * x[0] * b;
  g[1] = 200.0 * b;
  return true;
}

}  // namespace

TEST(QuasiNewton, FindsTheMinimumOfRosenbrocksFunction) {
  double x[2] = {-1.2, 1.0};
  const QuasiNewtonResult r = quasi_newton_minimize(rosenbrock, nullptr, 2, x, QuasiNewtonControl());
  EXPECT_TRUE(r.started);
  EXPECT_FALSE(r.hit_limit);
  EXPECT_NEAR(x[0], 1.0, 1e-4);
  EXPECT_NEAR(x[1], 1.0, 1e-4);
  EXPECT_LT(r.f, 1e-8);
  EXPECT_LT(r.evaluations, 200);
}

TEST(QuasiNewton, StepsBackFromPointsThatCannotBeEvaluated) {
  // Refused just beyond the minimum, so the line searches meet refusals.
  double limit = 1.02;
  double x[2] = {-1.2, 1.0};
  const QuasiNewtonResult r = quasi_newton_minimize(rosenbrock, &limit, 2, x, QuasiNewtonControl());
  EXPECT_TRUE(r.started);
  EXPECT_NEAR(x[0], 1.0, 1e-3);
  EXPECT_NEAR(x[1], 1.0, 2e-3);

  double outside[2] = {2.0, 0.0};
  const QuasiNewtonResult none =
      quasi_newton_minimize(rosenbrock, &limit, 2, outside, QuasiNewtonControl());
  EXPECT_FALSE(none.started);
  EXPECT_EQ(none.evaluations, 1);
  EXPECT_EQ(outside[0], 2.0);
}

TEST(QuasiNewton, StopsAtTheEvaluationLimit) {
  QuasiNewtonControl control;
  control.max_evaluations = 10;
  double x[2] = {-1.2, 1.0};
  const QuasiNewtonResult r = quasi_newton_minimize(rosenbrock, nullptr, 2, x, control);
  EXPECT_TRUE(r.hit_limit);
  EXPECT_EQ(r.evaluations, 10);
  EXPECT_LT(r.f, 24.2);  // below the start value
}

namespace {

// Rosenbrock's function that forms its gradient only when f <= bound,
// counting how often it does; ctx is that count.
QuasiNewtonEvaluation bounded_rosenbrock(const double* x, int n, double bound, double* f,
                                         double* g, void* ctx) {
  double unused[2];
  rosenbrock(x, n, f, unused, nullptr);
  if (*f > bound) return QuasiNewtonEvaluation::kValueOnly;
  ++*static_cast<int*>(ctx);
  rosenbrock(x, n, f, g, nullptr);
  return QuasiNewtonEvaluation::kValueAndGradient;
}

}  // namespace

// Gradients skipped above the line search's bound change no step: the same
// points, in fewer gradient evaluations.
TEST(QuasiNewton, BoundedFunctionTakesTheSameSteps) {
  double plain[2] = {-1.2, 1.0}, bounded[2] = {-1.2, 1.0};
  const QuasiNewtonResult a = quasi_newton_minimize(rosenbrock, nullptr, 2, plain,
                                                    QuasiNewtonControl());
  int gradients = 0;
  const QuasiNewtonResult b = quasi_newton_minimize_bounded(bounded_rosenbrock, &gradients, 2,
                                                            bounded, QuasiNewtonControl());
  EXPECT_EQ(a.evaluations, b.evaluations);
  EXPECT_EQ(a.f, b.f);
  EXPECT_EQ(plain[0], bounded[0]);
  EXPECT_EQ(plain[1], bounded[1]);
  EXPECT_LT(gradients, b.evaluations);
}
