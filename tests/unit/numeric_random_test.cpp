// The Wichmann-Hill generator: the documented start-up sequence, seed range
// checks and the range of the draws.
#include "numeric/random.h"

#include <gtest/gtest.h>

namespace {

struct State {
  int x, y, z;
};

State current_state() {
  State s{};
  get_random_state(&s.x, &s.y, &s.z);
  return s;
}

TEST(RandomGenerator, StartupSeedsGiveTheDocumentedSequence) {
  ASSERT_EQ(set_random_seeds(10, 20, 1000), 0);
  const State states[3] = {{1710, 3440, 18385}, {19989, 15847, 2181}, {27991, 28361, 6894}};
  const double draws[3] = {0.7763040176753145, 0.2551867085947186, 0.08788407106013274};
  for (int k = 0; k < 3; k++) {
    EXPECT_EQ(random_uniform(), draws[k]) << "draw " << k;
    const State s = current_state();
    EXPECT_EQ(s.x, states[k].x) << "draw " << k;
    EXPECT_EQ(s.y, states[k].y) << "draw " << k;
    EXPECT_EQ(s.z, states[k].z) << "draw " << k;
  }
}

TEST(RandomGenerator, ReseedingRestartsTheSequence) {
  ASSERT_EQ(set_random_seeds(7, 14, 700), 0);
  const double first = random_uniform();
  const double second = random_uniform();
  ASSERT_EQ(set_random_seeds(7, 14, 700), 0);
  EXPECT_EQ(random_uniform(), first);
  EXPECT_EQ(random_uniform(), second);
}

TEST(RandomGenerator, SeedsOutsideTheRangeAreRejectedAndChangeNothing) {
  ASSERT_EQ(set_random_seeds(10, 20, 1000), 0);
  EXPECT_EQ(set_random_seeds(0, 5, 5), -45);
  EXPECT_EQ(set_random_seeds(1, 1, 30001), -45);
  EXPECT_EQ(set_random_seeds(5, -3, 5), -45);
  EXPECT_EQ(set_random_seeds(301, 602, 30100), -45);  // RandomSeed = 301
  const State s = current_state();
  EXPECT_EQ(s.x, 10);
  EXPECT_EQ(s.y, 20);
  EXPECT_EQ(s.z, 1000);

  EXPECT_EQ(set_random_seeds(30000, 30000, 30000), 0);
  const State top = current_state();
  EXPECT_EQ(top.x, 30000);
  EXPECT_EQ(top.z, 30000);
  EXPECT_EQ(set_random_seeds(1, 1, 1), 0);
}

TEST(RandomGenerator, DrawsLieInTheHalfOpenUnitInterval) {
  const int seeds[3][3] = {{10, 20, 1000}, {1, 1, 1}, {30000, 30000, 30000}};
  for (const auto& seed : seeds) {
    ASSERT_EQ(set_random_seeds(seed[0], seed[1], seed[2]), 0);
    for (int k = 0; k < 100000; k++) {
      const double u = random_uniform();
      ASSERT_GT(u, 0.0) << "draw " << k;
      ASSERT_LE(u, 1.0) << "draw " << k;
    }
  }
}

}  // namespace
