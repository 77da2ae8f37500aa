#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "numeric/vector_exp.h"

// Within 2 ulp of the C library's exp over the range the correlations use,
// 0 below -708, and any count (the last partial group of four included).
TEST(VectorExp, CloseToExpEverywhereAndZeroBelowTheRange) {
  std::vector<double> x;
  for (double v = -708.0; v <= 709.0; v += 0.37) x.push_back(v);
  for (double v = -1.0; v <= 1.0; v += 1e-3) x.push_back(v);
  x.push_back(0.0);
  x.push_back(-710.0);
  x.push_back(-1e300);
  std::vector<double> out(x.size());
  exp_array(x.data(), out.data(), static_cast<long>(x.size()));
  for (size_t i = 0; i < x.size(); i++) {
    if (x[i] < -708.0) {
      EXPECT_EQ(out[i], 0.0) << x[i];
      continue;
    }
    const double e = std::exp(x[i]);
    const double ulp = std::nextafter(e, INFINITY) - e;
    EXPECT_LE(std::fabs(out[i] - e), 2.0 * ulp) << x[i];
  }
}
