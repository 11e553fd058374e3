// What halvarin-grp owes its user beyond the archive itself: a word about
// what a rewrite leaves behind, nothing on the terminal that could drive it
// or forge a line, and every file as it was after a Ctrl+C.

#include <tuple>

#include <gtest/gtest.h>

#include "ArchiveBytes.h"
#include "RunProgram.h"
#include "TempDir.h"

namespace halvarin::testing {
namespace {

const std::string kOne = ArchiveBytes({{Padded("one.dat"), "1"}});

// Hard links and bytes after the data stay with the old file; the window
// says nothing about that, as editors that save safely do, but a script's
// author must hear it.
TEST(GrpToolSafetyTest, AddAndDeleteSayWhatOnlyTheOldFileKeeps) {
  TempDir dir;
  WriteAll(dir / "f", "new");
  const std::string added = ArchiveBytes({{Padded("one.dat"), "1"}, {Padded("f"), "new"}});
  const std::string twoNames = "\"mod.grp\" had 2 names; the others keep the old archive.\n";
  const auto dropped = [](const std::string& bytes) {
    return "halvarin-grp: \"mod.grp\": dropped " + bytes +
           " after the last entry's data, which belonged to no entry.\n";
  };
  // Tail: bytes after the data; Linked: "backup.grp" is a second name of the archive.
  for (const auto& [command, tail, linked, after, err] :
       std::vector<std::tuple<std::string, std::string, bool, std::string, std::string>>{
           {"add mod.grp f", "", false, added, ""},
           {"delete mod.grp 1", "tail", false, ArchiveBytes({}), dropped("4 bytes")},
           {"add mod.grp f", "x", true, added, "halvarin-grp: " + twoNames + dropped("1 byte")}}) {
    fs::remove(dir / "backup.grp");
    WriteAll(dir / "mod.grp", kOne + tail);
    if (linked) {
      fs::create_hard_link(dir / "mod.grp", dir / "backup.grp");
    }
    const ProgramResult r = RunProgram(HALVARIN_GRP, Words(command), dir.Path());
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Err, err);
    EXPECT_EQ(ReadAll(dir / "mod.grp"), after);
    EXPECT_EQ(ReadAll(dir / "backup.grp"), linked ? kOne + tail : "");
  }
}

#ifndef _WIN32  // Windows names cannot hold control characters, nor its
                // arguments bytes that are not UTF-8
// Names from the command line reach the terminal in messages and in every
// line of `check`; none may carry a control character in any encoding
// (\233 is the 8-bit CSI).
TEST(GrpToolSafetyTest, NamesPrintedCannotDriveTheTerminalOrForgeALine) {
  TempDir dir;
  const std::string forged = "bad.grp\nx.grp: sound: 9 entries, 0 bytes of data\nx";
  for (const std::string& name : {std::string("x\x1b]0;pwn\a.grp"), forged}) {
    WriteAll(dir / name, kOne);
  }
  const std::string sound = ": sound: 1 entry, 1 bytes of data\n", grp = "halvarin-grp: ";
  for (const auto& [args, shown] : std::vector<std::pair<std::vector<std::string>, std::string>>{
           {{"check", "x\x1b]0;pwn\a.grp"}, "x?]0;pwn?.grp" + sound},
           {{"check", forged}, "bad.grp?x.grp: sound: 9 entries, 0 bytes of data?x" + sound},
           {{"list", "\23331m.grp"},
            grp + "Cannot open \"?31m.grp\": No such file or directory.\n"},
           {{"lst\x1b[2J"}, grp + "unknown command \"lst?[2J\".\n"},
           {{"list", "a.grp", "-\xC2\x9B\xC3\xA9"},
            grp + "\"list\" does not take the option \"-?\xC3\xA9\".\n"}}) {
    const ProgramResult r = RunProgram(HALVARIN_GRP, args, dir.Path());
    EXPECT_EQ(r.Out + r.Err.substr(0, r.Err.find("Try \"halvarin-grp --help\"")), shown);
  }
}
#endif

#ifdef _WIN32
TEST(GrpInterruptTest, CtrlCLeavesEveryFileAsItWasWithStatus130) {
  GTEST_SKIP() << "POSIX-only: Ctrl+C is SIGINT, held back and sent with kill";
}
#else
// The Ctrl+C is waiting from the start and arrives as soon as the program
// listens for it: the operation is stopped at its very first progress report.
TEST(GrpInterruptTest, CtrlCLeavesEveryFileAsItWasWithStatus130) {
  for (const char* command : {"add a.grp new.voc", "delete a.grp 1", "create b.grp new.voc",
                              "create -f a.grp new.voc", "extract a.grp -C out"}) {
    SCOPED_TRACE(command);
    TempDir dir;
    WriteAll(dir / "a.grp",
             ArchiveBytes({{Padded("BIG.ART"), Content(1, 5 << 20)}, {Padded("S.MAP"), "map"}}));
    WriteAll(dir / "new.voc", "new");
    fs::create_directory(dir.Path() / "out");
    WriteAll(dir / "out/S.MAP", "older");
    fs::create_symlink("../new.voc", dir.Path() / "out/BIG.ART");
    const auto before = dir.Tree();
    EXPECT_EQ(RunProgram(HALVARIN_GRP, Words(command), dir.Path(), {.CtrlC = true}).Status, 130);
    EXPECT_EQ(dir.Tree(), before);
  }
}
#endif

}  // namespace
}  // namespace halvarin::testing
