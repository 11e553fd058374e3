// The cases the real dialogs of every platform run: the test acts on each
// dialog as a user would and checks what comes back. A test program includes
// this once and defines WatchDialogs and ShownWindow for its platform.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "TempDir.h"
#include "clsFileDialog.h"

namespace halvarin::testing {

using namespace std::string_literals;

// A file dialog on the screen as a test sees it, texts in UTF-8: the title,
// the folder, the name box, the filters' descriptions as listed, the one
// selected (0-based), the owner window, whether several files can be chosen.
using Look =
    std::tuple<std::string, std::string, std::string, std::vector<std::string>, int, int32_t, bool>;

class ShownDialog {
 public:
  virtual ~ShownDialog() = default;
  virtual Look Seen() = 0;
  virtual void ChooseFilter(int index) = 0;
  virtual void TypeAndAccept(const std::string& text) = 0;
};

// Runs `action`, handing the first file dialog it opens to `step` and closing
// it if left open; any later one is cancelled. Each message box's text goes
// to `messages`, and the box is answered Yes if `yes`, else No (or OK).
void WatchDialogs(const std::function<void()>& action,
                  const std::function<void(ShownDialog&)>& step, bool yes,
                  std::vector<std::string>& messages);

// A window on the screen while the result lives; its handle for hwndOwner.
std::shared_ptr<void> ShownWindow(int32_t& handle);

class CommonDialogsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::u8string canonical = std::filesystem::canonical(temp.Path()).u8string();
    dir.assign(canonical.begin(), canonical.end());
    for (const char* name : {"a.grp", "b.grp", "c.map", "k\xc3\xa4rt\xc3\xa4.grp"}) {
      WriteAll(Path(name), "");
    }
    std::filesystem::create_directory(Utf8Path(Path("sub")));
    dialog.InitDir(dir);
  }
  void Show(bool save, const std::function<void(ShownDialog&)>& step) {
    WatchDialogs([&] { save ? dialog.ShowSave() : dialog.ShowOpen(); }, step, yes, messages);
  }
  // Names have "/" between folders; typed and answered, the platform's own.
  static std::string Native(std::string name) {
    std::replace(name.begin(), name.end(), '/', kSeparator);
    return name;
  }
  static std::function<void(ShownDialog&)> Typing(const std::string& name) {
    return [name = Native(name)](ShownDialog& shown) { shown.TypeAndAccept(name); };
  }
  std::string Path(const std::string& name) const { return dir + kSeparator + Native(name); }

#ifdef _WIN32
  static constexpr char kSeparator = '\\';
#else
  static constexpr char kSeparator = '/';
#endif
  TempDir temp;
  std::string dir;
  clsFileDialog dialog;  // on the platform's dialogs
  std::vector<std::string> messages;
  bool yes = true;  // the answer to a question
};

TEST_F(CommonDialogsTest, OpenShowsTheSettingsAndWritesTheChosenFilterBack) {
  dialog.Filter("Varn GRP Files|*.grp|Maps:*.map;*.mp|All Files|*.*|");  // ":" splits as "|" does
  dialog.DialogTitle("Open Archive");
  int32_t owner = 0;
  const auto window = ShownWindow(owner);
  dialog.hWnd(owner);
  const std::vector<std::string> filters = {"Varn GRP Files", "Maps", "All Files"};
  Look seen;
  Show(false, [&](ShownDialog& open) {
    seen = open.Seen();
    open.ChooseFilter(1);
    open.TypeAndAccept("c.map");
  });
  EXPECT_EQ(seen, Look("Open Archive", dir, "", filters, 0, owner, false));
  EXPECT_EQ(dialog.filename(), Path("c.map"));
  EXPECT_EQ(dialog.FilterIndex(), 2);

  // The next show starts on that filter; a seed's folder wins over InitDir.
  dialog.filename(Path("sub/seed.grp"));
  Show(false, [&](ShownDialog& open) { seen = open.Seen(); });
  EXPECT_EQ(seen, Look("Open Archive", Path("sub"), "seed.grp", filters, 1, owner, false));
  EXPECT_EQ(dialog.filename(), Path("sub/seed.grp"));  // a cancel leaves it
}

TEST_F(CommonDialogsTest, AnswersAsTypedWithTheExtensionAskingAndRefusingAsFlagged) {
  dialog.DefaultExt("grp");
  // Each row one dialog: what is typed, the answer to a question, the name
  // then held (after a refusal, the one before), the questions asked.
  for (const auto& [save, flags, typed, reply, held, asked] :
       {std::tuple{true, 0u, "a.grp", true, "a.grp", 0u},  // replaced unasked
        {true, OFN_OVERWRITEPROMPT, "b.grp", false, "a.grp", 1u},
        {true, OFN_OVERWRITEPROMPT, "b.grp", true, "b.grp", 1u},
        {true, OFN_OVERWRITEPROMPT, "newname", true, "newname.grp", 0u},
        {true, OFN_OVERWRITEPROMPT, "notes.txt", true, "notes.txt", 0u},
        {true, 0u,
         "gr\xc3\xbc\xc3\x9f"
         "e",
         true,
         "gr\xc3\xbc\xc3\x9f"
         "e.grp",
         0u},
        {true, 0u, "\xd0\xb0\xd1\x80\xd1\x85\xd0\xb8\xd0\xb2.grp", true,
         "\xd0\xb0\xd1\x80\xd1\x85\xd0\xb8\xd0\xb2.grp", 0u},  // beyond any one code page
        {true, OFN_PATHMUSTEXIST, "nosuchdir/x.grp", true,
         "\xd0\xb0\xd1\x80\xd1\x85\xd0\xb8\xd0\xb2.grp", 1u},
        {true, 0u, "nosuchdir/x.grp", true, "nosuchdir/x.grp", 0u},
        {false, OFN_FILEMUSTEXIST, "missing.grp", true, "nosuchdir/x.grp", 1u},
        {false, 0u, "missing.grp", true, "missing.grp", 0u}}) {
    dialog.flags(static_cast<int32_t>(flags));
    yes = reply;
    messages.clear();
    Show(save, Typing(typed));
    EXPECT_EQ(dialog.filename(), Path(held)) << typed;
    EXPECT_EQ(messages.size(), asked) << typed;
  }
}

TEST_F(CommonDialogsTest, SeveralFilesAndAnswersTooLongInTheRecord) {
  dialog.flags(static_cast<int32_t>(OFN_ALLOWMULTISELECT));
  Look seen;
  Show(false, [&](ShownDialog& open) {
    seen = open.Seen();
    open.TypeAndAccept("\"a.grp\" \"k\xc3\xa4rt\xc3\xa4.grp\"");
  });
  EXPECT_TRUE(std::get<6>(seen));  // in the list too
  const std::string answer = dir + "\0a.grp\0k\xc3\xa4rt\xc3\xa4.grp"s;
  EXPECT_EQ(dialog.filename(), answer + std::string(8192 - answer.size(), '\0'));

  // An answer without room for its NUL, counted in bytes, is refused in the
  // dialog, not cut; a cancel then leaves the record as it was.
  for (const auto& [name, spare] :
       {std::pair{"a.grp", 0}, {"a.grp", 1}, {"k\xc3\xa4rt\xc3\xa4.grp", 0}}) {
    const size_t room = Path(name).size() + spare;
    OPENFILENAMEA ofn;
    ofn.lpstrInitialDir = dir + "\0\0"s;
    ofn.lpstrFile = std::string(room, '\0');
    ofn.nMaxFile = static_cast<uint32_t>(room);
    messages.clear();
    WatchDialogs([&] { EXPECT_EQ(PlatformCommonDialogs().ShowOpenDialog(ofn), spare); },
                 Typing(name), true, messages);
    EXPECT_EQ(ofn.lpstrFile, spare ? Path(name) + '\0' : std::string(room, '\0'));
    ASSERT_EQ(messages.size(), 1u - spare);
    EXPECT_TRUE(spare || messages[0].starts_with("The path is too long: " + Path(name)));
  }
}

}  // namespace halvarin::testing
