// halvarin-grp as scripts use it, in a folder of its own, on archives these
// tests write byte by byte: run within the test's process, and as the built
// program where it takes one (signals, another process's lock, commands side
// by side, a reader that goes away). Beyond the archive itself it owes its
// user a word about what a rewrite leaves behind, nothing on the terminal
// that could drive it or forge a line, and every file as it was after a
// Ctrl+C. (The POSIX headers a test here needs come with the program
// runner's.)

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <regex>
#include <sstream>
#include <tuple>

#include "AppError.h"
#include "ArchiveBytes.h"
#include "ArchiveLock.h"
#ifndef _WIN32
#include "ChildProcess.h"
#endif
#include "DamagedArchives.h"
#include "FaultyFileSystem.h"
#include "GrpOracle.h"
#include "GrpTool.h"
#include "RunProgram.h"
#include "TempDir.h"
#include "clsVarnGRP.h"

namespace halvarin::testing {
namespace {

std::string ModelError(const std::string& path) {
  try {
    clsVarnGRP().LoadFile(path);
  } catch (const AppError& e) {
    return e.Description();
  }
  return "";
}

const std::string kOne = ArchiveBytes({{Padded("one.dat"), "1"}});

class GrpToolTest : public ::testing::Test {
 protected:
  GrpToolTest() { fs::current_path(dir.Path()); }
  ~GrpToolTest() override { fs::current_path(home); }

  ProgramResult Run(const std::vector<std::string>& args, const std::string& input = "",
                    std::ostream* out = nullptr) {
    std::istringstream in(input);
    std::ostringstream collected, err;
    const int status = cli::RunGrpTool(args, {in, out ? *out : collected, err}, faulty);
    return {status, collected.str(), err.str()};
  }
  ProgramResult Run(const std::string& command, const std::string& input = "") {
    return Run(Words(command), input);
  }
#ifndef _WIN32
  ProgramResult Launch(const std::string& command, const RunOptions& options = {}) {
    return RunProgram(HALVARIN_GRP, Words(command), dir.Path(), options);
  }
#endif
  void Write(const std::string& name, const std::string& bytes) {
    fs::create_directories(fs::path(dir / name).parent_path());
    WriteAll(dir / name, bytes);
  }
  TempDir dir;
  const fs::path home = fs::current_path();
  FaultyFileSystem faulty;
};

TEST_F(GrpToolTest, JsonListingEndsNamesAtTheirFirstNulAndEscapesEveryByte) {
  // A name ends at its first NUL; the stored bytes are shown as they are (the
  // columns are checked below, with hostile names). The archive's own name
  // needs escaping too: DEL is the one such byte a Windows name may hold.
  Write("t4\x7F.grp", ArchiveBytes({{Padded("LEVEL1.MAP"), "map data"},
                                    {Padded("TILES.ART", '\0'), "art"},
                                    {"ABCDEFGH.WAV", ""},
                                    {std::string("AB\0CD.TXT   ", 12), "x"}}));
  EXPECT_EQ(Run("list --json t4\x7F.grp").Said(), R"(0|{"archive":"t4\u007f.grp","entries":[
{"index":1,"name":"LEVEL1.MAP","stored":"LEVEL1.MAP  ","size":8,"position":81},
{"index":2,"name":"TILES.ART","stored":"TILES.ART\u0000\u0000\u0000","size":3,"position":89},
{"index":3,"name":"ABCDEFGH.WAV","stored":"ABCDEFGH.WAV","size":0,"position":92},
{"index":4,"name":"AB","stored":"AB\u0000CD.TXT   ","size":1,"position":92}
]}
)");
  Write("empty.grp", ArchiveBytes({}));
  EXPECT_EQ(Run("list empty.grp --json").Out, "{\"archive\":\"empty.grp\",\"entries\":[]}\n");
}

TEST_F(GrpToolTest, EditsWriteExactlyTheArchiveAskedForAndFailuresWriteNothing) {
  const std::string all = Content(1, 1000);
  Write("src/one.bin", all);
  Write("src/averyverylongname.dat", "xyz");
  Write("src/caf\xC3\xA9.txt", "coffee");
  EXPECT_EQ(Run("create pak src/one.bin src/averyverylongname.dat").Said(),
            "0|halvarin-grp: \"src/averyverylongname.dat\" is stored as \"averyver.dat\".\n");
  EXPECT_EQ(Run("create pak src/one.bin").Err,
            "halvarin-grp: \"pak.grp\" already exists; give --force to replace it.\n");
#ifndef _WIN32
  // A link to nothing is something at the name all the same.
  fs::create_symlink("nowhere", dir / "dangling.grp");
  EXPECT_EQ(Run("create dangling.grp src/one.bin").Err,
            "halvarin-grp: \"dangling.grp\" already exists; give --force to replace it.\n");
#endif
  // Lines may end in CRLF; empty lines and -0 lists name no files.
  EXPECT_EQ(Run("add pak.grp -", "src/caf\xC3\xA9.txt\r\n\n").Said(), "0|");
  EXPECT_EQ(Run("add -0 pak.grp -", std::string("src/one.bin\0", 12)).Status, 0);
  EXPECT_EQ(ReadAll(dir / "pak.grp"), ArchiveBytes({{Padded("one.bin"), all},
                                                    {Padded("averyver.dat"), "xyz"},
                                                    {Padded("caf\xE9.txt"), "coffee"},
                                                    {Padded("one.bin"), all}}));
  // By name in either case and by index; an entry twice is one file.
  EXPECT_EQ(Run("extract pak.grp AVERYVER.DAT 3 --directory=out/deeper 3").Said(), "0|");
  EXPECT_EQ(ReadAll(dir / "out/deeper/averyver.dat"), "xyz");
  EXPECT_EQ(ReadAll(dir / "out/deeper/caf\xC3\xA9.txt"), "coffee");
  EXPECT_EQ(Run("delete pak.grp ONE.BIN").Err,
            "halvarin-grp: Entries 1, 4 are all named \"ONE.BIN\"; give the index of the one you "
            "mean.\n");
  EXPECT_EQ(Run("delete pak.grp 4 averyver.dat").Said(), "0|");
  EXPECT_EQ(ReadAll(dir / "pak.grp"),
            ArchiveBytes({{Padded("one.bin"), all}, {Padded("caf\xE9.txt"), "coffee"}}));

  // Whatever is wrong, nothing at all is written.
  const auto tree = dir.Tree();
  for (const char* command : {"create new.grp src/one.bin missing.txt", "add pak.grp missing",
                              "delete pak.grp 1 3", "delete pak.grp 1 99999999999999999999"}) {
    EXPECT_EQ(Run(command).Status, 1) << command;
  }
  EXPECT_EQ(Run("extract pak.grp 1 5 -C new").Said(),
            "1|halvarin-grp: There is no entry 5; the archive has 2 entries.\n");
  EXPECT_EQ(dir.Tree(), tree);
  EXPECT_EQ(Run("create -f pak src/one.bin").Status, 0);
  EXPECT_EQ(Run("create none.grp").Status, 0);
  EXPECT_EQ(ReadAll(dir / "none.grp"), ArchiveBytes({}));

  // A script names the archive as it was given; writing the edit to
  // "pak.grp" beside "pak" would lose it and replace that file.
  Write("pak", ArchiveBytes({{Padded("one"), "1"}}));
  Write("two", "2");
  const std::string other = ReadAll(dir / "pak.grp");
  EXPECT_EQ(Run("add pak two").Status, 0);
  EXPECT_EQ(Run("delete pak 1").Status, 0);
  EXPECT_EQ(ReadAll(dir / "pak"), ArchiveBytes({{Padded("two"), "2"}}));
  EXPECT_EQ(ReadAll(dir / "pak.grp"), other);
}

TEST_F(GrpToolTest, CheckReportsEveryProblemAndFailsOnlyOnErrors) {
  const std::string three = ArchiveBytes(
      {{Padded("a.art"), "aaaa"}, {Padded("b.map"), "bb"}, {Padded("A.ART", '\0'), "cc"}});
  Write("x.grp", three + "tail");
  EXPECT_EQ(Run("check x.grp").Said(),
            "0|x.grp: warning: entry 3 (\"A.ART\") has the same name as entry 1; extracting by "
            "that name writes them all, deleting by it asks for an index.\n"
            "x.grp: warning: 4 bytes after the last entry's data belong to no entry; a save "
            "drops them.\n"
            "x.grp: sound: 3 entries, 8 bytes of data, 2 warnings\n");

  // Damaged: every error listed, the first as loading words it; every other
  // command fails with loading's words and writes nothing.
  Write("file", "data");
  const std::string x = dir / "x.grp", missing = dir / "missing.grp";
  for (const DamagedArchive& d : DamagedArchives()) {
    SCOPED_TRACE(d.What);
    Write("x.grp", d.Bytes);
    const auto tree = dir.Tree();
    const std::string said = Run("check x.grp").Said(), model = ModelError(x);
    const std::regex error("x\\.grp: error: ");
    EXPECT_EQ(std::distance(std::sregex_iterator(said.begin(), said.end(), error), {}), d.Errors)
        << said;
    const std::string first = model.substr(model.find(" is damaged: ") + 13);
    EXPECT_TRUE(said.starts_with("1|x.grp: error: " + first)) << said;
    EXPECT_NE(said.find("\nx.grp: damaged: "), std::string::npos) << said;
    for (const std::string& command :
         {"list " + x, "extract " + x + " -C out", "add " + x + " file", "delete " + x + " 1"}) {
      EXPECT_EQ(Run(command).Said(), "1|halvarin-grp: " + model + "\n");
    }
    EXPECT_EQ(dir.Tree(), tree);
  }
  for (const std::string& command :
       {"list " + missing, "check " + missing, "delete " + missing + " 1"}) {
    EXPECT_EQ(Run(command).Err, "halvarin-grp: " + ModelError(missing) + "\n");
  }
  EXPECT_EQ(Run("list file").Err, "halvarin-grp: \"file\" is not a Varn GRP archive.\n");
  EXPECT_EQ(Run("check file").Out,
            "file: error: it is not a group archive: it does not begin with the signature of "
            "one.\nfile: not a group archive\n");
}

// What is lost is named, with why, once the rest is safe; the damaged file
// is never written, whatever its name, nor an existing file without -f.
TEST_F(GrpToolTest, SalvageWritesTheWholeEntriesAndNamesTheRest) {
  const std::string three =
      ArchiveBytes({{Padded("a.art"), "aaa"}, {Padded("b.map"), "bbbb"}, {Padded("c.voc"), "c"}});
  Write("cut.grp", three.substr(0, 69));
  EXPECT_EQ(Run("salvage cut.grp out").Said(),
            "1|halvarin-grp: \"cut.grp\" is damaged: entry 2 (\"b.map\", 4 bytes at position 68) "
            "runs past the end of the file, which ends after 69 bytes. The entry after it lies "
            "past it too.\n"
            "halvarin-grp: lost entry 2 (\"b.map\", 4 bytes)\n"
            "halvarin-grp: lost entry 3 (\"c.voc\", 1 byte)\n"
            "halvarin-grp: recovered 1 of 3 entries to \"out.grp\".\n");
  EXPECT_EQ(ReadAll(dir / "out.grp"), ArchiveBytes({{Padded("a.art"), "aaa"}}));
  fs::create_hard_link(dir / "cut.grp", dir / "same.grp");
  const auto tree = dir.Tree();
  EXPECT_EQ(Run("salvage cut.grp out.grp").Err,
            "halvarin-grp: \"out.grp\" already exists; give --force to replace it.\n");
  EXPECT_EQ(Run("salvage -f cut.grp same.grp").Err,
            "halvarin-grp: Cannot save over \"same.grp\": that is the archive the entries are "
            "recovered from. Save them to a new file.\n");
  EXPECT_EQ(dir.Tree(), tree);

  // Records past the end are counted, not named; a cut header tells no count.
  Write("dir.grp", "Quorindavell" + Int32(3) + Padded("x\x1b") + Int32(0) + "part");
  EXPECT_EQ(
      Run("salvage --json dir.grp j.grp").Said(),
      "1|{\"archive\":\"dir.grp\",\"out\":\"j.grp\",\"entries\":3,\"recovered\":0,"
      "\"damage\":\"its directory of 3 entries needs 64 bytes, but the file ends after 36 "
      "bytes.\",\"lost\":[\n{\"index\":1,\"name\":\"x\\u001b\",\"stored\":\"x\\u001b          "
      "\",\"size\":0}\n],\"unlisted\":2,\"dropped\":0}\n"
      "halvarin-grp: \"dir.grp\" is damaged: its directory of 3 entries needs 64 bytes, but "
      "the file ends after 36 bytes.\n"
      "halvarin-grp: lost entry 1 (\"x?\", 0 bytes)\n"
      "halvarin-grp: lost entries 2 to 3, whose records the file does not hold\n"
      "halvarin-grp: recovered 0 of 3 entries to \"j.grp\".\n");
  Write("head.grp", "Quorindavell\x01");
  EXPECT_TRUE(Run("salvage head.grp h.grp")
                  .Said()
                  .ends_with("halvarin-grp: recovered no entries, of a number the file does not "
                             "tell, to \"h.grp\".\n"));
  EXPECT_EQ(ReadAll(dir / "h.grp"), ArchiveBytes({}));

  // Sound: the same archive, without the bytes that belong to no entry.
  Write("good.grp", kOne + "tail");
  EXPECT_EQ(Run("salvage good.grp copy.grp").Said(),
            "0|halvarin-grp: \"good.grp\": dropped 4 bytes after the last entry's data, which "
            "belonged to no entry.\n");
  EXPECT_EQ(ReadAll(dir / "copy.grp"), kOne);
}

// Matched by name up to padding and case (the random model test checks the
// rest of the comparison); exit statuses as diff and cmp give them.
TEST_F(GrpToolTest, DiffListsAddedRemovedAndChangedEntries) {
  Write("old.grp", ArchiveBytes({{Padded("same.art"), "1234"},
                                 {Padded("gone.map"), "xx"},
                                 {Padded("grown.voc"), "g"},
                                 {Padded("edit.mid"), "abcd"}}));
  Write("new.grp", ArchiveBytes({{Padded("SAME.ART", '\0'), "1234"},
                                 {Padded("edit.mid"), "abXd"},
                                 {Padded("grown.voc"), "ggg"},
                                 {Padded("new\tx.dmo"), "n"}}));
  EXPECT_EQ(Run("diff old.grp new.grp").Said(),
            "1|- gone.map 2\n~ grown.voc 1 -> 3\n~ edit.mid 4 -> 4\n+ new?x.dmo 1\n");
  EXPECT_EQ(Run("diff new.grp new.grp").Said(), "0|");
  Write("one.grp", ArchiveBytes({{Padded("one.dat"), "2"}, {Padded("b\\"), ""}}));
  Write("x.grp", kOne);
  EXPECT_EQ(Run("diff --json one.grp x.grp").Said(),
            "1|{\"old\":\"one.grp\",\"new\":\"x.grp\",\"changes\":[\n"
            "{\"change\":\"changed\",\"name\":\"one.dat\",\"stored\":\"one.dat     \","
            "\"old_index\":1,\"old_size\":1,\"new_index\":1,\"new_size\":1},\n"
            "{\"change\":\"removed\",\"name\":\"b\\\\\",\"stored\":\"b\\\\          \","
            "\"old_index\":2,\"old_size\":0}\n]}\n");
  EXPECT_EQ(Run("diff --json x.grp x.grp").Out,
            "{\"old\":\"x.grp\",\"new\":\"x.grp\",\"changes\":[]}\n");
  Write("bad.grp", "Quorindavell" + Int32(-1));
  for (const char* command : {"diff x.grp missing.grp", "diff bad.grp x.grp"}) {
    EXPECT_EQ(Run(command).Status, 2) << command;
  }
#ifndef _WIN32
  std::ofstream full("/dev/full");
  EXPECT_EQ(Run(Words("diff old.grp new.grp"), "", &full).Status, 2);
#endif
}

TEST_F(GrpToolTest, BadUsageExitsWith2AndLostOutputNeverPassesForSuccess) {
  Write("three.grp", ArchiveBytes(FiveItems()));
  const auto tree = dir.Tree();
  for (const auto& [command, message] : std::vector<std::pair<std::string, std::string>>{
           {"", "no command given."},
           {"lst three.grp", "unknown command \"lst\"."},
           {"extract -C out", "\"extract\" needs an archive."},
           {"list three.grp -f", "\"list\" does not take the option \"-f\"."},
           {"extract three.grp -C", "\"-C\" needs a folder after it."},
           {"delete three.grp", "\"delete\" needs at least one entry name or index."},
           {"create - x", "the archive must be a file, not standard input."}}) {
    EXPECT_EQ(Run(command).Said(),
              "2|halvarin-grp: " + message + "\nTry \"halvarin-grp --help\".\n");
  }
  EXPECT_EQ(dir.Tree(), tree);
  EXPECT_TRUE(Run("--help").Out.starts_with("Usage: halvarin-grp COMMAND ARCHIVE"));
  EXPECT_EQ(Run("lst -h").Said(), Run("--help").Said());
  EXPECT_EQ(Run("delete --version").Out, "halvarin-grp " HALVARIN_VERSION "\n");
  // A full disk must not look like success to a script; a reader that has
  // all it wanted ("| head -1") ends the program by SIGPIPE, as ls or cat,
  // and quietly.
#ifndef _WIN32  // Windows has no device like /dev/full, nor SIGPIPE
  for (const char* command : {"list three.grp", "check three.grp", "--version", "--help"}) {
    std::ofstream full("/dev/full");
    EXPECT_EQ(Run(Words(command), "", &full).Said(),
              "1|halvarin-grp: Cannot write to standard output: No space left on device.\n");
    EXPECT_EQ(Launch(command, {.ClosedStdout = true}).Said(), std::to_string(128 + SIGPIPE) + "|");
  }
#endif
}

// Names are bytes from whoever made the archive: nothing in them may drive
// the terminal, break a line of output or lead a file out of the folder,
// and no entry may overwrite another where letter case is ignored.
TEST_F(GrpToolTest, HostileAndDuplicateNamesAreShownEscapedAndExtractedSafely) {
  Write("bad.grp", ArchiveBytes({{Padded("a\tb\x1b[1m\x7f", '\0'), "1"},
                                 {Padded("\x81\xE9t\xE9.txt"), "2"},
                                 {"../../etc/pw", "3"},
                                 {Padded(".."), "4"},
                                 {Padded("x\ny", '\0'), "5"},
                                 {Padded("X\nY", '\0'), "6"}}));
  EXPECT_EQ(Run("list bad.grp").Out,
            "    1  a?b?[1m?               1         113\n"
            "    2  ?\xC3\xA9t\xC3\xA9.txt               1         114\n"
            "    3  ../../etc/pw           1         115\n"
            "    4  ..                     1         116\n"
            "    5  x?y                    1         117\n"
            "    6  X?Y                    1         118\n");
  auto expected = dir.Tree();
  // Extract's one note (for the renamed duplicate) and check's two lines, none split.
  for (const auto& [command, lines] :
       {std::pair{"extract bad.grp -C work/out", 1}, {"check bad.grp", 2}}) {
    const std::string said = Run(command).Said();
    EXPECT_TRUE(said.starts_with("0|")) << said;
    EXPECT_EQ(std::ranges::count(said, '\n'), lines) << said;
    EXPECT_EQ(said.find_first_of("\t\x1b\x7f"), std::string::npos) << said;
  }
  expected["work"] = expected["work/out"] = "<folder>";
  // Each entry holds its own number.
  for (int data = 1; const char* file : {"a_b_[1m_", "_\xC3\xA9t\xC3\xA9.txt", ".._.._etc_pw",
                                         "entry", "x_y", "X_Y~2"}) {
    expected["work/out/" + std::string(file)] = std::to_string(data++);
  }
  EXPECT_EQ(dir.Tree(), expected);
}

// Hard links and bytes after the data stay with the old file; the window
// says nothing about that, as editors that save safely do, but a script's
// author must hear it.
TEST_F(GrpToolTest, AddAndDeleteSayWhatOnlyTheOldFileKeeps) {
  Write("f", "new");
  const std::string added = ArchiveBytes({{Padded("one.dat"), "1"}, {Padded("f"), "new"}});
  const std::string twoNames = "\"mod.grp\" had 2 names; the others keep the old archive.\n";
  const auto dropped = [](const std::string& bytes) {
    return "halvarin-grp: \"mod.grp\": dropped " + bytes +
           " after the last entry's data, which belonged to no entry.\n";
  };
  // Tail: bytes after the data; Linked: "backup.grp" is a second name of the
  // archive (from then on: the linked case comes last). With neither, a
  // rewrite says nothing (see the edits above).
  for (const auto& [command, tail, linked, after, err] :
       std::vector<std::tuple<std::string, std::string, bool, std::string, std::string>>{
           {"delete mod.grp 1", "tail", false, ArchiveBytes({}), dropped("4 bytes")},
           {"add mod.grp f", "x", true, added, "halvarin-grp: " + twoNames + dropped("1 byte")}}) {
    Write("mod.grp", kOne + tail);
    if (linked) {
      fs::create_hard_link(dir / "mod.grp", dir / "backup.grp");
    }
    EXPECT_EQ(Run(command).Said(), "0|" + err);
    EXPECT_EQ(ReadAll(dir / "mod.grp"), after);
    EXPECT_EQ(ReadAll(dir / "backup.grp"), linked ? kOne + tail : "");
  }
}

#ifndef _WIN32  // Windows names cannot hold control characters, nor its
                // arguments bytes that are not UTF-8
// Names from the command line reach the terminal in messages and in every
// line of `check`; none may carry a control character in any encoding
// (\233 is the 8-bit CSI).
TEST_F(GrpToolTest, NamesPrintedCannotDriveTheTerminalOrForgeALine) {
  const std::string forged = "bad.grp\nx.grp: sound: 9 entries, 0 bytes of data\nx";
  Write("x\x1b]0;pwn\a.grp", kOne);
  Write(forged, kOne);
  const std::string sound = ": sound: 1 entry, 1 byte of data\n", grp = "halvarin-grp: ";
  for (const auto& [args, shown] : std::vector<std::pair<std::vector<std::string>, std::string>>{
           {{"check", "x\x1b]0;pwn\a.grp"}, "x?]0;pwn?.grp" + sound},
           {{"check", forged}, "bad.grp?x.grp: sound: 9 entries, 0 bytes of data?x" + sound},
           {{"list", "\23331m.grp"},
            grp + "Cannot open \"?31m.grp\": No such file or directory.\n"},
           {{"lst\x1b[2J"}, grp + "unknown command \"lst?[2J\".\n"},
           {{"list", "txt.\xE2\x80\xAEpwn.grp"},
            grp + "Cannot open \"txt.?pwn.grp\": No such file or directory.\n"},
           {{"list", "a.grp", "-\xC2\x9B\xC3\xA9"},
            grp + "\"list\" does not take the option \"-?\xC3\xA9\".\n"}}) {
    const ProgramResult r = Run(args);  // a name holds spaces
    EXPECT_EQ(r.Out + r.Err.substr(0, r.Err.find("Try \"halvarin-grp --help\"")), shown);
  }
}
#endif

// The signal (Ctrl+C, or SIGTERM from `timeout`, or SIGHUP from a closed
// terminal) is waiting from the start and arrives as soon as the program
// listens for it: the operation is stopped at its very first progress
// report, with no temporary or lock file left.
TEST_F(GrpToolTest, SignalsLeaveEveryFileAsItWasWith128PlusTheSignal) {
#ifdef _WIN32
  GTEST_SKIP() << "POSIX-only: the signals are held back and sent with kill";
#else
  Write("a.grp",
        ArchiveBytes({{Padded("BIG.ART"), Content(1, 5 << 20)}, {Padded("S.MAP"), "map"}}));
  Write("new.voc", "new");
  Write("out/S.MAP", "older");
  const auto before = dir.Tree();
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    for (const char* command : {"add a.grp new.voc", "delete a.grp 1", "create b.grp new.voc",
                                "create -f a.grp new.voc", "extract a.grp -C out"}) {
      EXPECT_EQ(Launch(command, {.Signal = signal}).Status, 128 + signal) << command;
      EXPECT_EQ(dir.Tree(), before) << command;
    }
  }
#endif
}

// Commands on one archive take turns: each reads it only once the lock is
// its own and keeps the lock until the new archive is in place, so that
// none loses another's work. A command waits for the lock as long as --wait
// says, then gives up having changed nothing, with the files to add looked
// at first; another process's lock holds it off, one left by a holder
// killed with SIGKILL is free at once. (Within one process the archive's
// lock is re-entrant: here the double finds it held by another writer.)
TEST_F(GrpToolTest, WritersTakeTurnsAndWaitForTheLockAsLongAsTheyAreTold) {
  const std::string original = ArchiveBytes(FiveItems());
  Write("mod.grp", original);
  Write("f.txt", "new entry");
  const auto names = dir.Names();
  const std::string held =
      "1|halvarin-grp: Cannot change \"mod.grp\": another program is "
      "changing it and holds its lock (\".mod.grp.halvarin-lock\")";
  // Another process's: the system's lock, taken on the file opened anew.
  auto other = io::FileSystem::Native().TryLockFile(dir / ".mod.grp.halvarin-lock");
  EXPECT_EQ(Run("add mod.grp f.txt --wait 0").Said(), held + ". Nothing was changed.\n");
  other.reset();
  faulty.LockHeldFor(3);
  EXPECT_EQ(Run("add --wait=0 mod.grp f.txt").Said(), held + ". Nothing was changed.\n");
  faulty.LockHeldFor(1000000);
  const std::string missing = Run("add --wait=9 mod.grp -", "missing\n").Said();
  EXPECT_TRUE(missing.starts_with("1|halvarin-grp: Cannot open \"missing\": ")) << missing;
  EXPECT_EQ(ReadAll(dir / "mod.grp"), original);
  faulty.LockHeldFor(3);
  EXPECT_EQ(Run("add --wait=1 mod.grp f.txt").Said(), "0|");
  // Another writer changes the archive whenever the lock is free.
  const Item f{Padded("f.txt"), "new entry"};
  int edits = 0;
  const auto theirs = [&] { return Item{Padded("edit" + std::to_string(edits)), "theirs"}; };
  faulty.BeforeEach([&] {
    if (!fs::exists(dir / ".mod.grp.halvarin-lock")) {
      ++edits, WriteAll(dir / "mod.grp", ArchiveBytes({theirs(), f}));
    }
  });
  EXPECT_EQ(Run("add mod.grp f.txt").Said(), "0|");
  EXPECT_EQ(ReadAll(dir / "mod.grp"), ArchiveBytes({theirs(), f, f}));
  EXPECT_EQ(Run("delete mod.grp 1").Said(), "0|");
  EXPECT_EQ(ReadAll(dir / "mod.grp"), ArchiveBytes({f}));
  faulty.BeforeEach({});
  // Cut to fit, the lock file's name still ends between two characters.
  const std::string name = std::regex_replace(std::string(150, 'e'), std::regex("e"), "\xC3\xA9");
  EXPECT_EQ(ArchiveLock::LockPathFor("d/a" + name),
            "d/.a" + name.substr(0, 198) + ".halvarin-lock");
#ifndef _WIN32
  const auto killed = [&] {
    const ArchiveLock theirs(io::FileSystem::Native(), dir / "mod.grp", {});
    ::kill(::getpid(), SIGKILL);
    return std::string("still alive");
  };
  ASSERT_TRUE(InChild(killed).KilledBy(SIGKILL));
#endif
  EXPECT_EQ(Run("add --wait 0 mod.grp f.txt").Said(), "0|");
  const std::string bytes = ReadAll(dir / "mod.grp");
  EXPECT_EQ(OracleData(bytes, OracleRead(bytes).Entries.back()), "new entry");
  EXPECT_EQ(dir.Names(), names);
}

}  // namespace
}  // namespace halvarin::testing
