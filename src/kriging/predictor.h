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

// Builds the prediction state for the N observed points Xs with the model's
// alpha, theta and stochratio. Only one state exists: a second
// initialisation before free_krigmse_anyX is fatal.
void init_krigmse_anyX(KrigModel* kr, double* const* Xs, int N, int d, int r);

// Predictions at the P points from (Xs, ys) with the state of
// init_krigmse_anyX and the model's sigma2.
void krigmse_anyX(KrigModel* kr, double* const* Xs, const double* ys, int N, int d, int P,
                  double* const* points, double** result);

// Releases the prediction state.
void free_krigmse_anyX(int N, int r);

// The decomposition of the open krigmse_anyX state: *V the eigenvectors by
// column and *inveig the reciprocal eigenvalues of the augmented matrix of
// its *N points. False, with nothing set, when no state is open.
bool krigmse_anyX_decomposition(int* N, double* const** V, const double** inveig);
// Forgets a krigmse_anyX initialisation left by a fatal error (its storage is
// not released), so that a harness can start a new session in the same process.
void reset_krigmse_anyX_state();

// The MSE to use for a negative one at point index p: 0 (with a warning below
// -1e-7), or an emergency dump below both -0.1 and -0.1 sigma2. A value that is
// not a number is returned unchanged.
double check_mse(KrigModel* kr, double mse, int p);

#endif  // DORVE_KRIGING_PREDICTOR_H_
