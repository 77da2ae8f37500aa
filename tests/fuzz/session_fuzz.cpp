// Fuzzes whole sessions. An input is a command file followed by the files it
// reads, each introduced by a line "%%% name":
//
//   X < design.mat
//   Fit
//   %%% design.mat
//   <contents of design.mat>
//
// Leak detection is off for this target: a fatal error abandons the model
// store in the middle of a command, and that memory is not recovered.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_support.h"

namespace {

constexpr const char* kFileMark = "\n%%% ";
constexpr size_t kMaxFiles = 6;
constexpr size_t kMaxNameLength = 40;

// Splits the input; false when it does not fit the limits of a fuzzed session.
bool split_input(const std::string& input, std::string* commands, std::vector<FuzzFile>* files) {
  size_t mark = input.find(kFileMark);
  *commands = input.substr(0, mark == std::string::npos ? input.size() : mark + 1);
  while (mark != std::string::npos) {
    const size_t name_start = mark + strlen(kFileMark);
    const size_t name_end = input.find('\n', name_start);
    if (name_end == std::string::npos) return true;
    const size_t next = input.find(kFileMark, name_end);
    FuzzFile file;
    file.name = input.substr(name_start, name_end - name_start);
    const size_t content_end = next == std::string::npos ? input.size() : next + 1;
    file.content = input.substr(name_end + 1, content_end - name_end - 1);
    if (file.name.empty() || file.name.size() > kMaxNameLength ||
        file.name.find_first_of(std::string("/\0", 2)) != std::string::npos)
      return false;
    if (count_lines(file.content) > kMaxFileLines || files->size() >= kMaxFiles) return false;
    files->push_back(file);
    mark = next;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz_setup();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  std::string commands;
  std::vector<FuzzFile> files;
  if (!split_input(input, &commands, &files) || !commands_acceptable(commands)) return 0;
  run_session(commands, files);
  return 0;
}
