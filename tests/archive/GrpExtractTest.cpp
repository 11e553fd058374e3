// Extraction into a folder: a symbolic link planted under an entry's name is
// replaced, never followed (a path the user picked is written through, as a
// save is); the one flush that ends a batch needs no read access to the new
// files.

#include <gtest/gtest.h>
#ifndef _WIN32  // modes, a umask and a child process as another user
#include <sys/stat.h>

#include "ChildProcess.h"
#endif

#include "ArchiveBytes.h"
#include "ArchiveChecks.h"
#include "TempDir.h"

namespace halvarin::testing {
namespace {

TEST(GrpExtract, APlantedLinkIsReplacedNeverFollowed) {
  // Into a folder (extractFiles, as `extract -C` and dragging out do) or picked.
  for (const auto& [points, intoFolder] : {std::pair<std::string, bool>{"victim", true},
                                           {"missing", true}, {"folder", true}, {"victim", false}}) {
    SCOPED_TRACE(points + (intoFolder ? " into a folder" : " picked"));
    TempDir dir;
    const std::string data = Content(7, 3000), target = dir / "out/GAME.CON";
    WriteAll(dir / "mod.grp", ArchiveBytes({{Padded("GAME.CON"), data}}));
    WriteAll(dir / "victim", "precious");
    fs::create_directories(dir.Path() / "folder/inner");
    fs::create_directories(dir.Path() / "out");
    std::error_code linked;
    fs::create_symlink(dir.Path() / points, target, linked);
    if (linked)  // Windows: a privilege, or no symbolic links in the C++ library
      GTEST_SKIP() << "no symbolic links can be made here: " << linked.message();
    clsVarnGRP grp;
    ASSERT_TRUE(grp.LoadFile(dir / "mod.grp"));
    intoFolder ? grp.extractFiles({{1, target}}) : grp.extractFile(1, target);
    EXPECT_EQ(fs::is_symlink(target), !intoFolder);
    EXPECT_EQ(ReadAll(target), data);
    EXPECT_EQ(ReadAll(dir / "victim"), intoFolder ? "precious" : data);
    EXPECT_FALSE(fs::exists(dir.Path() / "missing"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path() / "folder"), {}), 1);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path() / "out"), {}), 1);
  }
}

#ifndef _WIN32  // Windows files have no permission bits to withhold reading
TEST(GrpExtract, FilesTheirOwnerMayNotReadAreExtracted) {
  TempDir dir;
  WriteAll(dir / "a.grp", ArchiveBytes(FiveItems()));
  fs::create_directory(dir / "out");
  WriteAll(dir / "out/old.dat", "a read-protected file to replace");
  GiveToUnprivileged(dir.Path());
  ::chmod((dir / "out/old.dat").c_str(), 0220);
  const ChildResult r = InChild(
      [&] {
        ::umask(0477);  // new files: written by their owner, read by nobody
        clsVarnGRP grp;
        grp.LoadFile(dir / "a.grp");
        std::string why;
        ErrorOf([&] { grp.extractFiles({{1, dir / "out/one.dat"}, {2, dir / "out/old.dat"}}); }, &why);
        return why;
      },
      true);
  EXPECT_EQ(r.Report, "");
  EXPECT_EQ(ReadAll(dir / "out/one.dat"), FiveItems()[0].Data);
  EXPECT_EQ(ReadAll(dir / "out/old.dat"), FiveItems()[1].Data);
  EXPECT_EQ(fs::status(dir / "out/one.dat").permissions(), fs::perms::owner_write);
  // The file replaced keeps its permissions, beyond what the umask allows.
  EXPECT_EQ(fs::status(dir / "out/old.dat").permissions(), fs::perms::owner_write | fs::perms::group_write);
}
#endif

}  // namespace
}  // namespace halvarin::testing
