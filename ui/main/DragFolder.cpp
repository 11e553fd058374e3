#include "DragFolder.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <sys/types.h>
#ifndef _WIN32
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <random>
#include <system_error>

#include "AppError.h"
#include "ErrorMessages.h"
#include "FileNames.h"
#include "FileSystem.h"

namespace halvarin {

namespace {

constexpr const char* kSource = "frmMain";
constexpr const char* kPrefix = "halvarin-drag-";

[[noreturn]] void ThrowCannotMake(const std::string& path, const std::error_code& error) {
  throw AppError(
      errPathFileAccess, kSource,
      "Cannot make the folder " + Quoted(path) + " for dragged entries: " + error.message() + ".",
      path);
}

// The folder, its owner and its mode as lstat sees them; false when there is
// no folder (a link to one does not count).
bool FolderFacts(const std::filesystem::path& path, uint64_t& device, uint64_t& identity,
                 bool& private_) {
#ifdef _WIN32
  std::error_code error;
  device = identity = 0;
  private_ = true;
  return std::filesystem::is_directory(std::filesystem::symlink_status(path, error));
#else
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    return false;
  }
  device = static_cast<uint64_t>(st.st_dev);
  identity = static_cast<uint64_t>(st.st_ino);
  private_ = st.st_uid == ::geteuid() && (st.st_mode & 07777) == 0700;
  return true;
#endif
}

// The session's own runtime folder when it is usable (ours, closed to
// others), else the system's temporary folder.
std::filesystem::path Base(std::error_code& error) {
#ifndef _WIN32
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && runtime[0] == '/') {
    struct stat st;
    if (::lstat(runtime, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
        (st.st_mode & 077) == 0) {
      return runtime;
    }
  }
#endif
  return std::filesystem::temp_directory_path(error);
}

}  // namespace

DragFolder::~DragFolder() {
  Remove();
}

bool DragFolder::StillOurs() const {
  uint64_t device = 0, identity = 0;
  bool closed = false;
  return !root_.empty() && FolderFacts(root_, device, identity, closed) && closed &&
         device == device_ && identity == identity_;
}

void DragFolder::Remove() noexcept {
  if (StillOurs()) {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }
  root_.clear();
}

std::string DragFolder::Next() {
  std::error_code error;
  if (!StillOurs()) {
    // Whatever is at the old path now is somebody else's: left alone.
    root_.clear();
    const std::filesystem::path base = Base(error);
#ifdef _WIN32
    // No mkdtemp: the user's own temporary folder admits nobody else (its
    // access list is the user's), and a folder made there under a new random
    // name inherits that; a name somebody already has is never reused.
    std::filesystem::path pattern = base / kPrefix;
    bool made = false;
    std::random_device random;
    for (int attempt = 0; !error && !made && attempt < 100; ++attempt) {
      pattern = base / (kPrefix + std::to_string(random()));
      made = std::filesystem::create_directory(pattern, error);
    }
#else
    // mkdtemp makes the folder with nobody else's access in one step.
    std::string name = (base / (std::string(kPrefix) + "XXXXXX")).string();
    const bool made = !error && ::mkdtemp(name.data()) != nullptr;
    const std::filesystem::path pattern = name;
#endif
    bool closed = false;
    if (!made || !FolderFacts(pattern, device_, identity_, closed) || !closed) {
      ThrowCannotMake(Utf8FromPath(pattern),
                      error ? error : std::error_code(errno, std::generic_category()));
    }
    root_ = pattern;
  }
  const std::filesystem::path current = root_ / std::to_string(++drags_);
  std::filesystem::create_directory(current, error);
  if (error) {
    ThrowCannotMake(Utf8FromPath(current), error);
  }
  return Utf8FromPath(current);
}

bool DragFolder::IsDragCopy(const std::string& path) {
  return Utf8FromPath(PathFromUtf8(path).parent_path().parent_path().filename())
             .rfind(kPrefix, 0) == 0;
}

bool DragFolder::Holds(const std::string& path) const {
  return !root_.empty() && PathFromUtf8(path).parent_path().parent_path() == root_;
}

void DragFolder::Copy(const std::string& from, const std::string& to, const Report& report) {
  io::FileSystem& fs = io::FileSystem::Native();
  auto in = fs.OpenRead(from);
  auto out = fs.CreateNew(to, 0600);
  if (!out) {
    throw CannotError(errPathFileAccess, kSource, "copy to", to, "it exists");
  }
  try {
    const int64_t total = in->Size();
    constexpr int64_t kPiece = int64_t{4} << 20;
    for (int64_t done = 0; done < total;) {
      const int64_t piece = std::min(kPiece, total - done);
      fs.CopyRange(*in, done, *out, piece);
      done += piece;
      if (done < total && !report(done, total)) {
        throw AppError(errDialogCancelled, kSource, "Cancelled.");
      }
    }
    if (!report(total, total)) {
      throw AppError(errDialogCancelled, kSource, "Cancelled.");
    }
    out->Close();
  } catch (...) {
    out.reset();
    fs.Remove(to);
    throw;
  }
}

}  // namespace halvarin
