#include "base/safe_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

// The permissions a file created by fopen would get: rw for all, less the umask.
void give_usual_permissions(int fd) {
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
}

// Makes a rename in the working folder durable. Best effort: some file
// systems cannot sync a folder, and the rename has happened either way.
void sync_folder_of(const char* name) {
  // The whole name, however long: a cut copy would name another folder.
  std::string folder(name);
  const size_t slash = folder.rfind('/');
  if (slash == std::string::npos)
    folder = ".";
  else
    folder.resize(slash == 0 ? 1 : slash);
  const int fd = open(folder.c_str(), O_RDONLY);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

// An open descriptor refused because it is not a regular file: closed, errno set.
bool keep_if_regular(int fd) {
  struct stat st;
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) return true;
  close(fd);
  errno = EINVAL;
  return false;
}

// Back to ordinary blocking reads and writes once the kind is known.
void clear_nonblocking(int fd) {
  const int flags = fcntl(fd, F_GETFL);
  if (flags >= 0) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
}

}  // namespace

FileKind file_kind(const char* name) {
  struct stat st;
  if (lstat(name, &st) != 0) return FileKind::kMissing;
  if (S_ISREG(st.st_mode)) return FileKind::kRegular;
  if (S_ISLNK(st.st_mode)) return FileKind::kSymbolicLink;
  if (S_ISFIFO(st.st_mode)) return FileKind::kFifo;
  if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)) return FileKind::kDevice;
  if (S_ISDIR(st.st_mode)) return FileKind::kFolder;
  return FileKind::kOther;
}

const char* file_kind_words(FileKind kind) {
  switch (kind) {
    case FileKind::kSymbolicLink:
      return "a symbolic link";
    case FileKind::kFifo:
      return "a FIFO";
    case FileKind::kDevice:
      return "a device";
    case FileKind::kFolder:
      return "a folder";
    default:
      return "not a regular file";
  }
}

bool may_replace(const char* name) {
  const FileKind kind = file_kind(name);
  return kind == FileKind::kMissing || kind == FileKind::kRegular;
}

bool begin_replacement(const char* final_name, Replacement* r) {
  r->stream = nullptr;
  r->final_name = final_name;
  const int written = snprintf(r->temp_name, sizeof r->temp_name, "%s.XXXXXX", final_name);
  if (written < 0 || written >= static_cast<int>(sizeof r->temp_name)) {
    r->temp_name[0] = '\0';
    errno = ENAMETOOLONG;
    return false;
  }
  const int fd = mkstemp(r->temp_name);
  if (fd < 0) {
    r->temp_name[0] = '\0';
    return false;
  }
  give_usual_permissions(fd);
  r->stream = fdopen(fd, "w");
  if (r->stream == nullptr) {
    const int error = errno;
    close(fd);
    remove(r->temp_name);
    r->temp_name[0] = '\0';
    errno = error;
    return false;
  }
  return true;
}

bool commit_replacement(Replacement* r, bool sync) {
  errno = 0;
  bool ok = fflush(r->stream) == 0 && !ferror(r->stream);
  if (ok && sync) ok = fsync(fileno(r->stream)) == 0;
  int error = errno;
  if (fclose(r->stream) != 0 && ok) {
    ok = false;
    error = errno;
  }
  r->stream = nullptr;
  if (ok && rename(r->temp_name, r->final_name) != 0) {
    ok = false;
    error = errno;
  }
  if (!ok) {
    remove(r->temp_name);
    r->temp_name[0] = '\0';
    errno = error != 0 ? error : EIO;
    return false;
  }
  r->temp_name[0] = '\0';
  if (sync) sync_folder_of(r->final_name);
  return true;
}

void abandon_replacement(Replacement* r) {
  if (r->stream) fclose(r->stream);
  r->stream = nullptr;
  if (r->temp_name[0] != '\0') remove(r->temp_name);
  r->temp_name[0] = '\0';
}

bool replace_file_text(const char* name, const char* text, size_t length) {
  Replacement r;
  if (!begin_replacement(name, &r)) return false;
  if (fwrite(text, 1, length, r.stream) != length) {
    const int error = errno;
    abandon_replacement(&r);
    errno = error;
    return false;
  }
  return commit_replacement(&r, false);
}

FILE* open_regular_for_reading(const char* name) {
  const int fd = open(name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK);
  if (fd < 0) return nullptr;
  if (!keep_if_regular(fd)) return nullptr;
  clear_nonblocking(fd);
  FILE* f = fdopen(fd, "r");
  if (f == nullptr) close(fd);
  return f;
}

FILE* open_regular_for_writing(const char* name, bool append) {
  const int flags = O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | (append ? O_APPEND : 0);
  const int fd = open(name, flags, 0666);
  if (fd < 0) return nullptr;
  if (!keep_if_regular(fd)) return nullptr;
  clear_nonblocking(fd);
  if (!append && ftruncate(fd, 0) != 0) {
    const int error = errno;
    close(fd);
    errno = error;
    return nullptr;
  }
  FILE* f = fdopen(fd, append ? "a" : "w");
  if (f == nullptr) close(fd);
  return f;
}

FILE* open_output_file(const char* name, bool append) {
  if (may_replace(name)) return open_regular_for_writing(name, append);
  return fopen(name, append ? "a" : "w");
}
