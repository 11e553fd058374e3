#include "DragFolder.h"

#include <stdlib.h>

#include <cerrno>
#include <random>
#include <system_error>

#include "AppError.h"

namespace halvarin {

namespace {

constexpr const char* kSource = "frmMain";

[[noreturn]] void ThrowCannotMake(const std::string& path, const std::error_code& error) {
  throw AppError(
      errPathFileAccess, kSource,
      "Cannot make the folder \"" + path + "\" for dragged entries: " + error.message() + ".");
}

// The path as the rest of the program takes it: UTF-8 on Windows, where the
// narrow form would be in the ANSI code page; the bytes as they are elsewhere.
std::string Utf8Of(const std::filesystem::path& path) {
#ifdef _WIN32
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
#else
  return path.string();
#endif
}

#ifdef _WIN32
// Windows has no mkdtemp. The user's own temporary folder admits nobody else
// (its access list is the user's), and a folder made there under a new
// random name inherits that; a name somebody already has is never reused.
std::filesystem::path MakePrivateFolder(const std::filesystem::path& temp, std::error_code& error) {
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::filesystem::path folder = temp / ("halvarin-drag-" + std::to_string(random()));
    if (std::filesystem::create_directory(folder, error)) {
      return folder;
    }
  }
  if (!error) {
    error = std::make_error_code(std::errc::file_exists);
  }
  return {};
}
#endif

}  // namespace

DragFolder::~DragFolder() {
  std::error_code ignored;
  if (!root_.empty()) {
    std::filesystem::remove_all(root_, ignored);
  }
}

std::string DragFolder::Next() {
  std::error_code error;
  if (root_.empty()) {
    const std::filesystem::path temp = std::filesystem::temp_directory_path(error);
#ifdef _WIN32
    if (!error) {
      root_ = MakePrivateFolder(temp, error);
    }
    if (error) {
      ThrowCannotMake(Utf8Of(temp / "halvarin-drag-"), error);
    }
#else
    // mkdtemp makes the folder with nobody else's access in one step.
    std::string pattern = (temp / "halvarin-drag-XXXXXX").string();
    if (error || ::mkdtemp(pattern.data()) == nullptr) {
      ThrowCannotMake(pattern, error ? error : std::error_code(errno, std::generic_category()));
    }
    root_ = pattern;
#endif
  }
  if (!current_.empty()) {
    std::filesystem::remove_all(current_, error);
  }
  current_ = root_ / std::to_string(++drags_);
  std::filesystem::create_directory(current_, error);
  if (error) {
    ThrowCannotMake(Utf8Of(current_), error);
  }
  return Utf8Of(current_);
}

}  // namespace halvarin
