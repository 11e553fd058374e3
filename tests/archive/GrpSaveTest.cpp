// Saves and extractions that keep what the user set up (permissions, links),
// and the ones refused before a byte is written. The random model test
// (GrpModelTest) checks the bytes of every other save.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "ArchiveBytes.h"
#include "ArchiveChecks.h"
#include "FaultyFileSystem.h"
#include "GrpCheck.h"
#include "TempDir.h"

namespace halvarin::testing {
namespace {

uint32_t PermissionsOf(const std::string& path) {
  struct stat st {};
  ::stat(path.c_str(), &st);
  return st.st_mode & 07777;
}

TEST(GrpSave, KeepsPermissionsAndSymbolicLinks) {
#ifdef _WIN32
  GTEST_SKIP() << "POSIX permission bits; symbolic links need a privilege on Windows";
#endif
  TempDir dir;
  std::filesystem::create_directory(dir / "real");
  WriteAll(dir / "real/a.grp", ArchiveBytes(FiveItems()));
  ::chmod((dir / "real/a.grp").c_str(), 0604);
  std::filesystem::create_symlink("real/a.grp", dir / "link.grp");
  WriteAll(dir / "out.dat", std::string(1000, 'x'));
  ::chmod((dir / "out.dat").c_str(), 0640);
  clsVarnGRP grp;
  ASSERT_TRUE(grp.LoadFile(dir / "link.grp"));
  grp.extractFile(3, dir / "out.dat");
  EXPECT_EQ(ReadAll(dir / "out.dat"), FiveItems()[2].Data);
  EXPECT_EQ(PermissionsOf(dir / "out.dat"), 0640u);
  grp.deleteFile(5);
  grp.saveFile("");
  EXPECT_EQ(std::filesystem::read_symlink(dir / "link.grp"), "real/a.grp");
  EXPECT_EQ(PermissionsOf(dir / "real/a.grp"), 0604u);
  auto items = FiveItems();
  items.pop_back();
  EXPECT_EQ(ReadAll(dir / "real/a.grp"), ArchiveBytes(items));
  EXPECT_EQ(dir.Names(), (std::set<std::string>{"link.grp", "out.dat", "real"}));
}

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
    std::filesystem::resize_file(dir / name, size);
    clsVarnGRP big(counting);
    big.addFile(dir / name);
    const int creates = counting.Calls(Op::CreateNew);
    std::string why;
    EXPECT_EQ(ErrorOf([&] { big.saveFile(dir / "t2.grp"); }, &why), errOverflow) << name;
    EXPECT_NE(why.find("2147483647"), std::string::npos) << why;
    EXPECT_EQ(counting.Calls(Op::CreateNew), creates);
  }
  EXPECT_FALSE(std::filesystem::exists(dir / "t2.grp"));
}

}  // namespace
}  // namespace halvarin::testing
