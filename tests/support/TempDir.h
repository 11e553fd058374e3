#pragma once

// A private folder for one test, removed with everything in it afterwards,
// even where a test took away its own permissions.

#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <stdexcept>
#include <string>

#include "ArchiveBytes.h"

namespace halvarin::testing {

namespace fs = std::filesystem;

class TempDir {
 public:
  // A random name, made only if nobody has it yet (Windows has no mkdtemp).
  TempDir() {
    std::random_device random;
    for (int attempt = 0; path_.empty() && attempt < 100; ++attempt) {
      const fs::path p = fs::temp_directory_path() / ("halvarin-test-" + std::to_string(random()));
      path_ = fs::create_directory(p) ? p : path_;
    }
    if (path_.empty()) {
      throw std::runtime_error("no temporary folder could be made in " +
                               fs::temp_directory_path().string());
    }
    fs::permissions(path_, fs::perms::owner_all);  // as mkdtemp makes it: nobody else's business
  }
  ~TempDir() {
    std::error_code ec;
    for (const auto& e : fs::recursive_directory_iterator(path_, ec)) {
      if (e.is_directory(ec) && !e.is_symlink(ec)) {
        fs::permissions(e.path(), fs::perms::owner_all, fs::perm_options::add, ec);
      }
    }
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const fs::path& Path() const { return path_; }
  // UTF-8 in and out, on every system.
  std::string operator/(const std::string& name) const { return (path_ / Utf8Path(name)).string(); }

  // Every name in the folder, to catch leftover temporary files.
  std::set<std::string> Names() const {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(path_)) {
      names.insert(e.path().filename().string());
    }
    return names;
  }

  // Every file and folder under it with its content, links as their
  // targets: what a command must leave as it was.
  std::map<std::string, std::string> Tree() const {
    std::map<std::string, std::string> tree;
    for (const auto& e : fs::recursive_directory_iterator(path_)) {
      tree[fs::relative(e.path(), path_).generic_string()] =
          e.is_symlink()     ? "-> " + fs::read_symlink(e.path()).string()
          : e.is_directory() ? "<folder>"
                             : ReadAll(e.path().string());
    }
    return tree;
  }

 private:
  fs::path path_;
};

}  // namespace halvarin::testing
