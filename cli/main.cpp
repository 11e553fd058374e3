// halvarin-grp: the group archive model on the command line, for build
// scripts and machines without a display.

#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#ifdef _WIN32
#include "WindowsConsole.h"
#else
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
  for (int i = 1; i < argc; ++i)
    args.push_back(halvarin::cli::WindowsConsole::Utf8(argv[i]));
  return halvarin::cli::RunGrpTool(args,
                                   {std::cin, std::cout, std::cerr, console.ErrIsTerminal()});
}
#else
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
  return halvarin::cli::RunGrpTool(args, {std::cin, std::cout, std::cerr, ::isatty(2) != 0});
}
#endif
