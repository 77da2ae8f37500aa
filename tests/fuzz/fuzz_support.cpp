#include "fuzz_support.h"

#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>

#include "data/model_matrices.h"
#include "data/model_store.h"
#include "interp/command_loop.h"
#include "base/interpreter.h"
#include "interp/line_reader.h"
#include "base/messages.h"
#include "base/settings.h"
#include "base/tokenizer.h"
#include "kriging/krigfit.h"
#include "kriging/predictor.h"
#include "numeric/alloc_registry.h"
#include "numeric/random.h"
#include "numeric/space_filling.h"
#include "optim/powell.h"
#include "seqmin/expected_improvement.h"
#include "seqmin/folder_lock.h"
#include "seqmin/minimize_steps.h"

namespace {

std::string g_scratch;     // the private folder every session runs in
int g_home_fd = -1;        // the folder to return to after a session
FILE* g_null_out = nullptr;
int g_objective_calls = 0;  // answers given in the current session

// After this many answers the objective answers NA, which ends Minimize.
constexpr int kObjectiveAnswers = 2;
// Responses written per answer; the program reads as many as it has y variables.
constexpr int kObjectiveResponses = 30;
// A session file that, when present, holds the objective's answer.
constexpr const char* kAnswersFile = "answers";

// A fatal error ends the session; one whose message says "Code Bug" is a
// fault of the program and a finding.
void check_fatal_error(const FatalError& error) {
  if (strstr(error.message.c_str(), "Code Bug") != nullptr ||
      strstr(error.label.c_str(), "Code Bug") != nullptr) {
    fprintf(stderr, "DORVE fatal error reports a fault: %s\n", error.message.c_str());
    abort();
  }
}

std::set<int> open_descriptors() {
  std::set<int> fds;
  DIR* dir = opendir("/proc/self/fd");
  if (dir == nullptr) return fds;
  const int own = dirfd(dir);
  while (dirent* e = readdir(dir)) {
    if (e->d_name[0] == '.') continue;
    const int fd = atoi(e->d_name);
    if (fd != own) fds.insert(fd);
  }
  closedir(dir);
  return fds;
}

// Files a fatal error left open would otherwise exhaust the descriptors.
void close_new_descriptors(const std::set<int>& before) {
  for (int fd : open_descriptors())
    if (before.count(fd) == 0) close(fd);
}

void empty_scratch() {
  DIR* dir = opendir(".");
  if (dir == nullptr) abort();
  std::vector<std::string> names;
  while (dirent* e = readdir(dir))
    if (strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0) names.push_back(e->d_name);
  closedir(dir);
  for (const std::string& name : names) unlink(name.c_str());
}

void write_file(const std::string& name, const std::string& content) {
  FILE* f = fopen(name.c_str(), "wb");
  if (f == nullptr) return;  // a name the file system refuses: the session sees no file
  fwrite(content.data(), 1, content.size(), f);
  fclose(f);
}

// Every process-wide state back to what a fresh run starts with.
void reset_program_state() {
  g_interp = Interpreter();
  g_interp.out = g_null_out;
  g_interp.interactive = false;
  g_settings = Settings();
  set_random_seeds(10, 20, 1000);
  seed_design_stream(10);
  reset_alloc_registry();
  set_alloc_tracking(true);
  reset_powell_state();
  reset_minimize_state();
  PtsOutOfRange = 0;
  g_objective_calls = 0;
}

bool is_count_option(const char* word) {
  static const char* const kCounted[] = {"Tries", "GridSize", "MinimizeStage",
                                         "CriterionOptimTries", "MleMaxObs", "Design"};
  for (const char* name : kCounted)
    if (strcmp(word, name) == 0) return true;
  return false;
}

// The largest value the slow options may take in a fuzzed session.
constexpr double kMaxCount = 8.0;

}  // namespace

namespace {

// Reads the point from the exchange file name and appends responses of a
// smooth function, then NA once the session has had its answers. Returns
// 1 when the file cannot be read or written.
int answer_exchange_file(const char* name) {
  FILE* f = fopen(name, "r");
  if (f == nullptr) return 1;
  int d = 0;
  double x[64] = {0.0};
  if (fscanf(f, "%d", &d) != 1 || d < 0 || d > 64) d = 0;
  for (int j = 0; j < d; j++)
    if (fscanf(f, "%lf", &x[j]) != 1) x[j] = 0.0;
  fclose(f);
  f = fopen(name, "w");
  if (f == nullptr) return 1;
  fprintf(f, "%d ", d);
  for (int j = 0; j < d; j++) fprintf(f, " %.17g ", x[j]);
  const bool answer = ++g_objective_calls <= kObjectiveAnswers;
  // A session file named "answers" is what the objective writes back, as it
  // stands: the fuzzer's own words, numbers and lengths reach the reader.
  if (FILE* given = fopen(kAnswersFile, "r")) {
    char text[512];
    const size_t got = fread(text, 1, sizeof text, given);
    fclose(given);
    if (answer) fwrite(text, 1, got, f);
    fclose(f);
    return 0;
  }
  for (int k = 0; k < kObjectiveResponses; k++) {
    double y = 0.0;
    for (int j = 0; j < d; j++) y += (x[j] - 0.1 * (j + k)) * (x[j] - 0.1 * (j + k));
    if (answer)
      fprintf(f, " %.17g ", y);
    else
      fprintf(f, " NA ");
  }
  fclose(f);
  return 0;
}

// A process id no process can have (above any pid_max): waitpid and kill
// report it as unknown.
constexpr pid_t kNoSuchProcess = 0x7ffffff0;

}  // namespace

// Stands in for the C library's system(): the only caller is Minimize's
// objective, which answers through "dorve.temp".
extern "C" int system(const char* command) {
  if (command == nullptr) return 0;
  return answer_exchange_file("dorve.temp");
}

// Stands in for posix_spawn: the callers are Minimize and Evaluate, which run
// "/bin/sh -c command" once per evaluation; a fuzzed command must never reach
// a shell. Answers through the slot's file, the command's word that starts
// with "dorve.temp".
extern "C" int posix_spawn(pid_t* pid, const char*, const posix_spawn_file_actions_t*,
                           const posix_spawnattr_t*, char* const argv[], char* const[]) {
  const char* command = argv[2];
  const char* file = nullptr;
  for (const char* p = command; p != nullptr && *p != '\0'; p++)
    if (strncmp(p, "dorve.temp", 10) == 0 && (p == command || p[-1] == ' ')) file = p;
  // A command that names no exchange file is one evaluation at a time,
  // which reads "dorve.temp".
  char name[32];
  if (file != nullptr)
    snprintf(name, sizeof name, "%.*s", static_cast<int>(strcspn(file, " \t")), file);
  else
    snprintf(name, sizeof name, "dorve.temp");
  answer_exchange_file(name);
  *pid = kNoSuchProcess;
  return 0;
}

void fuzz_setup() {
  if (g_null_out != nullptr) return;
  g_null_out = fopen("/dev/null", "w");
  char pattern[] = "/tmp/dorve-fuzz-XXXXXX";
  if (g_null_out == nullptr || mkdtemp(pattern) == nullptr) abort();
  g_scratch = pattern;
  g_home_fd = open(".", O_RDONLY | O_DIRECTORY);
  if (g_home_fd < 0) abort();
}

bool run_session(const std::string& commands, const std::vector<FuzzFile>& files) {
  fuzz_setup();
  if (chdir(g_scratch.c_str()) != 0) abort();
  empty_scratch();
  for (const FuzzFile& file : files) write_file(file.name, file.content);
  write_file("commands", commands);

  const std::set<int> fds_before = open_descriptors();
  reset_program_state();
  bool finished = true;
  KrigModel* models = nullptr;
  KrigArray* ka = nullptr;
  try {
    models = create_first_KrigModel();
    ka = create_KrigArray();
    g_interp.cmd_file = fopen("commands", "r");
    if (g_interp.cmd_file == nullptr) abort();
    start_placeholder_store(models, ka);
    Session session;
    session.models = &models;
    session.ka = ka;
    run_command_loop(session);
    fclose(g_interp.cmd_file);
    free_model_store(ka, models);
  } catch (const FatalError& error) {
    check_fatal_error(error);
    // The store may be half-updated: it is abandoned, not released.
    close_new_descriptors(fds_before);
    finished = false;
  }
  fflush(g_null_out);
  if (fchdir(g_home_fd) != 0) abort();
  return finished;
}

int count_lines(const std::string& text) {
  int lines = 0;
  for (size_t i = 0; i < text.size(); i++) {
    if (text[i] == '\n') lines++;
    if (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n')) lines++;
  }
  return lines;
}

bool commands_acceptable(const std::string& commands) {
  if (commands.find('/') != std::string::npos) return false;
  // The lines as the command loop will see them.
  fuzz_setup();
  FILE* f = fmemopen(const_cast<char*>(commands.data()), commands.size(), "r");
  if (f == nullptr) return true;  // empty
  char* rows[10];
  static char storage[10][150];
  for (int i = 0; i < 10; i++) rows[i] = storage[i];
  char line[kLineBufferSize];
  FILE* saved_out = g_interp.out;
  g_interp.out = g_null_out;
  bool ok = true;
  LineRead got;
  while (ok && (got = read_command_line(f, true, line)) != LineRead::kEnd) {
    if (got == LineRead::kTooLong) continue;
    int count = 10;
    if (tokenize(line, &count, 150, rows) != 0 || count == 0) continue;
    if (!is_count_option(rows[0])) continue;
    for (int i = 1; i < count; i++)
      if (strtod(rows[i], nullptr) > kMaxCount || strtod(rows[i], nullptr) < -kMaxCount) ok = false;
  }
  g_interp.out = saved_out;
  fclose(f);
  return ok;
}
