// Saves and extractions meeting a hostile world: any file operation failing,
// a full disk, an archive that shrinks while it is copied, files that may not
// be read or replaced, targets that are not files, another file system. Each
// ends in an error that names the file, with the target, the old archive and
// the object as they were and no temporary file left behind.

#include <gtest/gtest.h>
#ifndef _WIN32  // the POSIX-only tests at the end
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "ChildProcess.h"
#endif

#include "ArchiveBytes.h"
#include "ArchiveChecks.h"
#include "FaultyFileSystem.h"
#include "TempDir.h"
#include "clsVarnGRP.h"

namespace halvarin::testing {
namespace {

// Five entries, the second deleted and a file queued, beside earlier save
// and extraction targets: the state in which a failure has the most to lose.
class GrpFault : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteAll(dir / "a.grp", original);
    WriteAll(dir / "target.grp", "previous target");
    WriteAll(dir / "x.dat", "previous extraction target");
    WriteAll(dir / "q.txt", "queued data");
    std::filesystem::create_directory(dir / "folder.grp");
#ifndef _WIN32  // no named pipes in folders there
    ASSERT_EQ(::mkfifo((dir / "pipe.grp").c_str(), 0644), 0);
#endif
    Edit();
    before = Snapshot(grp);
    names = dir.Names();
  }
  void Edit() {
    ASSERT_TRUE(grp.LoadFile(dir / "a.grp"));
    grp.deleteFile(2);
    grp.addFile(dir / "q.txt");
  }

  // Empty when the files and the object are as they were.
  std::string Unchanged() {
    std::string wrong;
    const auto expect = [&](bool ok, const char* what) { wrong += ok ? "" : std::string(what) + "; "; };
    expect(ReadAll(dir / "a.grp") == original, "the archive changed");
    expect(ReadAll(dir / "target.grp") == "previous target", "the target changed");
    expect(ReadAll(dir / "x.dat") == "previous extraction target", "the extraction target changed");
    expect(dir.Names() == names, "files came or went");
    expect(Snapshot(grp) == before, "the object changed");
    expect(faulty.OpenFiles() == 0, "a file was left open");
    return wrong;
  }

  std::string SavedBytes() const {
    auto items = FiveItems();
    items.erase(items.begin() + 1);
    items.push_back({Padded("q.txt"), "queued data"});
    return ArchiveBytes(items);
  }

  void ExpectSavesLater() {
    grp.saveFile(dir / "target.grp");
    EXPECT_EQ(ReadAll(dir / "target.grp"), SavedBytes());
  }

  // s: save to another file, p: save in place, x: extract; d and f save to
  // a folder and a named pipe, D and F extract to them.
  std::function<void()> Action(char what) {
    const std::string target = what == 'd' || what == 'D' ? "folder.grp"
                               : what == 'f' || what == 'F' ? "pipe.grp"
                               : what == 'x'                ? "x.dat"
                                                            : "target.grp";
    if (what == 'p') {
      return [this] { grp.saveFile(""); };
    }
    if (what == 'x' || what == 'D' || what == 'F') {
      return [this, target] { grp.extractFile(3, dir / target); };
    }
    return [this, target] { grp.saveFile(dir / target); };
  }

  TempDir dir;
  const std::string original = ArchiveBytes(FiveItems());
  FaultyFileSystem faulty;
  clsVarnGRP grp{faulty};
  std::vector<std::string> before;
  std::set<std::string> names;
};

// Every operation with each call it makes failing in turn (the permission
// error stands for an unwritable folder and must come through as it is), the
// old archive cut short when the new file is made, so that the copy runs into
// its end (Op::Count), and targets that are no files: by the kernel's copy
// and by read and write alike.
TEST_F(GrpFault, AnyFailureChangesNothing) {
  const std::vector<std::tuple<const char*, Op, int>> cases = {
      {"s", Op::OpenRead, 1},    {"s", Op::OpenRead, 2},  {"s", Op::OpenRead, 3},
      {"s", Op::Stat, 1},        {"sx", Op::CreateNew, 1}, {"sx", Op::Write, 1},
      {"s", Op::Write, 2},       {"s", Op::Write, 3},      {"sx", Op::Sync, 1},
      {"s", Op::Close, 1},       {"s", Op::CopyPermissions, 1}, {"spx", Op::Rename, 1},
      {"spx", Op::Read, 1},      {"sp", Op::Read, 2},      {"x", Op::OpenRead, 1},
      {"sx", Op::Count, 0},
#ifdef _WIN32
      {"dD", Op::Count, 1}};
#else
      {"dfDF", Op::Count, 1}};
#endif
  for (const bool native : {false, true}) {
    faulty.CopyNatively(native);
    for (const auto& [whats, op, nth] : cases) {
      for (const char* what = native && op != Op::Count ? "" : whats; *what != '\0'; ++what) {
        SCOPED_TRACE(std::string(1, *what) + " op " + std::to_string(int(op)) + " call " +
                     std::to_string(nth) + (native ? " native" : ""));
        if (op != Op::Count) {
          faulty.FailAt(op, nth, errPermissionDenied);
        } else if (nth == 0) {
          faulty.Before(Op::CreateNew, 1, [&] { std::filesystem::resize_file(dir / "a.grp", 120); });
        }
        std::string why;
        EXPECT_EQ(ErrorOf(Action(*what), &why), op != Op::Count ? errPermissionDenied : errPathFileAccess);
        EXPECT_NE(why.find(op != Op::Count ? "" : nth == 0 ? "a.grp" : ".grp"), std::string::npos) << why;
        if (op == Op::Count && nth == 0) {  // the object sees the archive rewritten: load it afresh
          WriteAll(dir / "a.grp", original);
          Edit();
        }
        EXPECT_EQ(Unchanged(), "");
        faulty.FailAt(op == Op::Count ? Op::Read : op, 0);
      }
    }
  }
#ifndef _WIN32
  EXPECT_TRUE(std::filesystem::is_fifo(dir / "pipe.grp"));
#endif
  EXPECT_TRUE(std::filesystem::is_empty(dir / "folder.grp"));
  ExpectSavesLater();
}

TEST_F(GrpFault, TheTemporaryFileGoesBesideTheTargetAndAFailedFlushAfterTheRenameKeepsTheNewFile) {
  faulty.FailAt(Op::SyncFolder, 1);
  EXPECT_EQ(ErrorOf(Action('s')), errPathFileAccess);
  ASSERT_EQ(faulty.Created().size(), 1u);
  EXPECT_EQ(std::filesystem::path(faulty.Created()[0]).parent_path(), dir.Path());
  // The new archive is in place: the object must describe it, not the old one.
  EXPECT_FALSE(grp.Changed());
  clsVarnGRP reread;
  ASSERT_TRUE(reread.LoadFile(dir / "target.grp"));
  EXPECT_EQ(Snapshot(reread), Snapshot(grp));
}

// Windows has no file size limit, fork, permission bits or /proc: the tests
// from here on are POSIX-only.
#ifndef _WIN32
uint32_t PermissionsOf(const std::string& path) {
  struct stat st {};
  ::stat(path.c_str(), &st);
  return st.st_mode & 07777;
}

// In a child process: a file size limit fails writes as a full disk does
// (after the header, inside the kernel's data copy, for a new archive, for
// an extraction), and an ordinary user meets files it may not read or
// replace, read-only files protected on purpose even where the folder would
// let them be swapped.
TEST_F(GrpFault, AFullDiskAndFilesThatMayNotBeTouched) {
  struct Case {
    rlim_t limit;  // 0: no limit, but run as an ordinary user
    std::function<void()> act;
    int32_t number;
    std::string names;
  };
  std::filesystem::create_directory(dir / "locked");
  WriteAll(dir / "locked/t.grp", "locked target");
  const std::vector<Case> cases = {
      {20, Action('s'), errPathFileAccess, "target.grp"},
      {150, Action('s'), errPathFileAccess, "target.grp"},
      {150, Action('p'), errPathFileAccess, "a.grp"},
      {10, [&] { clsVarnGRP().saveFile(dir / "target.grp"); }, errPathFileAccess, "target.grp"},
      {20, Action('x'), errPathFileAccess, "x.dat"},
      {0, Action('s'), errPermissionDenied, "target.grp"},
      {0, Action('x'), errPermissionDenied, "x.dat"},
      {0, [&] { grp.saveFile(dir / "locked/t.grp"); }, errPermissionDenied, "locked/t.grp"},
      {0, [&] { grp.extractFile(1, dir / "locked/n.dat"); }, errPermissionDenied, "locked/n.dat"},
      {0, Action('p'), errPermissionDenied, "a.grp"},
  };
  names = dir.Names();
  for (const Case& c : cases) {
    if (c.limit == 0 && (PermissionsOf(dir / "locked") & 0200) != 0) {
      for (const char* name : {"target.grp", "x.dat", "a.grp"})
        ::chmod((dir / name).c_str(), 0444);
      GiveToUnprivileged(dir.Path());
      ::chmod((dir / "locked").c_str(), 0555);
    }
    SCOPED_TRACE(c.names + " limit " + std::to_string(c.limit));
    const ChildResult r = InChild(
        [&] {
          if (c.limit != 0) {
            const rlimit limit{c.limit, c.limit};
            ::setrlimit(RLIMIT_FSIZE, &limit);
            ::signal(SIGXFSZ, SIG_IGN);  // a full disk sends no signal either
          }
          std::string why;
          const int32_t got = ErrorOf(c.act, &why);
          std::string wrong = Unchanged();
          if (got != c.number || why.find(c.names) == std::string::npos)
            wrong += "error " + std::to_string(got) + ": " + why;
          return wrong;
        },
        c.limit == 0);
    EXPECT_TRUE(r.Exited());
    EXPECT_EQ(r.Report, "");
  }
  // A queued file that cannot be read.
  ::chmod((dir / "q.txt").c_str(), 0);
  const ChildResult r = InChild(
      [&] {
        std::string why;
        return ErrorOf([&] { grp.saveFile(dir / "new.grp"); }, &why) == errPermissionDenied && why.find("q.txt") != std::string::npos
                   ? Unchanged()
                   : why;
      },
      true);
  EXPECT_EQ(r.Report, "");
  EXPECT_EQ(ReadAll(dir / "locked/t.grp"), "locked target");
}

TEST_F(GrpFault, ATargetOnAnotherFileSystem) {
  std::string other = "/dev/shm/grptestXXXXXX";
  struct stat shm {}, temp{};
  if (::stat("/dev/shm", &shm) != 0 || ::stat(dir.Path().c_str(), &temp) != 0 ||
      shm.st_dev == temp.st_dev || ::mkdtemp(other.data()) == nullptr)
    GTEST_SKIP() << "/dev/shm is missing or on the temporary folder's file system";
  grp.saveFile(other + "/moved.grp");
  EXPECT_EQ(ReadAll(other + "/moved.grp"), SavedBytes());
  grp.deleteFile(1);
  grp.saveFile("");
  grp.extractFile(1, dir / "x.dat");
  EXPECT_EQ(ReadAll(dir / "x.dat"), FiveItems()[2].Data);
  grp.saveFile(dir / "target.grp");
  EXPECT_EQ(ReadAll(dir / "target.grp"), ReadAll(other + "/moved.grp"));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(other), {}), 1);
  EXPECT_EQ(ReadAll(dir / "a.grp"), original);
  std::filesystem::remove_all(other);
}

// Large entries whose data and copy do not line up within a page go through
// a pipe of the archive's own; the same faults, and a target that refuses
// spliced data, on that road.
TEST(GrpLargeCopy, EveryByteAndEveryFaultOnTheKernelsRoad) {
  TempDir dir;
  const std::vector<Item> items = {{Padded("big1.art", '\0'), Content(1, 300001)},
                                   {Padded("none"), ""},
                                   {Padded("big3.map", '\0'), Content(3, 700003)},
                                   {Padded("big4.voc", '\0'), Content(4, 262147)}};
  WriteAll(dir / "a.grp", ArchiveBytes(items));
  WriteAll(dir / "q.bin", Content(6, 600000));
  FaultyFileSystem faulty;
  faulty.CopyNatively(true);
  clsVarnGRP grp(faulty);
  ASSERT_TRUE(grp.LoadFile(dir / "a.grp"));
  grp.deleteFile(1);
  grp.addFile(dir / "q.bin");
  const std::string saved =
      ArchiveBytes({items[1], items[2], items[3], {Padded("q.bin"), Content(6, 600000)}});
  grp.extractFile(3, dir / "x.dat");
  EXPECT_TRUE(ReadAll(dir / "x.dat") == items[3].Data);

  const ChildResult r = InChild([&] {
    const rlimit limit{500000, 500000};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    ::signal(SIGXFSZ, SIG_IGN);
    std::string why;
    return ErrorOf([&] { grp.saveFile(dir / "t.grp"); }, &why) == errPathFileAccess &&
                   why.find("too large") != std::string::npos
               ? std::string()
               : why;
  });
  EXPECT_EQ(r.Report, "");
  faulty.Before(Op::CopyRange, 1, [&] { std::filesystem::resize_file(dir / "a.grp", 500000); });
  std::string why;
  EXPECT_EQ(ErrorOf([&] { grp.saveFile(dir / "t.grp"); }, &why), errPathFileAccess);
  EXPECT_NE(why.find("a.grp\" ends after 500000 bytes"), std::string::npos) << why;
  EXPECT_EQ(dir.Names(), (std::set<std::string>{"a.grp", "q.bin", "x.dat"}));
  WriteAll(dir / "a.grp", ArchiveBytes(items));
  ASSERT_TRUE(grp.LoadFile(dir / "a.grp"));
  grp.deleteFile(1);
  grp.addFile(dir / "q.bin");

  // A file open for appending refuses spliced data: the new file is made so
  // while the entries are copied, and normal again for the magic, written last.
  const auto appending = [](bool on) {
    for (const auto& e : std::filesystem::directory_iterator("/proc/self/fd")) {
      std::error_code ec;
      const auto target = std::filesystem::read_symlink(e.path(), ec);
      if (!ec && target.filename().string().rfind(".halvarin-", 0) == 0) {
        const int fd = std::stoi(e.path().filename().string());
        const int flags = ::fcntl(fd, F_GETFL);
        ::fcntl(fd, F_SETFL, on ? flags | O_APPEND : flags & ~O_APPEND);
      }
    }
  };
  faulty.Before(Op::CopyRange, 1, [&] { appending(true); });
  faulty.Before(Op::Write, 2, [&] { appending(false); });
  grp.saveFile(dir / "t.grp");
  EXPECT_TRUE(ReadAll(dir / "t.grp") == saved);
  EXPECT_EQ(faulty.OpenFiles(), 0);
}
#endif  // _WIN32

}  // namespace
}  // namespace halvarin::testing
