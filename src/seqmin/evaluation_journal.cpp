#include "seqmin/evaluation_journal.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "base/messages.h"
#include "base/safe_files.h"
#include "data/matrix_writer.h"
#include "data/model_store.h"
#include "numeric/storage.h"

namespace {

// Ends the run: a journal that falls behind the evaluations would break the
// promise that a stopped run loses at most the evaluation in flight.
[[noreturn]] void stop_on_journal_failure(const char* file_name, int error) {
  char message[320];
  snprintf(message, sizeof message,
           "%s stops: the journal file %s cannot be written (%s). It keeps the evaluations "
           "before this one; the answer of this one is in its exchange file.",
           current_command(), file_name, error != 0 ? strerror(error) : "write error");
  fatal_error(message);
}

}  // namespace

bool write_matrix_atomically(const char* file_name, const JournalMatrix& matrix) {
  if (!may_replace(file_name)) {
    errno = EINVAL;
    return false;
  }
  Replacement r;
  if (!begin_replacement(file_name, &r)) return false;
  if (!write_exact_matrix(r.stream, matrix.rows, matrix.cols, matrix.entries, matrix.names,
                          nullptr, matrix.title)) {
    const int error = errno;
    abandon_replacement(&r);
    errno = error != 0 ? error : EIO;
    return false;
  }
  return commit_replacement(&r, true);
}

void write_journal(const JournalMatrix& x, const JournalMatrix& y) {
  if (!write_matrix_atomically(kJournalXFile, x)) stop_on_journal_failure(kJournalXFile, errno);
  if (!write_matrix_atomically(kJournalYFile, y)) stop_on_journal_failure(kJournalYFile, errno);
}

void journal_evaluations(const KrigModel* models, const KrigArray* ka, int count,
                         const double* const* xs, const double* const* ys) {
  const KrigModel& kr = models[0];
  const int n = kr.n[0], d = kr.d[0], k = ky_count(ka);
  const int rows = n + count;
  // The rows of the design so far, then the new points; nothing is copied.
  double** xrows = nullptr;
  double** yrows = nullptr;
  StringSlot* ynames = nullptr;
  alloc_real_matrix(rows, k, &yrows);
  alloc_string_vector(k, &ynames);
  xrows = new double*[rows];
  for (int i = 0; i < n; i++) xrows[i] = kr.X[i];
  for (int i = 0; i < count; i++) xrows[n + i] = const_cast<double*>(xs[i]);
  for (int j = 0; j < k; j++) {
    for (int i = 0; i < n; i++) yrows[i][j] = models[j].y[i];
    for (int i = 0; i < count; i++) yrows[n + i][j] = ys[i][j];
    snprintf(ynames[j], kSlotLen, "%s", models[j].yname);
  }
  write_journal(JournalMatrix{rows, d, xrows, kr.xlabels, "X Matrix"},
                JournalMatrix{rows, k, yrows, ynames, "y Matrix"});
  delete[] xrows;
  free_string_vector(k, &ynames);
  free_real_matrix(rows, k, &yrows);
}

void journal_evaluation(const KrigModel* models, const KrigArray* ka, const double* x,
                        const double* ynew) {
  journal_evaluations(models, ka, 1, &x, &ynew);
}
