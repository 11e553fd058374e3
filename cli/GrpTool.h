#pragma once

#include <istream>
#include <ostream>
#include <string>
#include <vector>

#include "FileSystem.h"

namespace halvarin::cli {

struct Console {
  std::istream& In;
  std::ostream& Out;
  std::ostream& Err;
  // Whether Err is a terminal, where progress lines make sense.
  bool ErrIsTerminal = false;
};

// diff fails with kTrouble, as diff and cmp do, since 1 says that the
// archives differ. kReaderGone is no exit status: standard output is a pipe whose reader has
// stopped reading, and the program is to end as any other would on a write
// to it, by SIGPIPE. kInterrupted + a signal's number: stopped by Ctrl+C
// (130), SIGTERM or SIGHUP, as shells report a program the signal ended;
// nothing changed.
enum ExitStatus : int {
  kSuccess = 0,
  kFailure = 1,
  kBadUsage = 2,
  kTrouble = 2,
  kInterrupted = 128,
  kReaderGone = -1
};

// The whole program: `args` without its own name; returns the exit status.
// Every file is reached through `fs`.
int RunGrpTool(const std::vector<std::string>& args, Console console,
               io::FileSystem& fs = io::FileSystem::Native());

}  // namespace halvarin::cli
