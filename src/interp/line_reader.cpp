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

// True when the buffer is full and the line goes on: the next character is
// neither the end of the input nor a line end. A line end that did not fit
// is left in the stream, where it reads as an empty line, as it always has.
bool line_goes_on(FILE* source, const char* line) {
  const size_t len = strlen(line);
  if (len < static_cast<size_t>(kMaxCommandLine) || line[len - 1] == '\n') return false;
  const int next = fgetc(source);
  if (next == EOF) return false;
  if (next != '\r') {
    ungetc(next, source);
    return next != '\n';
  }
  // A carriage return: the line ends when a newline or the end follows. Only
  // one character can be pushed back; the newline reads as the empty line
  // "\r\n" would have given.
  const int after = fgetc(source);
  if (after == EOF) {
    ungetc(next, source);
    return false;
  }
  ungetc(after, source);
  return after != '\n';
}

// Skips the rest of the line, its newline included.
void skip_rest_of_line(FILE* source) {
  int c;
  while ((c = fgetc(source)) != EOF && c != '\n') {
  }
}

}  // namespace

LineRead read_command_line(FILE* source, bool keep_newline, char* line) {
  if (fgets(line, kLineBufferSize, source) == nullptr) return LineRead::kEnd;
  fold_carriage_return(source, line);
  if (line_goes_on(source, line)) {
    skip_rest_of_line(source);
    return LineRead::kTooLong;
  }
  if (!keep_newline) {
    size_t len = strlen(line);
    if (len > 0 && line[len - 1] == '\n') line[len - 1] = '\0';
  }
  return LineRead::kLine;
}
