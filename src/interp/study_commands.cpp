#include "interp/study_commands.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/interpreter.h"
#include "data/space_filling_design.h"
#include "seqmin/evaluate.h"

namespace {

bool is_word(const char* token, const char* word) { return strcmp(token, word) == 0; }

void print_design_usage() {
  say("Usage: Design number_points {< xdescription_file} > {X|filename|screen}\n");
}

// The number of points: a whole number, 2 .. kMaxDesignPoints. False after
// saying why.
bool parse_design_size(const char* text, int* n) {
  char* end = nullptr;
  errno = 0;
  const long v = strtol(text, &end, 10);
  if (end == text || *end != '\0') {
    fprintf(out_stream(), "Sorry, command ignored. The number of points must be a whole number, "
                          "not %s.\n", text);
    return false;
  }
  if (v < 2) {
    say("Sorry, command ignored. A design needs at least 2 points.\n");
    return false;
  }
  if (v > kMaxDesignPoints || errno == ERANGE) {
    fprintf(out_stream(), "Sorry, command ignored. At most %d points for Design.\n",
            kMaxDesignPoints);
    return false;
  }
  *n = static_cast<int>(v);
  return true;
}

}  // namespace

void Design(KrigModel** models, KrigArray* ka, char** tokens, int count) {
  const char* box_file = nullptr;
  const char* target = nullptr;
  if (count == 4 && is_word(tokens[2], ">")) {
    target = tokens[3];
  } else if (count == 6 && is_word(tokens[2], "<") && is_word(tokens[4], ">")) {
    box_file = tokens[3];
    target = tokens[5];
  } else if (count == 6 && is_word(tokens[2], ">") && is_word(tokens[4], "<")) {
    target = tokens[3];
    box_file = tokens[5];
  } else {
    print_design_usage();
    return;
  }
  if (is_screen(box_file != nullptr ? box_file : "")) {
    say("Sorry, can't read a file onto the screen. Line ignored.\n");
    return;
  }
  int n = 0;
  if (!parse_design_size(tokens[1], &n)) return;
  make_space_filling_design(models, ka, n, box_file, target);
}

void Evaluate(KrigModel** models, KrigArray* ka, char**, int count) {
  if (count != 1) {
    say("Unexpected Input. No tokens should follow 'Evaluate'\n");
    return;
  }
  evaluate_design(models, ka);
}
