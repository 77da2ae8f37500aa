#include "data/matrix_writer.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/interpreter.h"
#include "base/messages.h"
#include "base/safe_files.h"
#include "data/matrix_reader.h"

namespace {

// A chunk of columns closes before its heading reaches this width.
constexpr int kChunkWidthLimit = 75;
// Width of the " Case " heading that opens every chunk.
constexpr int kCaseWidth = 6;
// Width a name gets at least.
constexpr int kMinNameWidth = 10;
// An entry that is exactly the NA marker is written as this text, which
// " %s " turns into "         NA ".
constexpr const char* kNaText = "        NA";

// ---- Entry texts ----

// The text of one number: the fixed-point form when it fits an entry the
// reader accepts, otherwise the exponent form with all significant digits,
// which keeps the value exactly.
void format_number(double value, const char* fixed_format, char* text) {
  const int needed = snprintf(text, kSlotLen, fixed_format, value);
  if (needed > kMaxWrittenEntry) snprintf(text, kSlotLen, "%.16e", value);
}

// The shortest "%.15g" to "%.17g" text that reads back as the same double,
// right-aligned in 10 characters like the fixed-point entries.
void format_exact_entry(double value, char* text) {
  char exact[kSlotLen];
  format_exact_number(value, exact, kSlotLen);
  snprintf(text, kSlotLen, "%10s", exact);
}

const char* fixed_format(bool full_precision) { return full_precision ? "%10.15f" : "%10.5f"; }

// Length of a slot's text as written: at most kMaxWrittenEntry characters.
int written_length(const char* slot) {
  int len = 0;
  while (len < kMaxWrittenEntry && slot[len] != '\0') len++;
  return len;
}

// ---- Column names ----

// The names the columns are written with: those given, cut to the longest
// entry the reader accepts, then the 1-based column numbers for the rest.
struct ColumnNames {
  StringSlot* slots;
  int count;
};

ColumnNames make_column_names(int cols, const StringSlot* names, int name_count) {
  ColumnNames result{nullptr, cols};
  if (cols <= 0) return result;
  alloc_string_vector(cols, &result.slots);
  const int given = name_count < 0 ? cols : name_count;
  for (int j = 0; j < cols; j++) {
    if (j < given)
      snprintf(result.slots[j], kSlotLen, "%.*s", written_length(names[j]), names[j]);
    else
      snprintf(result.slots[j], kSlotLen, "c%d", j + 1);
  }
  return result;
}

void free_column_names(ColumnNames* names) {
  if (names->slots) free_string_vector(names->count, &names->slots);
  names->slots = nullptr;
}

int name_width(const char* name) {
  const int len = written_length(name);
  return (len > kMinNameWidth ? len : kMinNameWidth) + 2;
}

int name_padding(const char* name) {
  const int len = written_length(name);
  return len > kMinNameWidth ? len - kMinNameWidth : 0;
}

// ---- Chunks ----

// chunk_end[k] is one past the last column of chunk k. A column starts a new
// chunk when it would bring the heading to 75 characters or more, or the
// widest data line of the chunk past the longest line the reader accepts
// (entry_len[j] is the longest entry text of column j).
int split_chunks(int cols, const ColumnNames& names, const int* entry_len, int row_label_width,
                 int* chunk_end) {
  int chunks = 0;
  int width = kCaseWidth;
  int line = row_label_width + 2;  // row label, closing blank and line end
  int in_chunk = 0;
  for (int j = 0; j < cols; j++) {
    const int w = name_width(names.slots[j]);
    const int entry = name_padding(names.slots[j]) + entry_len[j] + 2;
    if (in_chunk > 0 && (width + w >= kChunkWidthLimit || line + entry > kMaxMatrixLine)) {
      chunk_end[chunks++] = j;
      width = kCaseWidth;
      line = row_label_width + 2;
      in_chunk = 0;
    }
    width += w;
    line += entry;
    in_chunk++;
  }
  if (in_chunk > 0) chunk_end[chunks++] = cols;
  return chunks;
}

void write_dashes(FILE* f, int count) {
  for (int i = 0; i < count; i++) fputc('-', f);
}

void write_blanks(FILE* f, int count) {
  for (int i = 0; i < count; i++) fputc(' ', f);
}

// A file that cannot be created refuses the command at the console, where
// ending the session would lose what it holds (a finished fit, say) over a
// mistyped name; the session goes on. From a command file the run ends, as
// the commands after it may rely on the file. Returns true when refused.
bool refuse_unwritable_file(const char* writer, const char* file_name, int error) {
  if (!g_interp.interactive) return false;
  fprintf(out_stream(), "ERROR: %s: Can't open/create file %s (%s). Command ignored.\n", writer,
          file_name, strerror(error));
  return true;
}

// Opens the file for a matrix writer; null when the command is refused.
FILE* open_for_writing(const char* file_name, char mode, const char* writer) {
  FILE* f = open_output_file(file_name, mode == 'a');
  if (!f) {
    if (refuse_unwritable_file(writer, file_name, errno)) return nullptr;
    fprintf(stderr, "\n %s: Can't open/create file %s. Exit(1) \n", writer, file_name);
    end_run_after_error("Can't open/create file", 1);
  }
  return f;
}

// Closes a written file and says whether everything written reached it. A
// failed write or close (a full disk, a lost device) is reported on the
// output stream, so that an incomplete file is never taken for a good one.
bool finish_writing(FILE* f, const char* file_name) {
  errno = 0;
  bool ok = fflush(f) == 0 && !ferror(f);
  int error = ok ? 0 : errno;
  if (fclose(f) != 0 && ok) {
    ok = false;
    error = errno;
  }
  if (!ok)
    fprintf(out_stream(), "ERROR: Could not write to file %s: %s. The file is incomplete.\n",
            file_name, error != 0 ? strerror(error) : "write error");
  return ok;
}

void write_version_and_title(FILE* f, const char* title) {
  fprintf(f, "Version %5.3f \n", kDorveVersion);
  fprintf(f, "%s \n", title ? title : "");
}

// The text of entry (i, j) of either matrix kind.
struct RealEntries {
  double* const* m;
  const char* format;  // null: every number in its exact form
};
struct TextEntries {
  StringSlot* const* m;
};

void entry_text(const RealEntries& e, int i, int j, char* text) {
  if (e.m[i][j] == kNaMarker)
    snprintf(text, kSlotLen, "%s", kNaText);
  else if (e.format == nullptr)
    format_exact_entry(e.m[i][j], text);
  else
    format_number(e.m[i][j], e.format, text);
}

void entry_text(const TextEntries& e, int i, int j, char* text) {
  snprintf(text, kSlotLen, "%10.*s", written_length(e.m[i][j]), e.m[i][j]);
}

// Writes one entry between single blanks: " %10.5f ", "         NA " or " %10s ".
template <typename Entries>
void write_entry(FILE* f, const Entries& e, int i, int j) {
  char text[kSlotLen];
  entry_text(e, i, j, text);
  fprintf(f, " %s ", text);
}

template <typename Entries>
int entry_length(const Entries& e, int i, int j) {
  char text[kSlotLen];
  entry_text(e, i, j, text);
  return static_cast<int>(strlen(text));
}

template <typename Entries>
void write_rows(FILE* f, const Entries& e, int rows, int first, int last,
                const ColumnNames* names) {
  for (int i = 0; i < rows; i++) {
    fprintf(f, " %4d ", i + 1);
    for (int j = first; j < last; j++) {
      if (names) write_blanks(f, name_padding(names->slots[j]));
      write_entry(f, e, i, j);
    }
    fprintf(f, " \n");
  }
}

// The chunked body shared by writemat and write_string_matrix.
template <typename Entries>
void write_body(FILE* f, int rows, int cols, const Entries& e, const StringSlot* names,
                int name_count, const char* header, bool blank_before_chunk) {
  if (!names) {
    const int width = static_cast<int>(strlen(header ? header : "")) + kCaseWidth;
    if (blank_before_chunk) fprintf(f, "\n");
    write_dashes(f, width);
    fprintf(f, "\n Case ");
    fprintf(f, "%s", header ? header : "");
    fprintf(f, "\n");
    write_dashes(f, width);
    fprintf(f, "\n");
    write_rows(f, e, rows, 0, cols, nullptr);
    return;
  }
  ColumnNames written = make_column_names(cols, names, name_count);
  int* entry_len = nullptr;
  int* chunk_end = nullptr;
  alloc_int_vector(cols, &entry_len);
  alloc_int_vector(cols, &chunk_end);
  for (int j = 0; j < cols; j++) {
    entry_len[j] = 0;
    for (int i = 0; i < rows; i++) {
      const int len = entry_length(e, i, j);
      if (len > entry_len[j]) entry_len[j] = len;
    }
  }
  const int row_label_width = snprintf(nullptr, 0, " %4d ", rows);
  const int chunks = split_chunks(cols, written, entry_len, row_label_width, chunk_end);
  int first = 0;
  for (int k = 0; k < chunks; k++) {
    const int last = chunk_end[k];
    int width = kCaseWidth;
    for (int j = first; j < last; j++) width += name_width(written.slots[j]);
    if (blank_before_chunk) fprintf(f, "\n");
    write_dashes(f, width);
    fprintf(f, "\n Case ");
    for (int j = first; j < last; j++) fprintf(f, " %10s ", written.slots[j]);
    fprintf(f, "\n");
    write_dashes(f, width);
    fprintf(f, "\n");
    write_rows(f, e, rows, first, last, &written);
    first = last;
  }
  free_int_vector(cols, &chunk_end);
  free_int_vector(cols, &entry_len);
  free_column_names(&written);
}

// ---- CSV files ----

// Writes a CSV field, in double quotes (doubling any quote inside) only when
// it holds a comma, a quote, a line end or blanks at either end.
void write_csv_field(FILE* f, const char* text) {
  const size_t len = strlen(text);
  const bool quote = len == 0 || strpbrk(text, ",\"\r\n") != nullptr || text[0] == ' ' ||
                     text[len - 1] == ' ' || text[0] == '\t' || text[len - 1] == '\t';
  if (!quote) {
    fputs(text, f);
    return;
  }
  fputc('"', f);
  for (const char* c = text; *c; c++) {
    if (*c == '"') fputc('"', f);
    fputc(*c, f);
  }
  fputc('"', f);
}

// The CSV header row. Without names, the words of the header text name the
// columns when there is one word per column (the joined y names); otherwise
// the columns are named by their 1-based number.
void write_csv_header(FILE* f, int cols, const StringSlot* names, int name_count,
                      const char* header) {
  ColumnNames written = make_column_names(cols, names, names ? name_count : 0);
  if (!names && cols > 0) {
    char words[kSlotLen * 8];
    snprintf(words, sizeof words, "%s", header ? header : "");
    int found = 0;
    for (char* w = strtok(words, " \t"); w; w = strtok(nullptr, " \t")) found++;
    if (found == cols) {
      snprintf(words, sizeof words, "%s", header);
      int j = 0;
      for (char* w = strtok(words, " \t"); w; w = strtok(nullptr, " \t"))
        snprintf(written.slots[j++], kSlotLen, "%.*s", kMaxWrittenEntry, w);
    }
  }
  for (int j = 0; j < cols; j++) {
    if (j > 0) fputc(',', f);
    write_csv_field(f, written.slots[j]);
  }
  fputc('\n', f);
  free_column_names(&written);
}

// One row per observation, every number in its exact form, NA as "NA".
void write_csv_rows(FILE* f, int rows, int cols, double* const* matrix) {
  char text[kSlotLen];
  for (int i = 0; i < rows; i++) {
    for (int j = 0; j < cols; j++) {
      if (j > 0) fputc(',', f);
      if (matrix[i][j] == kNaMarker) {
        fputs("NA", f);
      } else {
        format_exact_number(matrix[i][j], text, kSlotLen);
        fputs(text, f);
      }
    }
    fputc('\n', f);
  }
}

bool fits_screen(int rows) {
  if (rows <= kMaxScreenRows) return true;
  fprintf(out_stream(), "Sorry, Matrix is to big to be displayed on screen\n");
  return false;
}

}  // namespace

void format_fixed_or_exact(double value, char* text, int capacity) {
  snprintf(text, capacity, "%f", value);
  if (strtod(text, nullptr) != value) format_exact_number(value, text, capacity);
}

void format_exact_number(double value, char* text, int capacity) {
  for (int precision = 15; precision < 17; precision++) {
    snprintf(text, capacity, "%.*g", precision, value);
    if (strtod(text, nullptr) == value) return;
  }
  snprintf(text, capacity, "%.17g", value);
}

bool write_exact_matrix(FILE* f, int rows, int cols, double* const* matrix,
                        const StringSlot* names, const char* header, const char* title) {
  write_version_and_title(f, title);
  const RealEntries entries{matrix, nullptr};
  write_body(f, rows, cols, entries, names, -1, header, true);
  return fflush(f) == 0 && !ferror(f);
}

bool writemat(int rows, int cols, double* const* matrix, const char* file_name,
              const StringSlot* names, const char* header, const char* title, char mode,
              bool full_precision, int name_count) {
  FILE* f = open_for_writing(file_name, mode, "writemat");
  if (!f) return false;
  fprintf(out_stream(), "Writing to file %s.\n", file_name);
  if (is_csv_file_name(file_name)) {
    if (mode != 'a') write_csv_header(f, cols, names, name_count, header);
    write_csv_rows(f, rows, cols, matrix);
    return finish_writing(f, file_name);
  }
  if (mode != 'a') write_version_and_title(f, title);
  const RealEntries entries{matrix, fixed_format(full_precision)};
  write_body(f, rows, cols, entries, names, name_count, header, true);
  return finish_writing(f, file_name);
}

bool write_string_matrix(int rows, int cols, StringSlot* const* matrix, const char* file_name,
                         const StringSlot* names, const char* header, const char* title,
                         char mode, int name_count) {
  FILE* f = open_for_writing(file_name, mode, "writemat");
  if (!f) return false;
  fprintf(out_stream(), "Writing to file %s.\n", file_name);
  write_version_and_title(f, title);
  const TextEntries entries{matrix};
  write_body(f, rows, cols, entries, names, name_count, header, false);
  return finish_writing(f, file_name);
}

bool writevec(int rows, const double* vector, const char* file_name, const char* name,
              const char* title, char mode) {
  FILE* f = open_for_writing(file_name, mode, "writevec");
  if (!f) return false;
  write_version_and_title(f, title);
  fprintf(f, "-------");
  fprintf(f, "\n Case %.*s \n", written_length(name), name);
  fprintf(f, "-------");
  fprintf(f, "\n");
  char text[kSlotLen];
  for (int i = 0; i < rows; i++) {
    format_number(vector[i], "%10.5f", text);
    fprintf(f, "  %2d   %s \n", i + 1, text);
  }
  return finish_writing(f, file_name);
}

bool output_summary(const KrigModel* kr, const char* file_name, const char* title) {
  FILE* f = open_output_file(file_name, false);
  if (!f) {
    if (refuse_unwritable_file("output_summary", file_name, errno)) return false;
    fatal_error("output_summary: Can't open/create file corpar.mat.");
  }
  write_version_and_title(f, title);
  const char* dashes = "----------------------------------------------------------\n";
  fputs(dashes, f);
  fputs(" Case Variable Min        Max\n", f);
  fputs(dashes, f);
  char low[kSlotLen];
  char high[kSlotLen];
  for (int i = 0; i < kr->d[0]; i++) {
    format_fixed_or_exact(kr->range[i][0], low, kSlotLen);
    format_fixed_or_exact(kr->range[i][1], high, kSlotLen);
    // The names of X, so that the file reads back as this design's XDescription.
    fprintf(f, "  %d     %.28s      %s  %s \n", i + 1, kr->xlabels[i], low, high);
  }
  return finish_writing(f, file_name);
}

bool output_matrix(int rows, int cols, double* const* matrix, const char* destination,
                   const StringSlot* names, const char* title, int name_count) {
  if (is_screen(destination)) {
    if (fits_screen(rows))
      print_real_matrix(rows, cols, matrix, "sorry, no labels at this time", false);
    return true;
  }
  return writemat(rows, cols, matrix, destination, names, nullptr, title, 'w', false, name_count);
}

bool output_string_matrix(int rows, int cols, StringSlot* const* matrix, const char* destination,
                          const StringSlot* names, const char* title, int name_count) {
  if (is_screen(destination)) {
    if (fits_screen(rows)) print_string_matrix(rows, cols, matrix, "Sorry, no labels at this time");
    return true;
  }
  return write_string_matrix(rows, cols, matrix, destination, names, nullptr, title, 'w', name_count);
}
