// The command loop: prompt, read, tokenize, echo, dispatch.
#ifndef DORVE_INTERP_COMMAND_LOOP_H_
#define DORVE_INTERP_COMMAND_LOOP_H_

#include "interp/command_table.h"

// Exit status of a run that --strict ended at a refused command.
constexpr int kStrictExitStatus = 3;

// Runs commands until a quit command or the end of the input (returns 0),
// or with --strict until a line is refused (returns kStrictExitStatus, after
// saying so on standard error). A fatal error raised by a command (a
// FatalError, or memory that runs out, which becomes one) ends the loop and
// passes on to the caller, which prints it and ends the run with its status.
int run_command_loop(Session& session);

#endif  // DORVE_INTERP_COMMAND_LOOP_H_
