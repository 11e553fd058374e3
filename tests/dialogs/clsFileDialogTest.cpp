// The file dialog object over the scripted dialog layer: what reaches the
// dialog in the record, and what the object makes of the dialog's answer.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "AppError.h"
#include "ScriptedCommonDialogs.h"
#include "clsFileDialog.h"

namespace halvarin {
namespace {

using namespace std::string_literals;

std::string Nuls(size_t n) {
  return std::string(n, '\0');
}

// The error the action throws; number 0 when it throws none.
AppError Caught(const std::function<void()>& action) {
  try {
    action();
  } catch (const AppError& error) {
    return error;
  }
  return AppError(0, "", "");
}

class FileDialogTest : public ::testing::Test {
 protected:
  // The record as it reached the dialog on the last show.
  const OPENFILENAMEA& Received() const { return dialogs.Calls().back().record; }
  // The dialog writes `answer` over the start of the buffer, as a platform
  // does, leaving the rest of the seed behind it.
  void Answer(const std::string& answer) {
    dialogs.Push([=](OPENFILENAMEA& ofn) {
      ofn.lpstrFile->replace(0, answer.size(), answer);
      return 1;
    });
  }
  void Parse(int32_t count = 0) {
    lFileCount = count;
    dialog.ParseMultiFileName(sDir, sFiles, lFileCount);
  }
  ScriptedCommonDialogs dialogs;
  clsFileDialog dialog{dialogs};
  std::string sDir = "keep";
  std::vector<std::string> sFiles = {"keep"};
  int32_t lFileCount = 1;
};

// How "|" and ":" split a filter shows in the real dialogs' tests; here, how
// long a filter and a name may be.
TEST_F(FileDialogTest, FiltersAndNamesUpToTheirLimitsAreTakenLongerOnesRefused) {
  dialog.Filter(std::string(32766, 'x'));
  // One more overflows; the text is kept, the record keeps the last encoding.
  EXPECT_EQ(Caught([&] { dialog.Filter(std::string(32767, 'y')); }).Number(), errOverflow);
  EXPECT_EQ(dialog.Filter(), std::string(32767, 'y'));
  dialog.filename(std::string(1024, 'a'));
  dialog.ShowOpen();
  EXPECT_EQ(Received().lpstrFilter, std::string(32766, 'x') + Nuls(2));
  EXPECT_EQ(Received().nFilterIndex, 1u);                   // the first filter until one is chosen
  EXPECT_EQ(Received().lpstrFile, std::string(1024, 'a'));  // no NUL left
  // A longer name is stored all the same, and refused by any dialog before it shows.
  EXPECT_EQ(Caught([&] { dialog.filename(std::string(1025, 'b')); }).Number(), errInvalidArgument);
  EXPECT_EQ(dialog.filename(), std::string(1025, 'b'));
  EXPECT_EQ(Caught([&] { dialog.ShowOpen(); }).Number(), errInvalidArgument);
  EXPECT_EQ(dialogs.Calls().size(), 1u);
  // A multiple-selection open has room for 8192.
  dialog.flags(static_cast<int32_t>(OFN_ALLOWMULTISELECT));
  dialog.ShowOpen();
  EXPECT_EQ(Received().lpstrFile, std::string(1025, 'b') + Nuls(8192 - 1025));
  EXPECT_EQ(Received().nMaxFileTitle, 8192u);
  clsFileDialog titled(dialogs);
  titled.FileTitle(std::string(1025, 't'));
  EXPECT_EQ(Caught([&] { titled.ShowSave(); }).Number(), errInvalidArgument);
}

TEST_F(FileDialogTest, CancelIsQuietUnlessCancelErrorIsSet) {
  dialog.filename("a.grp");
  dialog.ShowSave();
  dialog.ShowOpen();
  EXPECT_EQ(dialog.filename(), "a.grp");
  dialog.CancelError(true);
  for (const bool save : {false, true}) {
    const AppError error = Caught([&] { save ? dialog.ShowSave() : dialog.ShowOpen(); });
    EXPECT_EQ(error.Number(), 32755);
    EXPECT_EQ(error.Source(), save ? "dialogs_tests.cFilenDialog" : "dialogs_tests.cFileDialog");
    EXPECT_EQ(error.Description(), "User selected cancel.");
    EXPECT_EQ(dialog.filename(), "a.grp");
  }
  // The name of this test program, in the source above, is one without an extension.
  for (const auto& [path, name] : {std::pair{"/opt/tools.d/halvarin.exe", "halvarin"},
                                   {"halvarin.1.0.bin", "halvarin.1.0"},
                                   {"/home/u/.hidden", ".hidden"},
                                   {"", ""}}) {
    EXPECT_EQ(ExecutableBaseName(path), name);
  }
}

// The filter index and the seeded answer come back through the real
// dialogs' tests; what only the record shows is kept here.
TEST_F(FileDialogTest, MultipleSelectionKeepsTheWholeBufferOnOpenOnly) {
  dialog.flags(static_cast<int32_t>(OFN_ALLOWMULTISELECT | OFN_OVERWRITEPROMPT));
  Answer("/Data\0a.grp\0b.grp\0\0"s);
  dialog.ShowSave();  // a save takes one name, cut at the first NUL
  EXPECT_EQ(Received().nMaxFile, 1024u);
  EXPECT_EQ(Received().Flags, OFN_ALLOWMULTISELECT | OFN_OVERWRITEPROMPT);
  EXPECT_EQ(dialog.filename(), "/Data");
  // Nothing to parse before a multiple-selection answer.
  EXPECT_EQ(Caught([&] { Parse(1); }).Number(), 5);
  dialogs.PushChoices("/Data", {"a.grp", "b.grp", "c.grp"});
  dialog.ShowOpen();
  EXPECT_EQ(Received().Flags, OFN_ALLOWMULTISELECT | OFN_OVERWRITEPROMPT | OFN_EXPLORER);
  EXPECT_EQ(dialog.flags(), static_cast<int32_t>(OFN_ALLOWMULTISELECT | OFN_OVERWRITEPROMPT));
  // A count that would index before the list is refused; nothing changes.
  EXPECT_NE(Caught([&] { Parse(-1); }).Number(), 0);
  EXPECT_EQ(sDir, "keep");
  // Names go after the count already held; entries past it are dropped.
  sFiles = {"x", "y", "stale"};
  Parse(2);
  EXPECT_EQ(sDir, "/Data");
  EXPECT_EQ(sFiles, (std::vector<std::string>{"x", "y", "a.grp", "b.grp", "c.grp"}));
  EXPECT_EQ(lFileCount, 5);
  // The answer, then the folder and the names parsed from it.
  for (const auto& [answer, dir, files] :
       std::vector<std::tuple<std::string, std::string, std::vector<std::string>>>{
           {"/Data/a.grp\0"s, "/Data/", {"a.grp"}},  // one file: the path alone
           {"/D\0a\0b\0\0seed-tail\0c"s, "/D", {"a", "b"}},
#ifndef _WIN32
           {"/Data/odd\\name.grp\0"s, "/Data/", {"odd\\name.grp"}},  // "\" is part of a name here
#endif
       }) {
    Answer(answer + '\0');
    dialog.ShowOpen();
    Parse();
    EXPECT_EQ(sDir, dir);
    EXPECT_EQ(sFiles, files);
    EXPECT_EQ(lFileCount, static_cast<int32_t>(files.size()));
  }
}

TEST(DialogAnswerTest, AnswersThatDoNotFitAreRefusedUntouched) {
  OPENFILENAMEA ofn;
  ofn.lpstrFile = "seed" + Nuls(8);
  ofn.nMaxFile = ofn.nMaxFileTitle = 12;
  ofn.lpstrFileTitle = Nuls(12);
  EXPECT_FALSE(StoreSingleAnswer(ofn, "/d/abcdefg.x"));  // 12 + NUL > 12
  EXPECT_EQ(ofn.lpstrFile, "seed" + Nuls(8));
  ASSERT_TRUE(StoreSingleAnswer(ofn, "/d/abcdef.x"));  // its bytes show in the real dialogs' tests
  EXPECT_EQ(ofn.lpstrFileTitle, "abcdef.x" + Nuls(4));
  EXPECT_EQ(ofn.nFileOffset * 100 + ofn.nFileExtension, 310);
  // A multiple selection needs room for both closing NULs.
  ofn.Flags = OFN_ALLOWMULTISELECT;
  EXPECT_FALSE(StoreSingleAnswer(ofn, "/d/abcdef.x"));
  EXPECT_FALSE(StoreMultipleAnswer(ofn, "/d", {"a", "bcdefg"}));  // 11 + 2 > 12
  ASSERT_TRUE(StoreMultipleAnswer(ofn, "/d", {"a", "bcde"}));
  EXPECT_EQ(ofn.nFileOffset, 3);
  // A buffer shorter than nMaxFile claims is never written past.
  ofn.lpstrFile = Nuls(4);
  ofn.nMaxFile = 1024;
  EXPECT_FALSE(StoreSingleAnswer(ofn, "/abcd"));

  // Filter pairs stop at the double NUL.
  EXPECT_TRUE(FilterPairs(OPENFILENAMEA()).empty());
  ofn.lpstrFilter = "Varn GRP Files\0*.grp\0All Files\0*.*\0\0Hidden\0*.h\0\0"s;
  EXPECT_EQ(FilterPairs(ofn).size(), 2u);  // the pairs themselves show in the real dialogs
  ofn.lpstrFilter = "Lonely description\0\0"s;
  EXPECT_TRUE(FilterPairs(ofn).empty());
  ofn.lpstrFilter = "No terminator\0*.nt"s;
  EXPECT_EQ(FilterPairs(ofn).size(), 1u);
}

}  // namespace
}  // namespace halvarin
