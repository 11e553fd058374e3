#include <cstdio>
#include <string>
#include <vector>

#ifndef _WIN32
#include <csignal>
#endif

#include <QApplication>

#include "CommandLine.h"
#include "Program.h"
#include "QtAbout.h"

namespace {

std::vector<std::string> Arguments(int argc, char* argv[]) {
  // The bytes as the system passed them: a file name need not be valid text
  // in any encoding, so it never goes through a QString.
  return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

}  // namespace

int main(int argc, char* argv[]) {
  using namespace halvarin;
  // --help and --version answer before the user-interface platform starts,
  // so they need no display.
  CommandLine line = ParseCommandLine(Arguments(argc, argv));
  if (line.action == CommandLine::Action::Help || line.action == CommandLine::Action::Version) {
    const std::string text = line.action == CommandLine::Action::Help ? HelpText() : VersionText();
    std::fwrite(text.data(), 1, text.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
  }
#ifndef _WIN32
  // Past a file size limit the system would end the process in the middle of
  // a save; ignored, the write fails instead and the save is undone cleanly.
  std::signal(SIGXFSZ, SIG_IGN);
#endif
  QApplication app(argc, argv);
  // Qt has taken its own options (-platform, -style, ...) out of argv; what
  // is left is ours.
  line = ParseCommandLine(Arguments(argc, argv));
  if (line.action == CommandLine::Action::Error) {
    std::fputs(line.error.c_str(), stderr);
    return 2;
  }
  ApplyProgramIdentity();

  // The main window, laid out by its resize rule and shown, with the file
  // named on the command line opened in it; from here on everything happens
  // in its commands. The program ends through its exit sequence.
  Program program;
  program.Start(line.files);
  return app.exec();
}
