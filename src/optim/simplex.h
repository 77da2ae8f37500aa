// Downhill simplex method of Nelder and Mead.
#ifndef DORVE_OPTIM_SIMPLEX_H_
#define DORVE_OPTIM_SIMPLEX_H_

#include "optim/objective.h"

// Minimises f (called with ctx) from the simplex p (n+1 vertices as rows of
// n values) with the values y (n+1, y[i] = f at row i on entry). Stops when the spread of the
// values is at most ftol_abs, or at most ftol_rel times their mean magnitude,
// or after maxcount evaluations. The best vertex ends in row 0 (row pointers
// swapped) with its value in y[0]. Returns the number of evaluations made.
// With n = 0 there is nothing to move: returns 0 and leaves p and y alone.
int simplex_minimize(ObjectiveFunction f, void* ctx, double ftol_abs, double ftol_rel,
                     int maxcount, int n, double** p, double* y);

#endif  // DORVE_OPTIM_SIMPLEX_H_
