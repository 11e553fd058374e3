#include "clsVarnGRP.h"

#include <algorithm>
#include <array>
#include <bit>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <string_view>

#include "AppError.h"
#include "ArchiveLock.h"
#include "Cp1252.h"
#include "ErrorMessages.h"
#include "FileSystem.h"
#include "GrpCheck.h"
#include "GrpFormat.h"
#include "PathNames.h"
#include "Replacement.h"

namespace halvarin {

namespace {

constexpr const char* kSource = "clsVarnGRP";
using grp::kHeaderSize;
using grp::kLargestDirectory;
using grp::kMagic;
using grp::kMagicSize;
using grp::kMaxEntries;
using grp::kMaxPosition;
using grp::kNameSize;
using grp::kRecordSize;
using grp::ReadInt32;

void AppendInt32(std::string& out, int32_t value) {
  const auto v = static_cast<uint32_t>(value);
  for (int shift = 0; shift < 32; shift += 8) {
    out.push_back(static_cast<char>((v >> shift) & 0xFF));
  }
}

std::string_view AsText(const std::array<char, 12>& name) {
  return std::string_view(name.data(), name.size());
}

using grp::DescribeEntry;

// Says why a file that starts like a group archive cannot be loaded: the
// checker's first error, about the file's first `have` bytes.
[[noreturn]] void ThrowDamaged(const std::string& path, const char* bytes, int64_t have,
                               int64_t fileSize) {
  const grp::CheckResult check = grp::CheckLayout(bytes, have, fileSize);
  const grp::Finding* error = check.FirstError();
  throw AppError(error ? error->Number : errPathFileAccess, kSource,
                 Quoted(path) + " is damaged: " +
                     (error ? error->Text : std::string("its directory is inconsistent.")),
                 path);
}

[[noreturn]] void ThrowChanged(const std::string& path, const std::string& why) {
  throw AppError(errPathFileAccess, kSource,
                 Quoted(path) + " has been changed or damaged since it was opened: " + why +
                     ". Open it again.",
                 path);
}

// The new file an entry is extracted to, which keeps nothing of a file
// that had its name; `archive` itself is never replaced, since that would
// destroy the data being read.
std::unique_ptr<Replacement> StartExtraction(io::FileSystem& fs, const std::string& archive,
                                             const std::string& target, Replacement::Name name) {
  // A link that is to be replaced is not looked through, even here.
  if ((name == Replacement::Name::Follow || !fs.IsLink(target)) && fs.SameFile(archive, target)) {
    throw AppError(errInvalidArgument, kSource,
                   "Cannot extract to " + Quoted(target) + ": that is the archive itself.", target);
  }
  return std::make_unique<Replacement>(fs, target, Replacement::Keep::Nothing, name);
}

// Errors met while a new file is written are about the temporary file or a
// source file; the user also needs to hear which file was being written.
template <typename Action>
void NamingTarget(const std::string& what, const std::string& target, Action&& action) {
  try {
    action();
  } catch (const AppError& e) {
    if (e.Path() == target) {
      throw;
    }
    throw AppError(e.Number(), kSource, what + Quoted(target) + ": " + e.Description(), target);
  }
}

}  // namespace

clsVarnGRP::clsVarnGRP(io::FileSystem& fs) : Fs(&fs) {}

bool clsVarnGRP::LoadFile(const std::string& FilePath) {
  static_assert(sizeof(GrpEntry) == kRecordSize, "records are read straight into the table");
  auto file = Fs->OpenRead(FilePath);
  const io::FileStamp stamp = file->Stamp();
  const int64_t fileSize = stamp.Size;

  // Header and directory in one read, straight into the table: the 16-byte
  // header takes the place of record 0, which 1-based indices never use. The
  // directory's length is known only after the header, so read as much as
  // the largest directory could take (512 KiB at most) and drop the rest.
  const int64_t capacity = std::min(fileSize, kLargestDirectory);
  std::vector<GrpEntry> table(static_cast<std::size_t>((capacity + kRecordSize - 1) / kRecordSize));
  const auto have =
      static_cast<int64_t>(file->ReadAt(0, table.data(), static_cast<std::size_t>(capacity)));
  file.reset();
  const char* bytes = reinterpret_cast<const char*>(table.data());

  if (have < kMagicSize || std::string_view(bytes, kMagicSize) != kMagic) {
    return false;
  }
  const int32_t count = have < kHeaderSize ? -1 : ReadInt32(bytes + kMagicSize);
  const int64_t directoryEnd = kHeaderSize + kRecordSize * count;
  if (count < 0 || count > kMaxEntries || directoryEnd > have) [[unlikely]] {
    ThrowDamaged(FilePath, bytes, have, fileSize);
  }

  // Positions follow from the sizes. Sizes are checked for the whole table at
  // once (any negative one sets the sign of `signs`; with none, positions only
  // grow, so the last entry decides about the limits); a damaged directory
  // then goes to the checker for a precise message. Sizes are read as stored
  // (little-endian) until then, so that the checker sees the file's bytes.
  const auto storedSize = [&table](std::size_t i) {
    return ReadInt32(reinterpret_cast<const char*>(&table[i].Size));
  };
  // Filled through a plain pointer: the loop is the whole cost of a load
  // beyond the read, and push_back's capacity checks would double it.
  std::vector<int32_t> positions(static_cast<std::size_t>(count) + 1);
  int32_t* const out = positions.data();
  int64_t position = directoryEnd + 1;
  int64_t lastStart = position;
  int32_t signs = 0;
  for (std::size_t i = 1; i <= static_cast<std::size_t>(count); ++i) {
    const int32_t size = storedSize(i);
    signs |= size;
    out[i] = static_cast<int32_t>(position);
    lastStart = position;
    position += size;
  }
  const int64_t end = position - 1;  // 0-based offset just past the last data
  if (signs < 0 || lastStart > kMaxPosition || end > kMaxPosition || end > fileSize) [[unlikely]] {
    ThrowDamaged(FilePath, bytes, have, fileSize);
  }

  table.resize(static_cast<std::size_t>(count) + 1);
  if (table.capacity() > 2 * table.size()) {
    table.shrink_to_fit();  // a small directory in front of much data
  }
  // Only a big-endian machine has to turn the sizes around; everywhere else
  // the table is ready as read.
  if constexpr (std::endian::native != std::endian::little) {
    for (std::size_t i = 1; i < table.size(); ++i) {
      table[i].Size = storedSize(i);
    }
  }

  // Only now, with everything checked, does the object take the new archive.
  adopt(std::move(table), std::move(positions), FilePath, stamp);
  return true;
}

bool clsVarnGRP::LoadRecoverable(const std::string& FilePath, grp::Salvage* found) {
  auto file = Fs->OpenRead(FilePath);
  const io::FileStamp stamp = file->Stamp();
  std::string head(static_cast<std::size_t>(std::min(stamp.Size, kLargestDirectory)), '\0');
  head.resize(file->ReadAt(0, head.data(), head.size()));
  file.reset();
  grp::Salvage salvage = grp::PlanSalvage(head.data(), std::ssize(head), stamp.Size);
  if (!salvage.Check.IsArchive) {
    return false;
  }
  // The entries taken lie where the stored count puts them, whatever is
  // wrong after them.
  const int32_t whole = salvage.Whole;
  std::vector<GrpEntry> table(static_cast<std::size_t>(whole) + 1);
  std::vector<int32_t> positions(table.size());
  int64_t position = kHeaderSize + kRecordSize * int64_t{salvage.Records} + 1;
  std::copy_n(head.begin(), kMagicSize, table[0].Name.begin());
  table[0].Size = whole;
  for (std::size_t i = 1; i < table.size(); ++i) {
    const char* record = head.data() + kHeaderSize + kRecordSize * (i - 1);
    std::copy_n(record, kNameSize, table[i].Name.begin());
    table[i].Size = ReadInt32(record + kNameSize);
    positions[i] = static_cast<int32_t>(position);
    position += table[i].Size;
  }
  adopt(std::move(table), std::move(positions), FilePath, stamp);
  head.resize(
      static_cast<std::size_t>(std::min(std::ssize(head), kHeaderSize + kRecordSize * whole)));
  RecoveredHead = std::move(head);
  IsChanged = !salvage.Check.Sound();
  if (found != nullptr) {
    *found = std::move(salvage);
  }
  return true;
}

void clsVarnGRP::adopt(std::vector<GrpEntry> table, std::vector<int32_t> positions,
                       const std::string& path, const io::FileStamp& stamp) {
  Signature.assign(AsText(table[0].Name));
  EntryCount = static_cast<int32_t>(table.size() - 1);
  Entries = std::move(table);
  Positions = std::move(positions);
  GrpPath = path;
  GrpStamp = stamp;
  RecoveredHead.clear();
  LoadedDirectory.clear();
  AddedFiles.clear();
  IsChanged = false;
}

void clsVarnGRP::deleteFile(int16_t index) {
  const auto queued = static_cast<int64_t>(AddedFiles.size());
  if (index < 1 || index > EntryCount + queued) {
    throw AppError(errSubscriptOutOfRange, kSource,
                   "There is no entry " + std::to_string(index) + " to delete; entries are 1 to " +
                       std::to_string(EntryCount + queued) + ".");
  }
  if (index <= EntryCount) {
    // Kept to tell a file that was only touched, or written again the same,
    // from one whose directory changed.
    if (LoadedDirectory.empty()) {
      LoadedDirectory = Entries;
    }
    // Positions stay as they are: they still point at the data in the file
    // on disk, which is where the next save copies it from.
    Entries.erase(Entries.begin() + index);
    Positions.erase(Positions.begin() + index);
    --EntryCount;
  } else {
    AddedFiles.erase(AddedFiles.begin() + (index - EntryCount - 1));
  }
  IsChanged = true;
}

std::string clsVarnGRP::addFile(const std::string& FilePath) {
  std::string name = makeEntryName(FilePath);
  AddedFiles.push_back(FilePath);
  IsChanged = true;
  return name;
}

void clsVarnGRP::saveFile(const std::string& FilePath, bool Replace) {
  if (FilePath.empty() && GrpPath.empty()) {
    throw AppError(errInvalidArgument, kSource, "No file name was given to save the archive to.");
  }
  // The archive's own file is written back under its own name, whatever it
  // is; only a name given for a new file gets ".grp".
  const std::string target = FilePath.empty() ? GrpPath : SavedPath(FilePath);
  NamingTarget("Cannot save ", target, [&] {
    // Held until the new file is in place, so that another save of the same
    // archive cannot start from what this one is about to replace.
    ArchiveLock lock(*Fs, target, ArchiveLock::kDefaultWait, [this] { report(0, kWaiting); });
    writeArchive(target, Replace);
  });
}

std::string clsVarnGRP::SavedPath(const std::string& FilePath) {
  // The file's own name decides: a dot in a folder's name ("my.dir/mod",
  // "./mod") says nothing about whether the file has an extension.
  return LastPathComponent(FilePath).find('.') == std::string::npos ? FilePath + ".grp" : FilePath;
}

void clsVarnGRP::writeArchive(const std::string& target, bool replace) {
  // Everything that can be known in advance is checked before a byte is
  // written.
  const auto queued = static_cast<int64_t>(AddedFiles.size());
  const int64_t total = EntryCount + queued;
  if (total > kMaxEntries) {
    throw AppError(errOverflow, kSource,
                   "Cannot save " + Quoted(target) + ": it would hold " + std::to_string(total) +
                       " entries, more than the " + std::to_string(grp::kMaxEntries) +
                       " a group archive can hold.",
                   target);
  }

  // Saving over the loaded archive (by any of its names) must replace the
  // very file that was read, and nothing another program put there since.
  const bool inPlace = !GrpPath.empty() && Fs->SameFile(GrpPath, target);
  if (inPlace && !RecoveredHead.empty()) {
    throw AppError(
        errInvalidArgument, kSource,
        "Cannot save over " + Quoted(target) +
            ": that is the archive the entries are recovered from. Save them to a new file.",
        target);
  }
  std::unique_ptr<io::File> old;
  if (EntryCount > 0 || inPlace) {
    old = openLoaded();
  }
  std::string magic(kMagic);
  if (EntryCount > 0) {
    char head[kMagicSize];
    if (old->ReadAt(0, head, sizeof head) != sizeof head ||
        std::string_view(head, sizeof head) != kMagic) {
      ThrowChanged(GrpPath, "it no longer starts like a group archive");
    }
    magic.assign(head, sizeof head);
  }

  std::vector<GrpEntry> written(1);  // [0] stands for the header, as in a loaded table
  std::vector<int32_t> writtenPositions(1);
  written.reserve(static_cast<std::size_t>(total) + 1);
  writtenPositions.reserve(static_cast<std::size_t>(total) + 1);
  int64_t position = kHeaderSize + kRecordSize * total + 1;
  const auto place = [&](std::string name, int64_t size) {
    name.resize(kNameSize, ' ');
    if (position > kMaxPosition || position - 1 + size > kMaxPosition) {
      throw AppError(errOverflow, kSource,
                     "Cannot save " + Quoted(target) + ": " +
                         DescribeEntry(static_cast<int64_t>(written.size()), name, size, position) +
                         " would lie past position " + std::to_string(grp::kMaxPosition) +
                         ", the limit of a group archive.",
                     target);
    }
    GrpEntry& entry = written.emplace_back();
    std::copy_n(name.begin(), kNameSize, entry.Name.begin());
    entry.Size = static_cast<int32_t>(size);
    writtenPositions.push_back(static_cast<int32_t>(position));
    position += size;
  };
  for (int32_t i = 1; i <= EntryCount; ++i) {
    const GrpEntry& e = Entries[static_cast<std::size_t>(i)];
    place(std::string(AsText(e.Name)), e.Size);
  }
  for (const std::string& path : AddedFiles) {
    // Opened here only for the length; thousands of files cannot all stay
    // open until their data is copied.
    place(makeEntryName(path), Fs->OpenRead(path)->Size());
  }

  // The magic goes in last, just before the file is flushed: a temporary
  // file that a crash leaves behind half-written is not taken for an archive.
  std::string header(kMagicSize, '\0');
  header.reserve(static_cast<std::size_t>(kHeaderSize + kRecordSize * total));
  AppendInt32(header, static_cast<int32_t>(total));
  for (std::size_t i = 1; i < written.size(); ++i) {
    header += AsText(written[i].Name);
    AppendInt32(header, written[i].Size);
  }

  Replacement replacement(*Fs, target, Replacement::Keep::Everything,
                          replace ? Replacement::Name::Follow : Replacement::Name::New);
  // Elsewhere, the file found there now (or nothing) is the one to replace.
  replacement.Expect(inPlace ? std::optional<io::FileStamp>(GrpStamp) : replacement.Found());
  io::File& out = replacement.Out();
  out.Write(header.data(), header.size());
  const int64_t dataBytes = position - 1 - static_cast<int64_t>(header.size());
  int64_t done = 0;

  // Kept entries lie back to back in the old file unless something between
  // them was deleted; each unbroken run is one copy.
  const auto kept = static_cast<std::size_t>(EntryCount);
  for (std::size_t i = 1; i <= kept;) {
    const int64_t start = Positions[i] - 1;
    int64_t length = 0;
    std::size_t j = i;
    while (j <= kept && Positions[j] - 1 == start + length) {
      length += Entries[j].Size;
      ++j;
    }
    copyReporting(*old, start, out, length, done, dataBytes);
    i = j;
  }
  old.reset();  // some systems cannot replace a file that is still open

  for (std::size_t k = 0; k < AddedFiles.size(); ++k) {
    const GrpEntry& e = written[kept + 1 + k];
    auto in = Fs->OpenRead(AddedFiles[k]);
    copyReporting(*in, 0, out, e.Size, done, dataBytes);
    // A byte past the size taken means the file grew, or is one of the
    // system's own files whose size says 0 whatever they hold.
    char more = 0;
    if (in->Size() != e.Size || in->ReadAt(e.Size, &more, 1) != 0) {
      throw AppError(errPathFileAccess, kSource,
                     "Cannot save " + Quoted(target) + ": " + Quoted(AddedFiles[k]) +
                         " changed its length while it was being saved, or has no length "
                         "that can be known beforehand.",
                     target);
    }
  }

  out.WriteAt(0, magic.data(), magic.size());
  // The last report follows the flush, which can take longer than the copy
  // (a slow stick): a cancel during it is still honoured before the file
  // goes in place.
  out.Sync();
  report(dataBytes, dataBytes);
  replacement.Commit();

  // The new file is in place: from here on the object must describe it, even
  // if the last flush below fails, or a later save would copy from the wrong
  // file.
  Signature = magic;
  std::copy_n(magic.begin(), kMagicSize, written[0].Name.begin());
  written[0].Size = static_cast<int32_t>(total);
  LoadedDirectory.clear();
  EntryCount = static_cast<int32_t>(total);
  Entries = std::move(written);
  Positions = std::move(writtenPositions);
  GrpPath = target;
  GrpStamp = replacement.Stamp();
  RecoveredHead.clear();
  AddedFiles.clear();
  IsChanged = false;

  replacement.SyncFolder();
}

void clsVarnGRP::extractFile(int16_t index, const std::string& FilePath) {
  const int32_t size = FileSize(index);
  const int32_t at = Positions[static_cast<std::size_t>(index)];
  if (FilePath.empty()) {
    throw AppError(errInvalidArgument, kSource, "No file name was given to extract to.");
  }

  NamingTarget("Cannot extract entry " + std::to_string(index) + " to ", FilePath, [&] {
    auto archive = openLoaded();
    auto replacement = StartExtraction(*Fs, GrpPath, FilePath, Replacement::Name::Follow);
    int64_t done = 0;
    copyReporting(*archive, at - 1, replacement->Out(), size, done, size);
    archive.reset();
    replacement->Out().Sync();  // before the last report, as a save does
    report(size, size);
    replacement->Commit();
    replacement->SyncFolder();
  });
}

void clsVarnGRP::extractFiles(const std::vector<std::pair<int16_t, std::string>>& Targets) {
  int64_t total = 0;
  for (const auto& [index, path] : Targets) {
    total += FileSize(index);
    if (path.empty()) {
      throw AppError(errInvalidArgument, kSource, "No file name was given to extract to.");
    }
  }
  auto archive = openLoaded();
  // Until every file has been written and flushed, destroying `written`
  // removes them all and no target has been touched.
  std::vector<std::unique_ptr<Replacement>> written;
  written.reserve(Targets.size());
  int64_t done = 0;
  for (const auto& target : Targets) {
    // Named copies: lambdas cannot capture structured bindings everywhere yet.
    const int16_t index = target.first;
    const std::string& path = target.second;
    NamingTarget("Cannot extract entry " + std::to_string(index) + " to ", path, [&] {
      auto replacement = StartExtraction(*Fs, GrpPath, path, Replacement::Name::Replace);
      copyReporting(*archive, Positions[static_cast<std::size_t>(index)] - 1, replacement->Out(),
                    Entries[static_cast<std::size_t>(index)].Size, done, total);
      replacement->Finish();
      written.push_back(std::move(replacement));
    });
  }
  archive.reset();

  std::vector<std::string> temps;
  temps.reserve(written.size());
  for (const auto& replacement : written) {
    temps.push_back(replacement->TempPath());
  }
  try {
    Fs->SyncFiles(temps);
  } catch (const AppError& e) {
    // The user knows the targets, not the temporary files: name the first
    // one the failure is about, by its temporary file or its folder.
    std::size_t k = 0;
    while (k + 1 < temps.size() && e.Path() != temps[k] &&
           e.Path() != (written[k]->Folder().empty() ? std::string(".") : written[k]->Folder())) {
      ++k;
    }
    throw AppError(e.Number(), kSource,
                   "Cannot extract entry " + std::to_string(Targets[k].first) + " to " +
                       Quoted(Targets[k].second) + ": " + e.Description(),
                   Targets[k].second);
  }
  report(total, total);
  std::vector<std::string> folders;
  for (std::size_t k = 0; k < written.size(); ++k) {
    NamingTarget("Cannot extract entry " + std::to_string(Targets[k].first) + " to ",
                 Targets[k].second, [&] { written[k]->Put(); });
    if (std::find(folders.begin(), folders.end(), written[k]->Folder()) == folders.end()) {
      folders.push_back(written[k]->Folder());
    }
  }
  for (const std::string& folder : folders) {
    Fs->SyncFolder(folder);
  }
}

void clsVarnGRP::SetProgressHandler(ProgressHandler handler) {
  Progress = std::move(handler);
}

void clsVarnGRP::copyReporting(io::File& from, int64_t offset, io::File& to, int64_t length,
                               int64_t& done, int64_t total) {
  if (!Progress) {
    Fs->CopyRange(from, offset, to, length);
    done += length;
    return;
  }
  // Small enough that a cancel is heard within a fraction of a second even
  // on a slow disk; large enough that splitting costs nothing measurable.
  constexpr int64_t kPiece = int64_t{4} << 20;
  while (length > 0) {
    const int64_t piece = std::min(length, kPiece);
    Fs->CopyRange(from, offset, to, piece);
    offset += piece;
    length -= piece;
    done += piece;
    // done == total is kept for the last report, after the flush.
    if (done < total) {
      report(done, total);
    }
  }
}

void clsVarnGRP::report(int64_t done, int64_t total) {
  if (Progress && !Progress(done, total)) {
    throw AppError(errDialogCancelled, kSource, "Cancelled; every file is as it was.");
  }
}

std::unique_ptr<io::File> clsVarnGRP::openLoaded() {
  auto file = Fs->OpenRead(GrpPath);
  const io::FileStamp now = file->Stamp();
  // Replaced (another program, or another copy of this one, saved it),
  // written in place, or only touched. With the header and directory exactly
  // as loaded the table still holds, and the entries' data is taken as it is
  // now; otherwise the loaded positions may point at anything.
  if (now != GrpStamp) {
    if (!sameDirectory(*file)) {
      throw ChangedError(kSource, GrpPath);
    }
    GrpStamp = now;
  }
  // Never true unless the stamp deceives; cheap enough to make sure.
  for (int32_t i = 1; i <= EntryCount; ++i) {
    const GrpEntry& e = Entries[static_cast<std::size_t>(i)];
    const int32_t at = Positions[static_cast<std::size_t>(i)];
    if (int64_t{at} - 1 + e.Size > now.Size) {
      ThrowChanged(GrpPath, DescribeEntry(i, AsText(e.Name), e.Size, at) +
                                " runs past its end, after " + Counted(now.Size, "byte", "bytes"));
    }
  }
  return file;
}

bool clsVarnGRP::sameDirectory(io::File& file) const {
  const std::vector<GrpEntry>& table = LoadedDirectory.empty() ? Entries : LoadedDirectory;
  // A recovered table is a part of the directory, under the stored count.
  std::string loaded = RecoveredHead.empty() ? Signature : RecoveredHead;
  if (RecoveredHead.empty()) {
    loaded.reserve(static_cast<std::size_t>(kRecordSize) * table.size());
    AppendInt32(loaded, static_cast<int32_t>(table.size() - 1));
    for (std::size_t i = 1; i < table.size(); ++i) {
      loaded += AsText(table[i].Name);
      AppendInt32(loaded, table[i].Size);
    }
  }
  std::string now(loaded.size(), '\0');
  return file.ReadAt(0, now.data(), now.size()) == now.size() && now == loaded;
}

int16_t clsVarnGRP::NumberOfFiles() const {
  return static_cast<int16_t>(EntryCount);
}

std::string clsVarnGRP::filename(int16_t index) const {
  (void)FileSize(index);
  return std::string(AsText(Entries[static_cast<std::size_t>(index)].Name));
}

int32_t clsVarnGRP::FileSize(int16_t index) const {
  if (index < 1 || index > EntryCount) {
    throw AppError(errSubscriptOutOfRange, kSource,
                   "There is no entry " + std::to_string(index) + "; the archive has " +
                       Counted(EntryCount, "entry", "entries") + ".");
  }
  return Entries[static_cast<std::size_t>(index)].Size;
}

int32_t clsVarnGRP::FilePosition(int16_t index) const {
  (void)FileSize(index);
  return Positions[static_cast<std::size_t>(index)];
}

bool clsVarnGRP::Changed() const {
  return IsChanged;
}

const std::string& clsVarnGRP::AddedFile(int16_t index) const {
  const int64_t k = int64_t{index} - EntryCount - 1;
  if (k < 0 || k >= static_cast<int64_t>(AddedFiles.size())) {
    throw AppError(errSubscriptOutOfRange, kSource,
                   "Entry " + std::to_string(index) + " is not a file queued for adding.");
  }
  return AddedFiles[static_cast<std::size_t>(k)];
}

std::string clsVarnGRP::makeEntryName(const std::string& path) {
  // Both separators count, whatever the platform: paths may come from
  // anywhere, and "\" can never be part of a stored name anyway.
  const auto cut = path.find_last_of("/\\");
  std::string name = Utf8ToCp1252(cut == std::string::npos ? path : path.substr(cut + 1));
  if (name.size() > kNameSize) {
    const auto dot = name.find('.');
    if (dot != std::string::npos) {
      name = name.substr(0, 8) + name.substr(dot);
    }
  }
  return name;
}

}  // namespace halvarin
