#include "seqmin/exchange_file.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/interpreter.h"
#include "base/messages.h"
#include "base/safe_files.h"
#include "base/settings.h"
#include "data/finite_checks.h"
#include "data/matrix_reader.h"
#include "data/matrix_writer.h"
#include "data/model_store.h"

namespace {

// Longest exchange-file token read; a longer one is refused.
constexpr int kExchangeTokenWidth = 127;
// A coordinate whose range is at least this wide is written with "%f": its
// six decimals leave at most 5e-7 of the width unsaid, and the design stores
// the value that text reads back as. Narrower ranges get the exact text.
constexpr double kFixedExchangeWidth = 1.0;
constexpr int kCoordinateTextSize = 64;

enum class TokenRead { kRead, kNone, kTooLong };

bool is_token_separator(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// The next blank-, tab- or line-separated word of f, whole: a word that does
// not fit token (capacity characters with the terminator) is kTooLong.
TokenRead read_exchange_token(FILE* f, char* token, int capacity) {
  int c = fgetc(f);
  while (c != EOF && is_token_separator(c)) c = fgetc(f);
  if (c == EOF) return TokenRead::kNone;
  int length = 0;
  for (; c != EOF && !is_token_separator(c); c = fgetc(f)) {
    if (length + 1 >= capacity) return TokenRead::kTooLong;
    token[length++] = static_cast<char>(c);
  }
  token[length] = '\0';
  return TokenRead::kRead;
}

}  // namespace

double format_exchange_coordinate(double value, const double* range, char* text, int capacity) {
  if (range == nullptr || range[1] - range[0] >= kFixedExchangeWidth) {
    snprintf(text, capacity, "%f", value);
    const double written = strtod(text, nullptr);
    // Rounding must not carry a point inside the range out of it.
    const bool inside = range == nullptr || !(value >= range[0] && value <= range[1]) ||
                        (written >= range[0] && written <= range[1]);
    if (inside) return written;
  }
  format_exact_number(value, text, capacity);
  return value;
}

namespace {

// Writes contents as the exchange file: whole, under a fresh name renamed
// into place, so a link or special file planted at its name is never written
// through. False with the reason in message.
bool write_exchange_text(const char* file, const std::string& contents, char* message,
                         int capacity) {
  const FileKind kind = file_kind(file);
  if (kind != FileKind::kMissing && kind != FileKind::kRegular) {
    snprintf(message, capacity,
             "sample_new_y: %s is %s, not a regular file; DORVE does not write through it. ",
             file, file_kind_words(kind));
    return false;
  }
  if (!replace_file_text(file, contents.data(), contents.size())) {
    snprintf(message, capacity, "sample_new_y: Can't open/create %s for writing. ", file);
    return false;
  }
  return true;
}

void append_exchange_item(std::string* contents, const char* format, const char* text) {
  char item[kCoordinateTextSize + 4];
  snprintf(item, sizeof item, format, text);
  *contents += item;
}

std::string exchange_count(int d) {
  char count[16];
  snprintf(count, sizeof count, "%d ", d);
  return count;
}

}  // namespace

bool write_exchange_file_checked(const char* file, int d, const double* x, double* const* range,
                                 double* written, char* message, int capacity) {
  std::string contents = exchange_count(d);
  char text[kCoordinateTextSize];
  for (int j = 0; j < d; j++) {
    const double value = format_exchange_coordinate(x[j], range ? range[j] : nullptr, text,
                                                    sizeof text);
    if (written != nullptr) written[j] = value;
    append_exchange_item(&contents, " %s ", text);
  }
  return write_exchange_text(file, contents, message, capacity);
}

bool write_exact_exchange_file(const char* file, int d, const double* x, char* message,
                               int capacity) {
  std::string contents = exchange_count(d);
  char text[kCoordinateTextSize];
  for (int j = 0; j < d; j++) {
    format_exact_number(x[j], text, sizeof text);
    append_exchange_item(&contents, " %s ", text);
  }
  return write_exchange_text(file, contents, message, capacity);
}

void write_exchange_file_named(const char* file, int d, const double* x, double* const* range) {
  char message[kExchangeMessageSize];
  if (!write_exchange_file_checked(file, d, x, range, nullptr, message, sizeof message))
    fatal_error(message);
}

void write_exchange_file(int d, const double* x, double* const* range) {
  write_exchange_file_named(kExchangeFile, d, x, range);
}

bool objective_command_line(const char* objective, bool is_command, char* buffer, int capacity) {
  const int written = is_command ? snprintf(buffer, capacity, "%s", objective)
                                 : snprintf(buffer, capacity, "%s %s", objective, kExchangeFile);
  return written >= 0 && written < capacity;
}

bool read_exchange_file_named(const char* file, int d, int k, double* ynew, char* message,
                              int capacity) {
  FILE* f = open_regular_for_reading(file);
  if (!f) {
    const FileKind kind = file_kind(file);
    if (kind != FileKind::kMissing && kind != FileKind::kRegular)
      snprintf(message, capacity, "sample_new_y: %s is %s, not a regular file; it is not read. ",
               file, file_kind_words(kind));
    else
      snprintf(message, capacity, "sample_new_y: Can't open  %s for reading. ", file);
    return false;
  }
  char token[kExchangeTokenWidth + 1];
  for (int i = 0; i < d + 1 + k; i++) {
    const TokenRead got = read_exchange_token(f, token, sizeof token);
    if (got == TokenRead::kNone) {
      fclose(f);
      snprintf(message, capacity,
               "sample_new_y: Possible reasons:\n\t(1) Minimization Function File does not exist "
               "in directory supplied. \n\t(2) Not enough values in  %s for reading.\n\t(3) "
               "Number of x-vars in Minimization Function and Program Database \n\t  don't match.",
               file);
      return false;
    }
    if (got == TokenRead::kTooLong) {
      // Cut into pieces, a long number would be read as another one.
      fclose(f);
      snprintf(message, capacity,
               "Sample New Points: a value in %s is longer than %d characters and cannot be read",
               file, kExchangeTokenWidth);
      return false;
    }
    if (i <= d) continue;
    if (parse_real_or_na(token, &ynew[i - d - 1], kNaMarker) != 0) {
      fclose(f);
      snprintf(message, capacity, "%s",
               "Sample New Points: Not all new points can be interpreted as a number");
      return false;
    }
  }
  fclose(f);
  return true;
}

void read_exchange_file(int d, int k, double* ynew) {
  char message[kExchangeMessageSize];
  if (!read_exchange_file_named(kExchangeFile, d, k, ynew, message, sizeof message))
    fatal_error(message);
}

namespace {

// Runs the objective command on the exchange file as the commands of
// several evaluations at once run: in a process group of its own, which an
// interrupt, hangup or termination request of the run ends too, and which
// ObjectiveTimeout stops once it overruns.
CommandOutcome run_objective_command(const char* command) {
  CommandOutcome outcome;
  run_commands_at_once(1, &command, &outcome, g_settings.ObjectiveTimeout);
  return outcome;
}

}  // namespace

bool evaluate_objective(const char* objective, int d, double* x, int k, double* ynew,
                        double* const* range, char* message, int capacity) {
  if (!write_exchange_file_checked(kExchangeFile, d, x, range, x, message, capacity)) return false;
  char command[kObjectiveTextSize + 16];
  if (!objective_command_line(objective, g_settings.objective_is_command, command,
                              static_cast<int>(sizeof command))) {
    snprintf(message, capacity, "%s", "sample_new_y: objective command too long");
    return false;
  }
  // A command that failed gives no answer, whatever the file holds.
  const CommandOutcome outcome = run_objective_command(command);
  if (command_failed(outcome, kExchangeFile, g_settings.ObjectiveTimeout, message, capacity))
    return false;
  return read_exchange_file_named(kExchangeFile, d, k, ynew, message, capacity);
}

void sample_new_y(const char* objective, int d, const double* x, int k, double* ynew,
                  double* const* range) {
  char message[kExchangeMessageSize];
  std::vector<double> point(x, x + d);
  if (!evaluate_objective(objective, d, point.data(), k, ynew, range, message, sizeof message))
    fatal_error(message);
}


// An NA, inf or nan cannot be modelled: appending it would corrupt every
// later fit and, as a response, could become the smallest value. Says so and
// returns true when the answer y (k values) holds one.
bool refuse_unusable_answer(const KrigModel* models, int k, const double* y) {
  const int bad = first_unusable(k, y);
  if (bad < 0) return false;
  fprintf(out_stream(), "Sorry, the objective returned %s for %s. The point is not added; "
                        "Minimize stops.\n", unusable_value_word(y[bad]), models[bad].yname);
  return true;
}
