// The window's Save when another program has saved the archive meanwhile:
// refused with the edits kept, unless the other program only touched it.

#include <sys/time.h>

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "RecordingToolkit.h"
#include "SampleArchive.h"
#include "ScriptedCommonDialogs.h"
#include "frmMain.h"

namespace halvarin {
namespace {

namespace fs = std::filesystem;

class frmMainSaveRace : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/halvarin-race-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir = pattern;
    WriteGroupArchive((dir / "mod.grp").string(), {{"LEVEL1.MAP", "map"}, {"SONG.MID", "mid"}});
    WriteGroupArchive((dir / "new.txt").string(), {});  // any file will do
    tk.Attach("frmMain", &form);
    tk.Show("frmMain");
    dialogs.PushChoice((dir / "mod.grp").string());
    form.Click("mnuFileOpen");
    dialogs.PushChoice((dir / "new.txt").string());
    form.Click("mnuitemadd");
    tk.Calls.clear();
  }
  void TearDown() override { fs::remove_all(dir); }

  std::vector<std::string> Boxes() const {
    std::vector<std::string> boxes;
    for (const std::string& call : tk.Calls) {
      if (call.rfind("MsgBox(", 0) == 0)
        boxes.push_back(call);
    }
    return boxes;
  }

  fs::path dir;
  RecordingToolkit tk;
  ScriptedCommonDialogs dialogs;
  frmMain form{tk, dialogs};
};

TEST_F(frmMainSaveRace, AnotherProgramsSaveIsKeptAndSoAreTheEdits) {
  WriteGroupArchive((dir / "theirs").string(), {{"THEIRS.DAT", "their work"}});
  fs::rename(dir / "theirs", dir / "mod.grp");
  const auto theirs = fs::file_size(dir / "mod.grp");
  form.Click("mnufilesave");
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_NE(Boxes()[0].find("mod.grp\" has been changed by another program since it was opened. "
                            "Open it again.|48|"),
            std::string::npos)
      << Boxes()[0];
  EXPECT_EQ(fs::file_size(dir / "mod.grp"), theirs);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 2);
  EXPECT_TRUE(form.Archive->Changed());
  EXPECT_EQ(tk.Items("frmMain", "ListView1").size(), 3u);

  tk.Calls.clear();
  tk.MsgBoxAnswers = {vbNo};
  form.Click("mnufileexit");
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0], "MsgBox(File has changed.\r\nSave now?|36|Save Changes?)");
  EXPECT_TRUE(tk.Ended);
}

TEST_F(frmMainSaveRace, ATouchedArchiveIsSaved) {
  const timeval times[2] = {{1000000000, 0}, {1000000000, 0}};
  ::utimes((dir / "mod.grp").c_str(), times);
  form.Click("mnufilesave");
  EXPECT_TRUE(Boxes().empty()) << Boxes()[0];
  EXPECT_FALSE(form.Archive->Changed());
  clsVarnGRP saved;
  ASSERT_TRUE(saved.LoadFile((dir / "mod.grp").string()));
  EXPECT_EQ(saved.NumberOfFiles(), 3);
}

}  // namespace
}  // namespace halvarin
