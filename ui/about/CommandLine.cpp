#include "CommandLine.h"

#include "IdentityFiles.h"
#include "ProgramIdentity.h"

namespace halvarin {

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
  CommandLine line;
  bool options = true;
  for (const std::string& arg : args) {
    if (options && arg == "--") {
      options = false;
    } else if (options && (arg == "--help" || arg == "-h")) {
      line.action = CommandLine::Action::Help;
      return line;
    } else if (options && arg == "--version") {
      line.action = CommandLine::Action::Version;
      return line;
    } else if (options && arg.size() > 1 && arg[0] == '-') {
      // Kept looking: a later --help still answers.
      if (line.error.empty()) {
        line.error = std::string(ProgramIdentity::Executable) + ": unknown option " + arg +
                     "\nTry '" + std::string(ProgramIdentity::Executable) +
                     " --help' for more information.\n";
      }
    } else {
      line.files.push_back(arg);
    }
  }
  if (!line.error.empty()) {
    line.action = CommandLine::Action::Error;
  }
  return line;
}

std::string VersionText() {
  return std::string(ProgramIdentity::Title) + " " + VersionNumbers() + "\n";
}

std::string HelpText() {
  const std::string name(ProgramIdentity::Executable);
  return "Usage: " + name + " [OPTION]... [FILE]\n" + std::string(ProgramIdentity::Summary) +
         ".\n\n"
         "With FILE, the window opens that group archive, as File > Open does.\n"
         "Only one archive is open at a time: further files are not opened.\n\n"
         "  -h, --help     print this help and exit\n"
         "      --version  print the version and exit\n"
         "      --         end of options: every later argument is a file\n"
#ifdef HALVARIN_WITH_QT
         "\nThe window also takes Qt's own options, such as -platform offscreen.\n"
#endif
      ;
}

}  // namespace halvarin
