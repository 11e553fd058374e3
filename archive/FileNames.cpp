#include "FileNames.h"

#include <array>
#include <filesystem>
#include <system_error>

#include "PathNames.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace halvarin {

namespace {

char Upper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Names that Windows takes for a device in any folder, with any extension:
// COM and LPT with a digit, the superscript ones of Windows-1252 included
// (UTF-8 here), and the console's own CONIN$ and CONOUT$.
bool IsDeviceName(std::string_view name) {
  const std::string_view base = name.substr(0, name.find('.'));
  std::string upper;
  for (char c : base) {
    upper.push_back(Upper(c));
  }
  while (!upper.empty() && upper.back() == ' ') {
    upper.pop_back();
  }
  static constexpr std::array<std::string_view, 6> kDevices = {"CON", "PRN",    "AUX",
                                                               "NUL", "CONIN$", "CONOUT$"};
  for (std::string_view device : kDevices) {
    if (upper == device) {
      return true;
    }
  }
  if (!upper.starts_with("COM") && !upper.starts_with("LPT")) {
    return false;
  }
  const std::string_view digit = std::string_view(upper).substr(3);
  return (digit.size() == 1 && digit[0] >= '0' && digit[0] <= '9') || digit == "\xC2\xB9" ||
         digit == "\xC2\xB2" || digit == "\xC2\xB3";
}

}  // namespace

std::filesystem::path PathFromUtf8(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string Utf8FromPath(const std::filesystem::path& path) {
  const std::u8string utf8 = path.u8string();
  return std::string(utf8.begin(), utf8.end());
}

bool IsOrdinaryFile(const std::string& path) {
  if (path.empty()) {
    return false;
  }
  const std::filesystem::path p = PathFromUtf8(path);
  std::error_code error;
  if (!std::filesystem::is_regular_file(p, error)) {
    return false;
  }
#ifdef _WIN32
  const DWORD attributes = GetFileAttributesW(p.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES ||
      (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0) {
    return false;
  }
#else
  const std::string name = LastPathComponent(path);
  if (!name.empty() && name.front() == '.') {
    return false;
  }
#endif
  return true;
}

std::string SafeFileName(std::string_view name) {
  name = name.substr(0, name.find('\0'));
  std::string safe;
  safe.reserve(name.size());
  for (size_t i = 0; i < name.size(); ++i) {
    const auto c = static_cast<unsigned char>(name[i]);
    // C1 controls (U+0080 to U+009F), which undefined Windows-1252 bytes
    // turn into, are two bytes in UTF-8.
    if (c == 0xC2 && i + 1 < name.size()) {
      const auto next = static_cast<unsigned char>(name[i + 1]);
      if (next >= 0x80 && next <= 0x9F) {
        safe.push_back('_');
        ++i;
        continue;
      }
    }
    const bool control = c < 0x20 || c == 0x7F;
    const bool forbidden = c == '/' || c == '\\' || c == ':' || c == '*' || c == '?' || c == '"' ||
                           c == '<' || c == '>' || c == '|';
    safe.push_back(control || forbidden ? '_' : static_cast<char>(c));
  }
  // Windows drops trailing spaces and dots from a name, which would turn
  // ".." or "." into the folder itself.
  while (!safe.empty() && (safe.back() == ' ' || safe.back() == '.')) {
    safe.pop_back();
  }
  if (safe.empty()) {
    return "entry";
  }
  if (IsDeviceName(safe)) {
    safe.insert(safe.begin(), '_');
  }
  return safe;
}

std::string FoldedCase(std::string_view name) {
  std::string folded(name);
  for (char& c : folded) {
    c = Upper(c);
  }
  return folded;
}

}  // namespace halvarin
