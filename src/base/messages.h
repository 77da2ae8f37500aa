// Fatal errors, one-line notices and the vector and matrix printers.
#ifndef DORVE_BASE_MESSAGES_H_
#define DORVE_BASE_MESSAGES_H_

#include "base/string_slot.h"

// Ends the run with status 1 after "DORVE ERROR... " and the message on
// standard error; output already written is flushed by the normal exit path.
[[noreturn]] void fatal_error(const char* message);

// Ends the run with status 2, showing the offending value with its label.
[[noreturn]] void fatal_error_value(const char* message, double value, const char* label);

// "Info : %s\n" and "WARNING: %s\n" on the output stream.
void print_info(const char* text);
void print_warning(const char* text);

void print_string_vector(int n, const StringSlot* v, const char* label);
void print_real_vector(int n, const double* v, const char* label);
void print_real_matrix(int rows, int cols, double* const* m, const char* label, bool precise);
void print_string_matrix(int rows, int cols, StringSlot* const* m, const char* label);

#endif  // DORVE_BASE_MESSAGES_H_
