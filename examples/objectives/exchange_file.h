// Reading and writing the exchange file "dorve.temp" for the example
// objectives: DORVE writes the number of x variables and the point, the
// objective appends its responses after them.
#ifndef DORVE_EXAMPLES_OBJECTIVES_EXCHANGE_FILE_H_
#define DORVE_EXAMPLES_OBJECTIVES_EXCHANGE_FILE_H_

#include <cstdio>

// Reads the point of file_name into x (at most capacity values); returns the
// number of x variables, or -1 (with a message on standard error) when the
// file cannot be read or its count is not expected_d.
inline int read_point(const char* file_name, int expected_d, double* x, int capacity) {
  FILE* f = fopen(file_name, "r");
  if (!f) {
    fprintf(stderr, "objective: cannot open %s\n", file_name);
    return -1;
  }
  int d = 0;
  if (fscanf(f, "%d", &d) != 1 || d != expected_d || d > capacity) {
    fprintf(stderr, "objective: %s must start with the count %d\n", file_name, expected_d);
    fclose(f);
    return -1;
  }
  for (int j = 0; j < d; j++) {
    if (fscanf(f, "%lf", &x[j]) != 1) {
      fprintf(stderr, "objective: %s holds fewer than %d coordinates\n", file_name, d);
      fclose(f);
      return -1;
    }
  }
  fclose(f);
  return d;
}

// Rewrites file_name as the count, the point and the k responses.
inline int write_responses(const char* file_name, int d, const double* x, int k,
                           const double* y) {
  FILE* f = fopen(file_name, "w");
  if (!f) {
    fprintf(stderr, "objective: cannot write %s\n", file_name);
    return -1;
  }
  fprintf(f, "%d ", d);
  for (int j = 0; j < d; j++) fprintf(f, " %.17g ", x[j]);
  for (int j = 0; j < k; j++) fprintf(f, " %.17g ", y[j]);
  fprintf(f, "\n");
  fclose(f);
  return 0;
}

#endif  // DORVE_EXAMPLES_OBJECTIVES_EXCHANGE_FILE_H_
