// The cases every platform's real dialogs run: the test acts on each dialog
// as a user would and checks what comes back. A test program includes this
// once and defines MakeDialogPlatform for its platform.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "TempDir.h"
#include "clsFileDialog.h"

namespace halvarin::testing {

using namespace std::string_literals;

// A file dialog on the screen; texts and paths are UTF-8.
class ShownDialog {
 public:
  virtual ~ShownDialog() = default;
  virtual std::string Title() = 0;
  virtual std::string Folder() = 0;
  virtual std::vector<std::string> Filters() = 0;  // the descriptions as listed
  virtual int SelectedFilter() = 0;                // 0-based
  virtual std::string Name() = 0;                  // the name box
  virtual int32_t Owner() = 0;
  virtual void ChooseFilter(int index) = 0;
  virtual void TypeAndAccept(const std::string& text) = 0;
};

class DialogPlatform {
 public:
  virtual ~DialogPlatform() = default;
  virtual CommonDialogs& Dialogs() = 0;
  // Runs `action`, handing each file dialog it opens to `dialog` (and
  // closing it if still open afterwards) and the text of each message box
  // to `box`, which says whether to answer Yes.
  virtual void Watch(const std::function<void()>& action,
                     const std::function<void(ShownDialog&)>& dialog,
                     const std::function<bool(const std::string&)>& box) = 0;
  // A shown window, as long as the platform lives, for hwndOwner.
  virtual int32_t OwnerWindow() = 0;
};

std::unique_ptr<DialogPlatform> MakeDialogPlatform();

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
  void TearDown() override { EXPECT_FALSE(step); }
  void Show(const std::function<void()>& show) {
    platform->Watch(
        show,
        [this](ShownDialog& shown) {
          ASSERT_TRUE(step) << "unexpected dialog";
          std::exchange(step, nullptr)(shown);
        },
        [this](const std::string& text) {
          messages.push_back(text);
          return yes;
        });
  }
  void ShowOpen() { Show(std::bind(&clsFileDialog::ShowOpen, &dialog)); }
  void ShowSave() { Show(std::bind(&clsFileDialog::ShowSave, &dialog)); }
  // `name` with "/" between folders, written with the platform's separator.
  static std::string Native(std::string name) {
    std::replace(name.begin(), name.end(), '/', kSeparator);
    return name;
  }
  std::string Path(const std::string& name) const { return dir + kSeparator + Native(name); }
  void Typing(const std::string& name) {
    step = [name = Native(name)](ShownDialog& shown) { shown.TypeAndAccept(name); };
  }

#ifdef _WIN32
  static constexpr char kSeparator = '\\';
#else
  static constexpr char kSeparator = '/';
#endif
  std::unique_ptr<DialogPlatform> platform = MakeDialogPlatform();
  TempDir temp;
  std::string dir;
  clsFileDialog dialog{platform->Dialogs()};
  std::function<void(ShownDialog&)> step;  // for the next file dialog
  std::vector<std::string> messages;
  bool yes = true;  // the answer to a question
};

TEST_F(CommonDialogsTest, OpenShowsTheSettingsAndWritesTheChosenFilterBack) {
  dialog.Filter("Varn GRP Files|*.grp|Maps:*.map;*.mp|All Files|*.*|");  // ":" splits as "|" does
  dialog.DialogTitle("Open Archive");
  step = [&](ShownDialog& open) {
    EXPECT_EQ(open.Title(), "Open Archive");
    EXPECT_EQ(open.Folder(), dir);
    EXPECT_EQ(open.Filters(), (std::vector<std::string>{"Varn GRP Files", "Maps", "All Files"}));
    EXPECT_EQ(open.SelectedFilter(), 0);
    open.ChooseFilter(1);
    open.TypeAndAccept("c.map");
  };
  ShowOpen();
  EXPECT_EQ(dialog.filename(), Path("c.map"));
  EXPECT_EQ(dialog.FilterIndex(), 2);

  step = [&](ShownDialog& open) {
    EXPECT_EQ(open.SelectedFilter(), 1);
    EXPECT_EQ(open.Name(), "c.map");  // seeded with the last answer
  };
  ShowOpen();
}

TEST_F(CommonDialogsTest, SaveAsksBeforeReplacingOnlyWithItsFlagAndAddsTheExtension) {
  dialog.DefaultExt("grp");
  step = [](ShownDialog& save) {
    EXPECT_EQ(save.Title(), "Save As");
    save.TypeAndAccept("a.grp");
  };
  ShowSave();
  EXPECT_EQ(dialog.filename(), Path("a.grp"));  // replaced unasked: see the count below

  // With the flag: the name typed, the answer to the question, the name then
  // held. Names outside any one code page come back as they were typed.
  dialog.flags(static_cast<int32_t>(OFN_OVERWRITEPROMPT));
  for (const auto& [typed, reply, held] : {std::tuple{"b.grp", false, "a.grp"},
                                           {"b.grp", true, "b.grp"},
                                           {"newname", true, "newname.grp"},
                                           {"notes.txt", true, "notes.txt"},
                                           {"gr\xc3\xbc\xc3\x9f"
                                            "e",
                                            true,
                                            "gr\xc3\xbc\xc3\x9f"
                                            "e.grp"},
                                           {"\xd0\xb0\xd1\x80\xd1\x85\xd0\xb8\xd0\xb2.grp", true,
                                            "\xd0\xb0\xd1\x80\xd1\x85\xd0\xb8\xd0\xb2.grp"}}) {
    yes = reply;
    Typing(typed);
    ShowSave();
    EXPECT_EQ(dialog.filename(), Path(held));
  }
  EXPECT_EQ(messages.size(), 2u);  // only replacing b.grp with the flag was asked about
}

TEST_F(CommonDialogsTest, MustExistFlagsRefuseMissingFilesAndFolders) {
  for (const auto& [save, flag] :
       {std::pair{false, OFN_FILEMUSTEXIST}, {false, 0u}, {true, OFN_PATHMUSTEXIST}, {true, 0u}}) {
    const char* typed = save ? "nosuchdir/x.grp" : "missing.grp";
    dialog.flags(static_cast<int32_t>(flag));
    dialog.filename("");
    Typing(typed);
    save ? ShowSave() : ShowOpen();
    EXPECT_EQ(dialog.filename(), flag ? "" : Path(typed)) << typed;
  }
  EXPECT_EQ(messages.size(), 2u);  // each refusal says why
}

TEST_F(CommonDialogsTest, SeedOwnerAndAnswersInTheRecord) {
  // Several files come back in the platform's form, in the larger buffer.
  dialog.flags(static_cast<int32_t>(OFN_ALLOWMULTISELECT));
  Typing("\"a.grp\" \"k\xc3\xa4rt\xc3\xa4.grp\"");
  ShowOpen();
  const std::string answer = dir + "\0a.grp\0k\xc3\xa4rt\xc3\xa4.grp"s;
  EXPECT_EQ(dialog.filename(), answer + std::string(8192 - answer.size(), '\0'));

  const int32_t window = platform->OwnerWindow();
  dialog.hWnd(window);
  dialog.filename(Path("sub/seed.grp"));  // its folder wins over InitDir
  step = [&](ShownDialog& open) {
    EXPECT_EQ(open.Owner(), window);
    EXPECT_EQ(open.Folder(), Path("sub"));
    EXPECT_EQ(open.Name(), "seed.grp");
  };
  ShowOpen();
  EXPECT_EQ(dialog.filename(), Path("sub/seed.grp"));

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
    Typing(name);
    Show([&] { EXPECT_EQ(platform->Dialogs().ShowOpenDialog(ofn), spare); });
    EXPECT_EQ(messages.size(), 1u - spare);
    EXPECT_EQ(ofn.lpstrFile, spare ? Path(name) + '\0' : std::string(room, '\0'));
    if (!spare) {
      EXPECT_EQ(messages.at(0).rfind("The path is too long: " + Path(name), 0), 0u);
    }
  }
}

}  // namespace halvarin::testing
