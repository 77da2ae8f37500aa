// Reads one command line for the command loop.
#ifndef DORVE_INTERP_LINE_READER_H_
#define DORVE_INTERP_LINE_READER_H_

#include <cstdio>

// Size of the command-line buffer, terminator included.
constexpr int kLineBufferSize = 130;
// Longest command line accepted, its line end not counted.
constexpr int kMaxCommandLine = kLineBufferSize - 1;

enum class LineRead {
  kLine,     // a whole line is in the buffer
  kTooLong,  // the line had more than kMaxCommandLine characters: the buffer
             // holds its first ones, the rest up to its line end is skipped
  kEnd,      // the end of the input, nothing read
};

// Reads one line into line (kLineBufferSize characters), stopping after a
// newline. A line longer than kMaxCommandLine characters is read to its end
// and reported as kTooLong, so that nothing of it is taken as a command. A
// carriage return before the newline belongs to the line end and is
// dropped. From a command file the newline stays in the line; from the
// console (keep_newline false) it is removed.
LineRead read_command_line(FILE* source, bool keep_newline, char* line);

#endif  // DORVE_INTERP_LINE_READER_H_
