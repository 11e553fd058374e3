// The saves refused before a byte is written. The random model test
// (GrpModelTest) checks the bytes of every other save.

#include <gtest/gtest.h>

#include "ArchiveBytes.h"
#include "ArchiveChecks.h"
#include "FaultyFileSystem.h"
#include "GrpCheck.h"
#include "TempDir.h"

namespace halvarin::testing {
namespace {

// 32766 entries load, check sound and save; one more is refused, as are
// positions past 2^31 - 1, all before anything is opened or made.
TEST(GrpSave, WhatTheFormatCannotHoldIsRefusedBeforeWriting) {
  TempDir dir;
  FaultyFileSystem counting;
  clsVarnGRP grp(counting);
  WriteAll(dir / "q.txt", "q");
  WriteAll(dir / "big.grp", ArchiveBytes(std::vector<Item>(32765, Item{Padded("e"), ""})));
  ASSERT_TRUE(grp.LoadFile(dir / "big.grp"));
  grp.addFile(dir / "q.txt");
  grp.addFile(dir / "q.txt");
  const auto before = Snapshot(grp);
  const int opens = counting.Calls(Op::OpenRead);
  EXPECT_EQ(ErrorOf([&] { grp.saveFile(dir / "t.grp"); }), errOverflow);
  EXPECT_EQ(counting.Calls(Op::OpenRead), opens);
  EXPECT_EQ(Snapshot(grp), before);
  grp.deleteFile(32767);
  grp.saveFile(dir / "t.grp");
  ASSERT_TRUE(clsVarnGRP().LoadFile(dir / "t.grp"));
  EXPECT_EQ(grp.FilePosition(32766), 16 * 32766 + 17);
  EXPECT_TRUE(grp::CheckFile(dir / "t.grp", counting).Sound());

  // Data past the largest position; sparse files, so no disk space is used.
  for (const auto& [name, size] :
       {std::pair<const char*, uintmax_t>{"huge.bin", 3ull << 30}, {"edge.bin", 2147483647ull}}) {
    WriteAll(dir / name, "");
    fs::resize_file(dir / name, size);
    clsVarnGRP big(counting);
    big.addFile(dir / name);
    const int creates = counting.Calls(Op::CreateNew);
    std::string why;
    EXPECT_EQ(ErrorOf([&] { big.saveFile(dir / "t2.grp"); }, &why), errOverflow) << name;
    EXPECT_NE(why.find("2147483647"), std::string::npos) << why;
    EXPECT_EQ(counting.Calls(Op::CreateNew), creates);
  }
  EXPECT_FALSE(fs::exists(dir / "t2.grp"));
}

}  // namespace
}  // namespace halvarin::testing
