// Powell's direction-set method with bracketing and Brent's line search.
#ifndef DORVE_OPTIM_POWELL_H_
#define DORVE_OPTIM_POWELL_H_

#include "optim/objective.h"

// A function of one real variable, minimised along a line; ctx is passed
// through.
typedef double (*LineFunction)(double s, void* ctx);

// Minimises f (called with ctx) from the point x (n values, overwritten by
// the best point);
// *fret holds the value at x throughout. Converged when
// ftol_rel*(|fp| + |fret|) >= 2*|fp - fret| over one sweep. Returns the number
// of completed iterations before the converged one, or maxcount when the
// limit ended the search (maxcount <= 0: no limit).
// The search directions live on between calls of the same n; a call with
// another n starts again from the unit vectors.
int powell(ObjectiveFunction f, void* ctx, double* x, int n, double ftol_rel, int maxcount,
           double* fret);

// The direction set as left by the last call (columns are the directions),
// with its order in *n; null with *n = 0 before the first call.
double** powell_direction_set(int* n);
// Forgets the carried directions (not released), so that a harness's next
// session starts from the unit vectors as a new run does.
void reset_powell_state();

// Minimises f (called with ctx) along x + s*d starting from the bracket s in
// [0, 1]: d becomes d*smin, x becomes x + d, and *fret the value there.
void line_minimize(double* x, double* d, int n, double* fret, ObjectiveFunction f, void* ctx);

// Turns a, b into a bracketing triple a, b, c of f (b between a and c, f(b)
// not above f(a) or f(c)).
void bracket_minimum(double* a, double* b, double* c, LineFunction f, void* ctx);

// Brent's minimiser on the bracket (ax, bx, cx) to the relative tolerance tol.
// *xmin receives the abscissa; returns f there. Fatal after 100 iterations.
double brent(double ax, double bx, double cx, LineFunction f, void* ctx, double tol,
             double* xmin);

#endif  // DORVE_OPTIM_POWELL_H_
