#include "kriging/krigfit.h"

#include <cmath>
#include <cstdio>

#include "base/interpreter.h"
#include "base/messages.h"
#include "base/settings.h"
#include "data/model_store.h"
#include "kriging/correlation.h"
#include "kriging/eigen.h"
#include "kriging/fit_state.h"
#include "kriging/inverse.h"
#include "numeric/random.h"
#include "numeric/storage.h"
#include "numeric/vecutil.h"

namespace {

constexpr double kPi = 3.14159265359;
// A variance estimate that is not positive is replaced by this.
constexpr double kVarianceFloor = 1e-10;

// inv_lambda = reciprocals of the eigenvalues, near-zero ones taken as 0.
void invert_eigenvalues(FitState& s) {
  for (int i = 0; i < s.n; i++) {
    if (s.lambda[i] > kSingularEigenvalue || s.lambda[i] < -kSingularEigenvalue) {
      s.inv_lambda[i] = 1.0 / s.lambda[i];
    } else {
      s.inv_lambda[i] = 0.0;
      if (!s.t2_warned) {
        print_warning("Correlation Matrix is singular. Proceed with fingers crossed. (T2)");
        s.t2_warned = true;
      }
    }
  }
}

// Step 3 of the likelihood: Q = eigenvectors of R, lambda its eigenvalues,
// inv_lambda their reciprocals.
void decompose_R(FitState& s) {
  copy_real_matrix(s.n, s.n, s.R, s.Q);
  eigen_symmetric(s.Q, s.n, s.lambda);
  invert_eigenvalues(s);
}

// Step 3 as the search needs it: lambda and inv_lambda as decompose_R leaves
// them (bit for bit), but instead of the eigenvectors only the coordinates
// of F's columns and of y in their basis (rows 0 .. r-1 and r of T), which
// is all the likelihood uses and costs a fraction of the eigenvectors.
void decompose_R_coordinates(FitState& s) {
  const KrigModel* kr = s.kr;
  copy_real_matrix(s.n, s.n, s.R, s.Q);
  for (int k = 0; k < s.r; k++)
    for (int j = 0; j < s.n; j++) s.T[k][j] = kr->F[j][k];
  copy_real_vector(s.n, kr->y, s.T[s.r]);
  eigen_symmetric_transform(s.Q, s.n, s.lambda, s.T, s.r + 1);
  invert_eigenvalues(s);
}

// beta = (G Q'F)^-1 G Q'y, with G = F'Q as rows on entry, Q'F = QtF and
// Q'y = qty; G is scaled by inv_lambda on the way.
void solve_beta(FitState& s, const double* qty) {
  for (int k = 0; k < s.r; k++) scale_vector_elementwise(s.inv_lambda, s.n, s.G[k]);
  multiply_matrices(s.r, s.G, s.n, s.QtF, s.r, s.M);
  invert_matrix(s.M, s.Minv, s.r);
  matrix_times_vector(s.r, s.G, s.n, qty, s.b);
  matrix_times_vector(s.r, s.Minv, s.r, s.b, s.beta);
}

// sigma2 = sum_i w_i^2 inv_lambda_i / n.
void variance_from_w(FitState& s) {
  double sum = 0.0;
  for (int i = 0; i < s.n; i++) sum += s.w[i] * s.w[i] * s.inv_lambda[i];
  s.sigma2[0] = sum / s.n;
}

// Step 4: beta = (F' R+ F)^-1 F' R+ y with R+ = Q diag(inv_lambda) Q'.
void estimate_beta(FitState& s) {
  const KrigModel* kr = s.kr;
  for (int k = 0; k < s.r; k++) {
    for (int j = 0; j < s.n; j++) s.column[j] = kr->F[j][k];
    vector_times_matrix(s.column, s.n, s.Q, s.n, s.G[k]);  // row k of F' Q
    for (int i = 0; i < s.n; i++) s.QtF[i][k] = s.G[k][i];
  }
  vector_times_matrix(kr->y, s.n, s.Q, s.n, s.Qty);
  solve_beta(s, s.Qty);
}

// Step 5: sigma2 = sum_i w_i^2 inv_lambda_i / n with w = Q' (y - F beta).
void estimate_sigma2(FitState& s) {
  const KrigModel* kr = s.kr;
  matrix_times_vector(s.n, kr->F, s.r, s.beta, s.Fbeta);
  add_scaled_vector(-1.0, kr->y, s.n, s.Fbeta, s.e);
  vector_times_matrix(s.e, s.n, s.Q, s.n, s.w);
  variance_from_w(s);
}

// Steps 4 and 5 from the coordinates left by decompose_R_coordinates:
// the same formulas, with w = Q'y - (Q'F) beta.
void estimate_from_coordinates(FitState& s) {
  const double* qty = s.T[s.r];
  for (int k = 0; k < s.r; k++) {
    for (int i = 0; i < s.n; i++) {
      s.G[k][i] = s.T[k][i];
      s.QtF[i][k] = s.T[k][i];
    }
  }
  solve_beta(s, qty);
  const double* beta = s.beta;
  for (int i = 0; i < s.n; i++) {
    double fitted = 0.0;
    for (int k = 0; k < s.r; k++) fitted += s.QtF[i][k] * beta[k];
    s.w[i] = qty[i] - fitted;
  }
  variance_from_w(s);
}

// The sign and magnitude of det R from its eigenvalues. A plain product of
// the eigenvalues underflows to 0 for moderately large, smooth designs, so
// the determinant is carried as ln|det| (the sum of the logarithms of the
// magnitudes) and the number of negative eigenvalues. Returns false when an
// eigenvalue is exactly 0 or not a number: the determinant is then 0 or
// undefined.
bool log_determinant(const double* lambda, int n, double* logdet, int* negatives) {
  double sum = 0.0;
  int neg = 0;
  bool defined = true;
  for (int i = 0; i < n; i++) {
    if (lambda[i] == 0.0 || std::isnan(lambda[i])) defined = false;
    if (lambda[i] < 0.0) neg++;
    sum += log(fabs(lambda[i]));
  }
  *logdet = sum;
  *negatives = neg;
  return defined;
}

// -0.5 (n ln sigma2 + penalty) for the penalised determinants; a variance
// that is not positive makes the point the worst possible.
double penalised_loglik(int n, double sigma2) {
  if (!(sigma2 > 0.0)) return -kLoglikeWorst;
  return -0.5 * (n * log(sigma2) + kLogDetPenalty);
}

// Work storage for one fit.
void create_work(FitState& s) {
  const int n = s.n, r = s.r;
  alloc_real_matrix(n, n, &s.Q);
  alloc_real_vector(n, &s.lambda);
  alloc_real_vector(n, &s.inv_lambda);
  alloc_real_matrix(r, n, &s.G);
  alloc_real_matrix(n, r, &s.QtF);
  alloc_real_matrix(r, r, &s.M);
  alloc_real_matrix(r, r, &s.Minv);
  alloc_real_vector(n, &s.column);
  alloc_real_vector(n, &s.Qty);
  alloc_real_vector(r, &s.b);
  alloc_real_vector(n, &s.Fbeta);
  alloc_real_vector(n, &s.e);
  alloc_real_vector(n, &s.w);
  alloc_real_matrix(r + 1, n, &s.T);
}

void release_work(FitState& s) {
  const int n = s.n, r = s.r;
  free_real_matrix(n, n, &s.Q);
  free_real_vector(n, &s.lambda);
  free_real_vector(n, &s.inv_lambda);
  free_real_matrix(r, n, &s.G);
  free_real_matrix(n, r, &s.QtF);
  free_real_matrix(r, r, &s.M);
  free_real_matrix(r, r, &s.Minv);
  free_real_vector(n, &s.column);
  free_real_vector(n, &s.Qty);
  free_real_vector(r, &s.b);
  free_real_vector(n, &s.Fbeta);
  free_real_vector(n, &s.e);
  free_real_vector(n, &s.w);
  free_real_matrix(r + 1, n, &s.T);
}

// s sized for kr, nothing allocated yet.
void size_for(FitState& s, const KrigModel* kr) {
  s = FitState();
  s.kr = kr;
  s.n = kr->n[0];
  s.r = kr->r[0];
  s.d = kr->d[0];
  s.random_error = g_settings.RandomError;
}

// The results of the evaluations are kr's own members.
void point_at_model(FitState& s, KrigModel* kr) {
  s.alpha = kr->alpha;
  s.theta = kr->theta;
  s.share = kr->stochratio;
  s.R = kr->R;
  s.beta = kr->beta;
  s.sigma2 = kr->sigma2;
}

// Vertices `first` .. m of P drawn at random (m coordinates each), in the
// order the search has always drawn them.
void draw_random_vertices(int first, int m, double** P) {
  for (int i = first; i <= m; i++) {
    for (int j = 0; j < m; j++) P[i][j] = (random_uniform() - 0.5) * kPi;
    // The stochastic share starts between 0.5 and 1.
    if (g_settings.RandomError) P[i][m - 1] = random_uniform() * kPi / 2.0;
  }
}

}  // namespace

bool is_genuine_loglik(double value) { return std::isfinite(value) && value > kPenalisedLoglik; }

bool likelihood_can_hold(int n, const double* y) {
  double sum = 0.0;
  for (int i = 0; i < n; i++) sum += y[i];
  const double mean = sum / n;
  double squares = 0.0;
  for (int i = 0; i < n; i++) squares += (y[i] - mean) * (y[i] - mean);
  return std::isfinite(mean) && std::isfinite(squares);
}

void open_model_fit(FitState& s, KrigModel* kr) {
  krCalcF(kr);  // r must be 1
  size_for(s, kr);
  create_work(s);
  point_at_model(s, kr);
}

void open_try_fit(FitState& s, const KrigModel* kr) {
  size_for(s, kr);
  const int n = s.n, d = s.d, r = s.r;
  alloc_real_matrix(n, n, &s.R);
  alloc_real_vector(d, &s.alpha);
  alloc_real_vector(d, &s.theta);
  alloc_real_vector(1, &s.share);
  copy_real_vector(d, kr->alpha, s.alpha);
  copy_real_vector(d, kr->theta, s.theta);
  s.share[0] = kr->stochratio[0];
  // beta and sigma2 are written by every evaluation before they are read.
  alloc_real_vector(r, &s.beta);
  alloc_real_vector(1, &s.sigma2);
  s.owns_results = true;
  create_work(s);
}

void close_fit(FitState& s) {
  release_work(s);
  if (s.owns_results) {
    free_real_matrix(s.n, s.n, &s.R);
    free_real_vector(s.d, &s.alpha);
    free_real_vector(s.d, &s.theta);
    free_real_vector(1, &s.share);
    free_real_vector(s.r, &s.beta);
    free_real_vector(1, &s.sigma2);
  }
  s = FitState();
}

void draw_start_vertices(KrigModel* kr, int try_num, int m, double** P) {
  const bool supplied = kr->init.alpha && kr->init.theta;
  if (try_num > 1 || !supplied) {
    kr->init.alpha = 1;
    kr->init.theta = 1;
    draw_random_vertices(0, m, P);
  } else if (try_num == 1) {
    fprintf(out_stream(), "Supplied Parameter values used as Starting values for mle.\n");
    trafo_corpar(kr->alpha, kr->theta, kr->sigma2[0], kr->stochratio[0], P[0], kr->d[0]);
    draw_random_vertices(1, m, P);
  } else {
    invariant_broken("start_values_krfit: Code Bug. try_num<1 or 'initalized' bug");
  }
}

void finish_fit(FitState& s, KrigModel* kr, bool from_coordinates) {
  // Built afresh, whatever the model held, and kept for its predictions.
  forget_decomposition_key(kr);
  build_prediction_decomposition(kr);
  point_at_model(s, kr);
  if (from_coordinates) {
    decompose_R_coordinates(s);
    estimate_from_coordinates(s);
  } else {
    decompose_R(s);
    estimate_beta(s);
    estimate_sigma2(s);
  }
  kr->init.R = 1;
  kr->init.F = 1;
  kr->init.U = 1;
  kr->init.beta = 1;
  kr->init.var = 1;
}

double profile_loglik(const double* lambda, int n, double* sigma2, int* t4, int* t5,
                      double* logdet_out, int* negatives_out) {
  double logdet = 0.0;
  int negatives = 0;
  const bool defined = log_determinant(lambda, n, &logdet, &negatives);
  if (logdet_out) *logdet_out = logdet;
  if (negatives_out) *negatives_out = negatives;

  double L;
  if (!defined) {  // det = 0 or not a number
    L = penalised_loglik(n, *sigma2);
    (*t4)++;
  } else if (negatives % 2 == 0) {  // det > 0
    // A variance that is not a number comes from sums that overflowed: no
    // floor makes it a likelihood.
    if (std::isnan(*sigma2)) return -kLoglikeWorst;
    if (!(*sigma2 > 0.0)) {
      print_warning("Stochastic Variance estimated to be 0 or smaller");
      *sigma2 = kVarianceFloor;
    }
    L = -0.5 * (n * log(*sigma2) + logdet);
  } else if (logdet < log(-kNegativeDetLimit)) {  // -1e-4 < det < 0
    L = penalised_loglik(n, *sigma2);
    (*t5)++;
  } else {  // det <= -1e-4
    fatal_error_value("loglike: detR<0.0 , R is negative definite", -exp(logdet),
                      "Determinant R");
  }
  // Whatever cannot be compared is worse than every regular point.
  if (!std::isfinite(L)) return -kLoglikeWorst;
  return L;
}

double loglike(double* t, int, void* fit) {
  if (fit == nullptr) invariant_broken("loglike: Code Bug : no model is being fitted");
  FitState& s = *static_cast<FitState*>(fit);
  corpar_from_t(t, s.d, s.random_error, s.alpha, s.theta, s.share);
  calcR(s.kr->X, s.alpha, s.theta, s.share[0], s.n, s.d, s.R);
  decompose_R_coordinates(s);
  estimate_from_coordinates(s);
  return -profile_loglik(s.lambda, s.n, s.sigma2, &s.t4, &s.t5, &s.last_logdet,
                         &s.last_negatives);
}
