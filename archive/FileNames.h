#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace halvarin {

// File names for entries going into and out of an archive, as the main
// window's item commands and the command-line program both need them. Paths
// and names are UTF-8, as the toolkit, the file dialogs and the command line
// hand them over.

// A UTF-8 path as the standard library takes it on every platform, and
// back: on Windows the narrow forms would be in the ANSI code page; elsewhere
// the bytes pass as they are.
std::filesystem::path PathFromUtf8(const std::string& utf8);
std::string Utf8FromPath(const std::filesystem::path& path);

// Whether `path` names an ordinary file that can be added to an archive:
// it exists, is a plain file (or a link to one), and is not hidden (a name
// starting with "." here; the hidden or system attribute on Windows).
// Folders, devices, sockets, hidden files and missing paths are not.
bool IsOrdinaryFile(const std::string& path);

// The name offered in the save dialog for an entry: the name up to its first
// NUL, without trailing spaces and dots, with every path separator, control
// character and character that Windows forbids in a name replaced by "_".
// Never "." or "..", never a device name such as "CON", never empty
// ("entry"): whatever an archive holds, the offered name stays inside the
// dialog's folder.
std::string SafeFileName(std::string_view name);

// `name` with the letters a to z made capitals and nothing else changed: the
// form in which entry and file names are compared where case must not
// matter, whatever their encoding.
std::string FoldedCase(std::string_view name);

}  // namespace halvarin
