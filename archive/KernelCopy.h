#pragma once

// Copying between two open files inside the kernel, where the system has
// calls for it (Linux: LinuxCopy.cpp); elsewhere the data goes through a
// buffer of this process (PortableCopy.cpp). Both keep the promises of
// FileSystem::CopyRange.

#include <cstdint>

#include "FileSystem.h"

namespace halvarin::io {

// `from` and `to` are open on the descriptors `in` and `out`; `to` is
// written at its current position. Falls back on `fs`'s buffered copy
// wherever the kernel refuses these files.
void KernelCopy(FileSystem& fs, File& from, int in, int64_t offset, File& to, int out,
                int64_t length);

// Flushes the whole file system that holds the open folder `fd` (on
// systems that cannot single one out: every file system); 0 or -1 with
// errno, as the system calls.
int SyncFileSystem(int fd);

}  // namespace halvarin::io
