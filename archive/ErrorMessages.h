#pragma once

// The sentences that more than one part of the archive's file access says
// about a file, each written once. Every one names its file in the
// description and carries it as the error's path.

#include <cstdint>
#include <string>

#include "AppError.h"

namespace halvarin {

// How every message names a file: in double quotes.
std::string Quoted(const std::string& path);

// "1 byte", "2 bytes": a count with its noun, singular only for one.
std::string Counted(int64_t n, const char* one, const char* many);

// Cannot <action> "<path>": <reason>.  `reason` is the system's, without
// its full stop.
AppError CannotError(int32_t number, const char* source, const std::string& action,
                     const std::string& path, const std::string& reason);

// "<path>" is a folder, not a file.
AppError FolderError(const char* source, const std::string& path);

// "<path>" is not an ordinary file.
AppError NotOrdinaryError(const char* source, const std::string& path);

// "<path>" ends after <at> bytes, before the data that should be there ...
AppError EndsEarlyError(const char* source, const std::string& path, int64_t at);

// "<path>" has been changed by another program since it was opened ...
AppError ChangedError(const char* source, const std::string& path);

}  // namespace halvarin
