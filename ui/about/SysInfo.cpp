#include "SysInfo.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <system_error>

#include "AppError.h"
#include "ProgramIdentity.h"
#include "Toolkit.h"

namespace halvarin {

namespace {

// Read access only: the launcher never writes, and Windows refuses a
// standard user write access to HKEY_LOCAL_MACHINE.
constexpr std::uint32_t kKeyAccess = RegKeyRead;
constexpr std::uint32_t kBufferSize = 1024;

}  // namespace

bool GetKeyValue(Registry& registry, HKey KeyRoot, const std::string& KeyName,
                 const std::string& SubKeyRef, std::string& KeyVal) {
  HKey key = 0;
  if (registry.OpenKeyEx(KeyRoot, KeyName.c_str(), 0, kKeyAccess, &key) != RegSuccess) {
    KeyVal.clear();
    return false;
  }

  std::array<std::uint8_t, kBufferSize> buffer{};
  std::uint32_t size = kBufferSize;
  std::uint32_t type = RegTypeNone;
  const long rc = registry.QueryValueEx(key, SubKeyRef.c_str(), &type, buffer.data(), &size);
  // A registry that claims more than the buffer holds is treated like one
  // that said so: the value does not fit.
  if (rc != RegSuccess || size > kBufferSize) {
    KeyVal.clear();
    registry.CloseKey(key);
    return false;
  }

  if (size == 0) {
    registry.CloseKey(key);
    throw AppError(errInvalidArgument, "GetKeyValue",
                   "The registry value \"" + SubKeyRef + "\" of \"" + KeyName +
                       "\" is empty, so it names no program.");
  }

  // Text values are usually stored with their terminating zero; drop that one
  // zero and nothing else.
  const std::uint32_t kept = buffer[size - 1] == 0 ? size - 1 : size;

  if (type == RegTypeSz) {
    KeyVal.assign(reinterpret_cast<const char*>(buffer.data()), kept);
  } else if (type == RegTypeDword) {
    // Little-endian; a trimmed high zero byte does not change the number.
    std::uint32_t number = 0;
    for (std::uint32_t i = 0; i < kept && i < 4; ++i) {
      number |= static_cast<std::uint32_t>(buffer[i]) << (8 * i);
    }
    KeyVal = std::to_string(number);
  }

  registry.CloseKey(key);
  return true;
}

bool FileExists(const std::string& path) {
  if (path.empty()) {
    return false;
  }
  std::error_code ec;
  return std::filesystem::is_regular_file(std::filesystem::path(path), ec);
}

void StartSysInfo(Toolkit& toolkit, Registry& registry, const FileExistsFunction& fileExists) {
  const std::string title(ProgramIdentity::Title);
  try {
    std::string SysInfoPath;
    // The tool's own path first; only without it the shared-tools folder.
    if (!GetKeyValue(registry, HKeyLocalMachine, gREGKEYSYSINFO, gREGVALSYSINFO, SysInfoPath)) {
      if (!GetKeyValue(registry, HKeyLocalMachine, gREGKEYSYSINFOLOC, gREGVALSYSINFOLOC,
                       SysInfoPath)) {
        toolkit.MsgBox(kSysInfoUnavailable, vbOKOnly, title);
        return;
      }
      // The folder is taken as stored: one ending in a backslash gets a
      // second one, which Windows accepts.
      const std::string candidate = SysInfoPath + "\\MSINFO32.EXE";
      if (!fileExists(candidate)) {
        toolkit.MsgBox(kSysInfoUnavailable, vbOKOnly, title);
        return;
      }
      SysInfoPath = candidate;
    }
    toolkit.StartProgram(SysInfoPath);
  } catch (const std::exception&) {
    // Whatever went wrong, the user learns only that the tool is not there;
    // the About box stays open.
    toolkit.MsgBox(kSysInfoUnavailable, vbOKOnly, title);
  }
}

std::string VersionLine(int major, int minor, int revision) {
  return "Version " + std::to_string(major) + "." + std::to_string(minor) + "." +
         std::to_string(revision);
}

std::string VersionLine() {
  return VersionLine(ProgramIdentity::Major, ProgramIdentity::Minor, ProgramIdentity::Revision);
}

}  // namespace halvarin
