#include "GrpCommandLine.h"

#include <array>

namespace halvarin::cli {

namespace {

using Action = Invocation::Action;

struct CommandInfo {
  std::string_view Name;
  Action What;
  // Which options the command takes, as their long names.
  std::string_view Options;
};

constexpr std::array<CommandInfo, 8> kCommands = {{
    {"list", Action::List, "json"},
    {"extract", Action::Extract, "directory"},
    {"create", Action::Create, "force null wait"},
    {"add", Action::Add, "null wait"},
    {"delete", Action::Delete, "wait"},
    {"check", Action::Check, ""},
    {"salvage", Action::Salvage, "force json"},
    {"diff", Action::Diff, "json"},
}};

bool Takes(const CommandInfo& command, std::string_view option) {
  const std::string_view options = command.Options;
  for (std::size_t at = 0; at < options.size();) {
    const std::size_t end = std::min(options.find(' ', at), options.size());
    if (options.substr(at, end - at) == option) {
      return true;
    }
    at = end + 1;
  }
  return false;
}

// The long name of an option as given ("-C", "--directory", "-f", ...).
std::string_view LongName(std::string_view arg) {
  if (arg == "-C") {
    return "directory";
  }
  if (arg == "-f") {
    return "force";
  }
  if (arg == "-0") {
    return "null";
  }
  if (arg.starts_with("--")) {
    return arg.substr(
        2, arg.find('=') == std::string_view::npos ? std::string_view::npos : arg.find('=') - 2);
  }
  return {};
}

}  // namespace

Invocation ParseCommandLine(const std::vector<std::string>& args) {
  Invocation invocation;
  // --help and --version win wherever they are, as people type them last.
  for (const std::string& arg : args) {
    if (arg == "--") {
      break;
    }
    if (arg == "--help" || arg == "-h") {
      return invocation;
    }
  }
  for (const std::string& arg : args) {
    if (arg == "--") {
      break;
    }
    if (arg == "--version") {
      invocation.What = Action::Version;
      return invocation;
    }
  }
  if (args.empty()) {
    throw UsageError("no command given.");
  }

  const CommandInfo* command = nullptr;
  for (const CommandInfo& info : kCommands) {
    if (info.Name == args[0]) {
      command = &info;
    }
  }
  if (command == nullptr) {
    throw UsageError("unknown command \"" + args[0] + "\".");
  }
  invocation.What = command->What;

  std::vector<std::string> operands;
  bool optionsEnded = false;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || arg == "-" || !arg.starts_with("-")) {
      operands.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    // -CDIR, as tar takes it.
    if (arg.starts_with("-C") && arg.size() > 2 && Takes(*command, "directory")) {
      invocation.Directory = arg.substr(2);
      continue;
    }
    const std::string_view name = LongName(arg);
    if (name.empty() || !Takes(*command, name)) {
      throw UsageError("\"" + std::string(command->Name) + "\" does not take the option \"" + arg +
                       "\".");
    }
    if (name == "wait") {
      std::string value;
      if (const auto equals = arg.find('='); equals != std::string::npos) {
        value = arg.substr(equals + 1);
      } else if (i + 1 < args.size()) {
        value = args[++i];
      }
      // A day is more than any save takes; a mistyped number must not hang
      // a build for years.
      if (value.empty() || value.size() > 5 ||
          value.find_first_not_of("0123456789") != std::string::npos || std::stoi(value) > 86400) {
        throw UsageError("\"" + arg + "\" needs a number of seconds after it, 0 to 86400.");
      }
      invocation.WaitSeconds = std::stoi(value);
      continue;
    }
    if (name == "directory") {
      if (const auto equals = arg.find('='); equals != std::string::npos) {
        invocation.Directory = arg.substr(equals + 1);
      } else if (i + 1 < args.size()) {
        invocation.Directory = args[++i];
      } else {
        throw UsageError("\"" + arg + "\" needs a folder after it.");
      }
      if (invocation.Directory.empty()) {
        throw UsageError("\"" + arg + "\" needs a folder after it.");
      }
      continue;
    }
    if (arg.find('=') != std::string::npos) {
      throw UsageError("the option \"" + std::string(name) + "\" takes no value.");
    }
    if (name == "json") {
      invocation.Json = true;
    } else if (name == "force") {
      invocation.Force = true;
    } else if (name == "null") {
      invocation.NullSeparated = true;
    }
  }

  if (operands.empty()) {
    throw UsageError("\"" + std::string(command->Name) + "\" needs an archive.");
  }
  invocation.Archive = operands.front();
  if (invocation.Archive == "-") {
    throw UsageError("the archive must be a file, not standard input.");
  }
  invocation.Operands.assign(operands.begin() + 1, operands.end());

  const auto none = [&](const char* what) {
    if (!invocation.Operands.empty()) {
      throw UsageError("\"" + std::string(command->Name) + "\" takes no " + what + " (\"" +
                       invocation.Operands.front() + "\").");
    }
  };
  switch (invocation.What) {
    case Action::List:
    case Action::Check:
      none("operands after the archive");
      break;
    case Action::Add:
    case Action::Delete:
      if (invocation.Operands.empty()) {
        throw UsageError("\"" + std::string(command->Name) + "\" needs at least one " +
                         (invocation.What == Action::Add ? "file" : "entry name or index") + ".");
      }
      break;
    case Action::Salvage:
    case Action::Diff:
      if (invocation.Operands.size() != 1) {
        throw UsageError(invocation.What == Action::Salvage
                             ? "\"salvage\" needs the damaged archive and the file to write."
                             : "\"diff\" needs the old archive and the new one.");
      }
      if (invocation.Operands.front() == "-") {
        throw UsageError("the archive must be a file, not standard input.");
      }
      break;
    default:
      break;
  }
  if (invocation.What == Action::Extract || invocation.What == Action::Delete) {
    for (const std::string& operand : invocation.Operands) {
      if (operand == "-") {
        throw UsageError("entries cannot be read from standard input.");
      }
    }
  }
  return invocation;
}

std::string_view HelpText() {
  return R"(Usage: halvarin-grp COMMAND ARCHIVE [OPTION|OPERAND]...
Lists, extracts, creates and edits Varn GRP group archives.

Commands:
  list ARCHIVE [--json]        one line per entry: index, name, size, position
  extract ARCHIVE [ENTRY]... [-C DIR]
                               writes the given entries (all if none) to files
                               in DIR (default: the current folder)
  create [-f] ARCHIVE [FILE]...
                               makes a new archive of the files, in order
  add ARCHIVE FILE...          appends the files to an archive
  delete ARCHIVE ENTRY...      removes entries from an archive
  check ARCHIVE                reports everything wrong with an archive's layout
  salvage [-f] DAMAGED OUT [--json]
                               writes the entries a damaged archive still holds
                               whole to a new archive OUT
  diff OLD NEW [--json]        lists the entries added (+), removed (-) and
                               changed (~) from archive OLD to archive NEW

ENTRY is an index (digits only, 1 for the first entry) or a name, matched
without regard to the case of the letters A to Z. FILE "-" reads a list of
files from standard input, one per line.

Options:
  -C, --directory=DIR   extract into DIR, making it if need be
  -f, --force           let create and salvage replace an existing file
  -0, --null            file names on standard input end with NUL, not newline
      --wait=SECONDS    how long create, add and delete wait for another
                        program that is changing the archive (default 30)
      --json            list, salvage and diff in JSON
  -h, --help            show this help
      --version         show the version

create gives an ARCHIVE whose file name has no "." the ending ".grp", as
Halvarin's Save As does, and so does salvage to OUT; add and delete write
back to the file given. Every write goes to a temporary file in the archive's
folder that replaces the archive only when complete and flushed to disk.
Commands that change one archive at the same time take turns, each seeing
the others' work.

Exit status: 0 success, 1 failure (or a damaged archive for check, entries
lost for salvage), 2 bad usage, 130 stopped by Ctrl+C (129 by SIGHUP, 143 by
SIGTERM) with every file as it was. diff, as diff and cmp: 0 the same,
1 different, 2 trouble.
)";
}

}  // namespace halvarin::cli
