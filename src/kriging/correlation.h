// The matrices of the kriging model: the correlation matrix R of the design,
// the correlations r(x) of a new point, the regression matrix F (a column of
// ones) and the augmented matrix [[0, F'], [F, R]] with its eigen
// decomposition, from which every prediction is computed. The correlation
// itself is the kernel's (kernel.h).
#ifndef DORVE_KRIGING_CORRELATION_H_
#define DORVE_KRIGING_CORRELATION_H_

struct KrigModel;

// Eigenvalues of magnitude up to this are treated as zero (reciprocal 0).
constexpr double kSingularEigenvalue = 3e-14;

// R[i][j] = s * corr(X[i], X[j]) with the kernel's corr (kernel.h), R[i][i] = 1.
void calcR(double* const* X, const double* alpha, const double* theta, double s, int n, int d,
           double** R);
// The model's R from its X, alpha, theta and stochratio; sets the "R" flag.
void krCalcR(KrigModel* kr);

// out[i] = correlation of x with design point i, times s.
void calcr(const double* x, double* out, double* const* X, const double* alpha,
           const double* theta, double s, int n, int d);

// F (n x r) filled with ones; only r = 1 exists.
void calcF(int n, int r, double** F);
void krCalcF(KrigModel* kr);

// An eigenvalue this close to zero gets reciprocal 0 and a warning.
bool is_singular_eigenvalue(double eig);

// Builds the augmented matrix in A, decomposes it in place (A then holds the
// eigenvectors by column), fills eig and their reciprocals inveig (0 for
// near-zero eigenvalues, each reported with a warning).
void calc_augmR(int n, int r, double* const* R, double* const* F, double** A, double* eig,
                double* inveig);
// The model's decomposition of its present R (which krCalc_augmR takes as
// current); the "U" flag set.
void krCalc_augmR(KrigModel* kr);

// The decomposition predictions are made from: the model's augmented
// decomposition for its present X, alpha, theta and stochratio, with R and F
// (the "R", "F" and "U" flags set). R, F and the decomposition are computed
// afresh unless the model holds a decomposition built by this call from
// exactly these inputs (ukey) and its "U" flag is still set; then only R and
// F are made current as ensure_init makes them. A decomposition once built
// so serves every prediction until an input changes.
// Either way the (T1) warning comes once for each near-zero eigenvalue, as
// krCalc_augmR prints it.
void build_prediction_decomposition(KrigModel* kr);

// Computes the model's "R", "F" or "U" (augmented decomposition) when its
// flag is clear; any other key is a fatal error.
void ensure_init(KrigModel* kr, const char* key);

#endif  // DORVE_KRIGING_CORRELATION_H_
