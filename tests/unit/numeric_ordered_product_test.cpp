#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "numeric/ordered_product.h"

namespace {

// Values of mixed sign and magnitude, so that any other order of the
// additions would show in the last bits.
std::vector<double> values(int count, unsigned seed) {
  std::vector<double> v(count);
  unsigned s = seed;
  for (double& x : v) {
    s = s * 1103515245u + 12345u;
    x = (static_cast<double>(s >> 8) / 16777216.0 - 0.5) * ((s & 7) ? 1.0 : 1e6);
  }
  return v;
}

}  // namespace

// Every panel width, row block and remainder gives the plain loop's bits.
TEST(OrderedProduct, MatchesThePlainLoopBitForBit) {
  for (int rows : {1, 2, 5, 6, 7, 13}) {
    for (int inner : {1, 3, 9}) {
      for (int cols : {1, 3, 4, 11, 12, 16, 17, 37}) {
        std::vector<double> A = values(rows * inner, 7u + rows);
        std::vector<double> Mflat = values(inner * cols, 11u + cols);
        std::vector<double*> M(inner);
        for (int i = 0; i < inner; i++) M[i] = &Mflat[static_cast<size_t>(i) * cols];
        std::vector<double> plain(static_cast<size_t>(rows) * cols);
        for (int p = 0; p < rows; p++)
          for (int j = 0; j < cols; j++) {
            double sum = 0.0;
            for (int i = 0; i < inner; i++) sum += A[p * inner + i] * M[i][j];
            plain[static_cast<size_t>(p) * cols + j] = sum;
          }
        std::vector<double> block(plain.size()), one(cols);
        ordered_rows_times_matrix(A.data(), rows, inner, M.data(), cols, block.data());
        EXPECT_EQ(memcmp(block.data(), plain.data(), sizeof(double) * plain.size()), 0)
            << rows << " x " << inner << " x " << cols;
        ordered_vector_times_matrix(A.data(), inner, M.data(), cols, one.data());
        EXPECT_EQ(memcmp(one.data(), plain.data(), sizeof(double) * cols), 0)
            << inner << " x " << cols;
      }
    }
  }
}
