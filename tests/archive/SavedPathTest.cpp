// Which file a save writes: only the file's own name decides whether it
// gets ".grp"; dots in the folders on the way do not.

#include <gtest/gtest.h>

#include <filesystem>

#include "ArchiveBytes.h"
#include "TempDir.h"
#include "clsVarnGRP.h"

namespace halvarin::testing {
namespace {

TEST(SavedPath, OnlyTheFileNameDecidesAboutTheEnding) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"mod", "mod.grp"},
      {"./mod", "mod.grp"},
      {"plain/mod", "plain/mod.grp"},
      {"my.dir/mod", "my.dir/mod.grp"},
      {"v1.0/x.y/./mod", "v1.0/x.y/mod.grp"},
      {"my.dir/mod.dat", "my.dir/mod.dat"},
      {"plain/mod.", "plain/mod."},
      {"my.dir/.mod", "my.dir/.mod"},
  };
  for (const auto& [given, written] : cases) {
    TempDir dir;  // its own path may hold dots too
    std::filesystem::create_directories(dir / "plain");
    std::filesystem::create_directories(dir / "my.dir");
    std::filesystem::create_directories(dir / "v1.0/x.y");
    clsVarnGRP grp;
    grp.saveFile(dir / given);
    EXPECT_EQ(ReadAll(dir / written), ArchiveBytes({})) << given;
    if (written != given) {
      EXPECT_FALSE(std::filesystem::exists(dir / given)) << given;
    }
  }
}

}  // namespace
}  // namespace halvarin::testing
