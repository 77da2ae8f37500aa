#include "base/fatal_error.h"

#include <cstdio>

#include "base/progress.h"

void fatal_error(const char* message) {
  FatalError error;
  error.message = message;
  throw error;
}

void fatal_error_value(const char* message, double value, const char* label) {
  FatalError error;
  error.message = message;
  error.with_value = true;
  error.label = label;
  error.value = value;
  error.status = 2;
  throw error;
}

void end_run_after_error(const char* message, int status) {
  FatalError error;
  error.message = message;
  error.status = status;
  error.printed = true;
  throw error;
}

void invariant_broken(const char* message) { fatal_error(message); }

std::string fatal_error_text(const FatalError& error) {
  if (error.printed) return std::string();
  std::string text;
  if (error.with_value) {
    text = "DORVE error ... \n";
    // "%s %f \n": the label as it is, the value with six decimals.
    const int size = snprintf(nullptr, 0, "%s %f \n", error.label.c_str(), error.value);
    std::string line(size > 0 ? size : 0, '\0');
    if (size > 0) snprintf(&line[0], line.size() + 1, "%s %f \n", error.label.c_str(), error.value);
    text += line;
  } else {
    text = "DORVE ERROR... \n";
  }
  text += error.message + " \n";
  text += "Now exiting to system ... \n ";
  return text;
}

int report_fatal_error(const FatalError& error) {
  end_progress();
  const std::string text = fatal_error_text(error);
  fputs(text.c_str(), stderr);
  return error.status;
}
