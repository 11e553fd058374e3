#include <gtest/gtest.h>

#include "AppError.h"
#include "ArchiveTestSupport.h"
#include "clsVarnGRP.h"

namespace halvarin {
namespace {

using namespace halvarin::testing;

TEST(GrpLoad, FreshObjectIsEmptyAndRejectsEveryIndex) {
  clsVarnGRP grp;
  EXPECT_EQ(grp.NumberOfFiles(), 0);
  EXPECT_FALSE(grp.Changed());
  EXPECT_EQ(ErrorOf([&] { grp.filename(1); }), errSubscriptOutOfRange);
  EXPECT_EQ(ErrorOf([&] { grp.FileSize(0); }), errSubscriptOutOfRange);
  EXPECT_EQ(ErrorOf([&] { grp.FilePosition(-1); }), errSubscriptOutOfRange);
}

TEST(GrpLoad, ComputesPositionsFromTheSizesBefore) {
  TempDir dir;
  WriteAll(dir / "three.grp", ArchiveBytes({{Padded("a.art"), Content(1, 100)},
                                            {Padded("b.map"), Content(2, 200)},
                                            {Padded("c.voc"), Content(3, 300)}}));
  clsVarnGRP grp;
  ASSERT_TRUE(grp.LoadFile(dir / "three.grp"));
  EXPECT_EQ(Snapshot(grp),
            (std::vector<std::string>{"3", Padded("a.art") + "|100|65",
                                      Padded("b.map") + "|200|165", Padded("c.voc") + "|300|365"}));
  EXPECT_EQ(ErrorOf([&] { grp.FileSize(4); }), errSubscriptOutOfRange);
}

TEST(GrpLoad, NamesComeBackWithTheirPaddingAndAnyBytes) {
  TempDir dir;
  const std::string nulPadded = Padded("tiles000", '\0');
  const std::string full = "ABCDEFGHIJKL";                                // 12 bytes, no terminator
  const std::string odd = std::string("\xE9t\xE9\0\x01 x", 7) + "    z";  // any byte is allowed
  WriteAll(dir / "names.grp",
           ArchiveBytes({{nulPadded, "x"}, {full, "yy"}, {odd, ""}, {full, "zzz"}}));
  clsVarnGRP grp;
  ASSERT_TRUE(grp.LoadFile(dir / "names.grp"));
  EXPECT_EQ(grp.filename(1), nulPadded);
  EXPECT_EQ(grp.filename(1).substr(8), std::string(4, '\0'));
  EXPECT_EQ(grp.filename(2), full);
  EXPECT_EQ(grp.filename(3), odd);
  EXPECT_EQ(grp.filename(4), full);  // duplicates are two separate entries
}

TEST(GrpLoad, EmptyArchiveLoadsAsEmptyTable) {
  TempDir dir;
  WriteAll(dir / "empty.grp", ArchiveBytes({}));
  clsVarnGRP grp;
  grp.addFile(dir / "queued.txt");
  ASSERT_TRUE(grp.LoadFile(dir / "empty.grp"));
  EXPECT_EQ(grp.NumberOfFiles(), 0);
  EXPECT_FALSE(grp.Changed());
  EXPECT_EQ(ErrorOf([&] { grp.deleteFile(1); }), errSubscriptOutOfRange);  // queue was dropped
}

TEST(GrpLoad, TrailingBytesAreIgnored) {
  TempDir dir;
  WriteAll(dir / "tail.grp", ArchiveBytes({{Padded("a"), "abc"}}) + "garbage after the data");
  clsVarnGRP grp;
  ASSERT_TRUE(grp.LoadFile(dir / "tail.grp"));
  EXPECT_EQ(grp.NumberOfFiles(), 1);
  EXPECT_EQ(grp.FileSize(1), 3);
}

TEST(GrpLoad, HoldsAtMost32766Entries) {
  TempDir dir;
  std::vector<Item> items(32766, Item{Padded("e"), ""});
  items.back().Data = "last";
  WriteAll(dir / "full.grp", ArchiveBytes(items));
  clsVarnGRP grp;
  ASSERT_TRUE(grp.LoadFile(dir / "full.grp"));
  EXPECT_EQ(grp.NumberOfFiles(), 32766);
  EXPECT_EQ(grp.FilePosition(32766), 16 * 32766 + 17);
  EXPECT_EQ(grp.FileSize(32766), 4);

  items.push_back(Item{Padded("f"), ""});
  WriteAll(dir / "over.grp", ArchiveBytes(items));
  EXPECT_EQ(ErrorOf([&] { grp.LoadFile(dir / "over.grp"); }), errOverflow);
  EXPECT_EQ(grp.NumberOfFiles(), 32766);
}

// A load that fails or finds no archive must leave the object exactly as it
// was, including the path a later save writes to.
class GrpLoadRefusal : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteAll(dir / "good.grp", ArchiveBytes(FiveItems()));
    ASSERT_TRUE(grp.LoadFile(dir / "good.grp"));
    WriteAll(dir / "queued.txt", "queued");
    grp.addFile(dir / "queued.txt");
    grp.deleteFile(1);
    before = Snapshot(grp);
  }

  void ExpectUntouched() {
    EXPECT_EQ(Snapshot(grp), before);
    // The pending edits still belong to the good archive and still save there.
    grp.saveFile("");
    clsVarnGRP reread;
    ASSERT_TRUE(reread.LoadFile(dir / "good.grp"));
    EXPECT_EQ(reread.NumberOfFiles(), 5);
    EXPECT_EQ(reread.filename(5), Padded("queued.txt"));
  }

  TempDir dir;
  clsVarnGRP grp;
  std::vector<std::string> before;
};

TEST_F(GrpLoadRefusal, FilesWithoutTheMagicAreNotArchives) {
  const std::string magic = "Quorindavell";
  for (const std::string& bytes :
       {std::string(), magic.substr(0, 11), std::string("QUORINDAVELL") + Int32(0),
        std::string("quorindavell") + Int32(0), std::string("Quorindavel!") + Int32(0)}) {
    WriteAll(dir / "other.bin", bytes);
    EXPECT_FALSE(grp.LoadFile(dir / "other.bin")) << bytes;
  }
  ExpectUntouched();
}

TEST_F(GrpLoadRefusal, FilesThatCannotBeOpenedAreErrors) {
  std::string why;
  EXPECT_EQ(ErrorOf([&] { grp.LoadFile(dir / "missing.grp"); }, &why), errFileNotFound);
  EXPECT_NE(why.find(dir / "missing.grp"), std::string::npos) << why;
#ifndef _WIN32  // the system's own words
  EXPECT_NE(why.find("No such file"), std::string::npos) << why;
#endif
  EXPECT_EQ(ErrorOf([&] { grp.LoadFile(dir.Path().string()); }), errPathFileAccess);
  ExpectUntouched();
}

TEST_F(GrpLoadRefusal, DamagedArchivesAreRefusedWithTheReason) {
  const std::string head = "Quorindavell";
  struct Case {
    std::string bytes;
    int32_t number;
    std::vector<std::string> mentions;
  };
  const std::string item = Padded("pic.art");
  const std::vector<Case> cases = {
      {head + std::string("\x01\x00", 2), errPathFileAccess, {"ends after 14 bytes", "header"}},
      {head + Int32(-1), errSubscriptOutOfRange, {"negative", "-1"}},
      {head + Int32(40000), errOverflow, {"40000", "32766"}},
      {head + Int32(2) + item + Int32(0), errPathFileAccess, {"directory", "48", "ends after 32"}},
      {head + Int32(1) + item + Int32(-5), errPathFileAccess, {"entry 1", "pic.art", "-5"}},
      {head + Int32(2) + item + Int32(3) + Padded("snd.voc") + Int32(10) + "abc" + "short",
       errPathFileAccess,
       {"entry 2", "snd.voc", "10 bytes", "position 52", "ends after 56 bytes"}},
      {head + Int32(2) + item + Int32(0x7FFFFFF0) + item + Int32(0x7FFFFFF0),
       errOverflow,
       {"entry 1", "2147483647"}},
  };
  for (const Case& c : cases) {
    WriteAll(dir / "bad.grp", c.bytes);
    std::string why;
    EXPECT_EQ(ErrorOf([&] { grp.LoadFile(dir / "bad.grp"); }, &why), c.number) << why;
    EXPECT_NE(why.find(dir / "bad.grp"), std::string::npos) << why;
    for (const std::string& word : c.mentions)
      EXPECT_NE(why.find(word), std::string::npos) << why << " lacks " << word;
  }
  ExpectUntouched();
}

TEST(GrpLoad, ASecondLoadReplacesEverything) {
  TempDir dir;
  WriteAll(dir / "five.grp", ArchiveBytes(FiveItems()));
  WriteAll(dir / "one.grp", ArchiveBytes({{Padded("only"), "1"}}));
  clsVarnGRP grp;
  ASSERT_TRUE(grp.LoadFile(dir / "five.grp"));
  grp.addFile(dir / "one.grp");
  grp.deleteFile(3);
  ASSERT_TRUE(grp.LoadFile(dir / "one.grp"));
  EXPECT_EQ(Snapshot(grp), (std::vector<std::string>{"1", Padded("only") + "|1|33"}));
  // The earlier queue is gone: a save writes the loaded entries only.
  grp.saveFile("");
  EXPECT_EQ(ReadAll(dir / "one.grp"), ArchiveBytes({{Padded("only"), "1"}}));
}

}  // namespace
}  // namespace halvarin
