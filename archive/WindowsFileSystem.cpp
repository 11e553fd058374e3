// The Windows side of the archive's file access, keeping the promises of the
// POSIX one: paths come in as UTF-8 and go to the wide-character calls, a
// replacement is one rename that survives a crash, and every error names the
// file and the system's reason.

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>
#include <climits>
#include <optional>
#include <string>
#include <vector>

#include "AppError.h"
#include "ErrorMessages.h"
#include "FileSystem.h"
#include "PathNames.h"
#include "WindowsText.h"

namespace halvarin::io {

namespace {

constexpr const char* kSource = "FileSystem";

int32_t ErrorNumberFor(DWORD err) {
  switch (err) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_INVALID_NAME:
    case ERROR_DIRECTORY:
      return errFileNotFound;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
    case ERROR_PRIVILEGE_NOT_HELD:
      return errPermissionDenied;
    default:
      return errPathFileAccess;
  }
}

[[noreturn]] void ThrowOsError(DWORD err, const std::string& action, const std::string& path) {
  throw CannotError(ErrorNumberFor(err), kSource, action, path, SystemReason(err));
}

// The path for the wide-character calls. A name that is not UTF-8, or that
// holds a NUL (the call would see only the part before it, another file),
// names no file.
std::wstring Wide(const std::string& path, const std::string& action) {
  if (path.find('\0') != std::string::npos) {
    ThrowOsError(ERROR_INVALID_NAME, action, path);
  }
  if (path.empty()) {
    return std::wstring();
  }
  if (path.size() > static_cast<std::size_t>(INT_MAX)) {
    ThrowOsError(ERROR_FILENAME_EXCED_RANGE, action, path);
  }
  std::optional<std::wstring> wide = ExactWideText(path);
  if (!wide) {
    ThrowOsError(ERROR_NO_UNICODE_TRANSLATION, action, path);
  }
  return *std::move(wide);
}

class Handle {
 public:
  explicit Handle(HANDLE h) : h_(h) {}
  ~Handle() {
    if (Valid()) {
      ::CloseHandle(h_);
    }
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  bool Valid() const { return h_ != INVALID_HANDLE_VALUE && h_ != nullptr; }
  HANDLE Get() const { return h_; }

 private:
  HANDLE h_;
};

// Opens whatever is at `path` (a folder too, following links) for its
// attributes only: no sharing conflict with anyone who has it open.
HANDLE OpenForAttributes(const std::wstring& path) {
  return ::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

constexpr int64_t kUnixEpochIn100ns = 116444736000000000;

// The volume's serial number and the file's index tell one file from
// another as device and inode do elsewhere.
FileStamp StampOf(const BY_HANDLE_FILE_INFORMATION& info) {
  FileStamp stamp;
  stamp.Device = info.dwVolumeSerialNumber;
  stamp.Identity = (uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
  stamp.Size = static_cast<int64_t>((uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow);
  const auto ticks = static_cast<int64_t>((uint64_t{info.ftLastWriteTime.dwHighDateTime} << 32) |
                                          info.ftLastWriteTime.dwLowDateTime);
  stamp.Modified = (ticks - kUnixEpochIn100ns) * 100;
  return stamp;
}

class WindowsFile final : public File {
 public:
  WindowsFile(HANDLE handle, std::string path) : handle_(handle), path_(std::move(path)) {}
  ~WindowsFile() override {
    if (handle_ != INVALID_HANDLE_VALUE) {
      ::CloseHandle(handle_);
    }
  }

  HANDLE Native() const { return handle_; }
  const std::string& Path() const override { return path_; }

  int64_t Size() override {
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(handle_, &size)) {
      ThrowOsError(::GetLastError(), "read the length of", path_);
    }
    return size.QuadPart;
  }

  FileStamp Stamp() override {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(handle_, &info)) {
      ThrowOsError(::GetLastError(), "examine", path_);
    }
    return StampOf(info);
  }

  std::size_t ReadAt(int64_t offset, void* buffer, std::size_t length) override {
    auto* out = static_cast<char*>(buffer);
    std::size_t done = 0;
    while (done < length) {
      OVERLAPPED at = At(offset + static_cast<int64_t>(done));
      DWORD n = 0;
      if (!::ReadFile(handle_, out + done, Piece(length - done), &n, &at)) {
        const DWORD err = ::GetLastError();
        if (err == ERROR_HANDLE_EOF) {
          break;
        }
        ThrowOsError(err, "read", path_);
      }
      if (n == 0) {
        break;
      }
      done += n;
    }
    return done;
  }

  // Every write says where it goes, so that the position is this object's
  // alone: WriteAt leaves it where it was, as the interface promises.
  void Write(const void* buffer, std::size_t length) override {
    WriteAt(position_, buffer, length);
    position_ += static_cast<int64_t>(length);
  }

  void WriteAt(int64_t offset, const void* buffer, std::size_t length) override {
    const auto* in = static_cast<const char*>(buffer);
    while (length > 0) {
      OVERLAPPED at = At(offset);
      DWORD n = 0;
      if (!::WriteFile(handle_, in, Piece(length), &n, &at)) {
        ThrowOsError(::GetLastError(), "write", path_);
      }
      if (n == 0) {
        ThrowOsError(ERROR_WRITE_FAULT, "write", path_);
      }
      in += n;
      offset += n;
      length -= n;
    }
  }

  void Sync() override {
    if (!::FlushFileBuffers(handle_)) {
      ThrowOsError(::GetLastError(), "flush to disk", path_);
    }
  }

  void Close() override {
    const HANDLE h = handle_;
    handle_ = INVALID_HANDLE_VALUE;
    if (h != INVALID_HANDLE_VALUE && !::CloseHandle(h)) {
      ThrowOsError(::GetLastError(), "close", path_);
    }
  }

 private:
  static OVERLAPPED At(int64_t offset) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(static_cast<uint64_t>(offset) & 0xFFFFFFFFu);
    at.OffsetHigh = static_cast<DWORD>(static_cast<uint64_t>(offset) >> 32);
    return at;
  }
  static DWORD Piece(std::size_t length) {
    return static_cast<DWORD>(std::min<std::size_t>(length, std::size_t{1} << 30));
  }

  HANDLE handle_;
  std::string path_;
  int64_t position_ = 0;
};

// The attributes a replacement takes over from the file it replaces; the
// read-only one never reaches it (such a file is refused first), and the
// rest belong to the file system.
constexpr DWORD kCopiedAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                    FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

class WindowsFileSystem final : public FileSystem {
 public:
  std::unique_ptr<File> OpenRead(const std::string& path) override {
    const std::wstring wide = Wide(path, "open");
    // Others may read, write, rename or replace the archive while it is open
    // here, as on POSIX systems: a change is noticed from its stamp before
    // any copy, and a replaced archive stays readable through this handle.
    const HANDLE h = ::CreateFileW(wide.c_str(), GENERIC_READ,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      const DWORD err = ::GetLastError();
      const DWORD attributes = ::GetFileAttributesW(wide.c_str());
      if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        throw FolderError(kSource, path);
      }
      ThrowOsError(err, "open", path);
    }
    auto file = std::make_unique<WindowsFile>(h, path);
    // A device name (CON, NUL, COM1) or a pipe opens too, and would read
    // forever or block.
    if (::GetFileType(h) != FILE_TYPE_DISK) {
      throw NotOrdinaryError(kSource, path);
    }
    return file;
  }

  std::unique_ptr<File> CreateNew(const std::string& path, uint32_t /*permissions*/) override {
    // Windows files carry no permission bits: a new file gets its folder's
    // inherited permissions, as every file made there does.
    const std::wstring wide = Wide(path, "create");
    const HANDLE h = ::CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                   nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      const DWORD err = ::GetLastError();
      if (err == ERROR_FILE_EXISTS || err == ERROR_ALREADY_EXISTS) {
        return nullptr;
      }
      ThrowOsError(err, "create", path);
    }
    return std::make_unique<WindowsFile>(h, path);
  }

  FileInfo Stat(const std::string& path) override {
    const std::wstring wide = Wide(path, "examine");
    FileInfo info;
    Handle h(OpenForAttributes(wide));
    if (!h.Valid()) {
      const DWORD err = ::GetLastError();
      if (err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND) {
        return info;
      }
      ThrowOsError(err, "examine", path);
    }
    BY_HANDLE_FILE_INFORMATION data{};
    const DWORD type = ::GetFileType(h.Get());
    if (type == FILE_TYPE_DISK && !::GetFileInformationByHandle(h.Get(), &data)) {
      ThrowOsError(::GetLastError(), "examine", path);
    }
    info.Exists = true;
    info.IsFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    info.IsOrdinary = type == FILE_TYPE_DISK && !info.IsFolder;
    info.Permissions = data.dwFileAttributes;
    if (type == FILE_TYPE_DISK) {
      info.Stamp = StampOf(data);
      info.Links = data.nNumberOfLinks;
    }
    if (info.IsOrdinary && !(data.dwFileAttributes & FILE_ATTRIBUTE_READONLY)) {
      // Whether this user may change the content: asking to write opens
      // nothing for writing yet, and a file in use by another program is
      // still writable as far as its permissions go.
      Handle probe(::CreateFileW(wide.c_str(), FILE_WRITE_DATA,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
      info.Writable = probe.Valid() || ::GetLastError() == ERROR_SHARING_VIOLATION;
    }
    return info;
  }

  void CopyPermissions(File& file, const FileInfo& like) override {
    auto& windows = static_cast<WindowsFile&>(file);
    FILE_BASIC_INFO basic{};
    if (!::GetFileInformationByHandleEx(windows.Native(), FileBasicInfo, &basic, sizeof basic)) {
      ThrowOsError(::GetLastError(), "examine", file.Path());
    }
    const DWORD wanted =
        (basic.FileAttributes & ~kCopiedAttributes) | (like.Permissions & kCopiedAttributes);
    if (wanted == basic.FileAttributes) {
      return;
    }
    // Times of zero stay as they are.
    FILE_BASIC_INFO change{};
    change.FileAttributes = wanted == 0 ? FILE_ATTRIBUTE_NORMAL : wanted;
    if (!::SetFileInformationByHandle(windows.Native(), FileBasicInfo, &change, sizeof change)) {
      ThrowOsError(::GetLastError(), "set the attributes of", file.Path());
    }
  }

  // Windows has no owner to hand over: a replacement gets its folder's
  // inherited security, as every file made there does, and nothing a save
  // could do would change who may use it.
  bool SetOwner(File& /*file*/, const FileInfo& /*like*/) override { return true; }

  // FileInfo carries no owner here.
  std::string AccountName(uint32_t /*id*/, bool /*group*/) override { return {}; }

  // The attributes that matter came over with CopyPermissions; an access
  // list set on the old file alone and its alternate data streams are not
  // carried over (the folder's inherited security applies, see SetOwner).
  void CopyAttributes(const std::string& /*from*/, File& /*to*/) override {}

  // A new file: the rename itself refuses to replace one that appeared in
  // the meantime. Otherwise the look and the rename, as everywhere.
  bool RenameIfUnchanged(const std::string& from, const std::string& to,
                         const std::optional<FileStamp>& expected) override {
    if (expected) {
      return FileSystem::RenameIfUnchanged(from, to, expected);
    }
    const std::wstring wideFrom = Wide(from, "replace");
    const std::wstring wideTo = Wide(to, "replace");
    if (::MoveFileExW(wideFrom.c_str(), wideTo.c_str(), MOVEFILE_WRITE_THROUGH)) {
      return true;
    }
    const DWORD err = ::GetLastError();
    if (err == ERROR_ALREADY_EXISTS || err == ERROR_FILE_EXISTS) {
      return false;
    }
    ThrowOsError(err, "replace", to);
  }

  std::unique_ptr<File> TryLockFile(const std::string& path) override {
    const std::wstring wide = Wide(path, "open the lock file");
    // Shared every way, delete included: its holder removes it while still
    // holding it, and whoever waits has it open meanwhile. A link is opened
    // as itself, and refused below, never followed. A new file gets its
    // folder's inherited security, which lets whoever may write the archive
    // there open it too.
    constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    const HANDLE h = ::CreateFileW(wide.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      const DWORD err = ::GetLastError();
      // Removed by its holder but not yet closed: the name is still there,
      // and opening it is refused until it goes. Try again.
      if (err == ERROR_SHARING_VIOLATION || (err == ERROR_ACCESS_DENIED && Listed(wide))) {
        return nullptr;
      }
      ThrowOsError(err, "open the lock file", path);
    }
    auto file = std::make_unique<WindowsFile>(h, path);
    BY_HANDLE_FILE_INFORMATION info{};
    if (::GetFileType(h) != FILE_TYPE_DISK || !::GetFileInformationByHandle(h, &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
      throw NotOrdinaryError(kSource, path);
    }
    OVERLAPPED whole{};
    if (!::LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD,
                      &whole)) {
      const DWORD err = ::GetLastError();
      if (err == ERROR_LOCK_VIOLATION || err == ERROR_IO_PENDING) {
        return nullptr;
      }
      ThrowOsError(err, "lock", path);
    }
    return file;
  }

  std::string ResolveLinks(const std::string& path) override {
    const std::wstring wide = Wide(path, "follow the link");
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
      return path;
    }
    Handle h(OpenForAttributes(wide));
    if (!h.Valid()) {
      const DWORD err = ::GetLastError();
      // A link to nothing: the link itself is what gets replaced.
      if (err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND) {
        return path;
      }
      ThrowOsError(err, "follow the link", path);
    }
    std::wstring target(MAX_PATH, L'\0');
    for (;;) {
      const DWORD n =
          ::GetFinalPathNameByHandleW(h.Get(), target.data(), static_cast<DWORD>(target.size()),
                                      FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
      if (n == 0) {
        ThrowOsError(::GetLastError(), "follow the link", path);
      }
      if (n < target.size()) {
        target.resize(n);
        break;
      }
      target.resize(n + 1);
    }
    // "\\?\C:\..." and "\\?\UNC\server\...": back to the ordinary forms.
    if (target.starts_with(L"\\\\?\\UNC\\")) {
      target = L"\\" + target.substr(7);
    } else if (target.starts_with(L"\\\\?\\")) {
      target = target.substr(4);
    }
    return Utf8Text(target);
  }

  // The attributes of the name itself: a symbolic link or junction shows as
  // a reparse point whether or not anything is at its other end.
  bool IsLink(const std::string& path) override {
    const DWORD attributes = ::GetFileAttributesW(Wide(path, "examine").c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
  }

  bool SameFile(const std::string& a, const std::string& b) override {
    BY_HANDLE_FILE_INFORMATION ia{}, ib{};
    return Identify(a, ia) && Identify(b, ib) &&
           ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
           ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
  }

  void Rename(const std::string& from, const std::string& to) override {
    // Write-through: the call returns once the rename is on the disk, which
    // is what SyncFolder does elsewhere. The replaced file's attributes came
    // over with CopyPermissions.
    const std::wstring wideFrom = Wide(from, "replace");
    const std::wstring wideTo = Wide(to, "replace");
    if (!::MoveFileExW(wideFrom.c_str(), wideTo.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      ThrowOsError(::GetLastError(), "replace", to);
    }
  }

  void Remove(const std::string& path) noexcept override {
    try {
      ::DeleteFileW(Wide(path, "remove").c_str());
    } catch (...) {
    }
  }

  // FlushFileBuffers needs a handle with write access; the default would
  // open each file for reading only.
  void SyncFiles(const std::vector<std::string>& paths) override {
    for (const std::string& path : paths) {
      const std::wstring wide = Wide(path, "open");
      Handle h(::CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
      if (!h.Valid()) {
        ThrowOsError(::GetLastError(), "open", path);
      }
      if (!::FlushFileBuffers(h.Get())) {
        ThrowOsError(::GetLastError(), "flush to disk", path);
      }
    }
  }

  // Renames here are written through already (see Rename); a folder cannot
  // be flushed on its own.
  void SyncFolder(const std::string& /*folder*/) override {}

 private:
  // Whether the folder still lists the name, though it may not be opened.
  static bool Listed(const std::wstring& path) {
    WIN32_FIND_DATAW found{};
    const HANDLE h = ::FindFirstFileW(path.c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) {
      return false;
    }
    ::FindClose(h);
    return true;
  }

  static bool Identify(const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
    if (path.find('\0') != std::string::npos) {
      return false;
    }
    std::wstring wide;
    try {
      wide = Wide(path, "examine");
    } catch (const AppError&) {
      return false;
    }
    Handle h(OpenForAttributes(wide));
    return h.Valid() && ::GetFileType(h.Get()) == FILE_TYPE_DISK &&
           ::GetFileInformationByHandle(h.Get(), &info);
  }
};

}  // namespace

FileSystem& FileSystem::Native() {
  static WindowsFileSystem native;
  return native;
}

}  // namespace halvarin::io
