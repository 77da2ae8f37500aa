#include "interp/matrix_commands.h"

#include <cstring>

#include "base/interpreter.h"
#include "data/named_matrices.h"

void inout(KrigModel** models, KrigArray* ka, char** tokens, int count) {
  const bool has_sign =
      count >= 2 && (strcmp(tokens[1], "<") == 0 || strcmp(tokens[1], ">") == 0);
  if (count != 3 || !has_sign) {
    if (!has_sign) say("Unexpected input. A '<' or a '>' sign was expected. Input line ignored.\n");
    if (count != 3)
      say("Unexpected input. Exactly 3 tokens are expected. (excluding comments '#')\n\tInput "
          "line ignored.\n");
    return;
  }
  int mode = tokens[1][0] == '<' ? kReadMatrix : kWriteMatrix;
  if (is_screen(tokens[2])) {
    if (mode == kReadMatrix) {
      say("Sorry, can't read a file onto the screen. Line ignored.\n");
      return;
    }
    mode = kShowMatrix;
  }
  menu_print(models, ka, mode, tokens[0], tokens[2]);
}
