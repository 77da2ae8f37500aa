// The evaluations of one stage of Minimize, run at once: each point goes to
// its own exchange file (exchange_file.h), the objective commands run
// together, and each answer is read back and sorted by its outcome.
//
// A run that evaluates one point at a time is a batch of one on the exchange
// file "dorve.temp" itself, with the objective command as it was given. With
// ParallelEvaluations = q > 1, evaluation k (1..q) uses the slot file
// "dorve.temp.k" (objective_processes.h).
#ifndef DORVE_SEQMIN_EVALUATION_BATCH_H_
#define DORVE_SEQMIN_EVALUATION_BATCH_H_

#include "seqmin/exchange_file.h"

enum BatchOutcome { kBatchAnswered, kBatchUnusable, kBatchFailed };

// The work storage of the batches of one Minimize run.
struct EvaluationBatch {
  int q = 0;  // room for this many evaluations
  int d = 0;
  int k = 0;                   // y variables
  char* files = nullptr;       // q names of kSlotFileNameSize characters
  char* commands = nullptr;    // q command lines
  double** points = nullptr;   // q x d: the points to evaluate
  double* criteria = nullptr;  // q: their criterion values
  double** answers = nullptr;  // q x k: the responses read back
  CommandOutcome* ends = nullptr;  // q: how each command ended
  int* outcomes = nullptr;     // q BatchOutcome
  char failure[kExchangeMessageSize] = "";  // why the first failed evaluation failed
};

// Opens the batch for up to q points of d coordinates with k responses each.
// False (nothing to release), after saying why, when the objective cannot
// be run on q files at once.
bool open_evaluation_batch(int q, int d, int k, EvaluationBatch* batch);

void release_evaluation_batch(EvaluationBatch* batch);

// Writes points 0 .. size - 1 (each becomes the point as its file holds
// it), runs their commands at once and sorts the outcomes: an evaluation
// whose file could not be written, whose command failed (see
// command_failed) or that left no readable answer has failed, and failure
// names the first such reason; an answer with an NA, inf or nan is unusable.
void evaluate_batch(EvaluationBatch* batch, int size, double* const* range);

// True when the objective can run on the slot files of several evaluations
// at once: a program (it gets the file as its argument) or a command that
// names the exchange file. Otherwise says so and returns false.
bool objective_runs_on_slot_files();

#endif  // DORVE_SEQMIN_EVALUATION_BATCH_H_
