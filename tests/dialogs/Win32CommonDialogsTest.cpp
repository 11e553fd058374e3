// The system's own dialogs through the cases every platform runs: a watcher
// thread finds each dialog by its window class and answers it with the
// messages its controls would send, as a user's keystrokes do; no hooks.
#include "CommonDialogsCases.h"
#include "Win32CommonDialogs.h"

// After the record's header: the system's own defines the OFN_ names as macros.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <commdlg.h>
#include <dlgs.h>

#include <atomic>
#include <thread>

namespace halvarin::testing {
namespace {

std::wstring Wide(const std::string& text) {
  std::wstring wide(text.size() + 1, L'\0');
  wide.resize(static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, wide.data(),
                                                      static_cast<int>(wide.size()))) -
              1);
  return wide;
}

std::string Utf8(const wchar_t* text) {
  std::string utf8(4 * wcslen(text) + 1, '\0');
  utf8.resize(
      static_cast<size_t>(WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8.data(),
                                              static_cast<int>(utf8.size()), nullptr, nullptr)) -
      1);
  return utf8;
}

std::string Text(HWND window, UINT message = WM_GETTEXT) {
  wchar_t text[2048] = L"";
  SendMessageW(window, message, 2048, reinterpret_cast<LPARAM>(text));
  return Utf8(text);
}

int32_t Handle(HWND window) {
  return static_cast<int32_t>(reinterpret_cast<intptr_t>(window));
}

class Win32ShownDialog : public ShownDialog {
 public:
  explicit Win32ShownDialog(HWND dialog) : dialog_(dialog) {}
  std::string Title() override { return Text(dialog_); }
  std::string Folder() override { return Text(dialog_, CDM_GETFOLDERPATH); }
  std::vector<std::string> Filters() override {
    std::vector<std::string> filters;
    for (int i = 0; i < SendMessageW(Types(), CB_GETCOUNT, 0, 0); ++i) {
      wchar_t text[256] = L"";
      SendMessageW(Types(), CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
      filters.push_back(Utf8(text));
    }
    return filters;
  }
  int SelectedFilter() override {
    return static_cast<int>(SendMessageW(Types(), CB_GETCURSEL, 0, 0));
  }
  std::string Name() override { return Text(dialog_, CDM_GETSPEC); }
  int32_t Owner() override { return Handle(GetWindow(dialog_, GW_OWNER)); }
  void ChooseFilter(int index) override {
    SendMessageW(Types(), CB_SETCURSEL, index, 0);
    for (const WORD notification : {CBN_SELCHANGE, CBN_SELENDOK}) {
      SendMessageW(dialog_, WM_COMMAND, MAKEWPARAM(cmb1, notification),
                   reinterpret_cast<LPARAM>(Types()));
    }
  }
  void TypeAndAccept(const std::string& text) override {
    SendMessageW(GetDlgItem(dialog_, cmb13), WM_SETTEXT, 0,
                 reinterpret_cast<LPARAM>(Wide(text).c_str()));
    PostMessageW(dialog_, WM_COMMAND, IDOK, 0);
    accepted = true;
  }
  bool accepted = false;

 private:
  HWND Types() { return GetDlgItem(dialog_, cmb1); }
  HWND dialog_;
};

// The dialog of `thread` that takes input now: a message box over a file
// dialog disables it.
HWND ActiveDialog(DWORD thread) {
  HWND found = nullptr;
  EnumThreadWindows(
      thread,
      [](HWND window, LPARAM result) -> BOOL {
        wchar_t kind[16] = L"";
        GetClassNameW(window, kind, 16);
        if (wcscmp(kind, L"#32770") == 0 && IsWindowVisible(window) && IsWindowEnabled(window)) {
          *reinterpret_cast<HWND*>(result) = window;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

class Win32Platform : public DialogPlatform {
 public:
  ~Win32Platform() override {
    for (HWND window : windows_) {
      DestroyWindow(window);
    }
  }
  CommonDialogs& Dialogs() override { return dialogs_; }
  void Watch(const std::function<void()>& action, const std::function<void(ShownDialog&)>& dialog,
             const std::function<bool(const std::string&)>& box) override {
    const DWORD thread = GetCurrentThreadId();
    std::atomic<bool> done = false;
    std::thread watcher([&] {
      HWND handed = nullptr;  // the file dialog last handed over
      bool again = false;     // a box was answered: the next file dialog is that one again
      while (!done) {
        const HWND shown = ActiveDialog(thread);
        if (shown == nullptr) {
          Sleep(10);
          continue;
        }
        if (GetDlgItem(shown, cmb13) == nullptr) {  // a message box
          const bool yes = box(Text(GetDlgItem(shown, 0xFFFF)));
          const int button = GetDlgItem(shown, IDYES) ? (yes ? IDYES : IDNO) : IDOK;
          PostMessageW(shown, WM_COMMAND, button, 0);
          again = handed != nullptr;
        } else if (shown == handed || again) {
          again = false;
          PostMessageW(shown, WM_COMMAND, IDCANCEL, 0);  // still open after its step
        } else {
          handed = shown;
          Win32ShownDialog view(shown);
          dialog(view);
          if (!view.accepted) {
            PostMessageW(shown, WM_COMMAND, IDCANCEL, 0);
          }
        }
        // Until it closes or a box opens over it.
        for (int i = 0; i < 300 && !done && IsWindow(shown) && IsWindowEnabled(shown); ++i) {
          Sleep(10);
        }
      }
    });
    action();
    done = true;
    watcher.join();
  }
  int32_t OwnerWindow() override {
    windows_.push_back(CreateWindowExW(0, L"STATIC", L"Owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0,
                                       0, 300, 200, nullptr, nullptr, nullptr, nullptr));
    return Handle(windows_.back());
  }

 private:
  Win32CommonDialogs dialogs_;
  std::vector<HWND> windows_;
};

// A folder too long for the dialog, given or of the seed, is left out: the
// dialog opens, elsewhere, with the seed's name.
TEST_F(CommonDialogsTest, Win32FolderBeyondMaxPathIsLeftOut) {
  std::string deep = dir;
  while (deep.size() < MAX_PATH) {
    deep += '\\' + std::string(50, 'd');
  }
  std::filesystem::create_directories(Utf8Path(deep));
  for (const auto& [initDir, seed, name] :
       {std::tuple{deep, ""s, ""s}, {dir, deep + "\\a.grp", "a.grp"s}}) {
    dialog.InitDir(initDir);
    dialog.filename(seed);
    step = [&](ShownDialog& open) {
      EXPECT_NE(open.Folder(), deep);
      EXPECT_EQ(open.Name(), name);
    };
    ShowOpen();
  }
  // Too deep for the temporary folder's own clean-up.
  for (std::error_code error; deep.size() > dir.size(); deep.resize(deep.rfind('\\'))) {
    std::filesystem::remove(Utf8Path(deep), error);
  }
}

}  // namespace

std::unique_ptr<DialogPlatform> MakeDialogPlatform() {
  return std::make_unique<Win32Platform>();
}

}  // namespace halvarin::testing
