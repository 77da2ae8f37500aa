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

// Runs the count commands at once, each as "/bin/sh -c command", and waits
// until every one has ended. started[i] tells whether command i could be
// started at all; its exit status is not looked at (its answer is in its
// exchange file or not). The commands share standard output and standard
// error with the program and read standard input from /dev/null, so that
// they cannot take the program's own command lines. They run in a process
// group of their own: a hangup, interrupt or termination request that
// reaches the program while they run sends all of them, and every process
// they started, a termination request, and then takes its usual course.
void run_commands_at_once(int count, const char* const* commands, bool* started);

#endif  // DORVE_SEQMIN_OBJECTIVE_PROCESSES_H_
