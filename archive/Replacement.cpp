#include "Replacement.h"

#include <chrono>
#include <random>

#include "AppError.h"
#include "ErrorMessages.h"
#include "PathNames.h"

namespace halvarin {

namespace {

constexpr const char* kSource = "Replacement";

}  // namespace

Replacement::Replacement(io::FileSystem& fs, const std::string& target, Keep keep, Name name)
    : fs_(fs), keep_(keep), target_(target) {
  final_ = name == Name::Follow ? fs.ResolveLinks(target) : target;
  // Never through a link unless following it: not even its target's
  // metadata, which could only mislead.
  io::FileInfo existing = name == Name::Follow ? fs.Stat(final_) : fs.LinkStat(final_);
  if (name == Name::New) {
    if (existing.Exists) {
      ThrowTaken();
    }
    expected_.emplace();
  }
  if (existing.IsLink) {
    existing = io::FileInfo{};
  }
  if (existing.IsFolder) {
    throw FolderError(kSource, target);
  }
  // Renaming over a device or a pipe would put a plain file in its place.
  if (existing.Exists && !existing.IsOrdinary) {
    throw AppError(errPathFileAccess, kSource,
                   "Cannot write " + Quoted(target) +
                       ": it is not an ordinary file (a device, a pipe or a socket).",
                   target);
  }
  // The folder's permission would let the rename through; the file's own
  // says it is not to be changed.
  if (existing.Exists && !existing.Writable) {
    throw AppError(errPermissionDenied, kSource,
                   "Cannot write " + Quoted(target) + ": it is read-only.", target);
  }
  if (existing.Exists) {
    like_ = existing;
  }
  folder_ = FolderOf(final_);
  // A file that replaces another is for its owner's eyes only until it has
  // that file's owner and group: in a folder that hands new files its own
  // group, or with a group shared by other users, the old mode would let in
  // people the old file kept out. A new file is made as any other would be.
  const bool keeps = like_ && keep == Keep::Everything;
  const uint32_t permissions =
      keeps ? existing.Permissions & 0700 : io::FileSystem::kDefaultPermissions;
  try {
    for (int attempt = 0; attempt < 64 && !out_; ++attempt) {
      temp_ = TempFileName(folder_);
      out_ = fs.CreateNew(temp_, permissions);
    }
  } catch (const AppError& e) {
    throw AppError(e.Number(), kSource,
                   "Cannot write " + Quoted(target) + ": no new file can be made in its folder. " +
                       e.Description(),
                   target);
  }
  if (!out_) {
    throw AppError(errPathFileAccess, kSource,
                   "Cannot write " + Quoted(target) + ": no free temporary name in its folder.",
                   target);
  }
  if (keeps) {
    try {
      KeepOwner();
    } catch (...) {
      out_.reset();
      fs_.Remove(temp_);
      throw;
    }
  }
}

void Replacement::KeepOwner() {
  if (fs_.SetOwner(*out_, *like_)) {
    return;
  }
  // Saving would change who owns the archive, and with that who may read
  // it or change its permissions; the user should decide that, not a save.
  const io::FileInfo mine = fs_.Stat(temp_);
  if (mine.Owner != like_->Owner) {
    throw AppError(errPermissionDenied, kSource,
                   "Cannot save " + Quoted(target_) + ": it belongs to " +
                       fs_.AccountName(like_->Owner, false) + "; saving it would make it yours.",
                   target_);
  }
  throw AppError(errPermissionDenied, kSource,
                 "Cannot save " + Quoted(target_) + ": it belongs to the group " +
                     fs_.AccountName(like_->Group, true) +
                     ", which you cannot give it; saving "
                     "it would give it to the group " +
                     fs_.AccountName(mine.Group, true) + ".",
                 target_);
}

Replacement::~Replacement() {
  if (!committed_) {
    out_.reset();
    fs_.Remove(temp_);
  }
}

std::optional<io::FileStamp> Replacement::Found() const {
  if (!like_) {
    return std::nullopt;
  }
  return like_->Stamp;
}

void Replacement::Commit() {
  Finish();
  Put();
}

void Replacement::Finish() {
  stamp_ = out_->Stamp();  // nothing below changes the content or its time
  if (like_ && keep_ == Keep::Everything) {
    // The access list before the mode: the old mode's group bits, set
    // first, would open the file to its whole group, where the list lets
    // in only the users it names. The list brings the old file's bits
    // with it; the mode, set only now since writing would clear
    // set-user-ID bits again, adds those.
    fs_.CopyAttributes(final_, *out_);
    fs_.CopyPermissions(*out_, *like_);
  }
  out_->Close();
}

void Replacement::Put() {
  if (!expected_) {
    fs_.Rename(temp_, final_);
  } else if (!fs_.RenameIfUnchanged(temp_, final_, *expected_)) {
    if (!*expected_) {
      ThrowTaken();
    }
    throw ChangedError(kSource, target_);
  }
  committed_ = true;
}

void Replacement::ThrowTaken() const {
  throw AppError(
      errPathFileAccess, kSource,
      Quoted(target_) +
          (out_ ? " has been made by another program while this save ran" : " already exists") +
          "; nothing was replaced.",
      target_);
}

std::string Replacement::TempFileName(const std::string& folder) {
  // A random name; uniqueness itself comes from creating the file with
  // "fail if it exists" and trying another name when it does. The name is
  // never like the target's, and a crash may leave it behind.
  std::random_device device;
  uint64_t bits =
      (uint64_t{device()} << 32) ^ device() ^
      static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  std::string unique;
  for (int i = 0; i < 16; ++i, bits >>= 4) {
    unique.push_back("0123456789abcdef"[bits & 0xF]);
  }
  const std::string name = ".halvarin-" + unique + ".tmp";
  if (folder.empty()) {
    return name;
  }
  const char last = folder.back();
  return (last == '/' || last == '\\') ? folder + name : folder + "/" + name;
}

}  // namespace halvarin
