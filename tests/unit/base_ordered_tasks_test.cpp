#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/interpreter.h"
#include "base/messages.h"
#include "base/ordered_tasks.h"
#include "fatal_test_support.h"

namespace {

// Task i prints two lines; task `failing` ends in a fatal error after its
// first line (with a value when `with_value`).
void print_or_fail(int i, int failing, bool with_value) {
  fprintf(out_stream(), "task %d begins\n", i);
  if (i == failing) {
    if (with_value) fatal_error_value("task failed", -1.5, "Value");
    fatal_error("task failed");
  }
  print_warning("task ends");
}

}  // namespace

// Each task's text is kept apart in its own record, whatever the number of
// threads, and a fatal error in a worker ends only its task: the tasks before
// it all finish, the error is recorded with its text and nothing is printed.
TEST(OrderedTasks, KeepEachTasksOutputAndHoldBackAFatalError) {
  for (int threads : {1, 3}) {
    for (bool with_value : {false, true}) {
      std::vector<TaskRecord> records;
      run_ordered_tasks(
          8, threads, [with_value](int i) { print_or_fail(i, 5, with_value); }, &records);
      ASSERT_EQ(records.size(), 8u);
      for (int i = 0; i < 5; i++) {
        EXPECT_TRUE(records[i].ran);
        EXPECT_FALSE(records[i].failed);
        EXPECT_EQ(records[i].output,
                  "task " + std::to_string(i) + " begins\nWARNING: task ends\n");
      }
      const TaskRecord& failed = records[5];
      EXPECT_EQ(failed.output, "task 5 begins\n");
      ASSERT_TRUE(failed.failed);
      EXPECT_EQ(failed.fatal.message, "task failed");
      EXPECT_EQ(failed.fatal.with_value, with_value);
      if (with_value) {
        EXPECT_EQ(failed.fatal.label, "Value");
        EXPECT_EQ(failed.fatal.value, -1.5);
      }
      if (threads == 1) {
        EXPECT_FALSE(records[7].ran);
      }
    }
  }
}

// Raised again on the calling thread, a captured error ends the run exactly
// as the original call would have.
TEST(OrderedTasksDeathTest, RaisedFatalErrorKeepsItsText) {
  std::vector<TaskRecord> records;
  run_ordered_tasks(2, 2, [](int i) { print_or_fail(i, 1, true); }, &records);
  EXPECT_FATAL_EXIT(throw records[1].fatal, ::testing::ExitedWithCode(2),
                    "^DORVE error ... \nValue -1.500000 \ntask failed \nNow exiting to system");
}
