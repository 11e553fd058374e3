// The commands that write an archive: create, add and delete. Each takes
// the archive's lock before it reads what it will write back.

#include <algorithm>
#include <chrono>
#include <optional>

#include "AppError.h"
#include "ArchiveLock.h"
#include "Cp1252.h"
#include "EntrySelection.h"
#include "ErrorMessages.h"
#include "GrpCommands.h"
#include "GrpFormat.h"
#include "InterruptGuard.h"
#include "PathNames.h"
#include "TerminalText.h"

namespace halvarin::cli {

namespace {

constexpr const char* kSource = "halvarin-grp";

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
LeftBehind Examine(const clsVarnGRP& archive, const std::string& path, io::FileSystem& fs) {
  const io::FileInfo file = fs.Stat(path);
  int64_t dataEnd = grp::kHeaderSize + grp::kRecordSize * archive.NumberOfFiles();
  for (int16_t i = 1; i <= archive.NumberOfFiles(); ++i) {
    dataEnd = std::max<int64_t>(dataEnd, archive.FilePosition(i) - 1 + archive.FileSize(i));
  }
  return {file.Links, file.Stamp.Size - dataEnd};
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
    console.Err << "halvarin-grp: " << Printable(Quoted(path)) << ": dropped "
                << Counted(left.Dropped, "byte", "bytes")
                << " after the last entry's data, which belonged to no entry.\n";
  }
}

// The files to add, from the command line and standard input, each checked
// to be there and readable: all before the lock is taken, so that a slow
// producer of the list or a name mistyped holds up no other writer.
std::vector<std::string> InputFiles(const Invocation& invocation, Console& console,
                                    io::FileSystem& fs) {
  std::vector<std::string> files = FilesToAdd(invocation, console);
  for (const std::string& file : files) {
    fs.OpenRead(file);
  }
  return files;
}

}  // namespace

void RefuseExisting(const Invocation& invocation, const std::string& target, io::FileSystem& fs) {
  if (!invocation.Force && fs.LinkStat(target).Exists) {
    throw AppError(errPathFileAccess, kSource,
                   Quoted(target) + " already exists; give --force to replace it.", target);
  }
}

int Create(const Invocation& invocation, Console& console, io::FileSystem& fs) {
  const std::string target = clsVarnGRP::SavedPath(invocation.Archive);
  const std::vector<std::string> files = InputFiles(invocation, console, fs);
  const Locked locked(invocation, target, fs);
  RefuseExisting(invocation, target, fs);
  clsVarnGRP archive(fs);
  AddAll(archive, files, console);
  // Without --force nothing is replaced, whatever appears at the name while
  // the archive is written: a link planted there now would otherwise have
  // the new archive written over the file it points at.
  Save(archive, target, console, invocation.Force);
  return kSuccess;
}

int Add(const Invocation& invocation, Console& console, io::FileSystem& fs) {
  const std::vector<std::string> files = InputFiles(invocation, console, fs);
  const Locked locked(invocation, invocation.Archive, fs);
  clsVarnGRP archive(fs);
  Load(archive, invocation.Archive);
  const LeftBehind left = Examine(archive, invocation.Archive, fs);
  if (files.empty()) {
    return kSuccess;  // an empty list from standard input: nothing to rewrite
  }
  AddAll(archive, files, console);
  SaveInPlace(archive, invocation.Archive, left, console);
  return kSuccess;
}

int Delete(const Invocation& invocation, Console& console, io::FileSystem& fs) {
  const Locked locked(invocation, invocation.Archive, fs);
  clsVarnGRP archive(fs);
  Load(archive, invocation.Archive);
  const LeftBehind left = Examine(archive, invocation.Archive, fs);
  const std::vector<int16_t> indices = SelectEntriesOnce(archive, invocation.Operands);
  // From the last one back, so that the indices still to go stay valid.
  for (auto it = indices.rbegin(); it != indices.rend(); ++it) {
    archive.deleteFile(*it);
  }
  SaveInPlace(archive, invocation.Archive, left, console);
  return kSuccess;
}

}  // namespace halvarin::cli
