// exp of every element of an array, several elements per instruction, for
// the gradient fit's correlations (which are not bound to the default fit's
// order of operations). Within 2 ulp of the exact value; arguments
// below -708 give 0 (the subnormal range is flushed). Arguments must not be
// NaN or above 709.
#ifndef DORVE_NUMERIC_VECTOR_EXP_H_
#define DORVE_NUMERIC_VECTOR_EXP_H_

// out[i] = exp(x[i]) for i < count; out may be x.
void exp_array(const double* x, double* out, long count);

#endif  // DORVE_NUMERIC_VECTOR_EXP_H_
