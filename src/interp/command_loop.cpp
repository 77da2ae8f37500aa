#include "interp/command_loop.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "base/interpreter.h"
#include "base/messages.h"
#include "base/refusal_watch.h"
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

// A line that does not fit the buffer is refused whole: none of its pieces
// may run as a command of its own.
void refuse_long_line(const char* start) {
  fprintf(out_stream(),
          "Sorry, a command line may have at most %d characters; the line \"%.40s...\" has "
          "more. Line ignored: nothing of it runs.\n",
          kMaxCommandLine, start);
}

// The registry stays on only when the very first command is check_allocation.
void after_first_command(const char* first_token) {
  if (!g_interp.first_command) return;
  if (strcmp(first_token, "check_allocation") != 0) set_alloc_tracking(false);
  g_interp.first_command = false;
}

// A fatal error ends the command where it stands: output the abandoned work
// held back is dropped, as the run ends before it would have come out.
void abandon_command() { t_out_capture = nullptr; }

// Returns false when the line asks to leave the loop.
bool dispatch(Session& session, char** tokens, int count) {
  const CommandRow* row = find_command(tokens[0]);
  if (row == nullptr) {
    fprintf(out_stream(), "\nCannot parse this line. \n");
  } else if (row->handler == nullptr) {
    return false;
  } else {
    set_current_command(row->names ? row->names[0] : tokens[0]);
    try {
      row->handler(session, tokens, count);
    } catch (const std::bad_alloc&) {
      // Work storage that cannot be had ends the run with a message that
      // names the command and the size; the models may be half-way through
      // a change.
      abandon_command();
      throw memory_shortage_error();
    } catch (const FatalError&) {
      abandon_command();
      throw;
    }
    set_current_command(nullptr);
    // The progress line goes with its command; what the command printed is
    // in the output file before the next one starts.
    end_progress();
    fflush(out_stream());
  }
  after_first_command(tokens[0]);
  return true;
}

// With --strict, a line that printed a refusal ends the run.
bool strict_stop(int line_number) {
  if (!g_interp.strict || !refusal_seen()) return false;
  fprintf(stderr, "dorve: --strict: line %d was refused; the run ends here.\n", line_number);
  return true;
}

}  // namespace

int run_command_loop(Session& session) {
  char** tokens = nullptr;
  int* count = nullptr;
  alloc_char_matrix(kTokenCapacity, kTokenWidth, &tokens);
  alloc_int_vector(1, &count);
  FILE* source = g_interp.interactive ? stdin : g_interp.cmd_file;
  char line[kLineBufferSize];

  int status = 0;
  int line_number = 0;
  write_prompt();
  LineRead got;
  while ((got = read_command_line(source, !g_interp.interactive, line)) != LineRead::kEnd) {
    line_number++;
    clear_refusals();
    if (got == LineRead::kTooLong) {
      refuse_long_line(line);
    } else {
      count[0] = kTokenCapacity;
      if (tokenize(line, count, kTokenWidth, tokens) != 0) count[0] = 0;
      echo_line(line);
      if (count[0] > 0 && !dispatch(session, tokens, count[0])) break;
    }
    if (strict_stop(line_number)) {
      status = kStrictExitStatus;
      break;
    }
    write_prompt();
  }
  free_char_matrix(kTokenCapacity, kTokenWidth, &tokens);
  free_int_vector(1, &count);
  return status;
}
