#include "Win32FormWindow.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <exception>
#include <string_view>
#include <utility>

#include "AppError.h"
#include "Win32AccessibleName.h"
#include "Win32ListView.h"
#include "Win32Metrics.h"
#include "Win32Text.h"
#include "Win32Toolkit.h"

namespace halvarin {

namespace {

constexpr wchar_t kWindowClass[] = L"HalvarinForm";
constexpr const char* kSource = "Toolkit";
// Command identifiers: menu items from here in table order, controls from
// kFirstControl; IDOK and IDCANCEL (1, 2) stay free for Enter and Esc.
constexpr int kFirstMenuCommand = 100;
constexpr int kFirstControl = 1000;

std::string ControlKey(const ControlDef& def) {
  return def.Index < 0 ? def.Name : def.Name + "(" + std::to_string(def.Index) + ")";
}

COLORREF ToColorRef(const Colour& colour) {
  return RGB(colour.Red, colour.Green, colour.Blue);
}

// A shortcut in portable text ("Ctrl+N", "Shift+F5", "Del") as an entry of
// an accelerator table.
ACCEL ParseShortcut(const std::string& shortcut, UINT command) {
  ACCEL accel{FVIRTKEY, 0, static_cast<WORD>(command)};
  std::string_view rest = shortcut;
  for (;;) {
    const size_t plus = rest.find('+', 1);
    if (plus == std::string_view::npos) {
      break;
    }
    const std::string_view modifier = rest.substr(0, plus);
    accel.fVirt |= modifier == "Ctrl"    ? FCONTROL
                   : modifier == "Shift" ? FSHIFT
                   : modifier == "Alt"   ? FALT
                                         : 0;
    rest.remove_prefix(plus + 1);
  }
  static constexpr std::array<std::pair<std::string_view, WORD>, 18> kKeys = {{
      {"Del", VK_DELETE},
      {"Ins", VK_INSERT},
      {"Esc", VK_ESCAPE},
      {"Return", VK_RETURN},
      {"Enter", VK_RETURN},
      {"Tab", VK_TAB},
      {"Space", VK_SPACE},
      {"Backspace", VK_BACK},
      {"Home", VK_HOME},
      {"End", VK_END},
      {"PgUp", VK_PRIOR},
      {"PgDown", VK_NEXT},
      {"Left", VK_LEFT},
      {"Right", VK_RIGHT},
      {"Up", VK_UP},
      {"Down", VK_DOWN},
      {"Plus", VK_ADD},
      {"Minus", VK_SUBTRACT},
  }};
  for (const auto& [name, key] : kKeys) {
    if (rest == name) {
      accel.key = key;
    }
  }
  if (rest.size() == 1 &&
      ((rest[0] >= 'A' && rest[0] <= 'Z') || (rest[0] >= '0' && rest[0] <= '9'))) {
    accel.key = static_cast<WORD>(rest[0]);
  } else if (rest.size() >= 2 && rest[0] == 'F') {
    const int n = std::atoi(std::string(rest.substr(1)).c_str());
    accel.key = n >= 1 && n <= 24 ? static_cast<WORD>(VK_F1 + n - 1) : 0;
  }
  if (accel.key == 0) {
    throw AppError(errInvalidArgument, kSource, "Unknown shortcut key: " + shortcut);
  }
  return accel;
}

void RegisterWindowClass(WNDPROC procedure) {
  static const bool registered = [procedure] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    wc.lpfnWndProc = procedure;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kWindowClass;
    return ::RegisterClassExW(&wc) != 0;
  }();
  if (!registered) {
    throw AppError(errInvalidArgument, kSource,
                   "Cannot register the window class: " + SystemReason(::GetLastError()) + ".");
  }
}

}  // namespace

Win32FormWindow::Win32FormWindow(Win32Toolkit& toolkit, const FormDefinition& definition,
                                 FormEvents* events)
    : toolkit_(toolkit), definition_(definition), events_(events) {
  Create();
}

Win32FormWindow::~Win32FormWindow() {
  Destroy();
  lists_.clear();
  for (HFONT font : fonts_) {
    ::DeleteObject(font);
  }
  for (HBRUSH brush : brushes_) {
    if (brush != nullptr) {
      ::DeleteObject(brush);
    }
  }
  for (HICON icon : pictures_) {
    ::DestroyIcon(icon);
  }
  for (HICON icon : {bigIcon_, smallIcon_}) {
    if (icon != nullptr) {
      ::DestroyIcon(icon);
    }
  }
  if (accelerators_ != nullptr) {
    ::DestroyAcceleratorTable(accelerators_);
  }
}

void Win32FormWindow::AdoptEvents(std::unique_ptr<FormEvents> events) {
  events_ = events.get();
  ownedEvents_ = std::move(events);
}

void Win32FormWindow::Create() {
  RegisterWindowClass(WindowProc);
  const bool sizable = definition_.Border == BorderStyle::Sizable;
  const DWORD style = sizable ? WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN
                              : WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
  const DWORD exStyle = WS_EX_CONTROLPARENT | (sizable ? 0 : WS_EX_DLGMODALFRAME);
  ::CreateWindowExW(exStyle, kWindowClass, WideText(definition_.Caption).c_str(), style,
                    CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                    ::GetModuleHandleW(nullptr), this);
  if (hwnd_ == nullptr) {
    throw AppError(
        errInvalidArgument, kSource,
        "Cannot make the window " + definition_.Name + ": " + SystemReason(::GetLastError()) + ".");
  }
  dpi_ = WindowDpi(hwnd_);
  BuildMenus();
  BuildControls();
  ApplyDpi();
  SetClientSize();
}

void Win32FormWindow::BuildMenus() {
  if (definition_.Menus.empty()) {
    return;
  }
  auto hasChildren = [this](const std::string& name) {
    return std::any_of(definition_.Menus.begin(), definition_.Menus.end(),
                       [&name](const MenuDef& m) { return m.Parent == name; });
  };
  HMENU bar = ::CreateMenu();
  std::vector<ACCEL> accelerators;
  UINT command = kFirstMenuCommand;
  for (const MenuDef& def : definition_.Menus) {
    HMENU parent = bar;
    if (!def.Parent.empty()) {
      parent = Menu(def.Parent);
      if (parent == nullptr) {
        ::DestroyMenu(bar);
        throw AppError(errInvalidArgument, kSource,
                       "Menu " + def.Name + " names an unknown parent menu " + def.Parent);
      }
    }
    // The shortcut shows beside the caption, after a tab.
    const std::wstring caption =
        WideText(def.Caption) + (def.Shortcut.empty() ? L"" : L"\t" + WideText(def.Shortcut));
    if (hasChildren(def.Name)) {
      HMENU menu = ::CreatePopupMenu();
      ::AppendMenuW(parent, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(menu),
                    caption.c_str());
      menus_[def.Name] = menu;
    } else if (def.Caption == "-") {
      ::AppendMenuW(parent, MF_SEPARATOR, 0, nullptr);
    } else {
      ++command;
      ::AppendMenuW(parent, MF_STRING, command, caption.c_str());
      commands_[def.Name] = command;
      commandNames_[command] = def.Name;
    }
    if (!def.Shortcut.empty()) {
      accelerators.push_back(ParseShortcut(def.Shortcut, command));
    }
  }
  ::SetMenu(hwnd_, bar);
  if (!accelerators.empty()) {
    accelerators_ =
        ::CreateAcceleratorTableW(accelerators.data(), static_cast<int>(accelerators.size()));
  }
}

void Win32FormWindow::BuildControls() {
  // The controls are made in tab order, which makes it the order in which
  // Tab moves between them.
  std::vector<const ControlDef*> order;
  for (const ControlDef& def : definition_.Controls) {
    order.push_back(&def);
  }
  std::stable_sort(order.begin(), order.end(), [](const ControlDef* a, const ControlDef* b) {
    return static_cast<uint32_t>(a->TabIndex) < static_cast<uint32_t>(b->TabIndex);
  });
  HINSTANCE instance = ::GetModuleHandleW(nullptr);
  int id = kFirstControl;
  for (const ControlDef* def : order) {
    const ControlSettings& s = def->Settings;
    ++id;
    HMENU menuId = reinterpret_cast<HMENU>(static_cast<INT_PTR>(id));
    HWND control = nullptr;
    switch (def->Kind) {
      case ControlKind::ImageList:
        continue;  // invisible: its pictures live on in the list views that use them
      case ControlKind::Line:
        lines_.push_back(def);  // drawn on the window's face
        continue;
      case ControlKind::ListView: {
        auto list = std::make_unique<Win32ListView>(*this, *def, hwnd_, id);
        control = list->Handle();
        lists_[ControlKey(*def)] = std::move(list);
        break;
      }
      case ControlKind::StatusBar: {
        // Placed by the window (docked), not by the control itself, so that
        // it keeps the height its definition gives it.
        const DWORD grip = definition_.Border == BorderStyle::Sizable ? SBARS_SIZEGRIP : 0;
        control = ::CreateWindowExW(
            0, STATUSCLASSNAMEW, L"",
            WS_CHILD | WS_VISIBLE | CCS_NORESIZE | CCS_NOPARENTALIGN | CCS_NODIVIDER | grip, 0, 0,
            0, 0, hwnd_, menuId, instance, nullptr);
        for (size_t i = 0; i < s.Panels.size(); ++i) {
          ::SendMessageW(control, SB_SETTEXTW, i,
                         reinterpret_cast<LPARAM>(WideText(s.Panels[i].Text).c_str()));
        }
        break;
      }
      case ControlKind::CommandButton: {
        const DWORD kind = s.Default ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
        control = ::CreateWindowExW(0, L"BUTTON", WideText(s.Caption).c_str(),
                                    WS_CHILD | WS_VISIBLE | WS_TABSTOP | kind, 0, 0, 0, 0, hwnd_,
                                    menuId, instance, nullptr);
        commandNames_[static_cast<UINT>(id)] = def->Name;
        defaultButton_ = s.Default ? id : defaultButton_;
        cancelButton_ = s.Cancel ? id : cancelButton_;
        break;
      }
      case ControlKind::Label: {
        // Texts show as they are: "&" marks no access key in a label.
        DWORD align = s.TextAlign == Alignment::Center  ? SS_CENTER
                      : s.TextAlign == Alignment::Right ? SS_RIGHT
                      : s.WordWrap                      ? SS_LEFT
                                                        : SS_LEFTNOWORDWRAP;
        control = ::CreateWindowExW(0, L"STATIC", WideText(s.Caption).c_str(),
                                    WS_CHILD | WS_VISIBLE | SS_NOPREFIX | align, 0, 0, 0, 0, hwnd_,
                                    menuId, instance, nullptr);
        break;
      }
      case ControlKind::PictureBox: {
        const DWORD frame = s.Border == FrameStyle::Sunken ? WS_EX_CLIENTEDGE : 0;
        control = ::CreateWindowExW(frame, L"STATIC", L"",
                                    WS_CHILD | WS_VISIBLE | SS_ICON | SS_CENTERIMAGE, 0, 0, 0, 0,
                                    hwnd_, menuId, instance, nullptr);
        break;
      }
    }
    if (control == nullptr) {
      throw AppError(
          errInvalidArgument, kSource,
          "Cannot make the control " + def->Name + ": " + SystemReason(::GetLastError()) + ".");
    }
    if (!s.AccessibleName.empty()) {
      SetAccessibleName(control, s.AccessibleName);
    }
    controls_.push_back(Placed{def, control, id});
    brushes_.push_back(s.BackColor ? ::CreateSolidBrush(ToColorRef(*s.BackColor)) : nullptr);
  }
}

void Win32FormWindow::ApplyDpi() {
  for (HFONT font : fonts_) {
    ::DeleteObject(font);
  }
  fonts_.assign(1, CreateDialogFont(dpi_));
  for (const Placed& placed : controls_) {
    const FontDef& font = placed.Def->Settings.Font;
    HFONT chosen = fonts_.front();
    if (!font.Name.empty() || font.Size > 0 || font.Bold) {
      chosen = CreateDialogFont(dpi_, font);
      fonts_.push_back(chosen);
    }
    ::SendMessageW(placed.Window, WM_SETFONT, reinterpret_cast<WPARAM>(chosen), FALSE);
  }

  HICON big = LoadPicture(definition_.Icon, ::GetSystemMetricsForDpi(SM_CXICON, dpi_));
  HICON small = LoadPicture(definition_.Icon, ::GetSystemMetricsForDpi(SM_CXSMICON, dpi_));
  ::SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
  ::SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
  for (HICON old : {bigIcon_, smallIcon_}) {
    if (old != nullptr) {
      ::DestroyIcon(old);
    }
  }
  bigIcon_ = big;
  smallIcon_ = small;

  for (HICON icon : pictures_) {
    ::DestroyIcon(icon);
  }
  pictures_.clear();
  for (const Placed& placed : controls_) {
    const ControlSettings& s = placed.Def->Settings;
    if (placed.Def->Kind == ControlKind::PictureBox) {
      // The program's pictures are 32 pixels a side at 96 DPI.
      HICON picture = LoadPicture(s.Picture, ScalePixels(32, dpi_));
      if (picture != nullptr) {
        pictures_.push_back(picture);
      }
      ::SendMessageW(placed.Window, STM_SETICON, reinterpret_cast<WPARAM>(picture), 0);
    } else if (placed.Def->Kind == ControlKind::StatusBar && !s.Panels.empty()) {
      std::vector<int> edges;
      int edge = 0;
      for (const StatusPanel& panel : s.Panels) {
        edges.push_back(edge += Px(panel.Width));
      }
      ::SendMessageW(placed.Window, SB_SETPARTS, edges.size(),
                     reinterpret_cast<LPARAM>(edges.data()));
    }
  }
  for (auto& [name, list] : lists_) {
    list->ApplyDpi(dpi_);
  }
  PlaceControls();
}

void Win32FormWindow::PlaceControls() {
  for (const Placed& placed : controls_) {
    const ControlDef& def = *placed.Def;
    int width = Px(def.Width);
    int height = Px(def.Height);
    if (def.Kind == ControlKind::PictureBox && def.Settings.AutoSize &&
        ::SendMessageW(placed.Window, STM_GETICON, 0, 0) != 0) {
      // The box takes the picture's size and its frame.
      const int frame = def.Settings.Border == FrameStyle::Sunken
                            ? 2 * ::GetSystemMetricsForDpi(SM_CXEDGE, dpi_)
                            : 0;
      width = height = ScalePixels(32, dpi_) + frame;
    }
    ::SetWindowPos(placed.Window, nullptr, Px(def.Left), Px(def.Top), width, height,
                   SWP_NOZORDER | SWP_NOACTIVATE);
  }
  LayOutDocked();
}

void Win32FormWindow::LayOutDocked() {
  RECT client{};
  ::GetClientRect(hwnd_, &client);
  for (const Placed& placed : controls_) {
    const Dock dock = placed.Def->Settings.Align;
    if (dock == Dock::None) {
      continue;
    }
    RECT box{};
    ::GetWindowRect(placed.Window, &box);
    const int height = box.bottom - box.top;
    const int top = dock == Dock::Bottom ? client.bottom - height : 0;
    ::SetWindowPos(placed.Window, nullptr, 0, top, client.right, height,
                   SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

void Win32FormWindow::SetClientSize() {
  const LONG style = ::GetWindowLongW(hwnd_, GWL_STYLE);
  const LONG exStyle = ::GetWindowLongW(hwnd_, GWL_EXSTYLE);
  const int width = Px(definition_.ClientWidth);
  const int height = Px(definition_.ClientHeight);
  RECT frame{0, 0, width, height};
  ::AdjustWindowRectExForDpi(&frame, static_cast<DWORD>(style), ::GetMenu(hwnd_) != nullptr,
                             static_cast<DWORD>(exStyle), dpi_);
  UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
  int left = 0;
  int top = 0;
  if (definition_.ClientLeft && definition_.ClientTop) {
    left = Px(*definition_.ClientLeft) + frame.left;
    top = Px(*definition_.ClientTop) + frame.top;
  } else {
    flags |= SWP_NOMOVE;
  }
  ::SetWindowPos(hwnd_, nullptr, left, top, frame.right - frame.left, frame.bottom - frame.top,
                 flags);
  // A menu bar too wide for the window takes two lines; the client area
  // keeps its height all the same.
  RECT client{};
  ::GetClientRect(hwnd_, &client);
  if (client.bottom != height) {
    RECT outer{};
    ::GetWindowRect(hwnd_, &outer);
    ::SetWindowPos(hwnd_, nullptr, 0, 0, outer.right - outer.left,
                   outer.bottom - outer.top + height - client.bottom,
                   SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
  }
}

const Win32FormWindow::Placed* Win32FormWindow::FindPlaced(const std::string& name) const {
  for (const Placed& placed : controls_) {
    if (ControlKey(*placed.Def) == name) {
      return &placed;
    }
  }
  return nullptr;
}

HWND Win32FormWindow::Control(const std::string& name) const {
  const Placed* placed = FindPlaced(name);
  return placed != nullptr ? placed->Window : nullptr;
}

const ControlDef* Win32FormWindow::ControlDefinition(const std::string& name) const {
  for (const ControlDef& def : definition_.Controls) {
    if (ControlKey(def) == name) {
      return &def;
    }
  }
  return nullptr;
}

Win32ListView* Win32FormWindow::List(const std::string& name) const {
  auto it = lists_.find(name);
  return it == lists_.end() ? nullptr : it->second.get();
}

HMENU Win32FormWindow::Menu(const std::string& name) const {
  auto it = menus_.find(name);
  return it == menus_.end() ? nullptr : it->second;
}

UINT Win32FormWindow::MenuCommand(const std::string& name) const {
  auto it = commands_.find(name);
  return it == commands_.end() ? 0 : it->second;
}

bool Win32FormWindow::PreTranslate(MSG& message) {
  if (hwnd_ == nullptr) {
    return false;
  }
  if (accelerators_ != nullptr && ::TranslateAcceleratorW(hwnd_, accelerators_, &message)) {
    return true;
  }
  return ::IsDialogMessageW(hwnd_, &message) != 0;
}

void Win32FormWindow::SetOwner(HWND owner) {
  ::SetWindowLongPtrW(hwnd_, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner));
}

void Win32FormWindow::ShowFirstTime() {
  shown_ = true;
  LayOutDocked();
  FireResize();
  if (hwnd_ == nullptr) {
    return;  // unloaded by its own resize
  }
  ::ShowWindow(hwnd_, SW_SHOW);
  ::SetForegroundWindow(hwnd_);
  // The first control in the tab order has the focus when the window opens.
  for (const Placed& placed : controls_) {
    if ((::GetWindowLongW(placed.Window, GWL_STYLE) & WS_TABSTOP) != 0) {
      focus_ = placed.Window;
      ::SetFocus(focus_);
      break;
    }
  }
  ::UpdateWindow(hwnd_);
}

void Win32FormWindow::Destroy() {
  if (hwnd_ != nullptr) {
    ::DestroyWindow(hwnd_);
  }
}

void Win32FormWindow::Dispatch(const std::function<void()>& handler) {
  if (events_ == nullptr) {
    return;
  }
  RunReportingErrors(toolkit_, handler);
}

void Win32FormWindow::FireLoad() {
  Dispatch([this] { events_->Load(); });
}

void Win32FormWindow::FireUnload() {
  Dispatch([this] { events_->Unload(); });
}

void Win32FormWindow::FireResize() {
  if (!shown_ || hwnd_ == nullptr) {
    return;
  }
  RECT client{};
  ::GetClientRect(hwnd_, &client);
  const float width = Twips(client.right);
  const float height = Twips(client.bottom);
  const bool minimized = ::IsIconic(hwnd_) != 0;
  Dispatch([&] { events_->Resize(width, height, minimized); });
}

void Win32FormWindow::FireClick(const std::string& name) {
  Dispatch([&] { events_->Click(name); });
}

void Win32FormWindow::FireMouseDown(const std::string& control, int16_t button, int16_t shift,
                                    float x, float y) {
  Dispatch([&] { events_->MouseDown(control, button, shift, x, y); });
}

void Win32FormWindow::FireDragDrop(const std::string& control, const DataObject& data) {
  Dispatch([&] { events_->DragDrop(control, data); });
}

std::vector<std::string> Win32FormWindow::FireStartDrag(const std::string& control,
                                                        int32_t position) {
  std::vector<std::string> files;
  Dispatch([&] { files = events_->StartDrag(control, position); });
  return files;
}

void Win32FormWindow::Command(int id, int code) {
  if (id == IDOK || id == IDCANCEL) {
    // Enter and Esc, anywhere in the window: the default and cancel buttons.
    const int button = id == IDOK ? defaultButton_ : cancelButton_;
    if (button != 0 && ::IsWindowEnabled(::GetDlgItem(hwnd_, button))) {
      FireClick(commandNames_[static_cast<UINT>(button)]);
    }
    return;
  }
  auto it = commandNames_.find(static_cast<UINT>(id));
  // Menus send 0, accelerators 1, buttons BN_CLICKED (0).
  if (it != commandNames_.end() && (code == 0 || code == 1)) {
    const std::string name = it->second;
    FireClick(name);
  }
}

void Win32FormWindow::PaintLines(HDC dc) const {
  for (const ControlDef* line : lines_) {
    const ControlSettings& s = *&line->Settings;
    const int width = std::max(1, ScalePixels(s.BorderWidth, dpi_));
    const int x1 = Px(s.X1), y1 = Px(s.Y1), x2 = Px(s.X2), y2 = Px(s.Y2);
    if (y1 == y2 || x1 == x2) {
      // The line's first pixel row (or column) lies on its points; a wider
      // pen grows below (or to the right).
      RECT box = y1 == y2 ? RECT{std::min(x1, x2), y1, std::max(x1, x2), y1 + width}
                          : RECT{x1, std::min(y1, y2), x1 + width, std::max(y1, y2)};
      HBRUSH brush = ::CreateSolidBrush(ToColorRef(s.BorderColor));
      ::FillRect(dc, &box, brush);
      ::DeleteObject(brush);
      continue;
    }
    LOGBRUSH colour{BS_SOLID, ToColorRef(s.BorderColor), 0};
    HPEN pen = ::ExtCreatePen(PS_GEOMETRIC | PS_SOLID | PS_ENDCAP_FLAT, static_cast<DWORD>(width),
                              &colour, 0, nullptr);
    HGDIOBJ old = ::SelectObject(dc, pen);
    ::MoveToEx(dc, x1, y1, nullptr);
    ::LineTo(dc, x2, y2);
    ::SelectObject(dc, old);
    ::DeleteObject(pen);
  }
}

LRESULT CALLBACK Win32FormWindow::WindowProc(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
  Win32FormWindow* self = nullptr;
  if (message == WM_NCCREATE) {
    self = static_cast<Win32FormWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    self->hwnd_ = window;
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  } else {
    self = reinterpret_cast<Win32FormWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  }
  if (self == nullptr) {
    return ::DefWindowProcW(window, message, wParam, lParam);
  }
  try {
    return self->OnMessage(window, message, wParam, lParam);
  } catch (...) {
    return 0;  // handlers report their own failures; nothing may reach the system
  }
}

LRESULT Win32FormWindow::OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      if (lParam == 0 || HIWORD(wParam) == BN_CLICKED) {
        Command(LOWORD(wParam), HIWORD(wParam));
      }
      return 0;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      for (auto& [name, list] : lists_) {
        if (list->Handle() == header->hwndFrom) {
          return list->Notify(*header);
        }
      }
      break;
    }
    case DM_GETDEFID:
      return defaultButton_ != 0 ? MAKELRESULT(defaultButton_, DC_HASDEFID) : 0;
    case WM_SIZE:
      LayOutDocked();
      FireResize();
      return 0;
    case WM_CLOSE:
      // Closing from the title bar unloads the form, unless the form keeps
      // the window open (for instance because saving the user's edits failed).
      if (!toolkit_.Ending()) {
        bool cancel = false;
        Dispatch([&] { events_->QueryUnload(cancel); });
        if (!cancel) {
          toolkit_.Unload(FormName());
        }
      }
      return 0;
    case WM_ENDSESSION:
      // The process ends once this returns.
      if (wParam != FALSE) {
        toolkit_.EndSession();
      }
      return 0;
    case WM_ACTIVATE:
      // Windows gives the focus back to the window, not to the control that
      // had it; this does.
      if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = ::GetFocus();
        focus_ = focus != nullptr && ::IsChild(window, focus) ? focus : focus_;
      } else if (focus_ != nullptr && ::IsWindow(focus_)) {
        ::SetFocus(focus_);
        return 0;
      }
      break;
    case WM_CTLCOLORSTATIC: {
      auto* dc = reinterpret_cast<HDC>(wParam);
      for (size_t i = 0; i < controls_.size(); ++i) {
        if (controls_[i].Window != reinterpret_cast<HWND>(lParam)) {
          continue;
        }
        const ControlSettings& s = controls_[i].Def->Settings;
        if (s.ForeColor) {
          ::SetTextColor(dc, ToColorRef(*s.ForeColor));
        }
        if (brushes_[i] != nullptr) {
          ::SetBkColor(dc, ToColorRef(*s.BackColor));
          return reinterpret_cast<LRESULT>(brushes_[i]);
        }
        ::SetBkColor(dc, ::GetSysColor(COLOR_BTNFACE));
        return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
      }
      break;
    }
    case WM_PAINT: {
      PAINTSTRUCT paint{};
      HDC dc = ::BeginPaint(window, &paint);
      PaintLines(dc);
      ::EndPaint(window, &paint);
      return 0;
    }
    case WM_DPICHANGED: {
      // Moved to a monitor of another scale: everything measured afresh;
      // the resize rule runs again from the new size.
      dpi_ = HIWORD(wParam);
      ApplyDpi();
      const auto* suggested = reinterpret_cast<const RECT*>(lParam);
      ::SetWindowPos(window, nullptr, suggested->left, suggested->top,
                     suggested->right - suggested->left, suggested->bottom - suggested->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
      ::InvalidateRect(window, nullptr, TRUE);
      return 0;
    }
    case WM_DESTROY:
      for (const Placed& placed : controls_) {
        if (!placed.Def->Settings.AccessibleName.empty()) {
          ClearAccessibleName(placed.Window);
        }
      }
      break;
    case WM_NCDESTROY:
      hwnd_ = nullptr;
      ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      break;
    default:
      break;
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace halvarin
