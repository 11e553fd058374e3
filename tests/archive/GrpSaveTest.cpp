#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "ArchiveTestSupport.h"
#include "EditedArchiveFixture.h"
#include "FaultyFileSystem.h"
#include "clsVarnGRP.h"
#include "clsVarnGRPTestAccess.h"

namespace halvarin {
namespace {

using namespace halvarin::testing;

TEST(GrpSave, OneEntryOfTenBytesIs42BytesLong) {
  TempDir dir;
  WriteAll(dir / "ten.txt", "0123456789");
  clsVarnGRP grp;
  grp.addFile(dir / "ten.txt");
  grp.saveFile(dir / "one.grp");
  const std::string expected =
      std::string("Quorindavell") + Int32(1) + "ten.txt     " + Int32(10) + "0123456789";
  EXPECT_EQ(ReadAll(dir / "one.grp"), expected);
  EXPECT_EQ(expected.size(), 42u);
  EXPECT_FALSE(grp.Changed());
  EXPECT_EQ(Snapshot(grp), (std::vector<std::string>{"1", "ten.txt     |10|33"}));
}

TEST(GrpSave, NewObjectWithNothingQueuedWritesTheSixteenByteArchive) {
  TempDir dir;
  clsVarnGRP grp;
  grp.saveFile(dir / "new.grp");
  EXPECT_EQ(ReadAll(dir / "new.grp"), std::string("Quorindavell") + Int32(0));
  clsVarnGRP reread;
  ASSERT_TRUE(reread.LoadFile(dir / "new.grp"));
  EXPECT_EQ(reread.NumberOfFiles(), 0);
  // Saving with no name and no archive has nowhere to go.
  EXPECT_EQ(ErrorOf([&] { clsVarnGRP().saveFile(""); }), errInvalidArgument);
}

TEST(GrpSave, RoundTripKeepsEveryByteAndDropsTrailingJunk) {
  TempDir dir;
  const std::vector<Item> items = {{Padded("nul", '\0'), Content(1, 7)},
                                   {Padded("space"), Content(2, 0)},
                                   {"TWELVECHARS!", Content(3, 3)},
                                   {Padded("nul", '\0'), Content(4, 1)}};
  WriteAll(dir / "in.grp", ArchiveBytes(items) + "junk");
  clsVarnGRP grp;
  ASSERT_TRUE(grp.LoadFile(dir / "in.grp"));
  grp.saveFile(dir / "out.grp");
  EXPECT_EQ(ReadAll(dir / "out.grp"), ArchiveBytes(items));
  EXPECT_EQ(ReadAll(dir / "in.grp"), ArchiveBytes(items) + "junk");  // old file untouched
  // Later saves with no name go to the new file.
  grp.deleteFile(1);
  grp.saveFile("");
  EXPECT_EQ(ReadAll(dir / "out.grp"), ArchiveBytes({items[1], items[2], items[3]}));
  EXPECT_EQ(ReadAll(dir / "in.grp"), ArchiveBytes(items) + "junk");
}

TEST(GrpSave, EmptyEntriesSaveAndExtract) {
  TempDir dir;
  WriteAll(dir / "empty.txt", "");
  WriteAll(dir / "after.txt", "after");
  clsVarnGRP grp;
  grp.addFile(dir / "empty.txt");
  grp.addFile(dir / "after.txt");
  grp.saveFile(dir / "z.grp");
  EXPECT_EQ(Snapshot(grp),
            (std::vector<std::string>{"2", "empty.txt   |0|49", "after.txt   |5|49"}));
  WriteAll(dir / "out.txt", "previous longer content");
  grp.extractFile(1, dir / "out.txt");
  EXPECT_EQ(ReadAll(dir / "out.txt"), "");
  grp.extractFile(2, dir / "out2.txt");
  EXPECT_EQ(ReadAll(dir / "out2.txt"), "after");
}

TEST(GrpExtract, WritesExactlyTheEntryAndReplacesTheWholeTarget) {
  TempDir dir;
  const auto items = FiveItems();
  WriteAll(dir / "a.grp", ArchiveBytes(items));
  clsVarnGRP grp;
  ASSERT_TRUE(grp.LoadFile(dir / "a.grp"));
  grp.deleteFile(1);  // extraction reads the file on disk, not the edits
  WriteAll(dir / "out.dat", std::string(1000, 'x'));
  ::chmod((dir / "out.dat").c_str(), 0640);
  grp.extractFile(3, dir / "out.dat");
  EXPECT_EQ(ReadAll(dir / "out.dat"), items[3].Data);
  EXPECT_EQ(PermissionsOf(dir / "out.dat"), 0640u);
  EXPECT_TRUE(grp.Changed());
  EXPECT_EQ(dir.Names(), (std::set<std::string>{"a.grp", "out.dat"}));

  EXPECT_EQ(ErrorOf([&] { grp.extractFile(5, dir / "nope"); }), errSubscriptOutOfRange);
  EXPECT_EQ(ErrorOf([&] { grp.extractFile(0, dir / "nope"); }), errSubscriptOutOfRange);
  EXPECT_EQ(ErrorOf([&] { grp.extractFile(1, dir / "a.grp"); }), errInvalidArgument);
  EXPECT_EQ(ErrorOf([&] { grp.extractFile(1, dir.Path().string()); }), errPathFileAccess);
  EXPECT_EQ(ReadAll(dir / "a.grp"), ArchiveBytes(items));
  EXPECT_EQ(dir.Names(), (std::set<std::string>{"a.grp", "out.dat"}));
}

TEST(GrpSave, KeepsPermissionsAndSymbolicLinks) {
  TempDir dir;
  std::filesystem::create_directory(dir / "real");
  WriteAll(dir / "real/a.grp", ArchiveBytes(FiveItems()));
  ::chmod((dir / "real/a.grp").c_str(), 0604);
  std::filesystem::create_symlink("real/a.grp", dir / "link.grp");
  clsVarnGRP grp;
  ASSERT_TRUE(grp.LoadFile(dir / "link.grp"));
  grp.deleteFile(5);
  grp.saveFile("");
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.grp"));
  EXPECT_EQ(std::filesystem::read_symlink(dir / "link.grp"), "real/a.grp");
  EXPECT_EQ(PermissionsOf(dir / "real/a.grp"), 0604u);
  auto items = FiveItems();
  items.pop_back();
  EXPECT_EQ(ReadAll(dir / "real/a.grp"), ArchiveBytes(items));
  EXPECT_EQ(dir.Names(), (std::set<std::string>{"link.grp", "real"}));
}

// Refusals and failures: whatever goes wrong, the target and the old archive
// keep their bytes, no temporary file is left, every file is closed, and the
// object still holds its table, queue and Changed.
class GrpSaveFailure : public EditedArchiveFixture {
 protected:
  // The edits are still all there: a save that works writes them in full.
  void ExpectSavesLater() {
    grp.saveFile(dir / "target.grp");
    EXPECT_EQ(ReadAll(dir / "target.grp"), SavedBytes());
    EXPECT_FALSE(grp.Changed());
    EXPECT_EQ(faulty.OpenFiles(), 0);
  }
};

TEST_F(GrpSaveFailure, QueuedFileRemovedBeforeTheSave) {
  std::filesystem::remove(dir / "q.txt");
  names = dir.Names();
  ExpectNothingChanged(ErrorOf([&] { grp.saveFile(dir / "target.grp"); }), errFileNotFound);
  WriteAll(dir / "q.txt", "queued data");
  ExpectSavesLater();
}

TEST_F(GrpSaveFailure, TargetIsAFolder) {
  std::filesystem::create_directory(dir / "folder.grp");
  names = dir.Names();
  std::string why;
  ExpectNothingChanged(ErrorOf([&] { grp.saveFile(dir / "folder.grp"); }, &why), errPathFileAccess);
  EXPECT_NE(why.find("folder.grp"), std::string::npos) << why;
  EXPECT_TRUE(std::filesystem::is_empty(dir / "folder.grp"));
  ExpectSavesLater();
}

TEST_F(GrpSaveFailure, EveryStepThatCanFail) {
  // Each operation the save performs, failing once, at its first and at a
  // later call; the permission error stands for an unwritable folder.
  const std::vector<std::pair<Op, int>> steps = {
      {Op::OpenRead, 1},  {Op::OpenRead, 2}, {Op::OpenRead, 3},        {Op::Stat, 1},
      {Op::CreateNew, 1}, {Op::Write, 1},    {Op::Write, 2},           {Op::Write, 3},
      {Op::Sync, 1},      {Op::Close, 1},    {Op::CopyPermissions, 1}, {Op::Rename, 1}};
  for (const auto& [op, nth] : steps) {
    SCOPED_TRACE(static_cast<int>(op) * 10 + nth);
    faulty.FailAt(op, nth, errPermissionDenied);
    ExpectNothingChanged(ErrorOf([&] { grp.saveFile(dir / "target.grp"); }), errPermissionDenied);
    faulty.FailAt(op, 0);
  }
  ExpectSavesLater();
}

TEST_F(GrpSaveFailure, TheSameFailuresDuringAnExtraction) {
  WriteAll(dir / "x.dat", "older and longer content of the target");
  names = dir.Names();
  for (Op op : {Op::OpenRead, Op::CreateNew, Op::Write, Op::Sync, Op::Rename}) {
    SCOPED_TRACE(static_cast<int>(op));
    faulty.FailAt(op, 1);
    ExpectNothingChanged(ErrorOf([&] { grp.extractFile(1, dir / "x.dat"); }), errPathFileAccess);
    EXPECT_EQ(ReadAll(dir / "x.dat"), "older and longer content of the target");
    faulty.FailAt(op, 0);
  }
  grp.extractFile(1, dir / "x.dat");
  EXPECT_EQ(ReadAll(dir / "x.dat"), FiveItems()[0].Data);
}

TEST_F(GrpSaveFailure, TemporaryFileGoesBesideTheTarget) {
  std::filesystem::create_directory(dir / "sub");
  grp.saveFile(dir / "sub/t.grp");
  ASSERT_EQ(faulty.Created().size(), 1u);
  EXPECT_EQ(std::filesystem::path(faulty.Created()[0]).parent_path(), dir.Path() / "sub");
}

TEST_F(GrpSaveFailure, AFailedFolderFlushAfterTheRenameStillDescribesTheNewFile) {
  faulty.FailAt(Op::SyncFolder, 1);
  EXPECT_EQ(ErrorOf([&] { grp.saveFile(dir / "target.grp"); }), errPathFileAccess);
  // The new archive is in place, so the object must point at it, not at the
  // old one whose positions no longer apply.
  EXPECT_FALSE(grp.Changed());
  EXPECT_EQ(grp.NumberOfFiles(), 5);
  clsVarnGRP reread;
  ASSERT_TRUE(reread.LoadFile(dir / "target.grp"));
  EXPECT_EQ(Snapshot(reread), Snapshot(grp));
}

TEST_F(GrpSaveFailure, OldArchiveChangedOnDiskSinceItWasLoaded) {
  WriteAll(dir / "a.grp", original.substr(0, original.size() - 20));
  std::string why;
  EXPECT_EQ(ErrorOf([&] { grp.saveFile(dir / "target.grp"); }, &why), errPathFileAccess);
  EXPECT_NE(why.find("has been changed"), std::string::npos) << why;
  EXPECT_NE(why.find("a.grp"), std::string::npos) << why;
  EXPECT_EQ(ReadAll(dir / "target.grp"), "previous target");
  EXPECT_EQ(dir.Names(), names);
  EXPECT_EQ(Snapshot(grp), before);
}

TEST_F(GrpSaveFailure, MoreThan32766EntriesAreRefusedBeforeWriting) {
  std::vector<Item> items(32765, Item{Padded("e"), ""});
  WriteAll(dir / "big.grp", ArchiveBytes(items));
  ASSERT_TRUE(grp.LoadFile(dir / "big.grp"));
  grp.addFile(dir / "q.txt");
  grp.addFile(dir / "q.txt");
  before = Snapshot(grp);
  names = dir.Names();
  const int opens = faulty.Calls(Op::OpenRead);
  EXPECT_EQ(ErrorOf([&] { grp.saveFile(dir / "target.grp"); }), errOverflow);
  EXPECT_EQ(faulty.Calls(Op::OpenRead), opens);
  EXPECT_EQ(Snapshot(grp), before);
  EXPECT_EQ(dir.Names(), names);
  grp.deleteFile(32767);
  grp.saveFile(dir / "target.grp");  // exactly 32766 is fine
  EXPECT_EQ(grp.NumberOfFiles(), 32766);
}

TEST_F(GrpSaveFailure, DataPastThePositionLimitIsRefusedBeforeWriting) {
  // Sparse files: the length counts, no disk space is used.
  for (const auto& [name, size] :
       {std::pair<const char*, uintmax_t>{"huge.bin", 3ull << 30}, {"edge.bin", 2147483647ull}}) {
    WriteAll(dir / name, "");
    std::filesystem::resize_file(dir / name, size);
    clsVarnGRP big;
    clsVarnGRPTestAccess::UseFileSystem(big, faulty);
    big.addFile(dir / name);
    const int creates = faulty.Calls(Op::CreateNew);
    std::string why;
    EXPECT_EQ(ErrorOf([&] { big.saveFile(dir / "target.grp"); }, &why), errOverflow) << name;
    EXPECT_NE(why.find("2147483647"), std::string::npos) << why;
    EXPECT_EQ(faulty.Calls(Op::CreateNew), creates);
    EXPECT_TRUE(big.Changed());
  }
  EXPECT_EQ(ReadAll(dir / "target.grp"), "previous target");
}

}  // namespace
}  // namespace halvarin
