// Reads one command line for the command loop.
#ifndef DORVE_INTERP_LINE_READER_H_
#define DORVE_INTERP_LINE_READER_H_

#include <cstdio>

// Size of the command-line buffer, terminator included.
constexpr int kLineBufferSize = 130;

// Reads at most kLineBufferSize - 1 characters into line, stopping after a
// newline. A longer line arrives in pieces, each a command line of its own.
// A carriage return before the newline belongs to the line end and is
// dropped. From a command file the newline stays in the line; from the
// console (keep_newline false) it is removed. Returns false at the end of
// the input, when nothing was read.
bool read_command_line(FILE* source, bool keep_newline, char* line);

#endif  // DORVE_INTERP_LINE_READER_H_
