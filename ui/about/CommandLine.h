#pragma once

#include <string>
#include <vector>

namespace halvarin {

// What the window program's command line asks for. Plain C++, so that it can
// be read before the user-interface platform starts: --help and --version
// must work without a display.
struct CommandLine {
  enum class Action { Run, Help, Version, Error };
  Action action = Action::Run;
  // The files named, as the bytes the system passed; "--" ends the options,
  // so that a file whose name begins with "-" can be named.
  std::vector<std::string> files;
  // The user-interface platform's own options (-platform offscreen,
  // -reverse, ...) with their values, in order: all that is passed on to
  // it. Only those it knows, and only before "--".
  std::vector<std::string> platformOptions;
  // For Error: what was wrong, for standard error.
  std::string error;
};

// Reads the arguments after the program name. --help (-h) and --version win
// wherever they stand before "--"; an option that is neither ours nor the
// platform's, or one of the platform's without its value, is an Error.
CommandLine ParseCommandLine(const std::vector<std::string>& args);

// "Halvarin 1.0.0\n", and the usage text for --help.
std::string VersionText();
std::string HelpText();

}  // namespace halvarin
