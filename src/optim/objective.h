// The shape of every function the local minimisers minimise.
#ifndef DORVE_OPTIM_OBJECTIVE_H_
#define DORVE_OPTIM_OBJECTIVE_H_

// An objective: a function of the n values of x. Any further data it needs is
// reached through process-wide state set up by the caller.
typedef double (*ObjectiveFunction)(double* x, int n);

#endif  // DORVE_OPTIM_OBJECTIVE_H_
