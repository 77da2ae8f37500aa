// Logarithms of the improvement moments and of normal interval
// probabilities, accurate far into the lower tail.
#ifndef DORVE_KRIGING_LOG_IMPROVEMENT_H_
#define DORVE_KRIGING_LOG_IMPROVEMENT_H_

// log E[(u + Z)_+^g] for g >= 0 (g = 0: log Phi(u)), accurate for every finite u, far into the
// lower tail (u = -1e4), and its derivative with respect to u in *dlog_du (may be null).
double log_improvement_moment(int g, double u, double* dlog_du);
// log(Phi(b) - Phi(a)) for a < b (a may be -INFINITY, b may be +INFINITY), accurate when both
// lie far in one tail, with the partial derivatives (may be null).
double log_normal_interval(double a, double b, double* dlog_da, double* dlog_db);

#endif  // DORVE_KRIGING_LOG_IMPROVEMENT_H_
