#include "base/progress.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <chrono>
#include <cstdarg>
#include <cstring>
#include <mutex>

std::atomic<bool> g_progress_shown{false};

namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
constexpr int kDefaultWidth = 80;
constexpr int kLineSize = 512;
const char* const kClearLine = "\r\033[K";

ProgressMode g_mode = ProgressMode::kWhenTerminal;
std::mutex g_lock;
std::chrono::steady_clock::time_point g_last_draw;

bool display_on() {
  if (g_mode == ProgressMode::kOn) return true;
  if (g_mode == ProgressMode::kOff) return false;
  static const bool terminal = isatty(STDERR_FILENO) == 1;
  return terminal;
}

// Columns the line may take: one less than the terminal's width, so that
// the cursor never wraps to a new line.
int line_width() {
  struct winsize size;
  if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 1) return size.ws_col - 1;
  return kDefaultWidth - 1;
}

void write_stderr(const char* text, size_t length) {
  while (length > 0) {
    const ssize_t n = write(STDERR_FILENO, text, length);
    if (n <= 0) return;
    text += n;
    length -= static_cast<size_t>(n);
  }
}

// With g_lock held.
void take_line_away() {
  if (!g_progress_shown.load()) return;
  write_stderr(kClearLine, strlen(kClearLine));
  g_progress_shown.store(false);
}

bool due_locked() {
  if (!display_on()) return false;
  return !g_progress_shown.load() ||
         std::chrono::steady_clock::now() - g_last_draw >= kRedrawInterval;
}

}  // namespace

void set_progress_mode(ProgressMode mode) { g_mode = mode; }

bool progress_due() {
  const std::lock_guard<std::mutex> guard(g_lock);
  return due_locked();
}

void show_progress(const char* format, ...) {
  const std::lock_guard<std::mutex> guard(g_lock);
  if (!due_locked()) return;
  char text[kLineSize];
  va_list args;
  va_start(args, format);
  vsnprintf(text, sizeof text, format, args);
  va_end(args);
  const int width = line_width();
  if (static_cast<int>(strlen(text)) > width) text[width] = '\0';
  // Back to the start of the line, the text, and the rest of the old line cleared.
  char line[kLineSize + 8];
  const int length = snprintf(line, sizeof line, "\r%s\033[K", text);
  write_stderr(line, static_cast<size_t>(length));
  g_progress_shown.store(true);
  g_last_draw = std::chrono::steady_clock::now();
}

void end_progress() {
  if (!g_progress_shown.load()) return;
  const std::lock_guard<std::mutex> guard(g_lock);
  take_line_away();
}

void clear_progress_for(FILE* out) {
  const std::lock_guard<std::mutex> guard(g_lock);
  // The output stream stays the same for the whole run: ask once.
  static FILE* asked = nullptr;
  static bool terminal = false;
  if (out != asked) {
    asked = out;
    terminal = isatty(fileno(out)) == 1;
  }
  if (terminal) take_line_away();
}
