// Independent pieces of work run on a pool of threads, with what each one
// prints held back so that the calling thread can put it out in the order a
// sequential run would have printed it.
#ifndef DORVE_BASE_ORDERED_TASKS_H_
#define DORVE_BASE_ORDERED_TASKS_H_

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "base/fatal_error.h"

// What one task left: its printed text and the fatal error that ended it.
struct TaskRecord {
  bool ran = false;
  std::string output;
  bool failed = false;  // a fatal error ended the task
  FatalError fatal;
};

// Runs body with this thread's output going to *text (appended). Returns
// false, with the error in *fatal, when body ended in a fatal error; any
// other exception passes on once the output is restored.
bool run_captured(const std::function<void()>& body, std::string* text, FatalError* fatal);

// Runs task(0) .. task(count - 1), each through run_captured into its own
// record, on at most `threads` threads that take the tasks in index order.
// Once a task has ended in a fatal error, the tasks after it that have not
// started are skipped (every task before it has started and runs to its end).
// With threads 1, or a single task, everything runs on the calling thread.
// An exception other than a fatal error is raised again on the calling
// thread once every task has ended.
void run_ordered_tasks(int count, int threads, const std::function<void(int)>& task,
                       std::vector<TaskRecord>* records);

// Holds back what the calling thread prints until release: a capture of the
// output stream into a memory buffer. Not nestable with another capture of
// the same thread except through run_captured, which restores it.
struct HeldOutput {
  FILE* stream = nullptr;
  char* buffer = nullptr;
  size_t size = 0;
  FILE* previous = nullptr;
};

// Puts out the tasks' texts in order on out, up to and including the first
// task that failed, and raises its fatal error.
void put_out_in_order(const std::vector<TaskRecord>& records, FILE* out);

// Starts holding back this thread's output.
void hold_output(HeldOutput* held);
// Stops holding back and returns the text held.
std::string release_output(HeldOutput* held);

#endif  // DORVE_BASE_ORDERED_TASKS_H_
