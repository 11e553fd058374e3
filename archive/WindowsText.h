#pragma once

// The program's text is UTF-8; Windows' wide calls take UTF-16. Every part
// of the program that talks to Windows converts here, so that a name means
// the same file to the file layer, the dialogs and the console.

#include <optional>
#include <string>
#include <string_view>

#include <windows.h>

namespace halvarin {

// For text that is shown: what cannot be converted becomes U+FFFD, so that
// nothing shown is lost.
std::wstring WideText(std::string_view utf8);
std::string Utf8Text(std::wstring_view wide);

// For names: none where the text is not valid (invalid UTF-8, a lone
// surrogate), because U+FFFD in its place would name another file.
std::optional<std::wstring> ExactWideText(std::string_view utf8);
std::optional<std::string> ExactUtf8Text(std::wstring_view wide);

// The system's own words for an error code, in the user's language, without
// the line end and full stop; the code in hexadecimal when it has none.
std::string SystemReason(DWORD error);

}  // namespace halvarin
