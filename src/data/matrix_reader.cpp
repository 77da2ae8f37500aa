#include "data/matrix_reader.h"

#include <strings.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/interpreter.h"
#include "base/messages.h"
#include "base/tokenizer.h"
#include "data/model_store.h"
#include "numeric/storage.h"

namespace {

// Room for the longest accepted line, its line end and the terminator.
constexpr int kLineBuffer = 150;
// The line splitter stops at the 30th entry; entries are string slots.
constexpr int kSplitCapacity = kMaxLineEntries + 1;

// One line of the file without its line end. Text beyond the buffer is
// counted in length but not kept (such a line is always rejected or ignored).
struct FileLine {
  char text[kLineBuffer];
  int length;    // characters before the line end
  bool has_end;  // a newline, carriage return or both ended the line
};

bool is_separator_line(const FileLine& line) {
  return line.length >= 2 && line.text[0] == '-' && line.text[1] == '-';
}

// A header or data line is too long when it holds more than 148 characters,
// its line end counted as one (whether written as LF, CR or CR LF).
bool is_too_long(const FileLine& line) {
  return line.length + (line.has_end ? 1 : 0) > kMaxMatrixLine;
}

enum class LineRead { kLine, kEnd, kTooLong };

// Reads one line. kEnd at the end of the file when nothing was read;
// kTooLong as soon as the line passes kMaxScannedLine characters, without
// reading the rest of it (a file without line ends, such as /dev/zero, is
// refused after that many characters).
LineRead read_file_line(FILE* f, FileLine* line) {
  line->length = 0;
  line->has_end = false;
  int c;
  while ((c = getc(f)) != EOF) {
    if (c == '\n') {
      line->has_end = true;
      break;
    }
    if (c == '\r') {
      int next = getc(f);
      if (next != '\n' && next != EOF) ungetc(next, f);
      line->has_end = true;
      break;
    }
    if (line->length == kMaxScannedLine) {
      line->text[kLineBuffer - 1] = '\0';
      return LineRead::kTooLong;
    }
    if (line->length < kLineBuffer - 1) line->text[line->length] = static_cast<char>(c);
    line->length++;
  }
  const int kept = line->length < kLineBuffer - 1 ? line->length : kLineBuffer - 1;
  line->text[kept] = '\0';
  return (c != EOF || line->length > 0) ? LineRead::kLine : LineRead::kEnd;
}

int report_too_long() {
  fprintf(out_stream(), "ERROR: Input line contains too many characters.\n");
  return kReadLineTooLong;
}

bool is_case_name(const char* name) {
  return strcmp(name, "Case") == 0 || strcmp(name, "case") == 0 || strcmp(name, "CASE") == 0;
}

bool is_separator_entry(const char* entry) {
  return strcmp(entry, "<") == 0 || strcmp(entry, "=") == 0 || strcmp(entry, ">") == 0;
}

// Splits a header or data line into entries. For a header the Case flag is
// decided from its first name; for a data line the given flag is used. The
// Case label is dropped. Returns the number of entries, or -1 when the line
// is rejected (after the message).
int split_matrix_line(const char* text, int max_entries, StringSlot* entries, bool header,
                      bool* has_case) {
  char* rows[kSplitCapacity];
  for (int i = 0; i < max_entries; i++) rows[i] = entries[i];
  int count = max_entries;
  // An entry that would not fit its slot refuses the line, where the
  // tokenizer would end the program.
  if (longest_word(text) >= kSlotLen - 1) {
    fprintf(out_stream(), "ERROR: Entries may have at most %d characters.\n", kSlotLen - 2);
    return -1;
  }
  if (tokenize(text, &count, kSlotLen, rows) != 0) return -1;
  for (int i = 0; i < count; i++) {
    if (is_separator_entry(entries[i])) {
      fprintf(out_stream(), "ERROR: The symbols <,>,= are not allowed as part of variable names\n");
      return -1;
    }
  }
  if (header) *has_case = count > 0 && is_case_name(entries[0]);
  if (*has_case && count > 0) {
    for (int i = 1; i < count; i++) memcpy(entries[i - 1], entries[i], kSlotLen);
    count--;
  }
  return count;
}

// ---- The two storage kinds ----

void release_storage(int rows, int cols, double*** m) { free_real_matrix(rows, cols, m); }
void release_storage(int rows, int cols, StringSlot*** m) { free_string_matrix(rows, cols, m); }
void allocate_storage(int rows, int cols, double*** m) { alloc_real_matrix(rows, cols, m); }
void allocate_storage(int rows, int cols, StringSlot*** m) { alloc_string_matrix(rows, cols, m); }
void reallocate_storage(int r0, int c0, double*** m, int r1, int c1) {
  realloc_real_matrix(r0, c0, m, r1, c1);
}
void reallocate_storage(int r0, int c0, StringSlot*** m, int r1, int c1) {
  realloc_string_matrix(r0, c0, m, r1, c1);
}

int store_entry(const StringSlot& text, double* dst, bool* has_na) {
  if (parse_real(text, dst) == 0) return kReadOk;
  if (strcmp(text, "NA") == 0 || strcmp(text, "na") == 0) {
    *dst = kNaMarker;
    *has_na = true;
    return kReadOk;
  }
  fprintf(out_stream(), "ERROR: Some of the Data cannot be interpreted as a number\n");
  return kReadNotANumber;
}

int store_entry(const StringSlot& text, StringSlot* dst, bool*) {
  memcpy(*dst, text, kSlotLen);
  return kReadOk;
}

// The caller's storage and its current dimensions. The matrix exists when
// both counts are positive; the names vector when the column count is.
template <typename Entry>
struct ReadTarget {
  Entry*** matrix;
  StringSlot** names;
  int* rows;
  int* cols;
};

template <typename Entry>
void resize_matrix(ReadTarget<Entry>* t, int new_rows, int new_cols) {
  const int old_rows = *t->rows;
  const int old_cols = *t->cols;
  if (new_rows == old_rows && new_cols == old_cols) return;
  const bool had = old_rows > 0 && old_cols > 0;
  const bool wants = new_rows > 0 && new_cols > 0;
  if (had && wants) {
    reallocate_storage(old_rows, old_cols, t->matrix, new_rows, new_cols);
  } else if (had) {
    release_storage(old_rows, old_cols, t->matrix);
    *t->matrix = nullptr;
  } else if (wants) {
    *t->matrix = nullptr;
    allocate_storage(new_rows, new_cols, t->matrix);
  }
  *t->rows = new_rows;
  *t->cols = new_cols;
}

template <typename Entry>
void resize_columns(ReadTarget<Entry>* t, int new_cols) {
  const int old_cols = *t->cols;
  if (new_cols == old_cols) return;
  if (old_cols <= 0) {
    *t->names = nullptr;
    alloc_string_vector(new_cols, t->names);
  } else {
    realloc_string_vector(old_cols, t->names, new_cols);
  }
  resize_matrix(t, *t->rows, new_cols);
  check_invariant(*t->rows <= 0 || *t->cols > 0, "read_matrix: Code Bug , Unrecognized option (3)");
}

template <typename Entry>
void grow_rows(ReadTarget<Entry>* t, int extra) {
  check_invariant(*t->cols > 0, "read_matrix: Code Bug , Unrecognized option (4)");
  resize_matrix(t, *t->rows + extra, *t->cols);
}

// State of one read, kept across blocks.
struct BlockState {
  bool first_block = true;
  int first_rows = 0;  // rows of the first block, required of every later one
  bool has_na = false;
};

// Reads the data lines of one block into columns offset .. offset + count - 1.
// Leaves in *line the line that ended the data (a separator) or marks the end
// of the file through *at_end.
template <typename Entry>
int read_block_data(FILE* f, ReadTarget<Entry>* t, BlockState* s, int offset, int count,
                    bool has_case, FileLine* line, bool* at_end, int* rows_read) {
  StringSlot entries[kSplitCapacity];
  int row = 0;
  *at_end = true;
  LineRead got;
  while ((got = read_file_line(f, line)) != LineRead::kEnd) {
    if (got == LineRead::kTooLong) return report_too_long();
    if (is_separator_line(*line)) {
      *at_end = false;
      break;
    }
    if (is_too_long(*line)) return report_too_long();
    // Geometric growth keeps a tall file's read linear in its rows.
    if (s->first_block && row == *t->rows) grow_rows(t, *t->rows / 4 > 10 ? *t->rows / 4 : 10);
    const int found = split_matrix_line(line->text, kSplitCapacity, entries, false, &has_case);
    if (found < 0) return kReadLineRejected;
    const int row_limit = s->first_block ? *t->rows : s->first_rows;
    if (found > 0 && row >= row_limit) {
      fprintf(out_stream(), "ERROR: Too few or too many rows in a data block\n");
      return kReadWrongRows;
    }
    if (found != 0 && found != count) {
      fprintf(out_stream(), "ERROR: Too few or too many entries in a row \n");
      return kReadWrongEntries;
    }
    for (int k = 0; k < found; k++) {
      const int code = store_entry(entries[k], &(*t->matrix)[row][offset + k], &s->has_na);
      if (code != kReadOk) return code;
    }
    if (found > 0) row++;
  }
  *rows_read = row;
  return kReadOk;
}

// Reads the blocks that follow the first separator line.
template <typename Entry>
int read_blocks(FILE* f, ReadTarget<Entry>* t, BlockState* s, FileLine* line, bool at_end) {
  StringSlot names[kSplitCapacity];
  for (;;) {
    if (at_end) {
      if (s->first_block) {
        fprintf(out_stream(), "ERROR: There is no header line with variable names.\n");
        return kReadNoHeader;
      }
      return kReadOk;
    }
    LineRead got = read_file_line(f, line);
    if (got == LineRead::kEnd) {
      fprintf(out_stream(), "ERROR: There is no header line with variable names.\n");
      return kReadNoHeader;
    }
    if (got == LineRead::kTooLong || is_too_long(*line)) return report_too_long();
    bool has_case = false;
    const int count = split_matrix_line(line->text, kSplitCapacity, names, true, &has_case);
    if (count < 0) return kReadLineRejected;
    got = read_file_line(f, line);
    if (got == LineRead::kTooLong) return report_too_long();
    if (got == LineRead::kEnd || !is_separator_line(*line)) {
      fprintf(out_stream(), "ERROR: There is no seperator line '---' after header line.\n");
      return kReadNoSeparator;
    }
    if (count == 0) {
      fprintf(out_stream(), "ERROR: There are no columns in header\n");
      return kReadNoColumns;
    }
    const int offset = s->first_block ? 0 : *t->cols;
    resize_columns(t, offset + count);
    for (int k = 0; k < count; k++) memcpy((*t->names)[offset + k], names[k], kSlotLen);

    int rows_read = 0;
    const int code = read_block_data(f, t, s, offset, count, has_case, line, &at_end, &rows_read);
    if (code != kReadOk) return code;
    if (!s->first_block) {
      if (rows_read != s->first_rows) {
        fprintf(out_stream(), "ERROR: Too few or too many rows in a data block\n");
        return kReadWrongRows;
      }
    } else {
      if (rows_read == 0) {
        fprintf(out_stream(), "ERROR: There are is no data in matrix\n");
        return kReadNoData;
      }
      resize_matrix(t, rows_read, *t->cols);
      s->first_rows = rows_read;
    }
    s->first_block = false;
  }
}

// Opens a matrix file for reading; a directory is not a file.
FILE* open_matrix_file(const char* file_name) {
  FILE* f = fopen(file_name, "r");
  if (!f) return nullptr;
  struct stat info;
  if (fstat(fileno(f), &info) != 0 || S_ISDIR(info.st_mode)) {
    fclose(f);
    return nullptr;
  }
  return f;
}

template <typename Entry>
int read_matrix_file(int init_rows, int init_cols, Entry*** matrix, int* rows, int* cols,
                     const char* file_name, StringSlot** names, bool* has_na) {
  check_invariant(init_rows >= 0 && init_cols >= 0,
                  "read_matrix: Code Bug , Unrecognized option (1)");
  check_invariant(init_rows == 0 || init_cols != 0,
                  "read_matrix: Code Bug, Unrecognized option (2)");
  *rows = init_rows;
  *cols = init_cols;
  ReadTarget<Entry> target{matrix, names, rows, cols};

  fprintf(out_stream(), "Reading from %s.\n", file_name);
  FILE* f = open_matrix_file(file_name);
  if (!f) {
    fprintf(out_stream(), "ERROR: Can't open this file. Does it exist?\n");
    return kReadCantOpen;
  }
  FileLine line;
  bool at_end = true;
  LineRead got;
  while ((got = read_file_line(f, &line)) == LineRead::kLine) {
    if (is_separator_line(line)) {
      at_end = false;
      break;
    }
  }
  BlockState state;
  const int code = got == LineRead::kTooLong ? report_too_long()
                                             : read_blocks(f, &target, &state, &line, at_end);
  fclose(f);
  *has_na = state.has_na;
  return code;
}


// ---- CSV files ----
//
// A CSV file holds a header row of column names, then one row of numbers per
// observation, fields separated by commas. A field may be enclosed in double
// quotes (a doubled quote inside stands for one quote); blanks and tabs around
// an unquoted field are ignored. "NA" or "na" is a missing value. Blank lines
// are skipped; line ends may be LF, CR LF or CR; a UTF-8 byte order mark
// before the header is ignored. A first column named Case/case/CASE holds row
// labels and is dropped, as in matrix files.

// Longest CSV line read; a longer one (or a file without line ends) is refused.
constexpr size_t kMaxCsvLine = 65536;

struct CsvLine {
  std::string text;
  int number = 0;  // 1-based line number in the file
};

// Reads one line without its line end; false at the end of the file. Sets
// *too_long and stops reading when the line passes kMaxCsvLine characters.
bool read_csv_line(FILE* f, CsvLine* line, bool* too_long) {
  line->text.clear();
  line->number++;
  int c;
  bool any = false;
  while ((c = getc(f)) != EOF) {
    any = true;
    if (c == '\n') return true;
    if (c == '\r') {
      int next = getc(f);
      if (next != '\n' && next != EOF) ungetc(next, f);
      return true;
    }
    if (line->text.size() == kMaxCsvLine) {
      *too_long = true;
      return true;
    }
    line->text.push_back(static_cast<char>(c));
  }
  return any;
}

bool is_blank_text(const std::string& text) {
  return text.find_first_not_of(" \t") == std::string::npos;
}

std::string trim_blanks(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return std::string();
  const size_t last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

// Splits one CSV line into its fields. False when a quote is left open or
// is followed by something other than blanks before the next comma.
bool split_csv_line(const std::string& text, std::vector<std::string>* fields) {
  fields->clear();
  size_t i = 0;
  const size_t n = text.size();
  for (;;) {
    while (i < n && (text[i] == ' ' || text[i] == '\t')) i++;
    std::string field;
    if (i < n && text[i] == '"') {
      i++;
      for (;;) {
        if (i >= n) return false;
        if (text[i] == '"') {
          if (i + 1 < n && text[i + 1] == '"') {
            field.push_back('"');
            i += 2;
            continue;
          }
          i++;
          break;
        }
        field.push_back(text[i++]);
      }
      while (i < n && (text[i] == ' ' || text[i] == '\t')) i++;
      if (i < n && text[i] != ',') return false;
    } else {
      const size_t comma = text.find(',', i);
      const size_t end = comma == std::string::npos ? n : comma;
      field = trim_blanks(text.substr(i, end - i));
      if (field.find('"') != std::string::npos) return false;
      i = end;
    }
    fields->push_back(field);
    if (i >= n) return true;
    i++;  // the comma
  }
}

// A column name must be usable wherever matrix files and commands name a
// variable: 1 to 28 characters, none of them a blank, tab, '#', '<', '='
// or '>' (which would split it or cut it short in a matrix file or command).
bool is_valid_csv_name(const std::string& name) {
  if (name.empty() || name.size() > static_cast<size_t>(kSlotLen - 2)) return false;
  return name.find_first_of(" \t#<=>") == std::string::npos;
}

struct CsvTable {
  std::vector<std::string> names;
  std::vector<double> values;  // row by row
  int rows = 0;
  bool has_na = false;
};

int report_csv_quote(const CsvLine& line, const char* file_name) {
  fprintf(out_stream(), "ERROR: Unbalanced or misplaced double quote in line %d of %s.\n",
          line.number, file_name);
  return kReadLineRejected;
}

// Reads the header row into t->names; *has_case tells whether the first
// column holds row labels.
int read_csv_header(FILE* f, CsvLine* line, const char* file_name, CsvTable* t, bool* has_case) {
  bool too_long = false;
  bool got;
  while ((got = read_csv_line(f, line, &too_long)) && !too_long && is_blank_text(line->text)) {
  }
  if (too_long) return report_too_long();
  if (!got) {
    fprintf(out_stream(), "ERROR: There is no header line with variable names.\n");
    return kReadNoHeader;
  }
  if (line->number == 1 && line->text.compare(0, 3, "\xEF\xBB\xBF") == 0) line->text.erase(0, 3);
  std::vector<std::string> fields;
  if (!split_csv_line(line->text, &fields)) return report_csv_quote(*line, file_name);
  *has_case = is_case_name(fields[0].c_str());
  for (size_t k = *has_case ? 1 : 0; k < fields.size(); k++) {
    if (!is_valid_csv_name(fields[k])) {
      fprintf(out_stream(),
              "ERROR: Column name '%.40s' in column %d of %s must have 1 to 28 characters and "
              "no blank, tab, '#', '<', '=' or '>'.\n",
              fields[k].c_str(), static_cast<int>(k) + 1, file_name);
      return kReadLineRejected;
    }
    t->names.push_back(fields[k]);
  }
  if (t->names.empty()) {
    fprintf(out_stream(), "ERROR: There are no columns in header\n");
    return kReadNoColumns;
  }
  return kReadOk;
}

// Reads the data rows after the header into t->values.
int read_csv_rows(FILE* f, CsvLine* line, const char* file_name, bool has_case, CsvTable* t) {
  const size_t first = has_case ? 1 : 0;
  const size_t expected = t->names.size() + first;
  std::vector<std::string> fields;
  bool too_long = false;
  while (read_csv_line(f, line, &too_long)) {
    if (too_long) return report_too_long();
    if (is_blank_text(line->text)) continue;
    if (!split_csv_line(line->text, &fields)) return report_csv_quote(*line, file_name);
    const int row = t->rows + 1;
    if (fields.size() != expected) {
      fprintf(out_stream(),
              "ERROR: Row %d (line %d) of %s has %d field(s); the header has %d.\n", row,
              line->number, file_name, static_cast<int>(fields.size()),
              static_cast<int>(expected));
      return kReadWrongEntries;
    }
    for (size_t k = first; k < fields.size(); k++) {
      double value = 0.0;
      if (fields[k] == "NA" || fields[k] == "na") {
        value = kNaMarker;
        t->has_na = true;
      } else if (fields[k].empty() || parse_real(fields[k].c_str(), &value) != 0) {
        fprintf(out_stream(),
                "ERROR: Entry '%.40s' in row %d (line %d), column %s of %s is not a number.\n",
                fields[k].c_str(), row, line->number, t->names[k - first].c_str(), file_name);
        return kReadNotANumber;
      }
      t->values.push_back(value);
    }
    t->rows++;
  }
  if (t->rows == 0) {
    fprintf(out_stream(), "ERROR: There are is no data in matrix\n");
    return kReadNoData;
  }
  return kReadOk;
}

// Puts a table read whole into the caller's storage, resized to fit.
void store_csv_table(const CsvTable& t, ReadTarget<double>* target) {
  const int cols = static_cast<int>(t.names.size());
  resize_columns(target, cols);
  resize_matrix(target, t.rows, cols);
  for (int j = 0; j < cols; j++) snprintf((*target->names)[j], kSlotLen, "%s", t.names[j].c_str());
  for (int i = 0; i < t.rows; i++)
    for (int j = 0; j < cols; j++) (*target->matrix)[i][j] = t.values[i * cols + j];
}

// The CSV counterpart of read_matrix_file: the caller's storage changes only
// when the whole file has been read.
int read_csv_file(int init_rows, int init_cols, double*** matrix, int* rows, int* cols,
                  const char* file_name, StringSlot** names, bool* has_na) {
  check_invariant(init_rows >= 0 && init_cols >= 0,
                  "read_matrix: Code Bug , Unrecognized option (1)");
  check_invariant(init_rows == 0 || init_cols != 0,
                  "read_matrix: Code Bug, Unrecognized option (2)");
  *rows = init_rows;
  *cols = init_cols;
  fprintf(out_stream(), "Reading from %s.\n", file_name);
  FILE* f = open_matrix_file(file_name);
  if (!f) {
    fprintf(out_stream(), "ERROR: Can't open this file. Does it exist?\n");
    return kReadCantOpen;
  }
  CsvTable table;
  CsvLine line;
  bool has_case = false;
  int code = read_csv_header(f, &line, file_name, &table, &has_case);
  if (code == kReadOk) code = read_csv_rows(f, &line, file_name, has_case, &table);
  fclose(f);
  if (code != kReadOk) return code;
  ReadTarget<double> target{matrix, names, rows, cols};
  store_csv_table(table, &target);
  *has_na = table.has_na;
  return kReadOk;
}

}  // namespace

bool is_csv_file_name(const char* file_name) {
  const size_t len = strlen(file_name);
  return len > 4 && strcasecmp(file_name + len - 4, ".csv") == 0;
}

int read_matrix(int init_rows, int init_cols, double*** matrix, int* rows, int* cols,
                const char* file_name, StringSlot** names) {
  bool has_na = false;
  const int code =
      is_csv_file_name(file_name)
          ? read_csv_file(init_rows, init_cols, matrix, rows, cols, file_name, names, &has_na)
          : read_matrix_file(init_rows, init_cols, matrix, rows, cols, file_name, names, &has_na);
  if (code == kReadOk && has_na)
    print_warning(
        "Matrix contains NA values. Operations on NA values other than \n\tin- and output will "
        "result into errors.\n");
  return code;
}

int read_string_matrix(int init_rows, int init_cols, StringSlot*** matrix, int* rows, int* cols,
                       const char* file_name, StringSlot** names) {
  bool has_na = false;
  return read_matrix_file(init_rows, init_cols, matrix, rows, cols, file_name, names, &has_na);
}

int parse_real(const char* text, double* value) {
  char* end = nullptr;
  const double parsed = strtod(text, &end);
  if (end == text) return 1;
  auto is_gap = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
  if (*end != '\0' && !is_gap(*end)) return 3;
  while (is_gap(*end)) end++;
  if (*end != '\0') return 2;
  *value = parsed;
  return 0;
}

int parse_real_or_na(const char* text, double* value, double na_value) {
  if (strcmp(text, "NA") == 0 || strcmp(text, "na") == 0) {
    *value = na_value;
    return 0;
  }
  return parse_real(text, value) == 0 ? 0 : 1;
}
