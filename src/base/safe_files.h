// The files DORVE writes under fixed names in the working folder (the
// exchange files, the journal, the temporary and error dumps) may sit in a
// folder that other users or programs write to. These functions never
// follow a symbolic link at such a name, never open a FIFO, device or folder
// there for writing, and never block on one when reading back.
#ifndef DORVE_BASE_SAFE_FILES_H_
#define DORVE_BASE_SAFE_FILES_H_

#include <cstdio>

// What stands at a name: nothing, a regular file, or something DORVE does
// not write to (a symbolic link, FIFO, device, socket or folder).
enum class FileKind { kMissing, kRegular, kSymbolicLink, kFifo, kDevice, kFolder, kOther };

FileKind file_kind(const char* name);

// "a symbolic link", "a FIFO", "a device", "a folder" or "not a regular file".
const char* file_kind_words(FileKind kind);

// True when name is missing or a regular file.
bool may_replace(const char* name);

// A file being written under a temporary name beside its final one, which it
// replaces in one rename once it is complete.
struct Replacement {
  FILE* stream = nullptr;
  char temp_name[256] = "";
  const char* final_name = nullptr;
};

// Creates the temporary file exclusively (a fresh, unpredictable name beside
// final_name, never an existing file or link). False, with errno set, when
// it cannot be created.
bool begin_replacement(const char* final_name, Replacement* r);

// Flushes, optionally syncs to the disk, closes and renames the temporary
// file over final_name. On any failure the temporary file is removed,
// final_name keeps what it held, errno says why and the result is false.
bool commit_replacement(Replacement* r, bool sync);

// Removes the temporary file of a replacement that is given up.
void abandon_replacement(Replacement* r);

// Writes text (length bytes) as the whole new content of name, through a
// replacement. False, with errno set, when it fails.
bool replace_file_text(const char* name, const char* text, size_t length);

// Opens name for reading only when it is a regular file: a symbolic link is
// not followed and a FIFO is not waited on. Null (errno set; ELOOP for a
// link, EINVAL for any other kind) otherwise.
FILE* open_regular_for_reading(const char* name);

// Opens name for writing (append: at its end) when it is missing or a
// regular file, without following a symbolic link or blocking on a FIFO at
// that name. Null (errno set) otherwise.
FILE* open_regular_for_writing(const char* name, bool append);

// Opens an output file the user named: where the name holds a regular file
// or nothing, as open_regular_for_writing does (so a link swapped in at the
// last moment is not followed); a link, device or FIFO the user named on
// purpose is opened as fopen would.
FILE* open_output_file(const char* name, bool append);

#endif  // DORVE_BASE_SAFE_FILES_H_
