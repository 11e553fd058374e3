#pragma once

#include <cstdint>

#include "CommonDialogs.h"

namespace halvarin {

// The system's own open and save dialogs (GetOpenFileNameW, GetSaveFileNameW)
// set up from the record and answering in its form. The record's texts are
// UTF-8 and go to the wide calls, so that every name the file system can
// hold reaches the dialog and comes back unchanged; a code page would lose
// every name outside it.
//
// Honoured from the record: the filter pairs and nFilterIndex, written back
// with the filter the user ended on; the initial folder; the title (null or
// empty: the system's "Open" / "Save As"); the default extension; the seeded
// file name; OFN_ALLOWMULTISELECT (open only), OFN_OVERWRITEPROMPT (save
// only), OFN_FILEMUSTEXIST and OFN_PATHMUSTEXIST; the owner window (none
// given: the thread's active window). The current folder is never changed
// and no read-only box is offered, as in the Linux dialogs.
//
// An answer that does not fit nMaxFile, counted in bytes of UTF-8, is
// refused with a message and the dialog is shown again, in the folder of the
// refused choice: a cancel is always the user's. A chosen name that does not
// fit nMaxFileTitle is a failure (0).
class Win32CommonDialogs : public CommonDialogs {
 public:
  int32_t ShowOpenDialog(OPENFILENAMEA& ofn) override;
  int32_t ShowSaveDialog(OPENFILENAMEA& ofn) override;
};

}  // namespace halvarin
