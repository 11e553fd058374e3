// halvarin-grp: the group archive model on the command line, for build
// scripts and machines without a display.

#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <io.h>
#define HALVARIN_ISATTY(fd) _isatty(fd)
#else
#include <unistd.h>
#define HALVARIN_ISATTY(fd) ::isatty(fd)
#endif

#include "GrpTool.h"

int main(int argc, char** argv) {
#ifdef SIGXFSZ
  // A save past the file size limit then fails with an error like any
  // other, instead of ending the program before it can clean up.
  std::signal(SIGXFSZ, SIG_IGN);
#endif
#ifdef SIGPIPE
  // "list | head" closes the pipe early; the write error ends us quietly.
  std::signal(SIGPIPE, SIG_IGN);
#endif
  std::ios::sync_with_stdio(false);
  std::vector<std::string> args(argv + 1, argv + argc);
  return halvarin::cli::RunGrpTool(args, {std::cin, std::cout, std::cerr, HALVARIN_ISATTY(2) != 0});
}
