// Fatal errors, one-line notices and the vector and matrix printers.
#ifndef DORVE_BASE_MESSAGES_H_
#define DORVE_BASE_MESSAGES_H_

#include <cstddef>
#include <string>

#include "base/string_slot.h"

// Takes over a fatal error instead of ending the run: called with the message
// (and the value line of fatal_error_value, else null) and the exit status
// the run would have ended with; it must not return. A test harness that runs
// many sessions in one process installs one that hands control back to it.
using FatalErrorHandler = void (*)(const char* message, const char* value_line, int status);

// Installs handler (null: the default, which ends the run).
void set_fatal_error_handler(FatalErrorHandler handler);

// A fatal error held back on a worker thread, to be raised again on the
// calling thread once the output printed before it is out.
struct CapturedFatal {
  bool raised = false;
  bool with_value = false;  // from fatal_error_value
  std::string message;
  std::string label;
  double value = 0.0;
};

// What fatal_error and fatal_error_value throw while a capture is set on the
// thread, after filling it in.
struct FatalErrorCaptured {};

// While capture is not null, fatal errors on this thread fill it in and throw
// FatalErrorCaptured instead of ending the run (and the handler is not
// called). Returns the capture that was set before.
CapturedFatal* set_thread_fatal_capture(CapturedFatal* capture);

// Raises a captured fatal error again with the same text: fatal_error or
// fatal_error_value, the handler included.
[[noreturn]] void raise_captured_fatal(const CapturedFatal& fatal);

// Ends the run with status after an error whose message (passed on to the
// handler) is already printed: exit(status), or the fatal-error handler.
[[noreturn]] void end_run_after_error(const char* message, int status);

// Ends the run with status 1 after "DORVE ERROR... " and the message on
// standard error; output already written is flushed by the normal exit path.
[[noreturn]] void fatal_error(const char* message);

// Ends the run with status 2, showing the offending value with its label.
[[noreturn]] void fatal_error_value(const char* message, double value, const char* label);

// The command being run (its name as the command table knows it), for the
// message about memory that runs out; the command loop sets it.
void set_current_command(const char* name);
// Its name ("dorve" outside a command).
const char* current_command();

// Records the size of an allocation that could not be satisfied, for the
// message of report_memory_shortage (the program's operator new and the
// heap functions of the storage call it).
void note_failed_allocation(size_t bytes);

// "<command>: not enough memory: an allocation of <size> failed." on standard
// error, with the size last noted.
void report_memory_shortage();

// The same, then ends the run with status 1 (the allocation of a command
// that ran out of memory leaves no state worth keeping).
[[noreturn]] void fatal_memory_shortage();

// "Info : %s\n" and "WARNING: %s\n" on the output stream.
void print_info(const char* text);
void print_warning(const char* text);

void print_string_vector(int n, const StringSlot* v, const char* label);
void print_real_vector(int n, const double* v, const char* label);
void print_real_matrix(int rows, int cols, double* const* m, const char* label, bool precise);
void print_string_matrix(int rows, int cols, StringSlot* const* m, const char* label);

#endif  // DORVE_BASE_MESSAGES_H_
