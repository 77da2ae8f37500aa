#include "seqmin/evaluation_journal.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "base/interpreter.h"
#include "data/matrix_writer.h"
#include "data/model_store.h"
#include "numeric/storage.h"

namespace {

constexpr int kTempNameSize = 64;

// Makes a rename in the working directory durable. Best effort: some file
// systems cannot sync a directory, and the rename has happened either way.
void sync_working_directory() {
  const int dir = open(".", O_RDONLY);
  if (dir < 0) return;
  fsync(dir);
  close(dir);
}

void report_journal_failure(const char* file_name, int error) {
  fprintf(out_stream(),
          "ERROR: Could not write the journal file %s: %s. It keeps its previous contents.\n",
          file_name, error != 0 ? strerror(error) : "write error");
}

}  // namespace

bool write_matrix_atomically(const char* file_name, const JournalMatrix& matrix) {
  char temp_name[kTempNameSize];
  snprintf(temp_name, sizeof temp_name, "%s.tmp", file_name);
  FILE* f = fopen(temp_name, "w");
  if (!f) return false;
  errno = 0;
  bool ok = write_exact_matrix(f, matrix.rows, matrix.cols, matrix.entries, matrix.names, nullptr,
                               matrix.title) &&
            fsync(fileno(f)) == 0;
  int error = errno;
  if (fclose(f) != 0 && ok) {
    ok = false;
    error = errno;
  }
  if (ok && rename(temp_name, file_name) != 0) {
    ok = false;
    error = errno;
  }
  if (!ok) {
    remove(temp_name);
    errno = error;
    return false;
  }
  sync_working_directory();
  return true;
}

void write_journal(const JournalMatrix& x, const JournalMatrix& y) {
  if (!write_matrix_atomically(kJournalXFile, x)) report_journal_failure(kJournalXFile, errno);
  if (!write_matrix_atomically(kJournalYFile, y)) report_journal_failure(kJournalYFile, errno);
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
