#include "base/tokenizer.h"

#include <cstdio>

#include "base/interpreter.h"
#include "base/messages.h"

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }
bool is_separator(char c) { return c == '<' || c == '>' || c == '='; }
bool ends_line(char c) { return c == '\0' || c == '#' || c == '\n'; }
bool is_word_char(char c) { return !is_blank(c) && !is_separator(c) && !ends_line(c); }

const char* skip_blanks(const char* p) {
  while (is_blank(*p)) p++;
  return p;
}

void report_misplaced_separator() {
  fprintf(out_stream(),
          "Unexpected input: \n\t(1)Input Line should not start with seperator or\n\t(2) Two "
          "seperators should not appear in sequence.\n");
}

void report_too_many_tokens() { fprintf(out_stream(), "More Tokens in line than code can handle\n"); }

}  // namespace

int tokenize(const char* line, int* count, int width, char** tokens) {
  const int capacity = *count;
  int j = 0;
  const char* p = skip_blanks(line);
  for (;;) {
    if (ends_line(*p)) {
      *count = j;
      return 0;
    }
    if (is_separator(*p)) {
      report_misplaced_separator();
      return 1;
    }
    int len = 0;
    while (is_word_char(*p)) {
      tokens[j][len++] = *p++;
      if (len >= width - 1) fatal_error("tokenize: attempt to write over max length of a token");
    }
    tokens[j][len] = '\0';
    if (++j >= capacity) {
      report_too_many_tokens();
      return 2;
    }
    p = skip_blanks(p);
    if (is_separator(*p)) {
      tokens[j][0] = *p++;
      tokens[j][1] = '\0';
      if (++j >= capacity) {
        report_too_many_tokens();
        return 2;
      }
      p = skip_blanks(p);
    }
  }
}

int longest_word(const char* line) {
  int longest = 0;
  int len = 0;
  for (const char* p = line; !ends_line(*p); p++) {
    len = is_word_char(*p) ? len + 1 : 0;
    if (len > longest) longest = len;
  }
  return longest;
}
