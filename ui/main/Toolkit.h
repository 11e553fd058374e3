#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "AppError.h"
#include "ProgramIdentity.h"

namespace halvarin {

// The user-interface toolkit as the program's own code sees it. Forms (the
// main window, the About box) call only this interface, so that their logic
// runs in tests against a recording double and in the program against the Qt
// implementation (QtToolkit). Windows and controls are addressed by the names
// of their definitions ("frmMain", "ListView1"); all text is UTF-8; all
// positions and sizes are twips. Failures of the toolkit (an unknown window
// or control, an invalid size, a program that cannot be started) throw
// AppError.

// Message box styles: one button set plus at most one icon.
enum MsgBoxStyle : int32_t {
  vbOKOnly = 0,
  vbOKCancel = 1,
  vbAbortRetryIgnore = 2,
  vbYesNoCancel = 3,
  vbYesNo = 4,
  vbRetryCancel = 5,
  vbCritical = 16,
  vbQuestion = 32,
  vbExclamation = 48,
  vbInformation = 64,
  vbDefaultButton2 = 256,
  vbDefaultButton3 = 512,
};

// The button a message box was closed with.
enum MsgBoxResult : int32_t {
  vbOK = 1,
  vbCancel = 2,
  vbAbort = 3,
  vbRetry = 4,
  vbIgnore = 5,
  vbYes = 6,
  vbNo = 7,
};

// Mouse buttons and modifier keys of a mouse event, as bit values.
enum MouseButton : int16_t { vbLeftButton = 1, vbRightButton = 2, vbMiddleButton = 4 };
enum ShiftState : int16_t { vbShiftMask = 1, vbCtrlMask = 2, vbAltMask = 4 };

// Clipboard formats a dropped data object can be asked about.
enum ClipboardFormat : int16_t { vbCFText = 1, vbCFFiles = 15 };

// Data dropped on a control.
class DataObject {
 public:
  virtual ~DataObject() = default;
  // Whether the data offers the format (vbCFText: plain text).
  virtual bool GetFormat(int16_t format) const = 0;
  // The dropped files as full paths, in the order given; empty when none.
  virtual std::vector<std::string> Files() const = 0;
};

// Events the toolkit sends to a form. A form overrides the ones it handles.
class FormEvents {
 public:
  virtual ~FormEvents() = default;
  // The window has been created from its definition, before it first shows.
  virtual void Load() {}
  // A menu item (by mouse, access key, shortcut or pop-up) or a button was
  // chosen; `name` is the menu item's or the button's name.
  virtual void Click(const std::string& /*name*/) {}
  // The client area changed size, or the window was minimised or restored;
  // also sent once before the window first shows.
  virtual void Resize(float /*clientWidth*/, float /*clientHeight*/, bool /*minimized*/) {}
  // The user asks to close the window (title bar, system menu, window
  // manager), before Unload. Setting `Cancel` keeps the window open and no
  // Unload follows. Not sent for Toolkit::Unload, which a form's own code
  // calls when it has already decided.
  virtual void QueryUnload(bool& /*Cancel*/) {}
  // The window is being unloaded (closed from its title bar or by Unload);
  // the window and its controls are destroyed afterwards. Cannot veto.
  virtual void Unload() {}
  // A mouse button went down over a control: button is one MouseButton,
  // shift a combination of ShiftState, x and y in twips within the control.
  // The keyboard's requests for a pop-up menu (the Menu key, Shift+F10) on a
  // list view come as the right button going down on its selected item (on
  // its top left corner when none is selected), and a pop-up menu then
  // opens there rather than at the mouse.
  virtual void MouseDown(const std::string& /*control*/, int16_t /*button*/, int16_t /*shift*/,
                         float /*x*/, float /*y*/) {}
  // Data was dropped on a control.
  virtual void DragDrop(const std::string& /*control*/, const DataObject& /*data*/) {}
  // The user starts dragging the item at `position` (1-based) out of a list
  // view. Returns the files the drag offers (full paths); none, no drag.
  virtual std::vector<std::string> StartDrag(const std::string& /*control*/, int32_t /*position*/) {
    return {};
  }
};

class Toolkit {
 public:
  virtual ~Toolkit() = default;

  // Windows.
  // Creates the window on first use (it then receives Load and Resize) and
  // shows it without waiting; a window already open is brought forward.
  virtual void Show(const std::string& form) = 0;
  // Runs the window's Unload event, then destroys the window. Does nothing
  // for a window that is not loaded (or is being unloaded already).
  virtual void Unload(const std::string& form) = 0;
  // Ends the program at once: every window closes, no further event runs.
  virtual void End() = 0;
  // Modal message box; `buttons` is a MsgBoxStyle combination, an empty
  // title shows the program title. Returns a MsgBoxResult. CR LF in the
  // prompt breaks the line.
  virtual int32_t MsgBox(const std::string& prompt, int32_t buttons = vbOKOnly,
                         const std::string& title = {}) = 0;

  // List items of a list view; positions and icon indices are 1-based.
  virtual void ListClear(const std::string& form, const std::string& control) = 0;
  // Appends an item at the end; icons index the list's image list. Text
  // after a NUL character never shows.
  virtual void ListAdd(const std::string& form, const std::string& control, const std::string& text,
                       int16_t largeIcon, int16_t smallIcon) = 0;
  // Removes the item at `position`; later items move up by one.
  virtual void ListRemove(const std::string& form, const std::string& control,
                          int32_t position) = 0;
  virtual int32_t ListCount(const std::string& form, const std::string& control) const = 0;
  // The selected item's position, 0 when none is selected.
  virtual int32_t SelectedIndex(const std::string& form, const std::string& control) const = 0;
  // The selected item's text, empty when none is selected.
  virtual std::string SelectedText(const std::string& form, const std::string& control) const = 0;

  // Shows a menu of the window (by the menu's name) as a pop-up at the mouse
  // position; a chosen item sends Click as it does from the menu bar.
  virtual void PopupMenu(const std::string& form, const std::string& menu) = 0;

  // Control sizes in twips. A negative size throws AppError.
  virtual float ControlWidth(const std::string& form, const std::string& control) const = 0;
  virtual float ControlHeight(const std::string& form, const std::string& control) const = 0;
  virtual void SetControlWidth(const std::string& form, const std::string& control,
                               float width) = 0;
  virtual void SetControlHeight(const std::string& form, const std::string& control,
                                float height) = 0;

  // The caption of a label or button.
  virtual std::string Caption(const std::string& form, const std::string& control) const = 0;
  virtual void SetCaption(const std::string& form, const std::string& control,
                          const std::string& text) = 0;

  // Starts the program at the full path in a normal, focused window and
  // returns without waiting. Throws AppError when it cannot be started.
  virtual void StartProgram(const std::string& path) = 0;

  // Runs `work`, an operation that may take long, to its end. The operation
  // calls `report` with bytes done and bytes in all, every few megabytes;
  // once it has run for about half a second a modal progress window owned
  // by the main window shows `file` (what is being written), a bar and a
  // Cancel button. `report` returns false once the user has cancelled; the
  // operation is then to stop as failures stop it. Two kinds of report say
  // more:
  // - done == total (0 or more) is the last report, made when the result is
  //   written and about to be put in place, and no other report has it.
  //   Answered true, the operation goes through: from then on Cancel is not
  //   offered and a press that still arrives is ignored, so that the window
  //   never says a cancel was heard for an operation that then completes.
  // - A negative total: the operation waits for another program to finish
  //   writing (the archive's lock). The window says "Waiting for another
  //   program to finish writing FILE" instead of counting bytes, and a
  //   cancel ends the wait at the next report, a few milliseconds later.
  // Whatever `work` throws is thrown here. Nothing else of the program runs
  // meanwhile; `work` may run on another thread and must touch nothing but
  // what it was given.
  using ProgressReport = std::function<bool(int64_t done, int64_t total)>;
  virtual void RunWithProgress(const std::string& file,
                               const std::function<void(const ProgressReport& report)>& work) = 0;

  // Program facts: the folder holding the executable (no trailing separator),
  // and the program identity, which is the same whatever the toolkit.
  virtual std::string AppPath() const = 0;
  virtual std::string AppTitle() const { return std::string(ProgramIdentity::Title); }
  virtual int32_t AppMajor() const { return ProgramIdentity::Major; }
  virtual int32_t AppMinor() const { return ProgramIdentity::Minor; }
  virtual int32_t AppRevision() const { return ProgramIdentity::Revision; }
};

// Runs one of a form's event handlers for a toolkit's window. No exception
// may reach the toolkit's event loop (nor cross the system's frames on its
// way up); the forms show no message of their own for a failed command, so
// the user at least learns what failed.
inline void RunReportingErrors(Toolkit& toolkit, const std::function<void()>& handler) {
  try {
    handler();
  } catch (const AppError& error) {
    toolkit.MsgBox(error.Description(), vbCritical);
  } catch (const std::exception& error) {
    toolkit.MsgBox(error.what(), vbCritical);
  }
}

}  // namespace halvarin
