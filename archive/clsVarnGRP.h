#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "FileSystem.h"
#include "GrpSalvage.h"

namespace halvarin {

// One group archive: the directory of the file loaded last, the disk files
// queued for addition, and whether there are unsaved edits. Entry indices are
// 1-based; indices past NumberOfFiles() address the queued files in the order
// they were added. Names are raw Windows-1252 bytes, 12 of them as stored.
//
// No file is held open between calls. Every operation either succeeds or
// throws AppError and leaves the object (and every file) as it was.
class clsVarnGRP {
 public:
  // Every file operation goes through `fs`, which must outlive the object;
  // tests give one that can fail on purpose.
  explicit clsVarnGRP(io::FileSystem& fs = io::FileSystem::Native());

  // False when the file is not a group archive (shorter than the magic, or a
  // different magic); throws for a file that cannot be read or is damaged.
  bool LoadFile(const std::string& FilePath);
  // Loads what a damaged archive still holds: its entries up to the first
  // fault (all of them when there is none), read from that file as they are.
  // False when the file is not a group archive. The object is then changed
  // unless nothing was lost, and never saves over the file it was loaded
  // from: the entries are meant for a new one. `found`, when given, receives
  // what was lost and why.
  bool LoadRecoverable(const std::string& FilePath, grp::Salvage* found = nullptr);
  void deleteFile(int16_t index);
  // Queues the file; returns the entry name it will get (may exceed 12 bytes
  // until it is written).
  std::string addFile(const std::string& FilePath);
  // An empty path saves over the archive's own file. With `Replace` false
  // the save replaces nothing: it fails if anything is at the target's name,
  // a link included, when it starts or when the new file is put there.
  void saveFile(const std::string& FilePath, bool Replace = true);
  // The file saveFile writes when given `FilePath` (not empty): a path
  // whose file name has no "." gets ".grp".
  static std::string SavedPath(const std::string& FilePath);
  // An extracted file is a new file, whatever had its name: it belongs to
  // the user who extracts, with the mode a new file gets, and keeps nothing
  // of a file it replaces (owner, mode, access list).
  void extractFile(int16_t index, const std::string& FilePath);
  // Extracts many loaded entries, each to its own path (no two the same).
  // Every file is written whole under a temporary name before any is put in
  // place, and all are flushed together: far cheaper than one flush each.
  // When it fails, the files already in place are whole and the others
  // untouched. Meant for extraction into a folder: a symbolic link at a
  // target's name is replaced by the entry, never written through, whereas
  // extractFile writes through a link as a save does.
  void extractFiles(const std::vector<std::pair<int16_t, std::string>>& Targets);

  // Called during saves and extractions, every few megabytes, with the bytes
  // copied so far and the bytes to copy in all; for showing progress. Only
  // the last call has done == total: it comes once everything is written and
  // flushed, right before the new files are put in place, and is the last
  // chance to cancel. While a save waits for another program to let go of
  // the archive's lock, it is called every few milliseconds with a total of
  // kWaiting. Returning false cancels: the operation then fails with
  // errDialogCancelled ("cancelled by the user") and leaves the object and
  // every file as they were, as any failure does.
  using ProgressHandler = std::function<bool(int64_t done, int64_t total)>;
  static constexpr int64_t kWaiting = -1;
  void SetProgressHandler(ProgressHandler handler);

  int16_t NumberOfFiles() const;
  std::string filename(int16_t index) const;
  int32_t FileSize(int16_t index) const;
  int32_t FilePosition(int16_t index) const;
  bool Changed() const;
  // The file loaded or saved last; empty for a new archive.
  const std::string& ArchivePath() const { return GrpPath; }
  // The disk file queued as entry `index` (past NumberOfFiles).
  const std::string& AddedFile(int16_t index) const;
  // The loaded archive's file, opened for reading the entries' data, once it
  // is known still to hold the directory that was loaded; throws otherwise.
  std::unique_ptr<io::File> OpenForReading() { return openLoaded(); }

 private:
  // One directory record, laid out as on disk so that the whole directory is
  // read straight into the table.
  struct GrpEntry {
    GrpEntry() {}               // deliberately unset: the file fills it
    std::array<char, 12> Name;  // as stored, padding included
    int32_t Size;
  };

  static std::string makeEntryName(const std::string& path);
  // The last step of a load: the object takes the table read from `path`.
  void adopt(std::vector<GrpEntry> table, std::vector<int32_t> positions, const std::string& path,
             const io::FileStamp& stamp);
  void writeArchive(const std::string& target, bool replace);
  // GrpPath, opened for reading, after making sure it is still the file
  // that was loaded.
  std::unique_ptr<io::File> openLoaded();
  // Whether `file` starts with the header and directory that were loaded.
  bool sameDirectory(io::File& file) const;
  // CopyRange in pieces, telling Progress after each.
  void copyReporting(io::File& from, int64_t offset, io::File& to, int64_t length, int64_t& done,
                     int64_t total);
  // Tells Progress; throws when it asks to cancel.
  void report(int64_t done, int64_t total);

  std::string Signature;
  int32_t EntryCount = 0;
  std::vector<std::string> AddedFiles;
  std::vector<GrpEntry> Entries;   // Entries[i] is entry i; [0] holds the header as read
  std::vector<int32_t> Positions;  // Positions[i]: 1-based position of entry i in GrpPath
  // Entries as loaded, once a deletion has changed them; empty before.
  std::vector<GrpEntry> LoadedDirectory;
  std::string GrpPath;
  // GrpPath as it was loaded: the table's positions hold for that file only.
  io::FileStamp GrpStamp;
  // After LoadRecoverable: the bytes of GrpPath the table was read from,
  // header and records of the entries taken. Empty after any other load.
  std::string RecoveredHead;
  bool IsChanged = false;
  ProgressHandler Progress;
  io::FileSystem* Fs;  // never null
};

}  // namespace halvarin
