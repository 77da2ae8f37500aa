#include "base/refusal_watch.h"

#include <sys/types.h>

#include <atomic>
#include <cstring>

namespace {

// The beginnings of the refusal lines. "Sorry, no labels at this time" is
// the heading of a table shown on the screen, not a refusal.
const char* const kRefusalStarts[] = {"Sorry",
                                      "ERROR",
                                      "Error:",
                                      "Unexpected input",
                                      "Unexpected Input",
                                      "Cannot parse",
                                      "Usage:",
                                      "Print pardon what",
                                      "Output pardon what",
                                      "Read pardon what",
                                      "Option StoppingQuantile is depreciated",
                                      "More Tokens in line than code can handle",
                                      nullptr};
const char* const kNotRefusals[] = {"Sorry, no labels at this time", nullptr};

bool starts_with(const char* text, const char* start) {
  return strncmp(text, start, strlen(start)) == 0;
}

// Enough of a line to tell whether it is a refusal.
constexpr size_t kHeadSize = 48;

struct Watch {
  FILE* target;
  char head[kHeadSize + 1];
  size_t used;    // characters of the current line in head
  bool decided;   // the current line has been looked at
};

std::atomic<bool> g_refused{false};

void decide(Watch* w) {
  if (w->decided) return;
  w->head[w->used] = '\0';
  if (is_refusal_line(w->head)) g_refused = true;
  w->decided = true;
}

ssize_t watch_write(void* cookie, const char* data, size_t size) {
  Watch* w = static_cast<Watch*>(cookie);
  for (size_t i = 0; i < size; i++) {
    if (data[i] == '\n') {
      decide(w);
      w->used = 0;
      w->decided = false;
    } else if (w->used < kHeadSize) {
      w->head[w->used++] = data[i];
      if (w->used == kHeadSize) decide(w);
    }
  }
  const size_t written = fwrite(data, 1, size, w->target);
  fflush(w->target);
  return written == size ? static_cast<ssize_t>(size) : -1;
}

int watch_close(void* cookie) {
  Watch* w = static_cast<Watch*>(cookie);
  decide(w);
  const int result = fclose(w->target);
  delete w;
  return result;
}

}  // namespace

bool is_refusal_line(const char* text) {
  for (const char* const* s = kNotRefusals; *s != nullptr; s++)
    if (starts_with(text, *s)) return false;
  for (const char* const* s = kRefusalStarts; *s != nullptr; s++)
    if (starts_with(text, *s)) return true;
  return false;
}

FILE* open_refusal_watch(FILE* target) {
  Watch* w = new Watch{target, {}, 0, false};
  cookie_io_functions_t functions = {nullptr, watch_write, nullptr, watch_close};
  FILE* f = fopencookie(w, "w", functions);
  if (f == nullptr) {
    delete w;
    return nullptr;
  }
  setvbuf(f, nullptr, _IONBF, 0);
  return f;
}

bool refusal_seen() {
  return g_refused;
}

void clear_refusals() { g_refused = false; }

void note_refusal() { g_refused = true; }

void say_on_standard_output(const char* text) {
  if (is_refusal_line(text)) note_refusal();
  fputs(text, stdout);
}
