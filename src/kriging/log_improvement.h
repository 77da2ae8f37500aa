// Logarithms of the normal tail quantities the improvement criteria are made
// of, accurate where the quantities themselves underflow: far below the
// target the expected improvement is about phi(u) / u^2, which is 0 in double
// precision once u is below about -38, while its logarithm, about -u^2 / 2,
// is an ordinary number that still rises toward the better regions.
//
// With Z standard normal, I_g(u) = E[(u + Z)_+^g] is the g-th moment of the
// improvement in units of the standard error (I_0 = Phi(u), I_1 =
// u Phi(u) + phi(u)). Writing x = -u, the ratios r_k = I_k / I_(k-1) obey
// r_k = k / (x + r_(k+1)), a continued fraction of positive terms that is
// evaluated from the deep end for x >= 1.5, with I_0 = phi(x) / (x + r_1);
// nearer and above the target the forward recurrence
// I_(k+1) = k I_(k-1) - x I_k from Phi and phi loses nothing.
#ifndef DORVE_KRIGING_LOG_IMPROVEMENT_H_
#define DORVE_KRIGING_LOG_IMPROVEMENT_H_

// Largest g of the moments (GlobalExpectedImprovement's limit).
constexpr int kMaxImprovementMoment = 10;

// log I_g(u) for 0 <= g <= kMaxImprovementMoment (g = 0: log Phi(u)), and
// in *dlog_du (may be null) its derivative with respect to u: g I_(g-1) / I_g,
// or phi(u) / Phi(u) for g = 0. -inf for u = -inf; NaN for a NaN u.
double log_improvement_moment(int g, double u, double* dlog_du);

// log(Phi(b) - Phi(a)) for a < b (a may be -inf, b +inf), accurate also when
// both lie far in one tail, with its partial derivatives in *dlog_da and
// *dlog_db (either may be null). -inf when a >= b.
double log_normal_interval(double a, double b, double* dlog_da, double* dlog_db);

#endif  // DORVE_KRIGING_LOG_IMPROVEMENT_H_
