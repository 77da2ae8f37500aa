// One-line notices, the vector and matrix printers, and the message about
// memory that runs out; with the fatal errors (fatal_error.h).
#ifndef DORVE_BASE_MESSAGES_H_
#define DORVE_BASE_MESSAGES_H_

#include <cstddef>

#include "base/fatal_error.h"
#include "base/string_slot.h"

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

// The fatal error of the same message (status 1): the allocation of a
// command that ran out of memory leaves no state worth keeping.
FatalError memory_shortage_error();

// "Info : %s\n" and "WARNING: %s\n" on the output stream.
void print_info(const char* text);
void print_warning(const char* text);

void print_string_vector(int n, const StringSlot* v, const char* label);
void print_real_vector(int n, const double* v, const char* label);
void print_real_matrix(int rows, int cols, double* const* m, const char* label, bool precise);
void print_string_matrix(int rows, int cols, StringSlot* const* m, const char* label);

#endif  // DORVE_BASE_MESSAGES_H_
