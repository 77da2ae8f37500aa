// The help listing of the commands and options.
#ifndef DORVE_INTERP_HELP_H_
#define DORVE_INTERP_HELP_H_

// Prints the listing when the command stands alone (count 1); otherwise
// only the one-line complaint about the extra tokens.
void print_help(int count);

#endif  // DORVE_INTERP_HELP_H_
