// The Branin function, the test objective of the example experiment:
// Pressure in [-5, 10], Temp in [0, 15]; global minimum 0.397887 at
// (-pi, 12.275), (pi, 2.275) and (9.42478, 2.475).
#ifndef DORVE_EXAMPLES_OBJECTIVES_BRANIN_H_
#define DORVE_EXAMPLES_OBJECTIVES_BRANIN_H_

#include <cmath>

inline double branin(double x1, double x2) {
  const double pi = 3.14159265358979323846;
  const double b = 5.1 / (4.0 * pi * pi);
  const double c = 5.0 / pi;
  const double t = 1.0 / (8.0 * pi);
  const double q = x2 - b * x1 * x1 + c * x1 - 6.0;
  return q * q + 10.0 * (1.0 - t) * cos(x1) + 10.0;
}

#endif  // DORVE_EXAMPLES_OBJECTIVES_BRANIN_H_
