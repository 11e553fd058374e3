#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "AppError.h"
#include "IdentityFiles.h"
#include "ProgramIdentity.h"

namespace halvarin {
namespace {

std::vector<std::uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string ReadText(const std::string& path) {
  auto bytes = ReadBytes(path);
  return {bytes.begin(), bytes.end()};
}

const std::string kResources = HALVARIN_RESOURCES_DIR;

// The committed files must be what the identity and the icon make today;
// after a change, `cmake --build BUILD --target update_identity_files`.
TEST(IdentityFilesTest, CommittedFilesAreCurrent) {
  const auto ico = ReadBytes(kResources + "/halvarin.ico");
  ASSERT_FALSE(ico.empty()) << "resources/halvarin.ico is missing";
  EXPECT_EQ(ReadText(kResources + "/halvarin.rc"), MakeResourceScript(ico));
  EXPECT_EQ(ReadText(kResources + "/" + DesktopEntryFileName()), MakeDesktopEntry());
  EXPECT_EQ(ReadText(kResources + "/" + MetainfoFileName()), MakeMetainfo());
  EXPECT_EQ(ReadText(kResources + "/" + MimeInfoFileName()), MakeMimeInfo());
  EXPECT_EQ(ReadText(kResources + "/debian/package.cmake"), MakePackageSettings());
  EXPECT_EQ(ReadText(kResources + "/debian/changelog"), MakeDebianChangelog());
  EXPECT_EQ(ReadText(kResources + "/debian/copyright"), MakeDebianCopyright());
}

TEST(IdentityFilesTest, DesktopEntryStartsTheInstalledProgram) {
  const std::string entry = MakeDesktopEntry();
  EXPECT_NE(entry.find("\nExec=" HALVARIN_EXECUTABLE_NAME " %f\n"), std::string::npos);
  EXPECT_NE(entry.find("\nName=Halvarin\n"), std::string::npos);
  EXPECT_NE(entry.find("\nIcon=halvarin\n"), std::string::npos);  // the installed icon's name
  EXPECT_NE(MakeMetainfo().find("<release version=\"1.0.0\""), std::string::npos);
  EXPECT_NE(MakeMetainfo().find("<launchable type=\"desktop-id\">" + DesktopEntryFileName()),
            std::string::npos);
}

TEST(IdentityFilesTest, ResourceScriptCarriesTheVersionAndTheIconImage) {
  const auto ico = ReadBytes(kResources + "/halvarin.ico");
  const std::string rc = MakeResourceScript(ico);
  for (const char* expected :
       {"FILEVERSION 1,0,0,0\n", "PRODUCTVERSION 1,0,0,0\n", "VALUE \"FileVersion\", \"1.00\"",
        "VALUE \"OriginalFilename\", \"Halvarin.exe\"", "VALUE \"Translation\", 0x0409, 1200",
        "\n1 14 ", "\n30001 3 ", "  30001  //", "3240L,"}) {
    EXPECT_NE(rc.find(expected), std::string::npos) << expected;
  }
  // The comment text keeps its trailing space.
  EXPECT_NE(rc.find("drag drop, icons etc. \"\n"), std::string::npos);

  // Without an icon only the version resource is written.
  const std::string bare = MakeResourceScript({});
  EXPECT_NE(bare.find("1 VERSIONINFO"), std::string::npos);
  EXPECT_EQ(bare.find("RT_ICON"), std::string::npos);
}

TEST(IdentityFilesTest, IconMustHoldThe32x32TwentyFourBitImage) {
  const auto ico = ReadBytes(kResources + "/halvarin.ico");
  const IconImage image = ReadIconImage(ico);
  EXPECT_EQ(image.width, 32);
  EXPECT_EQ(image.height, 32);
  EXPECT_EQ(image.bitCount, 24);
  EXPECT_EQ(image.bitmap.size(), 40u + 32 * 96 + 32 * 4);

  auto broken = [](std::vector<std::uint8_t> bytes) {
    EXPECT_THROW(ReadIconImage(bytes), AppError);
  };
  broken({});
  broken({'P', 'K', 3, 4, 0, 0});
  broken(std::vector<std::uint8_t>(ico.begin(), ico.begin() + 20));  // directory cut short
  broken(std::vector<std::uint8_t>(ico.begin(), ico.end() - 1));     // image cut short
  auto eightBit = ico;
  eightBit[22 + 14] = 8;  // the bitmap header's bit count
  broken(eightBit);
  auto farAway = ico;
  farAway[6 + 12 + 3] = 0x7F;  // image offset beyond the end
  broken(farAway);
}

}  // namespace
}  // namespace halvarin
