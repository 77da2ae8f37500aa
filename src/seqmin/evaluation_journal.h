// The evaluation journal of Minimize: after every objective evaluation the
// whole design so far (the starting design and every point evaluated since)
// is on disk as two matrix files in the working directory, X and y with
// every response and constraint column, each number in a form that reads
// back bit for bit. A stopped run is resumed with
//   X < dorve_journal_x.mat
//   y < dorve_journal_y.mat
// the same settings, and Minimize.
//
// Each file is rewritten whole through a temporary file that is flushed to
// the disk and then renamed over the old one, so a journal file is always
// either the previous version or the new one, never a part of one.
#ifndef DORVE_SEQMIN_EVALUATION_JOURNAL_H_
#define DORVE_SEQMIN_EVALUATION_JOURNAL_H_

#include "base/string_slot.h"

struct KrigModel;
struct KrigArray;

constexpr const char* kJournalXFile = "dorve_journal_x.mat";
constexpr const char* kJournalYFile = "dorve_journal_y.mat";

// One matrix of the journal.
struct JournalMatrix {
  int rows;
  int cols;
  double* const* entries;
  const StringSlot* names;  // one per column
  const char* title;
};

// Writes the matrix to file_name atomically: the text goes to a fresh
// temporary file beside it (created exclusively under an unpredictable name),
// which is flushed and fsync'd, then renamed over file_name, and the folder
// is fsync'd. Returns false (leaving file_name as it was and no temporary
// file) when anything failed, or when something other than a regular file
// stands at file_name (EINVAL); errno then says why.
bool write_matrix_atomically(const char* file_name, const JournalMatrix& matrix);

// Rewrites both journal files, X first: x as dorve_journal_x.mat, y as
// dorve_journal_y.mat. A file that cannot be written keeps its previous
// version and ends the run with a fatal error that names it and the command.
void write_journal(const JournalMatrix& x, const JournalMatrix& y);

// Rewrites both journal files with the design the models hold followed by
// the new evaluation: the point x and ynew (one value per y variable, in
// model order). X goes first, so that should a run be killed between the
// two renames, X holds one row more than y (that point is also in the
// exchange file). A file that cannot be written keeps its previous version
// and ends the run with a fatal error that names it.
void journal_evaluation(const KrigModel* models, const KrigArray* ka, const double* x,
                        const double* ynew);

// The same with the count new evaluations of one stage, in their order:
// points xs[i] (d values each) and responses ys[i] (one per y variable).
void journal_evaluations(const KrigModel* models, const KrigArray* ka, int count,
                         const double* const* xs, const double* const* ys);

#endif  // DORVE_SEQMIN_EVALUATION_JOURNAL_H_
