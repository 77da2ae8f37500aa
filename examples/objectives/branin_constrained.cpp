// Objective for DORVE's Minimize command on the example experiment: reads
// the point (Pressure, Temp) from the exchange file named as its argument
// (default "dorve.temp") and appends both responses in model order: Branin,
// then the constrained Cost = Pressure + Temp (the experiment asks Cost <= 8).
#include "branin.h"
#include "exchange_file.h"

int main(int argc, char** argv) {
  const char* file = argc > 1 ? argv[1] : "dorve.temp";
  double x[2];
  if (read_point(file, 2, x, 2) < 0) return 1;
  const double y[2] = {branin(x[0], x[1]), x[0] + x[1]};
  return write_responses(file, 2, x, 2, y) == 0 ? 0 : 1;
}
