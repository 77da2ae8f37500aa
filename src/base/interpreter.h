// The interpreter record: where everything the program prints goes, and
// where commands come from.
#ifndef DORVE_BASE_INTERPRETER_H_
#define DORVE_BASE_INTERPRETER_H_

#include <cstdio>
#include <cstring>

#include "base/progress.h"

struct Interpreter {
  FILE* out = nullptr;       // prompts, echoes, messages and listings
  FILE* cmd_file = nullptr;  // command file, or null when interactive
  bool interactive = true;   // commands from standard input, no echo
  bool first_command = true; // until the first line with a token is dispatched
  bool strict = false;       // --strict: the first refused command ends the run
};

// The one interpreter of the run.
extern Interpreter g_interp;

// Where this thread's output goes instead of the output stream (null: the
// output stream itself); work run on a pool of threads prints into buffers
// that are put out in order afterwards.
extern thread_local FILE* t_out_capture;

// The output stream; standard output until the command line names a file.
// When it is the terminal the progress line is shown on, that line is taken
// away before anything is printed.
inline FILE* out_stream() {
  if (t_out_capture != nullptr) return t_out_capture;
  FILE* out = g_interp.out ? g_interp.out : stdout;
  if (g_progress_shown.load(std::memory_order_relaxed)) clear_progress_for(out);
  return out;
}

// Puts text on the output stream as it is.
inline void say(const char* text) { fputs(text, out_stream()); }

// "screen" or "s" in place of a file name means the output stream.
inline bool is_screen(const char* name) {
  return strcmp(name, "screen") == 0 || strcmp(name, "s") == 0;
}

// The version number printed in the banner and in every matrix file written.
constexpr double kDorveVersion = 1.4;

#endif  // DORVE_BASE_INTERPRETER_H_
