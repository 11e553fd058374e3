#include "GrpTool.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <optional>
#include <system_error>

#include "AppError.h"
#include "ArchiveLock.h"
#include "Cp1252.h"
#include "EntrySelection.h"
#include "ExtractNames.h"
#include "FileNames.h"
#include "FileSystem.h"
#include "GrpCheck.h"
#include "GrpCommandLine.h"
#include "GrpFormat.h"
#include "InterruptGuard.h"
#include "JsonText.h"
#include "PathNames.h"
#include "ProgressLine.h"
#include "RecoverCommands.h"
#include "TerminalText.h"
#include "clsVarnGRP.h"

namespace halvarin::cli {

namespace {

constexpr const char* kSource = "halvarin-grp";
using Action = Invocation::Action;

std::string Quoted(const std::string& text) {
  return "\"" + text + "\"";
}

void Load(clsVarnGRP& archive, const std::string& path) {
  if (!archive.LoadFile(path)) {
    throw AppError(errInvalidArgument, kSource, Quoted(path) + " is not a Varn GRP archive.");
  }
}

// Standard output failed: the reader went away (EPIPE) or the disk is full.
struct OutputFailed {
  int Reason;
};

// Everything for standard output goes through here, so that a failed write
// is known at once, with the system's reason for it.
void Print(Console& console, std::string_view text) {
  errno = 0;
  console.Out << text << std::flush;
  if (!console.Out) {
    throw OutputFailed{errno};
  }
}

// The name as the window's list shows it: up to the first NUL, padding
// spaces kept. Returns the number of columns it takes.
std::size_t AppendShownName(std::string& out, std::string_view stored) {
  const std::string_view shown = stored.substr(0, stored.find('\0'));
  out += Printable(Cp1252ToUtf8(shown));
  return shown.size();
}

void AppendPadded(std::string& out, int64_t value, std::size_t width) {
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  const auto length = static_cast<std::size_t>(end - digits);
  if (length < width) {
    out.append(width - length, ' ');
  }
  out.append(digits, length);
}

// Shows progress and stops the archive's operation after a Ctrl+C (or
// SIGTERM, SIGHUP).
clsVarnGRP::ProgressHandler Reporting(ProgressLine& progress) {
  return [&progress](int64_t done, int64_t total) {
    progress.Report(done, total);
    return !InterruptGuard::Requested();
  };
}

int List(const Invocation& invocation, Console& console) {
  clsVarnGRP archive;
  Load(archive, invocation.Archive);
  const int16_t count = archive.NumberOfFiles();
  std::string out;
  out.reserve(static_cast<std::size_t>(count) * (invocation.Json ? 96 : 48) + 64);
  if (invocation.Json) {
    out += "{\"archive\":";
    AppendJsonString(out, invocation.Archive);
    out += ",\"entries\":[";
    for (int16_t i = 1; i <= count; ++i) {
      const std::string stored = archive.filename(i);
      out += i == 1 ? "\n{\"index\":" : ",\n{\"index\":";
      AppendPadded(out, i, 0);
      out += ",\"name\":";
      AppendJsonString(out, Cp1252ToUtf8(grp::TrimmedName(stored)));
      out += ",\"stored\":";
      AppendJsonString(out, Cp1252ToUtf8(stored));
      out += ",\"size\":";
      AppendPadded(out, archive.FileSize(i), 0);
      out += ",\"position\":";
      AppendPadded(out, archive.FilePosition(i), 0);
      out += "}";
    }
    out += count > 0 ? "\n]}\n" : "]}\n";
  } else {
    for (int16_t i = 1; i <= count; ++i) {
      AppendPadded(out, i, 5);
      out += "  ";
      const std::size_t columns = AppendShownName(out, archive.filename(i));
      out.append(grp::kNameSize - std::min(columns, grp::kNameSize) + 2, ' ');
      AppendPadded(out, archive.FileSize(i), 10);
      out += "  ";
      AppendPadded(out, archive.FilePosition(i), 10);
      out += '\n';
    }
  }
  Print(console, out);
  return kSuccess;
}

int Extract(const Invocation& invocation, Console& console) {
  clsVarnGRP archive;
  Load(archive, invocation.Archive);
  std::vector<int16_t> indices;
  if (invocation.Operands.empty()) {
    for (int16_t i = 1; i <= archive.NumberOfFiles(); ++i) {
      indices.push_back(i);
    }
  } else {
    indices = SelectEntries(archive, invocation.Operands);
  }

  std::vector<std::string> stored;
  stored.reserve(indices.size());
  for (int16_t i : indices) {
    stored.push_back(archive.filename(i));
  }
  const std::vector<std::string> files = DistinctFileNames(stored);

  std::string folder = invocation.Directory;
  if (!folder.empty()) {
    std::error_code error;
    std::filesystem::create_directories(PathFromUtf8(folder), error);
    if (error) {
      throw AppError(errPathFileAccess, kSource,
                     "Cannot make the folder " + Quoted(folder) + ": " + error.message() + ".");
    }
    if (!IsPathSeparator(folder.back())) {
      folder += '/';
    }
  }
  std::vector<std::pair<int16_t, std::string>> targets;
  targets.reserve(indices.size());
  // Written at once: standard error is unbuffered, and thousands of
  // entries of one name would otherwise cost several writes each.
  std::string notes;
  for (std::size_t k = 0; k < indices.size(); ++k) {
    targets.emplace_back(indices[k], folder + files[k]);
    const std::string plain = SafeFileName(Cp1252ToUtf8(stored[k]));
    if (files[k] != plain) {
      notes += "halvarin-grp: entry " + std::to_string(indices[k]) + " (" +
               Printable(grp::QuotedName(stored[k])) + ") is extracted as " +
               Printable(Quoted(files[k])) + ": another entry has the same file name.\n";
    }
  }
  console.Err << notes << std::flush;
  ProgressLine progress(console.Err, console.ErrIsTerminal, "extracting");
  InterruptGuard guard;
  archive.SetProgressHandler(Reporting(progress));
  archive.extractFiles(targets);
  return kSuccess;
}

std::vector<std::string> FilesToAdd(const Invocation& invocation, Console& console) {
  std::vector<std::string> files;
  bool readInput = false;
  for (const std::string& operand : invocation.Operands) {
    if (operand != "-") {
      files.push_back(operand);
      continue;
    }
    if (readInput) {
      continue;  // standard input has been read to its end already
    }
    readInput = true;
    const char end = invocation.NullSeparated ? '\0' : '\n';
    for (std::string line; std::getline(console.In, line, end);) {
      if (!invocation.NullSeparated && !line.empty() && line.back() == '\r') {
        line.pop_back();
      }
      if (!line.empty()) {
        files.push_back(line);
      }
    }
  }
  return files;
}

void AddAll(clsVarnGRP& archive, const std::vector<std::string>& files, Console& console) {
  for (const std::string& file : files) {
    const std::string name = archive.addFile(file);
    // The window shows the name the entry will get; here, only a name that
    // differs from the file's is worth a word.
    std::string stored = name.substr(0, grp::kNameSize);
    const std::string shown = Cp1252ToUtf8(stored);
    if (shown != LastPathComponent(file)) {
      console.Err << "halvarin-grp: " << Printable(Quoted(file)) << " is stored as "
                  << Printable(Quoted(shown)) << ".\n";
    }
  }
}

void Save(clsVarnGRP& archive, const std::string& path, Console& console, bool replace = true) {
  {
    ProgressLine progress(console.Err, console.ErrIsTerminal, "writing");
    archive.SetProgressHandler(Reporting(progress));
    archive.saveFile(path, replace);
  }
  archive.SetProgressHandler(nullptr);
}

// What a rewrite of a loaded archive leaves behind with the old file: its
// other names (hard links) still name the old archive, and the bytes after
// the last entry's data are not copied. The window keeps quiet about both,
// as editors that save safely do; a script's author must hear of them.
struct LeftBehind {
  uint64_t Names = 0;
  int64_t Dropped = 0;
};

// Right after loading, before any edit changes the table.
LeftBehind Examine(const clsVarnGRP& archive, const std::string& path) {
  LeftBehind left;
  left.Names = io::FileSystem::Native().Stat(path).Links;
  int64_t dataEnd = 16 + 16 * int64_t{archive.NumberOfFiles()};
  for (int16_t i = 1; i <= archive.NumberOfFiles(); ++i) {
    dataEnd = std::max<int64_t>(dataEnd, archive.FilePosition(i) - 1 + archive.FileSize(i));
  }
  std::error_code error;
  const auto fileSize = std::filesystem::file_size(PathFromUtf8(path), error);
  if (!error) {
    left.Dropped = static_cast<int64_t>(fileSize) - dataEnd;
  }
  return left;
}

// Writes an opened archive back to the very file it was opened from, under
// its own name whatever that is, as the window's Save does.
void SaveInPlace(clsVarnGRP& archive, const std::string& path, const LeftBehind& left,
                 Console& console) {
  Save(archive, std::string(), console);
  if (left.Names > 1) {
    console.Err << "halvarin-grp: " << Printable(Quoted(path)) << " had " << left.Names
                << " names; the others keep the old archive.\n";
  }
  if (left.Dropped > 0) {
    console.Err << "halvarin-grp: " << Printable(Quoted(path)) << ": dropped " << left.Dropped
                << (left.Dropped == 1 ? " byte" : " bytes")
                << " after the last entry's data, which belonged to no entry.\n";
  }
}

// Taken before the archive is read and held until the new one is in place:
// commands on one archive run one after another, each seeing the others'
// work, instead of each writing back what it read and losing theirs. The
// signals are held off from the moment the lock is taken until it is let
// go, its file removed: while waiting for it there is nothing to clean up,
// and a wait that will not end can be broken off as ever.
class Locked {
 public:
  Locked(const Invocation& invocation, const std::string& path)
      : lock_(io::FileSystem::Native(), path, std::chrono::seconds(invocation.WaitSeconds)) {
    guard_.emplace();
  }

 private:
  std::optional<InterruptGuard> guard_;  // outlives the lock
  ArchiveLock lock_;
};

// The files to add, from the command line and standard input, each checked
// to be there and readable: all before the lock is taken, so that a slow
// producer of the list or a name mistyped holds up no other writer.
std::vector<std::string> InputFiles(const Invocation& invocation, Console& console) {
  std::vector<std::string> files = FilesToAdd(invocation, console);
  for (const std::string& file : files) {
    io::FileSystem::Native().OpenRead(file);
  }
  return files;
}

int Create(const Invocation& invocation, Console& console) {
  const std::string target = clsVarnGRP::SavedPath(invocation.Archive);
  const std::vector<std::string> files = InputFiles(invocation, console);
  const Locked locked(invocation, target);
  std::error_code error;
  if (!invocation.Force && std::filesystem::symlink_status(PathFromUtf8(target), error).type() !=
                               std::filesystem::file_type::not_found) {
    throw AppError(errPathFileAccess, kSource,
                   Quoted(target) + " already exists; give --force to replace it.");
  }
  clsVarnGRP archive;
  AddAll(archive, files, console);
  // Without --force nothing is replaced, whatever appears at the name while
  // the archive is written: a link planted there now would otherwise have
  // the new archive written over the file it points at.
  Save(archive, target, console, invocation.Force);
  return kSuccess;
}

int Add(const Invocation& invocation, Console& console) {
  const std::vector<std::string> files = InputFiles(invocation, console);
  const Locked locked(invocation, invocation.Archive);
  clsVarnGRP archive;
  Load(archive, invocation.Archive);
  const LeftBehind left = Examine(archive, invocation.Archive);
  if (files.empty()) {
    return kSuccess;  // an empty list from standard input: nothing to rewrite
  }
  AddAll(archive, files, console);
  SaveInPlace(archive, invocation.Archive, left, console);
  return kSuccess;
}

int Delete(const Invocation& invocation, Console& console) {
  const Locked locked(invocation, invocation.Archive);
  clsVarnGRP archive;
  Load(archive, invocation.Archive);
  const LeftBehind left = Examine(archive, invocation.Archive);
  const std::vector<int16_t> indices = SelectEntriesOnce(archive, invocation.Operands);
  // From the last one back, so that the indices still to go stay valid.
  for (auto it = indices.rbegin(); it != indices.rend(); ++it) {
    archive.deleteFile(*it);
  }
  SaveInPlace(archive, invocation.Archive, left, console);
  return kSuccess;
}

int Check(const Invocation& invocation, Console& console) {
  const grp::CheckResult result = grp::CheckFile(invocation.Archive, io::FileSystem::Native());
  int errors = 0;
  int warnings = 0;
  std::string out;
  for (const grp::Finding& finding : result.Findings) {
    (finding.IsError ? errors : warnings) += 1;
    out += Printable(invocation.Archive) + (finding.IsError ? ": error: " : ": warning: ") +
           Printable(finding.Text) + '\n';
  }
  const auto plural = [](int n, std::string_view one, std::string_view many) {
    return std::to_string(n) + " " + std::string(n == 1 ? one : many);
  };
  out += Printable(invocation.Archive) + ": ";
  if (!result.IsArchive) {
    out += "not a group archive\n";
  } else if (errors > 0) {
    out += "damaged: " + plural(errors, "error", "errors");
    out += warnings > 0 ? ", " + plural(warnings, "warning", "warnings") + "\n" : "\n";
  } else {
    out += "sound: " + plural(result.Count, "entry", "entries") + ", " +
           std::to_string(result.DataBytes) + " bytes of data";
    out += warnings > 0 ? ", " + plural(warnings, "warning", "warnings") + "\n" : "\n";
  }
  Print(console, out);
  return result.Sound() ? kSuccess : kFailure;
}

// `failed`: the status a failure ends the program with.
int Dispatch(const std::vector<std::string>& args, Console& console, int& failed) {
  Invocation invocation;
  try {
    invocation = ParseCommandLine(args);
  } catch (const UsageError& error) {
    console.Err << "halvarin-grp: " << Printable(error.what())
                << "\nTry \"halvarin-grp --help\".\n";
    return kBadUsage;
  }
  if (invocation.What == Action::Diff) {
    failed = kTrouble;
  }
  const Printer print = [&console](std::string_view text) { Print(console, text); };
  try {
    switch (invocation.What) {
      case Action::Help:
        Print(console, HelpText());
        return kSuccess;
      case Action::Version:
        Print(console, "halvarin-grp " HALVARIN_VERSION "\n");
        return kSuccess;
      case Action::List:
        return List(invocation, console);
      case Action::Extract:
        return Extract(invocation, console);
      case Action::Create:
        return Create(invocation, console);
      case Action::Add:
        return Add(invocation, console);
      case Action::Delete:
        return Delete(invocation, console);
      case Action::Check:
        return Check(invocation, console);
      case Action::Salvage:
        return Salvage(invocation, console, print);
      case Action::Diff:
        return Diff(invocation, print);
    }
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

int RunGrpTool(const std::vector<std::string>& args, Console console) {
  int reason = 0;
  int failed = kFailure;
  try {
    const int status = Dispatch(args, console, failed);
    errno = 0;
    console.Out.flush();
    if (console.Out) {
      return status;
    }
    reason = errno;
  } catch (const OutputFailed& failed) {
    reason = failed.Reason;
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
