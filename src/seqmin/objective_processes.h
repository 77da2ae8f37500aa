// The outside objective as processes: the exchange file of each evaluation
// slot, the command line that runs the objective on it, and the running of
// several such commands at once.
//
// One evaluation at a time uses the exchange file "dorve.temp". With q
// evaluations at once, slot k (1..q) uses "dorve.temp.k": an objective
// program gets that name as its argument, and in an objective command every
// word "dorve.temp" is replaced by it.
#ifndef DORVE_SEQMIN_OBJECTIVE_PROCESSES_H_
#define DORVE_SEQMIN_OBJECTIVE_PROCESSES_H_

// The exchange file, in the working directory.
constexpr const char* kExchangeFile = "dorve.temp";

// Room for a slot's exchange file name ("dorve.temp." and up to 10 digits).
constexpr int kSlotFileNameSize = 24;

// "dorve.temp.k" for slot k.
void slot_file_name(int slot, char* name, int capacity);

// True when the command has the word "dorve.temp" (words are separated by
// blanks or tabs).
bool names_exchange_file(const char* command);

// The command line of one slot: the program followed by file, or (is_command)
// the command with every word "dorve.temp" replaced by file. Bounded by
// capacity; false (buffer holding an empty text) when it does not fit.
bool slot_command_line(const char* objective, bool is_command, const char* file, char* buffer,
                       int capacity);

// How one objective command ended.
struct CommandOutcome {
  bool started = false;       // it could be started at all
  bool timed_out = false;     // it overran the time limit and was stopped
  bool status_known = false;  // status holds its wait status
  int status = 0;             // as waitpid reports it
};

// Runs the count commands at once, each as "/bin/sh -c command", and waits
// until every one has ended; outcomes[i] says how command i ended. The
// commands share standard output and standard error with the program and
// read standard input from /dev/null, so that they cannot take the
// program's own command lines. They run in a process group of their own: a
// hangup, interrupt or termination request that reaches the program while
// they run sends all of them, and every process they started, a termination
// request, and then takes its usual course. With timeout_seconds > 0, the
// commands still running that many seconds after the start are marked as
// timed out and their group gets a termination request (on which srun
// cancels its job step), and a kill 5 seconds later if any is still there.
void run_commands_at_once(int count, const char* const* commands, CommandOutcome* outcomes,
                          int timeout_seconds);

// The outcome of a command run by system(), from what system() returned.
CommandOutcome outcome_of_system(int status);

// True, with the reason in message (naming the exchange file of the
// evaluation), when the command's end fails its evaluation: it could not be
// started, it overran timeout_seconds, a signal ended it, or its exit status
// is not 0 (statuses by which a shell reports a missing command or a signal
// are explained). False for status 0, and when the status is unknown.
bool command_failed(const CommandOutcome& outcome, const char* file, int timeout_seconds,
                    char* message, int capacity);

#endif  // DORVE_SEQMIN_OBJECTIVE_PROCESSES_H_
