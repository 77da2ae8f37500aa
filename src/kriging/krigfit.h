// Maximum-likelihood fit of one kriging model: the correlation parameters
// alpha and theta (and the stochastic share when RandomError is TRUE) that
// maximise the profile log-likelihood, searched by the downhill simplex (or,
// with MleMethod = gradient, by quasi-Newton steps) from Tries random starts
// over unbounded parameters t, with beta and sigma2 in closed form.
//
// The parameter vector t and its map onto alpha, theta and the share are the
// kernel's (kernel.h), as is R's correlation.
//
// The objective loglike works on the workspace it is handed (fit_state.h):
// each try of a fit has its own (mle_tries.h), a direct user opens one on the
// model with open_model_fit.
#ifndef DORVE_KRIGING_KRIGFIT_H_
#define DORVE_KRIGING_KRIGFIT_H_

#include "kriging/kernel.h"  // corpar_from_t, set_corpar, trafo_corpar

struct KrigModel;

// Fixed constants of the likelihood search.
constexpr int kMleMaxEvaluations = 2000;
constexpr double kMleFtolAbs = -6.0;
constexpr double kMleFtolRel = 1e-5;
// Start of the best log-likelihood before the first try.
constexpr double kMleInitialBest = -1e7;
// Penalty that stands in for ln det R when R is singular or slightly
// indefinite.
constexpr double kLogDetPenalty = 1e14;
// What loglike returns for a point whose value cannot be formed (a penalised
// determinant together with a variance estimate that is not positive, or any
// other non-number): finite, so the simplex arithmetic stays defined, and
// larger than the value of any regular point.
constexpr double kLoglikeWorst = 1e300;
// Determinants at or below this are fatal.
constexpr double kNegativeDetLimit = -1e-4;
// A log-likelihood at or below this comes from the penalty (a singular or
// slightly indefinite R) or from a point that could not be valued: the
// likelihood of any design that can be represented lies far above it.
constexpr double kPenalisedLoglik = -0.25 * kLogDetPenalty;

// True when the log-likelihood value is one a fit may report: finite and above
// kPenalisedLoglik.
bool is_genuine_loglik(double value);

// True when the sums of the likelihood can hold the n responses y: their
// mean and the sum of their squared deviations from it are finite.
bool likelihood_can_hold(int n, const double* y);

// The negative profile log-likelihood at t (m values) of the model the
// FitState fit (an objective of the minimisers) was opened on. Leaves the
// fit's alpha, theta, share, R, beta and sigma2 at the values for t, and its
// ln|det R| and count of negative eigenvalues.
double loglike(double* t, int m, void* fit);

// The profile log-likelihood L = -0.5 (n ln sigma2 + ln det R) from the n
// eigenvalues of R and the variance estimate, by the sign of det R:
//   det > 0: a sigma2 that is not positive is replaced by 1e-10 (warning);
//   det = 0 (an eigenvalue exactly 0) or undefined (NaN): ln det R is replaced
//     by the penalty 1e14 and *t4 counted;
//   -1e-4 < det < 0: the same penalty, *t5 counted;
//   det <= -1e-4: fatal, with the determinant.
// ln|det R| is the sum of the logarithms of the eigenvalues' magnitudes and
// its sign the parity of the negative ones, so large smooth designs whose
// eigenvalue product underflows still get their true determinant. A value
// that cannot be formed (a penalised determinant with a variance that is not
// positive, or a variance that is not a number because its sums overflowed)
// is -1e300, below every regular value. logdet and negatives (may be null)
// receive ln|det R| and the number of negative eigenvalues.
double profile_loglik(const double* lambda, int n, double* sigma2, int* t4, int* t5,
                      double* logdet = nullptr, int* negatives = nullptr);

#endif  // DORVE_KRIGING_KRIGFIT_H_
