// Shared helpers for the numeric unit tests: the exact standard-error text of
// a fatal error as a regular expression, and the allocation-registry switch
// set for the length of one test.
#ifndef DORVE_TESTS_UNIT_NUMERIC_TEST_SUPPORT_H_
#define DORVE_TESTS_UNIT_NUMERIC_TEST_SUPPORT_H_

#include <gtest/gtest.h>

#include <string>

#include "numeric/alloc_registry.h"

// Escapes every operator character of a POSIX extended regular expression,
// so the text matches only itself.
inline std::string regex_literal(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (std::string(".[]{}()\\*+?^$|").find(c) != std::string::npos) out += '\\';
    out += c;
  }
  return out;
}

// The whole of standard error after fatal_error(message), optionally preceded
// by `before` (already a regular expression).
inline std::string fatal_text(const std::string& message, const std::string& before = "") {
  return "^" + before + regex_literal("DORVE ERROR... \n" + message +
                                      " \nNow exiting to system ... \n ") +
         "$";
}

// Position (from 0) of an address in one registry list, or -1.
inline int registry_position(RegistryKind kind, const void* p) {
  for (int i = 0; i < registry_size(kind); i++) {
    if (registry_address(kind, i) == p) return i;
  }
  return -1;
}

// Sets the registry switch for one test and restores it afterwards.
class TrackingScope {
 public:
  explicit TrackingScope(bool on) : saved_(alloc_tracking_on()) { set_alloc_tracking(on); }
  ~TrackingScope() { set_alloc_tracking(saved_); }
  TrackingScope(const TrackingScope&) = delete;
  TrackingScope& operator=(const TrackingScope&) = delete;

 private:
  bool saved_;
};

#endif  // DORVE_TESTS_UNIT_NUMERIC_TEST_SUPPORT_H_
