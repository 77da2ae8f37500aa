// The command loop: prompt, read, tokenize, echo, dispatch.
#ifndef DORVE_INTERP_COMMAND_LOOP_H_
#define DORVE_INTERP_COMMAND_LOOP_H_

#include "interp/command_table.h"

// Runs commands until a quit command or the end of the input.
void run_command_loop(Session& session);

#endif  // DORVE_INTERP_COMMAND_LOOP_H_
