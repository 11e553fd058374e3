#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace halvarin::cli {

// What the command line asks for, checked for form but not against any file.
struct Invocation {
  enum class Action { Help, Version, List, Extract, Create, Add, Delete, Check, Salvage, Diff };
  Action What = Action::Help;
  // For salvage the damaged archive, for diff the old one.
  std::string Archive;
  // Files to add, the names and indices of entries, or the second file of
  // salvage (where to write) and diff (the new archive).
  std::vector<std::string> Operands;
  std::string Directory;       // extract -C
  bool Json = false;           // list, salvage, diff --json
  bool Force = false;          // create, salvage --force
  bool NullSeparated = false;  // a file list on standard input ends names with NUL
  // How long a command that changes the archive waits for others that are
  // changing it (--wait).
  int WaitSeconds = 30;
};

// Bad usage: the message says what is wrong, without the program's name.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// `args` without the program's own name.
Invocation ParseCommandLine(const std::vector<std::string>& args);

std::string_view HelpText();

}  // namespace halvarin::cli
