// The POSIX side of the archive's file access. A Windows build supplies the
// same FileSystem with its own calls in a sibling file; nothing else changes.
// The copy inside the kernel, where there is one, is KernelCopy's.

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <exception>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "FileSystem.h"
#include "KernelCopy.h"
#include "PathNames.h"
#include "PosixErrors.h"

namespace halvarin::io {

namespace {

constexpr const char* kSource = kFileSystemSource;

FileStamp StampOf(const struct stat& st) {
  FileStamp stamp;
  stamp.Device = static_cast<uint64_t>(st.st_dev);
  stamp.Identity = static_cast<uint64_t>(st.st_ino);
  stamp.Size = st.st_size;
  stamp.Modified = int64_t{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec;
  return stamp;
}

class PosixFile final : public File {
 public:
  PosixFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  ~PosixFile() override {
    if (fd_ >= 0) {
      ::close(fd_);
    }
  }

  int Descriptor() const { return fd_; }
  const std::string& Path() const override { return path_; }

  int64_t Size() override {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) {
      ThrowOsError(errno, "read the length of", path_);
    }
    return st.st_size;
  }

  FileStamp Stamp() override {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) {
      ThrowOsError(errno, "examine", path_);
    }
    return StampOf(st);
  }

  std::size_t ReadAt(int64_t offset, void* buffer, std::size_t length) override {
    auto* out = static_cast<char*>(buffer);
    std::size_t done = 0;
    while (done < length) {
      const ssize_t n = ::pread(fd_, out + done, length - done, static_cast<off_t>(offset) + done);
      if (n < 0) {
        if (errno == EINTR) {
          continue;
        }
        ThrowOsError(errno, "read", path_);
      }
      if (n == 0) {
        break;
      }
      done += static_cast<std::size_t>(n);
    }
    return done;
  }

  void Write(const void* buffer, std::size_t length) override {
    const auto* in = static_cast<const char*>(buffer);
    while (length > 0) {
      const ssize_t n = ::write(fd_, in, length);
      if (n < 0) {
        if (errno == EINTR) {
          continue;
        }
        ThrowOsError(errno, "write", path_);
      }
      in += n;
      length -= static_cast<std::size_t>(n);
    }
  }

  void WriteAt(int64_t offset, const void* buffer, std::size_t length) override {
    const auto* in = static_cast<const char*>(buffer);
    while (length > 0) {
      const ssize_t n = ::pwrite(fd_, in, length, static_cast<off_t>(offset));
      if (n < 0) {
        if (errno == EINTR) {
          continue;
        }
        ThrowOsError(errno, "write", path_);
      }
      in += n;
      offset += n;
      length -= static_cast<std::size_t>(n);
    }
  }

  void Sync() override {
    if (::fsync(fd_) != 0) {
      ThrowOsError(errno, "flush to disk", path_);
    }
  }

  void Close() override {
    const int fd = fd_;
    fd_ = -1;
    // Some file systems report a failed write-back only here.
    if (fd >= 0 && ::close(fd) != 0 && errno != EINTR) {
      ThrowOsError(errno, "close", path_);
    }
  }

 private:
  int fd_;
  std::string path_;
};

class PosixFileSystem final : public FileSystem {
 public:
  std::unique_ptr<File> OpenRead(const std::string& path) override {
    // Non-blocking so that a FIFO given by mistake cannot hang the program;
    // it is refused right after.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
      ThrowOsError(errno, "open", path);
    }
    auto file = std::make_unique<PosixFile>(fd, path);
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
      ThrowOsError(errno, "open", path);
    }
    if (S_ISDIR(st.st_mode)) {
      throw FolderError(kSource, path);
    }
    if (!S_ISREG(st.st_mode)) {
      throw NotOrdinaryError(kSource, path);
    }
    return file;  // O_NONBLOCK means nothing for an ordinary file
  }

  std::unique_ptr<File> CreateNew(const std::string& path, uint32_t permissions) override {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY,
                          static_cast<mode_t>(permissions & 0777));
    if (fd < 0) {
      if (errno == EEXIST) {
        return nullptr;
      }
      ThrowOsError(errno, "create", path);
    }
    return std::make_unique<PosixFile>(fd, path);
  }

  FileInfo Stat(const std::string& path) override { return Examine(path, true); }
  FileInfo LinkStat(const std::string& path) override { return Examine(path, false); }

  void CopyPermissions(File& file, const FileInfo& like) override {
    auto& posix = static_cast<PosixFile&>(file);
    const int fd = posix.Descriptor();
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
      ThrowOsError(errno, "examine", file.Path());
    }
    // Only a privileged user can hand a file to someone else; for anybody
    // else the attempt fails harmlessly and the file stays theirs.
    if ((st.st_uid != like.Owner || st.st_gid != like.Group) &&
        ::fchown(fd, like.Owner, like.Group) != 0) {
      (void)::fchown(fd, static_cast<uid_t>(-1), like.Group);
    }
    if (::fchmod(fd, static_cast<mode_t>(like.Permissions)) != 0) {
      ThrowOsError(errno, "set the permissions of", file.Path());
    }
  }

  bool SetOwner(File& file, const FileInfo& like) override {
    const int fd = static_cast<PosixFile&>(file).Descriptor();
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
      ThrowOsError(errno, "examine", file.Path());
    }
    if (st.st_uid == like.Owner && st.st_gid == like.Group) {
      return true;
    }
    if (::fchown(fd, like.Owner, like.Group) == 0) {
      return true;
    }
    if (errno != EPERM) {
      ThrowOsError(errno, "set the owner of", file.Path());
    }
    return false;
  }

  void CopyAttributes(const std::string& from, File& to) override {
    const int fd = static_cast<PosixFile&>(to).Descriptor();
    std::string names;
    for (;;) {
      const ssize_t n = ::listxattr(from.c_str(), nullptr, 0);
      if (n < 0 && (errno == ENOTSUP)) {
        return;  // a file system without them
      }
      if (n < 0) {
        ThrowOsError(errno, "read the extended attributes of", from);
      }
      names.resize(static_cast<std::size_t>(n));
      const ssize_t got = ::listxattr(from.c_str(), names.data(), names.size());
      if (got >= 0) {
        names.resize(static_cast<std::size_t>(got));
        break;
      }
      if (errno != ERANGE) {  // grew in between: ask again
        ThrowOsError(errno, "read the extended attributes of", from);
      }
    }
    std::string value;
    for (std::size_t at = 0; at < names.size();) {
      const std::string name(names.c_str() + at);
      at += name.size() + 1;
      ssize_t n = 0;
      for (;;) {
        n = ::getxattr(from.c_str(), name.c_str(), nullptr, 0);
        if (n >= 0) {
          value.resize(static_cast<std::size_t>(n));
          n = ::getxattr(from.c_str(), name.c_str(), value.data(), value.size());
        }
        if (n >= 0 || errno != ERANGE) {
          break;
        }
      }
      if (n < 0 && errno == ENODATA) {
        continue;  // removed in between
      }
      if (n < 0) {
        ThrowOsError(errno, "read the extended attribute \"" + name + "\" of", from);
      }
      if (::fsetxattr(fd, name.c_str(), value.data(), static_cast<std::size_t>(n), 0) != 0) {
        ThrowOsError(errno, "give the extended attribute \"" + name + "\" to", to.Path());
      }
    }
  }

  std::string AccountName(uint32_t id, bool group) override {
    std::vector<char> buffer(16384);
    if (group) {
      struct group entry {};
      struct group* found = nullptr;
      if (::getgrgid_r(id, &entry, buffer.data(), buffer.size(), &found) == 0 && found) {
        return found->gr_name;
      }
    } else {
      struct passwd entry {};
      struct passwd* found = nullptr;
      if (::getpwuid_r(id, &entry, buffer.data(), buffer.size(), &found) == 0 && found) {
        return found->pw_name;
      }
    }
    return std::to_string(id);
  }

  bool RenameIfUnchanged(const std::string& from, const std::string& to,
                         const std::optional<FileStamp>& expected) override {
    if (!expected) {
      return RenameToNewName(from, to);
    }
    struct stat st {};
    if (::stat(to.c_str(), &st) != 0) {
      if (errno != ENOENT) {
        ThrowOsError(errno, "examine", to);
      }
      return false;
    }
    if (StampOf(st) != *expected) {
      return false;
    }
    // What is left of the race: a program that takes no lock and puts a file
    // of its own at `to` between the stat above and this rename, two system
    // calls back to back, loses that file to ours. The system has no "rename
    // only if the target is still this file"; exchanging the two and checking
    // afterwards would only move the gap, and show the wrong file meanwhile.
    if (::rename(from.c_str(), to.c_str()) != 0) {
      ThrowOsError(errno, "replace", to);
    }
    return true;
  }

  // Nothing may appear at `to` between the look and the rename: the rename
  // itself refuses to replace anything, and so does a link, on file
  // systems that cannot rename so.
  static bool RenameToNewName(const std::string& from, const std::string& to) {
#ifdef RENAME_NOREPLACE
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
      return true;
    }
    if (errno == EEXIST) {
      return false;
    }
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) {
      ThrowOsError(errno, "replace", to);
    }
#endif
    if (::link(from.c_str(), to.c_str()) == 0) {
      ::unlink(from.c_str());
      return true;
    }
    if (errno == EEXIST) {
      return false;
    }
    // Neither (some shared or foreign file systems): the look and the
    // rename, with the gap between them.
    struct stat st {};
    if (::lstat(to.c_str(), &st) == 0) {
      return false;
    }
    if (::rename(from.c_str(), to.c_str()) != 0) {
      ThrowOsError(errno, "replace", to);
    }
    return true;
  }

  std::unique_ptr<File> TryLockFile(const std::string& path) override {
    const int flags = O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW | O_NONBLOCK;
    int fd = ::open(path.c_str(), flags | O_CREAT | O_EXCL, 0444);
    if (fd >= 0) {
      // Beyond the user's mask: whoever else may write the archive must be
      // able to open this to wait for their turn. It never holds anything.
      (void)::fchmod(fd, 0444);
    } else if (errno == EEXIST) {
      fd = ::open(path.c_str(), flags);
      if (fd < 0 && errno == ENOENT) {
        return nullptr;  // its holder has just removed it: try again
      }
    }
    if (fd < 0) {
      ThrowOsError(errno, "open the lock file", path);
    }
    auto file = std::make_unique<PosixFile>(fd, path);
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
      ThrowOsError(errno, "examine", path);
    }
    if (!S_ISREG(st.st_mode)) {
      throw NotOrdinaryError(kSource, path);
    }
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      if (errno == EWOULDBLOCK) {
        return nullptr;
      }
      if (errno != EINTR) {
        ThrowOsError(errno, "lock", path);
      }
    }
    return file;
  }

  std::string ResolveLinks(const std::string& path) override {
    std::string current = path;
    for (int hops = 0; hops < 40; ++hops) {
      struct stat st {};
      if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
        return current;
      }
      RefuseProtectedLink(current, st);
      std::string target(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : PATH_MAX), '\0');
      const ssize_t n = ::readlink(current.c_str(), target.data(), target.size());
      if (n < 0) {
        ThrowOsError(errno, "follow the link", current);
      }
      target.resize(static_cast<std::size_t>(n));
      if (!target.empty() && target.front() != '/') {
        const std::string folder = FolderOf(current);
        if (!folder.empty()) {
          target = (folder == "/" ? folder : folder + "/") + target;
        }
      }
      current = target;
    }
    ThrowOsError(ELOOP, "follow the link", path);
  }

  bool SameFile(const std::string& a, const std::string& b) override {
    struct stat sa {
    }, sb{};
    if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) {
      return false;
    }
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
  }

  void Rename(const std::string& from, const std::string& to) override {
    if (::rename(from.c_str(), to.c_str()) != 0) {
      ThrowOsError(errno, "replace", to);
    }
  }

  void Remove(const std::string& path) noexcept override { ::unlink(path.c_str()); }

  void SyncFiles(const std::vector<std::string>& paths) override {
    // One flush per file, several at a time: the journal gathers flushes
    // that wait together into one commit, so that a thousand small files
    // cost about what one flush of the whole file system would, without
    // waiting for other programs' data too (a flush of the file system
    // took most of a second for a 4-byte file behind another program's
    // gigabytes).
    // A thread costs more than a few flushes that find little to do: a
    // small batch is flushed by fewer.
    constexpr std::size_t kAtOnce = 16, kFilesPerThread = 4;
    std::atomic<std::size_t> next{0};
    std::mutex failures;
    std::size_t failedAt = paths.size();
    std::exception_ptr failure;
    const auto work = [&] {
      for (std::size_t i; (i = next++) < paths.size();) {
        try {
          SyncFile(paths[i]);
        } catch (...) {
          // The first file's trouble, whichever thread meets it first.
          const std::lock_guard<std::mutex> guard(failures);
          if (i < failedAt) {
            failedAt = i;
            failure = std::current_exception();
          }
        }
      }
    };
    std::vector<std::thread> helpers;
    try {
      for (std::size_t k = 1; k < std::min(paths.size() / kFilesPerThread + 1, kAtOnce); ++k) {
        helpers.emplace_back(work);
      }
    } catch (const std::system_error&) {
      // No more threads to be had: fewer do the same work.
    }
    work();
    for (std::thread& helper : helpers) {
      helper.join();
    }
    if (failure) {
      std::rethrow_exception(failure);
    }
  }

  void SyncFolder(const std::string& folder) override {
    const std::string path = folder.empty() ? std::string(".") : folder;
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
      ThrowOsError(errno, "open the folder", path);
    }
    const int rc = ::fsync(fd);
    const int err = errno;
    ::close(fd);
    // Some file systems cannot sync a folder at all; there is nothing to wait for then.
    if (rc != 0 && err != EINVAL && err != ENOTSUP) {
      ThrowOsError(err, "flush to disk the folder", path);
    }
  }

  void CopyRange(File& from, int64_t offset, File& to, int64_t length) override {
    auto* in = dynamic_cast<PosixFile*>(&from);
    auto* out = dynamic_cast<PosixFile*>(&to);
    if (in == nullptr || out == nullptr) {
      FileSystem::CopyRange(from, offset, to, length);
      return;
    }
    KernelCopy(*this, from, in->Descriptor(), offset, to, out->Descriptor(), length);
  }

 private:
  // Through a descriptor of its own, for reading or else for writing: the
  // file was made by this program, but its owner may be allowed only one of
  // the two (a umask of 0477 or 0277). Allowed neither, only a flush of its
  // whole file system reaches it.
  static void SyncFile(const std::string& path) {
    constexpr int kFlags = O_CLOEXEC | O_NOCTTY | O_NOFOLLOW | O_NONBLOCK;
    int fd = ::open(path.c_str(), O_RDONLY | kFlags);
    if (fd < 0 && errno == EACCES) {
      fd = ::open(path.c_str(), O_WRONLY | kFlags);
    }
    bool whole = false;
    if (fd < 0 && errno == EACCES) {
      const std::string folder = FolderOf(path);
      fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
      whole = true;
    }
    if (fd < 0) {
      ThrowOsError(errno, "open", path);
    }
    const int rc = whole ? SyncFileSystem(fd) : ::fsync(fd);
    const int err = errno;
    ::close(fd);
    if (rc != 0) {
      ThrowOsError(err, "flush to disk", path);
    }
  }

  static FileInfo Examine(const std::string& path, bool followLinks) {
    struct stat st {};
    FileInfo info;
    if ((followLinks ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st)) != 0) {
      if (errno == ENOENT) {
        return info;
      }
      ThrowOsError(errno, "examine", path);
    }
    info.Exists = true;
    info.IsLink = S_ISLNK(st.st_mode);
    info.IsFolder = S_ISDIR(st.st_mode);
    info.IsOrdinary = S_ISREG(st.st_mode);
    // The effective user, as for opening. The superuser may write anything
    // on a writable file system, but a file that grants writing to nobody
    // was made read-only on purpose, for root too.
    info.Writable = !info.IsLink && (st.st_mode & 0222) != 0 &&
                    ::faccessat(AT_FDCWD, path.c_str(), W_OK,
                                AT_EACCESS | (followLinks ? 0 : AT_SYMLINK_NOFOLLOW)) == 0;
    info.Permissions = st.st_mode & 07777;
    info.Owner = st.st_uid;
    info.Group = st.st_gid;
    info.Stamp = StampOf(st);
    info.Links = static_cast<uint64_t>(st.st_nlink);
    return info;
  }

  // The rule by which the kernel, where it protects links (Linux's
  // fs.protected_symlinks), refuses to follow a link for anybody but its
  // owner; applied here whether or not the kernel is set to, since this
  // program follows links by reading them. Only the link's owner or the
  // folder's may have made it, and neither can be replaced by another user
  // meanwhile, as the sticky bit keeps others' names.
  void RefuseProtectedLink(const std::string& link, const struct stat& st) {
    const std::string folder = FolderOf(link);
    struct stat in {};
    if (::stat(folder.empty() ? "." : folder.c_str(), &in) != 0) {
      ThrowOsError(errno, "examine the folder of", link);
    }
    constexpr mode_t kShared = S_ISVTX | S_IWOTH;
    if ((in.st_mode & kShared) != kShared || st.st_uid == in.st_uid || st.st_uid == ::geteuid()) {
      return;
    }
    throw AppError(errPermissionDenied, kSource,
                   "Cannot follow the symbolic link " + Quoted(link) + ": it belongs to " +
                       AccountName(st.st_uid, false) +
                       " and lies in a folder that everybody may write, where the system "
                       "follows a link for its owner alone; anybody could have put it there. "
                       "Name the file it points at instead.",
                   link);
  }
};

}  // namespace

FileSystem& FileSystem::Native() {
  static PosixFileSystem native;
  return native;
}

}  // namespace halvarin::io
