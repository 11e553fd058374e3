#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace halvarin {

// Splitting paths of this system. Entry names derived from paths follow a
// rule of their own (both separators everywhere); these are for real paths.

// Whether `c` separates folders in a path of this system: "/" everywhere, and
// "\" too on Windows. Elsewhere "\" is an ordinary file name character.
constexpr bool IsPathSeparator(char c) {
#ifdef _WIN32
  return c == '/' || c == '\\';
#else
  return c == '/';
#endif
}

// Where the last component of `path` starts: just after its last separator,
// 0 when it has none.
constexpr std::size_t NameStart(std::string_view path) {
  for (std::size_t i = path.size(); i > 0; --i) {
    if (IsPathSeparator(path[i - 1])) {
      return i;
    }
  }
  return 0;
}

// The last component of a path ("maps.grp" of "/home/me/maps.grp").
inline std::string LastPathComponent(std::string_view path) {
  return std::string(path.substr(NameStart(path)));
}

// The folder of a path without its final separator ("/" stays "/"); empty
// when the path names no folder.
inline std::string FolderOf(std::string_view path) {
  const std::size_t start = NameStart(path);
  if (start == 0) {
    return std::string();
  }
  return std::string(path.substr(0, start == 1 ? 1 : start - 1));
}

}  // namespace halvarin
