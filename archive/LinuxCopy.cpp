// The kernel's own copy on Linux: copy_file_range, or splice through a pipe
// of ours where the pages of the two files do not line up.

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <string>

#include "KernelCopy.h"
#include "PosixErrors.h"

namespace halvarin::io {

namespace {

constexpr int64_t kPipeCopyFrom = 256 * 1024;
// Measured: 64 KiB is as slow as the kernel's copy, 256 KiB the steadiest,
// 1 MiB at times much slower.
constexpr int kPipeSize = 256 * 1024;
constexpr off_t kPageSize = 4096;

// Copies through a pipe of our own with splice, advancing `off` and
// `length`. Returns false where these files cannot be spliced, after
// writing what the pipe took already the plain way, so that the caller
// goes on from `off`.
bool SpliceRange(File& from, int in, off_t& off, File& to, int out, int64_t& length) {
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) {
    return false;
  }
  struct Pipe {
    int read, write;
    ~Pipe() {
      ::close(read);
      ::close(write);
    }
  } pipe{ends[0], ends[1]};
  // A smaller pipe (a limit on pipe memory) is only slower.
  (void)::fcntl(pipe.write, F_SETPIPE_SZ, kPipeSize);
  const int size = ::fcntl(pipe.write, F_GETPIPE_SZ);
  const int64_t capacity = size > 0 ? size : 65536;
  bool wrote = false;
  while (length > 0) {
    const ssize_t n = ::splice(in, &off, pipe.write, nullptr,
                               static_cast<std::size_t>(std::min(length, capacity)), 0);
    if (n < 0) {
      if (errno == EINTR) {
        continue;
      }
      if (!wrote && (errno == EINVAL || errno == ENOSYS)) {
        return false;
      }
      ThrowOsError(errno, "read", from.Path());
    }
    if (n == 0) {
      throw EndsEarlyError(kFileSystemSource, from.Path(), off);
    }
    for (ssize_t left = n; left > 0;) {
      const ssize_t k =
          ::splice(pipe.read, nullptr, out, nullptr, static_cast<std::size_t>(left), 0);
      if (k < 0) {
        if (errno == EINTR) {
          continue;
        }
        if (!wrote && (errno == EINVAL || errno == ENOSYS)) {
          // The target cannot take spliced data: hand over what the pipe
          // holds the plain way.
          std::string held(static_cast<std::size_t>(left), '\0');
          for (std::size_t got = 0; got < held.size();) {
            const ssize_t r = ::read(pipe.read, held.data() + got, held.size() - got);
            if (r < 0 && errno == EINTR) {
              continue;
            }
            if (r <= 0) {
              ThrowOsError(r < 0 ? errno : EIO, "read", from.Path());
            }
            got += static_cast<std::size_t>(r);
          }
          to.Write(held.data(), held.size());
          length -= n;
          return false;
        }
        ThrowOsError(errno, "write", to.Path());
      }
      wrote = true;
      left -= k;
    }
    length -= n;
  }
  return true;
}

}  // namespace

void KernelCopy(FileSystem& fs, File& from, int in, int64_t offset, File& to, int out,
                int64_t length) {
  auto off = static_cast<off_t>(offset);
  // An entry's data rarely starts at the same offset within a page as its
  // copy does. The kernel's own copy then moves the data through a pipe of
  // 64 KiB and pays for every trip, a third more time for a large entry
  // than a copy whose pages line up; a larger pipe of ours brings that
  // back to the aligned speed. Small copies do not notice.
  if (length >= kPipeCopyFrom) {
    const off_t at = ::lseek(out, 0, SEEK_CUR);
    if (at >= 0 && (at - off) % kPageSize != 0) {
      // Where splicing is refused the kernel's copy would meet the same
      // refusal inside; plain reads and writes always work.
      if (!SpliceRange(from, in, off, to, out, length)) {
        fs.FileSystem::CopyRange(from, off, to, length);
      }
      return;
    }
  }
  // The kernel copies without passing the bytes through this process and
  // may share blocks on file systems that can. It may copy less than asked;
  // the loop goes on from where it stopped.
  while (length > 0) {
    const auto want = static_cast<std::size_t>(std::min<int64_t>(length, 1 << 30));
    const ssize_t n = ::copy_file_range(in, &off, out, nullptr, want, 0);
    if (n < 0) {
      if (errno == EINTR) {
        continue;
      }
      if (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP ||
          errno == EPERM || errno == ETXTBSY) {
        fs.FileSystem::CopyRange(from, off, to, length);
        return;
      }
      // A full disk or a size limit is the new file's trouble, not the
      // source's; anything else could be either, and is told as the
      // source's, the file the user knows.
      if (errno == ENOSPC || errno == EDQUOT || errno == EFBIG) {
        ThrowOsError(errno, "write", to.Path());
      }
      const int err = errno;
      const AppError e = CannotError(ErrorNumberFor(err), kFileSystemSource,
                                     "copy data from " + Quoted(from.Path()) + " to", to.Path(),
                                     std::generic_category().message(err));
      throw AppError(e.Number(), e.Source(), e.Description(), from.Path());
    }
    if (n == 0) {
      throw EndsEarlyError(kFileSystemSource, from.Path(), off);
    }
    length -= n;
  }
}

int SyncFileSystem(int fd) {
  return ::syncfs(fd);
}

}  // namespace halvarin::io
