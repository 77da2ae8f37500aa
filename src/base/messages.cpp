#include "base/messages.h"

#include <atomic>
#include <cstdio>

#include "base/interpreter.h"

namespace {

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

FatalError memory_shortage_error() {
  char text[160];
  memory_shortage_text(text, sizeof text);
  FatalError error;
  error.message = text;
  return error;
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
