#pragma once

#include <string>
#include <string_view>

#include <windows.h>

#include "WindowsText.h"

namespace halvarin {

// A window's text (a control's caption).
std::wstring WindowText(HWND window);

}  // namespace halvarin
