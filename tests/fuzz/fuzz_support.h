// Shared by the fuzz targets: runs whole DORVE sessions in the fuzzer's
// process. A fatal error that ends a run by design hands control back to the
// target instead of exiting; a "Code Bug" fatal aborts, so the fuzzer reports
// it. Every process-wide state is reset before each session, the session's
// files live in a private scratch folder, output goes to /dev/null and the
// objective of Minimize is answered in-process: no shell command ever runs.
#ifndef DORVE_TESTS_FUZZ_FUZZ_SUPPORT_H_
#define DORVE_TESTS_FUZZ_FUZZ_SUPPORT_H_

#include <cstddef>
#include <string>
#include <vector>

struct FuzzFile {
  std::string name;
  std::string content;
};

// Sets the fatal-error handler and creates the scratch folder (once).
void fuzz_setup();

// Runs the command file `commands` against a fresh program state, with
// `files` written beside it. Returns false when a fatal error ended it.
bool run_session(const std::string& commands, const std::vector<FuzzFile>& files);

// Number of line ends in text (a "\r\n" pair counts once).
int count_lines(const std::string& text);

// True when a command file is fit to fuzz: no path separator (every file
// stays in the scratch folder) and no count option or stage size above the
// limits that keep one input fast.
bool commands_acceptable(const std::string& commands);

// Largest number of lines an input file may have (each observation costs a
// row and a column of the correlation matrix).
constexpr int kMaxFileLines = 40;

#endif  // DORVE_TESTS_FUZZ_FUZZ_SUPPORT_H_
