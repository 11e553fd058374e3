#pragma once

#include <string>

#include <windows.h>

namespace halvarin {

// The name assistive technology (a screen reader) reads out for a control
// that shows no caption of its own: the list, the status bar, the progress
// bar. It is set as the system's annotation of the control where the system
// offers annotations, and, for a control that does not show its window text
// (all but the status bar, which shows it in its first part), as that text
// too, which accessibility layers without annotations read as its name.
void SetAccessibleName(HWND control, const std::string& name);
// Drops the annotation; while the control still exists.
void ClearAccessibleName(HWND control);

}  // namespace halvarin
