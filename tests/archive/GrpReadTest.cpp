// Loading, the layout checker beside it, and the names entries get: on
// archives written byte by byte, valid, damaged and not archives at all.

#include <gtest/gtest.h>

#include "AppError.h"
#include "ArchiveBytes.h"
#include "ArchiveChecks.h"
#include "DamagedArchives.h"
#include "FileNames.h"
#include "GrpCheck.h"
#include "GrpFormat.h"
#include "TempDir.h"
#include "clsVarnGRP.h"

namespace halvarin::testing {
namespace {

TEST(GrpRead, PositionsFollowFromTheSizesAndNamesKeepEveryByte) {
  TempDir dir;
  const std::string odd = std::string("\xE9t\xE9\0\x01 x", 7) + "    z";
  WriteAll(dir / "a.grp", ArchiveBytes({{Padded("a.art", '\0'), Content(1, 100)},
                                        {"ABCDEFGHIJKL", Content(2, 200)},
                                        {odd, Content(3, 300)},
                                        {"ABCDEFGHIJKL", ""}}) +
                              "bytes after the data");
  clsVarnGRP grp;
  EXPECT_EQ(grp.NumberOfFiles(), 0);
  EXPECT_EQ(ErrorOf([&] { grp.filename(1); }), errSubscriptOutOfRange);
  ASSERT_TRUE(grp.LoadFile(dir / "a.grp"));
  EXPECT_EQ(Snapshot(grp),
            (std::vector<std::string>{"4", Padded("a.art", '\0') + "|100|81", "ABCDEFGHIJKL|200|181",
                                      odd + "|300|381", "ABCDEFGHIJKL|0|681"}));
  for (int16_t bad : {0, -1, 5})
    EXPECT_EQ(ErrorOf([&] { grp.FilePosition(bad); }), errSubscriptOutOfRange) << bad;
}

TEST(GrpRead, HoldsAtMost32766Entries) {
  TempDir dir;
  std::vector<Item> items(32766, Item{Padded("e"), ""});
  items.back().Data = "last";
  const std::string bytes = ArchiveBytes(items);
  WriteAll(dir / "full.grp", bytes);
  for (const std::string& sound : {bytes, ArchiveBytes({})}) {  // both end where the data ends
    const auto size = static_cast<int64_t>(sound.size());
    EXPECT_TRUE(grp::CheckLayout(sound.data(), size, size).Sound());
  }
  clsVarnGRP grp;
  ASSERT_TRUE(grp.LoadFile(dir / "full.grp"));
  EXPECT_EQ(grp.NumberOfFiles(), 32766);
  EXPECT_EQ(grp.FilePosition(32766), 16 * 32766 + 17);
  EXPECT_EQ(grp.FileSize(32766), 4);
}

// A load that fails or finds no archive leaves the object as it was,
// including the file a later save writes to; the checker says the same as
// loading about every damaged archive.
TEST(GrpRead, RefusalsLeaveTheObjectAsItWas) {
  TempDir dir;
  WriteAll(dir / "good.grp", ArchiveBytes(FiveItems()));
  WriteAll(dir / "queued.txt", "queued");
  clsVarnGRP grp;
  ASSERT_TRUE(grp.LoadFile(dir / "good.grp"));
  grp.addFile(dir / "queued.txt");
  grp.deleteFile(1);
  const auto before = Snapshot(grp);

  for (const std::string& bytes :
       {std::string(), std::string("Quorindavel"), "QUORINDAVELL" + Int32(0),
        "Quorindavel!" + Int32(0)}) {
    WriteAll(dir / "other.bin", bytes);
    EXPECT_FALSE(grp.LoadFile(dir / "other.bin")) << bytes;
  }
  std::string why;
  EXPECT_EQ(ErrorOf([&] { grp.LoadFile(dir / "missing.grp"); }, &why), errFileNotFound);
  EXPECT_NE(why.find("\"" + (dir / "missing.grp") + "\""), std::string::npos) << why;
#ifndef _WIN32  // the system's own words
  EXPECT_NE(why.find("No such file"), std::string::npos) << why;
#endif
  EXPECT_EQ(ErrorOf([&] { grp.LoadFile(dir.Path().string()); }), errPathFileAccess);

  for (const DamagedArchive& d : DamagedArchives()) {
    SCOPED_TRACE(d.What);
    WriteAll(dir / "bad.grp", d.Bytes);
    EXPECT_EQ(ErrorOf([&] { grp.LoadFile(dir / "bad.grp"); }, &why), d.Number) << why;
    for (const std::string& word : d.Mentions)
      EXPECT_NE(why.find(word), std::string::npos) << why << " lacks " << word;
    const auto size = static_cast<int64_t>(d.Bytes.size());
    const grp::CheckResult check = grp::CheckLayout(d.Bytes.data(), size, size);
    ASSERT_NE(check.FirstError(), nullptr);
    EXPECT_EQ(check.FirstError()->Number, d.Number);
    EXPECT_EQ(why, "\"" + (dir / "bad.grp") + "\" is damaged: " + check.FirstError()->Text);
    int errors = 0;
    for (const grp::Finding& f : check.Findings)
      errors += f.IsError ? 1 : 0;
    EXPECT_EQ(errors, d.Errors);
  }
  EXPECT_EQ(Snapshot(grp), before);
  grp.saveFile("");  // the edits still belong to the good archive
  ASSERT_TRUE(grp.LoadFile(dir / "good.grp"));
  EXPECT_EQ(grp.NumberOfFiles(), 5);
  EXPECT_EQ(grp.filename(5), Padded("queued.txt"));
}

TEST(GrpNames, AddedFilesAreNamedByTheTwelveCharacterRule) {
  clsVarnGRP grp;
  const std::vector<std::pair<std::string, std::string>> examples = {
      {"C:\\games\\tiles000.art", "tiles000.art"},
      {"/mixed\\sep/a.b", "a.b"},
      {"D:\\music\\averylongname.mid", "averylon.mid"},
      {"D:\\x\\my.long.file.dat", "my.long..long.file.dat"},
      {"C:\\data\\noextensionatall", "noextensionatall"},
      {"dir/", ""},
      {"twelve12.abc", "twelve12.abc"},
      // Converted to Windows-1252 first, then counted in bytes.
      {"/home/u/\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9.txt",
       "\xE9\xE9\xE9\xE9\xE9\xE9\xE9\xE9.txt"},
      {"/home/u/\u20AC.mid", "\x80.mid"},
      {"/home/u/\u65E5\u672C\u8A9E.art", "___.art"},
  };
  for (const auto& [path, name] : examples)
    EXPECT_EQ(grp.addFile(path), name) << path;
  EXPECT_TRUE(grp.Changed());
}

// The name offered for an entry written to disk, whatever bytes it holds:
// what the window's Extract offers and the command line writes.
TEST(GrpNames, ExtractedNamesStayInTheirFolder) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {std::string("AB.MAP\0\0\0\0\0\0", 12), "AB.MAP"},
      {"README      ", "README"},
      {std::string("A.MAP\0junk!!", 12), "A.MAP"},
      {"..\\..\\x.bat ", ".._.._x.bat"},
      {"/etc/passwd ", "_etc_passwd"},
      {std::string("..\0\0\0\0\0\0\0\0\0\0", 12), "entry"},
      {".           ", "entry"},
      {"            ", "entry"},
      {"name...", "name"},
      {"..a", "..a"},
      {"C:boot.ini  ", "C_boot.ini"},
      {"a\tb\x7f" "c.txt   ", "a_b_c.txt"},
      {"CON.TXT     ", "_CON.TXT"},
      {"lpt1", "_lpt1"},
      {"COM10.txt", "COM10.txt"},
  };
  for (const auto& [stored, offered] : cases)
    EXPECT_EQ(SafeFileName(stored), offered) << stored;
}

}  // namespace
}  // namespace halvarin::testing
