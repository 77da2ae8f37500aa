// Objective for DORVE's Minimize command on the example experiment: reads
// the point (Pressure, Temp) from the exchange file named as its argument
// (default "dorve.temp") and appends both responses in model order: Branin,
// then the constrained energy Cost of the run (the experiment asks Cost <= 3.5).
#include <cmath>

#include "branin.h"
#include "exchange_file.h"

// Energy cost of a run: the compressor's share grows exponentially with
// Pressure and the heater's (heat losses) exponentially with Temp.
double run_cost(double pressure, double temp) { return exp(0.3 * pressure) + exp(0.2 * temp); }

int main(int argc, char** argv) {
  const char* file = argc > 1 ? argv[1] : "dorve.temp";
  double x[2];
  if (read_point(file, 2, x, 2) < 0) return 1;
  const double y[2] = {branin(x[0], x[1]), run_cost(x[0], x[1])};
  return write_responses(file, 2, x, 2, y) == 0 ? 0 : 1;
}
