#include "GrpTool.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "AppError.h"
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
#include "ProgramIdentity.h"
#include "ProgressLine.h"
#include "clsVarnGRP.h"

namespace halvarin::cli {

namespace {

constexpr const char* kSource = "halvarin-grp";
using Action = Invocation::Action;

std::string Quoted(const std::string& text) {
  return "\"" + text + "\"";
}

void Load(clsVarnGRP& archive, const std::string& path) {
  if (!archive.LoadFile(path))
    throw AppError(errInvalidArgument, kSource, Quoted(path) + " is not a Varn GRP archive.");
}

// The name as the window's list shows it (up to the first NUL, padding
// spaces kept), with control characters as "?" so that a name can never
// break a line or drive the terminal. Returns the number of columns.
// `text` with every control character, C1 ones too, as "?": entry names in
// notes, findings and error messages are whatever bytes the archive holds,
// and must neither break a line of output nor drive the terminal.
std::string Printable(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) < 0xA0) {
      out += '?';
      ++i;
    } else {
      out += c < 0x20 || c == 0x7F ? '?' : static_cast<char>(c);
    }
  }
  return out;
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
  if (length < width)
    out.append(width - length, ' ');
  out.append(digits, length);
}

// Shows progress and stops the archive's operation after a Ctrl+C.
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
  console.Out << out << std::flush;
  return console.Out ? kSuccess : kFailure;
}

int Extract(const Invocation& invocation, Console& console) {
  clsVarnGRP archive;
  Load(archive, invocation.Archive);
  std::vector<int16_t> indices;
  if (invocation.Operands.empty()) {
    for (int16_t i = 1; i <= archive.NumberOfFiles(); ++i)
      indices.push_back(i);
  } else {
    indices = SelectEntries(archive, invocation.Operands);
  }

  std::vector<std::string> stored;
  stored.reserve(indices.size());
  for (int16_t i : indices)
    stored.push_back(archive.filename(i));
  const std::vector<std::string> files = DistinctFileNames(stored);

  std::string folder = invocation.Directory;
  if (!folder.empty()) {
    std::error_code error;
    std::filesystem::create_directories(PathFromUtf8(folder), error);
    if (error) {
      throw AppError(errPathFileAccess, kSource,
                     "Cannot make the folder " + Quoted(folder) + ": " + error.message() + ".");
    }
    if (!IsPathSeparator(folder.back()))
      folder += '/';
  }
  std::vector<std::pair<int16_t, std::string>> targets;
  targets.reserve(indices.size());
  for (std::size_t k = 0; k < indices.size(); ++k) {
    targets.emplace_back(indices[k], folder + files[k]);
    const std::string plain = SafeFileName(Cp1252ToUtf8(stored[k]));
    if (files[k] != plain) {
      console.Err << "halvarin-grp: entry " << indices[k] << " ("
                  << Printable(grp::QuotedName(stored[k])) << ") is extracted as "
                  << Quoted(files[k]) << ": another entry has the same file name.\n";
    }
  }
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
    if (readInput)
      continue;  // standard input has been read to its end already
    readInput = true;
    const char end = invocation.NullSeparated ? '\0' : '\n';
    for (std::string line; std::getline(console.In, line, end);) {
      if (!invocation.NullSeparated && !line.empty() && line.back() == '\r')
        line.pop_back();
      if (!line.empty())
        files.push_back(line);
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

void Save(clsVarnGRP& archive, const std::string& path, Console& console) {
  {
    ProgressLine progress(console.Err, console.ErrIsTerminal, "writing");
    InterruptGuard guard;
    archive.SetProgressHandler(Reporting(progress));
    archive.saveFile(path);
  }
  archive.SetProgressHandler(nullptr);
}

// Writes an opened archive back to the very file it was opened from. The
// model's save gives a name without any "." the ending ".grp", as the
// window's Save does; here that would leave the named file as it was and a
// second command would then start again from it, losing the first one's
// work. "./NAME" or "FOLDER/./NAME" names the same file and has a ".".
void SaveInPlace(clsVarnGRP& archive, const std::string& path, Console& console) {
  std::string exact = path;
  if (clsVarnGRP::SavedPath(exact) != exact)
    exact.insert(NameStart(exact), "./");
  Save(archive, exact, console);
}

int Create(const Invocation& invocation, Console& console) {
  const std::string target = clsVarnGRP::SavedPath(invocation.Archive);
  std::error_code error;
  if (!invocation.Force && std::filesystem::symlink_status(PathFromUtf8(target), error).type() !=
                               std::filesystem::file_type::not_found) {
    throw AppError(errPathFileAccess, kSource,
                   Quoted(target) + " already exists; give --force to replace it.");
  }
  clsVarnGRP archive;
  AddAll(archive, FilesToAdd(invocation, console), console);
  Save(archive, target, console);
  return kSuccess;
}

int Add(const Invocation& invocation, Console& console) {
  clsVarnGRP archive;
  Load(archive, invocation.Archive);
  const std::vector<std::string> files = FilesToAdd(invocation, console);
  if (files.empty())
    return kSuccess;  // an empty list from standard input: nothing to rewrite
  AddAll(archive, files, console);
  SaveInPlace(archive, invocation.Archive, console);
  return kSuccess;
}

int Delete(const Invocation& invocation, Console& console) {
  clsVarnGRP archive;
  Load(archive, invocation.Archive);
  const std::vector<int16_t> indices = SelectEntriesOnce(archive, invocation.Operands);
  // From the last one back, so that the indices still to go stay valid.
  for (auto it = indices.rbegin(); it != indices.rend(); ++it)
    archive.deleteFile(*it);
  SaveInPlace(archive, invocation.Archive, console);
  return kSuccess;
}

int Check(const Invocation& invocation, Console& console) {
  const grp::CheckResult result = grp::CheckFile(invocation.Archive, io::FileSystem::Native());
  int errors = 0;
  int warnings = 0;
  std::string out;
  for (const grp::Finding& finding : result.Findings) {
    (finding.IsError ? errors : warnings) += 1;
    out += invocation.Archive + (finding.IsError ? ": error: " : ": warning: ") +
           Printable(finding.Text) + '\n';
  }
  const auto plural = [](int n, std::string_view one, std::string_view many) {
    return std::to_string(n) + " " + std::string(n == 1 ? one : many);
  };
  out += invocation.Archive + ": ";
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
  console.Out << out << std::flush;
  return result.Sound() ? kSuccess : kFailure;
}

int Dispatch(const std::vector<std::string>& args, Console& console) {
  Invocation invocation;
  try {
    invocation = ParseCommandLine(args);
  } catch (const UsageError& error) {
    console.Err << "halvarin-grp: " << error.what() << "\nTry \"halvarin-grp --help\".\n";
    return kBadUsage;
  }
  try {
    switch (invocation.What) {
      case Action::Help:
        console.Out << HelpText();
        return kSuccess;
      case Action::Version:
        console.Out << "halvarin-grp " << ProgramIdentity::Major << '.' << ProgramIdentity::Minor
                    << '.' << ProgramIdentity::Revision << '\n';
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
    }
  } catch (const AppError& error) {
    // Stopped by Ctrl+C with every file as it was: the shell's usual status
    // for that, and nothing to explain.
    if (error.Number() == errDialogCancelled && InterruptGuard::Requested())
      return kInterrupted;
    console.Err << "halvarin-grp: " << Printable(error.Description()) << '\n';
  } catch (const std::exception& error) {
    console.Err << "halvarin-grp: " << Printable(error.what()) << '\n';
  }
  return kFailure;
}

}  // namespace

int RunGrpTool(const std::vector<std::string>& args, Console console) {
  const int status = Dispatch(args, console);
  // Output lost to a full disk or a closed pipe must not pass for success.
  errno = 0;
  console.Out.flush();
  if (!console.Out) {
    const int reason = errno;
    // "list | head": the reader has all it wanted; nobody is left to tell.
    if (reason == EPIPE)
      return kFailure;
    console.Err << "halvarin-grp: Cannot write to standard output"
                << (reason != 0 ? ": " + std::string(std::strerror(reason)) : std::string())
                << ".\n";
    return kFailure;
  }
  return status;
}

}  // namespace halvarin::cli
