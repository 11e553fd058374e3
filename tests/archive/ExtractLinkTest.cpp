// Extraction into a folder where somebody has planted a symbolic link under
// an entry's name: the link is replaced, and what it points at stays as it
// was. A path the user picked is still written through, as a save is.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "ArchiveBytes.h"
#include "ArchiveChecks.h"
#include "TempDir.h"
#include "clsVarnGRP.h"

namespace halvarin::testing {
namespace {

TEST(ExtractLinkTest, APlantedLinkIsReplacedNeverFollowed) {
  struct Case {
    const char* points;
    bool intoFolder;  // extractFiles, as `extract -C` and dragging out do
  };
  const Case cases[] = {{"victim", true}, {"missing", true}, {"folder", true},
                        {"victim", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.points) + (c.intoFolder ? " into a folder" : " picked"));
    TempDir dir;
    const std::string data = Content(7, 3000);
    WriteAll(dir / "mod.grp", ArchiveBytes({{Padded("GAME.CON"), data}}));
    WriteAll(dir / "victim", "precious");
    fs::create_directories(dir.Path() / "folder/inner");
    fs::create_directories(dir.Path() / "out");
    std::error_code linked;
    fs::create_symlink(dir.Path() / c.points, dir.Path() / "out/GAME.CON", linked);
    if (linked)  // Windows: a privilege, or no symbolic links in the C++ library
      GTEST_SKIP() << "no symbolic links can be made here: " << linked.message();
    clsVarnGRP grp;
    ASSERT_TRUE(grp.LoadFile(dir / "mod.grp"));

    const std::string target = dir / "out/GAME.CON";
    if (c.intoFolder) {
      grp.extractFiles({{1, target}});
      EXPECT_EQ(fs::symlink_status(target).type(), fs::file_type::regular);
      EXPECT_EQ(ReadAll(target), data);
      EXPECT_EQ(ReadAll(dir / "victim"), "precious");
    } else {
      grp.extractFile(1, target);
      EXPECT_TRUE(fs::is_symlink(target));
      EXPECT_EQ(ReadAll(dir / "victim"), data);
    }
    EXPECT_FALSE(fs::exists(dir.Path() / "missing"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path() / "folder"), {}), 1);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path() / "out"), {}), 1);
  }
}

}  // namespace
}  // namespace halvarin::testing
