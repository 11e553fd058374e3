// The registry layer's Windows branch against the system's registry: what
// the launcher reads, read with the rights a standard user has.

#include <gtest/gtest.h>

#include <string>

#include "Registry.h"
#include "SysInfo.h"

namespace halvarin {
namespace {

constexpr const char* kCurrentVersion = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";

TEST(WindowsRegistryTest, ReadsTextValuesOfTheMachineKey) {
  std::string root;
  ASSERT_TRUE(
      GetKeyValue(PlatformRegistry(), HKeyLocalMachine, kCurrentVersion, "SystemRoot", root));
  // A folder such as C:\Windows, without the terminating zero.
  EXPECT_EQ(root.substr(1, 2), ":\\") << root;
  EXPECT_EQ(root.find('\0'), std::string::npos) << root;

  std::string missing = "before";
  EXPECT_FALSE(GetKeyValue(PlatformRegistry(), HKeyLocalMachine,
                           "SOFTWARE\\Halvarin Test\\No Such Key", "PATH", missing));
  EXPECT_EQ(missing, "");
  EXPECT_FALSE(
      GetKeyValue(PlatformRegistry(), HKeyLocalMachine, kCurrentVersion, "No Such Value", missing));
}

}  // namespace
}  // namespace halvarin
