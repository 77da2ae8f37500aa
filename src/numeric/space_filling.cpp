#include "numeric/space_filling.h"

#include <cmath>
#include <vector>

namespace {

// Exchanges tried: up to kExchangesPerEntry per entry of the design, and no
// more than kWorkBudget point-pair updates in all (each exchange updates the
// distances of two points to all the others).
constexpr long kExchangesPerEntry = 200;
constexpr double kWorkBudget = 1e8;
constexpr long kMinExchanges = 1000;

// The generator takes seeds 1 .. 30000.
constexpr long kSeedModulus = 30000;

RandomStream g_design_stream = {1000, 20, 10};

// Levels of the cells, k = 0 .. n - 1; distances are measured in cell widths,
// so every squared distance is a whole number of at least d.
struct Levels {
  int n = 0;
  int d = 0;
  std::vector<int> cells;  // n x d, row by row
  int* row(int i) { return &cells[static_cast<size_t>(i) * d]; }
};

// A whole number in 0 .. count - 1 from a draw in (0, 1].
int draw_index(RandomStream* stream, int count) {
  const int k = static_cast<int>(next_uniform(stream) * count);
  return k < count ? k : count - 1;
}

// Every column a random permutation of the cells (Fisher-Yates).
void random_latin_hypercube(RandomStream* stream, Levels* L) {
  for (int j = 0; j < L->d; j++) {
    for (int i = 0; i < L->n; i++) L->row(i)[j] = i;
    for (int i = L->n - 1; i > 0; i--) {
      const int k = draw_index(stream, i + 1);
      const int t = L->row(i)[j];
      L->row(i)[j] = L->row(k)[j];
      L->row(k)[j] = t;
    }
  }
}

long squared_cell_distance(const int* a, const int* b, int d) {
  long sum = 0;
  for (int j = 0; j < d; j++) {
    const long t = a[j] - b[j];
    sum += t * t;
  }
  return sum;
}

// (1 / squared distance)^25, the term of one pair in phi.
double pair_term(long squared) {
  const double x = 1.0 / static_cast<double>(squared);
  const double x2 = x * x, x4 = x2 * x2, x8 = x4 * x4, x16 = x8 * x8;
  return x16 * x8 * x;
}

long square(long t) { return t * t; }

// The change of phi when points a and b exchange their cells in column j.
// The distance between a and b stays as it is.
double exchange_change(Levels* L, int a, int b, int j) {
  const int* pa = L->row(a);
  const int* pb = L->row(b);
  const long la = pa[j], lb = pb[j];
  double change = 0.0;
  for (int r = 0; r < L->n; r++) {
    if (r == a || r == b) continue;
    const int* pr = L->row(r);
    const long lr = pr[j];
    const long da = squared_cell_distance(pa, pr, L->d);
    const long db = squared_cell_distance(pb, pr, L->d);
    const long da_new = da - square(la - lr) + square(lb - lr);
    const long db_new = db - square(lb - lr) + square(la - lr);
    change += (pair_term(da_new) - pair_term(da)) + (pair_term(db_new) - pair_term(db));
  }
  return change;
}

long exchange_budget(int n, int d) {
  const double per_exchange = 2.0 * n * (d + 4);
  const double by_work = kWorkBudget / per_exchange;
  const double by_size = static_cast<double>(kExchangesPerEntry) * n * d;
  const double budget = by_work < by_size ? by_work : by_size;
  return budget > kMinExchanges ? static_cast<long>(budget) : kMinExchanges;
}

// Exchanges that lower phi are kept; the others are undone (not made).
void improve_maximin(RandomStream* stream, Levels* L) {
  if (L->d < 2) return;  // one column: every Latin hypercube is the same set
  const long exchanges = exchange_budget(L->n, L->d);
  for (long t = 0; t < exchanges; t++) {
    const int j = draw_index(stream, L->d);
    const int a = draw_index(stream, L->n);
    int b = draw_index(stream, L->n - 1);
    if (b >= a) b++;
    if (exchange_change(L, a, b, j) < 0.0) {
      const int keep = L->row(a)[j];
      L->row(a)[j] = L->row(b)[j];
      L->row(b)[j] = keep;
    }
  }
}

int wrap_seed(long v) { return static_cast<int>(1 + (v - 1) % kSeedModulus); }

}  // namespace

void maximin_latin_hypercube(int n, int d, RandomStream* stream, double** points) {
  Levels L;
  L.n = n;
  L.d = d;
  L.cells.assign(static_cast<size_t>(n) * d, 0);
  random_latin_hypercube(stream, &L);
  improve_maximin(stream, &L);
  for (int i = 0; i < n; i++)
    for (int j = 0; j < d; j++) points[i][j] = (L.row(i)[j] + 0.5) / n;
}

double smallest_point_distance(int n, int d, double* const* points) {
  double smallest = HUGE_VAL;
  for (int a = 0; a < n; a++) {
    for (int b = a + 1; b < n; b++) {
      double sum = 0.0;
      for (int j = 0; j < d; j++) {
        const double t = points[a][j] - points[b][j];
        sum += t * t;
      }
      if (sum < smallest) smallest = sum;
    }
  }
  return sqrt(smallest);
}

// The seeds of the process-wide stream for RandomSeed = s are s, 2s and 100s;
// this stream takes them in the other order, each brought into 1 .. 30000,
// so that the two never run in step.
void seed_design_stream(int s) {
  const long v = s;
  seed_random_stream(&g_design_stream, wrap_seed(100 * v), wrap_seed(2 * v), wrap_seed(v));
}

RandomStream* design_stream() { return &g_design_stream; }
