#include <windows.h>

#include "CommandLine.h"
#include "Win32Program.h"
#include "Win32Startup.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  using namespace halvarin;
  const CommandLine line = ParseCommandLine(ProgramArguments(::GetCommandLineW()));
  switch (line.action) {
    case CommandLine::Action::Help:
      return TellUser(HelpText(), false) ? 0 : 1;
    case CommandLine::Action::Version:
      return TellUser(VersionText(), false) ? 0 : 1;
    case CommandLine::Action::Error:
      TellUser(line.error, true);
      return 2;
    case CommandLine::Action::Run:
      break;
  }
  // The main window, laid out by its resize rule and shown, with the file
  // named on the command line opened in it; from here on everything happens
  // in its commands. The program ends through its exit sequence.
  Win32Program program;
  program.Start(line.files);
  return program.toolkit.Run();
}
