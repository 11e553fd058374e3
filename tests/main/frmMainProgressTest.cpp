// A save cancelled in its progress window on the recording toolkit: inside
// "Save Changes?" it stops the command that asked, and no command runs while
// an operation does.

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
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

TEST(frmMainProgressTest, ACancelledSaveStopsTheCommandThatAskedAndKeepsTheEdits) {
  const fs::path dir = fs::temp_directory_path() / ("halvarin-progress-" + std::to_string(getpid()));
  fs::create_directories(dir);
  const std::string grp = (dir / "a.grp").string();
  WriteGroupArchive(grp, {{"LEVEL1.MAP", "map"}, {"TILES.ART", "art"}});
  const auto bytes = fs::file_size(grp);
  ScriptedCommonDialogs dialogs;
  RecordingToolkit tk;
  frmMain form{tk, dialogs};
  tk.Attach("frmMain", &form);
  tk.Show("frmMain");
  dialogs.PushChoice(grp);
  form.Click("mnuFileOpen");
  tk.Select("frmMain", "ListView1", 1);
  form.Click("mnuitemdelete");

  const std::vector<std::function<void()>> askers = {
      [&] { form.Click("mnuFileNew"); }, [&] { form.Click("mnuFileOpen"); },
      [&] { form.Click("mnufileexit"); }, [&] { tk.Close("frmMain"); }};
  for (const auto& ask : askers) {
    tk.Calls.clear();
    tk.MsgBoxAnswers = {vbYes};
    tk.CancelAtReport = 1;
    // Tried while the save runs: nothing happens.
    tk.DuringProgress = [&] {
      tk.Select("frmMain", "ListView1", 1);
      form.Click("mnuitemdelete");
      tk.Close("frmMain");
    };
    ask();
    // The question and the progress window, and no message after them.
    EXPECT_EQ(std::count_if(tk.Calls.begin(), tk.Calls.end(),
                            [](const std::string& call) { return call.rfind("MsgBox(", 0) == 0; }),
              1);
    EXPECT_EQ(tk.Reports.size(), 1u);
    EXPECT_EQ(fs::file_size(grp), bytes);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
    EXPECT_TRUE(form.Archive->Changed());
    EXPECT_TRUE(form.HasFile);
    EXPECT_EQ(tk.ListCount("frmMain", "ListView1"), 1);
    EXPECT_FALSE(tk.Ended);
  }
  EXPECT_EQ(dialogs.Calls().size(), 1u);  // the first Open's
  fs::remove_all(dir);
}

}  // namespace
}  // namespace halvarin
