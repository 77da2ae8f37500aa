#include "base/messages.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "base/interpreter.h"
#include "base/progress.h"

namespace {

FatalErrorHandler g_fatal_handler = nullptr;
thread_local CapturedFatal* t_fatal_capture = nullptr;

char g_current_command[32] = "";
std::atomic<size_t> g_failed_allocation{0};

// "<command>: not enough memory: an allocation of 61.0 MB failed."
void memory_shortage_text(char* text, int capacity) {
  const size_t bytes = g_failed_allocation.load();
  char size[48];
  if (bytes >= (size_t{1} << 30))
    snprintf(size, sizeof size, "%.1f GB", bytes / 1073741824.0);
  else if (bytes >= (size_t{1} << 20))
    snprintf(size, sizeof size, "%.1f MB", bytes / 1048576.0);
  else
    snprintf(size, sizeof size, "%zu bytes", bytes);
  snprintf(text, capacity, "%s: not enough memory: an allocation of %s failed.",
           current_command(), size);
}

}  // namespace

void set_current_command(const char* name) {
  snprintf(g_current_command, sizeof g_current_command, "%s", name ? name : "");
}

const char* current_command() {
  return g_current_command[0] != '\0' ? g_current_command : "dorve";
}

void note_failed_allocation(size_t bytes) { g_failed_allocation.store(bytes); }

void report_memory_shortage() {
  char text[160];
  memory_shortage_text(text, sizeof text);
  fprintf(stderr, "%s\n", text);
}

void fatal_memory_shortage() {
  char text[160];
  memory_shortage_text(text, sizeof text);
  fatal_error(text);
}

void set_fatal_error_handler(FatalErrorHandler handler) { g_fatal_handler = handler; }

void end_run_after_error(const char* message, int status) {
  if (g_fatal_handler != nullptr) g_fatal_handler(message, nullptr, status);
  exit(status);
}

CapturedFatal* set_thread_fatal_capture(CapturedFatal* capture) {
  CapturedFatal* previous = t_fatal_capture;
  t_fatal_capture = capture;
  return previous;
}

void raise_captured_fatal(const CapturedFatal& fatal) {
  if (fatal.with_value) fatal_error_value(fatal.message.c_str(), fatal.value, fatal.label.c_str());
  fatal_error(fatal.message.c_str());
}

void fatal_error(const char* message) {
  if (t_fatal_capture != nullptr) {
    t_fatal_capture->raised = true;
    t_fatal_capture->with_value = false;
    t_fatal_capture->message = message;
    throw FatalErrorCaptured();
  }
  if (g_fatal_handler != nullptr) g_fatal_handler(message, nullptr, 1);
  end_progress();
  fprintf(stderr, "DORVE ERROR... \n");
  fprintf(stderr, "%s \n", message);
  fprintf(stderr, "Now exiting to system ... \n ");
  exit(1);
}

void fatal_error_value(const char* message, double value, const char* label) {
  if (t_fatal_capture != nullptr) {
    t_fatal_capture->raised = true;
    t_fatal_capture->with_value = true;
    t_fatal_capture->message = message;
    t_fatal_capture->label = label;
    t_fatal_capture->value = value;
    throw FatalErrorCaptured();
  }
  if (g_fatal_handler != nullptr) {
    char value_line[160];
    snprintf(value_line, sizeof value_line, "%.60s %f", label, value);
    g_fatal_handler(message, value_line, 2);
  }
  end_progress();
  fprintf(stderr, "DORVE error ... \n");
  fprintf(stderr, "%s %f \n", label, value);
  fprintf(stderr, "%s \n", message);
  fprintf(stderr, "Now exiting to system ... \n ");
  exit(2);
}

void print_info(const char* text) { fprintf(out_stream(), "Info : %s\n", text); }

void print_warning(const char* text) { fprintf(out_stream(), "WARNING: %s\n", text); }

void print_string_vector(int n, const StringSlot* v, const char* label) {
  FILE* out = out_stream();
  fprintf(out, "%s ", label);
  for (int i = 0; i < n; i++) {
    fprintf(out, " %10.29s ", v[i]);
    if (i % 6 == 5) fprintf(out, "\n");
  }
  fprintf(out, "\n");
}

void print_real_vector(int n, const double* v, const char* label) {
  FILE* out = out_stream();
  fprintf(out, "%s ", label);
  if (n > 6) fprintf(out, "\n");
  for (int i = 0; i < n; i++) {
    fprintf(out, " %10.5f ", v[i]);
    if (i % 6 == 5) fprintf(out, "\n");
  }
  fprintf(out, "\n");
}

void print_real_matrix(int rows, int cols, double* const* m, const char* label, bool precise) {
  FILE* out = out_stream();
  fprintf(out, "%s \n", label);
  for (int i = 0; i < rows; i++) {
    for (int j = 0; j < cols; j++) {
      fprintf(out, precise ? " %10.15f " : " %10.5f ", m[i][j]);
      if (j % 6 == 5) fprintf(out, "\n");
    }
    if (i < rows - 1) fprintf(out, ", \n");
  }
  fprintf(out, "\n");
}

void print_string_matrix(int rows, int cols, StringSlot* const* m, const char* label) {
  FILE* out = out_stream();
  fprintf(out, "%s \n", label);
  for (int i = 0; i < rows; i++) {
    for (int j = 0; j < cols; j++) fprintf(out, "%.29s ", m[i][j]);
    if (i < rows - 1) fprintf(out, ", \n");
  }
  fprintf(out, "\n");
}
