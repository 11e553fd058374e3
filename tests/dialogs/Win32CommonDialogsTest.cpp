// The system's own dialogs through the cases every platform runs: a watcher
// thread finds each dialog by its window class and answers it with the
// messages its controls would send, as a user's keystrokes do; no hooks.
#include "CommonDialogsCases.h"

// After the record's header: the system's own defines the OFN_ names as macros.
#include <windows.h>

#include <commctrl.h>
#include <commdlg.h>
#include <dlgs.h>

#include <atomic>
#include <thread>

namespace halvarin::testing {
namespace {

std::string Text(HWND window, UINT message = WM_GETTEXT, WPARAM size_or_index = 2048) {
  wchar_t text[2048] = L"";
  SendMessageW(window, message, size_or_index, reinterpret_cast<LPARAM>(text));
  const std::u8string utf8 = std::filesystem::path(text).u8string();
  return {utf8.begin(), utf8.end()};
}

int32_t Handle(HWND window) {
  return static_cast<int32_t>(reinterpret_cast<intptr_t>(window));
}

class Win32ShownDialog : public ShownDialog {
 public:
  explicit Win32ShownDialog(HWND dialog) : dialog_(dialog) {}
  Look Seen() override {
    std::vector<std::string> filters;
    for (int i = 0; i < SendMessageW(Types(), CB_GETCOUNT, 0, 0); ++i) {
      filters.push_back(Text(Types(), CB_GETLBTEXT, i));
    }
    return {Text(dialog_),
            Text(dialog_, CDM_GETFOLDERPATH),
            Text(dialog_, CDM_GETSPEC),
            filters,
            static_cast<int>(SendMessageW(Types(), CB_GETCURSEL, 0, 0)),
            Handle(GetWindow(dialog_, GW_OWNER)),
            !(GetWindowLongW(
                  FindWindowExW(GetDlgItem(dialog_, lst2), nullptr, L"SysListView32", nullptr),
                  GWL_STYLE) &
              LVS_SINGLESEL)};
  }
  void ChooseFilter(int index) override {
    SendMessageW(Types(), CB_SETCURSEL, index, 0);
    for (const WORD notification : {CBN_SELCHANGE, CBN_SELENDOK}) {
      SendMessageW(dialog_, WM_COMMAND, MAKEWPARAM(cmb1, notification),
                   reinterpret_cast<LPARAM>(Types()));
    }
  }
  void TypeAndAccept(const std::string& text) override {
    SetDlgItemTextW(dialog_, cmb13, Utf8Path(text).wstring().c_str());
    PostMessageW(dialog_, WM_COMMAND, IDOK, 0);
    accepted = true;
  }
  bool accepted = false;

 private:
  HWND Types() { return GetDlgItem(dialog_, cmb1); }
  HWND dialog_;
};

// A folder too long for the dialog, given or the seed's, is left out: the
// dialog opens, elsewhere, with the seed's name.
TEST_F(CommonDialogsTest, Win32FolderBeyondMaxPathIsLeftOut) {
  std::string deep = dir;
  while (deep.size() < MAX_PATH) {
    deep += '\\' + std::string(50, 'd');
  }
  std::filesystem::create_directories(Utf8Path(deep));
  dialog.InitDir(deep);
  dialog.filename(deep + "\\a.grp");
  Look seen;
  Show(false, [&](ShownDialog& open) { seen = open.Seen(); });
  EXPECT_NE(std::get<1>(seen), deep);     // the folder
  EXPECT_EQ(std::get<2>(seen), "a.grp");  // the name
  // Too deep for the temporary folder's own clean-up.
  for (std::error_code error; deep.size() > dir.size(); deep.resize(deep.rfind('\\'))) {
    std::filesystem::remove(Utf8Path(deep), error);
  }
}

}  // namespace

void WatchDialogs(const std::function<void()>& action,
                  const std::function<void(ShownDialog&)>& step, bool yes,
                  std::vector<std::string>& messages) {
  const DWORD thread = GetCurrentThreadId();
  std::atomic<bool> done = false;
  std::thread watcher([&] {
    HWND stepped = nullptr;
    while (!done) {
      // The dialog taking input: a box over a file dialog disables it.
      GUITHREADINFO gui{};
      gui.cbSize = sizeof gui;
      const HWND shown = GetGUIThreadInfo(thread, &gui) ? gui.hwndActive : nullptr;
      wchar_t kind[8] = L"";
      if (!GetClassNameW(shown, kind, 8) || wcscmp(kind, L"#32770") || !IsWindowEnabled(shown)) {
        Sleep(10);
        continue;
      }
      if (GetDlgItem(shown, cmb13) == nullptr) {  // a message box
        messages.push_back(Text(GetDlgItem(shown, 0xFFFF)));
        const int button = GetDlgItem(shown, IDYES) ? (yes ? IDYES : IDNO) : IDOK;
        PostMessageW(shown, WM_COMMAND, button, 0);
      } else if (stepped != nullptr) {
        PostMessageW(shown, WM_COMMAND, IDCANCEL, 0);  // shown again, or left open
      } else {
        stepped = shown;
        Win32ShownDialog view(shown);
        step(view);
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

std::shared_ptr<void> ShownWindow(int32_t& handle) {
  const HWND window = CreateWindowExW(0, L"STATIC", L"Owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0,
                                      0, 300, 200, nullptr, nullptr, nullptr, nullptr);
  handle = Handle(window);
  return {window, DestroyWindow};
}

}  // namespace halvarin::testing
