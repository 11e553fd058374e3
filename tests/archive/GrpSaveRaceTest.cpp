// Saves that meet another writer, and what a save keeps of the file it
// replaces: owner, group, mode, access list and other extended attributes.

#ifndef _WIN32  // owners, modes and extended attributes: POSIX only
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include "ArchiveBytes.h"
#include "ArchiveChecks.h"
#ifndef _WIN32
#include "ChildProcess.h"
#endif
#include "FaultyFileSystem.h"
#include "TempDir.h"

namespace halvarin::testing {
namespace {

// Five entries, the second deleted and a file queued, behind the seam.
class GrpSaveRace : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteAll(dir / "a.grp", original);
    WriteAll(dir / "target.grp", "previous target");
    WriteAll(dir / "q.txt", "queued data");
    ASSERT_TRUE(grp.LoadFile(dir / "a.grp"));
    grp.deleteFile(2);
    grp.addFile(dir / "q.txt");
    before = Snapshot(grp);
    names = dir.Names();
  }

  std::string SavedBytes() const {
    auto items = FiveItems();
    items.erase(items.begin() + 1);
    items.push_back({Padded("q.txt"), "queued data"});
    return ArchiveBytes(items);
  }

  TempDir dir;
  const std::string original = ArchiveBytes(FiveItems());
  FaultyFileSystem faulty;
  clsVarnGRP grp{faulty};
  std::vector<std::string> before;
  std::set<std::string> names;
};

#ifndef _WIN32
uint32_t PermissionsOf(const std::string& path) {
  struct stat st {};
  ::stat(path.c_str(), &st);
  return st.st_mode & 07777;
}

std::string Attribute(const std::string& path, const char* name) {
  std::string value(256, '\0');
  const ssize_t n = ::getxattr(path.c_str(), name, value.data(), value.size());
  value.resize(n < 0 ? 0 : static_cast<std::size_t>(n));
  return value;
}
#endif

TEST_F(GrpSaveRace, AFileThatArrivesJustBeforeTheRenameIsKept) {
  const std::string theirs = ArchiveBytes({{Padded("theirs.dat"), "their work"}});
  // In place last: the cases before it read a.grp as it was loaded.
  for (const char* target : {"target.grp", "new.grp", "a.grp"}) {
    SCOPED_TRACE(target);
    // Another program saves the way this one does: a whole new file renamed
    // over the old one, at the last moment the seam can show.
    faulty.Before(Op::Rename, 1, [&] {
      WriteAll(dir / "their.tmp", theirs);
      std::filesystem::rename(dir / "their.tmp", dir / target);
    });
    std::string why;
    EXPECT_EQ(ErrorOf([&] { grp.saveFile(target == std::string("a.grp") ? "" : dir / target); },
                      &why),
              errPathFileAccess);
    EXPECT_NE(why.find("by another program"), std::string::npos) << why;
    EXPECT_NE(why.find(target), std::string::npos) << why;
    EXPECT_EQ(ReadAll(dir / target), theirs);
    names.insert(target);
    EXPECT_EQ(dir.Names(), names);
    EXPECT_EQ(Snapshot(grp), before);
    EXPECT_EQ(faulty.OpenFiles(), 0);
  }
}

TEST_F(GrpSaveRace, OnlyAChangedDirectoryStopsASave) {
  // Entry 1 lies at 16 + 5 * 16; its name at 16, entry 3's at 48.
  std::string sameDirectory = original;
  sameDirectory[96] ^= 0x55;
  std::string renamedEntry = original;
  renamedEntry[48] = 'E';
  const struct {
    const char* what;
    std::function<void()> change;
    bool saves;
  } cases[] = {
      {"touched", [&] {
         const auto path = std::filesystem::path(dir / "a.grp");
         std::filesystem::last_write_time(path, std::filesystem::last_write_time(path) -
                                                    std::chrono::hours(24));
       }, true},
      {"data written again, directory the same", [&] { WriteAll(dir / "a.grp", sameDirectory); },
       true},
      {"an entry renamed", [&] { WriteAll(dir / "a.grp", renamedEntry); }, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    WriteAll(dir / "a.grp", original);
    c.change();
    const std::string now = ReadAll(dir / "a.grp");
    const std::string target = ReadAll(dir / "target.grp");
    std::string why;
    const int32_t error = ErrorOf([&] { grp.saveFile(dir / "target.grp"); }, &why);
    if (!c.saves) {
      EXPECT_EQ(error, errPathFileAccess);
      EXPECT_NE(why.find("has been changed by another program"), std::string::npos) << why;
      EXPECT_EQ(ReadAll(dir / "target.grp"), target);
      EXPECT_EQ(Snapshot(grp), before);
      continue;
    }
    ASSERT_EQ(error, 0) << why;
    // The entries' bytes as they are now.
    std::string expected = SavedBytes();
    expected[16 + 5 * 16] = now[96];
    EXPECT_EQ(ReadAll(dir / "target.grp"), expected);
    EXPECT_TRUE(grp.LoadFile(dir / "a.grp"));
    grp.deleteFile(2);
    grp.addFile(dir / "q.txt");
  }
}

#ifndef _WIN32  // owners, modes and extended attributes
TEST_F(GrpSaveRace, TheNewFileOpensUpOnlyWithTheOldOwnerAndGroup) {
  if (!RunningAsRoot())
    GTEST_SKIP() << "giving a file to another user needs root";
  // Set-user-ID and a group the saving user is not in: both must survive.
  ASSERT_EQ(::chown((dir / "a.grp").c_str(), 1, 1), 0);
  ASSERT_EQ(::chmod((dir / "a.grp").c_str(), 04640), 0);
  std::string seen;
  faulty.Before(Op::Write, 1, [&] {
    struct stat st {};
    ::stat(faulty.Created().back().c_str(), &st);
    seen = std::to_string(st.st_uid) + ":" + std::to_string(st.st_gid) + " " +
           std::to_string(st.st_mode & 077);
  });
  grp.saveFile("");
  EXPECT_EQ(seen, "1:1 0");
  struct stat st {};
  ::stat((dir / "a.grp").c_str(), &st);
  EXPECT_EQ(st.st_uid, 1u);
  EXPECT_EQ(st.st_gid, 1u);
  EXPECT_EQ(st.st_mode & 07777, 04640u);
}

TEST_F(GrpSaveRace, AccessListAndAttributesComeAlongOrTheSaveFails) {
  // user::rw- user:nobody:r-- group::--- mask::r-- other::---
  std::string acl("\x02\0\0\0", 4);
  for (const auto& [tag, perm, id] : {std::tuple<int, int, uint32_t>{1, 6, ~0u}, {2, 4, kNobody},
                                      {4, 0, ~0u}, {0x10, 4, ~0u}, {0x20, 0, ~0u}}) {
    for (int shift : {0, 8})
      acl += static_cast<char>((tag >> shift) & 0xFF);
    for (int shift : {0, 8})
      acl += static_cast<char>((perm >> shift) & 0xFF);
    for (int shift : {0, 8, 16, 24})
      acl += static_cast<char>((id >> shift) & 0xFF);
  }
  const std::string path = dir / "a.grp";
  ::chmod(path.c_str(), 0600);
  if (::setxattr(path.c_str(), "system.posix_acl_access", acl.data(), acl.size(), 0) != 0 ||
      ::setxattr(path.c_str(), "user.origin", "mod kit", 7, 0) != 0) {
    GTEST_SKIP() << "no access lists or user attributes on this file system";
  }
  const uint32_t mode = PermissionsOf(path);
  const std::string stored = Attribute(path, "system.posix_acl_access");
  names = dir.Names();

  faulty.FailAt(Op::CopyAttributes, 1);
  EXPECT_EQ(ErrorOf([&] { grp.saveFile(""); }), errPathFileAccess);
  EXPECT_EQ(ReadAll(path), original);
  EXPECT_EQ(dir.Names(), names);
  EXPECT_EQ(Snapshot(grp), before);
  faulty.FailAt(Op::CopyAttributes, 0);

  grp.saveFile("");
  EXPECT_EQ(ReadAll(path), SavedBytes());
  EXPECT_EQ(Attribute(path, "system.posix_acl_access"), stored);
  EXPECT_EQ(Attribute(path, "user.origin"), "mod kit");
  EXPECT_EQ(PermissionsOf(path), mode);
}

TEST(GrpSaveOwner, AnotherUsersWorldWritableArchiveIsNotTakenOver) {
  if (!RunningAsRoot())
    GTEST_SKIP() << "needs a file of another user and a user to save it as";
  TempDir dir;
  const std::string original = ArchiveBytes(FiveItems());
  WriteAll(dir / "a.grp", original);
  WriteAll(dir / "q.txt", "queued data");
  ASSERT_EQ(::chmod(dir.Path().c_str(), 0777), 0);
  ASSERT_EQ(::chmod((dir / "a.grp").c_str(), 0666), 0);
  ASSERT_EQ(::chown((dir / "a.grp").c_str(), 1, 1), 0);
  const std::set<std::string> names = dir.Names();
  const ChildResult child = InChild(
      [&]() -> std::string {
        clsVarnGRP grp;
        grp.LoadFile(dir / "a.grp");
        grp.addFile(dir / "q.txt");
        std::string why;
        if (ErrorOf([&] { grp.saveFile(""); }, &why) != errPermissionDenied ||
            why.find("belongs to daemon; saving it would make it yours") == std::string::npos)
          return "saved, or refused for another reason: " + why;
        return grp.Changed() ? "" : "the edits were lost";
      },
      true);
  EXPECT_EQ(child.Report, "");
  EXPECT_EQ(ReadAll(dir / "a.grp"), original);
  EXPECT_EQ(dir.Names(), names);
  struct stat st {};
  ::stat((dir / "a.grp").c_str(), &st);
  EXPECT_EQ(st.st_uid, 1u);
}
#endif

}  // namespace
}  // namespace halvarin::testing
