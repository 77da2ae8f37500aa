// Fuzzes the command-line reader and the tokenizer: the input is a command
// file, read line by line as from a file (newline kept) and as from the
// console (newline removed), and every line is split into tokens with the
// command loop's capacity and width. Checks what the command loop relies on:
// a line never exceeds the buffer, and every token is a non-empty word or a
// lone separator, shorter than the width.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "fuzz_support.h"
#include "base/interpreter.h"
#include "interp/line_reader.h"
#include "base/tokenizer.h"

namespace {

constexpr int kCapacity = 10;
constexpr int kWidth = 150;

bool is_separator(char c) { return c == '<' || c == '>' || c == '='; }

void check_tokens(char** tokens, int count) {
  if (count < 0 || count >= kCapacity) abort();
  for (int i = 0; i < count; i++) {
    const size_t len = strnlen(tokens[i], kWidth);
    if (len == 0 || len >= kWidth - 1) abort();
    for (size_t k = 0; k < len; k++) {
      const char c = tokens[i][k];
      if (c == ' ' || c == '\t' || c == '\n' || c == '#') abort();
      if (is_separator(c) && len != 1) abort();
    }
  }
}

void read_all(const uint8_t* data, size_t size, bool keep_newline, char** tokens) {
  FILE* f = fmemopen(const_cast<uint8_t*>(data), size, "r");
  if (f == nullptr) return;
  char line[kLineBufferSize + 8];
  memset(line + kLineBufferSize, 0x5a, 8);  // guard bytes past the buffer
  LineRead got;
  while ((got = read_command_line(f, keep_newline, line)) != LineRead::kEnd) {
    for (int k = kLineBufferSize; k < kLineBufferSize + 8; k++)
      if (line[k] != 0x5a) abort();
    if (strnlen(line, kLineBufferSize) >= static_cast<size_t>(kLineBufferSize)) abort();
    if (got == LineRead::kTooLong) continue;  // refused whole, never tokenized
    int count = kCapacity;
    if (tokenize(line, &count, kWidth, tokens) == 0) check_tokens(tokens, count);
  }
  fclose(f);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz_setup();
  g_interp.out = fopen("/dev/null", "w");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;  // fmemopen refuses an empty buffer
  static char storage[kCapacity][kWidth];
  static char* tokens[kCapacity];
  for (int i = 0; i < kCapacity; i++) tokens[i] = storage[i];
  read_all(data, size, true, tokens);
  read_all(data, size, false, tokens);
  return 0;
}
