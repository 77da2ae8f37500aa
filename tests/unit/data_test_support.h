// Shared helpers for the data-file and model-store tests: a fresh temporary
// directory per test, the output stream captured in memory, file helpers and
// a snapshot of the allocation registry's list sizes.
#ifndef DORVE_TESTS_UNIT_DATA_TEST_SUPPORT_H_
#define DORVE_TESTS_UNIT_DATA_TEST_SUPPORT_H_

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "base/interpreter.h"
#include "numeric/alloc_registry.h"
#include "numeric/storage.h"
#include "numeric_test_support.h"
#include "data/matrix_reader.h"

// Points the output stream at a memory buffer for the life of the object.
class CapturedOutput {
 public:
  CapturedOutput() : saved_(g_interp.out) {
    stream_ = open_memstream(&buffer_, &size_);
    g_interp.out = stream_;
  }
  ~CapturedOutput() {
    g_interp.out = saved_;
    fclose(stream_);
    free(buffer_);
  }
  CapturedOutput(const CapturedOutput&) = delete;
  CapturedOutput& operator=(const CapturedOutput&) = delete;

  std::string text() {
    fflush(stream_);
    return std::string(buffer_, size_);
  }

 private:
  FILE* saved_;
  FILE* stream_ = nullptr;
  char* buffer_ = nullptr;
  size_t size_ = 0;
};

// A fresh temporary directory, removed with everything in it afterwards.
class TempDir {
 public:
  TempDir() {
    char pattern[] = "/tmp/dorve_data_XXXXXX";
    char* made = mkdtemp(pattern);
    if (made) path_ = made;
  }
  ~TempDir() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

inline void write_file(const std::string& path, const std::string& content) {
  std::ofstream f(path, std::ios::binary);
  f << content;
}

inline std::string read_file(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

// Sizes of the three registry lists, to check that storage is given back.
struct RegistrySnapshot {
  int reals = registry_size(RegistryKind::kReal);
  int ints = registry_size(RegistryKind::kInt);
  int rows = registry_size(RegistryKind::kRowPointers);
};

inline void expect_registry_back_to(const RegistrySnapshot& before) {
  RegistrySnapshot now;
  EXPECT_EQ(now.reals, before.reals);
  EXPECT_EQ(now.ints, before.ints);
  EXPECT_EQ(now.rows, before.rows);
}

// The result of one read_matrix call, with its storage released afterwards
// using the dimensions the reader reported (which the registry checks).
struct RealRead {
  int code = -1;
  int rows = 0;
  int cols = 0;
  double** m = nullptr;
  StringSlot* names = nullptr;
  std::string output;

  ~RealRead() {
    if (rows > 0 && cols > 0) free_real_matrix(rows, cols, &m);
    if (cols > 0) free_string_vector(cols, &names);
  }
  std::vector<std::string> name_list() const {
    std::vector<std::string> v;
    for (int j = 0; j < cols; j++) v.push_back(names[j]);
    return v;
  }
};

// A fixture for reading matrix files: a fresh folder, the registry on, and
// every block the test allocates released again by the end.
class MatrixFileTest : public ::testing::Test {
 protected:
  TempDir dir;
  TrackingScope tracking{true};
  RegistrySnapshot before;

  std::string put(const std::string& name, const std::string& content) {
    const std::string path = dir.file(name);
    write_file(path, content);
    return path;
  }
  void read(const std::string& path, RealRead* r) {
    CapturedOutput out;
    r->code = read_matrix(0, 0, &r->m, &r->rows, &r->cols, path.c_str(), &r->names);
    r->output = out.text();
  }
  void TearDown() override { expect_registry_back_to(before); }
};

#endif  // DORVE_TESTS_UNIT_DATA_TEST_SUPPORT_H_
