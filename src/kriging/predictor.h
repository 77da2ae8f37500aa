// The kriging predictor: for a new point x the best linear unbiased
// prediction and its standard error, both from one eigen decomposition of
// the augmented matrix A = [[0, F'], [F, R]] of a set of observed points:
//   v = (1, r(x)), w = (0, y), A+ = V diag(inveig) V',
//   prediction = v' A+ w, MSE = sigma2 (1 - v' A+ v), SE = sqrt(MSE).
// Results are P x 2: column 0 the prediction, column 1 the standard error.
#ifndef DORVE_KRIGING_PREDICTOR_H_
#define DORVE_KRIGING_PREDICTOR_H_

struct KrigModel;

// MSE values below this, and below this times sigma2 as well, end the
// program with an emergency dump.
constexpr double kMseImpossible = -0.1;
// Negative MSE values below this are set to 0 with a warning, above it silently.
constexpr double kMseWarn = -1e-7;

// Predictions at the P points from the model's own X, y and its current
// augmented decomposition (augR, inveig; the "U" state).
void krigblup(KrigModel* kr, int P, double* const* points, double** result);

// The decomposition that krigmse_anyX predicts from: the augmented matrix of
// N observed points with a model's parameters.
struct AnyXState {
  bool initialized = false;
  int N = 0;
  int r = 0;
  double** A = nullptr;      // (N + r) x (N + r): eigenvectors by column
  double** R = nullptr;      // N x N
  double** F = nullptr;      // N x r
  double* eig = nullptr;     // N + r
  double* inveig = nullptr;  // N + r
};

// Builds the prediction state s for the N observed points Xs with the model's
// alpha, theta and stochratio. A second initialisation of s before
// free_krigmse_anyX is fatal.
void init_krigmse_anyX(AnyXState* s, KrigModel* kr, double* const* Xs, int N, int d, int r);

// Predictions at the P points from (Xs, ys) with the state s of
// init_krigmse_anyX and the model's sigma2.
void krigmse_anyX(const AnyXState* s, KrigModel* kr, double* const* Xs, const double* ys, int N,
                  int d, int P, double* const* points, double** result);

// Releases the prediction state s.
void free_krigmse_anyX(AnyXState* s, int N, int r);

// The MSE to use for a negative one at point index p: 0 (with a warning below
// -1e-7), or an emergency dump below both -0.1 and -0.1 sigma2. A value that is
// not a number is returned unchanged.
double check_mse(KrigModel* kr, double mse, int p);

#endif  // DORVE_KRIGING_PREDICTOR_H_
