#pragma once

#include <functional>
#include <string>

#include "Registry.h"

namespace halvarin {

class Toolkit;

// The launcher's own texts and registry names.
inline constexpr const char* kSysInfoUnavailable = "System Information Is Unavailable At This Time";
inline constexpr const char* gREGKEYSYSINFOLOC = "SOFTWARE\\Microsoft\\Shared Tools Location";
inline constexpr const char* gREGVALSYSINFOLOC = "MSINFO";
inline constexpr const char* gREGKEYSYSINFO = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
inline constexpr const char* gREGVALSYSINFO = "PATH";

using FileExistsFunction = std::function<bool(const std::string&)>;

// Starts the System Information tool without waiting for it: the path in the
// first registry value, else MSINFO32.EXE in the folder of the second. Every
// failure (nothing registered, no such file, a start that fails, a registry
// error) ends in one message box, OK only, with the program title.
void StartSysInfo(Toolkit& toolkit, Registry& registry, const FileExistsFunction& fileExists);

// Reads one registry value as text. True when the value was read; false when
// the key or the value could not be read, and then KeyVal is empty. Text
// values lose one terminating zero; a number value becomes its decimal digits;
// a value of any other type leaves KeyVal as the caller passed it. A value of
// zero bytes raises AppError (errInvalidArgument): there is no text to trim.
bool GetKeyValue(Registry& registry, HKey KeyRoot, const std::string& KeyName,
                 const std::string& SubKeyRef, std::string& KeyVal);

// Whether an ordinary file of exactly this name exists (not a folder; no
// wildcards are expanded).
bool FileExists(const std::string& path);

// "Version " and the three numbers, e.g. "Version 1.0.0".
std::string VersionLine(int major, int minor, int revision);
// The version line of this program.
std::string VersionLine();

}  // namespace halvarin
