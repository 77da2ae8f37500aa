#include "interp/line_reader.h"

#include <cstring>

namespace {

// Turns a "\r\n" line end into "\n". A piece that stops right after a
// carriage return takes the newline that follows it from the stream, so the
// carriage return never reaches the tokenizer as part of a word.
void fold_carriage_return(FILE* source, char* line) {
  size_t len = strlen(line);
  if (len >= 2 && line[len - 2] == '\r' && line[len - 1] == '\n') {
    line[len - 2] = '\n';
    line[len - 1] = '\0';
    return;
  }
  if (len >= 1 && line[len - 1] == '\r') {
    int next = fgetc(source);
    if (next == '\n') {
      line[len - 1] = '\n';
    } else {
      if (next != EOF) ungetc(next, source);
      if (next == EOF) line[len - 1] = '\0';
    }
  }
}

}  // namespace

bool read_command_line(FILE* source, bool keep_newline, char* line) {
  if (fgets(line, kLineBufferSize, source) == nullptr) return false;
  fold_carriage_return(source, line);
  if (!keep_newline) {
    size_t len = strlen(line);
    if (len > 0 && line[len - 1] == '\n') line[len - 1] = '\0';
  }
  return true;
}
