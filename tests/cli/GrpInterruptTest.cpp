// halvarin-grp stopped by Ctrl+C, through the built program.

#include <gtest/gtest.h>

#include "ArchiveBytes.h"
#include "RunProgram.h"
#include "TempDir.h"

namespace halvarin::testing {
namespace {

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
