// The workspace of one search of the likelihood (krigfit.cpp), which the
// tries of a fit (mle_tries.cpp) each own: the model fitted, read only (its
// X, y and F), where every evaluation leaves the parameters and estimates for
// its t, and the storage of the eigen decomposition and of the generalised
// least-squares step, sized from n and r. The likelihood works on nothing
// else, so tries may run on threads at once.
#ifndef DORVE_KRIGING_FIT_STATE_H_
#define DORVE_KRIGING_FIT_STATE_H_

struct KrigModel;

struct FitState {
  const KrigModel* kr = nullptr;
  int n = 0;
  int r = 0;
  int d = 0;
  bool random_error = false;  // t holds the stochastic share (RandomError)
  // Left by each evaluation: the parameters for t and the estimates for them.
  // Either the model's own members (open_model_fit) or the workspace's
  // (open_try_fit).
  double* alpha = nullptr;   // d
  double* theta = nullptr;   // d
  double* share = nullptr;   // 1: the stochastic share
  double** R = nullptr;      // n x n
  double* beta = nullptr;    // r
  double* sigma2 = nullptr;  // 1
  bool owns_results = false;
  // Work storage.
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

// Opens s on kr for evaluations that leave the parameters and estimates in
// kr's own members (alpha, theta, stochratio, R, beta, sigma2); F is made.
void open_model_fit(FitState& s, KrigModel* kr);

// Opens s on kr for a try: the evaluations leave the parameters and
// estimates in storage of s's own (the parameters start as kr's), and kr is
// only read.
void open_try_fit(FitState& s, const KrigModel* kr);

// Releases the storage s holds.
void close_fit(FitState& s);

// The m + 1 start vertices of try try_num (from 1) in P, not yet evaluated.
// Try 1 of a model with supplied alpha and theta starts from them.
void draw_start_vertices(KrigModel* kr, int try_num, int m, double** P);

// The chosen parameters made final in kr, for which s was opened by
// open_model_fit: R, F, the augmented decomposition, beta and sigma2 for
// them. beta and sigma2 come from R's eigenvectors, or, with
// from_coordinates, from the coordinates of F and y in their basis as the
// likelihood search computes them (the same eigenvalues; the estimates agree
// to rounding, at a fraction of the cost).
void finish_fit(FitState& s, KrigModel* kr, bool from_coordinates);

#endif  // DORVE_KRIGING_FIT_STATE_H_
