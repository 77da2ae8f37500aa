// The single entry to the local minimisers: the downhill simplex ("simplex")
// and Powell's direction-set method ("powell").
#ifndef DORVE_OPTIM_MINIMIZE_H_
#define DORVE_OPTIM_MINIMIZE_H_

#include "optim/objective.h"

// p is a real matrix of n+1 rows and n columns, y a real vector of n+1 values.
// "simplex": every row of p is a vertex and y[i] must hold the objective at
//   row i on entry; returns the number of objective evaluations made.
// "powell": row 0 of p is the start point; returns the number of completed
//   direction-set iterations before the converged one, or maxcount when the
//   limit ended the search. ftol_abs is not used.
// On return row 0 of p holds the best point found and y[0] its value.
// Fatal for an unknown method name and for "powell" with n = 0.
// objective is called with ctx.
int minimize(ObjectiveFunction objective, void* ctx, double ftol_abs, double ftol_rel,
             int maxcount, int n, double** p, double* y, const char* method);

#endif  // DORVE_OPTIM_MINIMIZE_H_
