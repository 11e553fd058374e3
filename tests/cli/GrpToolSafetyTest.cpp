// What halvarin-grp owes its user beyond the archive itself: a word about
// what a rewrite leaves behind, nothing on the terminal that could drive it
// or forge a line, and every file as it was after a Ctrl+C.

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
  const std::string linked = "halvarin-grp: \"mod.grp\" had 2 names; the others keep the old archive.\n";
  const std::string dropped = " after the last entry's data, which belonged to no entry.\n";
  // Tail: bytes after the data; Linked: "backup.grp" is a second name of the archive.
  struct Case { std::vector<std::string> Args; std::string Tail; bool Linked; std::string After, Err; };
  for (const Case& c : std::vector<Case>{
           {{"add", "mod.grp", "f"}, "", false, added, ""},
           {{"delete", "mod.grp", "1"}, "tail", false, ArchiveBytes({}),
            "halvarin-grp: \"mod.grp\": dropped 4 bytes" + dropped},
           {{"add", "mod.grp", "f"}, "x", true, added, linked + "halvarin-grp: \"mod.grp\": dropped 1 byte" + dropped},
       }) {
    fs::remove(dir / "backup.grp");
    WriteAll(dir / "mod.grp", kOne + c.Tail);
    if (c.Linked) fs::create_hard_link(dir / "mod.grp", dir / "backup.grp");
    const ProgramResult r = RunProgram(HALVARIN_GRP, c.Args, dir.Path());
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Err, c.Err);
    EXPECT_EQ(ReadAll(dir / "mod.grp"), c.After);
    EXPECT_EQ(ReadAll(dir / "backup.grp"), c.Linked ? kOne + c.Tail : "");
  }
}

#ifndef _WIN32  // Windows names cannot hold control characters, nor its
                // arguments bytes that are not UTF-8
// Names from the command line reach the terminal in messages and in every
// line of `check`; none may carry a control character in any encoding.
TEST(GrpToolSafetyTest, NamesPrintedCannotDriveTheTerminalOrForgeALine) {
  TempDir dir;
  struct Case { std::vector<std::string> Args; std::string Out, Err; };
  const std::string forged = "bad.grp\nx.grp: sound: 9 entries, 0 bytes of data\nx";
  for (const std::string& name : {std::string("x\x1b]0;pwn\a.grp"), forged}) WriteAll(dir / name, kOne);
  for (const Case& c : std::vector<Case>{
           {{"check", "x\x1b]0;pwn\a.grp"}, "x?]0;pwn?.grp: sound: 1 entry, 1 bytes of data\n", ""},
           {{"check", forged}, "bad.grp?x.grp: sound: 9 entries, 0 bytes of data?x: sound: 1 entry, 1 bytes of data\n", ""},
           {{"list", "\x9b" "31m.grp"}, "", "halvarin-grp: Cannot open \"?31m.grp\": No such file or directory.\n"},
           {{"lst\x1b[2J"}, "", "halvarin-grp: unknown command \"lst?[2J\".\n"},
           {{"list", "a.grp", "-\xC2\x9B\xC3\xA9"}, "", "halvarin-grp: \"list\" does not take the option \"-?\xC3\xA9\".\n"},
       }) {
    const ProgramResult r = RunProgram(HALVARIN_GRP, c.Args, dir.Path());
    EXPECT_EQ(r.Out, c.Out);
    EXPECT_EQ(r.Err.substr(0, r.Err.find("Try \"halvarin-grp --help\"")), c.Err);
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
  for (const std::vector<std::string>& command : std::vector<std::vector<std::string>>{
           {"add", "a.grp", "new.voc"}, {"delete", "a.grp", "1"}, {"create", "b.grp", "new.voc"},
           {"create", "-f", "a.grp", "new.voc"}, {"extract", "a.grp", "-C", "out"}}) {
    SCOPED_TRACE(command[0] + " " + command[1]);
    TempDir dir;
    WriteAll(dir / "a.grp", ArchiveBytes({{Padded("BIG.ART"), Content(1, 5 << 20)}, {Padded("S.MAP"), "map"}}));
    WriteAll(dir / "new.voc", "new");
    fs::create_directory(dir.Path() / "out");
    WriteAll(dir / "out/S.MAP", "older");
    fs::create_symlink("../new.voc", dir.Path() / "out/BIG.ART");
    const auto before = dir.Tree();
    EXPECT_EQ(RunProgram(HALVARIN_GRP, command, dir.Path(), {.CtrlC = true}).Status, 130);
    EXPECT_EQ(dir.Tree(), before);
  }
}
#endif

}  // namespace
}  // namespace halvarin::testing
