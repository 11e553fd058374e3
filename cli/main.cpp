// halvarin-grp: the group archive model on the command line, for build
// scripts and machines without a display.

#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#ifdef _WIN32
#include "WindowsConsole.h"
#include "WindowsText.h"
#else
#include <signal.h>
#include <unistd.h>
#endif

#include "GrpTool.h"

#ifdef _WIN32
// Arguments arrive as UTF-16, whatever the system's code page; every path
// inside the program is UTF-8.
int wmain(int argc, wchar_t** argv) {
  const halvarin::cli::WindowsConsole console;
  std::ios::sync_with_stdio(false);
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    args.push_back(halvarin::Utf8Text(argv[i]));
  }
  const int status =
      halvarin::cli::RunGrpTool(args, {std::cin, std::cout, std::cerr, console.ErrIsTerminal()});
  // Windows has no signal for a closed pipe: the reader's going is a failure.
  return status == halvarin::cli::kReaderGone ? halvarin::cli::kFailure : status;
}
#else
int main(int argc, char** argv) {
#ifdef SIGXFSZ
  // A save past the file size limit then fails with an error like any
  // other, instead of ending the program before it can clean up.
  std::signal(SIGXFSZ, SIG_IGN);
#endif
#ifdef SIGPIPE
  // A closed pipe is then a write error, which the program meets only once
  // its work is done: never in the middle of a save.
  std::signal(SIGPIPE, SIG_IGN);
#endif
  std::ios::sync_with_stdio(false);
  std::vector<std::string> args(argv + 1, argv + argc);
  const int status =
      halvarin::cli::RunGrpTool(args, {std::cin, std::cout, std::cerr, ::isatty(2) != 0});
  if (status != halvarin::cli::kReaderGone) {
    return status;
  }
#ifdef SIGPIPE
  // As "ls | head" ends ls: a shell reports nothing, and a pipeline under
  // pipefail sees the same status as with any other tool.
  std::signal(SIGPIPE, SIG_DFL);
  sigset_t pipe;
  sigemptyset(&pipe);
  sigaddset(&pipe, SIGPIPE);
  sigprocmask(SIG_UNBLOCK, &pipe, nullptr);
  std::raise(SIGPIPE);
#endif
  return halvarin::cli::kFailure;
}
#endif
