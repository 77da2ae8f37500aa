// The shape of every function the local minimisers minimise.
#ifndef DORVE_OPTIM_OBJECTIVE_H_
#define DORVE_OPTIM_OBJECTIVE_H_

// An objective: a function of the n values of x and of the state it works
// on, ctx, which the caller passes to the minimiser beside the function and
// the minimiser passes on to every call unchanged.
typedef double (*ObjectiveFunction)(double* x, int n, void* ctx);

#endif  // DORVE_OPTIM_OBJECTIVE_H_
