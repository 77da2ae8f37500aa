// Local minimisers (downhill simplex, Powell with Brent's line search) and the
// box transformations.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "base/interpreter.h"
#include "fatal_test_support.h"
#include "numeric/storage.h"
#include "numeric_test_support.h"
#include "optim/minimize.h"
#include "optim/powell.h"
#include "optim/simplex.h"
#include "optim/trafo.h"

namespace {

// The standard-error text of a fatal error, matched anywhere in the output.
std::string fatal_pattern(const std::string& message) {
  return regex_literal("DORVE ERROR... \n" + message + " \nNow exiting to system ... \n ");
}

// Objectives, with a record of every point they were asked about.
int g_calls = 0;
std::vector<std::vector<double>> g_points;

void record(const double* x, int n) {
  g_calls++;
  g_points.emplace_back(x, x + n);
}

void reset_record() {
  g_calls = 0;
  g_points.clear();
}

double rosenbrock(double* x, int n, void* = nullptr) {
  record(x, n);
  double s = 0.0;
  for (int i = 0; i + 1 < n; i++) {
    const double a = x[i + 1] - x[i] * x[i];
    const double b = 1.0 - x[i];
    s += 100.0 * a * a + b * b;
  }
  return s;
}

// Minimum 3.5 at c_i = 0.5 * (i + 1) - 1.
double shifted_quadratic(double* x, int n, void* = nullptr) {
  record(x, n);
  double s = 3.5;
  for (int i = 0; i < n; i++) {
    const double t = x[i] - (0.5 * (i + 1) - 1.0);
    s += (i + 1) * t * t;
  }
  return s;
}

double constant_one(double* x, int n, void* = nullptr) {
  record(x, n);
  return 1.0;
}

// The simplex of the minimisers' callers: a start point and a step along each axis.
struct Start {
  int n;
  double** p = nullptr;
  double* y = nullptr;
  Start(int dim, ObjectiveFunction f, double first, double step) : n(dim) {
    alloc_real_matrix(n + 1, n, &p);
    alloc_real_vector(n + 1, &y);
    for (int i = 0; i <= n; i++) {
      for (int j = 0; j < n; j++) p[i][j] = first + (j % 2 == 1 ? 2.2 : 0.0);
      if (i > 0) p[i][i - 1] += step;
      y[i] = f ? f(p[i], n, nullptr) : 0.0;
    }
  }
  ~Start() {
    free_real_vector(n + 1, &y);
    free_real_matrix(n + 1, n, &p);
  }
};

// ---------------------------------------------------------------------------
// Downhill simplex

TEST(SimplexTest, FindsTheMinimumOfAShiftedQuadratic) {
  for (int n = 2; n <= 8; n++) {
    Start s(n, shifted_quadratic, 2.0, 1.0);
    reset_record();
    const int evals = minimize(shifted_quadratic, nullptr, 0.0, 1e-15, 100000, n, s.p, s.y, "simplex");
    EXPECT_EQ(evals, g_calls) << n;
    EXPECT_LT(evals, 100000) << n;
    EXPECT_NEAR(s.y[0], 3.5, 1e-9) << n;
    for (int j = 0; j < n; j++) EXPECT_NEAR(s.p[0][j], 0.5 * (j + 1) - 1.0, 1e-4) << n;
    // Row 0 holds the best vertex and its value.
    for (int i = 1; i <= n; i++) EXPECT_GE(s.y[i], s.y[0]);
    EXPECT_EQ(shifted_quadratic(s.p[0], n), s.y[0]);
  }
}

TEST(SimplexTest, FollowsTheRosenbrockValley) {
  for (int n = 2; n <= 8; n++) {
    // Restarts from the best vertex, as a simplex collapses in the valley.
    double best = 1.0;
    std::vector<double> x(n, -1.0);
    for (int round = 0; round < 20 && best >= 1e-12; round++) {
      Start s(n, nullptr, 0.0, 0.0);
      for (int i = 0; i <= n; i++) {
        for (int j = 0; j < n; j++) s.p[i][j] = x[j];
        if (i > 0) s.p[i][i - 1] += 0.5;
        s.y[i] = rosenbrock(s.p[i], n);
      }
      minimize(rosenbrock, nullptr, 1e-30, 1e-14, 200000, n, s.p, s.y, "simplex");
      for (int j = 0; j < n; j++) x[j] = s.p[0][j];
      best = s.y[0];
    }
    EXPECT_LT(best, 1e-8) << n;
    for (int j = 0; j < n; j++) EXPECT_NEAR(x[j], 1.0, 1e-3) << n;
  }
}

TEST(SimplexTest, EqualValuesStopBeforeAnyEvaluation) {
  Start s(3, constant_one, 0.0, 1.0);
  double* row0 = s.p[0];
  const std::vector<double> before(row0, row0 + 3);
  reset_record();
  EXPECT_EQ(minimize(constant_one, nullptr, 0.0, 0.0, 1000, 3, s.p, s.y, "simplex"), 0);
  EXPECT_EQ(g_calls, 0);
  EXPECT_EQ(s.p[0], row0);
  EXPECT_EQ(std::vector<double>(s.p[0], s.p[0] + 3), before);
}

TEST(SimplexTest, TiedBestVerticesKeepTheLowerRow) {
  Start s(3, nullptr, 0.0, 1.0);
  const double values[4] = {5.0, 2.0, 2.0, 7.0};
  for (int i = 0; i < 4; i++) s.y[i] = values[i];
  double* row1 = s.p[1];
  double* row0 = s.p[0];
  // maxcount 0: ranked once, then stopped.
  EXPECT_EQ(minimize(shifted_quadratic, nullptr, 0.0, 0.0, 0, 3, s.p, s.y, "simplex"), 0);
  EXPECT_EQ(s.p[0], row1);  // the row pointers were exchanged
  EXPECT_EQ(s.p[1], row0);
  EXPECT_EQ(s.y[0], 2.0);
  EXPECT_EQ(s.y[1], 5.0);
}

TEST(SimplexTest, EvaluationLimitStopsAtTheFirstCheckPastIt) {
  for (int limit : {1, 5, 17, 40}) {
    Start s(4, rosenbrock, -1.0, 0.3);
    reset_record();
    const int evals = minimize(rosenbrock, nullptr, 0.0, 0.0, limit, 4, s.p, s.y, "simplex");
    EXPECT_EQ(evals, g_calls);
    EXPECT_GE(evals, limit);
    // One step costs at most 2 trials plus a shrink of n evaluations.
    EXPECT_LE(evals, limit - 1 + 2 + 4);
  }
}

TEST(SimplexTest, ReflectionIsTheFirstTrial) {
  // 2-D simplex (0,0) (1,0) (0,1): the worst vertex is reflected through the
  // centroid of the other two, trial = psum * fac1 - worst * fac2 with
  // fac1 = (1 - (-1)) / 2 = 1 and fac2 = fac1 + 1 = 2.
  Start s(2, nullptr, 0.0, 0.0);
  const double v[3][2] = {{0, 0}, {1, 0}, {0, 1}};
  for (int i = 0; i < 3; i++) {
    s.p[i][0] = v[i][0];
    s.p[i][1] = v[i][1];
    s.y[i] = shifted_quadratic(s.p[i], 2);
  }
  int ihi = 0;
  for (int i = 1; i < 3; i++)
    if (s.y[i] > s.y[ihi]) ihi = i;
  reset_record();
  minimize(shifted_quadratic, nullptr, 0.0, 0.0, 1, 2, s.p, s.y, "simplex");
  ASSERT_GE(g_calls, 1);
  for (int j = 0; j < 2; j++) {
    const double sum = v[0][j] + v[1][j] + v[2][j];
    EXPECT_EQ(g_points[0][j], sum * 1.0 - v[ihi][j] * 2.0);
  }
}

// ---------------------------------------------------------------------------
// Powell

TEST(PowellTest, FindsTheMinimumOfAShiftedQuadratic) {
  for (int n = 2; n <= 8; n++) {
    Start s(n, nullptr, 2.0, 0.0);
    reset_record();
    const int it = minimize(shifted_quadratic, nullptr, 0.0, 1e-12, 1000, n, s.p, s.y, "powell");
    EXPECT_LT(it, 1000) << n;
    EXPECT_NEAR(s.y[0], 3.5, 1e-9) << n;
    for (int j = 0; j < n; j++) EXPECT_NEAR(s.p[0][j], 0.5 * (j + 1) - 1.0, 1e-4) << n;
    EXPECT_EQ(shifted_quadratic(s.p[0], n), s.y[0]);
  }
}

TEST(PowellTest, FollowsTheRosenbrockValley) {
  for (int n = 2; n <= 8; n++) {
    Start s(n, nullptr, -1.0, 0.0);
    const int it = minimize(rosenbrock, nullptr, 0.0, 1e-14, 10000, n, s.p, s.y, "powell");
    EXPECT_LT(it, 10000) << n;
    EXPECT_LT(s.y[0], 1e-8) << n;
    for (int j = 0; j < n; j++) EXPECT_NEAR(s.p[0][j], 1.0, 1e-3) << n;
  }
}

TEST(PowellTest, IterationLimitAndImmediateConvergence) {
  {
    Start s(3, nullptr, -1.0, 0.0);
    EXPECT_EQ(minimize(rosenbrock, nullptr, 0.0, 1e-14, 1, 3, s.p, s.y, "powell"), 1);
    EXPECT_LT(s.y[0], rosenbrock(s.p[1], 3));  // one sweep made progress
    EXPECT_EQ(s.y[0], rosenbrock(s.p[0], 3));
  }
  {
    // At the minimum already: the first sweep meets the tolerance.
    Start s(3, nullptr, 1.0, 0.0);
    for (int j = 0; j < 3; j++) s.p[0][j] = 0.5 * (j + 1) - 1.0;
    EXPECT_EQ(minimize(shifted_quadratic, nullptr, 0.0, 1e-10, 1, 3, s.p, s.y, "powell"), 0);
    EXPECT_EQ(s.y[0], 3.5);
  }
  {
    // maxcount <= 0 is never reached: runs until the tolerance is met.
    Start s(2, nullptr, -1.0, 0.0);
    const int it = minimize(rosenbrock, nullptr, 0.0, 1e-14, 0, 2, s.p, s.y, "powell");
    EXPECT_GT(it, 1);
    EXPECT_LT(s.y[0], 1e-8);
  }
}

// (x - 1)^2 + g_offset: a line search from 0 lowers it from 1 + offset to offset.
double g_offset = 0.0;
double offset_parabola(double* x, int n, void* = nullptr) {
  record(x, n);
  return (x[0] - 1.0) * (x[0] - 1.0) + g_offset;
}

TEST(PowellTest, ConvergenceWeighsTheSweepsDecreaseAgainstTheTolerance) {
  // Converged when ftol * (|f before| + |f after|) >= 2 |decrease|: with
  // ftol = 1 the first sweep, from 1 + c to c, suffices when 1 + 2c >= 2.
  for (double c : {0.25, 0.75}) {
    g_offset = c;
    double x[1] = {0.0};
    double fret = 0.0;
    EXPECT_EQ(powell(offset_parabola, nullptr, x, 1, 1.0, 50, &fret), c < 0.5 ? 1 : 0) << c;
    EXPECT_NEAR(x[0], 1.0, 1e-3) << c;
  }
  // A sweep that changes nothing meets even a zero tolerance.
  double x[2] = {0.3, 0.7};
  double fret = 0.0;
  EXPECT_EQ(powell(constant_one, nullptr, x, 2, 0.0, 5, &fret), 0);
}

TEST(PowellTest, DirectionSetCarriesOverBetweenCallsOfTheSameDimension) {
  // A call of another dimension starts from the unit vectors.
  {
    Start s(2, nullptr, -1.0, 0.0);
    minimize(rosenbrock, nullptr, 0.0, 1e-14, 50, 2, s.p, s.y, "powell");
  }
  Start first(3, nullptr, -1.0, 0.0);
  reset_record();
  minimize(rosenbrock, nullptr, 0.0, 1e-14, 50, 3, first.p, first.y, "powell");
  // Evaluations: f(x), then the first line search at s = 0 and s = 1.
  ASSERT_GE(g_points.size(), 3u);
  for (int j = 0; j < 3; j++) EXPECT_EQ(g_points[2][j] - g_points[0][j], j == 0 ? 1.0 : 0.0);

  int dim = 0;
  double** dirs = powell_direction_set(&dim);
  ASSERT_EQ(dim, 3);
  std::vector<double> left(9);
  bool identity = true;
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 3; j++) {
      left[i * 3 + j] = dirs[i][j];
      if (dirs[i][j] != (i == j ? 1.0 : 0.0)) identity = false;
    }
  ASSERT_FALSE(identity) << "the first call should have replaced a direction";

  // Same dimension: the second call searches first along the column 0 left behind.
  Start second(3, nullptr, 0.25, 0.0);
  reset_record();
  minimize(shifted_quadratic, nullptr, 0.0, 1e-12, 50, 3, second.p, second.y, "powell");
  ASSERT_GE(g_points.size(), 3u);
  for (int j = 0; j < 3; j++)
    EXPECT_DOUBLE_EQ(g_points[2][j], g_points[0][j] + left[j * 3 + 0]) << j;

  // Another dimension resets to the unit vectors.
  Start other(2, nullptr, 0.25, 0.0);
  reset_record();
  minimize(shifted_quadratic, nullptr, 0.0, 1e-12, 50, 2, other.p, other.y, "powell");
  EXPECT_EQ(g_points[2][0] - g_points[0][0], 1.0);
  EXPECT_EQ(g_points[2][1] - g_points[0][1], 0.0);
}

double parabola(double s, void* = nullptr) { return (s - 0.3) * (s - 0.3) + 2.0; }
double steep_left(double s, void* = nullptr) { return std::exp(-s) + 0.01 * s * s; }  // minimum far right

TEST(PowellTest, BracketEnclosesTheMinimum) {
  for (LineFunction f : {parabola, steep_left}) {
    double a = 0.0, b = 1.0, c;
    bracket_minimum(&a, &b, &c, f, nullptr);
    EXPECT_TRUE((a < b && b < c) || (c < b && b < a));
    EXPECT_LE(f(b, nullptr), f(a, nullptr));
    EXPECT_LE(f(b, nullptr), f(c, nullptr));
    double xmin;
    const double fmin = brent(a, b, c, f, nullptr, 0.0002, &xmin);
    EXPECT_EQ(fmin, f(xmin, nullptr));
  }
  double a = 0.0, b = 1.0, c, xmin;
  bracket_minimum(&a, &b, &c, parabola, nullptr);
  EXPECT_NEAR(brent(a, b, c, parabola, nullptr, 1e-8, &xmin), 2.0, 1e-15);
  EXPECT_NEAR(xmin, 0.3, 1e-7);
}

TEST(PowellTest, LineMinimizeScalesTheDirection) {
  reset_record();
  double x[2] = {2.0, 3.0};
  double d[2] = {1.0, 0.0};
  double fret;
  line_minimize(x, d, 2, &fret, shifted_quadratic, nullptr);  // minimum along x0 at 0.5*1-1 = -0.5
  EXPECT_NEAR(x[0], -0.5, 1e-4);
  EXPECT_EQ(x[1], 3.0);
  EXPECT_EQ(d[1], 0.0);
  EXPECT_EQ(x[0], 2.0 + d[0]);
  double check[2] = {x[0], x[1]};
  EXPECT_DOUBLE_EQ(fret, shifted_quadratic(check, 2));
}

TEST(PowellDeathTest, BrentGivesUpAfterAHundredIterations) {
  double xmin;
  // A negative tolerance can never be met.
  EXPECT_FATAL_EXIT(brent(0.0, 0.4, 1.0, parabola, nullptr, -1.0, &xmin), ::testing::ExitedWithCode(1),
                    fatal_pattern("Powell : Too many iterations in brent"));
}

TEST(MinimizeDeathTest, MethodNamesAreExactAndPowellNeedsADimension) {
  Start s(2, shifted_quadratic, 0.0, 1.0);
  for (const char* name : {"Simplex", "Powell", "", "simplex ", "nelder-mead"}) {
    EXPECT_FATAL_EXIT(minimize(shifted_quadratic, nullptr, 0.0, 1e-8, 100, 2, s.p, s.y, name),
                      ::testing::ExitedWithCode(1),
                      fatal_pattern("minimize: Minimization method unknown"))
        << name;
  }
  EXPECT_FATAL_EXIT(minimize(shifted_quadratic, nullptr, 0.0, 1e-8, 100, 0, s.p, s.y, "powell"),
                    ::testing::ExitedWithCode(1),
                    fatal_pattern("Minimize(Powell) : Dimension of ObjFunc is 0"));
}

TEST(SimplexTest, ZeroDimensionsIsANoOp) {
  double** p = nullptr;
  double* y = nullptr;
  alloc_real_matrix(1, 1, &p);
  alloc_real_vector(1, &y);
  y[0] = 4.0;
  reset_record();
  EXPECT_EQ(minimize(shifted_quadratic, nullptr, 0.0, 1e-8, 100, 0, p, y, "simplex"), 0);
  EXPECT_EQ(g_calls, 0);
  EXPECT_EQ(y[0], 4.0);
  free_real_vector(1, &y);
  free_real_matrix(1, 1, &p);
}

// ---------------------------------------------------------------------------
// Box transformations

struct Points {
  int m, n;
  double** v = nullptr;
  Points(int rows, int cols) : m(rows), n(cols) { alloc_real_matrix(m, n, &v); }
  ~Points() { free_real_matrix(m, n, &v); }
};

// One column per range row [a, b].
Points ranges(std::initializer_list<std::pair<double, double>> rows) {
  Points r(static_cast<int>(rows.size()), 2);
  int i = 0;
  for (const auto& ab : rows) {
    r.v[i][0] = ab.first;
    r.v[i][1] = ab.second;
    i++;
  }
  return r;
}

// Runs a transformation on one row of values and returns the results.
std::vector<double> forward(const Points& range, std::vector<double> row, const char* method) {
  const int n = static_cast<int>(row.size());
  Points x(1, n), out(1, n);
  for (int j = 0; j < n; j++) x.v[0][j] = row[j];
  trafo_ab_inf(1, n, x.v, range.v, out.v, method);
  return std::vector<double>(out.v[0], out.v[0] + n);
}

std::vector<double> backward(const Points& range, std::vector<double> row, const char* method) {
  const int n = static_cast<int>(row.size());
  Points y(1, n), out(1, n);
  for (int j = 0; j < n; j++) y.v[0][j] = row[j];
  trafo_inf_to_ab(1, n, y.v, range.v, out.v, method);
  return std::vector<double>(out.v[0], out.v[0] + n);
}

TEST(TrafoTest, SinMapsBoundsAndMidpoint) {
  Points r = ranges({{-2.0, 6.0}, {-2.0, 6.0}, {-2.0, 6.0}});
  const std::vector<double> f = forward(r, {-2.0, 2.0, 6.0}, "sin");
  EXPECT_EQ(f[0], -M_PI / 2);
  EXPECT_EQ(f[1], 0.0);
  EXPECT_EQ(f[2], M_PI / 2);
  const std::vector<double> b = backward(r, {M_PI / 2, 0.0, 3 * M_PI / 2}, "sin");
  EXPECT_EQ(b[0], 6.0);
  EXPECT_EQ(b[1], 2.0);
  EXPECT_NEAR(b[2], -2.0, 1e-14);
  // Periodic: whole periods away land on the same point.
  EXPECT_NEAR(backward(r, {0.3 + 20 * M_PI}, "sin")[0], backward(r, {0.3}, "sin")[0], 1e-12);
}

TEST(TrafoTest, ExpMapsBoundsToTheLimitAndMidpointToZero) {
  Points r = ranges({{1.0, 3.0}, {1.0, 3.0}, {1.0, 3.0}, {1.0, 3.0}});
  const double just_above = std::nextafter(1.0, 2.0);
  const std::vector<double> f = forward(r, {1.0, 2.0, 3.0, just_above}, "exp");
  EXPECT_EQ(f[0], -10000000.0);
  EXPECT_EQ(f[1], 0.0);
  EXPECT_EQ(f[2], 10000000.0);
  const double w = (just_above - 1.0) / 2.0;
  EXPECT_EQ(f[3], std::log(w / (1.0 - w)) / 0.01);  // next to a bound: large but finite
  EXPECT_EQ(backward(r, {0.0}, "exp")[0], 2.0);
  // Far out the map saturates at the bounds instead of overflowing to NaN.
  const std::vector<double> far = backward(r, {1e6, -1e6, 1e7, -1e7}, "exp");
  EXPECT_EQ(far[0], 3.0);
  EXPECT_EQ(far[1], 1.0);
  EXPECT_EQ(far[2], 3.0);
  EXPECT_EQ(far[3], 1.0);
}

TEST(TrafoTest, SquareIgnoresTheRange) {
  Points r = ranges({{5.0, 5.0}, {3.0, 1.0}});  // invalid rows, not checked
  const std::vector<double> f = forward(r, {2.5, 0.0}, "square");
  EXPECT_EQ(f[0], 5.0);
  EXPECT_EQ(f[1], 0.0);
  const std::vector<double> b = backward(r, {5.0, -5.0}, "square");
  EXPECT_EQ(b[0], 2.5);
  EXPECT_EQ(b[1], 2.5);
}

TEST(TrafoTest, RoundTrips) {
  Points r = ranges({{-3.0, 7.0}, {0.001, 0.002}, {-1e4, 1e4}});
  for (const char* method : {"sin", "exp"}) {
    for (double t : {0.0, 0.1, 0.25, 0.5, 0.77, 0.999, 1.0}) {
      std::vector<double> x;
      for (int j = 0; j < 3; j++) x.push_back(r.v[j][0] + t * (r.v[j][1] - r.v[j][0]));
      const std::vector<double> back = backward(r, forward(r, x, method), method);
      for (int j = 0; j < 3; j++) {
        const double width = r.v[j][1] - r.v[j][0];
        // The exp map saturates within about 1e-43 of the bounds: those come back exact.
        EXPECT_NEAR(back[j], x[j], 1e-12 * width) << method << " t=" << t << " col " << j;
      }
    }
  }
  for (double x : {0.0, 1e-8, 0.5, 2.5, 1e6}) {
    Points none = ranges({{0.0, 1.0}});
    EXPECT_NEAR(backward(none, forward(none, {x}, "square"), "square")[0], x, 1e-15 * (1 + x));
  }
}

TEST(TrafoTest, MatrixOfSeveralPointsIsTransformedElementwise) {
  Points r = ranges({{0.0, 1.0}, {10.0, 20.0}});
  Points x(3, 2), u(3, 2), back(3, 2);
  const double pts[3][2] = {{0.0, 15.0}, {0.5, 10.0}, {1.0, 20.0}};
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 2; j++) x.v[i][j] = pts[i][j];
  trafo_ab_inf(3, 2, x.v, r.v, u.v, "sin");
  EXPECT_EQ(u.v[0][0], -M_PI / 2);
  EXPECT_EQ(u.v[0][1], 0.0);
  EXPECT_EQ(u.v[1][0], 0.0);
  EXPECT_EQ(u.v[1][1], -M_PI / 2);
  EXPECT_EQ(u.v[2][1], M_PI / 2);
  trafo_inf_to_ab(3, 2, u.v, r.v, back.v, "sin");
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 2; j++) EXPECT_NEAR(back.v[i][j], pts[i][j], 1e-13);
}

// Runs a fatal transformation with the output stream sent to a file, and
// returns what was written there before the end.
std::string output_before_death(const char* path) {
  std::ifstream in(path);
  std::stringstream ss;
  ss << in.rdbuf();
  std::remove(path);
  return ss.str();
}

TEST(TrafoDeathTest, InvalidRangesComeFirst) {
  Points bad = ranges({{0.0, 1.0}, {2.0, 2.0}});
  Points x(1, 2), out(1, 2);
  x.v[0][0] = 0.5;
  x.v[0][1] = 2.0;
  for (const char* method : {"sin", "exp", "cubic"}) {
    EXPECT_FATAL_EXIT(trafo_ab_inf(1, 2, x.v, bad.v, out.v, method), ::testing::ExitedWithCode(1),
                      fatal_pattern("trafo_ab_inf: their are range intervals [a,b] with a>=b"))
        << method;
    EXPECT_FATAL_EXIT(trafo_inf_to_ab(1, 2, x.v, bad.v, out.v, method),
                      ::testing::ExitedWithCode(1),
                      fatal_pattern("trafo_inf_to_ab: their are range intervals [a,b] with a>=b"))
        << method;
  }
  // Reversed bounds too, and even when there are no points at all.
  Points reversed = ranges({{3.0, 1.0}});
  EXPECT_FATAL_EXIT(trafo_ab_inf(0, 1, x.v, reversed.v, out.v, "sin"), ::testing::ExitedWithCode(1),
                    fatal_pattern("trafo_ab_inf: their are range intervals [a,b] with a>=b"));
}

TEST(TrafoDeathTest, UnknownMethodNames) {
  Points r = ranges({{0.0, 1.0}});
  Points x(1, 1), out(1, 1);
  x.v[0][0] = 0.5;
  for (const char* method : {"Sin", "EXP", "", "sin "}) {
    EXPECT_FATAL_EXIT(trafo_ab_inf(1, 1, x.v, r.v, out.v, method), ::testing::ExitedWithCode(1),
                      fatal_pattern("trafo_ab_inf: Not a valid transformation method."))
        << method;
    EXPECT_FATAL_EXIT(trafo_inf_to_ab(1, 1, x.v, r.v, out.v, method), ::testing::ExitedWithCode(1),
                      fatal_pattern("trafo_inf_ab: Not a valid transformation method."))
        << method;
  }
}

TEST(TrafoDeathTest, PointsOutsideTheBoxAreFatalAfterADiagnosticLine) {
  Points r = ranges({{0.0, 1.0}, {-1.0, 1.0}});
  Points x(2, 2), out(2, 2);
  x.v[0][0] = 0.5;
  x.v[0][1] = 0.0;
  x.v[1][0] = 0.25;
  x.v[1][1] = 1.5;  // above its upper bound
  const char* path = "optim_test_trafo_out.txt";
  for (const char* method : {"sin", "exp"}) {
    EXPECT_FATAL_EXIT(
        {
          g_interp.out = fopen(path, "w");
          trafo_ab_inf(2, 2, x.v, r.v, out.v, method);
        },
        ::testing::ExitedWithCode(1),
        fatal_pattern("trafo_ab_inf: Matrix has elements out of [a,b] range "))
        << method;
    EXPECT_EQ(output_before_death(path), "x:  1.500000 lower: -1.000000 upper: 1.000000 \n");
  }
  x.v[1][1] = std::nan("");
  EXPECT_FATAL_EXIT(trafo_ab_inf(2, 2, x.v, r.v, out.v, "sin"), ::testing::ExitedWithCode(1),
                    fatal_pattern("trafo_ab_inf: Matrix has elements out of [a,b] range "));
}

TEST(TrafoDeathTest, SquareRefusesNegativeValuesEvenInsideTheRange) {
  Points r = ranges({{-5.0, 5.0}});
  Points x(1, 1), out(1, 1);
  x.v[0][0] = -0.5;
  EXPECT_FATAL_EXIT(
      trafo_ab_inf(1, 1, x.v, r.v, out.v, "square"), ::testing::ExitedWithCode(1),
      fatal_pattern("trafo_ab_inf: Attempt of (inverse) transformation 'square' with x<0"));
}

}  // namespace
