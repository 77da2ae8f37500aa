// The interpreter record: where everything the program prints goes, and
// where commands come from.
#ifndef DORVE_BASE_INTERPRETER_H_
#define DORVE_BASE_INTERPRETER_H_

#include <cstdio>
#include <cstring>

struct Interpreter {
  FILE* out = nullptr;       // prompts, echoes, messages and listings
  FILE* cmd_file = nullptr;  // command file, or null when interactive
  bool interactive = true;   // commands from standard input, no echo
  bool first_command = true; // until the first line with a token is dispatched
};

// The one interpreter of the run.
extern Interpreter g_interp;

// The output stream; standard output until the command line names a file.
inline FILE* out_stream() { return g_interp.out ? g_interp.out : stdout; }

// Puts text on the output stream as it is.
inline void say(const char* text) { fputs(text, out_stream()); }

// "screen" or "s" in place of a file name means the output stream.
inline bool is_screen(const char* name) {
  return strcmp(name, "screen") == 0 || strcmp(name, "s") == 0;
}

// The version number printed in the banner and in every matrix file written.
constexpr double kDorveVersion = 1.4;

#endif  // DORVE_BASE_INTERPRETER_H_
