// The profile log-likelihood of a kriging model and its gradient in the
// transformed parameters t, from a blocked Cholesky factorisation of R and
// the inverse built on it (LAPACK), and the gradient search of one fit try
// built on it.
//
// For R = L L' (F a column of ones): beta and sigma2 by generalised least
// squares with triangular solves, L = -0.5 (n ln sigma2 + 2 sum ln L_ii),
// and with a = R^-1 (y - F beta)
//   dL/dp = 0.5 (a' dR/dp a / sigma2 - tr(R^-1 dR/dp))
// (beta and sigma2 are at their optimum, so their own change drops out).
// R has a constant diagonal, so both terms are sums over the pairs i < j,
// which the kernel's pairwise form computes (kernel.h).
#ifndef DORVE_KRIGING_LIKELIHOOD_GRADIENT_H_
#define DORVE_KRIGING_LIKELIHOOD_GRADIENT_H_

#include <vector>

#include "kriging/correlation.h"
#include "kriging/kernel.h"
#include "optim/objective.h"

// The workspace of one fit: what depends only on the design (the logarithms
// of the pairwise distances), and the storage of one evaluation.
struct LikelihoodGradient {
  int n = 0;
  int d = 0;
  bool random_error = false;  // t has the stochastic share as entry 2d
  std::vector<double> y;          // n responses
  KernelPairs kernel;             // the design's pairs, their correlations without s
  std::vector<double> alpha;      // d: the parameters of the last evaluation
  std::vector<double> theta;      // d
  double share = 1.0;             // the stochastic share of the last evaluation
  std::vector<double> work;       // 2 n
  std::vector<double> ones;       // n
  std::vector<double> L;          // n x n, column-major lower triangle: R, its
                                  // Cholesky factor, then R^-1
  std::vector<double> ones_w;     // n: L^-1 F
  std::vector<double> resid_w;    // n: L^-1 (y - F beta)
  std::vector<double> a;          // n: R^-1 (y - F beta)
  double beta = 0.0;
  double sigma2 = 0.0;
  double logdet = 0.0;  // ln det R
};

// Prepares w for the design X (n x d) and responses y.
void likelihood_gradient_setup(LikelihoodGradient* w, double* const* X, const double* y, int n,
                               int d, bool random_error);

// The smallest eigenvalue of R the search accepts, bounded from below by
// 1 / tr(R^-1): the limit below which the eigen path takes an eigenvalue as
// 0, so the fitted model's own decomposition sees R as regular. Closer to
// singular, ln det R and R^-1 are mostly rounding and the Cholesky and eigen
// evaluations of the likelihood part ways; a higher limit keeps the search
// from the likelihood's maximum on smooth responses, where that maximum lies
// near a singular R (worse predictions, longer Minimize runs).
constexpr double kMinCorrelationEigenvalue = kSingularEigenvalue;

enum class LikelihoodStatus {
  kOk,
  kNotPositiveDefinite,  // the factorisation failed, or sigma2 is not positive
  kNearlySingular,       // 1 / tr(R^-1) is at or below kMinCorrelationEigenvalue
};

// The profile log-likelihood at t (2d values, 2d + 1 with the random error)
// in *loglik and, when grad is not null, its gradient in t. Forms neither
// unless the status is kOk. The factorisation fails when a pivot L_ii^2 is
// at or below the eigenvalues' singularity limit.
LikelihoodStatus likelihood_gradient_eval(LikelihoodGradient* w, const double* t, double* loglik,
                                          double* grad);

// One try of the gradient search. P (m + 1 rows of m) holds the start
// vertices the simplex would get; the search starts from vertex 0 (the
// next one when the gradient cannot be formed there) and minimises -L by
// quasi-Newton steps in t. Points where R is not positive definite are
// valued by the fallback, called with fallback_ctx (the negative
// log-likelihood by the eigen decomposition, for its warnings and counters)
// and, like nearly singular ones, refused as steps. On return P[0] holds the best point and
// Y[0] its value. Returns the number of likelihood evaluations, or 0 when
// no vertex could start the search (Y[0] is then the fallback's value of
// vertex 0); *hit_limit tells whether max_evaluations ended it.
int gradient_search_try(LikelihoodGradient* w, int m, double** P, double* Y,
                        ObjectiveFunction fallback, void* fallback_ctx, int max_evaluations,
                        bool* hit_limit);

#endif  // DORVE_KRIGING_LIKELIHOOD_GRADIENT_H_
