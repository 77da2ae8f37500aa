// Fatal errors: an internal inconsistency, an exhausted heap or a numerically
// impossible state ends the run. The routines here raise a FatalError, which
// unwinds to the command loop (src/interp/command_loop.cpp) and on to main,
// which prints its text on standard error, after everything the run printed
// before it, and ends the run with its status. Nothing below the command
// layer ends the program itself.
//
// Work that holds its output back (the tries of a fit on threads, see
// ordered_tasks.h) catches the error, puts out what was printed before it,
// and raises it again.
#ifndef DORVE_BASE_FATAL_ERROR_H_
#define DORVE_BASE_FATAL_ERROR_H_

#include <string>

struct FatalError {
  std::string message;
  bool with_value = false;  // from fatal_error_value: label and value are shown
  std::string label;
  double value = 0.0;
  int status = 1;        // the run's exit status: 1, or 2 with a value
  bool printed = false;  // the text is on standard error already
};

// Raises the error that prints "DORVE ERROR... \n", the message and
// "Now exiting to system ... \n ", and ends the run with status 1.
[[noreturn]] void fatal_error(const char* message);

// Raises the error that prints "DORVE error ... \n", the label with the
// value, the message and the closing line, and ends the run with status 2.
[[noreturn]] void fatal_error_value(const char* message, double value, const char* label);

// Raises the error that ends the run with status after a message that the
// caller has printed already (nothing more is printed).
[[noreturn]] void end_run_after_error(const char* message, int status);

// The check of a rule the program itself keeps (a "Code Bug" when broken):
// when holds is false, the fatal error of message.
[[noreturn]] void invariant_broken(const char* message);
inline void check_invariant(bool holds, const char* message) {
  if (!holds) invariant_broken(message);
}

// What the error prints on standard error (empty when printed already).
std::string fatal_error_text(const FatalError& error);

// Takes the progress line away, prints the error's text on standard error
// and returns the status the run ends with.
int report_fatal_error(const FatalError& error);

#endif  // DORVE_BASE_FATAL_ERROR_H_
