#include "Win32ListView.h"

#include <windowsx.h>

#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <utility>

#include "AppError.h"
#include "Win32FileDrag.h"
#include "Win32FormWindow.h"
#include "Win32Metrics.h"
#include "Win32Text.h"

namespace halvarin {

namespace {

constexpr const char* kSource = "Toolkit";
// Posted by Add to itself: the listing in progress is over by the time it
// arrives.
constexpr UINT kSyncCount = WM_APP + 1;

// Dropped files as the form sees them: a WM_DROPFILES drop carries files
// only, never text.
class DroppedFiles : public DataObject {
 public:
  explicit DroppedFiles(std::vector<std::string> files) : files_(std::move(files)) {}
  bool GetFormat(int16_t format) const override { return format == vbCFFiles && !files_.empty(); }
  std::vector<std::string> Files() const override { return files_; }

 private:
  std::vector<std::string> files_;
};

int16_t ModifierKeys(WPARAM keys) {
  int16_t shift = 0;
  shift |= (keys & MK_SHIFT) != 0 ? vbShiftMask : 0;
  shift |= (keys & MK_CONTROL) != 0 ? vbCtrlMask : 0;
  shift |= ::GetKeyState(VK_MENU) < 0 ? vbAltMask : 0;
  return shift;
}

}  // namespace

Win32ListView::Win32ListView(Win32FormWindow& form, const ControlDef& definition, HWND parent,
                             int id)
    : form_(form), definition_(definition) {
  const ControlSettings& s = definition_.Settings;
  DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS | LVS_OWNERDATA |
                LVS_SHAREIMAGELISTS | LVS_SHOWSELALWAYS | LVS_AUTOARRANGE;
  switch (s.View) {
    case ListViewStyle::Icon:
      style |= LVS_ICON;
      break;
    case ListViewStyle::SmallIcon:
      style |= LVS_SMALLICON;
      break;
    case ListViewStyle::List:
      style |= LVS_LIST;
      break;
    case ListViewStyle::Report:
      style |= LVS_REPORT;
      break;
  }
  style |= s.Arrange == Arrangement::LeftToRight ? LVS_ALIGNTOP : LVS_ALIGNLEFT;
  style |= s.MultiSelect ? 0 : LVS_SINGLESEL;
  style |= s.LabelEdit ? LVS_EDITLABELS : 0;
  hwnd_ = ::CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"", style, 0, 0, 0, 0, parent,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                            ::GetModuleHandleW(nullptr), nullptr);
  if (hwnd_ == nullptr) {
    throw AppError(
        errInvalidArgument, kSource,
        "Cannot make the list " + definition_.Name + ": " + SystemReason(::GetLastError()) + ".");
  }
  ListView_SetExtendedListViewStyle(hwnd_, LVS_EX_DOUBLEBUFFER);
  ::SetWindowSubclass(hwnd_, Subclass, 0, reinterpret_cast<DWORD_PTR>(this));
  ::DragAcceptFiles(hwnd_, s.AcceptDrops ? TRUE : FALSE);
}

Win32ListView::~Win32ListView() {
  if (::IsWindow(hwnd_)) {
    ::RemoveWindowSubclass(hwnd_, Subclass, 0);
  }
  for (HIMAGELIST list : {large_, small_}) {
    if (list != nullptr) {
      ::ImageList_Destroy(list);
    }
  }
}

HIMAGELIST Win32ListView::LoadImages(const std::string& imageList, UINT dpi) const {
  const ControlDef* images = form_.ControlDefinition(imageList);
  if (images == nullptr || images->Kind != ControlKind::ImageList) {
    return nullptr;
  }
  const ControlSettings& s = images->Settings;
  const int width = ScalePixels(s.ImageWidth, dpi);
  const int height = ScalePixels(s.ImageHeight, dpi);
  HIMAGELIST list = ::ImageList_Create(width, height, ILC_COLOR32 | ILC_MASK,
                                       static_cast<int>(s.Images.size()), 0);
  for (const std::string& path : s.Images) {
    HICON icon = LoadPicture(path, std::max(width, height));
    if (icon == nullptr) {
      // A missing picture keeps its index, without an icon: a clear one.
      HDC screen = ::GetDC(nullptr);
      HBITMAP colour = ::CreateCompatibleBitmap(screen, width, height);
      HBITMAP mask = ::CreateBitmap(width, height, 1, 1, nullptr);
      HDC dc = ::CreateCompatibleDC(screen);
      ::SelectObject(dc, mask);
      ::PatBlt(dc, 0, 0, width, height, WHITENESS);
      ::DeleteDC(dc);
      ::ImageList_Add(list, colour, mask);
      ::DeleteObject(colour);
      ::DeleteObject(mask);
      ::ReleaseDC(nullptr, screen);
      continue;
    }
    ::ImageList_AddIcon(list, icon);
    ::DestroyIcon(icon);
  }
  return list;
}

void Win32ListView::ApplyDpi(UINT dpi) {
  const ControlSettings& s = definition_.Settings;
  // The small images get half the side of the large ones.
  HIMAGELIST large = LoadImages(s.Icons, dpi);
  HIMAGELIST small = LoadImages(s.SmallIcons, dpi / 2);
  ListView_SetImageList(hwnd_, large, LVSIL_NORMAL);
  ListView_SetImageList(hwnd_, small, LVSIL_SMALL);
  for (HIMAGELIST old : {large_, small_}) {
    if (old != nullptr) {
      ::ImageList_Destroy(old);
    }
  }
  large_ = large;
  small_ = small;
  images_ = static_cast<int16_t>(large_ != nullptr ? ::ImageList_GetImageCount(large_) : 0);

  if (s.View != ListViewStyle::Icon || large_ == nullptr) {
    return;
  }
  // Cells wide enough for a 12-character name in capitals, so that stored
  // names (which have no spaces to wrap at) show whole; two lines for the
  // longer names of files queued for adding.
  int iconWidth = 0;
  int iconHeight = 0;
  ::ImageList_GetIconSize(large_, &iconWidth, &iconHeight);
  HDC dc = ::GetDC(hwnd_);
  HGDIOBJ old =
      ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(hwnd_, WM_GETFONT, 0, 0)));
  SIZE name{};
  ::GetTextExtentPoint32W(dc, L"NNNNNNNN.NNN", 12, &name);
  TEXTMETRICW metrics{};
  ::GetTextMetricsW(dc, &metrics);
  ::SelectObject(dc, old);
  ::ReleaseDC(hwnd_, dc);
  const int width =
      std::max(ScalePixels(88, dpi),
               static_cast<int>(name.cx) + 2 * static_cast<int>(metrics.tmAveCharWidth));
  const int height = iconHeight + 2 * static_cast<int>(metrics.tmHeight) + ScalePixels(14, dpi);
  ListView_SetIconSpacing(hwnd_, width, height);
}

void Win32ListView::Clear() {
  items_.clear();
  ListView_DeleteAllItems(hwnd_);
  countShown_ = 0;
}

void Win32ListView::Rearrange(const std::function<void()>& change) {
  // Some list views keep a cell for every item even of a virtual list and
  // redraw each item they move while drawing is on: tens of thousands of
  // redraws for the largest archive, and gaps left where items were
  // removed. With drawing off they only move.
  ::SendMessageW(hwnd_, WM_SETREDRAW, FALSE, 0);
  change();
  ListView_Arrange(hwnd_, LVA_DEFAULT);
  ::SendMessageW(hwnd_, WM_SETREDRAW, TRUE, 0);
  ::InvalidateRect(hwnd_, nullptr, TRUE);
}

void Win32ListView::SyncCount() {
  if (countShown_ != items_.size()) {
    Rearrange([this] { ::SendMessageW(hwnd_, LVM_SETITEMCOUNT, items_.size(), LVSICF_NOSCROLL); });
    countShown_ = items_.size();
  }
}

void Win32ListView::Add(std::string_view text, int16_t largeIcon, int16_t smallIcon) {
  for (int16_t icon : {largeIcon, smallIcon}) {
    if (icon < 0 || icon > images_) {
      throw AppError(errSubscriptOutOfRange, kSource,
                     "Image index " + std::to_string(icon) + " is out of range");
    }
  }
  // Stored names are padded with NULs; what follows the first one is not
  // part of the name.
  Item item{WideText(text.substr(0, text.find('\0'))), largeIcon > 0 ? largeIcon - 1 : I_IMAGENONE};
  items_.push_back(std::move(item));
  if (!syncPosted_) {
    syncPosted_ = ::PostMessageW(hwnd_, kSyncCount, 0, 0) != 0;
  }
}

void Win32ListView::Remove(int32_t position) {
  if (position < 1 || position > Count()) {
    throw AppError(errSubscriptOutOfRange, kSource,
                   "List item position " + std::to_string(position) + " is out of range");
  }
  SyncCount();
  items_.erase(items_.begin() + (position - 1));
  --countShown_;
  // The control moves the selection of later items up with them; the later
  // items themselves are asked for afresh.
  Rearrange([&] { ListView_DeleteItem(hwnd_, position - 1); });
}

int32_t Win32ListView::Selected() const {
  const int index = ListView_GetNextItem(hwnd_, -1, LVNI_SELECTED);
  return index < 0 || index >= Count() ? 0 : index + 1;
}

std::string Win32ListView::SelectedText() const {
  const int32_t position = Selected();
  return position == 0 ? std::string() : Utf8Text(items_[position - 1].Text);
}

int Win32ListView::FindItem(const NMLVFINDITEMW& find) const {
  // Typing a name's first letters selects it, as in any list.
  if ((find.lvfi.flags & (LVFI_STRING | LVFI_PARTIAL)) == 0 || find.lvfi.psz == nullptr ||
      items_.empty()) {
    return -1;
  }
  const std::wstring_view wanted = find.lvfi.psz;
  const int count = Count();
  const int start = find.iStart >= 0 && find.iStart < count ? find.iStart : 0;
  for (int n = 0; n < count; ++n) {
    const int i = (start + n) % count;
    const std::wstring& text = items_[static_cast<size_t>(i)].Text;
    if (text.size() >= wanted.size() &&
        std::equal(wanted.begin(), wanted.end(), text.begin(),
                   [](wchar_t a, wchar_t b) { return std::towlower(a) == std::towlower(b); })) {
      return i;
    }
  }
  return -1;
}

LRESULT Win32ListView::Notify(const NMHDR& header) {
  switch (header.code) {
    case LVN_GETDISPINFOW: {
      auto& info = const_cast<NMLVDISPINFOW&>(reinterpret_cast<const NMLVDISPINFOW&>(header));
      const int index = info.item.iItem;
      if (index < 0 || index >= Count()) {
        return 0;
      }
      const Item& item = items_[static_cast<size_t>(index)];
      if ((info.item.mask & LVIF_TEXT) != 0 && info.item.pszText != nullptr &&
          info.item.cchTextMax > 0) {
        info.item.pszText[0] = L'\0';
        std::wcsncat(info.item.pszText, item.Text.c_str(),
                     static_cast<size_t>(info.item.cchTextMax) - 1);
      }
      if ((info.item.mask & LVIF_IMAGE) != 0) {
        info.item.iImage = item.Image;
      }
      return 0;
    }
    case LVN_ODFINDITEMW:
      return FindItem(reinterpret_cast<const NMLVFINDITEMW&>(header));
    case LVN_BEGINDRAG:
      BeginDrag(reinterpret_cast<const NMLISTVIEW&>(header).iItem);
      return 0;
    case LVN_ENDLABELEDITW:
      return FALSE;  // a name edited in place changes nothing
    default:
      return 0;
  }
}

void Win32ListView::DropFiles(HDROP drop) {
  std::vector<std::string> files;
  const UINT count = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    std::wstring path(::DragQueryFileW(drop, i, nullptr, 0) + 1, L'\0');
    path.resize(::DragQueryFileW(drop, i, path.data(), static_cast<UINT>(path.size())));
    files.push_back(Utf8Text(path));
  }
  ::DragFinish(drop);
  // Our own drag dropped back on the list adds nothing.
  if (dragging_ || files.empty()) {
    return;
  }
  form_.FireDragDrop(definition_.Name, DroppedFiles(std::move(files)));
}

void Win32ListView::KeyboardPopup() {
  // On the selected item, or the list's top left corner when there is none;
  // the pop-up opens there too, not wherever the mouse happens to be.
  POINT at{0, 0};
  const int selected = Selected() - 1;
  RECT box{};
  if (selected >= 0) {
    ListView_EnsureVisible(hwnd_, selected, FALSE);
    if (ListView_GetItemRect(hwnd_, selected, &box, LVIR_BOUNDS)) {
      at = POINT{(box.left + box.right) / 2, (box.top + box.bottom) / 2};
    }
  }
  POINT screen = at;
  ::ClientToScreen(hwnd_, &screen);
  form_.SetPopupPosition(screen);
  form_.FireMouseDown(definition_.Name, vbRightButton, 0, form_.Twips(at.x), form_.Twips(at.y));
  form_.SetPopupPosition(std::nullopt);
}

void Win32ListView::BeginDrag(int item) {
  if (item < 0 || item >= Count()) {
    return;
  }
  const std::vector<std::string> files = form_.FireStartDrag(definition_.Name, item + 1);
  // Writing a large entry's copy takes a while, its progress window showing:
  // a button released meanwhile has ended the drag, which must not start
  // now and stick to the pointer until the next click drops it somewhere.
  // The system tells the physical buttons' state; the left one may be the
  // right one, for a left hand.
  const int button = ::GetSystemMetrics(SM_SWAPBUTTON) ? VK_RBUTTON : VK_LBUTTON;
  if (files.empty() || (::GetAsyncKeyState(button) & 0x8000) == 0) {
    return;
  }
  dragging_ = true;
  form_.Dispatch([&] { DragFilesOut(files); });
  // A drop on this very list arrives as a WM_DROPFILES still waiting in the
  // queue: not one to add.
  MSG waiting;
  while (::PeekMessageW(&waiting, hwnd_, WM_DROPFILES, WM_DROPFILES, PM_REMOVE)) {
    ::DragFinish(reinterpret_cast<HDROP>(waiting.wParam));
  }
  dragging_ = false;
}

LRESULT CALLBACK Win32ListView::Subclass(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR /*id*/, DWORD_PTR self) {
  auto* list = reinterpret_cast<Win32ListView*>(self);
  switch (message) {
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN: {
      // The control selects the item under the mouse first (and tracks the
      // button until it is released or a drag starts), so that a pop-up
      // opened by the form acts on the item that was clicked.
      const LRESULT result = ::DefSubclassProc(window, message, wParam, lParam);
      const int16_t button = message == WM_LBUTTONDOWN   ? vbLeftButton
                             : message == WM_RBUTTONDOWN ? vbRightButton
                                                         : vbMiddleButton;
      Win32FormWindow& form = list->form_;
      form.FireMouseDown(list->definition_.Name, button, ModifierKeys(wParam),
                         form.Twips(GET_X_LPARAM(lParam)), form.Twips(GET_Y_LPARAM(lParam)));
      return result;
    }
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYUP:
      // The keyboard's requests for the pop-up, taken here at the key going
      // down: not every system's list passes them on to become a
      // WM_CONTEXTMENU, and F10 would go on to open the menu bar.
      if (message == WM_KEYDOWN || message == WM_SYSKEYDOWN) {
        list->f10Taken_ = wParam == VK_F10 && ::GetKeyState(VK_SHIFT) < 0;
        if (wParam == VK_APPS || list->f10Taken_) {
          list->KeyboardPopup();
          return 0;
        }
      } else if (wParam == VK_APPS || (wParam == VK_F10 && std::exchange(list->f10Taken_, false))) {
        return 0;  // Shift may already be up
      }
      break;
    case WM_CONTEXTMENU:
      // Without a position it comes from the keyboard (or an accessibility
      // tool); from the mouse, the right button went down before and has
      // been told already.
      if (GET_X_LPARAM(lParam) == -1 && GET_Y_LPARAM(lParam) == -1) {
        list->KeyboardPopup();
      }
      return 0;
    case WM_DROPFILES:
      list->DropFiles(reinterpret_cast<HDROP>(wParam));
      return 0;
    case kSyncCount:
      list->syncPosted_ = false;
      list->SyncCount();
      return 0;
    case WM_NCDESTROY:
      ::RemoveWindowSubclass(window, Subclass, 0);
      list->hwnd_ = nullptr;
      break;
    default:
      break;
  }
  return ::DefSubclassProc(window, message, wParam, lParam);
}

}  // namespace halvarin
