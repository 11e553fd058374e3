#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include "FormDefinition.h"

namespace halvarin {

class Win32FormWindow;

// The list view control of a form: the system's list view in icon mode with
// the image list of its definition. Its items live here and the control asks
// for what it shows (a virtual list), so that tens of thousands of entries
// are listed without the control storing or arranging each one as it comes:
// it learns the new count once the items of a listing are all added.
// Mouse buttons, dropped files (WM_DROPFILES) and drags out (an OLE drag of
// the files the form offers) go to the form; so do the keyboard's requests
// for a pop-up menu, as a right click on the selected item. Its window text
// is its accessible name (the control shows none).
class Win32ListView {
 public:
  Win32ListView(Win32FormWindow& form, const ControlDef& definition, HWND parent, int id);
  ~Win32ListView();
  Win32ListView(const Win32ListView&) = delete;
  Win32ListView& operator=(const Win32ListView&) = delete;

  HWND Handle() const { return hwnd_; }
  int16_t ImageCount() const { return images_; }

  void Clear();
  // Appends an item; icons are 1-based into the image list, 0 for none.
  void Add(std::string_view text, int16_t largeIcon, int16_t smallIcon);
  void Remove(int32_t position);
  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  // 1-based; 0 when nothing is selected.
  int32_t Selected() const;
  std::string SelectedText() const;

  // Images and spacing for the window's DPI, after its font is set.
  void ApplyDpi(UINT dpi);
  // WM_NOTIFY from the control, handled for the parent.
  LRESULT Notify(const NMHDR& header);

 private:
  struct Item {
    std::wstring Text;
    int Image = I_IMAGENONE;
  };

  static LRESULT CALLBACK Subclass(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                   UINT_PTR id, DWORD_PTR self);
  HIMAGELIST LoadImages(const std::string& imageList, UINT dpi) const;
  // Tells the control how many items there are, once a run of Add is over.
  void SyncCount();
  // Makes a change to the items and puts them in their cells, drawing them
  // once afterwards.
  void Rearrange(const std::function<void()>& change);
  void DropFiles(HDROP drop);
  void BeginDrag(int item);
  // The Menu key or Shift+F10: a right click on the selected item.
  void KeyboardPopup();
  int FindItem(const NMLVFINDITEMW& find) const;

  Win32FormWindow& form_;
  ControlDef definition_;
  HWND hwnd_ = nullptr;
  std::vector<Item> items_;
  HIMAGELIST large_ = nullptr;
  HIMAGELIST small_ = nullptr;
  int16_t images_ = 0;
  size_t countShown_ = 0;  // what the control has been told
  bool syncPosted_ = false;
  bool dragging_ = false;
  bool f10Taken_ = false;  // its key going up is ours too
};

}  // namespace halvarin
