#include "interp/command_loop.h"

#include <cstdio>
#include <cstring>

#include "base/interpreter.h"
#include "base/progress.h"
#include "base/tokenizer.h"
#include "interp/line_reader.h"
#include "numeric/alloc_registry.h"
#include "numeric/storage.h"

namespace {

constexpr int kTokenCapacity = 10;
constexpr int kTokenWidth = 150;
const char* const kPrompt = "dorve> ";

void write_prompt() { fprintf(out_stream(), "%s", kPrompt); }

// Batch mode echoes every line that sorts above nine blanks: empty lines,
// lines that start with a control character and short runs of blanks are
// left out; comments and indented commands are shown.
void echo_line(const char* line) {
  if (!g_interp.interactive && strcmp(line, "         ") > 0) fprintf(out_stream(), "%s", line);
}

// The registry stays on only when the very first command is check_allocation.
void after_first_command(const char* first_token) {
  if (!g_interp.first_command) return;
  if (strcmp(first_token, "check_allocation") != 0) set_alloc_tracking(false);
  g_interp.first_command = false;
}

// Returns false when the line asks to leave the loop.
bool dispatch(Session& session, char** tokens, int count) {
  const CommandRow* row = find_command(tokens[0]);
  if (row == nullptr) {
    fprintf(out_stream(), "\nCannot parse this line. \n");
  } else if (row->handler == nullptr) {
    return false;
  } else {
    row->handler(session, tokens, count);
    // The progress line goes with its command; what the command printed is
    // in the output file before the next one starts.
    end_progress();
    fflush(out_stream());
  }
  after_first_command(tokens[0]);
  return true;
}

}  // namespace

void run_command_loop(Session& session) {
  char** tokens = nullptr;
  int* count = nullptr;
  alloc_char_matrix(kTokenCapacity, kTokenWidth, &tokens);
  alloc_int_vector(1, &count);
  FILE* source = g_interp.interactive ? stdin : g_interp.cmd_file;
  char line[kLineBufferSize];

  write_prompt();
  while (read_command_line(source, !g_interp.interactive, line)) {
    count[0] = kTokenCapacity;
    if (tokenize(line, count, kTokenWidth, tokens) != 0) count[0] = 0;
    echo_line(line);
    if (count[0] > 0 && !dispatch(session, tokens, count[0])) break;
    write_prompt();
  }
  free_char_matrix(kTokenCapacity, kTokenWidth, &tokens);
  free_int_vector(1, &count);
}
