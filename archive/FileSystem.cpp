#include "FileSystem.h"

#include <algorithm>
#include <vector>

#include "AppError.h"
#include "ErrorMessages.h"

namespace halvarin::io {

void FileSystem::CopyRange(File& from, int64_t offset, File& to, int64_t length) {
  // 1 MiB keeps the copy near disk speed while memory stays flat, whatever
  // the size of the entry.
  constexpr int64_t kChunk = 1 << 20;
  std::vector<char> buffer(static_cast<std::size_t>(std::min(length, kChunk)));
  while (length > 0) {
    const auto want = static_cast<std::size_t>(std::min(length, kChunk));
    const std::size_t got = from.ReadAt(offset, buffer.data(), want);
    if (got == 0) {
      throw EndsEarlyError("FileSystem", from.Path(), offset);
    }
    to.Write(buffer.data(), got);
    offset += static_cast<int64_t>(got);
    length -= static_cast<int64_t>(got);
  }
}

std::string FileSystem::AccountName(uint32_t id, bool) {
  return std::to_string(id);
}

bool FileSystem::RenameIfUnchanged(const std::string& from, const std::string& to,
                                   const std::optional<FileStamp>& expected) {
  const FileInfo now = Stat(to);
  if (now.Exists != expected.has_value() || (expected && now.Stamp != *expected)) {
    return false;
  }
  Rename(from, to);
  return true;
}

FileInfo FileSystem::LinkStat(const std::string& path) {
  if (!IsLink(path)) {
    return Stat(path);
  }
  FileInfo link;
  link.Exists = link.IsLink = true;
  return link;
}

bool FileSystem::IsLink(const std::string& path) {
  try {
    return ResolveLinks(path) != path;
  } catch (const AppError&) {
    return true;  // only a chain of links can fail to resolve: a loop, or too long
  }
}

void FileSystem::SyncFiles(const std::vector<std::string>& paths) {
  for (const std::string& path : paths) {
    OpenRead(path)->Sync();
  }
}

}  // namespace halvarin::io
