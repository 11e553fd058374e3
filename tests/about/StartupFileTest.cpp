// Start-up with files named on the command line, through the real main
// window on the offscreen platform, as main() runs it; and the reading of
// the command line itself.

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include "CommandLine.h"
#include "Program.h"
#include "SampleArchive.h"
#include "clsVarnGRP.h"

namespace halvarin {
namespace {

namespace fs = std::filesystem;

// Closes every message box that opens and keeps its text.
class MessageBoxCloser {
 public:
  MessageBoxCloser() {
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        texts.push_back(box->text().toStdString());
        box->accept();
      }
    });
    timer_.start(5);
  }
  std::vector<std::string> texts;

 private:
  QTimer timer_;
};

// Runs in a folder of its own, which is the current folder, as a shell
// would start the program there.
class StartupFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("halvarin-startup-" + std::to_string(getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    fs::current_path(dir_);
  }
  void TearDown() override {
    fs::current_path(fs::temp_directory_path());
    fs::remove_all(dir_);
  }
  fs::path dir_;
};

TEST_F(StartupFileTest, OpensARelativePathOfAnyBytesAndSavesBackToIt) {
  const std::string name = "caf\xe9 \xff.grp";  // not UTF-8: only the bytes name it
  WriteGroupArchive(name, SampleEntries());
  MessageBoxCloser boxes;
  Program program;
  program.Start({name});
  EXPECT_TRUE(boxes.texts.empty());
  ASSERT_EQ(program.toolkit.ListCount(frmMain::FormName, "ListView1"),
            static_cast<int32_t>(SampleEntries().size()));

  // Save writes back to the file named, even after the current folder moved.
  fs::current_path(fs::temp_directory_path());
  program.mainForm.Archive->deleteFile(1);
  program.mainForm.mnufilesave_Click();
  clsVarnGRP reread;
  ASSERT_TRUE(reread.LoadFile((dir_ / name).string()));
  EXPECT_EQ(reread.NumberOfFiles(), static_cast<int16_t>(SampleEntries().size() - 1));
}

TEST_F(StartupFileTest, RefusesWarnsOrOpensOnlyTheFirstAndStaysUsable) {
  WriteGroupArchive("a.grp", SampleEntries());
  WriteGroupArchive("b.grp", SampleEntries());
  std::ofstream("notes.txt") << "not an archive";
  std::ofstream("cut.grp", std::ios::binary) << std::string("Quorindavell\x05\0\0\0", 16);
  const auto opened = static_cast<int32_t>(SampleEntries().size());
  struct Case {
    std::vector<std::string> files;
    int32_t items;
    std::string message;  // within the one message shown
  };
  for (const Case& c : std::vector<Case>{
           {{"notes.txt"}, 0, "notes.txt is not a Varn GRP archive."},
           {{"cut.grp"}, 0, "cut.grp"},  // the warning names the damaged file
           {{"missing.grp"}, 0, "missing.grp"},
           {{"a.grp", "b.grp"},
            opened,
            "Only one archive is open at a time; the other file given was not opened."},
           {{"a.grp", "b.grp", "notes.txt"},
            opened,
            "Only one archive is open at a time; the 2 other files given were not opened."},
       }) {
    SCOPED_TRACE(c.files.back());
    MessageBoxCloser boxes;
    Program program;
    program.Start(c.files);
    ASSERT_EQ(boxes.texts.size(), 1u);
    EXPECT_NE(boxes.texts[0].find(c.message), std::string::npos) << boxes.texts[0];
    EXPECT_EQ(program.toolkit.ListCount(frmMain::FormName, "ListView1"), c.items);
    QWidget* window = program.toolkit.Window(frmMain::FormName);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible() && window->isEnabled());
  }
}

TEST(CommandLineTest, OptionsFilesAndTheEndOfOptions) {
  using A = CommandLine::Action;
  struct Case {
    std::vector<std::string> args;
    A action;
    std::vector<std::string> files;
  };
  for (const Case& c : std::vector<Case>{
           {{}, A::Run, {}},
           {{"x.grp", "-"}, A::Run, {"x.grp", "-"}},
           {{"--", "--version", "-h"}, A::Run, {"--version", "-h"}},
           {{"a.grp", "--version"}, A::Version, {}},
           {{"--bogus", "-h"}, A::Help, {}},
           {{"a.grp", "-x"}, A::Error, {"a.grp"}},
       }) {
    const CommandLine line = ParseCommandLine(c.args);
    EXPECT_EQ(line.action, c.action) << ::testing::PrintToString(c.args);
    if (c.action != A::Help && c.action != A::Version) {
      EXPECT_EQ(line.files, c.files);
    }
  }
}

}  // namespace
}  // namespace halvarin
