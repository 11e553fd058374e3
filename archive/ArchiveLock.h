#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "FileSystem.h"

namespace halvarin {

// The lock every writer of one archive takes before it reads what it will
// write back, and keeps until the new file is in place: writers then queue
// up instead of each replacing the others' work. Readers take none.
//
// It is the system's lock on a small file beside the archive,
// ".NAME.halvarin-lock" (links followed first, so every name of the archive
// finds the same one), made when needed and removed by its holder on
// release; one left by a crash is taken over at once, since the system drops
// the lock with its process. Within one process the lock is re-entrant: a
// save inside a command that holds it already goes ahead.
class ArchiveLock {
 public:
  static constexpr std::chrono::milliseconds kDefaultWait{30000};

  // Waits up to `wait` for the lock; throws AppError 70 when another process
  // holds it longer, or when something that cannot be locked holds the lock
  // file's name (a link, a pipe, a folder, a file this user may not open).
  // Where no lock file can be made for lack of permission (a folder that
  // cannot be written, so no archive in it can be replaced either), goes on
  // without one. While it waits it calls `whileWaiting` every few
  // milliseconds, so that a user can see the wait and end it: whatever that
  // throws ends the wait, without the lock.
  ArchiveLock(io::FileSystem& fs, const std::string& archive, std::chrono::milliseconds wait,
              const std::function<void()>& whileWaiting = {});
  ArchiveLock(const ArchiveLock&) = delete;
  ArchiveLock& operator=(const ArchiveLock&) = delete;
  ~ArchiveLock();

  // The lock file of the archive at `archive` (links already followed).
  static std::string LockPathFor(const std::string& archive);

 private:
  io::FileSystem& fs_;
  std::string path_;
  std::unique_ptr<io::File> held_;  // null when nested or without a lock
  io::FileStamp stamp_;
};

}  // namespace halvarin
