// The main window's logic end to end on the recording toolkit: scripted
// file dialogs and message-box answers, real archives on disk.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <algorithm>
#include <ranges>

#include "ArchiveBytes.h"
#include "GrpOracle.h"
#include "RecordingToolkit.h"
#include "SampleArchive.h"
#include "ScriptedCommonDialogs.h"
#include "TempDir.h"
#include "frmMain.h"

namespace halvarin::testing {
namespace {

using Kind = ScriptedCommonDialogs::Kind;
using Names = std::vector<std::string>;

const std::string kQuestion = "MsgBox(File has changed.\r\nSave now?|36|Save Changes?)";

// Stored names and data of an archive on disk, as read by the tests' own reader.
Names EntriesOf(const std::string& path) {
  const std::string bytes = ReadAll(path);
  Names entries;
  for (const OracleEntry& e : OracleRead(bytes).Entries) {
    entries.push_back(e.Name + "=" + std::string(OracleData(bytes, e)));
  }
  return entries;
}

// Dropped text or files; a source that fails does so as a real one may.
struct Dropped : DataObject {
  Dropped(bool text, Names files, bool fails = false)
      : text(text), fails(fails), files(std::move(files)) {}
  bool GetFormat(int16_t format) const override {
    return format == vbCFText ? text : format == vbCFFiles && !files.empty();
  }
  Names Files() const override { return fails ? throw std::bad_alloc() : files; }
  bool text, fails;
  Names files;
};

// The main window shown on the recording toolkit with scripted dialogs.
struct Session {
  Session() {
    tk.Attach("frmMain", &form);
    tk.Show("frmMain");
    tk.Calls.clear();
  }
  Names Texts() {
    Names texts;
    for (const auto& item : tk.Items("frmMain", "ListView1")) {
      texts.push_back(item.Text);
    }
    return texts;
  }
  // How often the window was unloaded, and the program ended.
  std::pair<long, long> Exits() const {
    return {std::ranges::count(tk.Calls, "Unload(frmMain)"), std::ranges::count(tk.Calls, "End()")};
  }
  // Whether closing the window asks about unsaved edits; answered No, so
  // the session has ended.
  bool Unsaved() {
    const size_t before = (tk.MsgBoxAnswers = {vbNo}, tk.Boxes.size());
    return Do("close"), tk.Boxes.size() > before;
  }
  void Select(int32_t position) { tk.Select("frmMain", "ListView1", position); }
  // A menu command, or "close" for the title bar's close button.
  void Do(const std::string& command) {
    command == "close" ? tk.Close("frmMain") : form.Click(command);
  }
  void Command(const char* command, const std::string& choice) {
    dialogs.PushChoice(choice);
    Do(command);
  }
  const OPENFILENAMEA& Record() const { return dialogs.Calls().back().record; }

  RecordingToolkit tk;
  ScriptedCommonDialogs dialogs;
  frmMain form{tk, dialogs};
};

class frmMainTest : public ::testing::Test, public Session {
 protected:
  // A wrong relative path lands in the test's folder, nowhere else.
  void SetUp() override { fs::current_path(dir.Path()); }
  void TearDown() override { fs::current_path(previous); }

  std::string File(const std::string& name, const std::string& bytes) {
    WriteAll(dir / name, bytes);
    return dir / name;
  }
  std::string Three() {
    return File("three.grp", ArchiveBytes({{Padded("LEVEL1.MAP"), "map data"},
                                           {Padded("TILES.ART", '\0'), "art"},
                                           {Padded("SONG.MID"), "mid"}}));
  }

  fs::path previous = fs::current_path();
  TempDir dir;
};

// The image each extension picks, names up to their first NUL in UTF-8, a
// list that fills the client area above the status bar, the right button's
// pop-up, the menus' handlers, and a sample archive that shows every image.
TEST_F(frmMainTest, ItemsShowTheirExtensionsImageInAListFillingTheWindowWithItsPopUp) {
  std::string icons;
  for (const std::string& name : Names{
           "LEVEL1.MAP  ", "SETUP.CFG", "INTRO.ANM", "PLAY1.DMO", "a.Voc", "THEME.MID", "x.tar.art",
           "ARTWORK", "notes.mapx", "file.ar", "MA", "", std::string("A.MI\0\0\0\0\0\0\0\0", 12)}) {
    icons += std::to_string(frmMain::IconIndex(name));
  }
  EXPECT_EQ(icons, "5122334451111");
  form.AddListItem(std::string("\xC9T\xC9.VOC\0junk", 12));
  form.AddListItem("a queued file with a long name.art");
  EXPECT_EQ(tk.Items("frmMain", "ListView1"),
            (std::vector<RecordingToolkit::Item>{{"\xC3\x89T\xC3\x89.VOC", 3, 3},
                                                 {"a queued file with a long name.art", 4, 4}}));
  tk.Heights["frmMain.StatusBar1"] = 255;
  const auto size = [&](float w, float h, bool minimized) {
    form.Resize(w, h, minimized);
    return std::pair(tk.Widths["frmMain.ListView1"], tk.Heights["frmMain.ListView1"]);
  };
  EXPECT_EQ(size(28800, 15000, false), std::pair(28800.f, 14745.f));
  EXPECT_EQ(size(2400, 0, true), std::pair(28800.f, 14745.f));  // minimised: kept
  EXPECT_EQ(size(3000, 100, false), std::pair(3000.f, 0.f));
  EXPECT_EQ(TwipsToPixels(255, 144), 26);  // 25.5 rounds up
  form.MouseDown("ListView1", vbRightButton, 0, 120, 45);
  form.MouseDown("ListView1", vbRightButton, 3, 120, 45);
  form.MouseDown("ListView1", vbLeftButton, 0, 120, 45);
  form.MouseDown("ListView1", vbMiddleButton, 0, 120, 45);
  form.MouseDown("StatusBar1", vbRightButton, 0, 120, 45);
  for (const char* name : {"mnufile", "mnuitem", "mnufiledash", "nosuchmenu", "mnuHelpAbout"}) {
    form.Click(name);
  }
  EXPECT_EQ(tk.Calls,
            (Names{"PopupMenu(frmMain|mnuitem)", "PopupMenu(frmMain|mnuitem)", "Show(frmAbout)"}));
  WriteGroupArchive(dir / "sample.grp", SampleEntries());  // an entry for each image
  Command("mnuFileOpen", dir / "sample.grp");
  const auto images =
      tk.Items("frmMain", "ListView1") | std::views::transform(&RecordingToolkit::Item::LargeIcon);
  EXPECT_EQ(std::set<int16_t>(images.begin(), images.end()), (std::set<int16_t>{1, 2, 3, 4, 5}));
  EXPECT_THROW(WriteGroupArchive(dir / "x.grp", {{"THIRTEEN.CHRS", ""}}), AppError);
}

// Open offers archives in the program's folder and asks only about unsaved
// edits, Yes saving back to the file opened without a dialog. A cancelled
// Open, or a file that is no archive or cannot be read, leaves the document,
// its list and its file as they were; a box says why, naming the file.
TEST_F(frmMainTest, OpenAsksOnlyAboutEditsAndAFileItCannotOpenChangesNothing) {
  const std::string grp = Three(), text = File("notes.txt", "just some words, not an archive"),
                    damaged = File("damaged.grp", std::string("Quorindavell\x09\0\0\0", 16));
  Command("mnuFileOpen", grp);
  EXPECT_EQ(Record().lpstrFilter, std::string("Varn GRP Files\0*.grp\0All Files\0*.*\0\0", 36));
  EXPECT_EQ(Record().lpstrInitialDir, tk.AppPath() + std::string(2, '\0'));

  // Yes with a file: saved back without a dialog, then the Open dialog shows.
  Command("mnuitemadd", File("extra.voc", "voc!"));
  tk.MsgBoxAnswers = {vbYes};
  Command("mnuFileOpen", grp);
  EXPECT_EQ(tk.Boxes, Names{kQuestion});
  EXPECT_EQ(std::pair(dialogs.Calls().size(), dialogs.Calls().back().kind),
            std::pair(size_t{3}, Kind::Open));  // after Open and Add Item
  EXPECT_EQ(EntriesOf(grp).back(), "extra.voc   =voc!");

  Command("mnuitemadd", File("more.voc", "voc"));
  const auto list = Texts();

  // The question, then the box that says why, naming the file.
  for (const auto& [choice, box] : std::vector<std::pair<std::string, std::string>>{
           {"", kQuestion},
           {text, "MsgBox(notes.txt is not a Varn GRP archive.|0|Halvarin)"},
           {damaged, "damaged.grp"},
           {dir / "nowhere.grp", "nowhere.grp"}}) {
    SCOPED_TRACE(choice);
    tk.Boxes.clear();
    tk.MsgBoxAnswers = {vbNo};
    choice.empty() ? dialogs.PushCancel() : dialogs.PushChoice(choice);
    form.Click("mnuFileOpen");
    ASSERT_EQ(tk.Boxes.size(), choice.empty() ? 1u : 2u);
    EXPECT_NE(tk.Boxes.back().find(box), std::string::npos) << tk.Boxes.back();
    EXPECT_EQ(Texts(), list);
  }
  form.Click("mnufilesave");  // the edits kept, tied to the archive, never to the rejected file
  EXPECT_EQ(EntriesOf(grp).size(), 5u);
  EXPECT_EQ(ReadAll(text), "just some words, not an archive");

  form.Click("mnuFileNew");  // untitled stays untitled: Save asks for a name
  Command("mnuFileOpen", text);
  form.Click("mnufilesave");
  EXPECT_EQ(dialogs.Calls().back().kind, Kind::Save);
}

// A damaged archive's box says why, as any failure does, and offers what
// still lies whole in it. No changes nothing; Yes opens it untitled, read
// from the damaged file.
TEST_F(frmMainTest, ADamagedArchiveOffersItsWholeEntriesAsANewArchive) {
  std::vector<Item> items;
  for (int i = 0; i < 1210; ++i) {
    items.push_back({Padded("E" + std::to_string(i) + ".ART"), std::string(1, char('a' + i % 26))});
  }
  const std::string level = File("LEVEL.GRP", ArchiveBytes(items).substr(0, 16 + 16 * 1210 + 1204));
  std::string why;
  try {
    clsVarnGRP().LoadFile(level);
  } catch (const AppError& e) {
    why = e.Description();
  }
  const Names box = {"MsgBox(" + why +
                     "\r\n\r\nLEVEL.GRP is damaged: 1,204 of 1,210 entries can be recovered. "
                     "Open them as a new archive?|52|Halvarin)"};
  Command("mnuFileOpen", Three());
  const Names three = Texts();
  tk.MsgBoxAnswers = {vbNo};
  Command("mnuFileOpen", level);
  EXPECT_EQ(tk.Boxes, box);
  form.Click("mnufilesave");  // still tied to its file: no dialog
  EXPECT_EQ(std::pair(Texts(), dialogs.Calls().size()), std::pair(three, size_t{2}));

  tk.Boxes.clear();
  tk.MsgBoxAnswers = {vbYes};
  Command("mnuFileOpen", level);
  ASSERT_EQ(Texts().size(), 1204u);
  EXPECT_EQ(Texts().back(), "E1203.ART   ");
  Select(1204);
  Command("mnuitemextract", dir / "x.art");
  EXPECT_EQ(ReadAll(dir / "x.art"), items[1203].Data);
  // Unsaved and untitled: Yes shows Save As; the archive refuses the damaged file.
  tk.MsgBoxAnswers = {vbYes};
  Command("mnufileexit", dir / "fixed.grp");
  EXPECT_EQ(tk.Boxes, (Names{box[0], kQuestion}));
  items.resize(1204);
  EXPECT_EQ(ReadAll(dir / "fixed.grp"), ArchiveBytes(items));
}

// Every command that drops the document asks once about unsaved edits. No
// writes nothing; Yes on an untitled document shows Save As first and writes
// what is chosen there; either way, and with Save As cancelled, the command
// goes on. A save that fails, or is cancelled in its progress window, stops
// the command with the edits kept; only a failure says why, and nothing the
// user tries while the save runs happens.
TEST_F(frmMainTest, NoOrYesToTheQuestionAndTheCommandGoesOnUnlessTheSaveFails) {
  form.Click("mnufileexit");  // unchanged: no question
  EXPECT_EQ(std::tuple(tk.Boxes.size(), Exits()), std::tuple(0u, std::pair(1L, 1L)));
  const std::string saved = dir / "new.grp";
  enum Answer { No, YesSaveAsCancelled, YesSaved, YesSaveFails, YesSaveCancelled };
  for (const std::string command : {"mnuFileNew", "mnuFileOpen", "mnufileexit", "close"}) {
    for (const Answer answer : {No, YesSaveAsCancelled, YesSaved, YesSaveFails, YesSaveCancelled}) {
      SCOPED_TRACE(command + " " + std::to_string(answer));
      Session s;
      s.Command("mnuitemadd", File("a.art", "aaa"));
      if (answer == YesSaveFails) {
        fs::remove(dir / "a.art");
      }
      s.tk.MsgBoxAnswers = {answer == No ? vbNo : vbYes};
      s.tk.CancelAtReport = answer == YesSaveCancelled ? 1 : 0;
      s.tk.DuringProgress = [&s] { s.Select(1), s.Do("mnuitemdelete"), s.Do("close"); };
      if (answer != No) {
        answer == YesSaveAsCancelled ? s.dialogs.PushCancel() : s.dialogs.PushChoice(saved);
      }
      s.Do(command);
      const bool stops = answer >= YesSaveFails,
                 ends = !stops && (command == "mnufileexit" || command == "close");
      const Names boxes = s.tk.Boxes;
      ASSERT_EQ(boxes.size(), answer == YesSaveFails ? 2u : 1u);
      EXPECT_EQ(boxes[0], kQuestion);
      // A failure's box names the file.
      EXPECT_EQ(boxes.back().find("a.art") != std::string::npos, answer == YesSaveFails);
      EXPECT_EQ(boxes.back().ends_with("|48|Halvarin)"), answer == YesSaveFails);
      const auto& shown = s.dialogs.Calls();
      ASSERT_EQ(shown.size(), 1u + (answer != No) + (command == "mnuFileOpen" && !stops));
      // After Add Item's dialog, Yes shows Save As, in no folder of its own.
      EXPECT_EQ(shown[answer != No].kind, answer != No ? Kind::Save : Kind::Open);
      EXPECT_FALSE(shown[answer != No].record.lpstrInitialDir);
      EXPECT_TRUE(answer != YesSaved || EntriesOf(saved) == Names{"a.art       =aaa"});
      EXPECT_EQ(fs::remove(saved), answer == YesSaved);
      EXPECT_LE(dir.Names().size(), 1u);
      EXPECT_EQ(s.Exits(), std::pair(long{ends}, long{ends}));  // the exit runs once
      EXPECT_EQ(s.Texts().size(), command == "mnuFileNew" && !stops ? 0u : 1u);
      // Kept when the save stops, or when Open's dialog (left unscripted) is
      // cancelled after nothing was saved.
      EXPECT_EQ(s.Unsaved(), stops || (command == "mnuFileOpen" && answer <= YesSaveAsCancelled));
    }
  }
}

// Save As adds ".grp"; Save writes back to the file opened, ".grp" or not,
// and never over another program's save; a failed or cancelled save keeps
// the edits and the file the document is tied to.
TEST_F(frmMainTest, SaveAsThenSaveToTheSameFileAndNeverOverAnotherProgramsSave) {
  Command("mnuitemadd", File("a.art", "aaa"));
  Command("mnufilesave", dir / "noext");  // untitled: Save is Save As
  EXPECT_FALSE(fs::exists(dir / "noext"));
  // Asked about: the name written.
  EXPECT_TRUE(Record().lpstrDefExt->starts_with("grp"));
  EXPECT_TRUE(Record().Flags & OFN_OVERWRITEPROMPT);
  Command("mnuitemadd", File("b.map", "bbbb"));
  form.Click("mnufilesave");  // a dialog shown here would be cancelled: nothing written
  EXPECT_EQ(EntriesOf(dir / "noext.grp"), (Names{"a.art       =aaa", "b.map       =bbbb"}));
  EXPECT_EQ(Texts(), (Names{"a.art       ", "b.map       "}));  // as stored, once saved

  Command("mnuitemadd", File("c.mid", "c"));
  form.Click("mnufilesaveas");  // unscripted: cancelled
  Command("mnufilesaveas", dir / "no/such.grp");
  EXPECT_EQ(tk.Boxes.size(), 1u);
  EXPECT_EQ(EntriesOf(dir / "noext.grp").size(), 2u);
  form.Click("mnufilesave");  // the edit kept, and the file
  EXPECT_EQ(EntriesOf(dir / "noext.grp").size(), 3u);

  const std::string mod = File("mod", ReadAll(dir / "noext.grp"));
  Command("mnuFileOpen", mod);
  Command("mnuitemadd", File("d.art", "d"));
  form.Click("mnufilesave");
  EXPECT_EQ(EntriesOf(mod).size(), 4u);
  Command("mnuitemadd", File("e.art", "e"));
  fs::rename(File("theirs", ArchiveBytes({{Padded("THEIRS.DAT"), "their work"}})), mod);
  tk.Boxes.clear();
  form.Click("mnufilesave");
  EXPECT_EQ(tk.Boxes, Names{"MsgBox(\"" + mod +
                            "\" has been changed by another program since it was opened. "
                            "Open it again.|48|Halvarin)"});
  EXPECT_EQ(EntriesOf(mod), Names{"THEIRS.DAT  =their work"});
  EXPECT_EQ(std::pair(Texts().size(), Unsaved()), std::pair(size_t{5}, true));
}

// Extract Item offers an entry under a name safe to write and writes its
// bytes; a drag writes the same file, in a folder of its own inside one
// private folder that goes with the window. A queued item offers its own
// file, and Delete keeps list and archive in step.
TEST_F(frmMainTest, ExtractDragAndDeleteKeepListAndArchiveInStep) {
  const std::vector<ArchiveEntry> entries = {
      {"../../x.map", "up"},  {"CON", "device"},  {"a/b\\c.art", "slashes"},
      {"\001bad.dat", "ctl"}, {"end...", "dots"}, {"caf\xE9.mid", std::string(70000, 'm')}};
  WriteGroupArchive(dir / "a.grp", entries);
  const std::string grp = dir / "a.grp", bytes = ReadAll(grp);
  fs::path root;
  {
    Session s;
    s.Command("mnuFileOpen", grp);
    s.Command("mnuitemadd", File("queued.voc", "queued"));
    s.Do("mnuitemextract");  // nothing selected: nothing happens
    s.Do("mnuitemdelete");
    EXPECT_EQ(s.dialogs.Calls().size(), 2u);
    EXPECT_EQ(s.Texts().size(), 7u);
    EXPECT_EQ(s.form.StartDrag("ListView1", 8), Names{});
    EXPECT_EQ(s.form.StartDrag("ListView1", 7), Names{dir / "queued.voc"});
    for (int32_t position = 1; position <= 6; ++position) {
      SCOPED_TRACE(position);
      s.Select(position);
      s.Command("mnuitemextract", dir / "out.bin");
      EXPECT_EQ(ReadAll(dir / "out.bin"), entries[static_cast<size_t>(position - 1)].Data);
      const fs::path file = s.form.StartDrag("ListView1", position).at(0);
      EXPECT_EQ(file.filename().string(), s.Record().lpstrFile->c_str());
      EXPECT_EQ(ReadAll(file), entries[static_cast<size_t>(position - 1)].Data);
      root = root.empty() ? file.parent_path().parent_path() : root;
      EXPECT_EQ(file.parent_path().parent_path(), root);
    }
    EXPECT_EQ(fs::status(root).permissions(), fs::perms::owner_all);
    EXPECT_TRUE(s.Record().lpstrFile->starts_with(std::string("caf\xC3\xA9.mid\0", 10)));
    EXPECT_EQ(s.Record().lpstrFilter, std::string("All Files\0*.*\0\0", 15));
    EXPECT_FALSE(s.Record().lpstrInitialDir);
    EXPECT_TRUE(s.Record().Flags & OFN_OVERWRITEPROMPT);
    // The offered name stays in the record: a cancel that keeps it is a
    // cancel, and so is one in the progress window.
    const auto names = dir.Names();
    s.Select(1);
    s.Do("mnuitemextract");  // unscripted: cancelled
    s.tk.CancelAtReport = 1;
    s.Command("mnuitemextract", dir / "out.bin");
    s.tk.CancelAtReport = 0;
    EXPECT_EQ(s.tk.Calls.back(), "RunWithProgress(out.bin)");
    EXPECT_EQ(dir.Names(), names);
    EXPECT_EQ(ReadAll(dir / "out.bin"), entries[5].Data);
    EXPECT_EQ(ReadAll(grp), bytes);
    EXPECT_TRUE(s.tk.Boxes.empty());

    s.Select(2);
    s.Do("mnuitemdelete");
    s.Select(6);  // the queued file, now sixth: its name offered, nothing written
    s.Command("mnuitemextract", dir / "queued.bin");
    EXPECT_TRUE(s.Record().lpstrFile->starts_with("queued.voc"));
    EXPECT_FALSE(fs::exists(dir / "queued.bin"));
    s.Do("mnuitemdelete");
    s.Select(2);  // the entry that was third
    EXPECT_EQ(s.Texts()[1], "a/b\\c.art   ");
    s.Command("mnuitemextract", dir / "out.bin");
    EXPECT_EQ(ReadAll(dir / "out.bin"), "slashes");
    s.Do("mnufilesave");
    EXPECT_EQ(EntriesOf(grp),
              (Names{"../../x.map =up", "a/b\\c.art   =slashes", "\001bad.dat    =ctl",
                     "end...      =dots", "caf\xE9.mid    =" + entries[5].Data}));
    s.Select(1);
    s.Command("mnuitemextract", dir / "no/such/folder.art");
    ASSERT_EQ(s.tk.Boxes.size(), 1u);
    EXPECT_NE(s.tk.Boxes[0].find("folder.art"), std::string::npos);
    EXPECT_FALSE(s.Unsaved());  // extracting changes nothing
  }
  EXPECT_FALSE(fs::exists(root));
}

// Add Item and a drop add what a save can read, in order; Add Item refuses
// the rest at once, naming it, while a drop skips it quietly.
TEST_F(frmMainTest, FilesAreAddedInOrderAndTheRestRefusedOrSkipped) {
  Command("mnuFileOpen", Three());
  fs::create_directories(dir / "folder.art");
  ASSERT_EQ(::mkfifo((dir / "pipe.voc").c_str(), 0600), 0);
  for (const std::string& path : {dir / "missing.voc", dir / "pipe.voc", dir / "folder.art",
                                  std::string("/dev/null"), std::string("/proc/self/status")}) {
    tk.Boxes.clear();
    Command("mnuitemadd", path);
    ASSERT_EQ(tk.Boxes.size(), 1u) << path;
    EXPECT_NE(tk.Boxes[0].find(path), std::string::npos) << tk.Boxes[0];
  }

  tk.Boxes.clear();
  Command("mnuitemadd", File("empty.voc", ""));  // says it is empty, and is
  const Names dropped = {
      File("b first.art", "a"),   dir / "folder.art",  File(".hidden.voc", "h"), dir / "pipe.voc",
      File("a second.map", "bb"), dir / "missing.mid", File("third", "ccc")};
  form.DragDrop("ListView1", Dropped(false, dropped));
  form.DragDrop("ListView1", Dropped(true, {dropped[0]}));  // text adds nothing
  form.DragDrop("ListView1", Dropped(false, {}));
  EXPECT_EQ(Texts(), (Names{"LEVEL1.MAP  ", "TILES.ART", "SONG.MID    ", "empty.voc", "b first.art",
                            "a second.map", "third"}));
  EXPECT_TRUE(tk.Boxes.empty());
  form.Click("mnufilesave");  // the refused files not among them
  EXPECT_EQ(EntriesOf(dir / "three.grp").size(), 7u);

  form.DragDrop("ListView1", Dropped(false, {}, true));  // not the program's own error: caught too
  EXPECT_EQ(tk.Boxes,
            Names{"MsgBox(There is not enough memory to complete the command.|48|Halvarin)"});
}

}  // namespace
}  // namespace halvarin::testing
