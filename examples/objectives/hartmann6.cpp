// Objective for the example study (examples/study.cmd): the Hartmann
// function of six inputs on [0, 1]^6, a standard test of global
// optimisers with several local minima; its global minimum -3.32237 lies at
// (0.20169, 0.150011, 0.476874, 0.275332, 0.311652, 0.6573). Reads the point
// from the exchange file named as its argument (default "dorve.temp") and
// appends the value.
#include <cmath>

#include "exchange_file.h"

namespace {

const double kAlpha[4] = {1.0, 1.2, 3.0, 3.2};
const double kA[4][6] = {{10, 3, 17, 3.5, 1.7, 8},
                         {0.05, 10, 17, 0.1, 8, 14},
                         {3, 3.5, 1.7, 10, 17, 8},
                         {17, 8, 0.05, 10, 0.1, 14}};
const double kP[4][6] = {{0.1312, 0.1696, 0.5569, 0.0124, 0.8283, 0.5886},
                         {0.2329, 0.4135, 0.8307, 0.3736, 0.1004, 0.9991},
                         {0.2348, 0.1451, 0.3522, 0.2883, 0.3047, 0.6650},
                         {0.4047, 0.8828, 0.8732, 0.5743, 0.1091, 0.0381}};

double hartmann6(const double* x) {
  double sum = 0.0;
  for (int i = 0; i < 4; i++) {
    double inner = 0.0;
    for (int j = 0; j < 6; j++) inner += kA[i][j] * (x[j] - kP[i][j]) * (x[j] - kP[i][j]);
    sum += kAlpha[i] * exp(-inner);
  }
  return -sum;
}

}  // namespace

int main(int argc, char** argv) {
  const char* file = argc > 1 ? argv[1] : "dorve.temp";
  double x[6];
  if (read_point(file, 6, x, 6) < 0) return 1;
  const double y = hartmann6(x);
  return write_responses(file, 6, x, 1, &y) == 0 ? 0 : 1;
}
