// Maximisation of the criterion: where the start rules put the simplex
// vertices, the number of tries, and the outcomes of a search.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "fatal_test_support.h"
#include "numeric/storage.h"
#include "optim/trafo.h"
#include "seqmin/criterion_max.h"
#include "seqmin/expected_improvement.h"
#include "seqmin_test_support.h"

using namespace seqmin_test;

namespace {

class SeqminMaximize : public ::testing::Test {
 protected:
  void SetUp() override { reset_process_state(); }
  void TearDown() override { reset_process_state(); }
};

// The d + 1 vertices that start_values builds from the design point x0,
// mapped back into the box.
Mat start_vertices(Store& store, const std::vector<double>& x0, int n, const char* method) {
  KrigModel* kr = &store.models[0];
  const int d = kr->d[0];
  double** P = nullptr;
  double* Y = nullptr;
  alloc_real_matrix(d + 1, d, &P);
  alloc_real_vector(d + 1, &Y);
  for (int j = 0; j < d; j++) P[0][j] = x0[j];
  MinimizeContext& c = store.context;
  start_values(c, d, n, kr->range, P, Y, method);
  // Y holds the objective at every vertex.
  for (int r = 0; r <= d; r++) EXPECT_DOUBLE_EQ(Y[r], ei_objective(P[r], d, &c));
  trafo_inf_to_ab(d + 1, d, P, kr->range, P, "sin");
  Mat V(d + 1, std::vector<double>(d));
  for (int r = 0; r <= d; r++)
    for (int j = 0; j < d; j++) V[r][j] = P[r][j];
  free_real_matrix(d + 1, d, &P);
  free_real_vector(d + 1, &Y);
  return V;
}

// A 3-d design whose coordinates differ on every axis, so that the
// neighbour distances from (0.5, 0.5, 0.5) are known: 0.25 each way on
// axes 0 and 1, 0.4 up and 0.3 down on axis 2.
Mat spread_design() {
  return {{0.5, 0.5, 0.5}, {0.25, 0.1, 0.05}, {0.75, 0.95, 0.15}, {0.05, 0.25, 0.9},
          {0.95, 0.75, 0.98}, {0.15, 0.05, 0.2}, {0.9, 0.85, 0.95}};
}

std::vector<double> values_of(const Mat& X) {
  std::vector<double> y;
  for (const auto& x : X) y.push_back(smooth_response(x[0], x[1]) + x[2]);
  return y;
}

}  // namespace

TEST_F(SeqminMaximize, DistanceNeighbourGoesHalfwayToTheNearestCoordinateAlongEachAxis) {
  const Mat X = spread_design();
  Store store(X, {values_of(X)}, unit_box(3));
  store.use_as_context(0.0);
  for (int rep = 0; rep < 8; rep++) {
    const std::vector<double> x0 = {0.5, 0.5, 0.5};  // design point 0
    const Mat V = start_vertices(store, x0, 7, "distanceneighbour");
    const double half_up[3] = {0.125, 0.125, 0.2};
    const double half_down[3] = {0.125, 0.125, 0.15};
    for (int j = 0; j < 3; j++) {
      // Vertex j + 1 moves along axis j only, vertex 0 along every axis the other way.
      for (int l = 0; l < 3; l++) {
        if (l == j) continue;
        EXPECT_NEAR(V[j + 1][l], x0[l], 1e-12);
      }
      const double step = V[j + 1][j] - x0[j];
      const double back = V[0][j] - x0[j];
      EXPECT_LT(step * back, 0.0) << "axis " << j;
      if (step > 0) {
        EXPECT_NEAR(step, half_up[j], 1e-12);
        EXPECT_NEAR(-back, half_down[j], 1e-12);
      } else {
        EXPECT_NEAR(-step, half_down[j], 1e-12);
        EXPECT_NEAR(back, half_up[j], 1e-12);
      }
    }
  }
}

TEST_F(SeqminMaximize, DisplacementMovesByHalfOverNMinusOneOfTheRange) {
  const Mat X = unit_design();
  Store store(X, {smooth_values(X)}, {{0.0, 1.0}, {-2.0, 2.0}});
  store.use_as_context(0.0);
  const std::vector<double> x0 = {0.45, 0.0};
  const double h = 0.5 / (5 - 1);
  const Mat V = start_vertices(store, x0, 5, "displacement");
  EXPECT_NEAR(fabs(V[0][0] - x0[0]), h * 1.0, 1e-12);
  EXPECT_NEAR(fabs(V[0][1] - x0[1]), h * 4.0, 1e-12);
  EXPECT_NEAR(fabs(V[1][0] - x0[0]), h * 1.0, 1e-12);
  EXPECT_NEAR(V[1][1], x0[1], 1e-12);
  EXPECT_NEAR(V[2][0], x0[0], 1e-12);
  EXPECT_NEAR(fabs(V[2][1] - x0[1]), h * 4.0, 1e-12);
  // At a range limit the step turns inwards.
  const Mat W = start_vertices(store, {1.0, -2.0}, 5, "displacement");
  EXPECT_NEAR(W[0][0], 1.0 - h, 1e-12);
  EXPECT_NEAR(W[0][1], -2.0 + h * 4.0, 1e-12);
}

TEST_F(SeqminMaximize, DisplacementWithASingleObservationStaysInTheBox) {
  const Mat X = unit_design();
  Store store(X, {smooth_values(X)}, unit_box());
  store.use_as_context(0.0);
  for (const auto& x0 : X) {
    const Mat V = start_vertices(store, x0, 1, "displacement");
    for (const auto& v : V)
      for (double c : v) {
        EXPECT_GE(c, 0.0);
        EXPECT_LE(c, 1.0);
      }
    EXPECT_NEAR(fabs(V[1][0] - x0[0]), 0.5, 1e-12);
  }
}

TEST_F(SeqminMaximize, RandomStartsAnywhereInTheBoxAndReplacesTheDesignPoint) {
  const Mat X = unit_design();
  Store store(X, {smooth_values(X)}, {{-5.0, 10.0}, {0.0, 15.0}});
  store.use_as_context(0.0);
  const Mat V = start_vertices(store, {0.05, 0.45}, 10, "random");
  for (const auto& v : V) {
    EXPECT_GE(v[0], -5.0);
    EXPECT_LE(v[0], 10.0);
    EXPECT_GE(v[1], 0.0);
    EXPECT_LE(v[1], 15.0);
  }
  EXPECT_FALSE(V[0][0] == 0.05 && V[0][1] == 0.45);
  EXPECT_NE(V[0][0], V[1][0]);
}

TEST(SeqminMaximizeDeathTest, StartRulesThatCannotWork) {
  reset_process_state();
  const Mat X = unit_design();
  Store store(X, {smooth_values(X)}, unit_box());
  store.use_as_context(0.0);
  EXPECT_FATAL_EXIT(start_vertices(store, X[0], 10, "Random"), ::testing::ExitedWithCode(1),
                    "start_values: Unrecognized Method");
  PtsOutOfRange = 1;
  EXPECT_FATAL_EXIT(start_vertices(store, X[0], 10, "displacement"), ::testing::ExitedWithCode(1),
                    "start_values_krmin: PtsOutOfRange and displacement");
  EXPECT_FATAL_EXIT(start_vertices(store, X[0], 10, "distanceneighbour"),
                    ::testing::ExitedWithCode(1),
                    "start_values_krmin: PtsOutOfRange and distanceneighbour");
  reset_process_state();
}

TEST_F(SeqminMaximize, FindsAPositiveCriterionInsideTheBoxAndFixesTheTries) {
  const Mat X = unit_design();
  Store store(X, {smooth_values(X)}, unit_box());
  const double T = *std::min_element(store.models[0].y, store.models[0].y + 10);
  MinimizeContext& c = store.use_as_context(T);
  double best = -1.0;
  std::vector<double> x(2);
  Captured out;
  EXPECT_EQ(maximize_criterion(c, &store.models[0], &best, x.data()), kCriterionFound);
  EXPECT_GT(best, 0.0);
  EXPECT_EQ(g_settings.CriterionOptimTries, 20);
  for (double c : x) {
    EXPECT_GE(c, 0.0);
    EXPECT_LE(c, 1.0);
  }
  // best is the criterion at x.
  EXPECT_NEAR(criterion_at(c, &store.models[0], x), best, 1e-9 * best);
  // The try count, once fixed, does not follow n.
  const Mat X6(X.begin(), X.begin() + 6);
  Store smaller(X6, {smooth_values(X6)}, unit_box());
  maximize_criterion(smaller.use_as_context(T), &smaller.models[0], &best, x.data());
  EXPECT_EQ(g_settings.CriterionOptimTries, 20);
}

TEST_F(SeqminMaximize, PowellSearchFindsTheSameKindOfPoint) {
  const Mat X = unit_design();
  Store store(X, {smooth_values(X)}, unit_box());
  MinimizeContext& c = store.use_as_context(*std::min_element(store.models[0].y, store.models[0].y + 10));
  snprintf(g_settings.CriterionOptimMethod, kShortTextSize, "%s", "powell");
  double best = -1.0;
  std::vector<double> x(2);
  Captured out;
  EXPECT_EQ(maximize_criterion(c, &store.models[0], &best, x.data()), kCriterionFound);
  EXPECT_GT(best, 0.0);
}

TEST_F(SeqminMaximize, NowherePositiveCriterionGivesStatusOne) {
  // The probability of improvement over a target far below every prediction
  // is negative (-ln(-u)) everywhere: the searches move, nothing is found.
  const Mat X = unit_design();
  Store store(X, {smooth_values(X)}, unit_box());
  MinimizeContext& c = store.use_as_context(-1e6);
  g_settings.GlobalExpectedImprovement = 0;
  double best = -1.0;
  std::vector<double> x(2);
  Captured out;
  EXPECT_EQ(maximize_criterion(c, &store.models[0], &best, x.data()), kCriterionNoneFound);
  EXPECT_EQ(best, 0.0);
  EXPECT_EQ(out.text().find("WARNING"), std::string::npos) << out.text();
}

TEST_F(SeqminMaximize, UnreachableConstraintLeavesASlopeButNoPointToPropose) {
  // A constraint bound no prediction can meet: its probability is 0 in double
  // precision everywhere, but the criterion's logarithm still ranks the
  // points, so every try starts; none finds a positive criterion.
  const Mat X = unit_design();
  Store store(X, {smooth_values(X), input_sums(X)}, unit_box());
  store.constrain(1, kNaMarker, -1e6);
  MinimizeContext& c = store.use_as_context(0.0);
  double best = -1.0;
  std::vector<double> x(2);
  Captured out;
  EXPECT_EQ(maximize_criterion(c, &store.models[0], &best, x.data()), kCriterionNoneFound);
  EXPECT_EQ(best, 0.0);
  const std::string text = out.text();
  EXPECT_EQ(text.find("failed to start"), std::string::npos) << text;
  EXPECT_EQ(text.find("WARNING"), std::string::npos) << text;
}

TEST_F(SeqminMaximize, DesignOutsideTheRangeNeedsRandomStarts) {
  const Mat X = unit_design();
  Store store(X, {smooth_values(X)}, unit_box());
  MinimizeContext& c = store.use_as_context(*std::min_element(store.models[0].y, store.models[0].y + 10));
  PtsOutOfRange = 1;
  double best = -1.0;
  std::vector<double> x(2);
  {
    Captured out;
    EXPECT_EQ(maximize_criterion(c, &store.models[0], &best, x.data()), kCriterionOutOfRange);
    EXPECT_EQ(out.text(),
              "ERROR: When one or more X points are outside of the optimization range,\n"
              "    CriterionOptimStart=random needed.\n");
  }
  EXPECT_EQ(g_settings.CriterionOptimTries, 20);
  snprintf(g_settings.CriterionOptimStart, kShortTextSize, "%s", "random");
  Captured out;
  EXPECT_EQ(maximize_criterion(c, &store.models[0], &best, x.data()), kCriterionFound);
}
