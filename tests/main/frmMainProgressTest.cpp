// Long operations of the main window on the recording toolkit: a save
// cancelled in its progress window, also inside "Save Changes?", and
// commands tried while an operation runs.

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include <unistd.h>

#include <gtest/gtest.h>

#include "RecordingToolkit.h"
#include "SampleArchive.h"
#include "ScriptedCommonDialogs.h"
#include "frmMain.h"

namespace halvarin {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class frmMainProgressTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("halvarin-progress-" + std::to_string(::getpid()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
    grp = dir / "a.grp";
    WriteGroupArchive(grp.string(), {{"LEVEL1.MAP", "map"}, {"TILES.ART", "art"}});
    std::ofstream(dir / "new.voc") << "voc";
    tk.Attach("frmMain", &form);
    tk.Show("frmMain");
    dialogs.PushChoice(grp.string());
    form.Click("mnuFileOpen");
    form.ListView1_OLEDragDrop(FakeDataObject(false, {(dir / "new.voc").string()}));
    before = ReadFile(grp);
    tk.Calls.clear();
  }
  void TearDown() override { fs::remove_all(dir); }

  ScriptedCommonDialogs dialogs;
  ScopedCommonDialogs scope{dialogs};
  RecordingToolkit tk;
  frmMain form{tk};
  fs::path dir;
  fs::path grp;
  std::string before;
};

TEST_F(frmMainProgressTest, ACancelledSaveStopsTheCommandThatAskedAndKeepsTheEdits) {
  const std::vector<std::function<void()>> askers = {
      [&] { form.Click("mnuFileNew"); },
      [&] { form.Click("mnuFileOpen"); },
      [&] { form.Click("mnufileexit"); },
      [&] { tk.Close("frmMain"); },
  };
  for (size_t k = 0; k < askers.size(); ++k) {
    SCOPED_TRACE(k);
    tk.Calls.clear();
    tk.MsgBoxAnswers = {vbYes};
    tk.CancelAtReport = 1;
    askers[k]();
    // The question, the progress window, and nothing after it: no message,
    // no dialog, no unload.
    ASSERT_GE(tk.Calls.size(), 2u);
    EXPECT_EQ(tk.Calls[tk.Calls.size() - 2].rfind("MsgBox(File has changed.", 0), 0u);
    EXPECT_EQ(tk.Calls.back(), "RunWithProgress(a.grp)");
    EXPECT_EQ(ReadFile(grp), before);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 2);
    EXPECT_TRUE(form.Archive->Changed());
    EXPECT_TRUE(form.HasFile);
    EXPECT_EQ(tk.ListCount("frmMain", "ListView1"), 3);
    EXPECT_FALSE(tk.Ended);
  }
  EXPECT_EQ(dialogs.Calls().size(), 1u);  // only the first Open's
}

TEST_F(frmMainProgressTest, NothingElseRunsWhileAnOperationDoes) {
  int tries = 0;
  tk.DuringProgress = [&] {
    ++tries;
    form.Click("mnuFileNew");
    form.Click("mnuitemdelete");
    form.DragDrop("ListView1", FakeDataObject(false, {(dir / "new.voc").string()}));
    tk.Close("frmMain");
  };
  tk.Select("frmMain", "ListView1", 1);
  form.Click("mnufilesave");
  EXPECT_GE(tries, 1);
  EXPECT_EQ(tk.Calls.front(), "RunWithProgress(a.grp)");
  EXPECT_EQ(tk.ListCount("frmMain", "ListView1"), 3);
  EXPECT_FALSE(form.Archive->Changed());
  EXPECT_EQ(form.Archive->NumberOfFiles(), 3);
  EXPECT_FALSE(tk.Ended);
}

}  // namespace
}  // namespace halvarin
