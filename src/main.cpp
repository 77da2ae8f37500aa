// DORVE: kriging surrogates and sequential minimisation of expensive
// computer experiments, driven by a line-oriented command language.
#include <unistd.h>

#include <csignal>
#include <cstdio>

#include "base/interpreter.h"
#include "base/settings.h"
#include "data/model_store.h"
#include "interp/command_line.h"
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

void install_signal_handlers() {
  signal(SIGSEGV, on_signal);
  signal(SIGFPE, on_signal);
  signal(SIGTERM, on_signal);
}

void print_banner() {
  fprintf(g_interp.out, "      DORVE  -  kriging surrogates and sequential minimisation\n");
  fprintf(g_interp.out, "                       (Version %5.3f)\n\n", kDorveVersion);
}

}  // namespace

int main(int argc, char** argv) {
  // --help, --version and unknown options answer before the run starts.
  int option_status = handle_command_line_options(&argc, argv, stdout, stderr);
  if (option_status >= 0) return option_status;
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
