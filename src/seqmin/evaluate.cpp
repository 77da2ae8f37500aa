#include "seqmin/evaluate.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "base/interpreter.h"
#include "base/messages.h"
#include "base/ordered_tasks.h"
#include "base/progress.h"
#include "base/settings.h"
#include "data/finite_checks.h"
#include "data/init_checks.h"
#include "data/matrix_reader.h"
#include "data/model_matrices.h"
#include "data/model_store.h"
#include "numeric/storage.h"
#include "seqmin/evaluation_batch.h"
#include "seqmin/evaluation_journal.h"
#include "seqmin/exchange_file.h"
#include "seqmin/folder_lock.h"
#include "seqmin/objective_processes.h"

namespace {

// Room for one command line: the objective text, plus the slot number beside
// each exchange-file word it names.
constexpr int kCommandSize = kObjectiveTextSize * 2;
// Room for the longest message about an unreadable exchange file.
constexpr int kMessageSize = 400;
// The response the first answers make when there is no y variable yet.
constexpr const char* kDefaultResponse = "y";

// What Evaluate works on: the design's y as an n x k matrix, NA where a row
// has no answer yet.
struct Answers {
  int n = 0;
  int d = 0;
  int k = 0;
  double** y = nullptr;         // n x k
  StringSlot* names = nullptr;  // k
};

void open_answers(const KrigModel* models, const KrigArray* ka, Answers* a) {
  const KrigModel& m0 = models[0];
  a->n = m0.n[0];
  a->d = m0.d[0];
  a->k = ky_count(ka) > 0 ? ky_count(ka) : 1;
  alloc_real_matrix(a->n, a->k, &a->y);
  alloc_string_vector(a->k, &a->names);
  for (int j = 0; j < a->k; j++) {
    const KrigModel* kr = ky_count(ka) > 0 ? &models[j] : nullptr;
    snprintf(a->names[j], kSlotLen, "%s", kr != nullptr ? kr->yname : kDefaultResponse);
    const bool held = kr != nullptr && kr->init.y;
    for (int i = 0; i < a->n; i++) a->y[i][j] = held ? kr->y[i] : kNaMarker;
  }
}

void close_answers(Answers* a) {
  free_real_matrix(a->n, a->k, &a->y);
  free_string_vector(a->k, &a->names);
}

bool row_is_open(const Answers& a, int row) {
  for (int j = 0; j < a.k; j++)
    if (a.y[row][j] == kNaMarker) return true;
  return false;
}

std::vector<int> open_rows(const Answers& a) {
  std::vector<int> rows;
  for (int i = 0; i < a.n; i++)
    if (row_is_open(a, i)) rows.push_back(i);
  return rows;
}

void journal_answers(const KrigModel* models, const Answers& a) {
  const KrigModel& m0 = models[0];
  write_journal(JournalMatrix{a.n, a.d, m0.X, m0.xlabels, "X Matrix"},
                JournalMatrix{a.n, a.k, a.y, a.names, "y Matrix"});
}

// ---- Answers the journal holds ----

bool file_exists(const char* name) { return access(name, F_OK) == 0; }

bool same_names(int count, const StringSlot* a, const StringSlot* b) {
  for (int j = 0; j < count; j++)
    if (strcmp(a[j], b[j]) != 0) return false;
  return true;
}

bool same_point(int d, const double* a, const double* b) {
  for (int j = 0; j < d; j++)
    if (!(a[j] == b[j])) return false;
  return true;
}

// The journal row whose point is exactly x (d values; the journal keeps
// every digit) and whose answer is complete, or -1.
int find_journal_row(int rows, int d, int k, double* const* jx, double* const* jy,
                     const double* x) {
  for (int r = 0; r < rows; r++)
    if (same_point(d, jx[r], x) && first_unusable(k, jy[r]) < 0) return r;
  return -1;
}

// Fills the open rows whose point the journal holds with a complete answer,
// when the journal has the design's x and y variables. Returns how many.
int take_journal_answers(const KrigModel* models, Answers* a) {
  if (!file_exists(kJournalXFile) || !file_exists(kJournalYFile)) return 0;
  double** jx = nullptr;
  double** jy = nullptr;
  StringSlot* xnames = nullptr;
  StringSlot* ynames = nullptr;
  int xrows = 0, xcols = 0, yrows = 0, ycols = 0;
  // The reader's messages (the files read, the NA rows they hold) are not
  // part of Evaluate's report.
  HeldOutput quiet;
  hold_output(&quiet);
  const bool read = read_matrix(0, 0, &jx, &xrows, &xcols, kJournalXFile, &xnames) == 0 &&
                    read_matrix(0, 0, &jy, &yrows, &ycols, kJournalYFile, &ynames) == 0;
  release_output(&quiet);
  int taken = 0;
  const KrigModel& m0 = models[0];
  if (!read) {
    print_info("The journal cannot be read; its answers are not used.");
  } else if (xcols == a->d && ycols == a->k && same_names(a->d, xnames, m0.xlabels) &&
             same_names(a->k, ynames, a->names)) {
    const int rows = xrows < yrows ? xrows : yrows;
    for (int i = 0; i < a->n; i++) {
      if (!row_is_open(*a, i)) continue;
      const int r = find_journal_row(rows, a->d, a->k, jx, jy, m0.X[i]);
      if (r < 0) continue;
      for (int j = 0; j < a->k; j++) a->y[i][j] = jy[r][j];
      taken++;
    }
  } else {
    print_info("The journal is not of this design; its answers are not used.");
  }
  if (xrows > 0 && xcols > 0) free_real_matrix(xrows, xcols, &jx);
  if (yrows > 0 && ycols > 0) free_real_matrix(yrows, ycols, &jy);
  if (xcols > 0) free_string_vector(xcols, &xnames);
  if (ycols > 0) free_string_vector(ycols, &ynames);
  return taken;
}

// ---- One round: up to q rows evaluated at once ----

struct Round {
  int size = 0;
  std::vector<int> rows;                  // the design rows evaluated
  std::vector<std::vector<char>> files;   // their exchange files
  std::vector<std::vector<char>> commands;
  std::vector<std::vector<double>> answers;
};

// The exchange file and command line of slot i of a round of q; false after
// saying why when the command does not fit.
bool prepare_slot(int q, int i, Round* round) {
  const Settings& s = g_settings;
  std::vector<char>& file = round->files[i];
  std::vector<char>& command = round->commands[i];
  file.assign(kSlotFileNameSize, '\0');
  command.assign(kCommandSize, '\0');
  bool fits;
  if (q == 1) {
    snprintf(file.data(), file.size(), "%s", kExchangeFile);
    fits = objective_command_line(s.ObjectiveFunction, s.objective_is_command, command.data(),
                                  kCommandSize);
  } else {
    slot_file_name(i + 1, file.data(), kSlotFileNameSize);
    fits = slot_command_line(s.ObjectiveFunction, s.objective_is_command, file.data(),
                             command.data(), kCommandSize);
  }
  if (!fits)
    fprintf(out_stream(), "Sorry, command ignored. The objective command for %s is too long.\n",
            file.data());
  return fits;
}

bool prepare_round(int q, Round* round) {
  round->files.resize(q);
  round->commands.resize(q);
  round->answers.assign(q, std::vector<double>());
  for (int i = 0; i < q; i++)
    if (!prepare_slot(q, i, round)) return false;
  return true;
}

// Evaluates the round's rows; returns the index of the first slot without a
// usable answer (its reason in message), or -1.
int run_round(const KrigModel* m0, const Answers& a, Round* round, char* message, int capacity) {
  const int d = m0->d[0], k = a.k;
  std::vector<const char*> commands(round->size);
  for (int i = 0; i < round->size; i++) {
    // The objective gets the design's row exactly, so that the answer belongs
    // to the very point the design holds.
    if (!write_exact_exchange_file(round->files[i].data(), d, m0->X[round->rows[i]], message,
                                   capacity))
      fatal_error(message);
    commands[i] = round->commands[i].data();
  }
  const int timeout = g_settings.ObjectiveTimeout;
  std::vector<CommandOutcome> outcomes(round->size);
  run_commands_at_once(round->size, commands.data(), outcomes.data(), timeout);
  int failed = -1;
  for (int i = 0; i < round->size; i++) {
    std::vector<double>& y = round->answers[i];
    y.assign(k, kNaMarker);
    char why[kMessageSize] = "";
    bool usable = false;
    // A command that failed gives no answer, whatever its file holds.
    const bool ended_well =
        !command_failed(outcomes[i], round->files[i].data(), timeout, why, sizeof why);
    if (ended_well &&
        read_exchange_file_named(round->files[i].data(), d, k, y.data(), why, sizeof why)) {
      const int bad = first_unusable(k, y.data());
      usable = bad < 0;
      if (!usable)
        snprintf(why, sizeof why, "the objective returned %s for %s.", unusable_value_word(y[bad]),
                 a.names[bad]);
    }
    if (!usable) {
      y.clear();
      if (failed < 0) {
        failed = i;
        snprintf(message, capacity, "%s", why);
      }
    }
  }
  return failed;
}

// "Evaluate: evaluation 13/40", or "Evaluate: evaluations 13-16/40" for a
// round of several: of the open rows, counted from 1.
void show_round_progress(int done, int size, int open) {
  if (size == 1)
    show_progress("Evaluate: evaluation %d/%d", done + 1, open);
  else
    show_progress("Evaluate: evaluations %d-%d/%d", done + 1, done + size, open);
}

void report_row(const Answers& a, int row) {
  FILE* out = out_stream();
  fprintf(out, "Row %4d:", row + 1);
  for (int j = 0; j < a.k; j++)
    fprintf(out, "%s %s = %.6g", j > 0 ? "," : "", a.names[j], a.y[row][j]);
  fprintf(out, "\n");
}

// What evaluate_rows did.
struct Outcome {
  int calls = 0;     // objective calls made
  int answered = 0;  // rows that got their answer
  bool stopped = false;  // a row failed, or the commands could not be prepared
};

// Evaluates the rows in turn, q at a time and at most budget (0: no limit);
// journals after every round that answered a row.
Outcome evaluate_rows(const KrigModel* models, Answers* a, const std::vector<int>& rows, int q,
                      int budget) {
  Round round;
  Outcome o;
  if (!prepare_round(q, &round)) {
    o.stopped = true;
    return o;
  }
  int& calls = o.calls;
  size_t next = 0;
  while (next < rows.size() && (budget == 0 || calls < budget)) {
    int size = static_cast<int>(rows.size() - next);
    if (size > q) size = q;
    if (budget > 0 && budget - calls < size) size = budget - calls;
    round.size = size;
    round.rows.assign(rows.begin() + next, rows.begin() + next + size);
    show_round_progress(static_cast<int>(next), size, static_cast<int>(rows.size()));
    char message[kMessageSize] = "";
    const int failed = run_round(&models[0], *a, &round, message, sizeof message);
    calls += size;
    next += size;
    int answered = 0;
    for (int i = 0; i < size; i++) {
      if (round.answers[i].empty()) continue;
      for (int j = 0; j < a->k; j++) a->y[round.rows[i]][j] = round.answers[i][j];
      answered++;
    }
    // On disk before they are reported: a row shown is never lost.
    if (answered > 0) journal_answers(models, *a);
    for (int i = 0; i < size; i++)
      if (!round.answers[i].empty()) report_row(*a, round.rows[i]);
    o.answered += answered;
    if (failed >= 0) {
      fprintf(out_stream(), "Sorry, Evaluate stops at row %d: %s\n", round.rows[failed] + 1,
              message);
      o.stopped = true;
      break;
    }
  }
  return o;
}

// The checks before anything runs; each failure prints its message.
bool evaluate_entry_checks(const KrigModel* models, const KrigArray* ka) {
  if (!check_initialized(models[0].init, "X", "FuncName", nullptr, nullptr, nullptr, true))
    return false;
  if (!designs_are_usable(models, ka)) return false;
  return g_settings.ParallelEvaluations == 1 || objective_runs_on_slot_files();
}

void run_evaluate(KrigModel** models, KrigArray* ka) {
  if (!evaluate_entry_checks(*models, ka)) return;
  FILE* out = out_stream();
  Answers a;
  open_answers(*models, ka, &a);
  if (open_rows(a).empty()) {
    fprintf(out, "Evaluate: every row of X has its y.\n");
    close_answers(&a);
    return;
  }
  if (ky_count(ka) == 0)
    print_info("No y variables yet: the first value of each answer becomes the response y.");
  const int from_journal = take_journal_answers(*models, &a);
  if (from_journal > 0)
    fprintf(out, "Evaluate: %d rows answered from the journal (%s, %s).\n", from_journal,
            kJournalXFile, kJournalYFile);
  const std::vector<int> rows = open_rows(a);
  Outcome o;
  if (!rows.empty()) {
    const int q = g_settings.ParallelEvaluations;
    fprintf(out, "Evaluate: %d of the %d rows of X have no y; the objective runs on them",
            static_cast<int>(rows.size()), a.n);
    if (q > 1) fprintf(out, ", %d at once", q);
    fprintf(out, ".\n");
    o = evaluate_rows(*models, &a, rows, q, g_settings.MaxEvaluations);
  }
  if (o.answered > 0 || from_journal > 0) set_responses(models, ka, a.y, a.names, a.n, a.k);
  const int left = static_cast<int>(open_rows(a).size());
  if (left == 0)
    fprintf(out, "Evaluate: y holds all %d rows.\n", a.n);
  else if (!o.stopped)
    fprintf(out, "Evaluate stops: %d objective evaluation%s made (MaxEvaluations = %d); %d rows "
                 "have no y yet.\n",
            o.calls, o.calls == 1 ? "" : "s", g_settings.MaxEvaluations, left);
  close_answers(&a);
}

}  // namespace

void evaluate_design(KrigModel** models, KrigArray* ka) {
  WorkingFolderLock lock;
  if (!own_files_are_safe(g_settings.ParallelEvaluations, "Evaluate") || !lock.take("Evaluate"))
    return;
  run_evaluate(models, ka);
}
