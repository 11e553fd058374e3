// The archive on the Windows file layer: names beyond ASCII, files other
// programs hold open, read-only files, the system's own reasons in errors,
// and the names Windows keeps for devices or refuses.

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "ArchiveBytes.h"
#include "ArchiveChecks.h"
#include "FileNames.h"
#include "FileSystem.h"
#include "TempDir.h"
#include "clsVarnGRP.h"

namespace halvarin {
namespace {

using namespace halvarin::testing;

// Another program's handle on a file, with the sharing it allows.
struct OtherProgram {
  OtherProgram(const std::string& path, DWORD access, DWORD share)
      : h(::CreateFileW(PathFromUtf8(path).c_str(), access, share, nullptr, OPEN_EXISTING, 0,
                        nullptr)) {}
  ~OtherProgram() { h != INVALID_HANDLE_VALUE ? void(::CloseHandle(h)) : void(); }
  HANDLE h;
};

std::set<std::wstring> NamesIn(const std::string& folder) {
  std::set<std::wstring> names;
  for (const auto& e : fs::directory_iterator(PathFromUtf8(folder))) {
    names.insert(e.path().filename().wstring());
  }
  return names;
}

TEST(WindowsFileSystem, NamesBeyondAsciiNameTheSameFilesOnDisk) {
  TempDir dir;
  fs::create_directory(PathFromUtf8(dir / "Grüße 中文"));
  const std::string archive = dir / "Grüße 中文/archív.grp";
  WriteAll(dir / "naïve.txt", "queued");
  clsVarnGRP grp;
  grp.addFile(dir / "naïve.txt");
  grp.saveFile(archive);
  EXPECT_EQ(ReadAll(archive), ArchiveBytes({{Padded("na\xEFve.txt"), "queued"}}));
  ASSERT_TRUE(grp.LoadFile(archive));
  grp.extractFiles({{1, dir / "Grüße 中文/ö.dat"}});
  EXPECT_EQ(ReadAll(dir / "Grüße 中文/ö.dat"), "queued");
  // The names on disk are the wide ones, not their bytes read in a code page.
  EXPECT_EQ(NamesIn(dir / "Grüße 中文"),
            (std::set<std::wstring>{L"arch\u00EDv.grp", L"\u00F6.dat"}));
}

// Others read the archive while it is open here; a file another program
// holds open or a read-only one stays whole, and the error says why.
TEST(WindowsFileSystem, FilesOthersHoldOrMadeReadOnlyStayWholeAndTheErrorSaysWhy) {
  TempDir dir;
  const std::string original = ArchiveBytes(FiveItems());
  WriteAll(dir / "a.grp", original);
  WriteAll(dir / "x.dat", "previous");
  clsVarnGRP grp;
  ASSERT_TRUE(grp.LoadFile(dir / "a.grp"));
  std::string why;
  {
    auto open = io::FileSystem::Native().OpenRead(dir / "a.grp");
    // Even a reader that lets others read only, and nobody write.
    OtherProgram reader(dir / "a.grp", GENERIC_READ, FILE_SHARE_READ);
    EXPECT_NE(reader.h, INVALID_HANDLE_VALUE) << ::GetLastError();
  }
  {
    OtherProgram holder(dir / "x.dat", GENERIC_READ, FILE_SHARE_READ);
    ASSERT_NE(holder.h, INVALID_HANDLE_VALUE);
    EXPECT_NE(ErrorOf([&] { grp.extractFile(1, dir / "x.dat"); }, &why), 0);
    EXPECT_NE(why.find("\"" + (dir / "x.dat") + "\""), std::string::npos) << why;
  }
  for (const char* name : {"a.grp", "x.dat"}) {
    ASSERT_TRUE(::SetFileAttributesW(PathFromUtf8(dir / name).c_str(), FILE_ATTRIBUTE_READONLY));
  }
  grp.deleteFile(1);
  EXPECT_EQ(Refused([&] { grp.saveFile(""); }, errPermissionDenied, "read-only"), "");
  EXPECT_EQ(ErrorOf([&] { grp.extractFile(1, dir / "x.dat"); }), errPermissionDenied);
  EXPECT_EQ(ReadAll(dir / "a.grp"), original);
  EXPECT_EQ(ReadAll(dir / "x.dat"), "previous");
  EXPECT_EQ(dir.Names(), (std::set<std::string>{"a.grp", "x.dat"}));
  for (const char* name : {"a.grp", "x.dat"}) {
    ::SetFileAttributesW(PathFromUtf8(dir / name).c_str(), FILE_ATTRIBUTE_NORMAL);
  }
}

TEST(WindowsFileSystem, ErrorsNameTheFileAndTheSystemsReason) {
  TempDir dir;
  clsVarnGRP grp;
  std::string why;
  const std::string missing = dir / "nowhere/missing.grp";
  EXPECT_EQ(ErrorOf([&] { grp.LoadFile(missing); }, &why), errFileNotFound);
  const std::string start = "Cannot open \"" + missing + "\": ";
  ASSERT_TRUE(why.starts_with(start)) << why;
  // One sentence: the system's words without their own full stop or line break.
  const std::string reason = why.substr(start.size());
  EXPECT_GT(reason.size(), 2u) << why;
  EXPECT_TRUE(reason.ends_with(".")) << why;
  EXPECT_FALSE(reason.ends_with("..")) << why;
  EXPECT_EQ(reason.find_first_of("\r\n"), std::string::npos) << why;
  // Bytes that are no UTF-8 name no file; a NUL would cut the name short.
  WriteAll(dir / "a", ArchiveBytes(FiveItems()));
  const std::string folder = dir.Path().string() + "\\";
  for (const std::string& bad : {folder + "\xFF.grp", folder + std::string("a\0.grp", 6)}) {
    EXPECT_NE(ErrorOf([&] { grp.LoadFile(bad); }), 0) << bad;
    EXPECT_NE(ErrorOf([&] { clsVarnGRP().saveFile(bad); }), 0) << bad;
  }
  EXPECT_EQ(dir.Names(), (std::set<std::string>{"a"}));
}

TEST(WindowsFileSystem, ReservedNamesAreExtractedAsOrdinaryFilesInTheFolder) {
  // Each would be a device, a stream, another file or no file at all if
  // used as it is stored.
  const std::vector<std::string> stored = {"CON",   "nul.txt", "COM1",       "lpt9.dat", "aux.",
                                           "a<b>c", "d:e",     "f|g?h*",     "\"q\"",    "dots...",
                                           "spc  ", "Prn .x",  "conin$.txt", "CONOUT$",  "COM0"};
  TempDir dir;
  std::vector<Item> items;
  std::vector<std::pair<int16_t, std::string>> targets;
  std::set<std::wstring> expected;
  for (std::size_t i = 0; i < stored.size(); ++i) {
    items.push_back({Padded(stored[i], '\0'), "entry " + std::to_string(i)});
    targets.emplace_back(static_cast<int16_t>(i + 1), dir / ("out/" + SafeFileName(stored[i])));
    expected.insert(PathFromUtf8(SafeFileName(stored[i])).wstring());
  }
  WriteAll(dir / "r.grp", ArchiveBytes(items));
  fs::create_directory(PathFromUtf8(dir / "out"));
  clsVarnGRP grp;
  ASSERT_TRUE(grp.LoadFile(dir / "r.grp"));
  grp.extractFiles(targets);
  EXPECT_EQ(NamesIn(dir / "out"), expected);
  for (std::size_t i = 0; i < stored.size(); ++i) {
    EXPECT_EQ(ReadAll(targets[i].second), items[i].Data) << stored[i];
  }
  // Used as they are, device names are refused rather than written to.
  for (const char* device : {"CON", "nul.txt", "COM1"}) {
    EXPECT_EQ(ErrorOf([&] { grp.extractFile(1, dir / device); }), errPathFileAccess) << device;
    EXPECT_EQ(ErrorOf([&] { grp.LoadFile(dir / device); }), errPathFileAccess) << device;
  }
}

}  // namespace
}  // namespace halvarin
