#include "base/ordered_tasks.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <exception>
#include <mutex>
#include <thread>

#include "base/interpreter.h"

void hold_output(HeldOutput* held) {
  held->buffer = nullptr;
  held->size = 0;
  held->stream = open_memstream(&held->buffer, &held->size);
  if (held->stream == nullptr) fatal_error("hold_output: no memory for the output buffer");
  held->previous = t_out_capture;
  t_out_capture = held->stream;
}

std::string release_output(HeldOutput* held) {
  t_out_capture = held->previous;
  fclose(held->stream);
  std::string text(held->buffer, held->size);
  free(held->buffer);
  *held = HeldOutput();
  return text;
}

bool run_captured(const std::function<void()>& body, std::string* text, FatalError* fatal) {
  HeldOutput held;
  hold_output(&held);
  bool completed = true;
  try {
    body();
  } catch (const FatalError& error) {
    *fatal = error;
    completed = false;
  } catch (...) {
    text->append(release_output(&held));
    throw;
  }
  text->append(release_output(&held));
  return completed;
}

void put_out_in_order(const std::vector<TaskRecord>& records, FILE* out) {
  for (const TaskRecord& r : records) {
    fputs(r.output.c_str(), out);
    if (r.failed) throw r.fatal;
  }
}

namespace {

// The shared state of one pool: the next task to take and the first failure.
struct TaskQueue {
  int count = 0;
  const std::function<void(int)>* task = nullptr;
  std::vector<TaskRecord>* records = nullptr;
  std::atomic<int> next{0};
  std::atomic<int> first_failure{0};  // count when none
  std::mutex error_lock;
  std::exception_ptr error;  // anything other than a fatal error, raised again later
};

void note_failure(TaskQueue* q, int index) {
  int seen = q->first_failure.load();
  while (index < seen && !q->first_failure.compare_exchange_weak(seen, index)) {
  }
}

void work_through(TaskQueue* q) {
  for (;;) {
    const int index = q->next.fetch_add(1);
    if (index >= q->count || index > q->first_failure.load()) return;
    TaskRecord& record = (*q->records)[index];
    record.ran = true;
    try {
      if (!run_captured([q, index] { (*q->task)(index); }, &record.output, &record.fatal)) {
        record.failed = true;
        note_failure(q, index);
      }
    } catch (...) {
      const std::lock_guard<std::mutex> guard(q->error_lock);
      if (!q->error) q->error = std::current_exception();
      note_failure(q, index);
    }
  }
}

}  // namespace

void run_ordered_tasks(int count, int threads, const std::function<void(int)>& task,
                       std::vector<TaskRecord>* records) {
  records->assign(count, TaskRecord());
  TaskQueue q;
  q.count = count;
  q.task = &task;
  q.records = records;
  q.first_failure = count;
  const int workers = std::min(std::max(threads, 1), count);
  if (workers <= 1) {
    work_through(&q);
  } else {
    std::vector<std::thread> pool;
    pool.reserve(workers - 1);
    for (int i = 1; i < workers; i++) pool.emplace_back(work_through, &q);
    work_through(&q);  // the calling thread is one of the workers
    for (std::thread& t : pool) t.join();
  }
  if (q.error) std::rethrow_exception(q.error);
}
