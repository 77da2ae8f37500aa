// The allocation registry: list order and counts, lookups, and every fatal
// misuse with its exact text.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "fatal_test_support.h"
#include "numeric/alloc_registry.h"
#include "numeric/storage.h"
#include "numeric_test_support.h"

namespace {

constexpr RegistryKind kReal = RegistryKind::kReal;
constexpr RegistryKind kInt = RegistryKind::kInt;
constexpr RegistryKind kRows = RegistryKind::kRowPointers;

using ::testing::ExitedWithCode;

// Empties one list by removing its first entry until none is left. Only for
// forked children: entries of live storage are dropped.
void drain(RegistryKind kind) {
  while (registry_size(kind) > 0) {
    void* p = const_cast<void*>(registry_address(kind, 0));
    const int n = registry_count(kind, 0);
    switch (kind) {
      case RegistryKind::kReal:
        add_list(false, n, static_cast<double*>(p));
        break;
      case RegistryKind::kInt:
        add_list_i(false, n, static_cast<int*>(p));
        break;
      case RegistryKind::kRowPointers:
        add_list_dr(false, n, static_cast<double**>(p));
        break;
    }
  }
}

// Routes standard output into standard error, unbuffered, so that a death
// test sees what the registry prints there, in order.
void stdout_into_stderr() {
  fflush(stdout);
  dup2(2, 1);
  setvbuf(stdout, nullptr, _IONBF, 0);
}

TEST(AllocRegistry, LookupReportsAbsentMatchingOrOtherCount) {
  TrackingScope on(true);
  double* v = generic_alloc(0, nullptr, 4);
  int* iv = generic_alloc_i(0, nullptr, 2);
  double local = 0.0;
  EXPECT_EQ(seek_list(4, v), 1);
  EXPECT_EQ(seek_list(5, v), 2);
  EXPECT_EQ(seek_list(4, &local), 0);
  EXPECT_EQ(seek_list(0, nullptr), 0);
  EXPECT_EQ(seek_list_i(2, iv), 1);
  EXPECT_EQ(seek_list_i(3, iv), 2);
  // The lists are independent: an integer vector is not in the real list.
  EXPECT_EQ(seek_list(2, reinterpret_cast<double*>(iv)), 0);
  EXPECT_EQ(generic_alloc(4, v, 0), nullptr);
  EXPECT_EQ(generic_alloc_i(2, iv, 0), nullptr);
}

TEST(AllocRegistry, RowArrayLookupWithOtherCountPrintsTheEntry) {
  TrackingScope on(true);
  double** m = generic_alloc_dr(0, nullptr, 3);
  testing::internal::CaptureStdout();
  const int matching = seek_list_dr(3, m);
  const int other = seek_list_dr(7, m);
  const std::string printed = testing::internal::GetCapturedStdout();
  EXPECT_EQ(matching, 1);
  EXPECT_EQ(other, 2);
  char expected[128];
  snprintf(expected, sizeof expected, "dpointer: %p old n %d #elem %d\n", static_cast<void*>(m), 3,
           registry_position(kRows, m) + 1);
  EXPECT_EQ(printed, expected);
  EXPECT_EQ(generic_alloc_dr(3, m, 0), nullptr);
}

TEST(AllocRegistry, AdditionsAppendAndRemovalsKeepOrder) {
  TrackingScope on(true);
  const int base = registry_size(kReal);
  double* a = generic_alloc(0, nullptr, 2);
  double* b = generic_alloc(0, nullptr, 3);
  double* c = generic_alloc(0, nullptr, 4);
  ASSERT_EQ(registry_size(kReal), base + 3);
  EXPECT_EQ(registry_address(kReal, base), a);
  EXPECT_EQ(registry_address(kReal, base + 1), b);
  EXPECT_EQ(registry_address(kReal, base + 2), c);
  EXPECT_EQ(registry_count(kReal, base + 2), 4);

  // Removing the middle entry closes the gap without reordering.
  b = generic_alloc(3, b, 0);
  EXPECT_EQ(b, nullptr);
  ASSERT_EQ(registry_size(kReal), base + 2);
  EXPECT_EQ(registry_address(kReal, base), a);
  EXPECT_EQ(registry_address(kReal, base + 1), c);
  EXPECT_EQ(registry_count(kReal, base + 1), 4);

  generic_alloc(4, c, 0);
  generic_alloc(2, a, 0);
  EXPECT_EQ(registry_size(kReal), base);
}

TEST(AllocRegistry, ResizedEntryMovesToTheEndWithItsNewCount) {
  TrackingScope on(true);
  const int base = registry_size(kReal);
  double* a = generic_alloc(0, nullptr, 2);
  double* b = generic_alloc(0, nullptr, 3);
  a[0] = 1.5;
  a[1] = -2.5;
  a = generic_alloc(2, a, 6);
  ASSERT_EQ(registry_size(kReal), base + 2);
  EXPECT_EQ(registry_address(kReal, base), b);
  EXPECT_EQ(registry_address(kReal, base + 1), a);
  EXPECT_EQ(registry_count(kReal, base + 1), 6);
  EXPECT_EQ(a[0], 1.5);
  EXPECT_EQ(a[1], -2.5);
  EXPECT_EQ(seek_list(2, a), 2);
  generic_alloc(3, b, 0);
  generic_alloc(6, a, 0);

  const int ibase = registry_size(kInt);
  int* i1 = generic_alloc_i(0, nullptr, 1);
  int* i2 = generic_alloc_i(0, nullptr, 1);
  i1 = generic_alloc_i(1, i1, 9);
  EXPECT_EQ(registry_address(kInt, ibase), i2);
  EXPECT_EQ(registry_address(kInt, ibase + 1), i1);
  EXPECT_EQ(registry_count(kInt, ibase + 1), 9);
  generic_alloc_i(1, i2, 0);
  generic_alloc_i(9, i1, 0);

  const int dbase = registry_size(kRows);
  double** d1 = generic_alloc_dr(0, nullptr, 2);
  double** d2 = generic_alloc_dr(0, nullptr, 2);
  d1 = generic_alloc_dr(2, d1, 5);
  EXPECT_EQ(registry_address(kRows, dbase), d2);
  EXPECT_EQ(registry_address(kRows, dbase + 1), d1);
  EXPECT_EQ(registry_count(kRows, dbase + 1), 5);
  generic_alloc_dr(2, d2, 0);
  generic_alloc_dr(5, d1, 0);
  EXPECT_EQ(registry_size(kRows), dbase);
}

TEST(AllocRegistry, UnregisteredNonNullPointerIsOverwrittenOnAllocation) {
  TrackingScope on(true);
  double stale_real = 0.0;
  int stale_int = 0;
  double* stale_row = nullptr;
  double* v = generic_alloc(0, &stale_real, 3);
  int* iv = generic_alloc_i(0, &stale_int, 3);
  double** m = generic_alloc_dr(0, &stale_row, 3);
  EXPECT_NE(v, &stale_real);
  EXPECT_EQ(seek_list(3, v), 1);
  EXPECT_EQ(seek_list_i(3, iv), 1);
  EXPECT_EQ(seek_list_dr(3, m), 1);
  generic_alloc(3, v, 0);
  generic_alloc_i(3, iv, 0);
  generic_alloc_dr(3, m, 0);
}

TEST(AllocRegistry, SwitchStartsOnAndCanBeTurnedOff) {
  TrackingScope scope(true);
  EXPECT_TRUE(alloc_tracking_on());
  set_alloc_tracking(false);
  EXPECT_FALSE(alloc_tracking_on());
  EXPECT_FALSE(alloc_tracking);
}

TEST(AllocRegistryDeathTest, RealVectorMisuseIsFatal) {
  TrackingScope on(true);
  double local = 0.0;
  EXPECT_FATAL_EXIT(
      {
        double* v = generic_alloc(0, nullptr, 3);
        generic_alloc(0, v, 3);
      },
      ExitedWithCode(1),
      fatal_text("generic_alloc: (1) Trying to allocate existing pointer. \n \t (2) Pointer not "
                 "initialized to NULL"));
  EXPECT_FATAL_EXIT(generic_alloc(3, &local, 4), ExitedWithCode(1),
                    fatal_text("generic_alloc: Trying to reallocate nonexisting pointer."));
  EXPECT_FATAL_EXIT(
      {
        double* v = generic_alloc(0, nullptr, 3);
        generic_alloc(2, v, 4);
      },
      ExitedWithCode(1), fatal_text("generic_alloc: Trying to reallocate with incorrect old n"));
  EXPECT_FATAL_EXIT(
      {
        double* v = generic_alloc(0, nullptr, 3);
        generic_alloc(4, v, 0);
      },
      ExitedWithCode(1), fatal_text("generic_alloc: Trying to free pointer with incorrect old n"));
  const std::string free_missing =
      fatal_text("generic_alloc: (1) Trying to free nonexisting pointer. \n \t (2) Pointer "
                 "reAssignment without change in list");
  EXPECT_FATAL_EXIT(generic_alloc(3, &local, 0), ExitedWithCode(1), free_missing);
  EXPECT_FATAL_EXIT(generic_alloc(3, nullptr, 0), ExitedWithCode(1), free_missing);
  EXPECT_FATAL_EXIT(generic_alloc(0, nullptr, 0), ExitedWithCode(1),
                    fatal_text("generic_alloc: Code Bug",
                               regex_literal("oldn: 0 newn: 0 vec address: (nil) seek: 0\n")));
  EXPECT_FATAL_EXIT(generic_alloc(2, nullptr, 5), ExitedWithCode(1),
                    fatal_text("generic_alloc: Code Bug",
                               regex_literal("oldn: 2 newn: 5 vec address: (nil) seek: 0\n")));
}

TEST(AllocRegistryDeathTest, IntegerVectorMisuseIsFatal) {
  TrackingScope on(true);
  int local = 0;
  EXPECT_FATAL_EXIT(
      {
        int* v = generic_alloc_i(0, nullptr, 3);
        generic_alloc_i(0, v, 3);
      },
      ExitedWithCode(1),
      fatal_text("generic_alloc i: (1) Trying to allocate existing pointer. \n (2) Pointer not "
                 "initialized to NULL "));
  EXPECT_FATAL_EXIT(generic_alloc_i(3, &local, 4), ExitedWithCode(1),
                    fatal_text("generic_alloc i: Trying to reallocate nonexisting pointer."));
  EXPECT_FATAL_EXIT(
      {
        int* v = generic_alloc_i(0, nullptr, 3);
        generic_alloc_i(2, v, 4);
      },
      ExitedWithCode(1), fatal_text("generic_alloc i: Trying to reallocate with incorrect old n"));
  EXPECT_FATAL_EXIT(
      {
        int* v = generic_alloc_i(0, nullptr, 3);
        generic_alloc_i(4, v, 0);
      },
      ExitedWithCode(1),
      fatal_text("generic_alloc i: Trying to free pointer with incorrect old n"));
  EXPECT_FATAL_EXIT(
      generic_alloc_i(3, &local, 0), ExitedWithCode(1),
      fatal_text("generic_alloc i: (1) Trying to free nonexisting pointer. \n (2) Pointer "
                 "reassignment without change in list "));
  EXPECT_FATAL_EXIT(generic_alloc_i(3, nullptr, 0), ExitedWithCode(1),
                    fatal_text("generic_alloc i: Code Bug"));
  EXPECT_FATAL_EXIT(generic_alloc_i(0, nullptr, 0), ExitedWithCode(1),
                    fatal_text("generic_alloc i: Code Bug"));
}

TEST(AllocRegistryDeathTest, RowArrayMisuseIsFatal) {
  TrackingScope on(true);
  double* local = nullptr;
  EXPECT_FATAL_EXIT(
      {
        double** m = generic_alloc_dr(0, nullptr, 3);
        generic_alloc_dr(0, m, 3);
      },
      ExitedWithCode(1),
      fatal_text("generic_alloc dr: (1) Trying to allocate existing pointer. \n (2) Pointer not "
                 "initialized to NULL"));
  EXPECT_FATAL_EXIT(generic_alloc_dr(3, &local, 4), ExitedWithCode(1),
                    fatal_text("generic_alloc dr: Trying to reallocate nonexisting pointer."));
  EXPECT_FATAL_EXIT(
      {
        double** m = generic_alloc_dr(0, nullptr, 3);
        generic_alloc_dr(4, m, 0);
      },
      ExitedWithCode(1),
      fatal_text("generic_alloc dr:Trying to free pointer with incorrect old n"));
  EXPECT_FATAL_EXIT(
      generic_alloc_dr(3, &local, 0), ExitedWithCode(1),
      fatal_text("generic_alloc dr: (1) Trying to free nonexisting pointer. \n (2) pointer "
                 "reassignment without change in list"));
  EXPECT_FATAL_EXIT(generic_alloc_dr(3, nullptr, 0), ExitedWithCode(1),
                    fatal_text("generic_alloc dr: Code Bug."));
  EXPECT_FATAL_EXIT(generic_alloc_dr(2, nullptr, 2), ExitedWithCode(1),
                    fatal_text("generic_alloc dr: Code Bug."));
}

TEST(AllocRegistryDeathTest, RowArrayResizeWithWrongCountDumpsTheListFirst) {
  TrackingScope on(true);
  const std::string address = "0x[0-9a-f]+";
  EXPECT_FATAL_EXIT(
      {
        stdout_into_stderr();
        drain(kRows);
        double** first = generic_alloc_dr(0, nullptr, 2);
        double** second = generic_alloc_dr(0, nullptr, 3);
        (void)first;
        generic_alloc_dr(4, second, 6);
      },
      ExitedWithCode(1),
      fatal_text("generic_alloc dr: Trying to reallocate with incorrect old n",
                 "dpointer: " + address + " old n 3 #elem 2\n" +
                     regex_literal("Double Pointer List:   \n") + address + " 2 " + address +
                     " 3 \n"));
}

TEST(AllocRegistryDeathTest, RemovingTheOnlyEntryEmptiesTheList) {
  TrackingScope on(true);
  EXPECT_FATAL_EXIT(
      {
        drain(kReal);
        double x[1];
        add_list(true, 1, x);
        if (registry_size(kReal) != 1) exit(3);
        add_list(false, 1, x);
        if (registry_size(kReal) != 0) exit(4);
        // The next addition starts a fresh list.
        add_list(true, 2, x);
        if (registry_size(kReal) != 1 || registry_count(kReal, 0) != 2) exit(5);
        add_list(false, 2, x);
        add_list(false, 2, x);
      },
      ExitedWithCode(1), fatal_text("add_list: Code Bug (size_list ==0, add=FALSE "));
  EXPECT_FATAL_EXIT(
      {
        drain(kInt);
        int x[1];
        add_list_i(true, 1, x);
        add_list_i(false, 1, x);
        if (registry_size(kInt) != 0) exit(4);
        add_list_i(false, 1, x);
      },
      ExitedWithCode(1), fatal_text("add_list: Code Bug (size_int_list ==0, add=FALSE "));
  EXPECT_FATAL_EXIT(
      {
        drain(kRows);
        double* x[1];
        add_list_dr(true, 1, x);
        add_list_dr(false, 1, x);
        if (registry_size(kRows) != 0) exit(4);
        add_list_dr(false, 1, x);
      },
      ExitedWithCode(1), fatal_text("add_list dr: Code Bug (size_dlist ==0, add=FALSE "));
}

// The list as the registry documents it: entries in the order added, a
// removal closing the gap (or dropping the last entry when the address is
// not listed), lookups finding the first entry of an address.
struct ReferenceList {
  std::vector<std::pair<const void*, int>> entries;
  int seek(int n, const void* p) const {
    for (const auto& e : entries)
      if (e.first == p) return e.second == n ? 1 : 2;
    return 0;
  }
  void remove(const void* p) {
    for (size_t i = 0; i < entries.size(); i++) {
      if (entries[i].first == p) {
        entries.erase(entries.begin() + static_cast<long>(i));
        return;
      }
    }
    entries.pop_back();
  }
};

TEST(AllocRegistryDeathTest, ListBehavesAsDocumentedUnderLongRandomUse) {
  EXPECT_FATAL_EXIT(
      {
        drain(kInt);
        int pool[40];
        ReferenceList ref;
        std::mt19937 rng(7);
        for (int step = 0; step < 60000; step++) {
          int* p = &pool[rng() % 40];
          const int n = static_cast<int>(rng() % 3) + 1;
          if (ref.entries.empty() || rng() % 2 == 0) {
            add_list_i(true, n, p);  // repeated addresses included
            ref.entries.emplace_back(p, n);
          } else {
            // Mostly listed addresses, sometimes one that is not.
            if (rng() % 8 != 0)
              p = static_cast<int*>(
                  const_cast<void*>(ref.entries[rng() % ref.entries.size()].first));
            add_list_i(false, n, p);
            if (ref.entries.size() == 1)
              ref.entries.clear();
            else
              ref.remove(p);
          }
          if (ref.seek(n, p) != seek_list_i(n, p)) exit(3);
          if (registry_size(kInt) != static_cast<int>(ref.entries.size())) exit(4);
          if (step % 997 == 0) {
            for (size_t i = 0; i < ref.entries.size(); i++) {
              const int at = static_cast<int>(i);
              if (registry_address(kInt, at) != ref.entries[i].first ||
                  registry_count(kInt, at) != ref.entries[i].second)
                exit(5);
            }
          }
        }
        exit(0);
      },
      ExitedWithCode(0), "");
}

TEST(AllocRegistryDeathTest, StorageFromBeforeSwitchOffIsReleasedPlainlyAndStaysListed) {
  EXPECT_FATAL_EXIT(
      {
        set_alloc_tracking(true);
        double* v = nullptr;
        alloc_real_vector(3, &v);
        const void* registered = v;
        set_alloc_tracking(false);
        // Off: a wrong old count is no longer checked.
        morealloc(17, &v, 5);
        v[4] = 1.0;
        free_real_vector(99, &v);
        const int at = registry_position(kReal, registered);
        exit(at >= 0 && registry_count(kReal, at) == 3 ? 0 : 3);
      },
      ExitedWithCode(0), "");
}

}  // namespace
