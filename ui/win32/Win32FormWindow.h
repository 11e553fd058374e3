#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <windows.h>

#include "FormDefinition.h"
#include "Toolkit.h"

namespace halvarin {

class Win32Toolkit;
class Win32ListView;

// A top-level window built from a FormDefinition with the system's own
// controls: controls at their twip positions converted at the window's DPI,
// in tab order, docked ones kept at their edge; the menu table as a menu bar
// with an accelerator table for its shortcuts; lines drawn on the window's
// face. Events go to a FormEvents object; an exception escaping one of its
// handlers is shown in a message box, never thrown into the system.
class Win32FormWindow {
 public:
  Win32FormWindow(Win32Toolkit& toolkit, const FormDefinition& definition, FormEvents* events);
  ~Win32FormWindow();
  Win32FormWindow(const Win32FormWindow&) = delete;
  Win32FormWindow& operator=(const Win32FormWindow&) = delete;

  // The window owns its events object from now on (for forms that live and
  // die with their window).
  void AdoptEvents(std::unique_ptr<FormEvents> events);

  // nullptr once the window is destroyed.
  HWND Handle() const { return hwnd_; }
  const FormDefinition& Definition() const { return definition_; }
  const std::string& FormName() const { return definition_.Name; }
  UINT Dpi() const { return dpi_; }
  int Px(double twips) const { return TwipsToPixels(twips, dpi_); }
  float Twips(double pixels) const { return PixelsToTwips(pixels, dpi_); }

  // Controls by name ("Line1(0)" for an element of a control array);
  // nullptr when there is none. Lines and image lists have no window.
  HWND Control(const std::string& name) const;
  const ControlDef* ControlDefinition(const std::string& name) const;
  Win32ListView* List(const std::string& name) const;
  // A menu with items (by name), and the command of a menu item; nullptr, 0
  // when there is none.
  HMENU Menu(const std::string& name) const;
  UINT MenuCommand(const std::string& name) const;

  // Where a pop-up menu opens instead of at the mouse: set while a keyboard
  // request for one is handled.
  void SetPopupPosition(std::optional<POINT> at) { popupAt_ = at; }
  std::optional<POINT> PopupPosition() const { return popupAt_; }

  // The message loop's part: shortcut keys, then Tab, Enter and Esc among
  // the controls. True when the message has been handled.
  bool PreTranslate(MSG& message);

  // Makes the window an owned one: it stays above `owner` and is not listed
  // in the task bar.
  void SetOwner(HWND owner);
  // The first showing: the resize rule runs, then the window shows with the
  // focus on the first control in the tab order.
  void ShowFirstTime();
  void Destroy();

  // Event delivery; each catches what the handler throws.
  void FireLoad();
  void FireUnload();
  void FireResize();
  void FireClick(const std::string& name);
  void FireMouseDown(const std::string& control, int16_t button, int16_t shift, float x, float y);
  void FireDragDrop(const std::string& control, const DataObject& data);
  std::vector<std::string> FireStartDrag(const std::string& control, int32_t position);
  // Runs `handler`, showing what it throws in a message box.
  void Dispatch(const std::function<void()>& handler);

 private:
  struct Placed {
    const ControlDef* Def = nullptr;
    HWND Window = nullptr;
    int Id = 0;
  };

  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void Create();
  void BuildControls();
  void BuildMenus();
  void ApplyDpi();
  void PlaceControls();
  void LayOutDocked();
  void SetClientSize();
  void PaintLines(HDC dc) const;
  void Command(int id, int code);
  const Placed* FindPlaced(const std::string& name) const;

  Win32Toolkit& toolkit_;
  FormDefinition definition_;
  FormEvents* events_;
  std::unique_ptr<FormEvents> ownedEvents_;
  HWND hwnd_ = nullptr;
  UINT dpi_ = USER_DEFAULT_SCREEN_DPI;
  bool shown_ = false;
  std::vector<Placed> controls_;
  std::map<std::string, std::unique_ptr<Win32ListView>> lists_;
  std::vector<const ControlDef*> lines_;
  std::vector<HFONT> fonts_;
  std::vector<HBRUSH> brushes_;  // of controls with a background colour, by control
  std::vector<HICON> pictures_;
  HICON bigIcon_ = nullptr;
  HICON smallIcon_ = nullptr;
  std::map<std::string, HMENU> menus_;
  std::map<std::string, UINT> commands_;
  std::map<UINT, std::string> commandNames_;
  HACCEL accelerators_ = nullptr;
  HBRUSH face_ = nullptr;
  int defaultButton_ = 0;
  int cancelButton_ = 0;
  HWND focus_ = nullptr;  // restored when the window is activated again
  std::optional<POINT> popupAt_;
};

}  // namespace halvarin
