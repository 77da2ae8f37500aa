// The correlation kernel of the kriging model, the one place that knows it:
// the power-exponential correlation of two points a and b,
//   corr(a, b) = prod_l exp(-theta_l |a_l - b_l|^(2 - alpha_l)),
// its derivatives, its parameter count, and the map between the unbounded
// coordinates t that the likelihood is searched in and the parameters:
//   alpha_l = sin(t_l) + 1, theta_l = t_{d+l}^2 / 10,
//   share = sin(t_{2d}) / 2 + 0.5 (the stochastic share, with RandomError).
//
// Its users: R and r(x) (correlation.h) for the eigen likelihood
// (krigfit.h) and the predictor (predictor.h); the Cholesky likelihood and
// its gradient (likelihood_gradient.h) through the pairwise form below; the
// predictor's gradient in x (predictor_gradient.h), which the criterion's
// gradient search climbs. Each form keeps the order of floating-point
// operations its user has always had, so that results stay bit for bit.
#ifndef DORVE_KRIGING_KERNEL_H_
#define DORVE_KRIGING_KERNEL_H_

#include <cmath>
#include <vector>

struct KrigModel;

// ---- The parameters ----

// Entries of t: alpha and theta for each of the d inputs, and the share
// with random_error.
inline int kernel_parameter_count(int d, bool random_error) {
  return random_error ? 2 * d + 1 : 2 * d;
}

// t -> alpha and theta (d values each), and the stochastic share when
// random_error (otherwise *share is left alone).
void corpar_from_t(const double* t, int d, bool random_error, double* alpha, double* theta,
                   double* share);

// t -> model: alpha, theta, and stochratio when RandomError is TRUE.
void set_corpar(KrigModel* kr, const double* t, int d);

// model -> t, the inverse of set_corpar. Fatal with the offending value when
// an alpha lies outside [0, 2], a theta is negative or (RandomError) sigma2
// is not positive.
void trafo_corpar(const double* alpha, const double* theta, double sigma2, double stochratio,
                  double* t, int d);

// The chain rule through the map's Jacobian: the gradient in t (grad, m
// values) of a function whose gradient in the parameters is g_alpha,
// g_theta (d values each) and g_share (read with random_error).
void kernel_gradient_to_t(const double* t, int d, bool random_error, const double* g_alpha,
                          const double* g_theta, double g_share, double* grad);

// ---- Point by point ----

// corr(a, b) over d inputs, factors in order from 1. pow(0, 0) is 1, so
// alpha_l = 2 gives exp(-theta_l) at any distance.
inline double kernel_correlation(const double* a, const double* b, const double* alpha,
                                 const double* theta, int d) {
  double c = 1.0;
  for (int l = 0; l < d; l++) c = exp(-theta[l] * pow(fabs(a[l] - b[l]), 2.0 - alpha[l])) * c;
  return c;
}

// out[i] = s corr(Xs[i], x) for the N design points Xs, each with one
// exponential (the sum of the exponents first; a point on a design point
// correlates with it by s exactly when s != 1), and, when slopes is not
// null, slopes[i d + l] = d|x_l - Xs[i]_l|^p_l / dx_l from the same powers:
// dcorr_i/dx_l = -corr_i theta_l slopes[i d + l].
void kernel_correlations_with_slopes(double* const* Xs, int N, const double* x,
                                     const double* alpha, const double* theta, int d, double s,
                                     double* out, double* slopes);

// ---- Over the pairs of a design ----

// What the pairwise form keeps of a design of n points: the pairs i < j in
// order (i, then j), and for each input l an array over them (entry
// l * pairs + pair).
struct KernelPairs {
  int n = 0;
  int d = 0;
  long pairs = 0;                 // n (n - 1) / 2
  std::vector<double> log_dist;   // ln|x_il - x_jl|, 0 where the two coincide
  std::vector<double> dist_pow;   // |x_il - x_jl|^(2 - alpha_l) of the last parameters
  std::vector<std::vector<long>> zero_dist;  // per input: the pairs with x_il = x_jl
  std::vector<double> corr;       // per pair: corr(x_i, x_j) of the last parameters
};

// Prepares k for the design X (n x d).
void kernel_pairs_setup(KernelPairs* k, double* const* X, int n, int d);

// k's dist_pow and corr for alpha and theta (d values each), elementwise in
// the widest vector instructions at hand.
void kernel_pair_correlations(KernelPairs* k, const double* alpha, const double* theta);

// For R[i][j] = s corr(x_i, x_j) as last computed by kernel_pair_correlations:
// the sums over the pairs i < j of W_ij dR_ij/dp for p = each alpha_l
// (g_alpha), each theta_l (g_theta) and s (*g_s), with the weights
// W_ij = a_i a_j / sigma2 - Rinv_ij. Rinv holds R^-1 as a column-major lower
// triangle (element (j, i), j > i, at i n + j); work has room for 2 n
// values and ones holds n ones.
void kernel_pair_gradient(const KernelPairs* k, const double* Rinv, const double* a,
                          double sigma2, double s, const double* theta, double* work,
                          const double* ones, double* g_alpha, double* g_theta, double* g_s);

#endif  // DORVE_KRIGING_KERNEL_H_
