// The commands that read an archive and change none: list, check and
// extract.

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <system_error>

#include "AppError.h"
#include "Cp1252.h"
#include "EntrySelection.h"
#include "ErrorMessages.h"
#include "ExtractNames.h"
#include "FileNames.h"
#include "GrpCheck.h"
#include "GrpCommands.h"
#include "GrpFormat.h"
#include "InterruptGuard.h"
#include "JsonText.h"
#include "PathNames.h"
#include "TerminalText.h"

namespace halvarin::cli {

namespace {

constexpr const char* kSource = "halvarin-grp";

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

}  // namespace

int List(const Invocation& invocation, Console& console, io::FileSystem& fs) {
  clsVarnGRP archive(fs);
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
      AppendNumber(out, i);
      out += ',';
      AppendJsonNames(out, stored);
      AppendJsonField(out, "size", archive.FileSize(i));
      AppendJsonField(out, "position", archive.FilePosition(i));
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

int Check(const Invocation& invocation, Console& console, io::FileSystem& fs) {
  const grp::CheckResult result = grp::CheckFile(invocation.Archive, fs);
  int errors = 0;
  int warnings = 0;
  std::string out;
  for (const grp::Finding& finding : result.Findings) {
    (finding.IsError ? errors : warnings) += 1;
    out += Printable(invocation.Archive) + (finding.IsError ? ": error: " : ": warning: ") +
           Printable(finding.Text) + '\n';
  }
  out += Printable(invocation.Archive) + ": ";
  if (!result.IsArchive) {
    out += "not a group archive\n";
  } else if (errors > 0) {
    out += "damaged: " + Counted(errors, "error", "errors");
    out += warnings > 0 ? ", " + Counted(warnings, "warning", "warnings") + "\n" : "\n";
  } else {
    out += "sound: " + Counted(result.Count, "entry", "entries") + ", " +
           Counted(result.DataBytes, "byte", "bytes") + " of data";
    out += warnings > 0 ? ", " + Counted(warnings, "warning", "warnings") + "\n" : "\n";
  }
  Print(console, out);
  return result.Sound() ? kSuccess : kFailure;
}

int Extract(const Invocation& invocation, Console& console, io::FileSystem& fs) {
  clsVarnGRP archive(fs);
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
                     "Cannot make the folder " + Quoted(folder) + ": " + error.message() + ".",
                     folder);
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

}  // namespace halvarin::cli
