#include "seqmin/evaluation_batch.h"

#include <cstdio>
#include <vector>

#include "base/interpreter.h"
#include "base/settings.h"
#include "data/finite_checks.h"
#include "numeric/storage.h"

namespace {

// Room for one slot's command line: the objective text, plus the slot
// number beside each exchange-file word it names (or after the program).
constexpr int kSlotCommandSize = kObjectiveTextSize * 2;

char* batch_file(EvaluationBatch* batch, int i) { return batch->files + i * kSlotFileNameSize; }
char* batch_command(EvaluationBatch* batch, int i) {
  return batch->commands + i * kSlotCommandSize;
}

// One evaluation at a time: the exchange file and the objective as given.
// A command line that does not fit stays empty and fails its evaluation.
void prepare_single_command(EvaluationBatch* batch) {
  const Settings& s = g_settings;
  snprintf(batch_file(batch, 0), kSlotFileNameSize, "%s", kExchangeFile);
  if (!objective_command_line(s.ObjectiveFunction, s.objective_is_command, batch_command(batch, 0),
                              kSlotCommandSize))
    batch_command(batch, 0)[0] = '\0';
}

// Builds the slot files' names and the command lines. False, after saying
// why, when the objective cannot be run on q files at once: a command that
// does not name the exchange file would leave every slot without an answer.
bool prepare_slot_commands(EvaluationBatch* batch) {
  const Settings& s = g_settings;
  if (!objective_runs_on_slot_files()) return false;
  for (int i = 0; i < batch->q; i++) {
    slot_file_name(i + 1, batch_file(batch, i), kSlotFileNameSize);
    if (!slot_command_line(s.ObjectiveFunction, s.objective_is_command, batch_file(batch, i),
                           batch_command(batch, i), kSlotCommandSize)) {
      fprintf(out_stream(), "Sorry, command ignored. The objective command for %s is too long.\n",
              batch_file(batch, i));
      return false;
    }
  }
  return true;
}

}  // namespace

void release_evaluation_batch(EvaluationBatch* batch) {
  delete[] batch->files;
  delete[] batch->commands;
  delete[] batch->ends;
  delete[] batch->outcomes;
  if (batch->points) free_real_matrix(batch->q, batch->d, &batch->points);
  if (batch->criteria) free_real_vector(batch->q, &batch->criteria);
  if (batch->answers) free_real_matrix(batch->q, batch->k, &batch->answers);
  batch->q = 0;
}

bool open_evaluation_batch(int q, int d, int k, EvaluationBatch* batch) {
  batch->q = q;
  batch->d = d;
  batch->k = k;
  batch->files = new char[q * kSlotFileNameSize];
  batch->commands = new char[q * kSlotCommandSize];
  batch->ends = new CommandOutcome[q];
  batch->outcomes = new int[q];
  alloc_real_matrix(q, d, &batch->points);
  alloc_real_vector(q, &batch->criteria);
  alloc_real_matrix(q, k, &batch->answers);
  if (q == 1) {
    prepare_single_command(batch);
    return true;
  }
  if (prepare_slot_commands(batch)) return true;
  release_evaluation_batch(batch);
  return false;
}

void evaluate_batch(EvaluationBatch* batch, int size, double* const* range) {
  std::vector<const char*> commands(size);
  char message[kExchangeMessageSize];
  for (int i = 0; i < size; i++) {
    // The files share one folder: one that cannot be written fails the batch.
    if (!write_exchange_file_checked(batch_file(batch, i), batch->d, batch->points[i], range,
                                     batch->points[i], message, sizeof message)) {
      for (int j = 0; j < size; j++) batch->outcomes[j] = kBatchFailed;
      snprintf(batch->failure, sizeof batch->failure, "%s", message);
      return;
    }
    commands[i] = batch_command(batch, i);
  }
  if (commands[0][0] == '\0') {  // only a single command can be left empty
    batch->outcomes[0] = kBatchFailed;
    snprintf(batch->failure, sizeof batch->failure, "%s", "sample_new_y: objective command too long");
    return;
  }
  const int timeout = g_settings.ObjectiveTimeout;
  run_commands_at_once(size, commands.data(), batch->ends, timeout);
  batch->failure[0] = '\0';
  for (int i = 0; i < size; i++) {
    const char* file = batch_file(batch, i);
    const bool answered =
        !command_failed(batch->ends[i], file, timeout, message, sizeof message) &&
        read_exchange_file_named(file, batch->d, batch->k, batch->answers[i], message,
                                 sizeof message);
    if (!answered) {
      batch->outcomes[i] = kBatchFailed;
      if (batch->failure[0] == '\0') snprintf(batch->failure, sizeof batch->failure, "%s", message);
    } else {
      batch->outcomes[i] = first_unusable(batch->k, batch->answers[i]) >= 0 ? kBatchUnusable
                                                                            : kBatchAnswered;
    }
  }
}

bool objective_runs_on_slot_files() {
  const Settings& s = g_settings;
  if (!s.objective_is_command || names_exchange_file(s.ObjectiveFunction)) return true;
  fprintf(out_stream(),
          "Sorry, command ignored. With ParallelEvaluations > 1, "
          "SystemCommandObjectiveFunction must name dorve.temp (each evaluation gets its own "
          "file dorve.temp.k in its place).\n");
  return false;
}
