#include "GrpTool.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iterator>
#include <stdexcept>
#include <utility>

#include "AppError.h"
#include "ErrorMessages.h"
#include "GrpCommands.h"
#include "InterruptGuard.h"
#include "RecoverCommands.h"
#include "TerminalText.h"

namespace halvarin::cli {

namespace {

constexpr const char* kSource = "halvarin-grp";
using Action = Invocation::Action;

int Help(const Invocation&, Console& console, io::FileSystem&) {
  Print(console, HelpText());
  return kSuccess;
}

int Version(const Invocation&, Console& console, io::FileSystem&) {
  Print(console, "halvarin-grp " HALVARIN_VERSION "\n");
  return kSuccess;
}

// Each action's command: a new command is one line here.
// clang-format off
constexpr std::pair<Action, Command> kCommands[] = {
    {Action::Help, Help},
    {Action::Version, Version},
    {Action::List, List},
    {Action::Check, Check},
    {Action::Extract, Extract},
    {Action::Create, Create},
    {Action::Add, Add},
    {Action::Delete, Delete},
    {Action::Salvage, Salvage},
    {Action::Diff, Diff},
};
// clang-format on

// `failed`: the status a failure ends the program with.
int Dispatch(const std::vector<std::string>& args, Console& console, io::FileSystem& fs,
             int& failed) {
  Invocation invocation;
  try {
    invocation = ParseCommandLine(args);
  } catch (const UsageError& error) {
    console.Err << "halvarin-grp: " << Printable(error.what())
                << "\nTry \"halvarin-grp --help\".\n";
    return kBadUsage;
  }
  // 1 says the archives differ: diff's failures must say something else.
  if (invocation.What == Action::Diff) {
    failed = kTrouble;
  }
  try {
    const auto command = std::find_if(std::begin(kCommands), std::end(kCommands),
                                      [&](const auto& c) { return c.first == invocation.What; });
    if (command == std::end(kCommands)) {
      throw std::logic_error("this command is not built in.");
    }
    return command->second(invocation, console, fs);
  } catch (const AppError& error) {
    // Stopped by a signal with every file as it was: the shell's usual
    // status for that (128 + its number), and nothing to explain.
    if (error.Number() == errDialogCancelled && InterruptGuard::Requested()) {
      return kInterrupted + InterruptGuard::Signal();
    }
    console.Err << "halvarin-grp: " << Printable(error.Description()) << '\n';
  } catch (const std::exception& error) {
    console.Err << "halvarin-grp: " << Printable(error.what()) << '\n';
  }
  return failed;
}

}  // namespace

void Print(Console& console, std::string_view text) {
  errno = 0;
  console.Out << text << std::flush;
  if (!console.Out) {
    throw OutputFailed{errno};
  }
}

void Load(clsVarnGRP& archive, const std::string& path) {
  if (!archive.LoadFile(path)) {
    throw AppError(errInvalidArgument, kSource, Quoted(path) + " is not a Varn GRP archive.", path);
  }
}

clsVarnGRP::ProgressHandler Reporting(ProgressLine& progress) {
  return [&progress](int64_t done, int64_t total) {
    progress.Report(done, total);
    return !InterruptGuard::Requested();
  };
}

int RunGrpTool(const std::vector<std::string>& args, Console console, io::FileSystem& fs) {
  int reason = 0;
  int failed = kFailure;
  try {
    const int status = Dispatch(args, console, fs, failed);
    errno = 0;
    console.Out.flush();
    if (console.Out) {
      return status;
    }
    reason = errno;
  } catch (const OutputFailed& output) {
    reason = output.Reason;
  }
  // "list | head": the reader has all it wanted. Not an error, and nobody
  // is left to tell; the program ends the way other tools do then.
  if (reason == EPIPE) {
    return kReaderGone;
  }
  // Output lost to a full disk must not pass for success.
  console.Err << "halvarin-grp: Cannot write to standard output"
              << (reason != 0 ? ": " + std::string(std::strerror(reason)) : std::string()) << ".\n";
  return failed;
}

}  // namespace halvarin::cli
