#pragma once

// The archive's only door to the operating system. Everything platform
// specific lives behind these two interfaces, in one source file per platform
// (PosixFileSystem.cpp here); the model itself stays portable. Tests put a
// wrapper in front of the native implementation to make any call fail.
//
// Every failure is thrown as an AppError whose description names the file and
// the operating system's reason.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace halvarin::io {

// What tells one version of a file from another without reading it: a file
// replaced by another has a new identity, one written in place a new
// modification time (or length).
struct FileStamp {
  uint64_t Device = 0;
  uint64_t Identity = 0;  // the file's number on its device
  int64_t Size = 0;
  int64_t Modified = 0;  // nanoseconds since the epoch
  bool operator==(const FileStamp&) const = default;
};

// An open file. Closing happens in the destructor (errors ignored, for the
// failure paths) or in Close (errors reported, for the success path).
class File {
 public:
  virtual ~File() = default;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  virtual const std::string& Path() const = 0;
  // Current length in bytes.
  virtual int64_t Size() = 0;
  // Identity, length and modification time, all at once.
  virtual FileStamp Stamp() = 0;
  // Reads up to `length` bytes at `offset`; fewer only at the end of the file.
  virtual std::size_t ReadAt(int64_t offset, void* buffer, std::size_t length) = 0;
  // Writes all of `length` bytes at the current position.
  virtual void Write(const void* buffer, std::size_t length) = 0;
  // Writes all of `length` bytes at `offset`; the current position stays.
  virtual void WriteAt(int64_t offset, const void* buffer, std::size_t length) = 0;
  // Flushes the content to the storage device.
  virtual void Sync() = 0;
  virtual void Close() = 0;

 protected:
  File() = default;
};

struct FileInfo {
  bool Exists = false;
  bool IsFolder = false;
  bool IsOrdinary = false;   // a plain file: no folder, device, pipe or socket
  bool Writable = false;     // by this process, as the system judges it
  uint32_t Permissions = 0;  // platform permission bits
  uint32_t Owner = 0;
  uint32_t Group = 0;
  bool IsLink = false;  // from LinkStat only: the name is a symbolic link
  FileStamp Stamp;      // of the file itself, when it exists
  uint64_t Links = 0;   // the number of names (hard links) the file has
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // Opens an existing ordinary file for reading; a folder is refused.
  virtual std::unique_ptr<File> OpenRead(const std::string& path) = 0;
  // Creates a new file for writing, with at most `permissions` (the user's
  // default mask still applies), and returns nullptr when a file of that name
  // already exists.
  virtual std::unique_ptr<File> CreateNew(const std::string& path, uint32_t permissions) = 0;
  // Follows symbolic links; Exists is false when nothing is there.
  virtual FileInfo Stat(const std::string& path) = 0;
  // What is at the name itself: a symbolic link is described as one (its
  // owner and IsLink), never followed.
  virtual FileInfo LinkStat(const std::string& path);
  // Gives a file exactly the permissions (and, where allowed, the owner) of
  // `like`.
  virtual void CopyPermissions(File& file, const FileInfo& like) = 0;
  // Gives a file the owner and group `like` has. False, with the file as it
  // was, where this process may not (only a privileged one may give a file
  // away); other failures throw.
  virtual bool SetOwner(File& file, const FileInfo& like) = 0;
  // Copies every extended attribute of the file at `from` to `to`: on POSIX
  // systems the access control list is one of them. Throws when any of them
  // cannot be copied.
  virtual void CopyAttributes(const std::string& from, File& to) = 0;
  // The name of the user (or, with `group`, the group) `id`, for messages;
  // its number where it has none, and empty on a system whose FileInfo
  // carries no owners.
  virtual std::string AccountName(uint32_t id, bool group);
  // What CreateNew is given for a file that replaces nothing.
  static constexpr uint32_t kDefaultPermissions = 0666;
  // The file a chain of symbolic links ends at (the path itself if none).
  // A link the system protects is refused, as the system itself refuses to
  // follow it for anyone but its owner: one in a folder that everybody may
  // write and that keeps others' files (the sticky bit, as /tmp), made by
  // neither the folder's owner nor this user. Anybody could have planted it
  // to make this program write a file of their choosing.
  virtual std::string ResolveLinks(const std::string& path) = 0;
  // Whether `path` itself is a symbolic link (dangling or looping ones too).
  virtual bool IsLink(const std::string& path);
  // Whether two paths name the same existing file.
  virtual bool SameFile(const std::string& a, const std::string& b) = 0;
  // Replaces `to` with `from` in one step.
  virtual void Rename(const std::string& from, const std::string& to) = 0;
  // Rename, but only while `to` is still the file `expected` describes, or
  // still absent when `expected` is empty (nothing at all, not even a
  // link); false, with nothing renamed, otherwise. Each system closes the
  // gap between the look and the rename as far as it can (an absent target
  // is kept absent by the rename itself); this default leaves two calls
  // between them.
  virtual bool RenameIfUnchanged(const std::string& from, const std::string& to,
                                 const std::optional<FileStamp>& expected);
  // Tries once, without waiting, to lock the file at `path` for this process
  // alone, creating it (empty, readable by everyone, never through a
  // symbolic link) when it is not there. Returns the open, locked file, or
  // nullptr while another process holds the lock. Destroying the file, or
  // the end of the process however it ends, lets the lock go. The lock is
  // advisory: it keeps out only those who ask for it too. (flock on POSIX;
  // LockFileEx on a file opened to be shared on Windows.) Throws when the
  // name holds anything but an ordinary file (a link, a pipe, a folder) or
  // a file this process may not open.
  virtual std::unique_ptr<File> TryLockFile(const std::string& path) = 0;
  // Best effort; used to clean up after failures.
  virtual void Remove(const std::string& path) noexcept = 0;
  // Flushes the content of every closed file in `paths` to the storage
  // device, those files only: other programs' unwritten data is none of
  // this program's business, and may be gigabytes. Where the system gathers
  // flushes that come together into one, they go together.
  virtual void SyncFiles(const std::vector<std::string>& paths);
  // Makes a rename in `folder` ("" for the current one) survive a crash.
  virtual void SyncFolder(const std::string& folder) = 0;
  // Copies `length` bytes of `from` at `offset` to the current position of
  // `to`, without holding more than a bounded buffer in memory. Fails if
  // `from` ends early.
  virtual void CopyRange(File& from, int64_t offset, File& to, int64_t length);

  // The operating system's file system; stateless, shared by every object.
  static FileSystem& Native();
};

}  // namespace halvarin::io
