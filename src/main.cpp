// DORVE: kriging surrogates and sequential minimisation of expensive
// computer experiments, driven by a line-oriented command language.
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "base/interpreter.h"
#include "base/messages.h"
#include "base/refusal_watch.h"
#include "base/settings.h"
#include "data/model_store.h"
#include "interp/command_line.h"
#include "interp/command_loop.h"
#include "numeric/alloc_registry.h"
#include "numeric/random.h"

// The program's allocations: as the library's, but a request the heap
// cannot meet leaves its size for the message that names the command. Every
// plain form is replaced together, so that each new meets its own delete.
void* operator new(std::size_t size) {
  if (size == 0) size = 1;
  for (;;) {
    void* p = std::malloc(size);
    if (p != nullptr) return p;
    std::new_handler handler = std::get_new_handler();
    if (handler == nullptr) {
      note_failed_allocation(size);
      throw std::bad_alloc();
    }
    handler();
  }
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return operator new(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
  return operator new(size, tag);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

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

// --strict: everything the run prints passes the refusal watch.
void watch_output_for_refusals() {
  FILE* watched = open_refusal_watch(g_interp.out);
  if (watched == nullptr) fatal_error("Sorry, can't watch the output stream for --strict.");
  g_interp.out = watched;
}

void print_banner() {
  fprintf(g_interp.out, "      DORVE  -  kriging surrogates and sequential minimisation\n");
  fprintf(g_interp.out, "                       (Version %5.3f)\n\n", kDorveVersion);
}

// The run after the command-line options: start-up, the command loop and,
// when the input ends or asks to quit, shutdown. Returns the exit status.
int run(int argc, char** argv, bool strict) {
  unbuffer_output(stdout);
  install_signal_handlers();
  set_alloc_tracking(true);
  set_random_seeds(10, 20, 1000);
  g_interp.out = stdout;
  KrigModel* models = create_first_KrigModel();
  KrigArray* ka = create_KrigArray();
  open_streams(argc, argv);
  g_interp.strict = strict;
  if (strict) watch_output_for_refusals();
  print_banner();
  start_placeholder_store(models, ka);
  snprintf(g_settings.StoppingCriterion, kShortTextSize, "%s", "tolerance");

  Session session;
  session.models = &models;
  session.ka = ka;
  const int loop_status = run_command_loop(session);

  const int close_status = close_streams();
  free_model_store(ka, models);
  return loop_status != 0 ? loop_status : close_status;
}

// Set when a fatal error ended the run.
bool g_ended_by_fatal_error = false;

}  // namespace

// A fatal error abandons the work storage of the command it interrupts, as
// an end of the run in the middle of a command always has: the leak check
// of a sanitizer build has nothing to say about such a run.
extern "C" int __lsan_is_turned_off() { return g_ended_by_fatal_error ? 1 : 0; }

int main(int argc, char** argv) {
  const bool strict = take_strict_flag(&argc, argv);
  // --help, --version and unknown options answer before the run starts.
  int option_status = handle_command_line_options(&argc, argv, stdout, stderr);
  if (option_status >= 0) return option_status;
  // A fatal error ends the run with its message after everything printed
  // before it; the streams are flushed and closed by the exit, the model
  // store, perhaps half-way through a change, is left as it is.
  try {
    return run(argc, argv, strict);
  } catch (const FatalError& error) {
    g_ended_by_fatal_error = true;
    return report_fatal_error(error);
  }
}
