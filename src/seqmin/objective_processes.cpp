#include "seqmin/objective_processes.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "base/interpreter.h"

extern char** environ;

namespace {

constexpr const char* kShell = "/bin/sh";
constexpr const char* kNoInput = "/dev/null";
// How often a command with a time limit is looked at, and how long the
// commands that overran it get to end after the termination request.
constexpr long kPollNanoseconds = 50 * 1000 * 1000;
constexpr int kTimeoutGraceSeconds = 5;

// Exit statuses by which a shell reports that it did not find a command,
// could not run it, or that it ended on signal s (kShellSignalBase + s).
constexpr int kShellNotFound = 127;
constexpr int kShellCannotRun = 126;
constexpr int kShellSignalBase = 128;

// ---- Words of a command ----

bool is_blank(char c) { return c == ' ' || c == '\t'; }

// Length of the word that starts at text (up to the next blank or the end).
int word_length(const char* text) {
  int length = 0;
  while (text[length] != '\0' && !is_blank(text[length])) length++;
  return length;
}

bool is_exchange_word(const char* word, int length) {
  const int name_length = static_cast<int>(strlen(kExchangeFile));
  return length == name_length && strncmp(word, kExchangeFile, length) == 0;
}

// Appends length characters of text to buffer (used characters *used); false
// when they and the terminator do not fit.
bool append_text(const char* text, int length, char* buffer, int capacity, int* used) {
  if (length >= capacity - *used) return false;
  memcpy(buffer + *used, text, length);
  *used += length;
  buffer[*used] = '\0';
  return true;
}

// ---- Signals while the commands run ----

// The process group of the running commands (0: none). Read by the handler.
volatile sig_atomic_t g_running_group = 0;

// The signals that end the commands too (each gets a termination request:
// the one every program ends on, and on which a cluster launcher such as
// srun cancels its job step, where a single interrupt only makes it report),
// and what the program did with them before the commands started.
const int kPassedOn[] = {SIGHUP, SIGINT, SIGTERM};
constexpr int kPassedOnCount = sizeof kPassedOn / sizeof kPassedOn[0];
struct sigaction g_previous[kPassedOnCount];
bool g_replaced[kPassedOnCount];

// Sends the commands' process group a termination request, then lets the
// signal take the course it had before: the previous handler, or the default
// action (the signal is blocked while this runs, so the raised one arrives on
// return). Only async-signal-safe calls are made.
void pass_on_signal(int signal_number) {
  const pid_t group = g_running_group;
  if (group > 0) kill(-group, SIGTERM);
  for (int i = 0; i < kPassedOnCount; i++) {
    if (kPassedOn[i] != signal_number) continue;
    const struct sigaction& previous = g_previous[i];
    if (previous.sa_handler == SIG_DFL) {
      signal(signal_number, SIG_DFL);
      raise(signal_number);
    } else if (previous.sa_handler != SIG_IGN) {
      previous.sa_handler(signal_number);
    }
  }
}

// A signal the program ignores stays ignored (the commands inherit that).
void pass_signals_on() {
  struct sigaction action;
  memset(&action, 0, sizeof action);
  action.sa_handler = pass_on_signal;
  sigemptyset(&action.sa_mask);
  for (int i = 0; i < kPassedOnCount; i++) {
    g_replaced[i] = false;
    if (sigaction(kPassedOn[i], nullptr, &g_previous[i]) != 0) continue;
    if (g_previous[i].sa_handler == SIG_IGN) continue;
    g_replaced[i] = sigaction(kPassedOn[i], &action, nullptr) == 0;
  }
}

void restore_signals() {
  for (int i = 0; i < kPassedOnCount; i++)
    if (g_replaced[i]) sigaction(kPassedOn[i], &g_previous[i], nullptr);
}

// ---- Processes ----

// Starts "/bin/sh -c command" in process group group (0: a new group led by
// the new process). Returns its process id, or 0 when it could not start.
pid_t start_command(const char* command, pid_t group) {
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  if (posix_spawn_file_actions_init(&actions) != 0) return 0;
  if (posix_spawnattr_init(&attributes) != 0) {
    posix_spawn_file_actions_destroy(&actions);
    return 0;
  }
  pid_t pid = 0;
  char* argv[] = {const_cast<char*>("sh"), const_cast<char*>("-c"), const_cast<char*>(command),
                  nullptr};
  const bool ready =
      posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, kNoInput, O_RDONLY, 0) == 0 &&
      posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP) == 0 &&
      posix_spawnattr_setpgroup(&attributes, group) == 0;
  if (!ready || posix_spawn(&pid, kShell, &actions, &attributes, argv, environ) != 0) pid = 0;
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

// Waits for pid to end and records how it ended. A process that cannot be
// waited for (it was reaped elsewhere) counts as ended, its status unknown.
void wait_for(pid_t pid, CommandOutcome* outcome) {
  int status = 0;
  pid_t got;
  while ((got = waitpid(pid, &status, 0)) < 0 && errno == EINTR) {
  }
  outcome->status_known = got == pid;
  outcome->status = got == pid ? status : 0;
}

// Whether pid has ended (recording how), without waiting.
bool has_ended(pid_t pid, CommandOutcome* outcome) {
  int status = 0;
  const pid_t got = waitpid(pid, &status, WNOHANG);
  if (got == 0 || (got < 0 && errno == EINTR)) return false;
  outcome->status_known = got == pid;
  outcome->status = got == pid ? status : 0;
  return true;
}

double seconds_now() {
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<double>(now.tv_sec) + now.tv_nsec * 1e-9;
}

void pause_briefly() {
  const struct timespec pause = {0, kPollNanoseconds};
  nanosleep(&pause, nullptr);
}

// Polls the commands still running until all have ended or the deadline
// (seconds_now() scale) has passed; returns how many are still running.
int poll_until(int count, const pid_t* pids, bool* running, CommandOutcome* outcomes,
               double deadline) {
  for (;;) {
    int left = 0;
    for (int i = 0; i < count; i++) {
      if (running[i] && has_ended(pids[i], &outcomes[i])) running[i] = false;
      if (running[i]) left++;
    }
    if (left == 0 || seconds_now() >= deadline) return left;
    pause_briefly();
  }
}

// Waits for the commands with a time limit: those still running when it
// has passed are marked as timed out and their process group gets a
// termination request (on which srun cancels its job step), then, after a
// grace period, a kill.
void wait_with_timeout(int count, const pid_t* pids, pid_t group, CommandOutcome* outcomes,
                       int timeout_seconds) {
  bool* running = new bool[count];
  for (int i = 0; i < count; i++) running[i] = outcomes[i].started;
  const double start = seconds_now();
  if (poll_until(count, pids, running, outcomes, start + timeout_seconds) > 0) {
    for (int i = 0; i < count; i++)
      if (running[i]) outcomes[i].timed_out = true;
    kill(-group, SIGTERM);
    if (poll_until(count, pids, running, outcomes, seconds_now() + kTimeoutGraceSeconds) > 0)
      kill(-group, SIGKILL);
  }
  for (int i = 0; i < count; i++)
    if (running[i]) wait_for(pids[i], &outcomes[i]);
  delete[] running;
}

}  // namespace

void slot_file_name(int slot, char* name, int capacity) {
  snprintf(name, capacity, "%s.%d", kExchangeFile, slot);
}

bool names_exchange_file(const char* command) {
  for (const char* p = command; *p != '\0';) {
    if (is_blank(*p)) {
      p++;
      continue;
    }
    const int length = word_length(p);
    if (is_exchange_word(p, length)) return true;
    p += length;
  }
  return false;
}

bool slot_command_line(const char* objective, bool is_command, const char* file, char* buffer,
                       int capacity) {
  if (capacity < 1) return false;
  buffer[0] = '\0';
  int used = 0;
  bool fits = true;
  if (!is_command) {
    fits = append_text(objective, static_cast<int>(strlen(objective)), buffer, capacity, &used) &&
           append_text(" ", 1, buffer, capacity, &used) &&
           append_text(file, static_cast<int>(strlen(file)), buffer, capacity, &used);
  } else {
    for (const char* p = objective; *p != '\0' && fits;) {
      const int length = is_blank(*p) ? 1 : word_length(p);
      if (!is_blank(*p) && is_exchange_word(p, length))
        fits = append_text(file, static_cast<int>(strlen(file)), buffer, capacity, &used);
      else
        fits = append_text(p, length, buffer, capacity, &used);
      p += length;
    }
  }
  if (!fits) buffer[0] = '\0';
  return fits;
}

void run_commands_at_once(int count, const char* const* commands, CommandOutcome* outcomes,
                          int timeout_seconds) {
  // The commands share the standard streams: what was printed so far must
  // come before whatever they print.
  fflush(out_stream());
  fflush(stdout);
  pid_t* pids = new pid_t[count];
  pass_signals_on();
  pid_t group = 0;
  for (int i = 0; i < count; i++) {
    outcomes[i] = CommandOutcome();
    pids[i] = start_command(commands[i], group);
    outcomes[i].started = pids[i] > 0;
    if (outcomes[i].started && group == 0) {
      group = pids[i];
      g_running_group = group;
    }
  }
  if (timeout_seconds > 0 && group != 0) {
    wait_with_timeout(count, pids, group, outcomes, timeout_seconds);
  } else {
    for (int i = 0; i < count; i++)
      if (outcomes[i].started) wait_for(pids[i], &outcomes[i]);
  }
  g_running_group = 0;
  restore_signals();
  delete[] pids;
}

CommandOutcome outcome_of_system(int status) {
  CommandOutcome outcome;
  outcome.started = status != -1;
  outcome.status_known = outcome.started;
  outcome.status = outcome.started ? status : 0;
  return outcome;
}

bool command_failed(const CommandOutcome& outcome, const char* file, int timeout_seconds,
                    char* message, int capacity) {
  if (!outcome.started) {
    snprintf(message, capacity, "%s", "sample_new_y: Can't run the objective command. ");
    return true;
  }
  if (outcome.timed_out) {
    snprintf(message, capacity,
             "The objective command for %s ran longer than ObjectiveTimeout (%d s) and was "
             "stopped.",
             file, timeout_seconds);
    return true;
  }
  if (!outcome.status_known) return false;
  const int status = outcome.status;
  if (WIFSIGNALED(status)) {
    snprintf(message, capacity, "The objective command for %s was ended by signal %d (%s).",
             file, WTERMSIG(status), strsignal(WTERMSIG(status)));
    return true;
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) == 0) return false;
  const int code = WEXITSTATUS(status);
  char why[96] = "";
  if (code == kShellNotFound)
    snprintf(why, sizeof why, " (the shell did not find the command)");
  else if (code == kShellCannotRun)
    snprintf(why, sizeof why, " (the shell could not run the command)");
  else if (code > kShellSignalBase && code - kShellSignalBase < NSIG)
    snprintf(why, sizeof why, " (the shell's report of signal %d, %s)", code - kShellSignalBase,
             strsignal(code - kShellSignalBase));
  snprintf(message, capacity, "The objective command for %s exited with status %d%s.", file,
           code, why);
  return true;
}
