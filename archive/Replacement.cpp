#include "Replacement.h"

#include <chrono>
#include <random>

#include "AppError.h"
#include "PathNames.h"

namespace halvarin {

namespace {

constexpr const char* kSource = "clsVarnGRP";

std::string Quoted(const std::string& path) {
  return "\"" + path + "\"";
}

}  // namespace

Replacement::Replacement(io::FileSystem& fs, const std::string& target, Keep keep, bool followLink)
    : fs_(fs), keep_(keep), target_(target) {
  const bool replaceLink = !followLink && fs.IsLink(target);
  final_ = followLink ? fs.ResolveLinks(target) : target;
  const io::FileInfo existing = replaceLink ? io::FileInfo{} : fs.Stat(final_);
  if (existing.IsFolder) {
    throw AppError(errPathFileAccess, kSource, Quoted(target) + " is a folder, not a file.");
  }
  // Renaming over a device or a pipe would put a plain file in its place.
  if (existing.Exists && !existing.IsOrdinary) {
    throw AppError(errPathFileAccess, kSource,
                   "Cannot write " + Quoted(target) +
                       ": it is not an ordinary file (a device, a pipe or a socket).");
  }
  // The folder's permission would let the rename through; the file's own
  // says it is not to be changed.
  if (existing.Exists && !existing.Writable) {
    throw AppError(errPermissionDenied, kSource,
                   "Cannot write " + Quoted(target) + ": it is read-only.");
  }
  if (existing.Exists) {
    like_ = existing;
  }
  folder_ = FolderOf(final_);
  // A file that replaces another is for its owner's eyes only until it has
  // that file's owner and group: in a folder that hands new files its own
  // group, or with a group shared by other users, the old mode would let in
  // people the old file kept out. A new file is made as any other would be.
  const uint32_t permissions =
      existing.Exists ? existing.Permissions & 0700 : io::FileSystem::kDefaultPermissions;
  try {
    for (int attempt = 0; attempt < 64 && !out_; ++attempt) {
      temp_ = TempFileName(folder_);
      out_ = fs.CreateNew(temp_, permissions);
    }
  } catch (const AppError& e) {
    throw AppError(e.Number(), kSource,
                   "Cannot write " + Quoted(target) + ": no new file can be made in its folder. " +
                       e.Description());
  }
  if (!out_) {
    throw AppError(errPathFileAccess, kSource,
                   "Cannot write " + Quoted(target) + ": no free temporary name in its folder.");
  }
  if (like_) {
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
  if (fs_.SetOwner(*out_, *like_) || keep_ != Keep::Everything) {
    return;
  }
  // Saving would change who owns the archive, and with that who may read
  // it or change its permissions; the user should decide that, not a save.
  const io::FileInfo mine = fs_.Stat(temp_);
  if (mine.Owner != like_->Owner) {
    throw AppError(errPermissionDenied, kSource,
                   "Cannot save " + Quoted(target_) + ": it belongs to " +
                       fs_.AccountName(like_->Owner, false) + "; saving it would make it yours.");
  }
  throw AppError(errPermissionDenied, kSource,
                 "Cannot save " + Quoted(target_) + ": it belongs to the group " +
                     fs_.AccountName(like_->Group, true) +
                     ", which you cannot give it; saving "
                     "it would give it to the group " +
                     fs_.AccountName(mine.Group, true) + ".");
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
  if (like_) {
    // The mode only now: writing would clear set-user-ID bits again. The
    // attributes after it, as an access list sets the group bits itself.
    fs_.CopyPermissions(*out_, *like_);
    if (keep_ == Keep::Everything) {
      fs_.CopyAttributes(final_, *out_);
    }
  }
  out_->Close();
}

void Replacement::Put() {
  if (!expected_) {
    fs_.Rename(temp_, final_);
  } else if (!fs_.RenameIfUnchanged(temp_, final_, *expected_)) {
    throw AppError(errPathFileAccess, kSource,
                   *expected_ ? Quoted(target_) +
                                    " has been changed by another program since it was opened. "
                                    "Open it again."
                              : Quoted(target_) +
                                    " has been made by another program while this save ran; "
                                    "nothing was replaced. Save again to replace it.");
  }
  committed_ = true;
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
