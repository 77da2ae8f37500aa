// Vectors and matrices: resizing keeps values, rows are separate blocks,
// string slots are 30 characters, zero counts are fatal; each case runs with
// the allocation registry on and off.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "fatal_test_support.h"
#include "numeric/alloc_registry.h"
#include "numeric/storage.h"
#include "numeric_test_support.h"

namespace {

using ::testing::ExitedWithCode;

class StorageBothModes : public ::testing::TestWithParam<bool> {
 protected:
  StorageBothModes() : scope_(GetParam()) {}
  bool tracking() const { return GetParam(); }

 private:
  TrackingScope scope_;
};

std::string mode_name(const ::testing::TestParamInfo<bool>& info) {
  return info.param ? "RegistryOn" : "RegistryOff";
}

INSTANTIATE_TEST_SUITE_P(Modes, StorageBothModes, ::testing::Bool(), mode_name);

TEST_P(StorageBothModes, VectorResizeKeepsLeadingValues) {
  double* v = nullptr;
  alloc_real_vector(3, &v);
  for (int i = 0; i < 3; i++) v[i] = 1.25 * (i + 1);
  morealloc(3, &v, 6);
  for (int i = 0; i < 3; i++) EXPECT_EQ(v[i], 1.25 * (i + 1));
  for (int i = 3; i < 6; i++) v[i] = -1.0;
  morealloc(6, &v, 2);
  EXPECT_EQ(v[0], 1.25);
  EXPECT_EQ(v[1], 2.5);
  if (tracking()) {
    EXPECT_EQ(seek_list(2, v), 1);
  }
  free_real_vector(2, &v);
  EXPECT_EQ(v, nullptr);

  int* iv = nullptr;
  alloc_int_vector(2, &iv);
  iv[0] = 7;
  iv[1] = -8;
  realloc_int_vector(2, &iv, 5);
  EXPECT_EQ(iv[0], 7);
  EXPECT_EQ(iv[1], -8);
  iv[4] = 9;
  realloc_int_vector(5, &iv, 1);
  EXPECT_EQ(iv[0], 7);
  if (tracking()) {
    EXPECT_EQ(seek_list_i(1, iv), 1);
  }
  free_int_vector(1, &iv);
  EXPECT_EQ(iv, nullptr);
}

TEST_P(StorageBothModes, MatrixResizeKeepsValuesAtTheirPlaces) {
  double** m = nullptr;
  alloc_real_matrix(2, 3, &m);
  for (int i = 0; i < 2; i++)
    for (int j = 0; j < 3; j++) m[i][j] = 10.0 * i + j;

  realloc_real_matrix(2, 3, &m, 4, 5);
  for (int i = 0; i < 2; i++)
    for (int j = 0; j < 3; j++) EXPECT_EQ(m[i][j], 10.0 * i + j) << i << "," << j;
  for (int i = 0; i < 4; i++)
    for (int j = 0; j < 5; j++)
      if (i >= 2 || j >= 3) m[i][j] = -1.0;  // every new cell is writable
  if (tracking()) {
    EXPECT_EQ(seek_list_dr(4, m), 1);
    for (int i = 0; i < 4; i++) EXPECT_EQ(seek_list(5, m[i]), 1) << i;
  }

  realloc_real_matrix(4, 5, &m, 1, 2);
  EXPECT_EQ(m[0][0], 0.0);
  EXPECT_EQ(m[0][1], 1.0);
  if (tracking()) {
    EXPECT_EQ(seek_list_dr(1, m), 1);
    EXPECT_EQ(seek_list(2, m[0]), 1);
  }
  free_real_matrix(1, 2, &m);
  EXPECT_EQ(m, nullptr);
}

TEST_P(StorageBothModes, MatrixRowsAreSeparateBlocks) {
  double** m = nullptr;
  alloc_real_matrix(3, 2, &m);
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 2; j++) m[i][j] = i + 0.5 * j;

  // Swapping row pointers swaps rows, and the matrix is still released cleanly.
  double* held = m[0];
  m[0] = m[2];
  m[2] = held;
  EXPECT_EQ(m[0][0], 2.0);
  EXPECT_EQ(m[0][1], 2.5);
  EXPECT_EQ(m[2][1], 0.5);

  // A row is a real vector of its own, and can be resized as one.
  morealloc(2, &m[1], 4);
  EXPECT_EQ(m[1][0], 1.0);
  EXPECT_EQ(m[1][1], 1.5);
  m[1][3] = 9.0;
  morealloc(4, &m[1], 2);
  EXPECT_EQ(m[1][1], 1.5);
  free_real_matrix(3, 2, &m);
}

TEST_P(StorageBothModes, StringSlotsAreThirtyCharactersApart) {
  const std::string longest(kSlotLen - 1, 'w');
  StringSlot* v = nullptr;
  alloc_string_vector(4, &v);
  for (int i = 0; i < 4; i++) {
    EXPECT_EQ(reinterpret_cast<char*>(v[i]) - reinterpret_cast<char*>(v), kSlotLen * i);
    memcpy(v[i], longest.c_str(), kSlotLen);
  }
  v[2][0] = 'x';
  realloc_string_vector(4, &v, 6);
  EXPECT_EQ(std::string(v[3]), longest);
  EXPECT_EQ(v[2][0], 'x');
  memcpy(v[5], longest.c_str(), kSlotLen);
  realloc_string_vector(6, &v, 1);
  EXPECT_EQ(std::string(v[0]), longest);
  free_string_vector(1, &v);

  StringSlot** m = nullptr;
  alloc_string_matrix(2, 3, &m);
  for (int i = 0; i < 2; i++) {
    EXPECT_EQ(reinterpret_cast<char*>(m[i][2]) - reinterpret_cast<char*>(m[i]), 2 * kSlotLen);
    memset(m[i], 'a', 3 * kSlotLen);  // a row holds exactly 3 full slots
    for (int j = 0; j < 3; j++) snprintf(m[i][j], kSlotLen, "r%dc%d", i, j);
  }
  realloc_string_matrix(2, 3, &m, 3, 4);
  EXPECT_STREQ(m[1][2], "r1c2");
  EXPECT_STREQ(m[0][0], "r0c0");
  memset(m[2], 'b', 4 * kSlotLen);
  memset(m[0][3], 'c', kSlotLen);
  realloc_string_matrix(3, 4, &m, 1, 2);
  EXPECT_STREQ(m[0][1], "r0c1");
  free_string_matrix(1, 2, &m);
}

TEST_P(StorageBothModes, CharacterStorageIsPlainHeap) {
  char* v = nullptr;
  alloc_char_vector(5, &v);
  memcpy(v, "abcd", 5);
  EXPECT_STREQ(v, "abcd");
  free_char_vector(5, &v);

  char** m = nullptr;
  alloc_char_matrix(2, 4, &m);
  memcpy(m[0], "xyz", 4);
  memcpy(m[1], "uvw", 4);
  EXPECT_STREQ(m[1], "uvw");
  free_char_matrix(2, 4, &m);
}

TEST_P(StorageBothModes, ResizeFromNothingAllocates) {
  double* v = nullptr;
  morealloc(0, &v, 3);
  v[2] = 4.0;
  if (tracking()) {
    EXPECT_EQ(seek_list(3, v), 1);
  }
  free_real_vector(3, &v);
  int* iv = nullptr;
  realloc_int_vector(0, &iv, 2);
  iv[1] = 4;
  free_int_vector(2, &iv);
}

using StorageBothModesDeathTest = StorageBothModes;
INSTANTIATE_TEST_SUITE_P(Modes, StorageBothModesDeathTest, ::testing::Bool(), mode_name);

TEST_P(StorageBothModesDeathTest, ZeroCountsAreFatalBeforeAnythingElse) {
  double* v = nullptr;
  int* iv = nullptr;
  char* cv = nullptr;
  StringSlot* sv = nullptr;
  double** m = nullptr;
  StringSlot** sm = nullptr;
  EXPECT_FATAL_EXIT(alloc_real_vector(0, &v), ExitedWithCode(1),
                    fatal_text("alloc_real_vector: dimensions == 0"));
  EXPECT_FATAL_EXIT(alloc_int_vector(0, &iv), ExitedWithCode(1),
                    fatal_text("alloc_int_vector: dimensions == 0"));
  EXPECT_FATAL_EXIT(alloc_char_vector(0, &cv), ExitedWithCode(1),
                    fatal_text("alloc_char_vector: dimensions == 0"));
  EXPECT_FATAL_EXIT(alloc_string_vector(0, &sv), ExitedWithCode(1),
                    fatal_text("alloc string vector: dimensions == 0"));
  EXPECT_FATAL_EXIT(morealloc(3, &v, 0), ExitedWithCode(1),
                    fatal_text("morealloc: dimensions == 0"));
  EXPECT_FATAL_EXIT(realloc_int_vector(3, &iv, 0), ExitedWithCode(1),
                    fatal_text("realloc_int_vector: dimensions == 0"));
  EXPECT_FATAL_EXIT(realloc_string_vector(3, &sv, 0), ExitedWithCode(1),
                    fatal_text("realloc_string_vector: dimensions == 0"));

  const std::string real_zero = fatal_text("realloc real matrix: 0 columns and / or 0 rows");
  EXPECT_FATAL_EXIT(realloc_real_matrix(0, 2, &m, 2, 2), ExitedWithCode(1), real_zero);
  EXPECT_FATAL_EXIT(realloc_real_matrix(2, 0, &m, 2, 2), ExitedWithCode(1), real_zero);
  EXPECT_FATAL_EXIT(realloc_real_matrix(2, 2, &m, 0, 2), ExitedWithCode(1), real_zero);
  EXPECT_FATAL_EXIT(realloc_real_matrix(2, 2, &m, 2, 0), ExitedWithCode(1), real_zero);
  const std::string string_zero = fatal_text("realloc  string matrix: 0 columns and / or 0 rows");
  EXPECT_FATAL_EXIT(realloc_string_matrix(0, 2, &sm, 2, 2), ExitedWithCode(1), string_zero);
  EXPECT_FATAL_EXIT(realloc_string_matrix(2, 0, &sm, 2, 2), ExitedWithCode(1), string_zero);
  EXPECT_FATAL_EXIT(realloc_string_matrix(2, 2, &sm, 0, 2), ExitedWithCode(1), string_zero);
  EXPECT_FATAL_EXIT(realloc_string_matrix(2, 2, &sm, 2, 0), ExitedWithCode(1), string_zero);
}

TEST(StorageRegistryOnDeathTest, MisuseIsReportedByTheRegistry) {
  TrackingScope on(true);
  EXPECT_FATAL_EXIT(
      {
        double** m = nullptr;
        alloc_real_matrix(2, 2, &m);
        alloc_real_matrix(2, 2, &m);
      },
      ExitedWithCode(1),
      fatal_text("alloc_real_matrix:Trying to allocate existing matrix pointer."));
  EXPECT_FATAL_EXIT(
      {
        double* v = nullptr;
        alloc_real_vector(3, &v);
        free_real_vector(4, &v);
      },
      ExitedWithCode(1), fatal_text("generic_alloc: Trying to free pointer with incorrect old n"));
  EXPECT_FATAL_EXIT(
      {
        int* v = nullptr;
        alloc_int_vector(3, &v);
        realloc_int_vector(2, &v, 5);
      },
      ExitedWithCode(1), fatal_text("generic_alloc i: Trying to reallocate with incorrect old n"));
  // Growing resizes the row array first; shrinking resizes the rows first.
  EXPECT_FATAL_EXIT(
      {
        double** m = nullptr;
        alloc_real_matrix(2, 3, &m);
        realloc_real_matrix(3, 3, &m, 4, 3);
      },
      ExitedWithCode(1), fatal_text("generic_alloc dr: Trying to reallocate with incorrect old n"));
  EXPECT_FATAL_EXIT(
      {
        double** m = nullptr;
        alloc_real_matrix(2, 3, &m);
        realloc_real_matrix(2, 4, &m, 1, 3);
      },
      ExitedWithCode(1), fatal_text("generic_alloc: Trying to reallocate with incorrect old n"));
  // A resize of a matrix that was never allocated is refused, shrinking or not.
  EXPECT_FATAL_EXIT(
      {
        double** m = nullptr;
        realloc_real_matrix(3, 2, &m, 1, 2);
      },
      ExitedWithCode(1), fatal_text("generic_alloc dr: Code Bug."));
  // A matrix with no columns is refused by the registry.
  EXPECT_FATAL_EXIT(
      {
        double** m = nullptr;
        alloc_real_matrix(2, 0, &m);
      },
      ExitedWithCode(1),
      fatal_text("generic_alloc: Code Bug",
                 regex_literal("oldn: 0 newn: 0 vec address: (nil) seek: 0\n")));
}

TEST(StorageRegistryOff, EmptyMatricesAreValidBlocks) {
  TrackingScope off(false);
  double** m = nullptr;
  alloc_real_matrix(0, 3, &m);
  EXPECT_NE(m, nullptr);
  free_real_matrix(0, 3, &m);
  alloc_real_matrix(2, 0, &m);
  EXPECT_NE(m[1], nullptr);
  free_real_matrix(2, 0, &m);
  StringSlot** sm = nullptr;
  alloc_string_matrix(0, 2, &sm);
  EXPECT_NE(sm, nullptr);
  free_string_matrix(0, 2, &sm);
}

TEST(StorageRegistryOff, ReleaseClearsTheHandle) {
  TrackingScope off(false);
  double* v = nullptr;
  alloc_real_vector(2, &v);
  free_real_vector(2, &v);
  EXPECT_EQ(v, nullptr);
  double** m = nullptr;
  alloc_real_matrix(2, 2, &m);
  free_real_matrix(2, 2, &m);
  EXPECT_EQ(m, nullptr);
  StringSlot* sv = nullptr;
  alloc_string_vector(2, &sv);
  free_string_vector(2, &sv);
  EXPECT_EQ(sv, nullptr);
}

}  // namespace
