#pragma once

#include "Registry.h"

namespace halvarin {

class QtToolkit;

// Qt's application name, version and desktop file name, and the default
// window icon, all from the program identity. Call once after the
// QApplication exists.
void ApplyProgramIdentity();

// Registers the About box with the toolkit under "frmAbout". Nothing is
// created yet: the first Show makes the window (and loads it), Unload
// destroys it, and the next Show makes a fresh one. Its System Info button
// reads `registry`.
void RegisterAboutWindow(QtToolkit& toolkit, Registry& registry = PlatformRegistry());

}  // namespace halvarin
