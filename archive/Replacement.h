#pragma once

#include <memory>
#include <optional>
#include <string>

#include "FileSystem.h"

namespace halvarin {

// A new version of a file, written beside it under a unique temporary name
// and put in its place in one step, so that the file is always either wholly
// old or wholly new. Until it is in place, destroying the object removes the
// temporary file and leaves the original untouched.
class Replacement {
 public:
  enum class Keep {
    // Nothing of the file replaced: the new file is its maker's, with the
    // mode any new file gets (0666 less the umask, or the folder's default
    // access list). For extracted files: an entry is not an edit of
    // whatever had its name, and that may belong to anybody, setuid.
    Nothing,
    // Owner, group, mode and extended attributes (access lists among them),
    // or the replacement is refused: for archives. The temporary file is
    // never open to more people than the file it replaces: it starts
    // readable by its owner alone, gets the old file's owner and group, and
    // only after its data the old access list and then the mode.
    Everything,
  };

  enum class Name {
    // A symbolic link at the target stays a link and the file it points at
    // is replaced, as editors do with a file the user named; a link the
    // system protects (see FileSystem::ResolveLinks) is refused.
    Follow,
    // Whatever is at the target, a link too, is replaced, and whatever a
    // link points at is never opened, examined or written: for extraction
    // into a folder, where somebody else may have planted the link to make
    // us overwrite a file of their choosing.
    Replace,
    // Nothing may be at the target, not even a link, now or when the new
    // file is put there: for a file that must replace none.
    New,
  };

  Replacement(io::FileSystem& fs, const std::string& target, Keep keep, Name name = Name::Follow);
  Replacement(const Replacement&) = delete;
  Replacement& operator=(const Replacement&) = delete;
  ~Replacement();

  io::File& Out() { return *out_; }

  // What must still be at the target when the new file is put there: the file
  // with this stamp, or nothing at all. Without a call, whatever is there then
  // is replaced (with Name::New: nothing must be there).
  void Expect(const std::optional<io::FileStamp>& atTarget) { expected_ = atTarget; }
  // What was at the target when the replacement began (nothing: empty).
  std::optional<io::FileStamp> Found() const;

  // Finishes and puts the new file in place, once the caller has flushed
  // Out (before its last progress report, which a cancel may answer).
  void Commit();
  // Commit in steps, for a batch flushed all at once: Finish closes the new
  // file unflushed (keeping open files few), and once TempPath has been
  // flushed, Put puts it in place.
  void Finish();
  void Put();
  const std::string& TempPath() const { return temp_; }
  const std::string& Folder() const { return folder_; }

  // After the rename: without this a crash could still bring back the old name.
  void SyncFolder() { fs_.SyncFolder(folder_); }

  // The new file's, valid after Commit.
  const io::FileStamp& Stamp() const { return stamp_; }

  // A name for a temporary file in `folder` ("" for the current one) that
  // is unlikely to exist; CreateNew makes sure.
  static std::string TempFileName(const std::string& folder);

 private:
  void KeepOwner();
  [[noreturn]] void ThrowTaken() const;

  io::FileSystem& fs_;
  Keep keep_;
  std::string target_;
  std::string final_;
  std::string folder_;
  std::string temp_;
  std::optional<io::FileInfo> like_;  // the replaced file's, if there was one
  std::optional<std::optional<io::FileStamp>> expected_;
  std::unique_ptr<io::File> out_;
  io::FileStamp stamp_;
  bool committed_ = false;
};

}  // namespace halvarin
