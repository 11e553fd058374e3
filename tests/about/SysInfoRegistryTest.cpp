#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "RecordingToolkit.h"
#include "Registry.h"
#include "SysInfo.h"
#include "TempDir.h"

using halvarin::testing::TempDir;

namespace halvarin {
namespace {

namespace fs = std::filesystem;

void MakeProgram(const fs::path& path, bool executable = true) {
  fs::create_directories(path.parent_path());
  std::ofstream(path) << "#!/bin/sh\n";
  fs::permissions(path, executable ? fs::perms::owner_all : fs::perms::owner_read);
}

TEST(SysInfoRegistryTest, PathNamesTheFirstProgramOfTheListInTheFirstFolder) {
  TempDir temp;
  const fs::path a = temp.Path() / "a";
  const fs::path b = temp.Path() / "b";
  MakeProgram(b / "second");
  MakeProgram(b / "first");
  MakeProgram(a / "first", false);       // not executable: skipped
  fs::create_directories(a / "second");  // a folder of that name: skipped

  SysInfoRegistry registry({"first", "second"}, {a, b});
  EXPECT_EQ(registry.FindProgram(), (b / "first").string());

  MakeProgram(a / "second");
  SysInfoRegistry again({"first", "second"}, {a, b});
  EXPECT_EQ(again.FindProgram(), (b / "first").string()) << "program order comes first";
}

TEST(SysInfoRegistryTest, AnswersTheLauncherAndNothingElse) {
  TempDir temp;
  auto owned = std::make_unique<SysInfoRegistry>(std::vector<std::string>{"info"},
                                                 std::vector<fs::path>{temp.Path()});
  ReplaceRegistry(std::move(owned));

  // Nothing installed: the key opens but holds no value.
  std::string value = "x";
  EXPECT_FALSE(GetKeyValue(HKeyLocalMachine, gREGKEYSYSINFO, gREGVALSYSINFO, value));
  EXPECT_EQ(value, "");

  // Installed while the program runs: found on the next try, without the
  // terminating zero, whatever the case of the names.
  MakeProgram(temp.Path() / "info");
  EXPECT_TRUE(
      GetKeyValue(HKeyLocalMachine, "software\\microsoft\\shared tools\\msinfo", "Path", value));
  EXPECT_EQ(value, (temp.Path() / "info").string());

  EXPECT_FALSE(GetKeyValue(HKeyLocalMachine, gREGKEYSYSINFOLOC, gREGVALSYSINFOLOC, value));
  EXPECT_FALSE(GetKeyValue(HKeyLocalMachine, gREGKEYSYSINFO, "Other", value));

  // A handle is good until closed, and only once.
  HKey key = 0;
  ASSERT_EQ(RegOpenKeyExA(HKeyLocalMachine, gREGKEYSYSINFO, 0, 0x2003F, &key), RegSuccess);
  std::uint32_t size = 0;
  std::uint32_t type = 0;
  EXPECT_EQ(RegQueryValueExA(key, "PATH", nullptr, &type, nullptr, &size), RegSuccess);
  EXPECT_EQ(size, (temp.Path() / "info").string().size() + 1);
  EXPECT_EQ(type, RegTypeSz);
  std::uint8_t small[4];
  std::uint32_t smallSize = sizeof small;
  EXPECT_EQ(RegQueryValueExA(key, "PATH", nullptr, &type, small, &smallSize), RegMoreData);
  EXPECT_EQ(smallSize, size);
  EXPECT_EQ(RegCloseKey(key), RegSuccess);
  EXPECT_EQ(RegCloseKey(key), RegInvalidHandle);
  EXPECT_EQ(RegQueryValueExA(key, "PATH", nullptr, &type, nullptr, &size), RegInvalidHandle);

  // Through the launcher the program is started.
  RecordingToolkit toolkit;
  StartSysInfo(toolkit);
  EXPECT_EQ(toolkit.StartedPrograms, std::vector<std::string>{(temp.Path() / "info").string()});
  ReplaceRegistry(nullptr);
}

TEST(SysInfoRegistryTest, SearchesFixedFoldersOnly) {
  // The program reads no environment, so no search path either.
  EXPECT_FALSE(SysInfoRegistry::WellKnownPrograms().empty());
  for (const auto& folder : SysInfoRegistry::ProgramFolders()) {
    EXPECT_TRUE(folder.is_absolute()) << folder;
  }
}

}  // namespace
}  // namespace halvarin
