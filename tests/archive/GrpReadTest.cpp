// Loading and the layout checker beside it, on archives written byte by byte
// that are damaged or no archives at all; the saves refused before a byte is
// written, as the format cannot hold them (the random model test checks the
// bytes of every other save); and the names entries get going into an
// archive and coming out of one.

#include <gtest/gtest.h>

#include <numeric>

#include "ArchiveBytes.h"
#include "ArchiveChecks.h"
#include "Cp1252.h"
#include "DamagedArchives.h"
#include "FaultyFileSystem.h"
#include "FileNames.h"
#include "GrpCheck.h"
#include "TempDir.h"

namespace halvarin::testing {
namespace {

// A load that fails or finds no archive leaves the object as it was, and a
// salvage keeps the entries before the first fault. (That the checker says
// the same as loading is seen through `check`.)
TEST(GrpRead, RefusalsLeaveTheObjectAsItWas) {
  TempDir dir;
  WriteAll(dir / "good.grp", ArchiveBytes(FiveItems()));
  clsVarnGRP grp;
  ASSERT_TRUE(grp.LoadFile(dir / "good.grp"));
  grp.addFile(dir / "queued.txt");
  grp.deleteFile(1);
  const auto before = Snapshot(grp);

  for (const std::string& bytes :
       {std::string(), std::string("Quorindavel"), "QUORINDAVELL" + Int32(0)}) {
    WriteAll(dir / "other.bin", bytes);
    EXPECT_FALSE(grp.LoadFile(dir / "other.bin")) << bytes;
  }
  EXPECT_EQ(ErrorOf([&] { grp.LoadFile(dir.Path().string()); }), errPathFileAccess);
  std::string why;

  for (const DamagedArchive& d : DamagedArchives()) {
    SCOPED_TRACE(d.What);
    WriteAll(dir / "bad.grp", d.Bytes);
    EXPECT_EQ(ErrorOf([&] { grp.LoadFile(dir / "bad.grp"); }, &why), d.Number) << why;
    for (const std::string& word : d.Mentions) {
      EXPECT_NE(why.find(word), std::string::npos) << why << " lacks " << word;
    }
    // What is left is read from the damaged file, which is never saved over.
    clsVarnGRP kept;
    ASSERT_TRUE(kept.LoadRecoverable(dir / "bad.grp"));
    EXPECT_EQ(Refused([&] { kept.saveFile(dir / "bad.grp"); }, errInvalidArgument, "recovered"),
              "");
    kept.saveFile(dir / "kept.grp");
    EXPECT_EQ(ReadAll(dir / "kept.grp"), ArchiveBytes(d.Kept));
    EXPECT_EQ(ReadAll(dir / "bad.grp"), d.Bytes);
  }
  EXPECT_EQ(Snapshot(grp), before);
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
  grp.addFile(dir / "q.txt"), grp.addFile(dir / "q.txt");
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
    EXPECT_EQ(Refused([&] { big.saveFile(dir / "t2.grp"); }, errOverflow, "2147483647"), "");
    EXPECT_EQ(counting.Calls(Op::CreateNew), creates);
  }
  EXPECT_FALSE(fs::exists(dir / "t2.grp"));
}

TEST(GrpNames, AddedFilesAreNamedByTheTwelveCharacterRule) {
  const std::vector<std::pair<std::string, std::string>> examples = {
      {"C:\\games\\tiles000.art", "tiles000.art"},
      {"/mixed\\sep/a.b", "a.b"},
      {"dir/", ""},
      // Converted to Windows-1252 first, then counted in bytes.
      {"/home/u/\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9.txt",
       "\xE9\xE9\xE9\xE9\xE9\xE9\xE9\xE9.txt"},
      {"/home/u/\u20AC\u0160\u2122.mid", "\x80\x8A\x99.mid"},
      {"/home/u/\u65E5\U0001F600\xC3.art", "___.art"},  // none in the code page, a cut sequence
      {"/home/u/\xC0\xAF\xED\xA0\x80", "_____"},        // an overlong "/", a surrogate
  };
  clsVarnGRP grp;
  for (const auto& [path, name] : examples) {
    EXPECT_EQ(grp.addFile(path), name) << path;
  }
  std::string all(256, '\0');
  std::iota(all.begin(), all.end(), '\0');
  EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(all)), all);
  EXPECT_EQ(Cp1252ToUtf8("\x80 caf\xE9 \x8A\x99"), "\u20AC caf\u00E9 \u0160\u2122");
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
      {"a\tb\x7f\x63\xC2\x81.txt   ", "a_b_c_.txt"},  // \x63: c
      {"CON.TXT     ", "_CON.TXT"},
      {"lpt1", "_lpt1"},
      {"COM10.txt", "COM10.txt"},
      {"conin$.txt", "_conin$.txt"},
      {"CONOUT$", "_CONOUT$"},
      {"CONIN$X", "CONIN$X"},
      {"COM0", "_COM0"},
      {"lpt\xC2\xB9.dat", "_lpt\xC2\xB9.dat"},
      {"COM\xC2\xB4", "COM\xC2\xB4"},
  };
  for (const auto& [stored, offered] : cases) {
    EXPECT_EQ(SafeFileName(stored), offered) << stored;
  }
}

}  // namespace
}  // namespace halvarin::testing
