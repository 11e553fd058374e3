#pragma once

#include <cstdint>

#include "CommonDialogs.h"

class QWidget;

namespace halvarin {

// The program's open and save dialogs: Qt's own (non-native) file dialog,
// set up from the record and answering in the platform's form. It is always
// the widget-based dialog so that it behaves the same on every desktop and
// can be driven headless; a native dialog would ignore the checks below.
//
// Honoured from the record: the filter pairs (";"-separated patterns) and
// nFilterIndex, written back with the filter the user ended on; the initial
// folder; the title (null or empty: "Open" / "Save As"); the default
// extension, added to a typed name that has none; the seeded file name (its
// folder wins over the initial folder); OFN_ALLOWMULTISELECT (open only),
// OFN_OVERWRITEPROMPT (save only), OFN_FILEMUSTEXIST and OFN_PATHMUSTEXIST;
// the owner window. An answer that does not fit nMaxFile is refused in the
// dialog with a message, which keeps the dialog open: a cancel is then always
// the user's. A chosen name that does not fit nMaxFileTitle is a failure (0).
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
