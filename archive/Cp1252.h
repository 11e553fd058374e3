#pragma once

#include <string>
#include <string_view>

namespace halvarin {

// Entry names are stored as Windows-1252 bytes. The model never converts
// them; these two functions are for showing a name and for deriving a name
// from a (UTF-8) file system path.

// Every byte maps to one code point, the five bytes that Windows-1252 leaves
// undefined to the C1 controls of the same value, so nothing is ever lost.
std::string Cp1252ToUtf8(std::string_view bytes);

// Characters without a single byte in Windows-1252, and malformed UTF-8,
// become `replacement`.
std::string Utf8ToCp1252(std::string_view utf8, char replacement = '_');

}  // namespace halvarin
