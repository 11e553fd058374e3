// The file dialog object over the scripted dialog layer: what reaches the
// dialog in the record, and what the object makes of the dialog's answer.

#include <gtest/gtest.h>

#include <string>
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

class FileDialogTest : public testing::Test {
 protected:
  // The record the dialog received on the last show.
  const OPENFILENAMEA& Received() const { return dialogs_.Calls().back().record; }

  // Shows an open dialog that the user cancels, to see the record as it
  // stands.
  const OPENFILENAMEA& RecordOf(clsFileDialog& dialog) {
    dialogs_.PushCancel();
    dialog.ShowOpen();
    return Received();
  }

  ScriptedCommonDialogs dialogs_;
};

TEST_F(FileDialogTest, FilterIsEncodedForTheRecordAndReadsBackAsAssigned) {
  struct Case {
    std::string filter;
    std::string encoded;
  };
  const std::vector<Case> cases = {
      {"All Files|*.*", "All Files\0*.*\0\0"s},
      {"", "\0\0"s},
      {"All Files:*.*", "All Files\0*.*\0\0"s},
      {"Varn GRP Files|*.grp|", "Varn GRP Files\0*.grp\0\0\0"s},
      {"|a||b", "\0a\0\0b\0\0"s},
  };
  for (const Case& c : cases) {
    clsFileDialog dialog(dialogs_);
    dialog.Filter(c.filter);
    EXPECT_EQ(dialog.Filter(), c.filter);
    EXPECT_EQ(RecordOf(dialog).lpstrFilter, c.encoded) << c.filter;
  }
}

TEST_F(FileDialogTest, FilterOfThirtyTwoThousandSevenHundredSixtySevenOverflows) {
  clsFileDialog dialog(dialogs_);
  dialog.Filter("All Files|*.*");
  const std::string longest(32766, 'x');
  dialog.Filter(longest);
  EXPECT_EQ(RecordOf(dialog).lpstrFilter, longest + Nuls(2));

  const std::string tooLong(32767, 'y');
  try {
    dialog.Filter(tooLong);
    FAIL() << "no overflow";
  } catch (const AppError& error) {
    EXPECT_EQ(error.Number(), 6);
  }
  // The text is kept, the record still holds the previous encoding.
  EXPECT_EQ(dialog.Filter(), tooLong);
  EXPECT_EQ(RecordOf(dialog).lpstrFilter, longest + Nuls(2));
}

TEST_F(FileDialogTest, InitDirDefaultExtAndTitleReachTheRecord) {
  clsFileDialog dialog(dialogs_);
  dialog.InitDir("C:\\Games");
  dialog.DefaultExt("grp");
  dialog.DialogTitle("");
  EXPECT_EQ(dialog.InitDir(), "C:\\Games");
  EXPECT_EQ(dialog.DefaultExt(), "grp");
  const OPENFILENAMEA& ofn = RecordOf(dialog);
  EXPECT_EQ(ofn.lpstrInitialDir, "C:\\Games\0\0"s);
  EXPECT_EQ(ofn.lpstrDefExt, "grp\0\0"s);
  EXPECT_EQ(ofn.lpstrTitle, ""s);  // present, not null

  dialog.DialogTitle("Add File");
  dialog.InitDir("");
  dialog.DefaultExt(".map");  // stored as given: no dot removed
  dialog.hWnd(0x1234);
  EXPECT_EQ(dialog.DialogTitle(), "Add File");
  EXPECT_EQ(dialog.DefaultExt(), ".map");
  const OPENFILENAMEA& again = RecordOf(dialog);
  EXPECT_EQ(again.lpstrTitle, "Add File"s);  // no NUL added
  EXPECT_EQ(again.lpstrInitialDir, "\0\0"s);
  EXPECT_EQ(again.lpstrDefExt, ".map\0\0"s);
  EXPECT_EQ(again.hwndOwner, 0x1234);
}

TEST_F(FileDialogTest, FilenameAndTitleMustFitTheBuffer) {
  clsFileDialog dialog(dialogs_);
  dialog.filename(std::string(1024, 'a'));                        // the largest accepted
  EXPECT_EQ(RecordOf(dialog).lpstrFile, std::string(1024, 'a'));  // no NUL left

  try {
    dialog.filename(std::string(1025, 'b'));
    FAIL() << "no error";
  } catch (const AppError& error) {
    EXPECT_EQ(error.Number(), 5);
  }
  EXPECT_EQ(dialog.filename(), std::string(1025, 'b'));  // stored all the same

  // Too long for the show: refused before any dialog appears.
  const size_t callsBefore = dialogs_.Calls().size();
  EXPECT_THROW(dialog.ShowOpen(), AppError);
  EXPECT_THROW(dialog.ShowSave(), AppError);
  EXPECT_EQ(dialogs_.Calls().size(), callsBefore);
  EXPECT_EQ(dialog.filename(), std::string(1025, 'b'));

  // A multiple-selection open has room for 8192.
  dialog.flags(static_cast<int32_t>(OFN_ALLOWMULTISELECT));
  dialog.ShowOpen();
  EXPECT_EQ(Received().lpstrFile, std::string(1025, 'b') + Nuls(8192 - 1025));
  EXPECT_EQ(Received().nMaxFileTitle, 8192u);

  clsFileDialog titled(dialogs_);
  titled.FileTitle(std::string(1025, 't'));
  try {
    titled.ShowSave();
    FAIL() << "no error";
  } catch (const AppError& error) {
    EXPECT_EQ(error.Number(), 5);
  }
}

TEST_F(FileDialogTest, CancelIsQuietUnlessCancelErrorIsSet) {
  clsFileDialog fresh(dialogs_);
  dialogs_.PushCancel();
  EXPECT_NO_THROW(fresh.ShowSave());
  EXPECT_EQ(dialogs_.Calls().back().kind, ScriptedCommonDialogs::Kind::Save);
  EXPECT_EQ(fresh.filename(), "");

  clsFileDialog seeded(dialogs_);
  seeded.filename("a.grp");
  dialogs_.PushCancel();
  EXPECT_NO_THROW(seeded.ShowOpen());
  EXPECT_EQ(seeded.filename(), "a.grp");
  EXPECT_EQ(Received().lpstrFile, "a.grp" + Nuls(1019));

  seeded.CancelError(true);
  EXPECT_TRUE(seeded.CancelError());
  const std::string program = ExecutableName();
  EXPECT_EQ(program, "dialogs_tests");
  for (const bool save : {false, true}) {
    dialogs_.PushCancel();
    try {
      save ? seeded.ShowSave() : seeded.ShowOpen();
      FAIL() << "no cancel error";
    } catch (const AppError& error) {
      EXPECT_EQ(error.Number(), 32755);
      EXPECT_EQ(error.Source(), program + (save ? ".cFilenDialog" : ".cFileDialog"));
      EXPECT_EQ(error.Description(), "User selected cancel.");
    }
    EXPECT_EQ(seeded.filename(), "a.grp");
  }
}

TEST(ExecutableNameTest, DropsFolderAndLastExtension) {
  EXPECT_EQ(ExecutableBaseName("/usr/bin/halvarin"), "halvarin");
  EXPECT_EQ(ExecutableBaseName("/opt/tools.d/halvarin.exe"), "halvarin");
  EXPECT_EQ(ExecutableBaseName("halvarin.1.0.bin"), "halvarin.1.0");
  EXPECT_EQ(ExecutableBaseName("/home/u/.hidden"), ".hidden");
  EXPECT_EQ(ExecutableBaseName(""), "");
}

TEST_F(FileDialogTest, SingleSelectionOpenGivesThePathWithoutNuls) {
  clsFileDialog dialog(dialogs_);
  dialog.filename("/some/much/longer/seeded/name.grp");
  // A dialog that writes only the path and its terminator, leaving the tail
  // of the seed behind it, as the platform may.
  dialogs_.Push([](OPENFILENAMEA& ofn) {
    const std::string answer = "/Data/Maps.grp"s + '\0';
    ofn.lpstrFile->replace(0, answer.size(), answer);
    return 1;
  });
  dialog.ShowOpen();
  EXPECT_EQ(Received().Flags, 0u);
  EXPECT_EQ(dialog.filename(), "/Data/Maps.grp");

  dialogs_.PushChoice("/Data/Other.grp");
  dialog.ShowOpen();
  EXPECT_EQ(Received().lpstrFile, "/Data/Maps.grp" + Nuls(1024 - 14));
  EXPECT_EQ(dialog.filename(), "/Data/Other.grp");
}

TEST_F(FileDialogTest, MultipleSelectionOpenKeepsTheWholeBufferAndParses) {
  clsFileDialog dialog(dialogs_);
  dialog.flags(static_cast<int32_t>(OFN_ALLOWMULTISELECT));
  dialogs_.PushChoices("/Data", {"a.grp", "b.grp", "c.grp"});
  dialog.ShowOpen();
  EXPECT_EQ(Received().Flags, OFN_ALLOWMULTISELECT | OFN_EXPLORER);
  EXPECT_EQ(Received().nMaxFile, 8192u);
  EXPECT_EQ(dialog.flags(), static_cast<int32_t>(OFN_ALLOWMULTISELECT));  // no 0x80000 here
  const std::string answer = "/Data\0a.grp\0b.grp\0c.grp\0\0"s;
  ASSERT_EQ(dialog.filename().size(), 8192u);
  EXPECT_EQ(dialog.filename().substr(0, answer.size()), answer);

  std::string sDir = "old";
  std::vector<std::string> sFiles;
  int32_t lFileCount = 0;
  dialog.ParseMultiFileName(sDir, sFiles, lFileCount);
  EXPECT_EQ(sDir, "/Data");  // no separator added
  EXPECT_EQ(sFiles, (std::vector<std::string>{"a.grp", "b.grp", "c.grp"}));
  EXPECT_EQ(lFileCount, 3);

  // Names go after those already held; ones past the count are dropped.
  sFiles = {"x", "y", "stale"};
  lFileCount = 2;
  dialogs_.PushChoices("/Maps", {"e1m1.map", "e1m2.map"});
  dialog.ShowOpen();
  EXPECT_EQ(Received().lpstrFile->substr(0, answer.size()), answer);  // seeded with the answer
  dialog.ParseMultiFileName(sDir, sFiles, lFileCount);
  EXPECT_EQ(sDir, "/Maps");
  EXPECT_EQ(sFiles, (std::vector<std::string>{"x", "y", "e1m1.map", "e1m2.map"}));
  EXPECT_EQ(lFileCount, 4);

  // One file chosen: the path alone, whatever the lists held before.
  dialogs_.PushChoice("/Data/a.grp");
  dialog.ShowOpen();
  EXPECT_EQ(dialog.filename().substr(0, 13), "/Data/a.grp\0\0"s);
  dialog.ParseMultiFileName(sDir, sFiles, lFileCount);
  EXPECT_EQ(sDir, "/Data/");
  EXPECT_EQ(sFiles, std::vector<std::string>{"a.grp"});
  EXPECT_EQ(lFileCount, 1);

  // After a multiple-selection open, the name is too long to save under.
  EXPECT_THROW(dialog.ShowSave(), AppError);
}

TEST_F(FileDialogTest, ParseMultiFileNameCornerCases) {
  clsFileDialog dialog(dialogs_);
  dialog.flags(static_cast<int32_t>(OFN_ALLOWMULTISELECT));
  std::string sDir = "keep";
  std::vector<std::string> sFiles = {"keep"};
  int32_t lFileCount = 1;

  // Nothing to parse on a fresh object, or after a single-selection answer.
  for (const char* seed : {"", "/Data/a.grp"}) {
    clsFileDialog single(dialogs_);
    single.filename(seed);
    try {
      single.ParseMultiFileName(sDir, sFiles, lFileCount);
      FAIL() << "no error";
    } catch (const AppError& error) {
      EXPECT_EQ(error.Number(), 5);
    }
  }
  EXPECT_EQ(sDir, "keep");
  EXPECT_EQ(sFiles, std::vector<std::string>{"keep"});
  EXPECT_EQ(lFileCount, 1);

  // A negative count would index before the list: refused, nothing changes.
  dialogs_.PushChoices("/Data", {"a.grp", "b.grp"});
  dialog.ShowOpen();
  lFileCount = -1;
  EXPECT_THROW(dialog.ParseMultiFileName(sDir, sFiles, lFileCount), AppError);
  EXPECT_EQ(sDir, "keep");
  EXPECT_EQ(lFileCount, -1);

  // Behind the answer a platform may leave the tail of the seed; it is not
  // part of the answer.
  dialogs_.Push([](OPENFILENAMEA& ofn) {
    const std::string raw = "/D\0a\0b\0\0seed-tail\0c"s;
    ofn.lpstrFile->replace(0, raw.size(), raw);
    return 1;
  });
  dialog.ShowOpen();
  lFileCount = 0;
  dialog.ParseMultiFileName(sDir, sFiles, lFileCount);
  EXPECT_EQ(sDir, "/D");
  EXPECT_EQ(sFiles, (std::vector<std::string>{"a", "b"}));

#ifndef _WIN32
  // Here "\" belongs to the file name and does not split it.
  dialogs_.PushChoice("/Data/odd\\name.grp");
  dialog.ShowOpen();
  dialog.ParseMultiFileName(sDir, sFiles, lFileCount);
  EXPECT_EQ(sDir, "/Data/");
  EXPECT_EQ(sFiles, std::vector<std::string>{"odd\\name.grp"});
#endif
}

TEST_F(FileDialogTest, FilterIndexIsWrittenBackAndUsedByTheNextShow) {
  clsFileDialog dialog(dialogs_);
  dialog.Filter("Varn GRP Files|*.grp|All Files|*.*");
  dialogs_.PushChoice("/Data/readme.txt", 2);
  dialog.ShowOpen();
  EXPECT_EQ(Received().nFilterIndex, 1u);
  EXPECT_EQ(Received().Flags, 0u);
  EXPECT_EQ(Received().lpstrFile, Nuls(1024));
  EXPECT_EQ(dialog.FilterIndex(), 2);

  dialogs_.PushCancel();
  dialog.ShowSave();
  EXPECT_EQ(Received().nFilterIndex, 2u);
  EXPECT_EQ(Received().lpstrFile, "/Data/readme.txt" + Nuls(1024 - 16));

  dialog.FilterIndex(1);
  EXPECT_EQ(dialog.FilterIndex(), 1);
}

TEST_F(FileDialogTest, SaveIgnoresMultipleSelectionAndCutsAtTheFirstNul) {
  clsFileDialog dialog(dialogs_);
  dialog.flags(static_cast<int32_t>(OFN_ALLOWMULTISELECT | OFN_OVERWRITEPROMPT));
  dialogs_.Push([](OPENFILENAMEA& ofn) {
    const std::string raw = "/Data\0a.grp\0b.grp\0\0"s;
    ofn.lpstrFile->replace(0, raw.size(), raw);
    return 1;
  });
  dialog.ShowSave();
  EXPECT_EQ(Received().Flags, OFN_ALLOWMULTISELECT | OFN_OVERWRITEPROMPT);
  EXPECT_EQ(Received().nMaxFile, 1024u);
  EXPECT_EQ(Received().nMaxFileTitle, 1024u);
  EXPECT_EQ(dialog.filename(), "/Data");
}

TEST(DialogAnswerTest, AnswersThatDoNotFitAreRefusedUntouched) {
  OPENFILENAMEA ofn;
  ofn.lpstrFile = "seed" + Nuls(8);
  ofn.nMaxFile = 12;
  ofn.lpstrFileTitle = Nuls(12);
  ofn.nMaxFileTitle = 12;
  const OPENFILENAMEA before = ofn;

  EXPECT_FALSE(StoreSingleAnswer(ofn, "/d/abcdefg.x"));  // 12 + NUL > 12
  EXPECT_EQ(ofn.lpstrFile, before.lpstrFile);
  ASSERT_TRUE(StoreSingleAnswer(ofn, "/d/abcdef.x"));  // 12 with its NUL
  EXPECT_EQ(ofn.lpstrFile, "/d/abcdef.x\0"s);
  EXPECT_EQ(ofn.lpstrFileTitle, "abcdef.x" + Nuls(4));
  EXPECT_EQ(ofn.nFileOffset, 3);
  EXPECT_EQ(ofn.nFileExtension, 10);

  // A multiple selection needs room for both closing NULs.
  ofn.Flags = OFN_ALLOWMULTISELECT;
  EXPECT_FALSE(StoreSingleAnswer(ofn, "/d/abcdef.x"));
  EXPECT_FALSE(StoreMultipleAnswer(ofn, "/d", {"a", "bcdefg"}));  // 11 + 2 > 12
  ASSERT_TRUE(StoreMultipleAnswer(ofn, "/d", {"a", "bcde"}));
  EXPECT_EQ(ofn.lpstrFile, "/d\0a\0bcde\0\0\0"s);
  EXPECT_EQ(ofn.nFileOffset, 3);

  // A buffer shorter than nMaxFile claims is never written past.
  OPENFILENAMEA lying;
  lying.lpstrFile = Nuls(4);
  lying.nMaxFile = 1024;
  EXPECT_FALSE(StoreSingleAnswer(lying, "/abcd"));
  EXPECT_EQ(lying.lpstrFile, Nuls(4));
}

TEST(DialogAnswerTest, FilterPairsStopAtTheDoubleNul) {
  OPENFILENAMEA ofn;
  EXPECT_TRUE(FilterPairs(ofn).empty());
  ofn.lpstrFilter = "Varn GRP Files\0*.grp\0All Files\0*.*\0\0Hidden\0*.h\0\0"s;
  const std::vector<std::pair<std::string, std::string>> expected = {{"Varn GRP Files", "*.grp"},
                                                                     {"All Files", "*.*"}};
  EXPECT_EQ(FilterPairs(ofn), expected);
  ofn.lpstrFilter = "Lonely description\0\0"s;
  EXPECT_TRUE(FilterPairs(ofn).empty());
  ofn.lpstrFilter = "No terminator\0*.nt"s;
  EXPECT_EQ(FilterPairs(ofn).size(), 1u);
}

}  // namespace
}  // namespace halvarin
