// halvarin-grp against the rest of the program: the window makes the same
// archive from the same steps.

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ArchiveBytes.h"
#include "TempDir.h"
#include "RecordingToolkit.h"
#include "RunProgram.h"
#include "ScriptedCommonDialogs.h"
#include "frmMain.h"

namespace halvarin::testing {
namespace {

TEST(CrossCheckTest, WindowAndCommandLineWriteTheSameBytes) {
  TempDir dir;
  const std::vector<std::pair<std::string, std::string>> files = {
      {"LEVEL1.MAP", "map data"}, {"empty.voc", ""}, {"averyverylongname.art", "art"}, {"caf\xC3\xA9.mid", "music"}};
  for (const auto& [name, data] : files)
    WriteAll(dir / name, data);

  RecordingToolkit tk;
  ScriptedCommonDialogs dialogs;
  frmMain form{tk, dialogs};
  tk.Attach("frmMain", &form);
  tk.Show("frmMain");
  const auto click = [&](const char* command, const std::string& choice) {
    dialogs.PushChoice(choice);
    form.Click(command);
  };
  form.Click("mnuFileNew");
  for (int i = 0; i < 3; ++i)
    click("mnuitemadd", dir / files[i].first);
  click("mnufilesaveas", dir / "window");  // ".grp" is added
  const std::string created = ReadAll(dir / "window.grp");
  click("mnuFileOpen", dir / "window.grp");
  tk.Select("frmMain", "ListView1", 2);
  form.Click("mnuitemdelete");
  click("mnuitemadd", dir / files[3].first);
  form.Click("mnufilesave");

  const auto run = [&](const std::vector<std::string>& args) {
    EXPECT_EQ(RunProgram(HALVARIN_GRP, args, dir.Path()).Status, 0) << args[0];
  };
  run({"create", "line", files[0].first, files[1].first, files[2].first});
  EXPECT_EQ(ReadAll(dir / "line.grp"), created);
  run({"delete", "line.grp", "2"});
  run({"add", "line.grp", files[3].first});
  EXPECT_EQ(ReadAll(dir / "line.grp"), ReadAll(dir / "window.grp"));
}

}  // namespace
}  // namespace halvarin::testing
