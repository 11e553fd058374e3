#pragma once

// The commands of halvarin-grp, a file for each family: reading (list,
// check, extract: ReadCommands.cpp) and writing (create, add, delete:
// WriteCommands.cpp). Each returns the exit status and throws what fails;
// GrpTool.cpp dispatches to them and is the one place that catches.

#include <string>
#include <string_view>

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
