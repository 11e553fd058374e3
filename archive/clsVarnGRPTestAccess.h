#pragma once

// For tests only: reaches into a clsVarnGRP to put another file system in
// front of it, so that any file operation can be made to fail on purpose.

#include "FileSystem.h"
#include "clsVarnGRP.h"

namespace halvarin {

class clsVarnGRPTestAccess {
 public:
  // `fs` must outlive every use of `archive`.
  static void UseFileSystem(clsVarnGRP& archive, io::FileSystem& fs) { archive.Fs = &fs; }
  static io::FileSystem& FileSystemOf(const clsVarnGRP& archive) { return *archive.Fs; }
};

}  // namespace halvarin
