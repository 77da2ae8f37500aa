#include "seqmin/folder_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "base/interpreter.h"
#include "base/safe_files.h"
#include "seqmin/evaluation_journal.h"
#include "seqmin/objective_processes.h"

namespace {

constexpr int kHolderTextSize = 200;

int g_lock_fd = -1;

// "process 1234 on host, Minimize since 2026-12-10 13:50:01".
void describe_self(const char* command, char* text, int capacity) {
  char host[64] = "";
  if (gethostname(host, sizeof host) != 0) snprintf(host, sizeof host, "?");
  host[sizeof host - 1] = '\0';
  char when[32] = "";
  const time_t now = time(nullptr);
  struct tm local;
  if (localtime_r(&now, &local)) strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S", &local);
  snprintf(text, capacity, "process %d on %s, %s since %s", static_cast<int>(getpid()), host,
           command, when);
}

// The holder's line from the lock file, without its line end.
void read_holder(int fd, char* text, int capacity) {
  const ssize_t got = pread(fd, text, capacity - 1, 0);
  text[got > 0 ? got : 0] = '\0';
  text[strcspn(text, "\n")] = '\0';
  if (text[0] == '\0') snprintf(text, capacity, "a process that did not name itself");
}

void write_holder(int fd, const char* command) {
  char text[kHolderTextSize];
  describe_self(command, text, sizeof text - 1);
  strncat(text, "\n", sizeof text - strlen(text) - 1);
  if (ftruncate(fd, 0) == 0) {
    const ssize_t written = pwrite(fd, text, strlen(text), 0);
    (void)written;  // the lock holds whether or not its holder could be named
  }
}

bool refuse_kind(const char* file, FileKind kind, const char* command) {
  fprintf(out_stream(),
          "Sorry, %s is %s, not a regular file: %s writes only regular files under its own "
          "names. Remove it and run %s again.\n",
          file, file_kind_words(kind), command, command);
  return false;
}

bool file_is_safe(const char* file, const char* command) {
  const FileKind kind = file_kind(file);
  if (kind == FileKind::kMissing || kind == FileKind::kRegular) return true;
  return refuse_kind(file, kind, command);
}

}  // namespace

bool lock_working_folder(const char* command) {
  if (g_lock_fd >= 0) return true;
  if (!file_is_safe(kFolderLockFile, command)) return false;
  // Close-on-exec: an objective that outlives the run must not keep the lock.
  const int fd =
      open(kFolderLockFile, O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
  struct stat st;
  if (fd < 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    fprintf(out_stream(), "Sorry, %s cannot use the lock file %s of this folder: %s.\n", command,
            kFolderLockFile, strerror(fd < 0 ? errno : EINVAL));
    if (fd >= 0) close(fd);
    return false;
  }
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    char holder[kHolderTextSize];
    read_holder(fd, holder, sizeof holder);
    close(fd);
    if (error == EWOULDBLOCK)
      fprintf(out_stream(),
              "Sorry, another DORVE run uses this folder's exchange files and journal (%s; "
              "see %s). %s does not start.\n",
              holder, kFolderLockFile, command);
    else
      fprintf(out_stream(), "Sorry, %s cannot lock %s: %s.\n", command, kFolderLockFile,
              strerror(error));
    return false;
  }
  write_holder(fd, command);
  g_lock_fd = fd;
  return true;
}

void unlock_working_folder() {
  if (g_lock_fd < 0) return;
  if (ftruncate(g_lock_fd, 0) != 0) {
    // An old holder line left behind names a run that has ended; harmless.
  }
  flock(g_lock_fd, LOCK_UN);
  close(g_lock_fd);
  g_lock_fd = -1;
}

bool own_files_are_safe(int q, const char* command) {
  if (q <= 1) {
    if (!file_is_safe(kExchangeFile, command)) return false;
  } else {
    char slot[kSlotFileNameSize];
    for (int k = 1; k <= q; k++) {
      slot_file_name(k, slot, sizeof slot);
      if (!file_is_safe(slot, command)) return false;
    }
  }
  return file_is_safe(kJournalXFile, command) && file_is_safe(kJournalYFile, command);
}
