// The standard normal distribution function and density, and the classical
// expected improvement built on them.
#ifndef DORVE_KRIGING_NORMAL_H_
#define DORVE_KRIGING_NORMAL_H_

// lower != 0: Phi(x); lower == 0: the upper tail 1 - Phi(x). Hill's rational
// approximations; the upper tail is 0 beyond 8 (or beyond 37.32 when the
// lower tail is asked for).
double normal_cdf(double x, int lower);

// phi(x); 0 for |x| > 37.6.
double normal_pdf(double x);

// Classical expected improvement over y_ref for the rows i < count of M:
// M[i][0] prediction, M[i][1] standard error, result into M[i][2]. The third
// argument is not used.
void ExpectedImprovement(double** M, double count, double unused, double y_ref);

#endif  // DORVE_KRIGING_NORMAL_H_
