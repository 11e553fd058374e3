#pragma once

// Helpers for the archive tests: a private folder per test, whole-file
// reads and writes, and archives assembled byte by byte, independently of
// the code under test.

#include <stdlib.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdint>
#include <random>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "AppError.h"
#include "FileNames.h"
#include "clsVarnGRP.h"

namespace halvarin::testing {

namespace fs = std::filesystem;

class TempDir {
 public:
  TempDir() {
#ifdef _WIN32
    // No mkdtemp: a random name, made only if nobody has it yet.
    std::random_device random;
    for (int attempt = 0; path_.empty() && attempt < 100; ++attempt) {
      const fs::path candidate = fs::temp_directory_path() / ("grptest" + std::to_string(random()));
      if (fs::create_directory(candidate))
        path_ = candidate;
    }
    if (path_.empty())
      throw std::runtime_error("no temporary folder");
#else
    std::string pattern = (fs::temp_directory_path() / "grptestXXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
      throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
#endif
  }
  ~TempDir() {
    std::error_code ec;
    for (const auto& e : fs::recursive_directory_iterator(path_, ec)) {
      if (e.is_directory(ec) && !e.is_symlink(ec))
        fs::permissions(e.path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const fs::path& Path() const { return path_; }
  // UTF-8 in and out, on every system.
  std::string operator/(const std::string& name) const {
    return (path_ / PathFromUtf8(name)).string();
  }

  // Every name in the folder, to catch leftover temporary files.
  std::set<std::string> Names() const {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(path_))
      names.insert(e.path().filename().string());
    return names;
  }

 private:
  fs::path path_;
};

inline std::string ReadAll(const std::string& path) {
  std::ifstream in(PathFromUtf8(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteAll(const std::string& path, const std::string& bytes) {
  std::ofstream out(PathFromUtf8(path), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Gives a file a modification time of its own: `seconds` after the epoch.
inline void SetModified(const std::string& path, int64_t seconds) {
  const std::chrono::sys_seconds when{std::chrono::seconds(seconds)};
  fs::last_write_time(PathFromUtf8(path), std::chrono::file_clock::from_sys(when));
}

inline std::string Int32(int32_t value) {
  const auto v = static_cast<uint32_t>(value);
  return {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF),
          static_cast<char>((v >> 16) & 0xFF), static_cast<char>((v >> 24) & 0xFF)};
}

struct Item {
  std::string Name;  // exactly 12 bytes, padding included
  std::string Data;
};

inline std::string Padded(std::string name, char pad = ' ') {
  name.resize(12, pad);
  return name;
}

inline std::string ArchiveBytes(const std::vector<Item>& items) {
  std::string bytes = "Quorindavell" + Int32(static_cast<int32_t>(items.size()));
  for (const Item& item : items)
    bytes += item.Name + Int32(static_cast<int32_t>(item.Data.size()));
  for (const Item& item : items)
    bytes += item.Data;
  return bytes;
}

// Distinct, recognisable content for entry `n`.
inline std::string Content(int n, std::size_t size) {
  std::string data(size, '\0');
  for (std::size_t i = 0; i < size; ++i)
    data[i] = static_cast<char>((n * 31 + i * 7) & 0xFF);
  return data;
}

inline std::vector<Item> FiveItems() {
  std::vector<Item> items;
  for (int n = 1; n <= 5; ++n)
    items.push_back({Padded("entry" + std::to_string(n) + ".dat", '\0'), Content(n, 10 * n)});
  return items;
}

inline uint32_t PermissionsOf(const std::string& path) {
  struct stat st {};
  ::stat(path.c_str(), &st);
  return st.st_mode & 07777;
}

// Everything a caller can see of the loaded table.
inline std::vector<std::string> Snapshot(const clsVarnGRP& grp) {
  std::vector<std::string> rows{std::to_string(grp.NumberOfFiles()) + (grp.Changed() ? "*" : "")};
  for (int16_t i = 1; i <= grp.NumberOfFiles(); ++i) {
    rows.push_back(grp.filename(i) + "|" + std::to_string(grp.FileSize(i)) + "|" +
                   std::to_string(grp.FilePosition(i)));
  }
  return rows;
}

inline int32_t ErrorOf(const std::function<void()>& action, std::string* description = nullptr) {
  try {
    action();
  } catch (const AppError& e) {
    if (description != nullptr)
      *description = e.Description();
    return e.Number();
  }
  return 0;
}

}  // namespace halvarin::testing
