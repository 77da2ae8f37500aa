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

#include "base/interpreter.h"

extern char** environ;

namespace {

constexpr const char* kShell = "/bin/sh";
constexpr const char* kNoInput = "/dev/null";

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

void wait_for(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
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

void run_commands_at_once(int count, const char* const* commands, bool* started) {
  // The commands share the standard streams: what was printed so far must
  // come before whatever they print.
  fflush(out_stream());
  fflush(stdout);
  pid_t* pids = new pid_t[count];
  pass_signals_on();
  pid_t group = 0;
  for (int i = 0; i < count; i++) {
    pids[i] = start_command(commands[i], group);
    started[i] = pids[i] > 0;
    if (started[i] && group == 0) {
      group = pids[i];
      g_running_group = group;
    }
  }
  for (int i = 0; i < count; i++)
    if (started[i]) wait_for(pids[i]);
  g_running_group = 0;
  restore_signals();
  delete[] pids;
}
