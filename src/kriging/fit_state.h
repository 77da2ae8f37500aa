// The state of one maximum-likelihood fit, shared by the likelihood
// (krigfit.cpp) and the tries that search it (mle_tries.cpp): the model
// being fitted and the work storage of its likelihood evaluations.
#ifndef DORVE_KRIGING_FIT_STATE_H_
#define DORVE_KRIGING_FIT_STATE_H_

struct KrigModel;

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

// Makes s the fit of kr with work storage for its n and r (open_fit), and
// releases that storage again (close_fit).
void open_fit(FitState& s, KrigModel* kr);
void close_fit(FitState& s);

// Makes s (or nothing, for null) the fit loglike works on in the calling
// thread; returns the fit that was current before.
FitState* make_current_fit(FitState* s);

// Whether a fit is open on the calling thread or by krigfit_begin.
bool fit_in_progress();

// The m + 1 start vertices of try try_num (from 1) in P, not yet evaluated.
// Try 1 of a model with supplied alpha and theta starts from them.
void draw_start_vertices(KrigModel* kr, int try_num, int m, double** P);

// The chosen parameters made final: R, F, the augmented decomposition, beta
// and sigma2 for them. beta and sigma2 come from R's eigenvectors, or, with
// from_coordinates, from the coordinates of F and y in their basis as the
// likelihood search computes them (the same eigenvalues; the estimates agree
// to rounding, at a fraction of the cost).
void finish_fit(FitState& s, bool from_coordinates);

#endif  // DORVE_KRIGING_FIT_STATE_H_
