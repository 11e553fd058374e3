// Start-up with files named on the command line, through the real main
// window on the offscreen platform, as main() runs it; and the reading of
// the command line itself.

#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>
#include <QListWidget>
#include <QMessageBox>

#include "CommandLine.h"
#include "Program.h"
#include "QtWatch.h"
#include "SampleArchive.h"
#include "TempDir.h"
#include "clsVarnGRP.h"

namespace halvarin {
namespace {

namespace fs = std::filesystem;

// Runs in a folder of its own, which is the current folder, as a shell
// would start the program there; returns the text of every message shown.
class StartupFileTest : public ::testing::Test {
 protected:
  void SetUp() override { fs::current_path(dir.Path()); }
  void TearDown() override { fs::current_path(fs::temp_directory_path()); }
  std::vector<std::string> Start(Program& program, const std::vector<std::string>& files) {
    std::vector<std::string> texts;
    testing::WatchModals(
        [&] { program.Start(files); },
        [&](QWidget* w) { texts.push_back(qobject_cast<QMessageBox*>(w)->text().toStdString()); });
    return texts;
  }
  testing::TempDir dir;
};

TEST_F(StartupFileTest, OpensARelativePathOfAnyBytesAndSavesBackToIt) {
  // Not UTF-8, only the bytes name it; and named like one of Qt's options.
  const std::string name = "-reverse caf\xe9 \xff.grp";
  WriteGroupArchive(name, SampleEntries());
  Program program;
  EXPECT_TRUE(Start(program, ParseCommandLine({"--", name}).files).empty());
  ASSERT_EQ(program.toolkit.ListCount(frmMain::FormName, "ListView1"),
            static_cast<int32_t>(SampleEntries().size()));

  // Save writes back to the file named, even after the current folder moved.
  fs::current_path(fs::temp_directory_path());
  program.toolkit.Window(frmMain::FormName)->findChild<QListWidget*>()->setCurrentRow(0);
  program.mainForm.mnuitemdelete_Click();
  program.mainForm.mnufilesave_Click();  // throws rather than showing a box
  clsVarnGRP reread;
  ASSERT_TRUE(reread.LoadFile(dir / name));
  EXPECT_EQ(reread.NumberOfFiles(), static_cast<int16_t>(SampleEntries().size() - 1));
}

TEST_F(StartupFileTest, RefusesWarnsOrOpensOnlyTheFirstAndStaysUsable) {
  WriteGroupArchive("a.grp", SampleEntries());
  WriteGroupArchive("b.grp", SampleEntries());
  std::ofstream("notes.txt") << "not an archive";
  const auto opened = static_cast<int32_t>(SampleEntries().size());
  // The files named, the entries then listed, and a text found in the one message shown.
  const std::string the = "Only one archive is open at a time; the ";
  for (const auto& [files, items, message] :
       std::vector<std::tuple<std::vector<std::string>, int32_t, std::string>>{
           {{"notes.txt"}, 0, "notes.txt is not a Varn GRP archive."},
           {{"missing.grp"}, 0, "missing.grp"},  // thrown, not returned: a box all the same
           {{"a.grp", "b.grp"}, opened, the + "other file given was not opened."},
           {{"a.grp", "b.grp", "notes.txt"}, opened, the + "2 other files given were not opened."},
       }) {
    SCOPED_TRACE(files.back());
    Program program;
    const auto texts = Start(program, files);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_NE(texts[0].find(message), std::string::npos) << texts[0];
    EXPECT_EQ(program.toolkit.ListCount(frmMain::FormName, "ListView1"), items);
    QWidget* window = program.toolkit.Window(frmMain::FormName);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->isEnabled());
  }
}

// Qt gets its own options and nothing else: never a file, even one named
// like its options after "--".
TEST(CommandLineTest, OptionsFilesAndTheEndOfOptions) {
  using A = CommandLine::Action;
  using Args = std::vector<std::string>;
  for (const auto& [args, action, files, forQt] : std::vector<std::tuple<Args, A, Args, Args>>{
           {Args{}, A::Run, Args{}, Args{}},
           {{"x.grp", "-"}, A::Run, {"x.grp", "-"}, {}},
           {{"--", "--version", "-h"}, A::Run, {"--version", "-h"}, {}},
           {{"-platform", "offscreen", "-reverse", "--style=fusion", "a.grp", "--", "-reverse",
             "-platform", "x.grp"},
            A::Run,
            {"a.grp", "-reverse", "-platform", "x.grp"},
            {"-platform", "offscreen", "-reverse", "--style=fusion"}},
           {{"a.grp", "--version"}, A::Version, {}, {}},
           {{"--bogus", "-h"}, A::Help, {}, {}},
           {{"a.grp", "-x"}, A::Error, {"a.grp"}, {}},
           {{"a.grp", "-platform"}, A::Error, {"a.grp"}, {}}}) {
    const CommandLine line = ParseCommandLine(args);
    EXPECT_EQ(line.action, action) << ::testing::PrintToString(args);
    EXPECT_TRUE(action == A::Help || action == A::Version ||
                (line.files == files && line.platformOptions == forQt))
        << ::testing::PrintToString(args);
  }
}

}  // namespace
}  // namespace halvarin
