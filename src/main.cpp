// DORVE: kriging surrogates and sequential minimisation of expensive
// computer experiments, driven by a line-oriented command language.
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "base/interpreter.h"
#include "base/messages.h"
#include "base/settings.h"
#include "data/model_store.h"
#include "interp/command_loop.h"
#include "numeric/alloc_registry.h"
#include "numeric/random.h"

namespace {

// A fault, a floating-point exception or a termination request ends the run
// with the signal number as its status. Only _exit may be called here: the
// stdio functions are not safe in a signal handler. Nothing is left to flush:
// the output streams are unbuffered (see unbuffer_output), so everything the
// program wrote before the signal is already in its file.
void on_signal(int signal_number) { _exit(signal_number); }

// Every fprintf reaches the file at once. The output is a listing of modest
// size, so the extra writes cost little, and a run ended by a signal keeps
// all it printed. Must precede the first output on the stream.
void unbuffer_output(FILE* f) { setvbuf(f, nullptr, _IONBF, 0); }

void install_signal_handlers() {
  signal(SIGSEGV, on_signal);
  signal(SIGFPE, on_signal);
  signal(SIGTERM, on_signal);
}

// A folder opens like a file but reads as nothing: refuse it as unopenable.
FILE* open_command_file(const char* name) {
  FILE* f = fopen(name, "r");
  struct stat st;
  if (f != nullptr && fstat(fileno(f), &st) == 0 && S_ISDIR(st.st_mode)) {
    fclose(f);
    return nullptr;
  }
  return f;
}

void open_streams(int argc, char** argv) {
  if (argc == 1) {
    g_interp.interactive = true;
    return;
  }
  if (argc > 3) {
    fprintf(g_interp.out, "Usage:  dorve <inputfile  outputfile> \n");
    exit(1);
  }
  g_interp.interactive = false;
  g_interp.cmd_file = open_command_file(argv[1]);
  if (g_interp.cmd_file == nullptr) {
    fprintf(stderr, "Sorry, cannot open %s\n", argv[1]);
    exit(1);
  }
  if (argc == 3) {
    FILE* out = fopen(argv[2], "w");
    if (out == nullptr) fatal_error("Sorry, can't write to outputfile.");
    unbuffer_output(out);
    g_interp.out = out;
  }
  fprintf(g_interp.out, "Reading commands from '%s'.\n", argv[1]);
  if (argc == 3) fprintf(g_interp.out, "Writing commands to '%s'.\n", argv[2]);
}

void print_banner() {
  fprintf(g_interp.out, "      DORVE  -  kriging surrogates and sequential minimisation\n");
  fprintf(g_interp.out, "                       (Version %5.3f)\n\n", kDorveVersion);
}

}  // namespace

int main(int argc, char** argv) {
  unbuffer_output(stdout);
  install_signal_handlers();
  set_alloc_tracking(true);
  set_random_seeds(10, 20, 1000);
  g_interp.out = stdout;
  KrigModel* models = create_first_KrigModel();
  KrigArray* ka = create_KrigArray();
  open_streams(argc, argv);
  print_banner();
  start_placeholder_store(models, ka);
  snprintf(g_settings.StoppingCriterion, kShortTextSize, "%s", "tolerance");

  Session session;
  session.models = &models;
  session.ka = ka;
  run_command_loop(session);

  fclose(g_interp.out);
  if (g_interp.cmd_file != nullptr) fclose(g_interp.cmd_file);
  free_model_store(ka, models);
  return 0;
}
