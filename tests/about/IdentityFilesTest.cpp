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
const std::string kIco = ReadText("halvarin.ico");

// The committed files must be what the identity and the icon make today;
// after a change, `cmake --build BUILD --target update_identity_files`. The
// validators and the resource compiler then check the committed files.
TEST(IdentityFilesTest, CommittedFilesAreCurrent) {
  const std::vector<std::uint8_t> ico(kIco.begin(), kIco.end());
  ASSERT_FALSE(ico.empty()) << "resources/halvarin.ico is missing";
  EXPECT_EQ(ReadText("halvarin.rc"), MakeResourceScript(ico));
  EXPECT_EQ(ReadText(DesktopEntryFileName()), MakeDesktopEntry());
  EXPECT_EQ(ReadText(MetainfoFileName()), MakeMetainfo());
  EXPECT_EQ(ReadText(MimeInfoFileName()), MakeMimeInfo());
  EXPECT_EQ(ReadText("debian/package.cmake"), MakePackageSettings());
  EXPECT_EQ(ReadText("debian/changelog"), MakeDebianChangelog());
  EXPECT_EQ(ReadText("debian/copyright"), MakeDebianCopyright());
  EXPECT_NE(MakeDesktopEntry().find("\nExec=" HALVARIN_EXECUTABLE_NAME " %f\n"), std::string::npos);
  EXPECT_EQ(MakeResourceScript({}).find("RT_ICON"), std::string::npos);  // no icon, no icon group
}

TEST(IdentityFilesTest, OnlyA32x32TwentyFourBitIconIsTaken) {
  const std::vector<std::uint8_t> ico(kIco.begin(), kIco.end());
  EXPECT_EQ(ReadIconImage(ico).bitmap.size(), 40u + 32 * 96 + 32 * 4);
  auto eightBit = ico, farAway = ico;
  eightBit[22 + 14] = 8;       // the bitmap header's bit count
  farAway[6 + 12 + 3] = 0x7F;  // image offset beyond the end
  for (const std::vector<std::uint8_t>& broken : {std::vector<std::uint8_t>{},
                                                  {'P', 'K', 3, 4, 0, 0},
                                                  {ico.begin(), ico.begin() + 20},
                                                  {ico.begin(), ico.end() - 1},
                                                  eightBit,
                                                  farAway}) {
    EXPECT_THROW(ReadIconImage(broken), AppError);
  }
}

}  // namespace
}  // namespace halvarin
