#pragma once

// For tests of real Win32 windows: answering the message boxes, pop-up menus
// and progress windows that the test's own thread opens (and waits in) while
// it runs an action, from a thread of its own, with messages as a user's
// keys and clicks would send them.

#include <windows.h>

#include <atomic>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace halvarin::testing {

inline std::wstring ClassOf(HWND window) {
  wchar_t name[64] = {};
  ::GetClassNameW(window, name, 64);
  return name;
}

inline std::wstring TextOf(HWND window) {
  std::wstring text(512, L'\0');
  text.resize(static_cast<size_t>(::GetWindowTextW(window, text.data(), 512)));
  return text;
}

// The visible top-level windows of `thread` of a class: "#32770" (message
// boxes), "#32768" (pop-up menus), "HalvarinProgress".
inline std::vector<HWND> WindowsOf(DWORD thread, const std::wstring& windowClass) {
  std::vector<HWND> all;
  ::EnumThreadWindows(
      thread,
      [](HWND window, LPARAM found) {
        reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&all));
  std::vector<HWND> found;
  for (HWND window : all) {
    if (::IsWindowVisible(window) && ClassOf(window) == windowClass) {
      found.push_back(window);
    }
  }
  return found;
}

// Whether a message box titled `title` is still up after a moment (Esc or a
// close that it ignores leaves it, or a box asking the same, on screen),
// rather than `answered`: the call that showed it has returned.
inline bool BoxStays(
    DWORD thread, const std::wstring& title,
    const std::function<bool()>& answered = [] { return false; }) {
  ::Sleep(200);
  for (int wait = 0; wait < 500 && !answered(); ++wait, ::Sleep(10)) {
    for (HWND box : WindowsOf(thread, L"#32770")) {
      if (TextOf(box) == title) {
        return true;
      }
    }
  }
  return false;
}

// Chooses a button of a box (IDYES, IDNO, ...) as a click does.
inline void Press(HWND box, int button) {
  ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                 reinterpret_cast<LPARAM>(::GetDlgItem(box, button)));
}

// Runs `action` on this thread; every message box, pop-up menu and progress
// window that opens meanwhile is handed to `handle` once, on the watching
// thread, as soon as it shows.
inline void WatchWindows(const std::function<void()>& action,
                         const std::function<void(HWND)>& handle) {
  const DWORD ui = ::GetCurrentThreadId();
  std::atomic<bool> done{false};
  HANDLE stopped = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::thread watcher([&] {
    std::set<HWND> seen;
    while (!done) {
      for (const wchar_t* kind : {L"#32770", L"#32768", L"HalvarinProgress"}) {
        for (HWND window : WindowsOf(ui, kind)) {
          if (seen.insert(window).second) {
            handle(window);
          }
        }
      }
      std::erase_if(seen, [](HWND window) { return !::IsWindow(window); });
      ::Sleep(10);
    }
    ::SetEvent(stopped);
  });
  action();
  done = true;
  // A handler may be asking this thread for a window's text right now.
  while (::MsgWaitForMultipleObjects(1, &stopped, FALSE, INFINITE, QS_SENDMESSAGE) !=
         WAIT_OBJECT_0) {
    MSG message;
    ::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
  watcher.join();
  ::CloseHandle(stopped);
}

}  // namespace halvarin::testing
