#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace halvarin {

// A thin registry layer with the three calls the System Information launcher
// needs, in the shape of their Windows counterparts so that the launcher reads
// like the platform code it stands for. On Windows they go to the real
// registry; elsewhere a small read-only registry answers (SysInfoRegistry).
// Whoever reads the registry takes one as a constructor or call parameter,
// the platform's by default, so that tests can hand in a scripted one.

// A key handle. Roots use the same values as on Windows, so a root can be
// handed to the real registry unchanged.
using HKey = std::uintptr_t;

inline constexpr HKey HKeyLocalMachine =
    static_cast<HKey>(static_cast<std::intptr_t>(static_cast<std::int32_t>(0x80000002u)));

// Result codes (Windows error numbers).
inline constexpr long RegSuccess = 0;
inline constexpr long RegFileNotFound = 2;
inline constexpr long RegAccessDenied = 5;
inline constexpr long RegInvalidHandle = 6;
inline constexpr long RegMoreData = 234;

// Access rights: reading values and listing subkeys, nothing that changes
// the key (KEY_READ).
inline constexpr std::uint32_t RegKeyRead = 0x20019;

// Value types.
inline constexpr std::uint32_t RegTypeNone = 0;
inline constexpr std::uint32_t RegTypeSz = 1;
inline constexpr std::uint32_t RegTypeExpandSz = 2;
inline constexpr std::uint32_t RegTypeBinary = 3;
inline constexpr std::uint32_t RegTypeDword = 4;

class Registry {
 public:
  virtual ~Registry() = default;
  virtual long OpenKeyEx(HKey root, const char* subKey, std::uint32_t options,
                         std::uint32_t samDesired, HKey* result) = 0;
  // Same contract as the Windows call: with data null only the size is
  // reported; with a buffer too small the result is RegMoreData and *size
  // becomes the size needed.
  virtual long QueryValueEx(HKey key, const char* valueName, std::uint32_t* type,
                            std::uint8_t* data, std::uint32_t* size) = 0;
  virtual long CloseKey(HKey key) = 0;
};

// The platform's own registry.
Registry& PlatformRegistry();

// The registry of systems without one. It holds one value only:
// HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Shared Tools\MSINFO "PATH", the full
// path of the first system-information program found, trying the programs in
// order and each in the folders in order. Nothing found means no value. The
// search runs at every query, so a program installed while Halvarin runs is
// found on the next try.
class SysInfoRegistry : public Registry {
 public:
  SysInfoRegistry();  // the well-known programs in the usual program folders
  SysInfoRegistry(std::vector<std::string> programs, std::vector<std::filesystem::path> folders);

  static const std::vector<std::string>& WellKnownPrograms();
  static const std::vector<std::filesystem::path>& ProgramFolders();

  // The program that PATH would name now, or empty.
  std::string FindProgram() const;

  long OpenKeyEx(HKey root, const char* subKey, std::uint32_t options, std::uint32_t samDesired,
                 HKey* result) override;
  long QueryValueEx(HKey key, const char* valueName, std::uint32_t* type, std::uint8_t* data,
                    std::uint32_t* size) override;
  long CloseKey(HKey key) override;

 private:
  std::vector<std::string> programs_;
  std::vector<std::filesystem::path> folders_;
  std::vector<HKey> open_;
  HKey next_ = 0x1000;
};

// Copies a value into a caller's buffer following the Windows contract
// (size query, RegMoreData with the size needed). Shared by every registry
// kept in memory.
long CopyRegistryValue(std::uint32_t valueType, const std::vector<std::uint8_t>& value,
                       std::uint32_t* type, std::uint8_t* data, std::uint32_t* size);

}  // namespace halvarin
