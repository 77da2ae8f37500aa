// The command line: the options --help and --version, and the command file
// and output file of a batch run.
#ifndef DORVE_INTERP_COMMAND_LINE_H_
#define DORVE_INTERP_COMMAND_LINE_H_

#include <cstdio>

// A first argument that begins with "--" is an option. The display flags
// --progress and --quiet (the last one given counts) may lead the arguments:
// they set the progress display and are taken out of argc and argv. Then
// --help and --version, standing alone, print to standard output and give
// status 0; any other option, or an option followed by more arguments,
// prints the usage on standard error and gives status 2. Returns -1 when no
// option follows the display flags: the run goes on, and the next argument
// names the command file.
int handle_command_line_options(int* argc, char** argv, FILE* out, FILE* err);

// Removes a first argument "--strict" from the arguments (the others move
// up one place) and returns true; false, changing nothing, without it.
bool take_strict_flag(int* argc, char** argv);

// Sets the command source and the output stream from the arguments, and
// announces them on the output stream. The usage error (more than two
// arguments) and an unopenable command file end the run with status 1.
void open_streams(int argc, char** argv);

// Closes the output stream and the command file at the end of the run and
// returns the exit status: 0, or 1 after saying so on standard error when
// some of the transcript (the output stream, or standard output beside an
// output file) could not be written, so that a lost transcript is never
// taken for a good one.
int close_streams();

// Every fprintf reaches the file at once. The output is a listing of modest
// size, so the extra writes cost little, and a run ended by a signal keeps
// all it printed. Must precede the first output on the stream.
void unbuffer_output(FILE* f);

#endif  // DORVE_INTERP_COMMAND_LINE_H_
