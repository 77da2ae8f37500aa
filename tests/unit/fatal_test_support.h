// Death tests of fatal errors. A fatal error unwinds to the program's top
// level, which prints it and ends the run with its status; a test's
// statement does not run under main, so EXPECT_FATAL_EXIT ends the death
// test's child process as the program would: the error's text on standard
// error (after whatever the statement printed), its status as the exit status.
#ifndef DORVE_TESTS_UNIT_FATAL_TEST_SUPPORT_H_
#define DORVE_TESTS_UNIT_FATAL_TEST_SUPPORT_H_

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>

#include "base/fatal_error.h"

// Runs body; a fatal error it raises ends the process as the program ends
// the run. The streams are flushed, and the process ends without the exit
// handlers (a sanitizer's leak check would report the work storage that the
// error abandoned).
template <typename Body>
void end_run_on_fatal_error(const Body& body) {
  try {
    body();
  } catch (const FatalError& error) {
    const int status = report_fatal_error(error);
    fflush(nullptr);
    _exit(status);
  }
}

// EXPECT_EXIT for a statement that is to end the run with a fatal error.
#define EXPECT_FATAL_EXIT(statement, predicate, regex) \
  EXPECT_EXIT(end_run_on_fatal_error([&] { statement; }), predicate, regex)

#endif  // DORVE_TESTS_UNIT_FATAL_TEST_SUPPORT_H_
