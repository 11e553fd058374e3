// halvarin-grp against the rest of the program: the window makes the same
// archive from the same steps, and an independent JSON reader takes what
// list --json writes.

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

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
  const std::vector<std::pair<std::string, std::string>> files = {{"LEVEL1.MAP", "map data"},
                                                                  {"empty.voc", ""},
                                                                  {"averyverylongname.art", "art"},
                                                                  {"caf\xC3\xA9.mid", "music"}};
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
    const ProgramResult r = RunProgram(HALVARIN_GRP, args, dir.Path());
    EXPECT_EQ(r.Status, 0) << r.Err;
  };
  run({"create", "line", files[0].first, files[1].first, files[2].first});
  EXPECT_EQ(ReadAll(dir / "line.grp"), created);
  run({"delete", "line.grp", "2"});
  run({"add", "line.grp", files[3].first});
  EXPECT_EQ(ReadAll(dir / "line.grp"), ReadAll(dir / "window.grp"));
  EXPECT_EQ(ReadAll(dir / "line.grp").size(), 16u + 3 * 16 + 8 + 3 + 5);
}

TEST(CrossCheckTest, ListAsJsonReadsBackAsTheStoredNames) {
  TempDir dir;
  const std::string archive = "odd\xFF.grp";  // not UTF-8
  WriteAll(dir / archive, ArchiveBytes({{Padded("q\"\\\t\x81\xE9", '\0'), "12345"},
                                        {std::string("AB\0CD.TXT   ", 12), ""},
                                        {"TWELVE_CHARS", "x"}}));
  const ProgramResult r = RunProgram(HALVARIN_GRP, {"list", "--json", archive}, dir.Path());
  ASSERT_EQ(r.Status, 0) << r.Err;
  QJsonParseError error{};
  const QJsonDocument json = QJsonDocument::fromJson(QByteArray::fromStdString(r.Out), &error);
  ASSERT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString() << r.Out;

  EXPECT_EQ(json["archive"].toString().toStdString(), "odd\xEF\xBF\xBD.grp");
  const QJsonArray entries = json["entries"].toArray();
  ASSERT_EQ(entries.size(), 3);
  const auto text = [&](int i, const char* key) {
    return entries[i].toObject()[key].toString().toStdString();
  };
  EXPECT_EQ(text(0, "name"), "q\"\\\t\xC2\x81\xC3\xA9");
  EXPECT_EQ(text(0, "stored"), std::string("q\"\\\t\xC2\x81\xC3\xA9\0\0\0\0\0\0", 14));
  EXPECT_EQ(entries[0].toObject()["size"].toInt(), 5);
  EXPECT_EQ(entries[0].toObject()["position"].toInt(), 65);
  EXPECT_EQ(text(1, "name"), "AB");
  EXPECT_EQ(text(1, "stored"), std::string("AB\0CD.TXT   ", 12));
  EXPECT_EQ(entries[2].toObject()["index"].toInt(), 3);
  EXPECT_EQ(entries[2].toObject()["position"].toInt(), 70);
}

}  // namespace
}  // namespace halvarin::testing
