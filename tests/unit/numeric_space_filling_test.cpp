// The maximin Latin hypercube: a Latin hypercube at the cell centres, spread
// apart far beyond chance, drawn from its own stream alone.
#include "numeric/space_filling.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "numeric/random.h"

namespace {

struct Points {
  std::vector<std::vector<double>> values;
  std::vector<double*> rows;
  Points(int n, int d) : values(n, std::vector<double>(d)), rows(n) {
    for (int i = 0; i < n; i++) rows[i] = values[i].data();
  }
};

// The smallest distance of a random Latin hypercube at the cell centres.
double random_latin_hypercube_distance(int n, int d, RandomStream* stream) {
  Points p(n, d);
  for (int j = 0; j < d; j++) {
    std::vector<int> cells(n);
    for (int i = 0; i < n; i++) cells[i] = i;
    for (int i = n - 1; i > 0; i--) {
      const int k = std::min(i, static_cast<int>(next_uniform(stream) * (i + 1)));
      std::swap(cells[i], cells[k]);
    }
    for (int i = 0; i < n; i++) p.rows[i][j] = (cells[i] + 0.5) / n;
  }
  return smallest_point_distance(n, d, p.rows.data());
}

TEST(MaximinLatinHypercube, EveryColumnHoldsEachCellCentreOnce) {
  const int n = 17, d = 4;
  Points p(n, d);
  RandomStream stream;
  maximin_latin_hypercube(n, d, &stream, p.rows.data());
  for (int j = 0; j < d; j++) {
    std::vector<int> seen(n, 0);
    for (int i = 0; i < n; i++) {
      const double cell = p.rows[i][j] * n - 0.5;
      const int k = static_cast<int>(cell + 0.5);
      ASSERT_EQ(cell, k) << "row " << i << " column " << j;
      ASSERT_GE(k, 0);
      ASSERT_LT(k, n);
      seen[k]++;
    }
    for (int k = 0; k < n; k++) EXPECT_EQ(seen[k], 1) << "cell " << k << " column " << j;
  }
}

// The improvement is what makes the design: its points lie further apart
// than those of the best of 200 random Latin hypercubes.
TEST(MaximinLatinHypercube, SpreadsItsPointsBeyondTheBestOfManyRandomOnes) {
  const int n = 20, d = 3;
  Points p(n, d);
  RandomStream stream;
  maximin_latin_hypercube(n, d, &stream, p.rows.data());
  RandomStream other;
  seed_random_stream(&other, 5, 7, 11);
  double best_random = 0.0;
  for (int t = 0; t < 200; t++)
    best_random = std::max(best_random, random_latin_hypercube_distance(n, d, &other));
  EXPECT_GT(smallest_point_distance(n, d, p.rows.data()), 1.2 * best_random);
}

// The design stream is its own: drawing a design leaves the process-wide
// stream where it was, and reseeding repeats the design.
TEST(MaximinLatinHypercube, DrawsFromTheDesignStreamOnly) {
  const int n = 8, d = 2;
  Points first(n, d), again(n, d), next(n, d);
  ASSERT_EQ(set_random_seeds(10, 20, 1000), 0);
  seed_design_stream(7);
  maximin_latin_hypercube(n, d, design_stream(), first.rows.data());
  maximin_latin_hypercube(n, d, design_stream(), next.rows.data());
  EXPECT_EQ(random_uniform(), 0.7763040176753145);  // the first draw after start-up
  seed_design_stream(7);
  maximin_latin_hypercube(n, d, design_stream(), again.rows.data());
  EXPECT_EQ(first.values, again.values);
  EXPECT_NE(first.values, next.values);
}

}  // namespace
