// A one-line display of how far long work has come (a fit's tries, the
// evaluations of Evaluate and Minimize), on standard error, rewritten in
// place and taken away when the command ends. It is never part of the output
// stream: with the transcript in a file, the terminal shows only this line.
//
// By default the line is shown when standard error is a terminal; the
// command-line flags --progress and --quiet force it on and off.
#ifndef DORVE_BASE_PROGRESS_H_
#define DORVE_BASE_PROGRESS_H_

#include <atomic>
#include <cstdio>

enum class ProgressMode { kWhenTerminal, kOn, kOff };

void set_progress_mode(ProgressMode mode);

// True when a new line would be drawn now: the display is on and the last
// one was drawn long enough ago (a tenth of a second) or has been taken
// away. Lets a caller that updates very often skip building its text.
bool progress_due();

// Shows the line (printf format) in place of the one shown, when
// progress_due. Any thread may call it; calls are serialised.
void show_progress(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Takes the line away; called when every command ends, and before a fatal
// error's message.
void end_progress();

// Set while a line is shown.
extern std::atomic<bool> g_progress_shown;

// Takes the line away when out is the same terminal, so that what is about
// to be printed there starts on a clean line; the next show_progress draws
// it again. out_stream calls it while a line is shown.
void clear_progress_for(FILE* out);

#endif  // DORVE_BASE_PROGRESS_H_
