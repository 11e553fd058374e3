#include "ArchiveLock.h"

#include <algorithm>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "AppError.h"
#include "ErrorMessages.h"
#include "PathNames.h"

namespace halvarin {

namespace {

constexpr const char* kSource = "ArchiveLock";

using Identity = std::pair<uint64_t, uint64_t>;  // device and file number

// The lock files this process holds.
std::mutex heldMutex;
std::vector<Identity> held;

bool HeldHere(const Identity& id) {
  std::lock_guard<std::mutex> guard(heldMutex);
  return std::find(held.begin(), held.end(), id) != held.end();
}

Identity IdentityOf(const io::FileStamp& stamp) {
  return {stamp.Device, stamp.Identity};
}

std::string Seconds(std::chrono::milliseconds wait) {
  const auto s = std::chrono::duration_cast<std::chrono::seconds>(wait).count();
  return Counted(s, "second", "seconds");
}

// Whatever holds the lock file's name, and cannot be locked: never a reason
// to write without the lock. Whoever put it there is named, and what to
// remove, once nobody uses it.
std::string InTheWay(io::FileSystem& fs, const std::string& path, const io::FileInfo& there,
                     const AppError& e) {
  const std::string owner = fs.AccountName(there.Owner, false);
  const std::string by = owner.empty() ? "" : " (owned by " + owner + ")";
  if (there.IsOrdinary && !there.IsLink) {
    return e.Description() + " It is the lock file" + by +
           ", and no lock can be taken on it. Remove it if no program is changing the archive.";
  }
  const std::string what = there.IsLink     ? "a symbolic link"
                           : there.IsFolder ? "a folder"
                                            : "a pipe, device or socket";
  return "the name of its lock file, " + Quoted(path) + ", is taken by " + what + by +
         ", not a lock file. Remove it if no program needs it.";
}

}  // namespace

std::string ArchiveLock::LockPathFor(const std::string& archive) {
  const std::size_t start = NameStart(archive);
  // Room for the additions within the longest file name systems allow, cut
  // between two characters: half of one is no name on Windows.
  std::size_t length = std::min<std::size_t>(archive.size() - start, 200);
  while (length < archive.size() - start &&
         (static_cast<unsigned char>(archive[start + length]) & 0xC0) == 0x80) {
    --length;
  }
  const std::string name = archive.substr(start, length);
  return archive.substr(0, start) + "." + name + ".halvarin-lock";
}

ArchiveLock::ArchiveLock(io::FileSystem& fs, const std::string& archive,
                         std::chrono::milliseconds wait, const std::function<void()>& whileWaiting)
    : fs_(fs), path_(LockPathFor(fs.ResolveLinks(archive))) {
  const auto deadline = std::chrono::steady_clock::now() + wait;
  auto pause = std::chrono::milliseconds(1);
  for (;;) {
    const io::FileInfo existing = fs.Stat(path_);
    if (existing.Exists && HeldHere(IdentityOf(existing.Stamp))) {
      return;
    }
    std::unique_ptr<io::File> file;
    try {
      file = fs.TryLockFile(path_);
    } catch (const AppError& e) {
      const io::FileInfo there = fs.LinkStat(path_);
      // Nothing there, and none can be made: a folder this user may not
      // write (or that is not there), where no archive can be replaced
      // either.
      if (!there.Exists && (e.Number() == errPermissionDenied || e.Number() == errFileNotFound)) {
        return;
      }
      throw AppError(there.Exists ? errPermissionDenied : e.Number(), kSource,
                     "Cannot change " + Quoted(archive) + ": " +
                         (there.Exists ? InTheWay(fs, path_, there, e) : e.Description()) +
                         " Nothing was changed.",
                     archive);
    }
    if (file) {
      // The holder before us removes the file before it lets go, and someone
      // may have made a new one since: only the file that is still there
      // counts.
      io::FileStamp stamp;
      io::FileInfo now;
      try {
        stamp = file->Stamp();
        now = fs.Stat(path_);
      } catch (...) {
        // Still ours while we hold it: a failure here must not leave it
        // behind for the user to wonder about.
        fs.Remove(path_);
        throw;
      }
      if (now.Exists && IdentityOf(now.Stamp) == IdentityOf(stamp)) {
        held_ = std::move(file);
        stamp_ = stamp;
        std::lock_guard<std::mutex> guard(heldMutex);
        held.push_back(IdentityOf(stamp_));
        return;
      }
      continue;
    }
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) {
      throw AppError(
          errPermissionDenied, kSource,
          "Cannot change " + Quoted(archive) +
              ": another program is changing it and holds its lock (" + Quoted(path_) +
              (wait.count() > 0 ? ") after a wait of " + Seconds(wait) : std::string(")")) +
              ". Nothing was changed.",
          archive);
    }
    if (whileWaiting) {
      whileWaiting();
    }
    // Short at first, as most saves are; never so long that the wait
    // outlasts its turn by much.
    std::this_thread::sleep_for(
        std::min<std::chrono::steady_clock::duration>(pause, deadline - now));
    pause = std::min(pause * 2, std::chrono::milliseconds(50));
  }
}

ArchiveLock::~ArchiveLock() {
  if (!held_) {
    return;
  }
  {
    std::lock_guard<std::mutex> guard(heldMutex);
    held.erase(std::find(held.begin(), held.end(), IdentityOf(stamp_)));
  }
  // Removed while still locked, so that nobody takes a lock on a file that
  // is about to go; whoever waits on it looks again.
  fs_.Remove(path_);
  held_.reset();
}

}  // namespace halvarin
