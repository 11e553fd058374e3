#pragma once

#include <string>
#include <string_view>

#include <windows.h>

namespace halvarin {

// The program's text is UTF-8; Windows' wide functions take UTF-16. Invalid
// UTF-8 becomes U+FFFD rather than failing: a name shown is never lost.
std::wstring WideText(std::string_view utf8);
std::string Utf8Text(std::wstring_view wide);

// A window's text (a control's caption).
std::wstring WindowText(HWND window);

// The system's own words for an error code (FormatMessageW), without the
// line end and full stop, or the code in hexadecimal when it has none.
std::string SystemReason(DWORD error);

}  // namespace halvarin
