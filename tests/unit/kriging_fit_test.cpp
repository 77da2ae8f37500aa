#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "base/settings.h"
#include "fatal_test_support.h"
#include "kriging/correlation.h"
#include "kriging/eigen.h"
#include "kriging/fit_state.h"
#include "kriging/krigfit.h"
#include "kriging/mle_tries.h"
#include "kriging_model_support.h"
#include "numeric/random.h"
#include "numeric/storage.h"
#include "numeric/vecutil.h"

using namespace kriging_test;

namespace {

// Restores the settings the fit reads.
struct SettingsGuard {
  int tries = g_settings.Tries;
  bool random_error = g_settings.RandomError;
  ~SettingsGuard() {
    g_settings.Tries = tries;
    g_settings.RandomError = random_error;
  }
};

// The example experiment: the Branin function on 24 points of
// [-5, 10] x [0, 15].
const Mat kBraninX = {{9.6875, 0.9375},  {7.1875, 9.0625},  {-1.5625, 14.0625},
                      {-3.4375, 14.6875}, {4.6875, 8.4375},  {-2.8125, 12.8125},
                      {2.1875, 7.1875},  {6.5625, 3.4375},  {2.8125, 13.4375},
                      {1.5625, 2.8125},  {9.0625, 5.3125},  {3.4375, 9.6875},
                      {5.9375, 1.5625},  {0.9375, 7.8125},  {-0.3125, 2.1875},
                      {-4.0625, 0.3125}, {5.3125, 5.9375},  {0.3125, 12.1875},
                      {8.4375, 10.9375}, {-2.1875, 4.0625}, {7.8125, 4.6875},
                      {4.0625, 11.5625}, {-4.6875, 10.3125}, {-0.9375, 6.5625}};
const std::vector<double> kBraninY = {
    3.85329,  77.21493, 37.75055, 3.67149,  59.59562, 2.64082,  20.85598, 24.60556,
    119.54586, 11.11211, 10.79386, 59.06194, 19.24391, 25.86529, 37.82085, 208.25725,
    37.95358, 63.65590, 88.78696, 40.89420, 20.87432, 102.12298, 45.59820, 16.77068};

// Parameters of the model for t, by the documented transformation.
void params_from_t(const std::vector<double>& t, int d, std::vector<double>* alpha,
                   std::vector<double>* theta, double* s) {
  alpha->assign(d, 0.0);
  theta->assign(d, 0.0);
  for (int l = 0; l < d; l++) {
    (*alpha)[l] = sin(t[l]) + 1.0;
    (*theta)[l] = t[d + l] * t[d + l] / 10.0;
  }
  *s = static_cast<int>(t.size()) > 2 * d ? sin(t[2 * d]) / 2.0 + 0.5 : 1.0;
}

// Evaluates loglike at t on the model and checks it, beta and sigma2 against
// the reference computed from a Cholesky factorisation.
void expect_loglike_matches_reference(TestModel& m, FitState& fit, const Mat& X,
                                      const std::vector<double>& y, std::vector<double> t,
                                      double rel) {
  std::vector<double> alpha, theta;
  double s;
  params_from_t(t, m.d(), &alpha, &theta, &s);
  const double value = loglike(t.data(), static_cast<int>(t.size()), &fit);
  const RefGls ref = ref_gls(ref_R(X, alpha, theta, s), y);
  expect_rel_near(ref.loglik, -value, rel, "log-likelihood");
  expect_rel_near(ref.beta, m.kr.beta[0], rel, "beta");
  expect_rel_near(ref.sigma2, m.kr.sigma2[0], rel, "sigma2");
  for (int l = 0; l < m.d(); l++) {
    EXPECT_DOUBLE_EQ(m.kr.alpha[l], alpha[l]);
    EXPECT_DOUBLE_EQ(m.kr.theta[l], theta[l]);
  }
  EXPECT_DOUBLE_EQ(m.kr.stochratio[0], s);
}

// Opens fit on m, whose parameters count as set, as the start values of a
// try make them.
void begin_fit(TestModel& m, FitState& fit) {
  m.kr.init.alpha = m.kr.init.theta = 1;
  open_model_fit(fit, &m.kr);
}

Mat random_design(Lcg& g, int n, int d, double width) {
  Mat X(n, std::vector<double>(d));
  for (auto& row : X)
    for (double& x : row) x = width * g.uniform();
  return X;
}

std::vector<double> smooth_response(const Mat& X) {
  std::vector<double> y;
  for (const auto& x : X) {
    double v = 3.0;
    for (size_t l = 0; l < x.size(); l++) v += sin(0.7 * x[l] + l) + 0.1 * x[l] * x[l];
    y.push_back(v);
  }
  return y;
}

// Runs mle_fit with the given seed and returns what it printed.
std::string fit_transcript(TestModel& m, int seed) {
  set_random_seeds(seed, 2 * seed, 100 * seed);
  Captured out;
  mle_fit(&m.kr, 1);
  return out.text();
}

// ln det R through a plain product of the eigenvalues of R, as far as that
// product is representable.
double log_of_eigenvalue_product(const Mat& R) {
  const int n = static_cast<int>(R.size());
  double** a = nullptr;
  double* lambda = nullptr;
  alloc_real_matrix(n, n, &a);
  alloc_real_vector(n, &lambda);
  for (int i = 0; i < n; i++)
    for (int j = 0; j < n; j++) a[i][j] = R[i][j];
  eigen_symmetric(a, n, lambda);
  const double product = product_of_elements(n, lambda);
  free_real_matrix(n, n, &a);
  free_real_vector(n, &lambda);
  return log(product);
}

}  // namespace

// ---- The likelihood against an independent computation ----

TEST(KrigFitLoglike, MatchesCholeskyReferenceAtRandomParameters) {
  SettingsGuard guard;
  Lcg g(7);
  for (int d : {1, 2, 3}) {
    for (bool random_error : {false, true}) {
      g_settings.RandomError = random_error;
      const Mat X = random_design(g, 14, d, 5.0);
      const std::vector<double> y = smooth_response(X);
      TestModel m(X, y);
      FitState fit;
      begin_fit(m, fit);
      const int count = 2 * d + (random_error ? 1 : 0);
      for (int rep = 0; rep < 5; rep++) {
        std::vector<double> t(count);
        for (int l = 0; l < d; l++) t[l] = (g.uniform() - 0.5) * 3.0;           // alpha
        for (int l = 0; l < d; l++) t[d + l] = 1.0 + 3.0 * g.uniform();          // theta 0.1..1.6
        if (random_error) t[2 * d] = 0.3 + 1.2 * g.uniform();                   // s 0.65..1
        SCOPED_TRACE("d=" + std::to_string(d) + " rep=" + std::to_string(rep));
        expect_loglike_matches_reference(m, fit, X, y, t, 1e-9);
      }
      EXPECT_EQ(fit.t4, 0);
      EXPECT_EQ(fit.t5, 0);
      close_fit(fit);
    }
  }
}

namespace {

// The likelihood of the model's current R through the whole eigenvector
// matrix, as the fitted model is finished: V' 1 and V' y by explicit
// products, the generalised least-squares estimates, profile_loglik.
struct EigenPathResult {
  double loglik, beta, sigma2, logdet;
  int negatives;
  int pseudo_inverted;  // eigenvalues within 3e-14 of 0, taken as 0 in R+
};

EigenPathResult likelihood_through_eigenvectors(const KrigModel& kr) {
  const int n = kr.n[0];
  double** v = nullptr;
  std::vector<double> lambda(n), inv(n), vt1(n), vty(n);
  EigenPathResult res;
  res.pseudo_inverted = 0;
  alloc_real_matrix(n, n, &v);
  copy_real_matrix(n, n, kr.R, v);
  eigen_symmetric(v, n, lambda.data());
  for (int i = 0; i < n; i++) {
    inv[i] = fabs(lambda[i]) > kSingularEigenvalue ? 1.0 / lambda[i] : 0.0;
    if (inv[i] == 0.0) res.pseudo_inverted++;
    vt1[i] = vty[i] = 0.0;
    for (int k = 0; k < n; k++) {
      vt1[i] += v[k][i];
      vty[i] += v[k][i] * kr.y[k];
    }
  }
  double m = 0.0, b = 0.0;
  for (int i = 0; i < n; i++) {
    m += vt1[i] * inv[i] * vt1[i];
    b += vt1[i] * inv[i] * vty[i];
  }
  res.beta = b / m;
  double sum = 0.0;
  for (int i = 0; i < n; i++) {
    double wi = 0.0;
    for (int k = 0; k < n; k++) wi += v[k][i] * (kr.y[k] - res.beta);
    sum += wi * wi * inv[i];
  }
  res.sigma2 = sum / n;
  int t4 = 0, t5 = 0;
  res.loglik =
      profile_loglik(lambda.data(), n, &res.sigma2, &t4, &t5, &res.logdet, &res.negatives);
  free_real_matrix(n, n, &v);
  return res;
}

}  // namespace

// The search evaluates the likelihood from the eigenvalues and the
// coordinates of 1 and y in the eigenvector basis, without the eigenvectors;
// the fitted model is finished through the eigenvectors. Both must agree: the
// determinant (from the same eigenvalues) exactly, the rest up to rounding.
TEST(KrigFitLoglike, SearchEvaluationAgreesWithTheEigenvectorPath) {
  SettingsGuard guard;
  g_settings.RandomError = false;
  Lcg g(23);
  struct Case {
    int n, d;
    double width, alpha_t, theta;
  };
  // Regular designs, then close points under the Gaussian form: nearly
  // singular but regular, and singular (eigenvalues within 3e-14 of 0, some
  // of them negative: a penalised determinant).
  for (const Case& c : {Case{40, 3, 5.0, 0.3, 0.8}, Case{120, 5, 1.0, -0.7, 2.0},
                        Case{60, 2, 1.0, -1.5707963, 5.0}, Case{30, 1, 1.0, -1.5707963, 5.0},
                        Case{80, 2, 1.0, -1.5707963, 0.3}}) {
    SCOPED_TRACE("n=" + std::to_string(c.n) + " d=" + std::to_string(c.d));
    const Mat X = random_design(g, c.n, c.d, c.width);
    TestModel m(X, smooth_response(X));
    FitState fit;
    begin_fit(m, fit);
    std::vector<double> t(2 * c.d);
    for (int l = 0; l < c.d; l++) {
      t[l] = c.alpha_t;
      t[c.d + l] = sqrt(10.0 * c.theta);
    }
    Captured out;
    const double value = -loglike(t.data(), 2 * c.d, &fit);
    const int negatives = fit.last_negatives;
    const double logdet = fit.last_logdet;
    const double beta = m.kr.beta[0], sigma2 = m.kr.sigma2[0];
    const EigenPathResult ref = likelihood_through_eigenvectors(m.kr);
    EXPECT_EQ(logdet, ref.logdet);
    EXPECT_EQ(negatives, ref.negatives);
    expect_rel_near(ref.loglik, value, 1e-10, "log-likelihood");
    // Reciprocals of eigenvalues near 3e-14 amplify the rounding of the
    // coordinates in beta and sigma2 by up to 1e13; either path is then that
    // far from exact arithmetic.
    const double rel = ref.pseudo_inverted > 0 ? 1e-8 : 1e-10;
    expect_rel_near(ref.beta, beta, rel, "beta");
    expect_rel_near(ref.sigma2, sigma2, rel, "sigma2");
    close_fit(fit);
  }
}

TEST(KrigFitLoglike, LogDeterminantEqualsLogOfProductWhereProductIsRepresentable) {
  SettingsGuard guard;
  g_settings.RandomError = false;
  Lcg g(11);
  const Mat X = random_design(g, 20, 2, 4.0);
  TestModel m(X, smooth_response(X));
  FitState fit;
  begin_fit(m, fit);
  std::vector<double> t = {0.2, -0.4, 1.5, 2.0};
  loglike(t.data(), 4, &fit);
  const int negatives = fit.last_negatives;
  const double logdet = fit.last_logdet;
  std::vector<double> alpha, theta;
  double s;
  params_from_t(t, 2, &alpha, &theta, &s);
  EXPECT_EQ(negatives, 0);
  EXPECT_NEAR(logdet, log_of_eigenvalue_product(ref_R(X, alpha, theta, s)),
              1e-12 * fabs(logdet));
  close_fit(fit);
}

// 60 equally spaced points with the exponential correlation form R[i][j] =
// rho^|i-j|, whose determinant is (1 - rho^2)^59: about e^-815 for
// 1 - rho^2 = 1e-6, far below the smallest double, so a plain product of the
// eigenvalues underflows to 0 although every eigenvalue is well above 3e-14.
TEST(KrigFitLoglike, LargeSmoothDesignKeepsItsTrueDeterminant) {
  SettingsGuard guard;
  g_settings.RandomError = false;
  const int n = 60;
  Mat X(n, std::vector<double>(1));
  std::vector<double> y(n);
  for (int i = 0; i < n; i++) {
    X[i][0] = i / 59.0;
    y[i] = sin(3.0 * X[i][0]) + X[i][0];
  }
  const double one_minus_rho2 = 1e-6;
  const double theta = -0.5 * log(1.0 - one_minus_rho2) * 59.0;
  std::vector<double> t = {0.0, sqrt(10.0 * theta)};  // alpha = 1, the given theta
  TestModel m(X, y);
  FitState fit;
  begin_fit(m, fit);
  Captured out;
  const double value = loglike(t.data(), 2, &fit);
  const int negatives = fit.last_negatives;
  const double logdet = fit.last_logdet;

  const Mat R = ref_R(X, {1.0}, {theta * 1.0}, 1.0);
  EXPECT_EQ(log_of_eigenvalue_product(R), -HUGE_VAL) << "the premise: the product underflows";
  EXPECT_EQ(negatives, 0);
  EXPECT_NEAR(logdet, 59.0 * log(one_minus_rho2), 1e-6);
  const RefGls ref = ref_gls(R, y);
  expect_rel_near(ref.loglik, -value, 1e-7, "log-likelihood");
  expect_rel_near(ref.sigma2, m.kr.sigma2[0], 1e-7, "sigma2");
  EXPECT_EQ(fit.t4, 0);
  EXPECT_EQ(fit.t5, 0);
  EXPECT_EQ(out.text(), "");
  close_fit(fit);
}

// ---- The branches by the sign of the determinant ----

TEST(KrigFitLoglike, PositiveDeterminantWithEvenNegativeEigenvalues) {
  const std::vector<double> lambda = {2.0, -0.5, -0.25, 4.0};  // det = 1
  double sigma2 = 3.0;
  int t4 = 0, t5 = 0;
  EXPECT_DOUBLE_EQ(profile_loglik(lambda.data(), 4, &sigma2, &t4, &t5), -0.5 * 4 * log(3.0));
  EXPECT_EQ(t4 + t5, 0);
}

TEST(KrigFitLoglike, NonPositiveVarianceWithPositiveDeterminantIsFloored) {
  const std::vector<double> lambda = {1.0, 1.0};
  for (double bad : {0.0, -2.0}) {
    double sigma2 = bad;
    int t4 = 0, t5 = 0;
    Captured out;
    EXPECT_DOUBLE_EQ(profile_loglik(lambda.data(), 2, &sigma2, &t4, &t5), -0.5 * 2 * log(1e-10));
    EXPECT_EQ(sigma2, 1e-10);
    EXPECT_EQ(out.text(), "WARNING: Stochastic Variance estimated to be 0 or smaller\n");
  }
  // A variance that is not a number (its sums overflowed) is no likelihood:
  // floored, it would be the best point of all.
  double sigma2 = std::nan("");
  int t4 = 0, t5 = 0;
  Captured out;
  EXPECT_EQ(profile_loglik(lambda.data(), 2, &sigma2, &t4, &t5), -kLoglikeWorst);
  EXPECT_EQ(out.text(), "");
}

TEST(KrigFitLoglike, ZeroOrUndefinedEigenvalueIsPenalisedAndCountedT4) {
  for (double bad : {0.0, -0.0, std::nan("")}) {
    const std::vector<double> lambda = {1.5, bad, 0.5};
    double sigma2 = 2.0;
    int t4 = 0, t5 = 0;
    EXPECT_DOUBLE_EQ(profile_loglik(lambda.data(), 3, &sigma2, &t4, &t5),
                     -0.5 * (3 * log(2.0) + 1e14));
    EXPECT_EQ(t4, 1);
    EXPECT_EQ(t5, 0);
  }
}

TEST(KrigFitLoglike, SlightlyNegativeDeterminantIsPenalisedAndCountedT5) {
  // det = -0.9e-4 (odd number of negative eigenvalues, magnitude below 1e-4).
  const std::vector<double> lambda = {1.0, -0.9e-4, 1.0};
  double sigma2 = 2.0;
  int t4 = 0, t5 = 0;
  EXPECT_DOUBLE_EQ(profile_loglik(lambda.data(), 3, &sigma2, &t4, &t5),
                   -0.5 * (3 * log(2.0) + 1e14));
  EXPECT_EQ(t4, 0);
  EXPECT_EQ(t5, 1);
}

TEST(KrigFitLoglike, PenalisedPointsWithoutPositiveVarianceAreWorstButFinite) {
  const std::vector<double> zero = {1.0, 0.0};
  const std::vector<double> negative = {1.0, -1e-6};
  for (const auto* lambda : {&zero, &negative}) {
    for (double bad : {0.0, -1.0, std::nan("")}) {
      double sigma2 = bad;
      int t4 = 0, t5 = 0;
      const double L = profile_loglik(lambda->data(), 2, &sigma2, &t4, &t5);
      EXPECT_TRUE(std::isfinite(L));
      EXPECT_EQ(L, -kLoglikeWorst);
      EXPECT_EQ(t4 + t5, 1);
      // Any regular point is better, also a penalised one with a tiny variance.
      double tiny = 1e-300;
      EXPECT_GT(profile_loglik(lambda->data(), 2, &tiny, &t4, &t5), L);
    }
  }
}

TEST(KrigFitLoglikeDeathTest, ClearlyNegativeDeterminantIsFatalWithItsValue) {
  const std::vector<double> lambda = {2.0, -0.5, 1.0};  // det = -1
  double sigma2 = 1.0;
  int t4 = 0, t5 = 0;
  EXPECT_FATAL_EXIT(profile_loglik(lambda.data(), 3, &sigma2, &t4, &t5),
                    ::testing::ExitedWithCode(2),
                    "DORVE error ... \nDeterminant R -1.000000 \nloglike: detR<0.0 , R is "
                    "negative definite \n");
  // Just beyond -1e-4.
  const std::vector<double> edge = {1.0, -1.0001e-4, 1.0};
  EXPECT_FATAL_EXIT(profile_loglik(edge.data(), 3, &sigma2, &t4, &t5), ::testing::ExitedWithCode(2),
                    "-0.000100 \nloglike: detR<0.0");
}

// ---- Parameter transformations ----

TEST(KrigFitParameters, TransformationRoundTrips) {
  SettingsGuard guard;
  g_settings.RandomError = true;
  const std::vector<double> alpha = {0.0, 0.7, 2.0}, theta = {0.0, 0.35, 12.0};
  std::vector<double> t(7);
  trafo_corpar(alpha.data(), theta.data(), 2.0, 0.8, t.data(), 3);
  TestModel m({{0, 0, 0}}, {1.0});
  set_corpar(&m.kr, t.data(), 3);
  for (int l = 0; l < 3; l++) {
    EXPECT_NEAR(m.kr.alpha[l], alpha[l], 1e-12);
    EXPECT_NEAR(m.kr.theta[l], theta[l], 1e-12);
  }
  EXPECT_NEAR(m.kr.stochratio[0], 0.8, 1e-12);

  // Without a random error the share is neither read nor written.
  g_settings.RandomError = false;
  m.kr.stochratio[0] = 0.3;
  t[6] = 12345.0;
  trafo_corpar(alpha.data(), theta.data(), -1.0, 0.8, t.data(), 3);
  EXPECT_EQ(t[6], 12345.0);
  set_corpar(&m.kr, t.data(), 3);
  EXPECT_EQ(m.kr.stochratio[0], 0.3);
}

TEST(KrigFitParameters, EveryRealVectorMapsIntoTheAdmissibleSet) {
  SettingsGuard guard;
  g_settings.RandomError = true;
  TestModel m({{0, 0}}, {1.0});
  Lcg g(3);
  for (int rep = 0; rep < 200; rep++) {
    double t[5];
    for (double& v : t) v = (g.uniform() - 0.5) * 100.0;
    set_corpar(&m.kr, t, 2);
    for (int l = 0; l < 2; l++) {
      EXPECT_GE(m.kr.alpha[l], 0.0);
      EXPECT_LE(m.kr.alpha[l], 2.0);
      EXPECT_GE(m.kr.theta[l], 0.0);
    }
    EXPECT_GE(m.kr.stochratio[0], 0.0);
    EXPECT_LE(m.kr.stochratio[0], 1.0);
  }
}

// Supplied starting values outside the admissible set end the fit with the
// offending value.
TEST(KrigFitParametersDeathTest, InadmissibleSuppliedStartValuesAreFatal) {
  SettingsGuard guard;
  g_settings.Tries = 1;
  {
    TestModel m(kBraninX, kBraninY);
    m.set_parameters({2.5, 1.0}, {0.1, 0.1}, 1.0, 10.0);
    EXPECT_FATAL_EXIT(
        mle_fit(&m.kr, 1), ::testing::ExitedWithCode(2),
        "DORVE error ... \narcsin argument:  1.500000 \nkrigfit, trafo_corpar: arcsin "
        "argument out of range \nNow exiting to system");
  }
  {
    TestModel m(kBraninX, kBraninY);
    m.set_parameters({1.0, -0.2}, {0.1, 0.1}, 1.0, 10.0);
    EXPECT_FATAL_EXIT(
        mle_fit(&m.kr, 1), ::testing::ExitedWithCode(2),
        "arcsin argument:  -1.200000 \nkrigfit, trafo_corpar: arcsin argument out of range");
  }
  {
    TestModel m(kBraninX, kBraninY);
    m.set_parameters({1.0, 1.0}, {0.1, -0.5}, 1.0, 10.0);
    EXPECT_FATAL_EXIT(mle_fit(&m.kr, 1), ::testing::ExitedWithCode(2),
                      "theta\\[i\\]:  -0.500000 \ntrafo_corpar: theta<0.0 \n");
  }
  {
    // With a random error the variance must be known: still the NA marker here.
    g_settings.RandomError = true;
    TestModel m(kBraninX, kBraninY);
    m.set_parameters({1.0, 1.0}, {0.1, 0.1}, 1.0, kNaMarker);
    EXPECT_FATAL_EXIT(mle_fit(&m.kr, 1), ::testing::ExitedWithCode(2),
                      "  -100000000000000.000000 \ntrafo_corpar: var \n");
  }
}

// A fit of a batch whose planning fails ends the run after the fits added
// before it have run and printed, with what was printed before it was added
// and its own planning messages; nothing printed after that comes out.
TEST(KrigFitParametersDeathTest, PlanningErrorInABatchComesAfterTheFitsBeforeIt) {
  SettingsGuard guard;
  g_settings.Tries = 1;
  TestModel good(kBraninX, kBraninY);
  TestModel bad(kBraninX, kBraninY);
  bad.set_parameters({2.5, 1.0}, {0.1, 0.1}, 1.0, 10.0);
  TempDir dir;
  const std::string path = dir.file("out.txt");
  EXPECT_FATAL_EXIT(
      {
        g_interp.out = fopen(path.c_str(), "w");
        FitBatch* batch = open_fit_batch();
        fprintf(out_stream(), "before the first\n");
        add_to_fit_batch(batch, &good.kr, 1);
        fprintf(out_stream(), "before the second\n");
        add_to_fit_batch(batch, &bad.kr, 1);
        fprintf(out_stream(), "after the second\n");
        run_fit_batch(batch);
      },
      ::testing::ExitedWithCode(2), "arcsin argument:  1.500000");
  const std::string out = read_file(path);
  EXPECT_EQ(out.find("before the first\nMLE-Try  1"), 0u) << out;
  const size_t fitted = out.find("LogLikelihood:");
  ASSERT_NE(fitted, std::string::npos) << out;
  const std::string tail =
      "before the second\nSupplied Parameter values used as Starting values for mle.\n";
  ASSERT_GT(out.size(), tail.size());
  EXPECT_EQ(out.substr(out.size() - tail.size()), tail);
  EXPECT_LT(fitted, out.size() - tail.size());
}

TEST(KrigFitDeathTest, LoglikeWithoutAFitInProgressIsACodeBug) {
  double t[2] = {0.0, 1.0};
  EXPECT_FATAL_EXIT(loglike(t, 2, nullptr), ::testing::ExitedWithCode(1), "no model is being fitted");
}

// ---- The whole fit ----

TEST(KrigFitMle, SameSeedGivesTheSameTranscriptTwice) {
  SettingsGuard guard;
  g_settings.RandomError = false;
  g_settings.Tries = 3;
  TestModel a(kBraninX, kBraninY), b(kBraninX, kBraninY);
  const std::string first = fit_transcript(a, 5);
  const std::string second = fit_transcript(b, 5);
  EXPECT_EQ(first, second);
  EXPECT_EQ(a.kr.loglik[0], b.kr.loglik[0]);
  for (int l = 0; l < 2; l++) {
    EXPECT_EQ(a.kr.alpha[l], b.kr.alpha[l]);
    EXPECT_EQ(a.kr.theta[l], b.kr.theta[l]);
  }
  TestModel c(kBraninX, kBraninY);
  EXPECT_NE(fit_transcript(c, 6), first);
}

TEST(KrigFitMle, ExampleExperimentEndsWithTheBestTryAndConsistentEstimates) {
  SettingsGuard guard;
  g_settings.RandomError = false;
  g_settings.Tries = 3;
  TestModel m(kBraninX, kBraninY);
  m.kr.stochratio[0] = 0.9;  // from an earlier fit with a random error
  const std::string text = fit_transcript(m, 10);

  EXPECT_EQ(text.rfind("WARNING: Setting ErrorVariance to 0.0 for Fitting\n", 0), 0u) << text;
  EXPECT_EQ(m.kr.stochratio[0], 1.0);
  // Three tries, then the summary; the kept log-likelihood is the best try's.
  double best = -1e300;
  size_t pos = 0;
  int tries = 0;
  while ((pos = text.find("MaxLogLike: ", pos)) != std::string::npos) {
    best = std::max(best, atof(text.c_str() + pos + 12));
    pos++;
    tries++;
  }
  EXPECT_EQ(tries, 3);
  EXPECT_NEAR(m.kr.loglik[0], best, 0.005 + 1e-12);
  EXPECT_NE(text.find("\nLogLikelihood:"), std::string::npos);
  EXPECT_NE(text.find("\nmle alpha: "), std::string::npos);
  EXPECT_NE(text.find("\nmle theta: "), std::string::npos);
  for (auto flag : {m.kr.init.alpha, m.kr.init.theta, m.kr.init.R, m.kr.init.F, m.kr.init.U,
                    m.kr.init.beta, m.kr.init.var})
    EXPECT_EQ(flag, 1);

  // beta, sigma2 and loglik belong to the parameters left in the model.
  std::vector<double> alpha(m.kr.alpha, m.kr.alpha + 2), theta(m.kr.theta, m.kr.theta + 2);
  const RefGls ref = ref_gls(ref_R(kBraninX, alpha, theta, 1.0), kBraninY);
  expect_rel_near(ref.beta, m.kr.beta[0], 1e-8, "beta");
  expect_rel_near(ref.sigma2, m.kr.sigma2[0], 1e-8, "sigma2");
  expect_rel_near(ref.loglik, m.kr.loglik[0], 1e-8, "loglik");
}

TEST(KrigFitMle, SuppliedParametersStartTheFirstTry) {
  SettingsGuard guard;
  g_settings.RandomError = false;
  g_settings.Tries = 1;
  TestModel m(kBraninX, kBraninY);
  m.set_parameters({0.0, 0.0}, {0.03, 0.002}, 1.0, 100.0);
  const std::string text = fit_transcript(m, 10);
  EXPECT_EQ(text.rfind("Supplied Parameter values used as Starting values for mle.\n", 0), 0u);
  // A good start is not lost: the fit ends at least as high as it began.
  std::vector<double> t(4);
  trafo_corpar(std::vector<double>{0.0, 0.0}.data(), std::vector<double>{0.03, 0.002}.data(), 1.0,
               1.0, t.data(), 2);
  TestModel probe(kBraninX, kBraninY);
  FitState fit;
  begin_fit(probe, fit);
  const double start = -loglike(t.data(), 4, &fit);
  close_fit(fit);
  EXPECT_GE(m.kr.loglik[0], start);
}

// The example experiment run twice with a measurement error (sd 25) added:
// a fit with a random error attributes a clear share of the variance to it,
// of about the size of the measurement variance.
TEST(KrigFitMle, NoisyExampleRecoversARandomErrorShare) {
  SettingsGuard guard;
  g_settings.RandomError = true;
  g_settings.Tries = 5;
  Lcg g(2024);
  const double sd = 25.0;
  Mat X = kBraninX;
  X.insert(X.end(), kBraninX.begin(), kBraninX.end());
  std::vector<double> noisy = kBraninY;
  noisy.insert(noisy.end(), kBraninY.begin(), kBraninY.end());
  for (double& v : noisy) v += sd * g.normal();
  TestModel m(X, noisy);
  const std::string text = fit_transcript(m, 10);
  EXPECT_NE(text.find("StochVar/TotalVar:"), std::string::npos);
  EXPECT_NE(text.find(", ErrorVar:"), std::string::npos);
  const double s = m.kr.stochratio[0];
  EXPECT_LT(s, 0.95) << text;
  EXPECT_GT(s, 0.0);
  const double error_variance = (1.0 - s) * m.kr.sigma2[0];
  EXPECT_GT(error_variance, 0.5 * sd * sd) << text;
  EXPECT_LT(error_variance, 2.0 * sd * sd) << text;
}
