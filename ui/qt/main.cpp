#include <cstdio>
#include <string>
#include <vector>

#ifndef _WIN32
#include <csignal>
#endif

#include <QApplication>

#include "CommandLine.h"
#include "EndOnSignal.h"
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
  // So does a usage error: the platform never sees an argument it was not
  // meant to take.
  const CommandLine line = ParseCommandLine(Arguments(argc, argv));
  if (line.action == CommandLine::Action::Help || line.action == CommandLine::Action::Version) {
    const std::string text = line.action == CommandLine::Action::Help ? HelpText() : VersionText();
    std::fwrite(text.data(), 1, text.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
  }
  if (line.action == CommandLine::Action::Error) {
    std::fputs(line.error.c_str(), stderr);
    return 2;
  }
#ifndef _WIN32
  // Past a file size limit the system would end the process in the middle of
  // a save; ignored, the write fails instead and the save is undone cleanly.
  std::signal(SIGXFSZ, SIG_IGN);
#endif
  // Qt reads its options from the arguments it is given, and file names
  // after "--" (an archive called "-reverse") must not be among them: it gets
  // the program's name and its own options alone. They must outlive it.
  std::vector<std::string> forQt = {argc > 0 ? std::string(argv[0]) : std::string("halvarin")};
  forQt.insert(forQt.end(), line.platformOptions.begin(), line.platformOptions.end());
  std::vector<char*> qtArgv;
  for (std::string& arg : forQt) {
    qtArgv.push_back(arg.data());
  }
  qtArgv.push_back(nullptr);
  int qtArgc = static_cast<int>(forQt.size());
  QApplication app(qtArgc, qtArgv.data());
  ApplyProgramIdentity();

  // The main window, laid out by its resize rule and shown, with the file
  // named on the command line opened in it; from here on everything happens
  // in its commands. The program ends through its exit sequence, or on a
  // signal to end, the way Cancel ends an operation.
  Program program;
  const EndOnSignal ending(program.toolkit, [&program] { program.mainForm.RemoveDragCopies(); });
  program.Start(line.files);
  return app.exec();
}
