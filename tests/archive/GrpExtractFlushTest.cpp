// The flush that ends a batch extraction: it must not need to read the new
// files, which their owner may not be allowed to, and when it fails the
// error names a file the user asked for.

#include <gtest/gtest.h>
#ifndef _WIN32  // modes, a umask and a child process as another user
#include <sys/stat.h>
#endif

#include "ArchiveBytes.h"
#include "ArchiveChecks.h"
#ifndef _WIN32
#include "ChildProcess.h"
#endif
#include "FaultyFileSystem.h"
#include "TempDir.h"
#include "clsVarnGRP.h"

namespace halvarin::testing {
namespace {

#ifndef _WIN32  // Windows files have no permission bits to withhold reading
TEST(GrpExtractFlush, FilesTheirOwnerMayNotReadAreExtracted) {
  TempDir dir;
  const std::vector<Item> items = FiveItems();
  WriteAll(dir / "a.grp", ArchiveBytes(items));
  std::filesystem::create_directory(dir / "out");
  WriteAll(dir / "out/old.dat", "a read-protected file to replace");
  GiveToUnprivileged(dir.Path());
  ::chmod((dir / "out/old.dat").c_str(), 0200);

  const ChildResult r = InChild(
      [&]() -> std::string {
        ::umask(0477);  // new files: written by their owner, read by nobody
        clsVarnGRP grp;
        grp.LoadFile(dir / "a.grp");
        std::string why;
        ErrorOf([&] { grp.extractFiles({{1, dir / "out/one.dat"}, {2, dir / "out/old.dat"}}); },
                &why);
        return why;
      },
      true);
  EXPECT_TRUE(r.Exited());
  EXPECT_EQ(r.Report, "");
  EXPECT_EQ(ReadAll(dir / "out/one.dat"), items[0].Data);
  EXPECT_EQ(ReadAll(dir / "out/old.dat"), items[1].Data);
  EXPECT_EQ(fs::status(dir / "out/one.dat").permissions(), fs::perms::owner_write);
}
#endif

// A flush that fails for the whole batch, the way a failing disk would.
class FailingFlush : public FaultyFileSystem {
 public:
  void SyncFiles(const std::vector<std::string>& paths) override {
    throw AppError(errPathFileAccess, "test",
                   "Cannot flush to disk \"" + paths.back() + "\": Input/output error.");
  }
};

TEST(GrpExtractFlush, AFailedFlushNamesATargetAndLeavesNoneInPlace) {
  TempDir dir;
  WriteAll(dir / "a.grp", ArchiveBytes(FiveItems()));
  FailingFlush fs;
  clsVarnGRP grp(fs);
  grp.LoadFile(dir / "a.grp");
  std::string why;
  EXPECT_EQ(ErrorOf([&] { grp.extractFiles({{1, dir / "one.dat"}, {3, dir / "three.dat"}}); },
                    &why),
            errPathFileAccess);
  EXPECT_NE(why.find("Cannot extract entry 3 to \"" + (dir / "three.dat") + "\": "),
            std::string::npos)
      << why;
  EXPECT_EQ(dir.Names(), (std::set<std::string>{"a.grp"}));
}

}  // namespace
}  // namespace halvarin::testing
