#include <gtest/gtest.h>

#include "ArchiveTestSupport.h"
#include "clsVarnGRP.h"

namespace halvarin {
namespace {

using namespace halvarin::testing;

// Five loaded entries and two queued files, the situation in which deleting
// renumbers across the table and the queue.
class GrpEdit : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteAll(dir / "five.grp", ArchiveBytes(items));
    WriteAll(dir / "q1.txt", "first queued");
    WriteAll(dir / "q2.txt", "second");
    ASSERT_TRUE(grp.LoadFile(dir / "five.grp"));
    EXPECT_EQ(grp.addFile(dir / "q1.txt"), "q1.txt");
    EXPECT_EQ(grp.addFile(dir / "q2.txt"), "q2.txt");
  }

  // What a save writes, built independently from the expected survivors.
  std::string Expected(const std::vector<int>& kept, const std::vector<std::string>& queued) {
    std::vector<Item> out;
    for (int k : kept)
      out.push_back(items[static_cast<std::size_t>(k - 1)]);
    for (const std::string& q : queued)
      out.push_back({Padded(q), ReadAll(dir / q)});
    return ArchiveBytes(out);
  }

  TempDir dir;
  std::vector<Item> items = FiveItems();
  clsVarnGRP grp;
};

TEST_F(GrpEdit, DeletingAnEntryMovesTheLaterOnesDownWithTheirPositions) {
  const auto before = Snapshot(grp);
  grp.deleteFile(2);
  EXPECT_TRUE(grp.Changed());
  EXPECT_EQ(Snapshot(grp),
            (std::vector<std::string>{"4*", before[1], before[3], before[4], before[5]}));
  // The queued files are now 5 and 6: deleting 5 drops the first of them.
  grp.deleteFile(5);
  EXPECT_EQ(ReadAll(dir / "five.grp"), ArchiveBytes(items));  // editing never writes
  grp.saveFile("");
  EXPECT_EQ(ReadAll(dir / "five.grp"), Expected({1, 3, 4, 5}, {"q2.txt"}));
  EXPECT_FALSE(grp.Changed());
  EXPECT_EQ(grp.NumberOfFiles(), 5);
  EXPECT_EQ(grp.filename(5), Padded("q2.txt"));
  EXPECT_EQ(grp.FilePosition(2), 16 * 5 + 17 + 10);  // recomputed for the new file
}

TEST_F(GrpEdit, DeletingPastTheTableRemovesQueuedFiles) {
  grp.deleteFile(6);  // the first queued file; the second becomes 6
  grp.deleteFile(6);
  EXPECT_EQ(grp.NumberOfFiles(), 5);
  grp.saveFile(dir / "copy.grp");
  EXPECT_EQ(ReadAll(dir / "copy.grp"), ReadAll(dir / "five.grp"));
}

TEST_F(GrpEdit, IndicesOutsideTheTableAndQueueChangeNothing) {
  grp.saveFile("");  // back to unchanged, queue written
  const auto before = Snapshot(grp);
  for (int16_t bad : {int16_t{0}, int16_t{-1}, int16_t{8}, int16_t{32767}})
    EXPECT_EQ(ErrorOf([&] { grp.deleteFile(bad); }), errSubscriptOutOfRange) << bad;
  EXPECT_EQ(Snapshot(grp), before);
  EXPECT_FALSE(grp.Changed());
}

TEST_F(GrpEdit, DeletingEverythingLeavesAnEmptyArchive) {
  for (int i = 0; i < 7; ++i)
    grp.deleteFile(1);
  EXPECT_EQ(grp.NumberOfFiles(), 0);
  EXPECT_EQ(ErrorOf([&] { grp.deleteFile(1); }), errSubscriptOutOfRange);
  grp.saveFile("");
  EXPECT_EQ(ReadAll(dir / "five.grp"), ArchiveBytes({}));
  EXPECT_EQ(ReadAll(dir / "five.grp").size(), 16u);
  ASSERT_TRUE(grp.LoadFile(dir / "five.grp"));
  EXPECT_EQ(grp.NumberOfFiles(), 0);
}

TEST_F(GrpEdit, TheSamePathQueuedTwiceIsStoredTwice) {
  grp.addFile(dir / "q1.txt");
  grp.saveFile("");
  EXPECT_EQ(ReadAll(dir / "five.grp"), Expected({1, 2, 3, 4, 5}, {"q1.txt", "q2.txt", "q1.txt"}));
}

TEST(GrpEditNames, NamesFollowTheTwelveCharacterRule) {
  clsVarnGRP grp;
  const std::vector<std::pair<std::string, std::string>> examples = {
      {"C:\\games\\tiles000.art", "tiles000.art"},
      {"C:/games/sub/readme.txt", "readme.txt"},
      {"D:\\music\\averylongname.mid", "averylon.mid"},
      {"D:\\x\\my.long.file.dat", "my.long..long.file.dat"},
      {"D:\\x\\readme.markdown", "readme.m.markdown"},
      {"C:\\data\\noextensionatall", "noextensionatall"},
      {"report.voc", "report.voc"},
      {"/mixed\\sep/a.b", "a.b"},
      {"dir/", ""},
      {"dir\\", ""},
      {"twelve12.abc", "twelve12.abc"},
      {"thirteenchars", "thirteenchars"},
      // Non-ASCII: converted to Windows-1252 first, then counted in bytes.
      {"/home/u/caf\u00E9.txt", "caf\xE9.txt"},
      {"/home/u/\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9.txt",
       "\xE9\xE9\xE9\xE9\xE9\xE9\xE9\xE9.txt"},
      {"/home/u/\u20AC.mid", "\x80.mid"},
      {"/home/u/\u65E5\u672C\u8A9E.art", "___.art"},
  };
  for (const auto& [path, name] : examples)
    EXPECT_EQ(grp.addFile(path), name) << path;
  EXPECT_TRUE(grp.Changed());
}

TEST(GrpEditNames, LongNamesAreCutToTwelveBytesWhenWritten) {
  TempDir dir;
  WriteAll(dir / "my.long.file.dat", "a");
  WriteAll(dir / "noextensionatall", "b");
  WriteAll(dir / "r\u00E9sum\u00E9s-of-2024.txt", "c");
  clsVarnGRP grp;
  grp.addFile(dir / "my.long.file.dat");
  grp.addFile(dir / "noextensionatall");
  EXPECT_EQ(grp.addFile(dir / "r\u00E9sum\u00E9s-of-2024.txt"), "r\xE9sum\xE9s-.txt");
  grp.saveFile(dir / "out.grp");
  EXPECT_EQ(
      ReadAll(dir / "out.grp"),
      ArchiveBytes({{"my.long..lon", "a"}, {"noextensiona", "b"}, {"r\xE9sum\xE9s-.txt", "c"}}));
}

TEST(GrpEditNames, AddingNeedsNoFileUntilTheSave) {
  TempDir dir;
  clsVarnGRP grp;
  EXPECT_EQ(grp.addFile(dir / "later.txt"), "later.txt");
  EXPECT_TRUE(grp.Changed());
  EXPECT_EQ(ErrorOf([&] { grp.saveFile(dir / "out.grp"); }), errFileNotFound);
  EXPECT_EQ(dir.Names(), std::set<std::string>{});
  WriteAll(dir / "later.txt", "now here");
  grp.saveFile(dir / "out.grp");  // the queue survived the failed save
  EXPECT_EQ(ReadAll(dir / "out.grp"), ArchiveBytes({{Padded("later.txt"), "now here"}}));
}

}  // namespace
}  // namespace halvarin
