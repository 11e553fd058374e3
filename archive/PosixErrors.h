#pragma once

// The errors of the POSIX file access: an errno value as one of the
// program's error numbers, with the system's own words for it.

#include <cerrno>
#include <cstdint>
#include <string>
#include <system_error>

#include "AppError.h"
#include "ErrorMessages.h"

namespace halvarin::io {

inline constexpr const char* kFileSystemSource = "FileSystem";

inline int32_t ErrorNumberFor(int err) {
  switch (err) {
    case ENOENT:
    case ENOTDIR:
      return errFileNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
      return errPermissionDenied;
    default:
      return errPathFileAccess;
  }
}

[[noreturn]] inline void ThrowOsError(int err, const std::string& action, const std::string& path) {
  throw CannotError(ErrorNumberFor(err), kFileSystemSource, action, path,
                    std::generic_category().message(err));
}

}  // namespace halvarin::io
