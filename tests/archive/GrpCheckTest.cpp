// The layout checker against loading: on any bytes, an archive is sound to
// the one exactly when the other loads it, and both say the same about why not.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "AppError.h"
#include "ArchiveTestSupport.h"
#include "GrpCheck.h"
#include "GrpFormat.h"
#include "clsVarnGRP.h"

namespace halvarin::testing {
namespace {

// Only the engine's output is the same everywhere, not the standard
// distributions: draws are made from it directly.
class Draw {
 public:
  explicit Draw(uint32_t seed) : engine_(seed) {}
  uint32_t Below(uint32_t n) { return engine_() % n; }
  int32_t Any() { return static_cast<int32_t>(engine_()); }

 private:
  std::mt19937 engine_;
};

std::string RandomArchive(Draw& draw) {
  std::vector<Item> items;
  const uint32_t count = draw.Below(7);
  for (uint32_t i = 0; i < count; ++i) {
    // Few different names, so that duplicates come up too.
    std::string name = "E" + std::to_string(draw.Below(4)) + (draw.Below(2) ? ".dat" : ".DAT");
    items.push_back(
        {Padded(name, draw.Below(2) ? ' ' : '\0'), Content(static_cast<int>(i), draw.Below(40))});
  }
  return ArchiveBytes(items);
}

// One more or one less, wrapping round as the stored bits would.
int32_t Step(int32_t value, int32_t by) {
  return static_cast<int32_t>(static_cast<uint32_t>(value) + static_cast<uint32_t>(by));
}

void Mutate(std::string& bytes, Draw& draw) {
  const auto count = [&] { return bytes.size() >= 16 ? grp::ReadInt32(bytes.data() + 12) : 0; };
  switch (draw.Below(5)) {
    case 0:  // cut short
      bytes.resize(draw.Below(static_cast<uint32_t>(bytes.size()) + 1));
      break;
    case 1: {  // another entry count
      if (bytes.size() < 16)
        break;
      const int32_t counts[] = {-1,    0,     Step(count(), -1), Step(count(), 1),
                                32766, 32767, draw.Any()};
      bytes.replace(12, 4, Int32(counts[draw.Below(7)]));
      break;
    }
    case 2: {  // another size for some entry
      if (bytes.size() < 32 || count() <= 0)
        break;
      const int32_t n = std::min<int32_t>(count(), static_cast<int32_t>((bytes.size() - 16) / 16));
      const std::size_t at = 16 + 16 * draw.Below(static_cast<uint32_t>(n)) + 12;
      const int32_t size = grp::ReadInt32(bytes.data() + at);
      const int32_t sizes[] = {-1,         0,          Step(size, -1), Step(size, 1),
                               0x7FFFFFFF, 0x7FFFFFC0, draw.Any()};
      bytes.replace(at, 4, Int32(sizes[draw.Below(7)]));
      break;
    }
    case 3:  // random bytes anywhere, the magic included
      for (uint32_t k = draw.Below(4) + 1; k > 0 && !bytes.empty(); --k)
        bytes[draw.Below(static_cast<uint32_t>(bytes.size()))] = static_cast<char>(draw.Below(256));
      break;
    default:  // bytes after the end
      bytes.append(draw.Below(20), 'x');
      break;
  }
}

TEST(GrpCheckTest, CheckerAndLoadingNeverDisagree) {
  TempDir dir;
  const std::string path = dir / "m.grp";
  std::map<int32_t, int> outcomes;  // 0 loaded, -1 not an archive, else the error number
  // HALVARIN_CHECK_ARCHIVES=N tries N archives instead (fewer where file
  // calls are slow, as under wine).
  const char* given = std::getenv("HALVARIN_CHECK_ARCHIVES");
  const uint32_t archives = given ? static_cast<uint32_t>(std::strtoul(given, nullptr, 10)) : 3000;
  for (uint32_t seed = 1; seed <= archives; ++seed) {
    Draw draw(seed);
    std::string bytes = RandomArchive(draw);
    for (uint32_t k = draw.Below(3) + 1; k > 0; --k)
      Mutate(bytes, draw);
    WriteAll(path, bytes);
    const auto size = static_cast<int64_t>(bytes.size());
    const grp::CheckResult check = grp::CheckLayout(bytes.data(), size, size);
    SCOPED_TRACE("seed " + std::to_string(seed));

    clsVarnGRP archive;
    bool loaded = false;
    std::string description;
    const int32_t number = ErrorOf([&] { loaded = archive.LoadFile(path); }, &description);
    if (number != 0) {
      ASSERT_FALSE(check.Sound());
      ASSERT_TRUE(check.IsArchive);
      const grp::Finding* first = check.FirstError();
      ASSERT_NE(first, nullptr);
      EXPECT_EQ(number, first->Number);
      EXPECT_TRUE(description.ends_with(" is damaged: " + first->Text)) << description;
      ++outcomes[number];
      continue;
    }
    ASSERT_EQ(loaded, check.IsArchive);
    ASSERT_EQ(loaded, check.Sound());
    ++outcomes[loaded ? 0 : -1];
    if (loaded) {
      EXPECT_EQ(archive.NumberOfFiles(), check.Count);
      int64_t data = 0;
      for (int16_t i = 1; i <= archive.NumberOfFiles(); ++i)
        data += archive.FileSize(i);
      EXPECT_EQ(data, check.DataBytes);
    }
  }
  // Every verdict came up often enough to mean something.
  for (const int32_t outcome :
       {0, -1, int32_t{errOverflow}, int32_t{errSubscriptOutOfRange}, int32_t{errPathFileAccess}})
    EXPECT_GE(outcomes[outcome], static_cast<int>(archives / 150)) << outcome;
}

TEST(GrpCheckTest, TheCheckerGoesOnWhereLoadingStops) {
  TempDir dir;
  std::string bytes = ArchiveBytes({{Padded("a.art"), "aaaa"},
                                    {Padded("b.map"), "bbbb"},
                                    {Padded("A.ART"), "cccc"},
                                    {Padded("d.voc"), "dddd"}});
  bytes.replace(16 + 12, 4, Int32(-3));           // entry 1: negative
  bytes.replace(16 + 16 * 3 + 12, 4, Int32(40));  // entry 4: past the end
  WriteAll(dir / "x.grp", bytes);

  const grp::CheckResult check = grp::CheckLayout(bytes.data(), static_cast<int64_t>(bytes.size()),
                                                  static_cast<int64_t>(bytes.size()));
  std::vector<std::string> errors, warnings;
  for (const grp::Finding& f : check.Findings)
    (f.IsError ? errors : warnings).push_back(f.Text);
  ASSERT_EQ(errors.size(), 2u);
  EXPECT_EQ(errors[0], "entry 1 (\"a.art\") has a negative size (-3).");
  EXPECT_TRUE(
      errors[1].starts_with("entry 4 (\"d.voc\", 40 bytes at position 89) runs past the end"))
      << errors[1];
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_TRUE(warnings[0].starts_with("entry 3 (\"A.ART\") has the same name as entry 1"))
      << warnings[0];

  std::string description;
  clsVarnGRP archive;
  EXPECT_EQ(ErrorOf([&] { archive.LoadFile(dir / "x.grp"); }, &description), errPathFileAccess);
  EXPECT_EQ(description, "\"" + (dir / "x.grp") + "\" is damaged: " + errors[0]);

  // Reading the file gives the same verdict as the bytes in memory.
  const grp::CheckResult fromFile = grp::CheckFile(dir / "x.grp", io::FileSystem::Native());
  EXPECT_EQ(fromFile.Findings.size(), check.Findings.size());
  EXPECT_EQ(fromFile.FileBytes, static_cast<int64_t>(bytes.size()));
}

}  // namespace
}  // namespace halvarin::testing
