// Reading tall matrix files: a matrix file and a CSV file of 10^4 to 10^6
// rows and two columns. Reports rows per second and the heap the read matrix
// holds per row (its numbers are 16 bytes a row).
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstdio>
#include <random>
#include <string>

#include "base/interpreter.h"
#include "data/matrix_reader.h"
#include "numeric/alloc_registry.h"
#include "numeric/storage.h"

namespace {

std::string tall_file(long rows, bool csv) {
  const std::string name = "/tmp/dorve_tall_" + std::to_string(rows) + (csv ? ".csv" : ".mat");
  if (FILE* existing = fopen(name.c_str(), "r")) {
    fclose(existing);
    return name;
  }
  FILE* f = fopen(name.c_str(), "w");
  std::mt19937_64 gen(rows);
  std::uniform_real_distribution<double> unif(0.0, 1.0);
  if (csv)
    fprintf(f, "a,b\n");
  else
    fprintf(f, "Version 1.400\nX\n\n---\n Case a b\n---\n");
  for (long i = 0; i < rows; i++) {
    if (csv)
      fprintf(f, "%.6f,%.6f\n", unif(gen), unif(gen));
    else
      fprintf(f, " %ld %.6f %.6f\n", i + 1, unif(gen), unif(gen));
  }
  fclose(f);
  return name;
}

void BM_ReadTallFile(benchmark::State& state) {
  set_alloc_tracking(false);
  g_interp.out = fopen("/dev/null", "w");
  const long rows = state.range(0);
  const std::string file = tall_file(rows, state.range(1) != 0);
  double held = 0.0;
  for (auto _ : state) {
    const size_t before = mallinfo2().uordblks;
    double** m = nullptr;
    StringSlot* names = nullptr;
    int r = 0, c = 0;
    if (read_matrix(0, 0, &m, &r, &c, file.c_str(), &names) != 0 || r != rows)
      state.SkipWithError("the file was not read");
    held = static_cast<double>(mallinfo2().uordblks - before) / rows;
    free_real_matrix(r, c, &m);
    free_string_vector(c, &names);
  }
  state.counters["rows_per_s"] =
      benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kIsIterationInvariantRate);
  state.counters["bytes_per_row"] = held;
  fclose(g_interp.out);
  g_interp.out = nullptr;
}
BENCHMARK(BM_ReadTallFile)
    ->ArgsProduct({{10000, 100000, 1000000}, {0, 1}})
    ->ArgNames({"rows", "csv"})
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
