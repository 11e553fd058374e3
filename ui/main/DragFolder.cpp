#include "DragFolder.h"

#include <stdlib.h>

#include <cerrno>
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
    // mkdtemp makes the folder with nobody else's access in one step.
    std::string pattern = (temp / "halvarin-drag-XXXXXX").string();
    if (error || ::mkdtemp(pattern.data()) == nullptr) {
      ThrowCannotMake(pattern, error ? error : std::error_code(errno, std::generic_category()));
    }
    root_ = pattern;
  }
  if (!current_.empty()) {
    std::filesystem::remove_all(current_, error);
  }
  current_ = root_ / std::to_string(++drags_);
  std::filesystem::create_directory(current_, error);
  if (error) {
    ThrowCannotMake(current_.string(), error);
  }
  return current_.string();
}

}  // namespace halvarin
