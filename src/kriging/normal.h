// The standard normal distribution function and density.
#ifndef DORVE_KRIGING_NORMAL_H_
#define DORVE_KRIGING_NORMAL_H_

// lower != 0: Phi(x); lower == 0: the upper tail 1 - Phi(x). Hill's rational
// approximations; the upper tail is 0 beyond 8 (or beyond 37.32 when the
// lower tail is asked for).
double normal_cdf(double x, int lower);

// phi(x); 0 for |x| > 37.6.
double normal_pdf(double x);

#endif  // DORVE_KRIGING_NORMAL_H_
