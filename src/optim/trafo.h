// Element-wise maps between the box of the x ranges and unbounded coordinates,
// by method name "sin", "exp" or "square". Points are real matrices of m rows
// and n columns; range has n rows of (lower, upper). Element (i, j) of the
// result depends only on element (i, j) of the input and on range row j.
#ifndef DORVE_OPTIM_TRAFO_H_
#define DORVE_OPTIM_TRAFO_H_

// Box to unbounded coordinates. Fatal for a range row with lower >= upper
// (except for "square", which ignores the range), for points outside their
// range, for a negative x with "square" and for an unknown method.
void trafo_ab_inf(int m, int n, double* const* x, double* const* range, double** result,
                  const char* method);

// Unbounded coordinates back into the box ("square": into [0, inf)).
void trafo_inf_to_ab(int m, int n, double* const* y, double* const* range, double** result,
                     const char* method);

#endif  // DORVE_OPTIM_TRAFO_H_
