// The expected-improvement criterion: its forms by exponent, the constraint
// factor, the criterion as the optimiser sees it, and the table form.
#include <cmath>
#include <vector>

#include "fatal_test_support.h"
#include "kriging/log_improvement.h"
#include "kriging/predictor.h"
#include "optim/trafo.h"
#include "seqmin/expected_improvement.h"
#include "seqmin_test_support.h"

using namespace seqmin_test;

namespace {

class SeqminCriterion : public ::testing::Test {
 protected:
  void SetUp() override { reset_process_state(); }
  void TearDown() override { reset_process_state(); }
};

// Unbounded coordinates of a point of the unit box.
std::vector<double> to_unbounded(const std::vector<double>& x, const Mat& box) {
  const int d = static_cast<int>(x.size());
  std::vector<double> in(x), out(d);
  std::vector<double> r0(box[0]), r1(box.size() > 1 ? box[1] : box[0]);
  double* rows[2] = {r0.data(), r1.data()};
  double* xp[1] = {in.data()};
  double* op[1] = {out.data()};
  trafo_ab_inf(1, d, xp, rows, op, "sin");
  return out;
}

void predict(KrigModel* kr, const std::vector<double>& x, double* yhat, double* se) {
  std::vector<double> p(x), res(2);
  double* pp[1] = {p.data()};
  double* rp[1] = {res.data()};
  krigblup(kr, 1, pp, rp);
  *yhat = res[0];
  *se = res[1];
}

}  // namespace

TEST_F(SeqminCriterion, ClassicalFormAtTheTargetIsTheDensityAtZeroTimesTheMultiplier) {
  EXPECT_NEAR(improvement_criterion(1, 2.5, 1.0, 1.0, 2.5), 0.3989422804014327, 1e-12);
  EXPECT_NEAR(improvement_criterion(1, 2.5, 1.0, 3.0, 2.5), 3.0 * 0.3989422804014327, 1e-12);
  // Away from the target: (u Phi(u) + phi(u)) s with u = (T - yhat)/s.
  const double u = (1.0 - 1.6) / 0.8;
  EXPECT_NEAR(improvement_criterion(1, 1.6, 0.8, 0.8, 1.0),
              (u * ref_Phi(u) + ref_phi(u)) * 0.8, 1e-8);
}

TEST_F(SeqminCriterion, SecondMomentFormMatchesItsClosedForm) {
  for (double u : {-2.5, -0.7, 0.0, 0.4, 1.9}) {
    const double s = 1.5, target = 3.0, yhat = target - u * s;
    const double S = (u * u + 1.0) * ref_Phi(u) + u * ref_phi(u);
    EXPECT_NEAR(improvement_criterion(2, yhat, s, s, target), sqrt(S) * s, 1e-7) << "u=" << u;
  }
}

TEST_F(SeqminCriterion, ProbabilityOfImprovementAndItsFarTail) {
  EXPECT_NEAR(improvement_criterion(0, 1.0, 2.0, 2.0, 0.0), ref_Phi(-0.5), 1e-8);
  // Far below any chance of improvement: -ln(-u), still falling with u.
  EXPECT_DOUBLE_EQ(improvement_criterion(0, 50.0, 1.0, 1.0, 0.0), -log(50.0));
  EXPECT_LT(improvement_criterion(0, 80.0, 1.0, 1.0, 0.0),
            improvement_criterion(0, 50.0, 1.0, 1.0, 0.0));
}

TEST_F(SeqminCriterion, ZeroStandardErrorGivesZeroWhateverTheExponent) {
  for (int g : {0, 1, 2, 3}) EXPECT_EQ(improvement_criterion(g, -5.0, 0.0, 1.0, 0.0), 0.0);
}

TEST_F(SeqminCriterion, HigherMomentsFarBelowTheTargetNeverExceedARealChance) {
  // Deep in the tail the moment sum cancels to rounding noise, zero or
  // negative; the criterion must stay a number no larger than that of a point
  // with a real chance of improvement.
  for (int g = 2; g <= 6; g++) {
    const double real_chance = improvement_criterion(g, 3.0, 1.0, 1.0, 0.0);  // u = -3
    EXPECT_GT(real_chance, 0.0);
    for (double u = -40.0; u <= -8.0; u += 0.25) {
      const double c = improvement_criterion(g, -u, 1.0, 1.0, 0.0);
      ASSERT_FALSE(std::isnan(c)) << "g=" << g << " u=" << u;
      EXPECT_GE(c, 0.0);
      EXPECT_LE(c, real_chance) << "g=" << g << " u=" << u;
    }
  }
}

TEST_F(SeqminCriterion, RecursionOfTheMomentIntegrals) {
  const double u = -0.8, phi = ref_phi(u), Phi = ref_Phi(u);
  EXPECT_EQ(recurse_integral(0, phi, Phi, u), Phi);
  EXPECT_EQ(recurse_integral(1, phi, Phi, u), -phi);
  EXPECT_DOUBLE_EQ(recurse_integral(2, phi, Phi, u), Phi - u * phi);
  EXPECT_DOUBLE_EQ(recurse_integral(3, phi, Phi, u), 2.0 * -phi - u * u * phi);
  EXPECT_DOUBLE_EQ(recurse_integral(4, phi, Phi, u), 3.0 * (Phi - u * phi) - u * u * u * phi);
}

TEST(SeqminCriterionDeathTest, NegativeOrdersAndExponentsAreFatal) {
  EXPECT_FATAL_EXIT(recurse_integral(-1, 0.1, 0.5, 0.0), ::testing::ExitedWithCode(1),
                    "recurse_integral: p<0");
  EXPECT_FATAL_EXIT(improvement_criterion(-1, 0.0, 1.0, 1.0, 0.0), ::testing::ExitedWithCode(1),
                    "ExpectedImprovement: GlobalEiParam<0 ");
}

TEST_F(SeqminCriterion, DesignPointOfAnInterpolatingModelScoresZeroEvenWithConstraints) {
  const Mat X = unit_design();
  std::vector<double> cost;
  for (const auto& x : X) cost.push_back(x[0] + x[1]);
  Store store(X, {smooth_values(X), cost}, unit_box());
  store.constrain(1, kNaMarker, 1.2);
  MinimizeContext& c = store.use_as_context(-0.1);
  for (const auto& x : X) {
    std::vector<double> t = to_unbounded(x, unit_box());
    EXPECT_NEAR(ei_objective(t.data(), 2, &c), 0.0, 1e-9);
  }
  // Between the design points the criterion is positive.
  std::vector<double> t = to_unbounded({0.3, 0.3}, unit_box());
  EXPECT_LT(ei_objective(t.data(), 2, &c), 0.0);
}

TEST_F(SeqminCriterion, ObjectiveIsMinusTheCriterionAtTheMappedPointTimesTheConstraintFactor) {
  const Mat X = unit_design();
  std::vector<double> cost;
  for (const auto& x : X) cost.push_back(x[0] + x[1]);
  Store store(X, {smooth_values(X), cost}, unit_box());
  const std::vector<double> x = {0.3, 0.3};
  std::vector<double> t = to_unbounded(x, unit_box());
  double yhat, s;
  predict(&store.models[0], x, &yhat, &s);
  const double T = 0.0;
  MinimizeContext& c = store.use_as_context(T);
  const double plain = improvement_criterion(1, yhat, s, s, T);
  EXPECT_DOUBLE_EQ(ei_objective(t.data(), 2, &c), -plain);

  store.constrain(1, kNaMarker, 0.55);
  store.use_as_context(T);
  double chat, cs;
  predict(&store.models[1], x, &chat, &cs);
  EXPECT_NEAR(ei_objective(t.data(), 2, &c), -plain * ref_Phi((0.55 - chat) / cs), 1e-9);
}

TEST_F(SeqminCriterion, ConstraintFactorForEachKindOfBound) {
  const Mat X = unit_design();
  std::vector<double> cost;
  for (const auto& x : X) cost.push_back(x[0] + x[1]);
  Store store(X, {smooth_values(X), cost}, unit_box());
  const std::vector<double> x = {0.3, 0.3};
  double c, s;
  predict(&store.models[1], x, &c, &s);
  ASSERT_GT(s, 0.0);

  store.constrain(1, kNaMarker, kNoUpperBound);
  MinimizeContext& ctx = store.use_as_context(0.0);
  EXPECT_EQ(prob_constraints_met(ctx, x.data()), 1.0);

  store.constrain(1, kNaMarker, c + 0.5 * s);
  EXPECT_NEAR(prob_constraints_met(ctx, x.data()), ref_Phi(0.5), 1e-8);

  store.constrain(1, c - s, kNoUpperBound);
  EXPECT_NEAR(prob_constraints_met(ctx, x.data()), 1.0 - ref_Phi(-1.0), 1e-8);

  store.constrain(1, c - s, c + 2.0 * s);
  EXPECT_NEAR(prob_constraints_met(ctx, x.data()), ref_Phi(2.0) - ref_Phi(-1.0), 1e-8);
}

TEST_F(SeqminCriterion, ConstraintAtItsOwnDesignPointActsAsASharpBound) {
  const Mat X = unit_design();
  std::vector<double> cost;
  for (const auto& x : X) cost.push_back(x[0] + x[1]);
  Store store(X, {smooth_values(X), cost}, unit_box());
  MinimizeContext& c = store.use_as_context(0.0);
  // Design point 0 has cost 0.5: inside (.., 0.6], outside (.., 0.4].
  store.constrain(1, kNaMarker, 0.6);
  EXPECT_NEAR(prob_constraints_met(c, X[0].data()), 1.0, 1e-12);
  store.constrain(1, kNaMarker, 0.4);
  EXPECT_NEAR(prob_constraints_met(c, X[0].data()), 0.0, 1e-12);
}

TEST_F(SeqminCriterion, StageMultiplierComesFromTheStageDesign) {
  const Mat X = unit_design();
  Store store(X, {smooth_values(X)}, unit_box());
  KrigModel* kr = &store.models[0];
  const std::vector<double> x = {0.3, 0.3};
  std::vector<double> t = to_unbounded(x, unit_box());
  // Stage design: the ten points plus x itself, so the stage standard error
  // at x is 0 and the classical criterion vanishes there.
  double** S = nullptr;
  alloc_real_matrix(11, 2, &S);
  for (int i = 0; i < 10; i++) S[i][0] = X[i][0], S[i][1] = X[i][1];
  S[10][0] = x[0];
  S[10][1] = x[1];
  std::vector<double> ys(11, 0.0);
  MinimizeContext& c = store.use_as_context(0.0);
  c.stage = true;
  c.stage_design = S;
  c.stage_y = ys.data();
  c.stage_n = 11;
  init_krigmse_anyX(&c.stage_state, kr, S, 11, 2, 1);
  EXPECT_NEAR(ei_objective(t.data(), 2, &c), 0.0, 1e-9);
  free_krigmse_anyX(&c.stage_state, 11, 1);
  // With the ten observed points only, the stage multiplier equals s.
  c.stage_n = 10;
  init_krigmse_anyX(&c.stage_state, kr, S, 10, 2, 1);
  const double stage_value = ei_objective(t.data(), 2, &c);
  free_krigmse_anyX(&c.stage_state, 10, 1);
  c.stage = false;
  EXPECT_NEAR(stage_value, ei_objective(t.data(), 2, &c), 1e-12);
  free_real_matrix(11, 2, &S);
}

TEST_F(SeqminCriterion, TableFormFillsTheThirdColumnOfTheRowsBelowTheCount) {
  double** M = nullptr;
  alloc_real_matrix(4, 3, &M);
  const double rows[4][2] = {{1.0, 0.5}, {2.0, 0.0}, {0.0, 2.0}, {9.0, 9.0}};
  for (int i = 0; i < 4; i++) M[i][0] = rows[i][0], M[i][1] = rows[i][1], M[i][2] = -7.0;
  // A GlobalExpectedImprovement setting does not change the table form.
  g_settings.GlobalExpectedImprovement = 3;
  ExpectedImprovement(M, 2.5, 123.0, 1.0);
  EXPECT_NEAR(M[0][2], 0.5 * (0.0 * 0.5 + ref_phi(0.0)), 1e-10);
  EXPECT_EQ(M[1][2], 0.0);
  const double u = 0.5;
  EXPECT_NEAR(M[2][2], 2.0 * (u * ref_Phi(u) + ref_phi(u)), 1e-8);
  EXPECT_EQ(M[3][2], -7.0);
  ExpectedImprovement(M, 0.0, 0.0, 100.0);
  EXPECT_EQ(M[3][2], -7.0);
  EXPECT_NEAR(M[2][2], 2.0 * (u * ref_Phi(u) + ref_phi(u)), 1e-8);
  free_real_matrix(4, 3, &M);
}

TEST_F(SeqminCriterion, FarBelowTheTargetTheCriterionKeepsARisingSlopeBelowEveryPositiveValue) {
  MinimizeContext ctx;
  ctx.target = 0.0;
  const double x[2] = {0.5, 0.5};  // not read without constraints
  for (int g : {1, 2}) {
    // Where the plain value is accurate it is returned bit for bit.
    EXPECT_EQ(criterion_value(ctx, g, 3.0, 1.0, 1.0, x), improvement_criterion(g, 3.0, 1.0, 1.0, 0.0));
    double previous = -INFINITY;
    for (double u = -1e4; u <= -3.0; u = u < -45.0 ? u * 0.9 : u + 0.05) {
      const double c = criterion_value(ctx, g, -u, 1.0, 1.0, x);
      ASSERT_TRUE(std::isfinite(c)) << "g=" << g << " u=" << u;
      ASSERT_GT(c, previous) << "g=" << g << " u=" << u;
      // The g-th root keeps the value a normal double down to about u = -38 sqrt(g).
      if (u < -80.0) {
        ASSERT_LT(c, 0.0) << "g=" << g << " u=" << u;
      }
      previous = c;
    }
  }
  // Between Phi's cutoff (37.32) and the density's (37.6) the plain sum is
  // phi(u) alone, 1400 times too large; the tail form gives the true value.
  EXPECT_NEAR(criterion_value(ctx, 1, 37.34, 1.0, 1.0, x), exp(log_improvement_moment(1, -37.34, nullptr)),
              1e-12 * exp(log_improvement_moment(1, -37.34, nullptr)));
  // A large multiplier brings an underflowed improvement back into range.
  EXPECT_NEAR(criterion_value(ctx, 1, 40.0, 1.0, 1e300, x),
              exp(log_improvement_moment(1, -40.0, nullptr) + log(1e300)), 1e-250);
}

TEST_F(SeqminCriterion, ConstraintFactorThatUnderflowsStillRanksThePoints) {
  const Mat X = unit_design();
  std::vector<double> cost;
  for (const auto& x : X) cost.push_back(x[0] + x[1]);
  Store store(X, {smooth_values(X), cost}, unit_box());
  // No point of the box comes near a cost of -50: the factor is 0 in double
  // precision everywhere, yet lower predicted costs must score higher.
  store.constrain(1, kNaMarker, -50.0);
  MinimizeContext& c = store.use_as_context(10.0);
  const std::vector<double> cheap = {0.1, 0.1}, dear = {0.8, 0.8};
  EXPECT_EQ(prob_constraints_met(c, cheap.data()), 0.0);
  double yc, sc, yd, sd;
  predict(&store.models[0], cheap, &yc, &sc);
  predict(&store.models[0], dear, &yd, &sd);
  const double c_cheap = criterion_value(c, 1, yc, sc, sc, cheap.data());
  const double c_dear = criterion_value(c, 1, yd, sd, sd, dear.data());
  EXPECT_TRUE(std::isfinite(c_cheap) && std::isfinite(c_dear));
  EXPECT_LT(c_cheap, 0.0);
  EXPECT_GT(c_cheap, c_dear);
}
