// The gradient search of the criterion: the predictor's gradients, the log
// criterion and its gradient against central differences, and the search
// against the simplex tries.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "kriging/predictor.h"
#include "kriging/predictor_gradient.h"
#include "numeric/storage.h"
#include "numeric/vecutil.h"
#include "optim/trafo.h"
#include "seqmin/criterion_gradient_search.h"
#include "seqmin/criterion_max.h"
#include "seqmin/expected_improvement.h"
#include "seqmin/log_criterion.h"
#include "seqmin_test_support.h"

using namespace seqmin_test;

namespace {

class SeqminCriterionGradient : public ::testing::Test {
 protected:
  void SetUp() override { reset_process_state(); }
  void TearDown() override { reset_process_state(); }
};

// Points of the unit square off every design coordinate.
Mat probe_points() { return {{0.31, 0.52}, {0.62, 0.18}, {0.9, 0.93}, {0.12, 0.71}}; }

// Mixed smoothness: Gaussian along x1, exponent 2 - alpha2 along x2 (a cusp
// at every design coordinate for alpha2 >= 1), optionally with random error.
void roughen(Store& store, int j, double stochratio, double alpha2 = 1.3) {
  KrigModel* kr = &store.models[j];
  kr->alpha[1] = alpha2;
  kr->theta[1] = 2.0;
  kr->stochratio[0] = stochratio;
  store.decompose(j);
}

// Central difference of f along axis l at x.
template <typename F>
double central(F f, std::vector<double> x, int l, double h) {
  x[l] += h;
  const double up = f(x);
  x[l] -= 2.0 * h;
  return (up - f(x)) / (2.0 * h);
}

void expect_gradient(const std::vector<double>& grad, const std::vector<double>& fd,
                     const char* what) {
  for (size_t l = 0; l < grad.size(); l++)
    EXPECT_NEAR(grad[l], fd[l], 1e-5 * std::max(1.0, fabs(fd[l]))) << what << " axis " << l;
}

// log_criterion's gradient against central differences at every probe point.
void check_log_gradient(LogCriterion* lc, const char* what) {
  for (const auto& x : probe_points()) {
    std::vector<double> grad(2), fd(2);
    const double L = log_criterion(lc, x.data(), grad.data());
    ASSERT_TRUE(std::isfinite(L)) << what;
    auto f = [lc](const std::vector<double>& p) { return log_criterion(lc, p.data(), nullptr); };
    for (int l = 0; l < 2; l++) fd[l] = central(f, x, l, 1e-6);
    expect_gradient(grad, fd, what);
  }
}

}  // namespace

TEST_F(SeqminCriterionGradient, PredictionIsThePredictorsWithGradientsThatMatchDifferences) {
  const Mat X = unit_design();
  for (double stochratio : {1.0, 0.8}) {
    Store store(X, {smooth_values(X)}, unit_box(), 0.0, 5.0, 2.0);
    roughen(store, 0, stochratio, stochratio == 1.0 ? 1.0 : 1.3);
    KrigModel* kr = &store.models[0];
    GradientPredictor p;
    open_model_gradient_predictor(kr, &p);
    for (const auto& x : probe_points()) {
      GradientPrediction out;
      predict_with_gradient(&p, x.data(), true, &out);
      std::vector<double> xv(x), res(2);
      double* xp[1] = {xv.data()};
      double* rp[1] = {res.data()};
      krigblup(kr, 1, xp, rp);
      EXPECT_NEAR(out.yhat, res[0], 1e-12);
      EXPECT_NEAR(sqrt(out.mse), res[1], 1e-12);
      auto yhat = [&p](const std::vector<double>& q) {
        GradientPrediction o;
        predict_with_gradient(&p, q.data(), false, &o);
        return o.yhat;
      };
      auto mse = [&p](const std::vector<double>& q) {
        GradientPrediction o;
        predict_with_gradient(&p, q.data(), false, &o);
        return o.mse;
      };
      std::vector<double> fy(2), fm(2);
      for (int l = 0; l < 2; l++) {
        fy[l] = central(yhat, x, l, 1e-6);
        fm[l] = central(mse, x, l, 1e-6);
      }
      expect_gradient(out.dyhat, fy, "prediction");
      expect_gradient(out.dmse, fm, "mse");
    }
  }
}

TEST_F(SeqminCriterionGradient, GradientIsFiniteOnADesignCoordinate) {
  // x2 = 0.45 is design point 1's: along x2 the exponent 0.7 has a cusp
  // there, and along x1 (alpha 2) the factor is a constant.
  const Mat X = unit_design();
  Store store(X, {smooth_values(X)}, unit_box());
  KrigModel* kr = &store.models[0];
  kr->alpha[0] = 2.0;
  roughen(store, 0, 1.0);
  GradientPredictor p;
  open_model_gradient_predictor(kr, &p);
  const std::vector<double> x = {0.31, 0.45};
  GradientPrediction out;
  predict_with_gradient(&p, x.data(), true, &out);
  for (int l = 0; l < 2; l++) {
    EXPECT_TRUE(std::isfinite(out.dyhat[l])) << l;
    EXPECT_TRUE(std::isfinite(out.dmse[l])) << l;
  }
  EXPECT_EQ(out.dyhat[0], 0.0);
}

TEST_F(SeqminCriterionGradient, LogCriterionIsTheLogOfTheCriterionWithMatchingGradient) {
  const Mat X = unit_design();
  std::vector<double> cost, load;
  for (const auto& x : X) {
    cost.push_back(x[0] + 2.0 * x[1]);
    load.push_back(x[0] * x[1]);
  }
  Store store(X, {smooth_values(X), cost, load}, unit_box());
  store.constrain(1, 0.4, 1.8);        // both bounds
  store.constrain(2, kNaMarker, 0.3);  // upper bound only
  roughen(store, 0, 0.9);              // with random error
  const double T = *std::min_element(store.models[0].y, store.models[0].y + 10);
  MinimizeContext& c = store.use_as_context(T);
  KrigModel* kr = &store.models[0];
  for (int g : {1, 2, 0}) {
    g_settings.GlobalExpectedImprovement = g;
    LogCriterion lc;
    open_log_criterion(c, kr, &lc);
    check_log_gradient(&lc, g == 1 ? "g = 1" : g == 2 ? "g = 2" : "g = 0");
    for (const auto& x : probe_points()) {
      std::vector<double> xv(x), t(2);
      double* xp[1] = {xv.data()};
      double* tp[1] = {t.data()};
      trafo_ab_inf(1, 2, xp, kr->range, tp, "sin");
      const double criterion = criterion_at(c, kr, x);
      ASSERT_GT(criterion, 0.0);
      EXPECT_NEAR(log_criterion(&lc, x.data(), nullptr), log(criterion), 1e-9) << "g = " << g;
      // The search's objective: -L with the chain rule through the "sin" map.
      std::vector<double> gt(2), fd(2);
      double f = 0.0;
      ASSERT_TRUE(negative_log_criterion_in_t(t.data(), 2, &f, gt.data(), &lc));
      auto ft = [&lc](const std::vector<double>& q) {
        double v = 0.0, scratch[2];
        negative_log_criterion_in_t(q.data(), 2, &v, scratch, &lc);
        return v;
      };
      for (int l = 0; l < 2; l++) fd[l] = central(ft, t, l, 1e-6);
      expect_gradient(gt, fd, "in t");
    }
  }
}

TEST_F(SeqminCriterionGradient, StageMultiplierGradientMatchesDifferences) {
  const Mat X = unit_design();
  Store store(X, {smooth_values(X)}, unit_box());
  KrigModel* kr = &store.models[0];
  MinimizeContext& c = store.use_as_context(*std::min_element(kr->y, kr->y + 10));
  double** S = nullptr;
  alloc_real_matrix(11, 2, &S);
  copy_real_matrix(10, 2, kr->X, S);
  S[10][0] = 0.5;
  S[10][1] = 0.4;
  std::vector<double> ys(11, 0.0);
  c.stage = true;
  c.stage_design = S;
  c.stage_y = ys.data();
  c.stage_n = 11;
  init_krigmse_anyX(&c.stage_state, kr, S, 11, 2, 1);
  g_settings.GlobalExpectedImprovement = 2;
  LogCriterion lc;
  open_log_criterion(c, kr, &lc);
  check_log_gradient(&lc, "stage");
  // On the proposed point the stage multiplier is 0: so is the criterion.
  EXPECT_EQ(log_criterion(&lc, S[10], nullptr), -INFINITY);
  free_krigmse_anyX(&c.stage_state, 11, 1);
  free_real_matrix(11, 2, &S);
}

TEST_F(SeqminCriterionGradient, SearchFindsAtLeastTheSimplexMaximum) {
  const Mat X = unit_design();
  Store store(X, {smooth_values(X)}, unit_box());
  KrigModel* kr = &store.models[0];
  MinimizeContext& c = store.use_as_context(*std::min_element(kr->y, kr->y + 10));
  Captured out;
  double simplex = 0.0, gradient = 0.0;
  std::vector<double> x(2);
  ASSERT_EQ(maximize_criterion(c, kr, &simplex, x.data()), kCriterionFound);
  snprintf(g_settings.CriterionOptimMethod, kShortTextSize, "%s", "gradient");
  g_settings.CriterionOptimTries = -1;
  ASSERT_EQ(maximize_criterion(c, kr, &gradient, x.data()), kCriterionFound);
  EXPECT_GE(gradient, simplex * (1.0 - 1e-9));
  // best is the ordinary criterion at x, and -1 stays the default.
  EXPECT_NEAR(criterion_at(c, kr, x), gradient, 1e-12 * gradient);
  EXPECT_EQ(g_settings.CriterionOptimTries, -1);
  EXPECT_EQ(out.text().find("tries"), std::string::npos) << out.text();
}

TEST_F(SeqminCriterionGradient, CriterionZeroEverywhereGivesStatusOneWithoutFailedTries) {
  // A constraint bound no prediction can meet: the criterion is 0 in
  // floating point, its logarithm still has a slope.
  const Mat X = unit_design();
  Store store(X, {smooth_values(X), input_sums(X)}, unit_box());
  store.constrain(1, kNaMarker, -1e6);
  MinimizeContext& c = store.use_as_context(0.0);
  snprintf(g_settings.CriterionOptimMethod, kShortTextSize, "%s", "gradient");
  std::vector<double> x(2);
  double best = -1.0;
  Captured out;
  EXPECT_EQ(maximize_criterion(c, &store.models[0], &best, x.data()), kCriterionNoneFound);
  EXPECT_EQ(best, 0.0);
  EXPECT_EQ(out.text(), "");
}
