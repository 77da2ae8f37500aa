// Tells whether a command was refused, for the --strict command-line flag,
// by watching what the program prints. Every refusal of a command, and every
// step that fails without ending the run, prints a line that begins the way
// the program's refusals always begin ("Sorry", "ERROR", "Unexpected input",
// "Cannot parse this line.", "Usage:", ...); warnings and information never
// do. The watch sees every line written through the stream it returns.
#ifndef DORVE_BASE_REFUSAL_WATCH_H_
#define DORVE_BASE_REFUSAL_WATCH_H_

#include <cstdio>

// A stream that writes everything through to target, unbuffered, and notes
// the refusal lines among it. Closing it closes target. Null when the stream
// cannot be made (the caller then writes to target itself).
FILE* open_refusal_watch(FILE* target);

// True when a line that begins with text is a refusal.
bool is_refusal_line(const char* text);

// Whether a refusal line was written since the last clear_refusals; a
// refusal printed elsewhere (on standard output beside an output file) is
// noted with note_refusal.
bool refusal_seen();
void clear_refusals();
void note_refusal();

// Writes text on standard output (where a few usage lines have always gone,
// whatever the output stream), noting it when it is a refusal.
void say_on_standard_output(const char* text);

#endif  // DORVE_BASE_REFUSAL_WATCH_H_
