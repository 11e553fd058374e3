#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "AppError.h"
#include "ArchiveBytes.h"
#include "IdentityFiles.h"

namespace halvarin {
namespace {

std::string ReadText(const std::string& name) {
  return testing::ReadAll(HALVARIN_RESOURCES_DIR "/" + name);
}
using Bytes = std::vector<std::uint8_t>;
const std::string kIcoText = ReadText("halvarin.ico");
const Bytes kIco(kIcoText.begin(), kIcoText.end());

// The committed files must be what the identity and the icon make today;
// after a change, `cmake --build BUILD --target update_identity_files`. The
// validators and the resource compiler then check the committed files.
TEST(IdentityFilesTest, CommittedFilesAreCurrent) {
  ASSERT_FALSE(kIco.empty()) << "resources/halvarin.ico is missing";
  EXPECT_EQ(ReadText("halvarin.rc"), MakeResourceScript(kIco));
  EXPECT_EQ(ReadText(DesktopEntryFileName()), MakeDesktopEntry());
  EXPECT_EQ(ReadText(MetainfoFileName()), MakeMetainfo());
  EXPECT_EQ(ReadText(MimeInfoFileName()), MakeMimeInfo());
  EXPECT_EQ(ReadText("debian/package.cmake"), MakePackageSettings());
  EXPECT_EQ(ReadText("debian/changelog"), MakeDebianChangelog());
  EXPECT_EQ(ReadText("debian/copyright"), MakeDebianCopyright());
  EXPECT_EQ(ReadText("windows/identity.nsh"), MakeInstallerSettings());
  EXPECT_EQ(ReadText("windows/README.txt"), MakeWindowsReadme());
  EXPECT_EQ(ReadText("windows/LICENSE.txt"), MakeWindowsLicense());
  EXPECT_NE(MakeDesktopEntry().find("\nExec=" HALVARIN_EXECUTABLE_NAME " %f\n"), std::string::npos);
  EXPECT_EQ(MakeResourceScript({}).find("RT_ICON"), std::string::npos);  // no icon, no icon group
}

TEST(IdentityFilesTest, OnlyA32x32TwentyFourBitIconIsTaken) {
  EXPECT_EQ(ReadIconImage(kIco).bitmap.size(), 40u + 32 * 96 + 32 * 4);
  Bytes eightBit = kIco, farAway = kIco;
  eightBit[22 + 14] = 8;       // the bitmap header's bit count
  farAway[6 + 12 + 3] = 0x7F;  // image offset beyond the end
  for (const Bytes& broken :
       {Bytes{}, Bytes{'P', 'K', 3, 4, 0, 0}, Bytes(kIco.begin(), kIco.begin() + 20),
        Bytes(kIco.begin(), kIco.end() - 1), eightBit, farAway}) {
    EXPECT_THROW(ReadIconImage(broken), AppError);
  }
}

}  // namespace
}  // namespace halvarin
