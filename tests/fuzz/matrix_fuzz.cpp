// Fuzzes the matrix reader on every named matrix. The first byte of an input
// picks the matrix (its value modulo 6) and, through its higher bits, whether
// a small valid design and response are read first and whether the model is
// fitted afterwards, and whether the files are named ".csv" (comma-separated
// values) rather than ".mat"; the rest of the input is the matrix file. The
// matrix is then shown, written back and read again, so the writer meets
// whatever the reader accepted.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"

namespace {

const char* const kMatrixNames[] = {"X", "y", "YDescription", "StochasticProcessModel",
                                    "RegressionModel", "XDescription"};

const char* const kDesign =
    "--\n x1 x2\n--\n 0.1 0.2\n 0.9 0.4\n 0.5 0.8\n 0.3 0.6\n 0.7 0.1\n";
const char* const kResponses = "--\n y1 y2\n--\n 1.0 2.0\n 3.5 0.5\n 2.0 1.5\n 0.4 2.2\n 1.1 0.9\n";

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz_setup();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const std::string name = kMatrixNames[data[0] % 6];
  const bool preload = (data[0] & 0x40) != 0;
  const bool fit = (data[0] & 0x80) != 0;
  const std::string ending = (data[0] & 0x20) != 0 ? ".csv" : ".mat";
  std::vector<FuzzFile> files = {{"in" + ending, std::string(reinterpret_cast<const char*>(data) + 1,
                                                        size - 1)}};
  if (count_lines(files[0].content) > kMaxFileLines) return 0;
  std::string commands;
  if (preload) {
    files.push_back({"design.mat", kDesign});
    files.push_back({"responses.mat", kResponses});
    commands += "X < design.mat\ny < responses.mat\n";
  }
  commands += name + " < in" + ending + "\n" + name + "\n" + name + " > out" + ending + "\n" +
              name + " < out" + ending + "\n";
  if (fit) commands += "Fit\nCrossValidate\n";
  commands += "Database\n";
  run_session(commands, files);
  return 0;
}
