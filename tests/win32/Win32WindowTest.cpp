// The real windows on the Win32 toolkit, driven by the messages a user's keys,
// clicks and drops send: what the recording toolkit cannot show, one check
// each, and the script every toolkit runs (ToolkitContract.h). The commands'
// logic is frmMainTest's, on the double.

#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <atomic>
#include <future>
#include <optional>
#include <set>
#include <tuple>
#include <utility>

#include "ArchiveBytes.h"
#include "FaultyFileSystem.h"
#include "GrpOracle.h"
#include "RecordingToolkit.h"
#include "ScriptedCommonDialogs.h"
#include "TempDir.h"
#include "ToolkitContract.h"
#include "Win32FileDrag.h"
#include "Win32FormWindow.h"
#include "Win32Program.h"
#include "Win32Startup.h"
#include "Win32Text.h"
#include "Win32Watch.h"
#include "frmAbout.h"

namespace halvarin::testing {
namespace {

using Names = std::vector<std::string>;

// Records the events a window sends, for tests of the window alone.
struct RecordingEvents : FormEvents {
  void Click(const std::string& name) override { seen.push_back(name); }
  void MouseDown(const std::string& control, int16_t button, int16_t shift, float, float) override {
    seen.push_back(control + ":" + std::to_string(button) + ":" + std::to_string(shift));
  }
  Names seen;
};

class Win32WindowTest : public ::testing::Test {
 protected:
  // A program of its own, as a new process would start.
  void Restart() {
    program.reset();
    program.emplace(scripted, PlatformRegistry(), faulty);
  }
  Win32FormWindow& Main() { return *program->toolkit.Window(frmMain::FormName); }
  HWND List() { return Main().Control("ListView1"); }
  // The list as the control shows it: each item's text and image (0-based).
  Names Shown() {
    program->toolkit.DoEvents();
    Names shown;
    const int count = ListView_GetItemCount(List());
    for (int i = 0; i < count; ++i) {
      wchar_t text[64] = {};
      LVITEMW item{};
      item.mask = LVIF_TEXT | LVIF_IMAGE;
      item.iItem = i;
      item.pszText = text;
      item.cchTextMax = 64;
      ListView_GetItem(List(), &item);
      shown.push_back(Utf8Text(text) + ":" + std::to_string(item.iImage));
    }
    return shown;
  }
  // As a user does: once the program has handled what is waiting.
  void Select(int position) {
    program->toolkit.DoEvents();
    ListView_SetItemState(List(), position - 1, LVIS_SELECTED | LVIS_FOCUSED,
                          LVIS_SELECTED | LVIS_FOCUSED);
  }
  void Choose(const std::string& menuItem) {
    ::PostMessageW(Main().Handle(), WM_COMMAND, MAKEWPARAM(Main().MenuCommand(menuItem), 0), 0);
    program->toolkit.DoEvents();
  }

  // Keys as they are while the next messages are handled.
  void HoldKeys(std::initializer_list<int> down) {
    BYTE keys[256] = {};
    for (const int key : down) {
      keys[key] = 0x80;
    }
    ::SetKeyboardState(keys);
  }

  TempDir dir;
  ScriptedCommonDialogs scripted;
  FaultyFileSystem faulty;
  std::optional<Win32Program> program{std::in_place, scripted, PlatformRegistry(), faulty};
  const DWORD ui = ::GetCurrentThreadId();
};

TEST_F(Win32WindowTest, TheWindowAsTheUserSeesIt) {
  program->Start({});
  Win32Toolkit& tk = program->toolkit;
  HWND window = Main().Handle();
  EXPECT_EQ(TextOf(window), L"Halvarin");
  RECT client{};
  ::GetClientRect(window, &client);
  EXPECT_EQ(std::tuple(client.right, client.bottom), std::tuple(Main().Px(6210), Main().Px(4155)));
  std::wstring menus;
  HMENU bar = ::GetMenu(window);
  for (int i = 0; i < ::GetMenuItemCount(bar); ++i) {
    wchar_t text[64] = {};
    ::GetMenuStringW(bar, i, text, 64, MF_BYPOSITION);
    menus += std::wstring(text) + L"|";
    HMENU sub = ::GetSubMenu(bar, i);
    for (int j = 0; j < ::GetMenuItemCount(sub); ++j) {
      text[0] = L'\0';
      ::GetMenuStringW(sub, j, text, 64, MF_BYPOSITION);
      menus += (text[0] != 0 ? std::wstring(text) : L"-") + L"|";
    }
  }
  EXPECT_EQ(menus,
            L"&File|&New\tCtrl+N|&Open\tCtrl+O|&Save\tCtrl+S|Save &As|-|E&xit|&Item|&Add Item|"
            L"&Extract Item|&Delete Item\tDel|&Help|&About|");
  // The manifest compiled in: each monitor's own scale.
  EXPECT_EQ(::GetAwarenessFromDpiAwarenessContext(::GetThreadDpiAwarenessContext()),
            DPI_AWARENESS_PER_MONITOR_AWARE);
  // Named for screen readers; the status bar shows no name of its own.
  HWND status = Main().Control("StatusBar1");
  EXPECT_EQ(std::pair(TextOf(List()), TextOf(status)),
            std::pair(std::wstring(L"Entries"), std::wstring()));
  const LONG style = ::GetWindowLongW(List(), GWL_STYLE);
  EXPECT_EQ(std::tuple(style & LVS_TYPEMASK, style & (LVS_SINGLESEL | LVS_EDITLABELS),
                       ::ImageList_GetImageCount(ListView_GetImageList(List(), LVSIL_NORMAL))),
            std::tuple(LVS_ICON, LVS_SINGLESEL, 5));
  // Also once resized by the user: the list fills the client area above the
  // status bar, which keeps its height at the bottom.
  for (int i = 0; i < 2; ++i) {
    ::GetClientRect(window, &client);
    RECT list{}, bar{};
    ::GetWindowRect(List(), &list);
    ::GetWindowRect(status, &bar);
    ::MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&list), 2);
    ::MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&bar), 2);
    const int height = Main().Px(255);
    EXPECT_EQ(std::tuple(bar.left, bar.top, bar.right, bar.bottom),
              std::tuple(0L, client.bottom - height, client.right, client.bottom));
    EXPECT_EQ(std::tuple(list.left, list.top, list.right, list.bottom),
              std::tuple(0L, 0L, client.right, client.bottom - height));
    ::SetWindowPos(window, nullptr, 0, 0, Main().Px(9000), Main().Px(6000),
                   SWP_NOMOVE | SWP_NOZORDER);
    tk.DoEvents();
  }
}

// The shortcuts with the list focused (which key is which is in the menus'
// text), each mouse button with its keys, and the keyboard's requests for
// the pop-up menu (the Menu key, Shift+F10) as a right click.
TEST_F(Win32WindowTest, ShortcutsAndMouseButtonsReachTheForm) {
  RecordingEvents events;
  Win32Toolkit& tk = program->toolkit;
  tk.RegisterWindow("frmMain", [&events](Win32Toolkit& toolkit) {
    return std::make_unique<Win32FormWindow>(toolkit, frmMain::Definition(), &events);
  });
  tk.Show("frmMain");
  for (const auto& [key, held] : {std::pair<WPARAM, int>{'N', VK_CONTROL},
                                  {'O', VK_CONTROL},
                                  {'S', VK_CONTROL},
                                  {VK_DELETE, 0},
                                  {'S', 0},
                                  {VK_APPS, 0},
                                  {VK_F10, VK_SHIFT}}) {
    HoldKeys({held});
    const bool system = key == VK_F10;
    ::PostMessageW(List(), system ? WM_SYSKEYDOWN : WM_KEYDOWN, key, 0);
    ::PostMessageW(List(), system ? WM_SYSKEYUP : WM_KEYUP, key, 0xC0000001);
    tk.DoEvents();
  }
  HoldKeys({});
  for (const auto& [down, up, shift] : {std::tuple{WM_LBUTTONDOWN, WM_LBUTTONUP, MK_SHIFT},
                                        {WM_MBUTTONDOWN, WM_MBUTTONUP, MK_CONTROL}}) {
    ::PostMessageW(List(), down, shift, MAKELPARAM(5, 5));
    ::PostMessageW(List(), up, 0, MAKELPARAM(5, 5));
    tk.DoEvents();
  }
  EXPECT_EQ(events.seen,
            (Names{"mnuFileNew", "mnuFileOpen", "mnufilesave", "mnuitemdelete", "ListView1:2:0",
                   "ListView1:2:0", "ListView1:1:1", "ListView1:4:2"}));
}

// Help > About: the box owned by the main window, with its version line and
// OK as the default; Esc closes it, as Enter does.
TEST_F(Win32WindowTest, TheAboutBox) {
  program->Start({});
  for (const WPARAM key : {VK_ESCAPE, VK_RETURN}) {
    Choose("mnuHelpAbout");
    Win32FormWindow* about = program->toolkit.Window(frmAbout::FormName);
    ASSERT_NE(about, nullptr);
    HWND box = about->Handle();
    EXPECT_EQ(TextOf(box), L"About Halvarin");
    EXPECT_EQ(::GetWindow(box, GW_OWNER), Main().Handle());  // not in the task bar
    EXPECT_EQ(::GetWindowLongW(box, GWL_STYLE) & (WS_THICKFRAME | WS_MAXIMIZEBOX), 0);
    EXPECT_EQ(TextOf(about->Control("lblVersion")), L"Version 1.0.0");
    EXPECT_EQ(LOWORD(::SendMessageW(box, DM_GETDEFID, 0, 0)),
              ::GetDlgCtrlID(about->Control("cmdOK")));
    ::PostMessageW(about->Control("cmdSysInfo"), WM_KEYDOWN, key, 0);
    program->toolkit.DoEvents();
    EXPECT_EQ(program->toolkit.Window(frmAbout::FormName), nullptr);
  }
}

// The same calls on the recording toolkit and on the Win32 one give the same
// answers.
TEST_F(Win32WindowTest, TheDoubleBehavesAsTheRealToolkit) {
  program->Start({});
  RecordingToolkit double_;
  EXPECT_EQ(ToolkitContract(double_, [&] { double_.Select("frmMain", "ListView1", 3); }),
            ToolkitContract(program->toolkit, [&] { Select(3); }));
}

// Named on the command line (beyond the ANSI code page too), listed with the
// icon of each entry's kind; an entry deleted with Del, one from the
// right-click pop-up by its access key; Save writes the rest.
TEST_F(Win32WindowTest, AnArchiveNamedOnTheCommandLineIsListedEditedAndSaved) {
  std::vector<Item> items;
  for (const char* entry :
       {"LEVEL1.MAP", "TILES.ART", "THEME.MID", "BLAST.VOC", "INTRO.ANM", "SETUP.CFG"}) {
    items.push_back({Padded(entry), entry});
  }
  for (const std::string name : {"gr\xC3\xBC\xC3\x9F"
                                 "e.grp",
                                 "\xD0\xB0\xD1\x80\xD1\x85\xD0\xB8\xD0\xB2.grp"}) {
    SCOPED_TRACE(name);
    WriteAll(dir / name, ArchiveBytes(items));
    Restart();
    program->Start(ProgramArguments((L"halvarin.exe \"" + WideText(dir / name) + L"\"").c_str()));
    EXPECT_EQ(Shown(), (Names{"LEVEL1.MAP  :4", "TILES.ART   :3", "THEME.MID   :2",
                              "BLAST.VOC   :2", "INTRO.ANM   :1", "SETUP.CFG   :0"}));
    Select(2);
    ::PostMessageW(List(), WM_KEYDOWN, VK_DELETE, 0);
    program->toolkit.DoEvents();
    RECT fourth{};
    ListView_GetItemRect(List(), 3, &fourth, LVIR_BOUNDS);
    std::wstring popup;
    WatchWindows(
        [&] {
          for (const UINT message : {WM_RBUTTONDOWN, WM_RBUTTONUP}) {
            ::PostMessageW(
                List(), message, 0,
                MAKELPARAM((fourth.left + fourth.right) / 2, (fourth.top + fourth.bottom) / 2));
          }
          program->toolkit.DoEvents();
        },
        [&](HWND menu) {
          popup = ClassOf(menu);
          ::PostMessageW(Main().Handle(), WM_CHAR, 'd', 0);  // Delete Item
        });
    EXPECT_EQ(popup, L"#32768");
    EXPECT_EQ(Shown(),
              (Names{"LEVEL1.MAP  :4", "THEME.MID   :2", "BLAST.VOC   :2", "SETUP.CFG   :0"}));
    // The Menu key opens it on the selected item, not at the mouse.
    Select(2);
    RECT second{};
    ListView_GetItemRect(List(), 1, &second, LVIR_BOUNDS);
    POINT there{(second.left + second.right) / 2, (second.top + second.bottom) / 2};
    ::ClientToScreen(List(), &there);
    ::SetCursorPos(there.x + 100, there.y + 100);
    RECT menu{};
    WatchWindows(
        [&] {
          ::PostMessageW(List(), WM_KEYDOWN, VK_APPS, 0);
          ::PostMessageW(List(), WM_KEYUP, VK_APPS, 0xC0000001);
          program->toolkit.DoEvents();
        },
        [&](HWND popup) {
          ::GetWindowRect(popup, &menu);
          ::PostMessageW(Main().Handle(), WM_KEYDOWN, VK_ESCAPE, 0);
        });
    EXPECT_LE(std::abs(menu.left - there.x) + std::abs(menu.top - there.y), 2);
    Choose("mnufilesave");
    EXPECT_EQ(ReadAll(dir / name), ArchiveBytes({items[0], items[2], items[3], items[5]}));
    // What a drag out offers: a private copy, gone when the program ends.
    const std::string dragged = program->mainForm.StartDrag("ListView1", 1).at(0);
    EXPECT_EQ(ReadAll(dragged), "LEVEL1.MAP");
    program.reset();
    EXPECT_FALSE(fs::exists(Utf8Path(dragged)));
  }
}

// The toolkit's own failures reach the caller as errors naming what failed.
TEST_F(Win32WindowTest, FailuresReachTheCaller) {
  program->Start({});
  Win32Toolkit& tk = program->toolkit;
  fs::create_directory(dir.Path() / "folder.exe");
  for (const auto& [call, number] : std::vector<std::pair<std::function<void()>, int32_t>>{
           {[&] { tk.StartProgram(dir / "missing.exe"); }, errFileNotFound},
           {[&] { tk.StartProgram(dir / "folder.exe"); }, errPathFileAccess},
           {[&] { tk.Show("frmNone"); }, errInvalidArgument},
           {[&] { tk.RunWithProgress("x", [](auto&) { throw AppError(errOverflow, "t", "x"); }); },
            errOverflow}}) {
    try {
      call();
      ADD_FAILURE() << number;
    } catch (const AppError& error) {
      EXPECT_EQ(error.Number(), number) << error.Description();
    }
  }
}

// Files dropped from the shell arrive as an HDROP: they are queued in the
// order given and listed; a folder among them is not. A file from another
// copy of the program's drag folder is copied, so it saves after that
// program has gone.
TEST_F(Win32WindowTest, ARealDropQueuesItsFilesButNotAFolder) {
  program->Start({});
  WriteAll(dir / "a.mid", "midi");
  WriteAll(dir / "b.map", "map");
  fs::create_directory(dir.Path() / "folder.art");
  fs::create_directories(dir.Path() / "halvarin-drag-other" / "1");
  WriteAll(dir / "halvarin-drag-other/1/FROMA.TXT", "from a");
  ::PostMessageW(
      List(), WM_DROPFILES,
      reinterpret_cast<WPARAM>(MakeHDrop({dir / "a.mid", dir / "folder.art", dir / "b.map",
                                          dir / "halvarin-drag-other/1/FROMA.TXT"})),
      0);
  program->toolkit.DoEvents();
  fs::remove_all(dir.Path() / "halvarin-drag-other");
  EXPECT_EQ(Shown(), (Names{"a.mid:2", "b.map:4", "FROMA.TXT:0"}));
  scripted.PushChoice(dir / "new.grp");
  Choose("mnufilesaveas");
  EXPECT_EQ(ReadAll(dir / "new.grp"), ArchiveBytes({{Padded("a.mid"), "midi"},
                                                    {Padded("b.map"), "map"},
                                                    {Padded("FROMA.TXT"), "from a"}}));
}

// Esc and the close box answer Cancel, or OK on a box with nothing else; a
// box with neither (Yes/No, Abort/Retry/Ignore) stays, to be answered with a
// button.
TEST_F(Win32WindowTest, BoxesAnswerEscAndCloseOnlyWithCancelOrALoneOk) {
  program->Start({});
  std::string seen;
  for (const bool byKey : {true, false}) {
    for (const int32_t style : std::initializer_list<int32_t>{
             vbOKOnly, vbOKCancel | vbExclamation, vbAbortRetryIgnore | vbInformation,
             vbYesNoCancel, vbYesNo | vbQuestion, vbRetryCancel | vbCritical}) {
      std::atomic<bool> answered = false;
      bool handled = false;  // a box that stays may be a new window asking the same
      WatchWindows(
          [&] {
            seen += std::to_string(program->toolkit.MsgBox("Sure?", style, "")) + "|";
            answered = true;
          },
          [&](HWND box) {
            if (std::exchange(handled, true)) {
              return;
            }
            EXPECT_EQ(TextOf(box), L"Halvarin");
            ::PostMessageW(box, byKey ? WM_KEYDOWN : WM_CLOSE, byKey ? VK_ESCAPE : 0, 0);
            if (BoxStays(ui, L"Halvarin", [&] { return answered.load(); })) {
              seen += "stayed ";
              Press(WindowsOf(ui, L"#32770").front(),
                    (style & 0xF) == vbAbortRetryIgnore ? IDABORT : IDYES);
            }
          });
    }
  }
  EXPECT_EQ(seen, "1|2|stayed 3|2|stayed 6|2|1|2|stayed 3|2|stayed 6|2|");
}

// A save stopped in its progress window. Cancel before the last report
// leaves every file, the edits and the window as they were, with nothing
// more to say; past it, Cancel is not offered, nor heard when pressed
// anyway, and the save completes without a word of a cancel. A save that
// waits for another program's lock says so, with a busy bar and no byte
// counts, and Cancel ends the wait. The end of the user's session stops a
// save as Cancel does and removes the drag folder. The first runs from
// closing the window: Esc and the close box leave the question up, and
// after Yes the window stays; No then closes it for good, ending the program.
TEST_F(Win32WindowTest, CancelInTheProgressWindowLeavesEveryFileAsItWas) {
  program->Start({});
  const std::string original = ArchiveBytes(
      {{Padded("BIG.ART"), std::string((4 << 20) + 5, 'b')}, {Padded("S.MAP"), "map"}});
  const std::string cancelling = "Cancelling; every file stays as it was.";
  struct Case {
    std::string how;
    Op heldAt;  // Op::Count: held by another program's lock
    std::string shown, after;
  };
  for (const auto& [how, heldAt, shown, after] :
       {Case{"close", Op::CreateNew, "Writing a.grp", cancelling},
        Case{"Cancel", Op::Rename, "Writing a.grp (no Cancel)", "Writing a.grp"},
        Case{"Cancel", Op::Count, "Waiting for another program to finish writing a.grp (busy)",
             cancelling},
        Case{"session end", Op::Sync, "Writing a.grp", ""}}) {
    SCOPED_TRACE(how + " " + shown);
    const bool close = how == "close";
    WriteAll(dir / "a.grp", original);
    program->mainForm.OpenArchive(dir / "a.grp");
    const std::string dragged = program->mainForm.StartDrag("ListView1", 2).at(0);
    Select(2);
    ::PostMessageW(List(), WM_KEYDOWN, VK_DELETE, 0);  // an edit to lose
    program->toolkit.DoEvents();
    std::promise<void> pressed;
    std::atomic<bool> posted = false;
    const auto hold = [until = pressed.get_future().share()] {
      until.wait_for(std::chrono::seconds(20));
    };
    if (heldAt == Op::Count) {
      faulty.LockHeldFor(1 << 30);
      // Held once Cancel is pressed, before the report that hears it, so
      // that the window stays to be read.
      faulty.BeforeEach([&posted, hold] { posted ? hold() : void(); });
    } else {
      faulty.Before(heldAt, 1, hold);
    }
    std::string seen, seenAfter;
    WatchWindows(
        [&] {
          ::PostMessageW(Main().Handle(), close ? WM_CLOSE : WM_COMMAND,
                         close ? 0 : MAKEWPARAM(Main().MenuCommand("mnufilesave"), 0), 0);
          program->toolkit.DoEvents();
        },
        [&](HWND window) {
          if (ClassOf(window) != L"HalvarinProgress") {
            seen += Utf8Text(TextOf(window)) + "|";
            ::PostMessageW(window, WM_KEYDOWN, VK_ESCAPE, 0);
            seen += BoxStays(ui, L"Save Changes?") ? "stays|" : "gone|";
            ::PostMessageW(WindowsOf(ui, L"#32770").front(), WM_CLOSE, 0, 0);
            seen += BoxStays(ui, L"Save Changes?") ? "stays|" : "gone|";
            Press(WindowsOf(ui, L"#32770").front(), IDYES);
            return;
          }
          // The label, the bar, the counts and Cancel, as the window's
          // loop has set them by now.
          ::Sleep(300);
          HWND label = ::GetWindow(window, GW_CHILD);
          HWND bar = ::GetWindow(label, GW_HWNDNEXT);
          HWND counts = ::GetWindow(bar, GW_HWNDNEXT);
          HWND cancel = ::GetDlgItem(window, IDCANCEL);
          seen += Utf8Text(TextOf(label)) + (::IsWindowEnabled(cancel) ? "" : " (no Cancel)") +
                  ((::GetWindowLongW(bar, GWL_STYLE) & PBS_MARQUEE) != 0 ? " (busy)" : "") +
                  (TextOf(counts).starts_with(L"0 bytes of 0") ? "?" : "");
          EXPECT_EQ(TextOf(bar), L"Progress");
          if (heldAt == Op::Count) {
            EXPECT_EQ(TextOf(counts), L"");
          }
          // Also as if pressed before the window could take Cancel away.
          const std::wstring before = TextOf(label);
          posted = true;
          if (how == "session end") {
            ::PostMessageW(Main().Handle(), WM_ENDSESSION, TRUE, 0);
            // Let go once the program waits for the save to stop: it
            // answers nothing meanwhile.
            DWORD_PTR answer = 0;
            while (
                ::SendMessageTimeoutW(Main().Handle(), WM_NULL, 0, 0, SMTO_NORMAL, 300, &answer)) {
            }
            pressed.set_value();
            return;
          }
          ::PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
          for (int wait = 0; wait < 30 && TextOf(label) == before; ++wait) {
            ::Sleep(10);
          }
          seenAfter = Utf8Text(TextOf(label));
          pressed.set_value();
        });
    faulty.LockHeldFor(0);
    faulty.BeforeEach({});
    const bool saved = heldAt == Op::Rename;
    EXPECT_EQ(seen, (close ? "Save Changes?|stays|stays|" : "") + shown);
    EXPECT_EQ(seenAfter, after);
    EXPECT_EQ(ReadAll(dir / "a.grp") == original, !saved);
    EXPECT_EQ(dir.Names(), std::set<std::string>{"a.grp"});
    EXPECT_EQ(fs::exists(Utf8Path(dragged)), how != "session end");
    EXPECT_EQ(Shown(), Names{"BIG.ART     :3"});
    HWND main = Main().Handle();
    ASSERT_TRUE(::IsWindowVisible(main) && ::IsWindowEnabled(main) && !program->toolkit.Ending());
  }
  // The edits stayed: asked again, and No ends the program.
  std::string asked;
  WatchWindows(
      [&] {
        ::PostMessageW(Main().Handle(), WM_CLOSE, 0, 0);
        program->toolkit.DoEvents();
      },
      [&](HWND box) {
        asked += Utf8Text(TextOf(box));
        Press(box, IDNO);
      });
  EXPECT_EQ(asked, "Save Changes?");
  EXPECT_TRUE(program->toolkit.Ending());
  EXPECT_EQ(program->toolkit.Window(frmMain::FormName), nullptr);
}

}  // namespace
}  // namespace halvarin::testing
