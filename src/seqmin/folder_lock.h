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

// Forgets a lock that a fatal error left held, whose descriptor a harness
// running many sessions in one process has already closed.
void reset_folder_lock_state();

// True when the files Minimize writes under its own names (the exchange
// files of q slots, the journal, the lock file) are missing or regular
// files; otherwise prints, for the first one that is not, what stands there.
bool own_files_are_safe(int q, const char* command);

#endif  // DORVE_SEQMIN_FOLDER_LOCK_H_
