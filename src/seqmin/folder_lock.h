// One run per working folder. A Minimize run owns the folder's exchange
// files and journal while it runs; a second run in the same folder would read
// answers meant for the other's points. The run takes an exclusive lock on
// the file "dorve.lock" (which also names the holder) for its whole length.
// The lock belongs to the open file: the system drops it when the holder
// ends in any way, so the file left behind by a killed run never blocks a
// resume.
#ifndef DORVE_SEQMIN_FOLDER_LOCK_H_
#define DORVE_SEQMIN_FOLDER_LOCK_H_

constexpr const char* kFolderLockFile = "dorve.lock";

// Takes the lock for command (its name is written into the lock file).
// False, after printing why on the output stream, when another process holds
// it (naming the holder) or the lock file cannot be used.
bool lock_working_folder(const char* command);

// Gives the lock back (nothing when it is not held).
void unlock_working_folder();

// The lock for the length of a scope: taken by take, given back when the
// scope ends, by a return or by a fatal error on its way out of the command.
class WorkingFolderLock {
 public:
  WorkingFolderLock() = default;
  ~WorkingFolderLock() {
    if (held_) unlock_working_folder();
  }
  WorkingFolderLock(const WorkingFolderLock&) = delete;
  WorkingFolderLock& operator=(const WorkingFolderLock&) = delete;
  // lock_working_folder(command).
  bool take(const char* command) {
    held_ = lock_working_folder(command);
    return held_;
  }

 private:
  bool held_ = false;
};

// True when the files Minimize writes under its own names (the exchange
// files of q slots, the journal, the lock file) are missing or regular
// files; otherwise prints, for the first one that is not, what stands there.
bool own_files_are_safe(int q, const char* command);

#endif  // DORVE_SEQMIN_FOLDER_LOCK_H_
