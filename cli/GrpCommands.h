#pragma once

// The commands of halvarin-grp, a file for each family: reading (list,
// check, extract: ReadCommands.cpp) and writing (create, add, delete:
// WriteCommands.cpp). Each returns the exit status and throws what fails;
// GrpTool.cpp dispatches to them and is the one place that catches.

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "ArchiveLock.h"
#include "InterruptGuard.h"

#include "FileSystem.h"
#include "GrpCommandLine.h"
#include "GrpTool.h"
#include "ProgressLine.h"
#include "clsVarnGRP.h"

namespace halvarin::cli {

using Command = int (*)(const Invocation&, Console&, io::FileSystem&);

int List(const Invocation& invocation, Console& console, io::FileSystem& fs);
int Check(const Invocation& invocation, Console& console, io::FileSystem& fs);
int Extract(const Invocation& invocation, Console& console, io::FileSystem& fs);
int Create(const Invocation& invocation, Console& console, io::FileSystem& fs);
int Add(const Invocation& invocation, Console& console, io::FileSystem& fs);
int Delete(const Invocation& invocation, Console& console, io::FileSystem& fs);

// What the commands share (GrpTool.cpp).

// Taken before the archive is read and held until the new one is in place:
// commands on one archive run one after another, each seeing the others'
// work, instead of each writing back what it read and losing theirs. The
// signals are held off from the moment the lock is taken until it is let
// go, its file removed: while waiting for it there is nothing to clean up,
// and a wait that will not end can be broken off as ever.
class Locked {
 public:
  Locked(const Invocation& invocation, const std::string& path, io::FileSystem& fs)
      : lock_(fs, path, std::chrono::seconds(invocation.WaitSeconds)) {
    guard_.emplace();
  }

 private:
  std::optional<InterruptGuard> guard_;  // outlives the lock
  ArchiveLock lock_;
};

// A new archive replaces nothing without --force: refuses when anything (a
// link too) is at `target` (WriteCommands.cpp).
void RefuseExisting(const Invocation& invocation, const std::string& target, io::FileSystem& fs);

// Standard output failed: the reader went away (EPIPE) or the disk is full.
struct OutputFailed {
  int Reason;
};

// Everything for standard output goes through here, so that a failed write
// is known at once, with the system's reason for it.
void Print(Console& console, std::string_view text);

// Loads the archive at `path`; a file that is none is an error here.
void Load(clsVarnGRP& archive, const std::string& path);

// Shows progress and stops the archive's operation after a Ctrl+C (or
// SIGTERM, SIGHUP).
clsVarnGRP::ProgressHandler Reporting(ProgressLine& progress);

}  // namespace halvarin::cli
