// The main window's commands end to end on the recording toolkit, with
// scripted dialog and message-box answers and real archives on disk.

#include <filesystem>
#include <fstream>
#include <iterator>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "FileNames.h"
#include "RecordingToolkit.h"
#include "SampleArchive.h"
#include "ScriptedCommonDialogs.h"
#include "frmMain.h"

namespace halvarin {
namespace {

namespace fs = std::filesystem;
using Item = RecordingToolkit::Item;
using Kind = ScriptedCommonDialogs::Kind;

const std::string kQuestion = "MsgBox(File has changed.\r\nSave now?|36|Save Changes?)";

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// Entry names and data of an archive on disk, names as stored.
std::vector<ArchiveEntry> ReadArchive(const fs::path& path) {
  clsVarnGRP archive;
  EXPECT_TRUE(archive.LoadFile(path.string()));
  const std::string bytes = ReadFile(path);
  std::vector<ArchiveEntry> entries;
  for (int16_t i = 1; i <= archive.NumberOfFiles(); ++i) {
    entries.push_back(
        {archive.filename(i), bytes.substr(static_cast<size_t>(archive.FilePosition(i) - 1),
                                           static_cast<size_t>(archive.FileSize(i)))});
  }
  return entries;
}

std::string Text(const std::optional<std::string>& field) {
  return field ? *field : std::string("<null>");
}

class frmMainCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir =
        fs::temp_directory_path() /
        ("halvarin-commands-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
         "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
    // A wrong relative path then lands in the test's folder, nowhere else.
    previousDir = fs::current_path();
    fs::current_path(dir);
    tk.Attach("frmMain", &form);
    tk.Show("frmMain");
    tk.Calls.clear();
  }
  void TearDown() override {
    fs::current_path(previousDir);
    fs::remove_all(dir);
  }

  std::vector<Item>& List() { return tk.Items("frmMain", "ListView1"); }
  std::vector<std::string> ListTexts() {
    std::vector<std::string> texts;
    for (const Item& item : List()) {
      texts.push_back(item.Text);
    }
    return texts;
  }
  void Select(int32_t position) { tk.Select("frmMain", "ListView1", position); }

  // The message boxes shown so far, in order.
  std::vector<std::string> Boxes() const {
    std::vector<std::string> boxes;
    for (const std::string& call : tk.Calls) {
      if (call.rfind("MsgBox(", 0) == 0) {
        boxes.push_back(call);
      }
    }
    return boxes;
  }
  static std::string ErrorBox(const std::string& description) {
    return "MsgBox(" + description + "|48|Halvarin)";
  }

  fs::path Archive(const std::string& name, const std::vector<ArchiveEntry>& entries) {
    const fs::path path = dir / name;
    WriteGroupArchive(path.string(), entries);
    return path;
  }
  fs::path DiskFile(const std::string& name, const std::string& bytes) {
    const fs::path path = dir / name;
    WriteFile(path, bytes);
    return path;
  }

  // File > Open of `path` through the scripted dialog.
  void Open(const fs::path& path) {
    dialogs.PushChoice(path.string());
    form.Click("mnuFileOpen");
  }
  // Item > Add Item of `path`.
  void Add(const fs::path& path) {
    dialogs.PushChoice(path.string());
    form.Click("mnuitemadd");
  }

  RecordingToolkit tk;
  frmMain form{tk};
  ScriptedCommonDialogs dialogs;
  ScopedCommonDialogs scope{dialogs};
  fs::path dir;
  fs::path previousDir;
};

const std::vector<ArchiveEntry> kThree = {
    {"LEVEL1.MAP", "map data"}, {std::string("TILES.ART\0\0\0", 12), "art"}, {"SONG.MID", "mid"}};

TEST_F(frmMainCommandsTest, NoQuestionWithoutChangesAndTheExactQuestionWithThem) {
  const fs::path grp = Archive("three.grp", kThree);
  Open(grp);
  form.Click("mnuFileNew");
  Open(grp);
  EXPECT_TRUE(Boxes().empty());

  Add(DiskFile("extra.voc", "voc"));
  tk.MsgBoxAnswers = {vbNo};
  form.Click("mnuFileNew");
  EXPECT_EQ(Boxes(), std::vector<std::string>{kQuestion});
  EXPECT_TRUE(List().empty());
  EXPECT_FALSE(form.HasFile);
  // No: nothing written.
  EXPECT_EQ(ReadArchive(grp).size(), 3u);

  // Exit from an unchanged document ends at once.
  tk.Calls.clear();
  form.Click("mnufileexit");
  EXPECT_TRUE(Boxes().empty());
  EXPECT_TRUE(tk.Ended);
  EXPECT_FALSE(tk.IsLoaded("frmMain"));
}

TEST_F(frmMainCommandsTest, YesSavesSilentlyWithAFileAndThroughSaveAsWithout) {
  const fs::path grp = Archive("three.grp", kThree);
  Open(grp);
  Add(DiskFile("extra.voc", "voc!"));
  const size_t dialogsBefore = dialogs.Calls().size();
  tk.MsgBoxAnswers = {vbYes};
  Open(grp);  // Yes saves back without a dialog, then the Open dialog shows
  ASSERT_EQ(dialogs.Calls().size(), dialogsBefore + 1);
  EXPECT_EQ(dialogs.Calls().back().kind, Kind::Open);
  const std::vector<ArchiveEntry> saved = ReadArchive(grp);
  ASSERT_EQ(saved.size(), 4u);
  EXPECT_EQ(saved[3].Name, "extra.voc   ");
  EXPECT_EQ(saved[3].Data, "voc!");
  EXPECT_EQ(ListTexts(), (std::vector<std::string>{"LEVEL1.MAP  ", "TILES.ART", "SONG.MID    ",
                                                   "extra.voc   "}));

  // Untitled: Yes shows Save As first, then New goes on.
  form.Click("mnuFileNew");
  Add(DiskFile("a.art", "aaa"));
  const fs::path target = dir / "new.grp";
  tk.MsgBoxAnswers = {vbYes};
  dialogs.PushChoice(target.string());
  form.Click("mnuFileNew");
  ASSERT_EQ(dialogs.Calls().back().kind, Kind::Save);
  const OPENFILENAMEA& record = dialogs.Calls().back().record;
  EXPECT_EQ(Text(record.lpstrFilter), std::string("Varn GRP Files\0*.grp\0All Files\0*.*\0\0", 36));
  EXPECT_EQ(Text(record.lpstrInitialDir), "<null>");
  EXPECT_EQ(record.Flags, OFN_OVERWRITEPROMPT);
  EXPECT_EQ(Text(record.lpstrDefExt), std::string("grp\0\0", 5));
  EXPECT_EQ(record.nFilterIndex, 1u);
  EXPECT_EQ(ReadArchive(target).size(), 1u);
  EXPECT_TRUE(List().empty());
  EXPECT_FALSE(form.HasFile);
}

TEST_F(frmMainCommandsTest, YesThenCancelAtExitStillEnds) {
  Add(DiskFile("a.art", "aaa"));
  tk.MsgBoxAnswers = {vbYes};
  dialogs.PushCancel();
  form.Click("mnufileexit");
  EXPECT_EQ(Boxes(), std::vector<std::string>{kQuestion});
  EXPECT_EQ(dialogs.Calls().back().kind, Kind::Save);
  EXPECT_TRUE(tk.Ended);
  EXPECT_FALSE(tk.IsLoaded("frmMain"));
  EXPECT_EQ(form.Archive, nullptr);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);  // a.art
}

TEST_F(frmMainCommandsTest, AFailedSaveAfterYesStopsTheCommandAndKeepsTheEdits) {
  const fs::path grp = Archive("three.grp", kThree);
  Open(grp);
  const std::string before = ReadFile(grp);
  // Queued, then gone before the save: the save must fail.
  const fs::path gone = DiskFile("gone.voc", "x");
  Add(gone);
  fs::remove(gone);

  for (const char* command : {"mnufileexit", "mnuFileNew", "mnuFileOpen"}) {
    tk.Calls.clear();
    tk.MsgBoxAnswers = {vbYes};
    const size_t dialogsBefore = dialogs.Calls().size();
    form.Click(command);
    const std::vector<std::string> boxes = Boxes();
    ASSERT_EQ(boxes.size(), 2u) << command;
    EXPECT_EQ(boxes[0], kQuestion);
    EXPECT_NE(boxes[1].find("gone.voc"), std::string::npos) << boxes[1];
    EXPECT_NE(boxes[1].find("|48|Halvarin)"), std::string::npos) << boxes[1];
    EXPECT_EQ(dialogs.Calls().size(), dialogsBefore) << command;  // Open's dialog never showed
    EXPECT_FALSE(tk.Ended) << command;
    EXPECT_TRUE(tk.IsLoaded("frmMain"));
    ASSERT_NE(form.Archive, nullptr);
    EXPECT_TRUE(form.Archive->Changed());
    EXPECT_TRUE(form.HasFile);
    EXPECT_EQ(List().size(), 4u);
    EXPECT_EQ(ReadFile(grp), before);
  }

  // Closing the window: the same failure keeps it open, with the edits.
  tk.Calls.clear();
  tk.MsgBoxAnswers = {vbYes};
  tk.Close("frmMain");
  EXPECT_EQ(Boxes().size(), 2u);
  EXPECT_FALSE(tk.Ended);
  EXPECT_TRUE(tk.IsLoaded("frmMain"));
  EXPECT_EQ(List().size(), 4u);
  EXPECT_TRUE(form.Archive->Changed());

  // Deleting the missing file makes the save work again.
  Select(4);
  form.Click("mnuitemdelete");
  tk.MsgBoxAnswers = {vbYes};
  form.Click("mnufileexit");
  EXPECT_TRUE(tk.Ended);
  EXPECT_EQ(ReadArchive(grp).size(), 3u);
}

TEST_F(frmMainCommandsTest, ClosingTheWindowAsksOnceWhateverTheAnswer) {
  for (int32_t answer : {vbNo, vbYes}) {
    RecordingToolkit tk2;
    frmMain form2(tk2);
    ScriptedCommonDialogs dialogs2;
    ScopedCommonDialogs scope2(dialogs2);
    tk2.Attach("frmMain", &form2);
    tk2.Show("frmMain");
    dialogs2.PushChoice(DiskFile("a.art", "aaa").string());
    form2.Click("mnuitemadd");
    tk2.MsgBoxAnswers = {answer};
    dialogs2.PushCancel();  // the Save As after Yes
    tk2.Close("frmMain");
    int questions = 0;
    for (const std::string& call : tk2.Calls) {
      questions += call == kQuestion ? 1 : 0;
    }
    EXPECT_EQ(questions, 1) << answer;
    EXPECT_TRUE(tk2.Ended);
    EXPECT_FALSE(tk2.IsLoaded("frmMain"));
    EXPECT_EQ(dialogs2.Calls().size(), answer == vbYes ? 2u : 1u);
  }
}

TEST_F(frmMainCommandsTest, OpenCancelledOrNotAnArchiveChangesNothing) {
  const fs::path grp = Archive("three.grp", kThree);
  Open(grp);
  const OPENFILENAMEA& record = dialogs.Calls().back().record;
  EXPECT_EQ(Text(record.lpstrFilter), std::string("Varn GRP Files\0*.grp\0All Files\0*.*\0\0", 36));
  EXPECT_EQ(Text(record.lpstrInitialDir), tk.Path + std::string(2, '\0'));
  EXPECT_EQ(Text(record.lpstrTitle), "<null>");
  EXPECT_EQ(record.Flags, 0u);
  Add(DiskFile("extra.voc", "voc"));
  const std::vector<Item> list = List();

  tk.MsgBoxAnswers = {vbNo};
  dialogs.PushCancel();
  form.Click("mnuFileOpen");
  EXPECT_EQ(List(), list);
  EXPECT_TRUE(form.HasFile);
  EXPECT_TRUE(form.Archive->Changed());

  const fs::path text = DiskFile("notes.txt", "just some words, not an archive");
  tk.Calls.clear();
  tk.MsgBoxAnswers = {vbNo};
  Open(text);
  EXPECT_EQ(Boxes(), (std::vector<std::string>{
                         kQuestion, "MsgBox(notes.txt is not a Varn GRP archive.|0|Halvarin)"}));
  EXPECT_EQ(List(), list);
  EXPECT_TRUE(form.HasFile);
  // Still tied to the archive: Save writes there, and never to the rejected file.
  form.Click("mnufilesave");
  EXPECT_EQ(ReadArchive(grp).size(), 4u);
  EXPECT_EQ(ReadFile(text), "just some words, not an archive");

  // Untitled stays untitled.
  form.Click("mnuFileNew");
  Open(text);
  EXPECT_FALSE(form.HasFile);
  const size_t dialogsBefore = dialogs.Calls().size();
  dialogs.PushCancel();
  form.Click("mnufilesave");
  ASSERT_EQ(dialogs.Calls().size(), dialogsBefore + 1);
  EXPECT_EQ(dialogs.Calls().back().kind, Kind::Save);
}

TEST_F(frmMainCommandsTest, SaveAsWithoutADotThenSaveToTheSameFile) {
  Add(DiskFile("a.art", "aaa"));
  const fs::path chosen = dir / "noext";
  dialogs.PushChoice(chosen.string());
  form.Click("mnufilesave");  // untitled: Save is Save As
  EXPECT_TRUE(form.HasFile);
  EXPECT_FALSE(fs::exists(chosen));
  const fs::path written = dir / "noext.grp";
  ASSERT_EQ(ReadArchive(written).size(), 1u);

  Add(DiskFile("b.map", "bbbb"));
  const size_t dialogsBefore = dialogs.Calls().size();
  form.Click("mnufilesave");
  EXPECT_EQ(dialogs.Calls().size(), dialogsBefore);
  const std::vector<ArchiveEntry> entries = ReadArchive(written);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[1].Data, "bbbb");
  EXPECT_FALSE(form.Archive->Changed());
  EXPECT_EQ(ListTexts(), (std::vector<std::string>{"a.art       ", "b.map       "}));

  // Save As cancelled: nothing written, still tied to the same file.
  Add(DiskFile("c.mid", "c"));
  dialogs.PushCancel();
  form.Click("mnufilesaveas");
  EXPECT_TRUE(form.HasFile);
  EXPECT_TRUE(form.Archive->Changed());
  EXPECT_EQ(ReadArchive(written).size(), 2u);
}

TEST_F(frmMainCommandsTest, DeleteAndExtractKeepListAndArchiveInStep) {
  const fs::path grp = Archive("five.grp", {{"ONE.MAP", "1"},
                                            {"TWO.ART", "22"},
                                            {"THREE.VOC", "333"},
                                            {"FOUR.MID", "4444"},
                                            {"FIVE.ANM", "55555"}});
  Open(grp);
  Add(DiskFile("six.dmo", "666666"));
  Add(DiskFile("seven.txt", "7777777"));
  ASSERT_EQ(List().size(), 7u);

  Select(2);
  form.Click("mnuitemdelete");
  EXPECT_EQ(ListTexts(), (std::vector<std::string>{"ONE.MAP     ", "THREE.VOC   ", "FOUR.MID    ",
                                                   "FIVE.ANM    ", "six.dmo", "seven.txt"}));
  // The item now at 4 is the entry that was fifth.
  Select(4);
  const fs::path out = dir / "out.bin";
  dialogs.PushChoice(out.string());
  form.Click("mnuitemextract");
  EXPECT_EQ(ReadFile(out), "55555");
  const OPENFILENAMEA& record = dialogs.Calls().back().record;
  EXPECT_EQ(dialogs.Calls().back().kind, Kind::Save);
  EXPECT_EQ(Text(record.lpstrFilter), std::string("All Files\0*.*\0\0", 15));
  EXPECT_EQ(Text(record.lpstrInitialDir), "<null>");
  EXPECT_EQ(record.lpstrFile->substr(0, record.lpstrFile->find('\0')), "FIVE.ANM");

  // Extract of a queued file: the dialog shows, nothing is written.
  Select(5);
  const fs::path queuedOut = dir / "queued.bin";
  const size_t dialogsBefore = dialogs.Calls().size();
  dialogs.PushChoice(queuedOut.string());
  form.Click("mnuitemextract");
  EXPECT_EQ(dialogs.Calls().size(), dialogsBefore + 1);
  EXPECT_EQ(dialogs.Calls().back().record.lpstrFile->substr(0, 7), "six.dmo");
  EXPECT_FALSE(fs::exists(queuedOut));

  // Deleting a queued file drops it from the save.
  form.Click("mnuitemdelete");
  EXPECT_EQ(List().size(), 5u);
  form.Click("mnufilesave");
  const std::vector<ArchiveEntry> saved = ReadArchive(grp);
  ASSERT_EQ(saved.size(), 5u);
  EXPECT_EQ(saved[3].Data, "55555");
  EXPECT_EQ(saved[4].Name, "seven.txt   ");
  EXPECT_EQ(saved[4].Data, "7777777");
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(frmMainCommandsTest, DeleteAndExtractWithoutASelectionDoNothing) {
  Open(Archive("three.grp", kThree));
  const size_t dialogsBefore = dialogs.Calls().size();
  Select(0);
  form.Click("mnuitemdelete");
  form.Click("mnuitemextract");
  EXPECT_EQ(List().size(), 3u);
  EXPECT_FALSE(form.Archive->Changed());
  EXPECT_EQ(dialogs.Calls().size(), dialogsBefore);
  EXPECT_TRUE(Boxes().empty());

  form.Click("mnuFileNew");  // an empty list
  form.Click("mnuitemdelete");
  form.Click("mnuitemextract");
  EXPECT_TRUE(Boxes().empty());
  EXPECT_EQ(dialogs.Calls().size(), dialogsBefore);
}

TEST_F(frmMainCommandsTest, ExtractTellsCancelFromConfirmByTheDialogsResult) {
  const fs::path grp = Archive("three.grp", kThree);
  Open(grp);
  Select(1);
  // The platform leaves the preset name in the buffer on cancel; that is
  // still a cancel.
  dialogs.Push([](OPENFILENAMEA&) { return 0; });
  form.Click("mnuitemextract");
  EXPECT_FALSE(fs::exists(dir / "LEVEL1.MAP"));
  EXPECT_TRUE(Boxes().empty());

  // Confirming exactly the offered name writes the entry.
  const fs::path target = dir / "LEVEL1.MAP";
  dialogs.PushChoice(target.string());
  form.Click("mnuitemextract");
  EXPECT_EQ(ReadFile(target), "map data");
  EXPECT_FALSE(form.Archive->Changed());
}

TEST_F(frmMainCommandsTest, OfferedExtractNameCannotLeaveTheFolder) {
  struct Case {
    std::string stored;
    std::string offered;
  };
  const std::vector<Case> cases = {
      {std::string("AB.MAP\0\0\0\0\0\0", 12), "AB.MAP"},
      {"README      ", "README"},
      {std::string("A.MAP\0junk!!", 12), "A.MAP"},
      {"..\\..\\x.bat ", ".._.._x.bat"},
      {"/etc/passwd ", "_etc_passwd"},
      {std::string("..\0\0\0\0\0\0\0\0\0\0", 12), "entry"},
      {".           ", "entry"},
      {"            ", "entry"},
      {std::string("\0\0\0\0\0\0\0\0\0\0\0\0", 12), "entry"},
      {"C:boot.ini  ", "C_boot.ini"},
      {"a\tb\x7f"
       "c.txt   ",
       "a_b_c.txt"},
      {"CON.TXT     ", "_CON.TXT"},
      {"\xC9T\xC9.VOC    ", "\xC3\x89T\xC3\x89.VOC"},
      {"BAD\x81\x9D.ART  ", "BAD__.ART"},
  };
  std::vector<ArchiveEntry> entries;
  for (const Case& c : cases) {
    entries.push_back({c.stored, "x"});
  }
  Open(Archive("hostile.grp", entries));
  for (size_t i = 0; i < cases.size(); ++i) {
    Select(static_cast<int32_t>(i + 1));
    dialogs.PushCancel();
    form.Click("mnuitemextract");
    const std::string& buffer = *dialogs.Calls().back().record.lpstrFile;
    EXPECT_EQ(buffer.substr(0, buffer.find('\0')), cases[i].offered) << i;
  }
  EXPECT_TRUE(Boxes().empty());

  // Names of queued files come from their item.
  EXPECT_EQ(SafeFileName("a long queued name.txt"), "a long queued name.txt");
  EXPECT_EQ(SafeFileName("lpt1"), "_lpt1");
  EXPECT_EQ(SafeFileName("COM10.txt"), "COM10.txt");
  EXPECT_EQ(SafeFileName("name..."), "name");
  EXPECT_EQ(SafeFileName("..a"), "..a");
}

TEST_F(frmMainCommandsTest, DroppedFilesAreAddedInOrderAndTheRestSkipped) {
  Open(Archive("three.grp", kThree));
  const fs::path a = DiskFile("b first.art", "a");
  const fs::path b = DiskFile("a second.map", "bb");
  const fs::path c = DiskFile("third", "ccc");
  const fs::path folder = dir / "folder.art";
  fs::create_directories(folder);
  DiskFile("folder.art/inside.voc", "inside");
  const fs::path hidden = DiskFile(".hidden.voc", "h");
  const fs::path missing = dir / "missing.mid";

  form.DragDrop("ListView1", FakeDataObject(false, {a.string(), folder.string(), hidden.string(),
                                                    b.string(), missing.string(), c.string()}));
  EXPECT_EQ(ListTexts(), (std::vector<std::string>{"LEVEL1.MAP  ", "TILES.ART", "SONG.MID    ",
                                                   "b first.art", "a second.map", "third"}));
  EXPECT_EQ(List()[3].LargeIcon, 4);
  EXPECT_EQ(List()[4].LargeIcon, 5);
  EXPECT_TRUE(form.Archive->Changed());
  EXPECT_TRUE(Boxes().empty());

  // Text, even alongside paths, adds nothing; nor does a drop of nothing.
  form.DragDrop("ListView1", FakeDataObject(true, {a.string()}));
  form.DragDrop("ListView1", FakeDataObject(false, {}));
  EXPECT_EQ(List().size(), 6u);

  form.Click("mnufilesave");
  const std::vector<ArchiveEntry> saved = ReadArchive(dir / "three.grp");
  ASSERT_EQ(saved.size(), 6u);
  EXPECT_EQ(saved[3].Data, "a");
  EXPECT_EQ(saved[4].Data, "bb");
  EXPECT_EQ(saved[5].Data, "ccc");

  EXPECT_TRUE(IsOrdinaryFile(a.string()));
  EXPECT_FALSE(IsOrdinaryFile(""));
  EXPECT_FALSE(IsOrdinaryFile(a.string() + "/"));
  EXPECT_FALSE(IsOrdinaryFile("/dev/null"));
}

TEST_F(frmMainCommandsTest, ErrorsAreShownAndLeaveTheDocumentAsItWas) {
  const fs::path grp = Archive("three.grp", kThree);
  Open(grp);
  Add(DiskFile("x.voc", "x"));
  const std::vector<Item> list = List();

  // A damaged archive: the right magic, then a directory past the file's end.
  const fs::path damaged = DiskFile("damaged.grp", std::string("Quorindavell\x09\0\0\0", 16));
  tk.MsgBoxAnswers = {vbNo};
  Open(damaged);
  std::vector<std::string> boxes = Boxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_NE(boxes[1].find("damaged.grp"), std::string::npos) << boxes[1];
  EXPECT_NE(boxes[1].find("|48|Halvarin)"), std::string::npos) << boxes[1];
  EXPECT_EQ(List(), list);
  EXPECT_TRUE(form.HasFile);
  EXPECT_TRUE(form.Archive->Changed());

  // A missing file chosen in the Open dialog.
  tk.Calls.clear();
  tk.MsgBoxAnswers = {vbNo};
  Open(dir / "nowhere.grp");
  boxes = Boxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_NE(boxes[1].find("nowhere.grp"), std::string::npos) << boxes[1];
  EXPECT_EQ(List(), list);

  // Extraction into a folder that does not exist.
  tk.Calls.clear();
  Select(2);
  dialogs.PushChoice((dir / "no" / "such" / "folder.art").string());
  form.Click("mnuitemextract");
  boxes = Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].find("folder.art"), std::string::npos) << boxes[0];
  EXPECT_NE(boxes[0].find("|48|Halvarin)"), std::string::npos) << boxes[0];

  // Save As into a folder that does not exist: still tied to the old file.
  tk.Calls.clear();
  dialogs.PushChoice((dir / "no" / "such.grp").string());
  form.Click("mnufilesaveas");
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_TRUE(form.Archive->Changed());
  form.Click("mnufilesave");
  EXPECT_EQ(ReadArchive(grp).size(), 4u);
  EXPECT_EQ(List().size(), 4u);

  // Failures that are not the program's own errors are caught as well.
  struct Failing : DataObject {
    bool GetFormat(int16_t) const override { return false; }
    std::vector<std::string> Files() const override { throw std::bad_alloc(); }
  };
  tk.Calls.clear();
  form.DragDrop("ListView1", Failing());
  EXPECT_EQ(Boxes(), std::vector<std::string>{
                         ErrorBox("There is not enough memory to complete the command.")});
  EXPECT_EQ(List().size(), 4u);
}

}  // namespace
}  // namespace halvarin
