#pragma once

#include <string>
#include <vector>

#include <windows.h>

namespace halvarin {

// Files handed to other programs by drag and drop, the way the shell hands
// them over: CF_HDROP, a DROPFILES header followed by the full paths in
// UTF-16, each ended by a NUL and the list by another.

// The files (UTF-8, made absolute, with backslashes) in global memory as
// CF_HDROP carries them; nullptr when out of memory. The receiver frees it.
HGLOBAL MakeHDrop(const std::vector<std::string>& files);

// Runs an OLE drag of the files as a copy, until they are dropped or the drag
// is given up (Esc, or the button released where nothing takes them).
// Returns the effect the target chose (DROPEFFECT_NONE when nothing took
// them). Throws AppError when the drag cannot start. Needs OleInitialize.
DWORD DragFilesOut(const std::vector<std::string>& files);

}  // namespace halvarin
