#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include <windows.h>

namespace halvarin {

// The small window of a long save or extraction: the name of the file being
// written, a progress bar of bytes done against bytes in all, the two
// amounts, and Cancel. Cancel (or Esc, or its close box) asks the operation
// to stop; the window stays until the operation has ended, so that nothing
// can start while it is still undoing its work. `onCancel` says whether the
// operation will stop; one past its last report will not, and the window
// then says nothing of a cancel. Its owner's caller runs the loop
// (Win32Toolkit::RunWithProgress) and destroys it at the end.
class Win32ProgressWindow {
 public:
  static constexpr wchar_t kClassName[] = L"HalvarinProgress";

  Win32ProgressWindow(HWND owner, const std::string& file, std::function<bool()> onCancel);
  ~Win32ProgressWindow();
  Win32ProgressWindow(const Win32ProgressWindow&) = delete;
  Win32ProgressWindow& operator=(const Win32ProgressWindow&) = delete;

  HWND Handle() const { return hwnd_; }
  // A negative total: waiting for another program. `final`: past the last
  // report, so Cancel is no longer offered.
  void SetProgress(int64_t done, int64_t total, bool final = false);
  // The loop's part: Esc, Enter and Tab in the window. True when handled.
  bool PreTranslate(MSG& message);

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void Cancel();

  void SetText(HWND control, const std::wstring& text);

  std::function<bool()> onCancel_;
  std::wstring file_;
  bool cancelled_ = false;
  bool waiting_ = false;
  HWND hwnd_ = nullptr;
  HWND label_ = nullptr;
  HWND bar_ = nullptr;
  HWND amounts_ = nullptr;
  HWND cancel_ = nullptr;
  HFONT font_ = nullptr;
};

}  // namespace halvarin
