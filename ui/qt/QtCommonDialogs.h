#pragma once

#include <cstdint>

#include "CommonDialogs.h"

class QWidget;

namespace halvarin {

// The program's open and save dialogs: the desktop's own file dialog where
// Qt's platform theme offers one (on GNOME or KDE, with the user's bookmarks
// and recent places), Qt's widget dialog elsewhere (and headless), set up
// from the record and answering in the platform's form.
//
// Honoured from the record: the filter pairs (";"-separated patterns) and
// nFilterIndex, written back with the filter the user ended on; the initial
// folder; the title (null or empty: "Open" / "Save As"); the default
// extension, added to a typed name that has none; the seeded file name (its
// folder wins over the initial folder); OFN_ALLOWMULTISELECT (open only),
// OFN_OVERWRITEPROMPT (save only: the question names the file that will be
// written), OFN_FILEMUSTEXIST and OFN_PATHMUSTEXIST; the owner window. An
// answer that does not fit nMaxFile, or that a must-exist flag refuses, is
// refused with a message and the dialog shown again: a cancel is always the
// user's. A chosen name that does not fit nMaxFileTitle is a failure (0).
//
// Needs a QApplication; without one both calls return 0.
class QtCommonDialogs : public CommonDialogs {
 public:
  int32_t ShowOpenDialog(OPENFILENAMEA& ofn) override;
  int32_t ShowSaveDialog(OPENFILENAMEA& ofn) override;
};

// The 32-bit handle of `widget`'s window, for OPENFILENAMEA::hwndOwner (and
// the hWnd of a file dialog object). 0 for nullptr.
int32_t WindowHandle(QWidget* widget);

// The window a dialog or message box without an owner of its own belongs
// to: the active window, or else the program's main window.
QWidget* DefaultDialogOwner();

}  // namespace halvarin
