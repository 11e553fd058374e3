#include "Registry.h"

#include <algorithm>
#include <cstring>
#include <system_error>
#include <utility>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace halvarin {

namespace {

// Registry names compare without regard to case, as on Windows.
bool SameName(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    return lower(x) == lower(y);
  });
}

#ifdef _WIN32

class WindowsRegistry : public Registry {
 public:
  long OpenKeyEx(HKey root, const char* subKey, std::uint32_t options, std::uint32_t samDesired,
                 HKey* result) override {
    HKEY opened = nullptr;
    LONG rc = ::RegOpenKeyExA(reinterpret_cast<HKEY>(root), subKey, options, samDesired, &opened);
    if (result) {
      *result = rc == ERROR_SUCCESS ? reinterpret_cast<HKey>(opened) : 0;
    }
    return rc;
  }
  long QueryValueEx(HKey key, const char* valueName, std::uint32_t* type, std::uint8_t* data,
                    std::uint32_t* size) override {
    DWORD t = 0;
    DWORD n = size ? *size : 0;
    LONG rc = ::RegQueryValueExA(reinterpret_cast<HKEY>(key), valueName, nullptr, &t, data,
                                 size ? &n : nullptr);
    if (type) {
      *type = t;
    }
    if (size) {
      *size = n;
    }
    return rc;
  }
  long CloseKey(HKey key) override { return ::RegCloseKey(reinterpret_cast<HKEY>(key)); }
};

using PlatformRegistryType = WindowsRegistry;

#else

using PlatformRegistryType = SysInfoRegistry;

#endif

constexpr std::string_view kMsInfoKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
constexpr std::string_view kPathValue = "PATH";

}  // namespace

Registry& PlatformRegistry() {
  static PlatformRegistryType platform;
  return platform;
}

long CopyRegistryValue(std::uint32_t valueType, const std::vector<std::uint8_t>& value,
                       std::uint32_t* type, std::uint8_t* data, std::uint32_t* size) {
  if (data != nullptr && size == nullptr) {
    return 87;
  }
  if (type) {
    *type = valueType;
  }
  const auto needed = static_cast<std::uint32_t>(value.size());
  if (data != nullptr && *size < needed) {
    *size = needed;
    return RegMoreData;
  }
  if (data != nullptr && !value.empty()) {
    std::memcpy(data, value.data(), value.size());
  }
  if (size) {
    *size = needed;
  }
  return RegSuccess;
}

// --- SysInfoRegistry ---------------------------------------------------------

SysInfoRegistry::SysInfoRegistry() : SysInfoRegistry(WellKnownPrograms(), ProgramFolders()) {}

SysInfoRegistry::SysInfoRegistry(std::vector<std::string> programs,
                                 std::vector<std::filesystem::path> folders)
    : programs_(std::move(programs)), folders_(std::move(folders)) {}

const std::vector<std::string>& SysInfoRegistry::WellKnownPrograms() {
  // Hardware and system overviews first; the desktops' system monitors come
  // last because they show less about the machine itself.
  static const std::vector<std::string> programs = {
      "hardinfo",
      "hardinfo2",
      "kinfocenter",
      "cpu-x",
      "lshw-gtk",
      "i-nex",
      "gnome-system-monitor",
      "mate-system-monitor",
      "ksysguard",
      "plasma-systemmonitor",
  };
  return programs;
}

const std::vector<std::filesystem::path>& SysInfoRegistry::ProgramFolders() {
  // Fixed folders rather than the search path: the program reads no
  // environment, and a tool found through a user's PATH could be anything.
  static const std::vector<std::filesystem::path> folders = {
      "/usr/local/bin", "/usr/bin", "/usr/local/sbin", "/usr/sbin", "/bin", "/sbin"};
  return folders;
}

std::string SysInfoRegistry::FindProgram() const {
  for (const auto& program : programs_) {
    for (const auto& folder : folders_) {
      const std::filesystem::path candidate = folder / program;
      std::error_code ec;
      if (!std::filesystem::is_regular_file(candidate, ec)) {
        continue;
      }
#ifndef _WIN32
      if (::access(candidate.c_str(), X_OK) != 0) {
        continue;
      }
#endif
      return candidate.string();
    }
  }
  return {};
}

long SysInfoRegistry::OpenKeyEx(HKey root, const char* subKey, std::uint32_t options,
                                std::uint32_t /*samDesired*/, HKey* result) {
  // Read-only in the sense that nothing can ever be written: the rights
  // asked for are granted, because there is nothing they could change.
  if (result == nullptr) {
    return 87;
  }
  *result = 0;
  if (options != 0 || subKey == nullptr) {
    return 87;
  }
  if (root != HKeyLocalMachine || !SameName(subKey, kMsInfoKey)) {
    return RegFileNotFound;
  }
  *result = next_++;
  open_.push_back(*result);
  return RegSuccess;
}

long SysInfoRegistry::QueryValueEx(HKey key, const char* valueName, std::uint32_t* type,
                                   std::uint8_t* data, std::uint32_t* size) {
  if (std::find(open_.begin(), open_.end(), key) == open_.end()) {
    return RegInvalidHandle;
  }
  if (valueName == nullptr || !SameName(valueName, kPathValue)) {
    return RegFileNotFound;
  }
  const std::string program = FindProgram();
  if (program.empty()) {
    return RegFileNotFound;
  }
  // Stored as Windows stores text values: with the terminating zero.
  std::vector<std::uint8_t> value(program.begin(), program.end());
  value.push_back(0);
  return CopyRegistryValue(RegTypeSz, value, type, data, size);
}

long SysInfoRegistry::CloseKey(HKey key) {
  auto it = std::find(open_.begin(), open_.end(), key);
  if (it == open_.end()) {
    return RegInvalidHandle;
  }
  open_.erase(it);
  return RegSuccess;
}

}  // namespace halvarin
