// Objective for DORVE's Minimize command: reads the point (Pressure, Temp)
// from the exchange file named as its argument (default "dorve.temp") and
// appends the Branin value.
#include "branin.h"
#include "exchange_file.h"

int main(int argc, char** argv) {
  const char* file = argc > 1 ? argv[1] : "dorve.temp";
  double x[2];
  if (read_point(file, 2, x, 2) < 0) return 1;
  const double y[1] = {branin(x[0], x[1])};
  return write_responses(file, 2, x, 1, y) == 0 ? 0 : 1;
}
