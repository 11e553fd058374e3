#include "Win32ProgressWindow.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <utility>

#include "AppError.h"
#include "ProgramIdentity.h"
#include "Win32AccessibleName.h"
#include "Win32Metrics.h"
#include "Win32Text.h"

namespace halvarin {

namespace {

// The bar counts in thousandths: byte counts do not fit its int range.
constexpr int kSteps = 1000;

// "1.5 MiB": bytes in binary units with one decimal.
std::wstring DataSize(int64_t bytes) {
  static constexpr const wchar_t* kUnits[] = {L"KiB", L"MiB", L"GiB", L"TiB"};
  if (bytes < 1024) {
    return std::to_wstring(bytes) + L" bytes";
  }
  double amount = static_cast<double>(bytes) / 1024;
  size_t unit = 0;
  while (amount >= 1024 && unit + 1 < std::size(kUnits)) {
    amount /= 1024;
    ++unit;
  }
  wchar_t text[32];
  std::swprintf(text, std::size(text), L"%.1f %ls", amount, kUnits[unit]);
  return text;
}

}  // namespace

Win32ProgressWindow::Win32ProgressWindow(HWND owner, const std::string& file,
                                         std::function<bool()> onCancel)
    : onCancel_(std::move(onCancel)), file_(WideText(file)) {
  HINSTANCE instance = ::GetModuleHandleW(nullptr);
  static const bool registered = [instance] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kClassName;
    return ::RegisterClassExW(&wc) != 0;
  }();
  if (registered) {
    hwnd_ = ::CreateWindowExW(WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT, kClassName,
                              WideText(ProgramIdentity::Title).c_str(),
                              WS_POPUP | WS_CAPTION | WS_SYSMENU, CW_USEDEFAULT, CW_USEDEFAULT, 100,
                              100, owner, nullptr, instance, this);
  }
  if (hwnd_ == nullptr) {
    throw AppError(errInvalidArgument, "Toolkit",
                   "Cannot show the progress window: " + SystemReason(::GetLastError()) + ".");
  }
  const UINT dpi = WindowDpi(hwnd_);
  font_ = CreateDialogFont(dpi);
  HDC dc = ::GetDC(hwnd_);
  HGDIOBJ old = ::SelectObject(dc, font_);
  TEXTMETRICW metrics{};
  ::GetTextMetricsW(dc, &metrics);
  ::SelectObject(dc, old);
  ::ReleaseDC(hwnd_, dc);

  // Room for a name of 48 average characters; a longer one is cut in its
  // middle, so that its end still shows.
  const int margin = ScalePixels(11, dpi);
  const int gap = ScalePixels(7, dpi);
  const int line = metrics.tmHeight;
  const int width = 48 * metrics.tmAveCharWidth;
  const int buttonWidth = ScalePixels(75, dpi);
  const int buttonHeight = ScalePixels(23, dpi);
  int y = margin;
  auto make = [&](const wchar_t* type, const std::wstring& text, DWORD style, int height, int left,
                  int w) {
    HWND control = ::CreateWindowExW(0, type, text.c_str(), WS_CHILD | WS_VISIBLE | style, left, y,
                                     w, height, hwnd_, nullptr, instance, nullptr);
    ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    y += height + gap;
    return control;
  };
  label_ = make(L"STATIC", L"", SS_NOPREFIX | SS_PATHELLIPSIS, line, margin, width);
  bar_ = make(PROGRESS_CLASSW, L"", 0, ScalePixels(15, dpi), margin, width);
  SetAccessibleName(bar_, "Progress");
  ::SendMessageW(bar_, PBM_SETRANGE32, 0, kSteps);
  amounts_ = make(L"STATIC", L"", SS_NOPREFIX, line, margin, width);
  cancel_ = make(L"BUTTON", L"Cancel", WS_TABSTOP | BS_DEFPUSHBUTTON, buttonHeight,
                 margin + width - buttonWidth, buttonWidth);
  ::SetWindowLongPtrW(cancel_, GWLP_ID, IDCANCEL);
  SetProgress(0, 0);

  // Centred over the owner, its client area just holding the controls.
  RECT frame{0, 0, width + 2 * margin, y - gap + margin};
  ::AdjustWindowRectExForDpi(&frame, WS_POPUP | WS_CAPTION | WS_SYSMENU, FALSE, WS_EX_DLGMODALFRAME,
                             dpi);
  RECT around{};
  if (owner == nullptr || !::GetWindowRect(owner, &around)) {
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &around, 0);
  }
  const int w = frame.right - frame.left;
  const int h = frame.bottom - frame.top;
  ::SetWindowPos(hwnd_, nullptr, (around.left + around.right - w) / 2,
                 (around.top + around.bottom - h) / 2, w, h, SWP_NOZORDER);
  ::ShowWindow(hwnd_, SW_SHOW);
  ::SetFocus(cancel_);
}

Win32ProgressWindow::~Win32ProgressWindow() {
  if (hwnd_ != nullptr) {
    ClearAccessibleName(bar_);
    ::DestroyWindow(hwnd_);
  }
  if (font_ != nullptr) {
    ::DeleteObject(font_);
  }
}

void Win32ProgressWindow::SetText(HWND control, const std::wstring& text) {
  // Set only when it changes: a label set anew flickers.
  if (WindowText(control) != text) {
    ::SetWindowTextW(control, text.c_str());
  }
}

void Win32ProgressWindow::SetProgress(int64_t done, int64_t total, bool final) {
  if (final) {
    ::EnableWindow(cancel_, FALSE);
  }
  if (!cancelled_) {
    SetText(label_,
            (total < 0 ? L"Waiting for another program to finish writing " : L"Writing ") + file_);
  }
  // Waiting, the bar only shows that something goes on; before anything is
  // counted it shows no figures.
  if ((total < 0) != waiting_) {
    waiting_ = total < 0;
    const LONG_PTR style = ::GetWindowLongPtrW(bar_, GWL_STYLE);
    ::SetWindowLongPtrW(bar_, GWL_STYLE, waiting_ ? style | PBS_MARQUEE : style & ~PBS_MARQUEE);
    ::SendMessageW(bar_, PBM_SETMARQUEE, waiting_ ? TRUE : FALSE, 0);
    ::SendMessageW(bar_, PBM_SETRANGE32, 0, kSteps);
  }
  ::SendMessageW(bar_, PBM_SETPOS,
                 total > 0 ? static_cast<WPARAM>(std::min(done, total) * kSteps / total) : 0, 0);
  SetText(amounts_, total > 0 ? DataSize(done) + L" of " + DataSize(total) : L"");
}

bool Win32ProgressWindow::PreTranslate(MSG& message) {
  return hwnd_ != nullptr && ::IsDialogMessageW(hwnd_, &message) != 0;
}

void Win32ProgressWindow::Cancel() {
  // A press may still arrive after the button went: the operation decides
  // whether it can still be heard.
  ::EnableWindow(cancel_, FALSE);
  if (!cancelled_ && onCancel_ && onCancel_()) {
    cancelled_ = true;
    SetText(label_, L"Cancelling; every file stays as it was.");
  }
}

LRESULT CALLBACK Win32ProgressWindow::WindowProc(HWND window, UINT message, WPARAM wParam,
                                                 LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self =
        static_cast<Win32ProgressWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<Win32ProgressWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  switch (message) {
    case WM_COMMAND:
      if (LOWORD(wParam) == IDCANCEL && self != nullptr) {
        self->Cancel();
      }
      return 0;
    case WM_CLOSE:
      if (self != nullptr) {
        self->Cancel();
      }
      return 0;  // the window goes when the operation has ended
    case WM_NCDESTROY:
      if (self != nullptr) {
        self->hwnd_ = nullptr;
      }
      ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      break;
    default:
      break;
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace halvarin
