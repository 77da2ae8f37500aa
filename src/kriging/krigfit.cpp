#include "kriging/krigfit.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "base/interpreter.h"
#include "base/messages.h"
#include "base/ordered_tasks.h"
#include "base/settings.h"
#include "data/model_store.h"
#include "kriging/correlation.h"
#include "kriging/eigen.h"
#include "kriging/inverse.h"
#include "kriging/likelihood_gradient.h"
#include "numeric/random.h"
#include "numeric/storage.h"
#include "numeric/vecutil.h"
#include "optim/minimize.h"

namespace {

constexpr double kPi = 3.14159265359;
// A variance estimate that is not positive is replaced by this.
constexpr double kVarianceFloor = 1e-10;

// Everything one fit needs besides the model: the eigen decomposition of R
// and the storage of the generalised least-squares step, sized from n and r.
struct FitState {
  KrigModel* kr = nullptr;
  int n = 0;
  int r = 0;
  double** Q = nullptr;      // n x n: R, then its eigenvectors by column
  double* lambda = nullptr;  // n eigenvalues of R
  double* inv_lambda = nullptr;  // n reciprocals (0 for near-zero eigenvalues)
  double** G = nullptr;      // r x n: F' Q diag(inv_lambda)
  double** QtF = nullptr;    // n x r: Q' F
  double** M = nullptr;      // r x r: G Q' F (destroyed by the inversion)
  double** Minv = nullptr;   // r x r
  double* column = nullptr;  // n: one column of F
  double* Qty = nullptr;     // n: Q' y
  double* b = nullptr;       // r: G Q' y
  double* Fbeta = nullptr;   // n: F beta
  double* e = nullptr;       // n: y - F beta
  double* w = nullptr;       // n: Q' e
  double** T = nullptr;      // (r + 1) x n: F's columns and y, in the eigenvector basis
  int t4 = 0;                // singular or undefined determinant
  int t5 = 0;                // slightly negative determinant
  bool t2_warned = false;    // the (T2) warning once per try
  double last_logdet = 0.0;  // ln|det R| of the last evaluation
  int last_negatives = 0;    // negative eigenvalues of R in the last evaluation
};

// The fit of krigfit_begin .. krigfit_end on the thread that called it.
FitState g_fit;
// The fit that loglike works on in this thread: g_fit, or the state of the
// try a worker thread is running.
thread_local FitState* t_fit = nullptr;

FitState& current_fit(const char* caller) {
  if (t_fit == nullptr) {
    fprintf(stderr, "%s\n", caller);
    fatal_error("krigfit: Code Bug : no model is being fitted");
  }
  return *t_fit;
}

// The state the last evaluation's determinant is recorded in.
FitState& recording_fit() { return t_fit != nullptr ? *t_fit : g_fit; }

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
  copy_real_matrix(s.n, s.n, s.kr->R, s.Q);
  eigen_symmetric(s.Q, s.n, s.lambda);
  invert_eigenvalues(s);
}

// Step 3 as the search needs it: lambda and inv_lambda as decompose_R leaves
// them (bit for bit), but instead of the eigenvectors only the coordinates
// of F's columns and of y in their basis (rows 0 .. r-1 and r of T), which
// is all the likelihood uses and costs a fraction of the eigenvectors.
void decompose_R_coordinates(FitState& s) {
  KrigModel* kr = s.kr;
  copy_real_matrix(s.n, s.n, kr->R, s.Q);
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
  matrix_times_vector(s.r, s.Minv, s.r, s.b, s.kr->beta);
}

// sigma2 = sum_i w_i^2 inv_lambda_i / n.
void variance_from_w(FitState& s) {
  double sum = 0.0;
  for (int i = 0; i < s.n; i++) sum += s.w[i] * s.w[i] * s.inv_lambda[i];
  s.kr->sigma2[0] = sum / s.n;
}

// Step 4: beta = (F' R+ F)^-1 F' R+ y with R+ = Q diag(inv_lambda) Q'.
void estimate_beta(FitState& s) {
  KrigModel* kr = s.kr;
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
  KrigModel* kr = s.kr;
  matrix_times_vector(s.n, kr->F, s.r, kr->beta, s.Fbeta);
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
  const double* beta = s.kr->beta;
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

// Vertices `first` .. m of P drawn at random (m coordinates each), in the
// order the search has always drawn them.
void draw_random_vertices(int first, int m, double** P) {
  for (int i = first; i <= m; i++) {
    for (int j = 0; j < m; j++) P[i][j] = (random_uniform() - 0.5) * kPi;
    // The stochastic share starts between 0.5 and 1.
    if (g_settings.RandomError) P[i][m - 1] = random_uniform() * kPi / 2.0;
  }
}

// The m + 1 start vertices of try try_num (from 1) in P, not yet evaluated.
// Try 1 of a model with supplied alpha and theta starts from them.
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
    fatal_error("start_values_krfit: Code Bug. try_num<1 or 'initalized' bug");
  }
}

// Makes s the fit of kr with work storage for its n and r.
void open_fit(FitState& s, KrigModel* kr) {
  s = FitState();
  s.kr = kr;
  s.n = kr->n[0];
  s.r = kr->r[0];
  create_work(s);
}

void close_fit(FitState& s) {
  release_work(s);
  s = FitState();
}

// Makes s the fit loglike works on in this thread while in scope.
struct CurrentFitScope {
  FitState* previous;
  explicit CurrentFitScope(FitState& s) : previous(t_fit) { t_fit = &s; }
  ~CurrentFitScope() { t_fit = previous; }
  CurrentFitScope(const CurrentFitScope&) = delete;
  CurrentFitScope& operator=(const CurrentFitScope&) = delete;
};

// What one try of the search found: the best t is left in row 0 of the
// vertices, value is the objective there (the negative log-likelihood) and
// evaluations the count the search method reports.
struct TryResult {
  double value;
  int evaluations;
  bool hit_limit;  // the evaluation limit ended the search
};

// One try of the downhill simplex from the m + 1 start vertices P on its own
// fit state s: the vertices are evaluated in order into Y, then the search
// runs.
TryResult run_simplex_try(FitState& s, int m, double** P, double* Y) {
  const CurrentFitScope scope(s);
  for (int i = 0; i <= m; i++) Y[i] = loglike(P[i], m);
  const int k =
      minimize(loglike, kMleFtolAbs, kMleFtolRel, kMleMaxEvaluations, m, P, Y, "simplex");
  return TryResult{Y[0], k, k > kMleMaxEvaluations};
}

// One try of the quasi-Newton gradient search from vertex 0 of P (the
// others are evaluated only when it cannot start there), with the Cholesky
// workspace of this try; the eigen path of s values the points where R is
// not positive definite.
TryResult run_gradient_try(FitState& s, int m, double** P, double* Y) {
  const CurrentFitScope scope(s);
  const KrigModel* kr = s.kr;
  LikelihoodGradient work;
  likelihood_gradient_setup(&work, kr->X, kr->y, s.n, kr->d[0], g_settings.RandomError);
  bool hit_limit = false;
  const int k = gradient_search_try(&work, m, P, Y, loglike, kMleMaxEvaluations, &hit_limit);
  return TryResult{Y[0], k, hit_limit};
}

// The model a try works on: the fitted model's design, responses and F
// shared for reading, its own copies of everything loglike writes (alpha,
// theta, stochratio, R, beta, sigma2), with the try's fit state.
struct TryWork {
  KrigModel model;
  FitState state;
};

void own_copy(int n, const double* from, double** to) {
  *to = nullptr;
  alloc_real_vector(n, to);
  copy_real_vector(n, from, *to);
}

void open_try_work(const KrigModel* kr, TryWork* w) {
  const int n = kr->n[0], d = kr->d[0], r = kr->r[0];
  w->model = *kr;
  KrigModel& m = w->model;
  m.R = nullptr;
  alloc_real_matrix(n, n, &m.R);
  own_copy(d, kr->alpha, &m.alpha);
  own_copy(d, kr->theta, &m.theta);
  own_copy(1, kr->stochratio, &m.stochratio);
  // beta and sigma2 are written by every evaluation before they are read.
  m.beta = nullptr;
  m.sigma2 = nullptr;
  alloc_real_vector(r, &m.beta);
  alloc_real_vector(1, &m.sigma2);
  open_fit(w->state, &m);
}

void close_try_work(TryWork* w) {
  KrigModel& m = w->model;
  const int n = m.n[0], d = m.d[0], r = m.r[0];
  close_fit(w->state);
  free_real_matrix(n, n, &m.R);
  free_real_vector(d, &m.alpha);
  free_real_vector(d, &m.theta);
  free_real_vector(1, &m.stochratio);
  free_real_vector(r, &m.beta);
  free_real_vector(1, &m.sigma2);
}

void report_try(int try_num, double best, int evals, const KrigModel* kr) {
  FILE* out = out_stream();
  fprintf(out, "MLE-Try %2d, MaxLogLike: %.2f, Evals:%4d", try_num, best, evals);
  if (g_settings.RandomError) fprintf(out, ", StochVar/TotalVar:%7.2f", kr->stochratio[0]);
  fprintf(out, "\n");
  print_real_vector(kr->d[0], kr->alpha, "alpha:");
  print_real_vector(kr->d[0], kr->theta, "theta:");
}

void report_fit(const KrigModel* kr) {
  FILE* out = out_stream();
  const double sigma2 = kr->sigma2[0], s = kr->stochratio[0];
  fprintf(out, "LogLikelihood:%f StochVariance:%f", kr->loglik[0], s * sigma2);
  if (g_settings.RandomError) fprintf(out, ", ErrorVar:%7.2f", (1.0 - s) * sigma2);
  fprintf(out, "\n");
  print_real_vector(kr->d[0], kr->alpha, "mle alpha:");
  print_real_vector(kr->d[0], kr->theta, "mle theta:");
}

void report_difficulties(const FitState& s) {
  FILE* out = out_stream();
  if (s.t4 > 0)
    fprintf(out,
            "INFO: Some numerical difficulties in computing likelihood. Frequency:%d.(T4)\n",
            s.t4);
  if (s.t5 > 0)
    fprintf(out,
            "WARNING: Some numerical difficulties in computing likelihood. Frequency:%d.(T5)\n",
            s.t5);
}

// The chosen parameters made final: R, F, the augmented decomposition, beta
// and sigma2 for them.
void finish_fit(FitState& s) {
  KrigModel* kr = s.kr;
  krCalcR(kr);
  krCalcF(kr);
  krCalc_augmR(kr);
  decompose_R(s);
  estimate_beta(s);
  estimate_sigma2(s);
  kr->init.R = 1;
  kr->init.F = 1;
  kr->init.U = 1;
  kr->init.beta = 1;
  kr->init.var = 1;
}

}  // namespace

void krigfit_begin(KrigModel* kr) {
  if (g_fit.kr != nullptr || t_fit != nullptr)
    fatal_error("krigfit: Code Bug : a fit is already in progress");
  krCalcF(kr);  // r must be 1
  open_fit(g_fit, kr);
  t_fit = &g_fit;
}

void krigfit_end() {
  FitState& s = current_fit("krigfit_end");
  close_fit(s);
  t_fit = nullptr;
}

void krigfit_difficulties(int* t4, int* t5) {
  const FitState& s = recording_fit();
  *t4 = s.t4;
  *t5 = s.t5;
}

double krigfit_last_logdet(int* negatives) {
  const FitState& s = recording_fit();
  *negatives = s.last_negatives;
  return s.last_logdet;
}

void set_corpar(KrigModel* kr, const double* t, int d) {
  for (int l = 0; l < d; l++) {
    kr->alpha[l] = sin(t[l]) + 1.0;
    kr->theta[l] = t[d + l] * t[d + l] / 10.0;
  }
  if (g_settings.RandomError) kr->stochratio[0] = sin(t[2 * d]) / 2.0 + 0.5;
}

void trafo_corpar(const double* alpha, const double* theta, double sigma2, double stochratio,
                  double* t, int d) {
  for (int l = 0; l < d; l++) {
    const double b = alpha[l] - 1.0;
    if (!(b >= -1.0 && b <= 1.0))
      fatal_error_value("krigfit, trafo_corpar: arcsin argument out of range", b,
                        "arcsin argument: ");
    t[l] = asin(b);
    if (theta[l] >= 0.0)
      t[d + l] = sqrt(theta[l] * 10.0);
    else
      fatal_error_value("trafo_corpar: theta<0.0", theta[l], "theta[i]: ");
  }
  if (g_settings.RandomError) {
    if (sigma2 > 0.0)
      t[2 * d] = asin((stochratio - 0.5) * 2.0);
    else
      fatal_error_value("trafo_corpar: var", sigma2, " ");
  }
}

double profile_loglik(const double* lambda, int n, double* sigma2, int* t4, int* t5) {
  double logdet = 0.0;
  int negatives = 0;
  const bool defined = log_determinant(lambda, n, &logdet, &negatives);
  FitState& record = recording_fit();
  record.last_logdet = logdet;
  record.last_negatives = negatives;

  double L;
  if (!defined) {  // det = 0 or not a number
    L = penalised_loglik(n, *sigma2);
    (*t4)++;
  } else if (negatives % 2 == 0) {  // det > 0
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

double loglike(double* t, int) {
  FitState& s = current_fit("loglike");
  KrigModel* kr = s.kr;
  set_corpar(kr, t, kr->d[0]);
  krCalcR(kr);
  decompose_R_coordinates(s);
  estimate_from_coordinates(s);
  return -profile_loglik(s.lambda, s.n, kr->sigma2, &s.t4, &s.t5);
}

void start_values_krfit(int try_num, int m, double** P, double* Y) {
  KrigModel* kr = current_fit("start_values_krfit").kr;
  draw_start_vertices(kr, try_num, m, P);
  for (int i = 0; i <= m; i++) Y[i] = loglike(P[i], m);
}

namespace {

// One try of a planned fit: its start vertices (drawn when the fit was
// planned) and what the search left.
struct PlannedTry {
  double** P = nullptr;  // (m + 1) x m: start vertices, then the final simplex
  double* Y = nullptr;   // m + 1 values
  int t4 = 0;
  int t5 = 0;
  bool t2_warned = false;  // the (T2) warning came in this try
};

// A fit in three steps: planned on the calling thread (its messages before
// the first try, every start vertex drawn in order), its tries run on any
// thread, then completed on the calling thread (best try, reports, the final
// model).
struct PlannedFit {
  KrigModel* kr = nullptr;
  int report = 0;
  int d = 0;
  int m = 0;
  std::string lead;  // printed before the first try's output
  std::vector<PlannedTry> tries;
};

void plan_fit(PlannedFit* fit) {
  KrigModel* kr = fit->kr;
  if (g_fit.kr != nullptr || t_fit != nullptr)
    fatal_error("krigfit: Code Bug : a fit is already in progress");
  krCalcF(kr);  // r must be 1
  const int d = kr->d[0];
  kr->loglik[0] = kMleInitialBest;
  int m;
  if (g_settings.RandomError) {
    m = 2 * d + 1;
  } else {
    m = 2 * d;
    if (kr->stochratio[0] != 1.0) print_warning("Setting ErrorVariance to 0.0 for Fitting");
  }
  kr->stochratio[0] = 1.0;
  fit->d = d;
  fit->m = m;
  fit->tries.resize(g_settings.Tries);
  for (int attempt = 0; attempt < g_settings.Tries; attempt++) {
    PlannedTry& t = fit->tries[attempt];
    alloc_real_matrix(m + 1, m, &t.P);
    alloc_real_vector(m + 1, &t.Y);
    draw_start_vertices(kr, attempt + 1, m, t.P);
  }
}

// Try `attempt` (from 0) of a planned fit, on its own copy of the model, by
// the search MleMethod names.
void run_planned_try(PlannedFit* fit, int attempt) {
  PlannedTry& t = fit->tries[attempt];
  TryWork work;
  open_try_work(fit->kr, &work);
  const bool use_gradient = strcmp(g_settings.MleMethod, "gradient") == 0;
  const TryResult result = use_gradient ? run_gradient_try(work.state, fit->m, t.P, t.Y)
                                        : run_simplex_try(work.state, fit->m, t.P, t.Y);
  const int k = result.evaluations;
  if (k == 0)
    print_warning("One MLE try failed to start");
  else if (result.hit_limit)
    print_warning("MLE try was interrupted when max iteration was reached");
  // The simplex count includes the d + 1 evaluations of its start vertices.
  const int evals = use_gradient ? k : fit->d + 1 + k;
  set_corpar(&work.model, t.P[0], fit->d);
  if (fit->report) report_try(attempt + 1, -result.value, evals, &work.model);
  t.t4 = work.state.t4;
  t.t5 = work.state.t5;
  t.t2_warned = work.state.t2_warned;
  close_try_work(&work);
}

// The best try made final in the model, with the closing reports.
void complete_fit(PlannedFit* fit) {
  KrigModel* kr = fit->kr;
  const int d = fit->d, m = fit->m;
  FitState s;
  open_fit(s, kr);
  double* best_alpha = nullptr;
  double* best_theta = nullptr;
  alloc_real_vector(d, &best_alpha);
  alloc_real_vector(d, &best_theta);
  double best_stochratio = 1.0;
  const int tries = static_cast<int>(fit->tries.size());
  for (int attempt = 0; attempt < tries; attempt++) {
    const PlannedTry& t = fit->tries[attempt];
    set_corpar(kr, t.P[0], d);
    // The first try is always kept, so that the best copies hold parameters
    // even when every try ends below the starting best.
    if (attempt == 0 || -t.Y[0] > kr->loglik[0]) {
      kr->loglik[0] = -t.Y[0];
      copy_real_vector(d, kr->alpha, best_alpha);
      copy_real_vector(d, kr->theta, best_theta);
      best_stochratio = kr->stochratio[0];
    }
    s.t4 += t.t4;
    s.t5 += t.t5;
    s.t2_warned = t.t2_warned;
  }
  report_difficulties(s);
  if (tries > 0 && -fit->tries[tries - 1].Y[0] != kr->loglik[0]) {
    copy_real_vector(d, best_alpha, kr->alpha);
    copy_real_vector(d, best_theta, kr->theta);
    kr->stochratio[0] = best_stochratio;
  }
  finish_fit(s);
  report_fit(kr);

  for (PlannedTry& t : fit->tries) {
    free_real_matrix(m + 1, m, &t.P);
    free_real_vector(m + 1, &t.Y);
  }
  free_real_vector(d, &best_alpha);
  free_real_vector(d, &best_theta);
  close_fit(s);
}

}  // namespace

struct FitBatch {
  HeldOutput held;                 // the calling thread's output since the last fit was added
  std::vector<PlannedFit*> fits;
  bool planning_failed = false;    // the last fit added ended in a fatal error while planned
  CapturedFatal planning_fatal;
};

FitBatch* open_fit_batch() {
  FitBatch* batch = new FitBatch;
  hold_output(&batch->held);
  return batch;
}

void add_to_fit_batch(FitBatch* batch, KrigModel* kr, int report) {
  PlannedFit* fit = new PlannedFit;
  fit->kr = kr;
  fit->report = report;
  CapturedFatal* previous = set_thread_fatal_capture(&batch->planning_fatal);
  try {
    plan_fit(fit);
  } catch (const FatalErrorCaptured&) {
    // The fits before it run and print first, then the error ends the run
    // as it would have without the batch. The abandoned fit is not released.
    set_thread_fatal_capture(previous);
    batch->planning_failed = true;
    run_fit_batch(batch);
  }
  set_thread_fatal_capture(previous);
  fit->lead = release_output(&batch->held);
  batch->fits.push_back(fit);
  hold_output(&batch->held);
}

namespace {

void put_text(FILE* out, const std::string& text) {
  if (!text.empty()) fwrite(text.data(), 1, text.size(), out);
}

}  // namespace

void run_fit_batch(FitBatch* batch) {
  const std::string trailing = release_output(&batch->held);
  std::vector<PlannedFit*> owner;
  std::vector<int> attempt;
  for (PlannedFit* fit : batch->fits) {
    for (int i = 0; i < static_cast<int>(fit->tries.size()); i++) {
      owner.push_back(fit);
      attempt.push_back(i);
    }
  }
  std::vector<TaskRecord> records;
  run_ordered_tasks(
      static_cast<int>(owner.size()), g_settings.Threads,
      [&owner, &attempt](int i) { run_planned_try(owner[i], attempt[i]); }, &records);

  FILE* out = out_stream();
  size_t task = 0;
  for (PlannedFit* fit : batch->fits) {
    put_text(out, fit->lead);
    for (size_t i = 0; i < fit->tries.size(); i++, task++) {
      put_text(out, records[task].output);
      if (records[task].fatal.raised) raise_captured_fatal(records[task].fatal);
    }
    complete_fit(fit);
    delete fit;
  }
  put_text(out, trailing);
  const bool failed = batch->planning_failed;
  const CapturedFatal fatal = batch->planning_fatal;
  delete batch;
  if (failed) raise_captured_fatal(fatal);
}

void mle_fit(KrigModel* kr, int report) {
  FitBatch* batch = open_fit_batch();
  add_to_fit_batch(batch, kr, report);
  run_fit_batch(batch);
}

void reset_fit_state() {
  g_fit = FitState();
  t_fit = nullptr;
}
