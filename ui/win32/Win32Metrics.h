#pragma once

#include <string>

#include <windows.h>

#include "FormDefinition.h"

namespace halvarin {

// Sizes and fonts at a window's own DPI: the program is aware of each
// monitor's scale, so every window measures with the DPI of the monitor it
// is on, never with one value for the whole screen.

// The DPI of a window (96 without one).
UINT WindowDpi(HWND window);
// `pixels` at 96 DPI, scaled to `dpi`.
int ScalePixels(int pixels, UINT dpi);
// The system's dialog and message font at `dpi`, with the face, size and
// weight of `font` where it names them. The caller deletes it.
HFONT CreateDialogFont(UINT dpi, const FontDef& font = {});
// The resource of a picture named by its resource path in a form
// definition (":/images/entry1.png"); 0 when the program has none.
int ImageResourceId(const std::string& path);
// The icon of that picture at `size` pixels a side, or nullptr. The caller
// destroys it.
HICON LoadPicture(const std::string& path, int size);

}  // namespace halvarin
