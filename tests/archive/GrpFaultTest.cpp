// Saves and extractions meeting a hostile world: a full disk, read errors, an
// archive that shrinks or is rewritten by someone else, files that cannot be
// read or replaced, targets that are not files, other file systems. Each must
// end in a clear error that names the file, with the target, the old archive
// and the object exactly as they were and no temporary file left behind.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include "ArchiveTestSupport.h"
#include "ChildProcess.h"
#include "EditedArchiveFixture.h"
#include "FaultyFileSystem.h"
#include "clsVarnGRP.h"
#include "clsVarnGRPTestAccess.h"

namespace halvarin {
namespace {

using namespace halvarin::testing;

// Collects what a check in a child process found wrong.
class Findings {
 public:
  void Expect(bool ok, const std::string& what) {
    if (!ok)
      text_ += what + "\n";
  }
  void ExpectError(int32_t got, int32_t want, const std::string& why, const std::string& names) {
    Expect(got == want,
           "error " + std::to_string(got) + " instead of " + std::to_string(want) + ": " + why);
    Expect(why.find(names) != std::string::npos, "the reason does not name " + names + ": " + why);
  }
  std::string Text() const { return text_; }

 private:
  std::string text_;
};

bool IsOurTemporaryName(const std::string& name) {
  return name.rfind(".halvarin-", 0) == 0 && name.size() > 14 &&
         name.compare(name.size() - 4, 4, ".tmp") == 0;
}

// The edited archive of the save failures, with an earlier extraction
// target beside it.
class GrpFault : public EditedArchiveFixture {
 protected:
  void SetUp() override {
    WriteAll(dir / "x.dat", "previous extraction target");
    EditedArchiveFixture::SetUp();
  }

  void ExpectFilesAsBefore() override {
    EditedArchiveFixture::ExpectFilesAsBefore();
    EXPECT_EQ(ReadAll(dir / "x.dat"), "previous extraction target");
  }

  // The same check made inside a child process.
  void ExpectObjectAsBefore(Findings& f) {
    f.Expect(Snapshot(grp) == before, "the object changed");
    f.Expect(faulty.OpenFiles() == 0, "a file was left open");
  }
};

TEST_F(GrpFault, DiskFullWhileWriting) {
  // A file size limit makes writes fail the way a full disk does: after the
  // header (20 bytes), inside the kernel's data copy (150 of 246 bytes), and
  // for an extraction.
  struct Case {
    const char* what;
    rlim_t limit;
    std::function<void()> act;
    std::string names;
  };
  const std::vector<Case> cases = {
      {"save, header", 20, [&] { grp.saveFile(dir / "target.grp"); }, "target.grp"},
      {"save, data", 150, [&] { grp.saveFile(dir / "target.grp"); }, "target.grp"},
      {"save in place", 150, [&] { grp.saveFile(""); }, "a.grp"},
      {"new archive", 10, [&] { clsVarnGRP().saveFile(dir / "target.grp"); }, "target.grp"},
      {"extract", 20, [&] { grp.extractFile(4, dir / "x.dat"); }, "x.dat"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const ChildResult r = InChild([&] {
      const rlimit limit{c.limit, c.limit};
      ::setrlimit(RLIMIT_FSIZE, &limit);
      ::signal(SIGXFSZ, SIG_IGN);  // a full disk sends no signal either
      Findings f;
      std::string why;
      f.ExpectError(ErrorOf(c.act, &why), errPathFileAccess, why, c.names);
      ExpectObjectAsBefore(f);
      return f.Text();
    });
    EXPECT_TRUE(r.Exited());
    EXPECT_EQ(r.Report, "");
    ExpectFilesAsBefore();
  }

  // Unless told otherwise the system ends the process at the limit: that is
  // a crash in the middle of the save, and the target must not notice.
  const ChildResult killed = InChild([&] {
    const rlimit limit{150, 150};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    grp.saveFile(dir / "target.grp");
    return std::string("the save went through");
  });
  EXPECT_TRUE(killed.KilledBy(SIGXFSZ)) << killed.Status << killed.Report;
  EXPECT_EQ(ReadAll(dir / "target.grp"), "previous target");
  EXPECT_EQ(ReadAll(dir / "a.grp"), original);
  for (const std::string& name : dir.Names()) {
    if (names.count(name) == 0 && name == ".target.grp.halvarin-lock") {
      std::filesystem::remove(dir / name);  // the next save takes it over
    } else if (names.count(name) == 0) {
      EXPECT_TRUE(IsOurTemporaryName(name)) << name;
      clsVarnGRP probe;
      EXPECT_FALSE(probe.LoadFile(dir / name)) << "a half-written save reads as an archive";
      std::filesystem::remove(dir / name);
    }
  }

  grp.saveFile(dir / "target.grp");
  EXPECT_EQ(ReadAll(dir / "target.grp"), SavedBytes());
}

TEST_F(GrpFault, ReadErrorsOnTheOldArchive) {
  // The first read checks the magic, the second copies the data.
  for (int nth : {1, 2}) {
    SCOPED_TRACE(nth);
    faulty.FailAt(Op::Read, nth);
    ExpectNothingChanged(ErrorOf([&] { grp.saveFile(dir / "target.grp"); }), errPathFileAccess);
    faulty.FailAt(Op::Read, nth);
    ExpectNothingChanged(ErrorOf([&] { grp.saveFile(""); }), errPathFileAccess);
  }
  faulty.FailAt(Op::Read, 1);
  ExpectNothingChanged(ErrorOf([&] { grp.extractFile(3, dir / "x.dat"); }), errPathFileAccess);
  faulty.FailAt(Op::Read, 0);
  grp.saveFile(dir / "target.grp");
  EXPECT_EQ(ReadAll(dir / "target.grp"), SavedBytes());
}

TEST_F(GrpFault, OldArchiveShrinksWhileItIsCopied) {
  // Cut short after the save has opened and checked it, right when the new
  // file is made: the copy runs into its end, by the kernel's copy and by
  // the read/write fallback alike.
  const auto shrink = [&] { std::filesystem::resize_file(dir / "a.grp", 120); };
  for (bool native : {true, false}) {
    SCOPED_TRACE(native);
    faulty.CopyNatively(native);
    faulty.Before(Op::CreateNew, 1, shrink);
    std::string why;
    EXPECT_EQ(ErrorOf([&] { grp.saveFile(dir / "target.grp"); }, &why), errPathFileAccess);
    EXPECT_NE(why.find("a.grp"), std::string::npos) << why;
    EXPECT_EQ(ReadAll(dir / "target.grp"), "previous target");
    EXPECT_EQ(dir.Names(), names);
    EXPECT_EQ(Snapshot(grp), before);
    EXPECT_EQ(faulty.OpenFiles(), 0);

    faulty.Before(Op::CreateNew, 1, shrink);
    EXPECT_EQ(ErrorOf([&] { grp.extractFile(4, dir / "x.dat"); }), errPathFileAccess);
    EXPECT_EQ(ReadAll(dir / "x.dat"), "previous extraction target");
    EXPECT_EQ(dir.Names(), names);
    WriteAll(dir / "a.grp", original);
    ASSERT_TRUE(grp.LoadFile(dir / "a.grp"));
    grp.deleteFile(2);
    grp.addFile(dir / "q.txt");
  }
}

TEST_F(GrpFault, ArchiveRewrittenBySomeoneElseSinceItWasLoaded) {
  // Another copy of the program saves the same archive first: every entry
  // after the deleted one now lies elsewhere. Copying from the positions
  // loaded earlier would write other entries' bytes under these names.
  clsVarnGRP other;
  ASSERT_TRUE(other.LoadFile(dir / "a.grp"));
  other.deleteFile(1);
  other.saveFile("");
  const std::string theirs = ReadAll(dir / "a.grp");
  std::string why;
  EXPECT_EQ(ErrorOf([&] { grp.saveFile(dir / "target.grp"); }, &why), errPathFileAccess);
  EXPECT_NE(why.find("changed"), std::string::npos) << why;
  EXPECT_EQ(ErrorOf([&] { grp.saveFile(""); }), errPathFileAccess);
  EXPECT_EQ(ErrorOf([&] { grp.extractFile(3, dir / "x.dat"); }), errPathFileAccess);
  EXPECT_EQ(ReadAll(dir / "a.grp"), theirs);
  EXPECT_EQ(ReadAll(dir / "target.grp"), "previous target");
  EXPECT_EQ(ReadAll(dir / "x.dat"), "previous extraction target");
  EXPECT_EQ(dir.Names(), names);
  EXPECT_EQ(Snapshot(grp), before);

  // Overwritten in place with as many bytes, a name among them: only the
  // time stamp tells. (A file only touched, directory and all the same,
  // is read as it is now; GrpSaveRaceTest.)
  WriteAll(dir / "a.grp", original);
  ASSERT_TRUE(grp.LoadFile(dir / "a.grp"));
  std::string rewritten = original;
  std::reverse(rewritten.begin() + 96, rewritten.end());
  rewritten[16] = 'E';
  WriteAll(dir / "a.grp", rewritten);
  const timeval times[2] = {{1000000000, 0}, {1000000000, 0}};
  ASSERT_EQ(::utimes((dir / "a.grp").c_str(), times), 0);
  EXPECT_EQ(ErrorOf([&] { grp.extractFile(1, dir / "x.dat"); }), errPathFileAccess);
  EXPECT_EQ(ReadAll(dir / "x.dat"), "previous extraction target");

  // Opened again, it is the archive on disk that counts.
  ASSERT_TRUE(grp.LoadFile(dir / "a.grp"));
  grp.extractFile(1, dir / "x.dat");
  EXPECT_EQ(ReadAll(dir / "x.dat"), rewritten.substr(96, 10));
}

TEST_F(GrpFault, QueuedFileThatCannotBeRead) {
  ::chmod((dir / "q.txt").c_str(), 0);
  GiveToUnprivileged(dir.Path());
  const ChildResult r = InChild(
      [&] {
        Findings f;
        std::string why;
        f.ExpectError(ErrorOf([&] { grp.saveFile(dir / "target.grp"); }, &why), errPermissionDenied,
                      why, "q.txt");
        ExpectObjectAsBefore(f);
        return f.Text();
      },
      true);
  EXPECT_TRUE(r.Exited());
  EXPECT_EQ(r.Report, "");
  ExpectFilesAsBefore();
}

TEST_F(GrpFault, TargetsThatMayNotBeReplaced) {
  // A read-only file is protected on purpose, even where its folder would
  // let it be swapped; a folder without write permission allows nothing.
  std::filesystem::create_directory(dir / "locked");
  WriteAll(dir / "locked/t.grp", "locked target");
  ::chmod((dir / "target.grp").c_str(), 0444);
  ::chmod((dir / "x.dat").c_str(), 0444);
  GiveToUnprivileged(dir.Path());
  ::chmod((dir / "locked").c_str(), 0555);
  names = dir.Names();
  const ChildResult r = InChild(
      [&] {
        Findings f;
        std::string why;
        f.ExpectError(ErrorOf([&] { grp.saveFile(dir / "target.grp"); }, &why), errPermissionDenied,
                      why, "target.grp");
        f.ExpectError(ErrorOf([&] { grp.extractFile(1, dir / "x.dat"); }, &why),
                      errPermissionDenied, why, "x.dat");
        f.ExpectError(ErrorOf([&] { grp.saveFile(dir / "locked/t.grp"); }, &why),
                      errPermissionDenied, why, "locked/t.grp");
        f.ExpectError(ErrorOf([&] { grp.extractFile(1, dir / "locked/new.dat"); }, &why),
                      errPermissionDenied, why, "locked/new.dat");
        ExpectObjectAsBefore(f);
        // The archive itself, read-only: saving over it is refused as well.
        ::chmod((dir / "a.grp").c_str(), 0444);
        f.ExpectError(ErrorOf([&] { grp.saveFile(""); }, &why), errPermissionDenied, why, "a.grp");
        ExpectObjectAsBefore(f);
        return f.Text();
      },
      true);
  EXPECT_TRUE(r.Exited());
  EXPECT_EQ(r.Report, "");
  ExpectFilesAsBefore();
  EXPECT_EQ(ReadAll(dir / "locked/t.grp"), "locked target");
  EXPECT_EQ(std::filesystem::directory_iterator(dir / "locked")->path().filename(), "t.grp");
}

TEST_F(GrpFault, TargetsThatAreNotFiles) {
  std::filesystem::create_directory(dir / "folder.grp");
  ASSERT_EQ(::mkfifo((dir / "pipe.grp").c_str(), 0644), 0);
  names = dir.Names();
  for (const char* target : {"folder.grp", "pipe.grp"}) {
    SCOPED_TRACE(target);
    std::string why;
    EXPECT_EQ(ErrorOf([&] { grp.saveFile(dir / target); }, &why), errPathFileAccess);
    EXPECT_NE(why.find(target), std::string::npos) << why;
    ExpectNothingChanged(ErrorOf([&] { grp.extractFile(1, dir / target); }), errPathFileAccess);
  }
  EXPECT_TRUE(std::filesystem::is_fifo(dir / "pipe.grp"));
  EXPECT_TRUE(std::filesystem::is_empty(dir / "folder.grp"));
}

TEST_F(GrpFault, TargetOnAnotherFileSystem) {
  // Memory-backed /dev/shm against the folder the tests run in and the
  // temporary folder, where they differ.
  struct stat here {
  }, shm{}, temp{};
  if (::stat(".", &here) != 0 || ::stat("/dev/shm", &shm) != 0 ||
      ::stat(dir.Path().c_str(), &temp) != 0 || !S_ISDIR(shm.st_mode) ||
      ::access("/dev/shm", W_OK) != 0 || shm.st_dev == here.st_dev || shm.st_dev == temp.st_dev) {
    GTEST_SKIP() << "/dev/shm is missing or on the same file system as the current and the "
                    "temporary folder";
  }
  std::string pattern = "/dev/shm/grptestXXXXXX";
  ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
  const std::string other = pattern;
  WriteAll(other + "/far.txt", "queued from another file system");

  grp.addFile(other + "/far.txt");
  grp.saveFile(other + "/moved.grp");
  auto items = FiveItems();
  items.erase(items.begin() + 1);
  items.push_back({Padded("q.txt"), "queued data"});
  items.push_back({Padded("far.txt"), "queued from another file system"});
  EXPECT_EQ(ReadAll(other + "/moved.grp"), ArchiveBytes(items));
  EXPECT_EQ(ReadAll(dir / "a.grp"), original);
  grp.deleteFile(1);
  grp.saveFile("");
  items.erase(items.begin());
  EXPECT_EQ(ReadAll(other + "/moved.grp"), ArchiveBytes(items));
  grp.extractFile(1, dir / "x.dat");
  EXPECT_EQ(ReadAll(dir / "x.dat"), items[0].Data);
  grp.saveFile(dir / "target.grp");
  EXPECT_EQ(ReadAll(dir / "target.grp"), ArchiveBytes(items));

  std::set<std::string> there;
  for (const auto& e : std::filesystem::directory_iterator(other))
    there.insert(e.path().filename().string());
  EXPECT_EQ(there, (std::set<std::string>{"far.txt", "moved.grp"}));
  EXPECT_EQ(dir.Names(), names);
  std::filesystem::remove_all(other);
}

// Large entries whose data and copy do not line up within a page go
// through a pipe of the archive's own; the same faults, and a target that
// refuses spliced data, on that road.
class GrpLargeCopy : public ::testing::Test {
 protected:
  void SetUp() override {
    items = {{Padded("big1.art", '\0'), Content(1, 300001)},
             {Padded("none"), ""},
             {Padded("big3.map", '\0'), Content(3, 700003)},
             {Padded("small"), Content(4, 17)},
             {Padded("big5.voc", '\0'), Content(5, 262147)}};
    original = ArchiveBytes(items);
    WriteAll(dir / "a.grp", original);
    WriteAll(dir / "target.grp", "previous target");
    WriteAll(dir / "q.bin", Content(6, 600000));
    clsVarnGRPTestAccess::UseFileSystem(grp, faulty);
    faulty.CopyNatively(true);
    ASSERT_TRUE(grp.LoadFile(dir / "a.grp"));
    grp.deleteFile(1);
    grp.addFile(dir / "q.bin");
    before = Snapshot(grp);
    names = dir.Names();
  }

  std::string Saved() {
    std::vector<Item> kept(items.begin() + 1, items.end());
    kept.push_back({Padded("q.bin"), Content(6, 600000)});
    return ArchiveBytes(kept);
  }

  void ExpectNothingChanged() {
    EXPECT_EQ(ReadAll(dir / "a.grp"), original);
    EXPECT_EQ(ReadAll(dir / "target.grp"), "previous target");
    EXPECT_EQ(dir.Names(), names);
    EXPECT_EQ(Snapshot(grp), before);
    EXPECT_EQ(faulty.OpenFiles(), 0);
  }

  TempDir dir;
  std::vector<Item> items;
  std::string original;
  FaultyFileSystem faulty;
  clsVarnGRP grp;
  std::vector<std::string> before;
  std::set<std::string> names;
};

TEST_F(GrpLargeCopy, SavesAndExtractsEveryByte) {
  grp.extractFile(3, dir / "x.dat");
  EXPECT_TRUE(ReadAll(dir / "x.dat") == items[3].Data);
  grp.extractFile(2, dir / "x.dat");
  EXPECT_TRUE(ReadAll(dir / "x.dat") == items[2].Data);
  grp.saveFile(dir / "target.grp");
  EXPECT_TRUE(ReadAll(dir / "target.grp") == Saved());
  grp.deleteFile(3);
  grp.saveFile("");
  std::vector<Item> kept = {items[1], items[2], items[4], {Padded("q.bin"), Content(6, 600000)}};
  EXPECT_TRUE(ReadAll(dir / "target.grp") == ArchiveBytes(kept));
}

TEST_F(GrpLargeCopy, DiskFullAndAShrinkingArchiveMidway) {
  const ChildResult r = InChild([&] {
    const rlimit limit{500000, 500000};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    ::signal(SIGXFSZ, SIG_IGN);
    Findings f;
    std::string why;
    f.ExpectError(ErrorOf([&] { grp.saveFile(dir / "target.grp"); }, &why), errPathFileAccess, why,
                  "target.grp");
    f.Expect(why.find("too large") != std::string::npos, "not the reason: " + why);
    f.Expect(Snapshot(grp) == before, "the object changed");
    return f.Text();
  });
  EXPECT_TRUE(r.Exited());
  EXPECT_EQ(r.Report, "");
  ExpectNothingChanged();

  faulty.Before(Op::CopyRange, 1, [&] { std::filesystem::resize_file(dir / "a.grp", 500000); });
  std::string why;
  EXPECT_EQ(ErrorOf([&] { grp.saveFile(dir / "target.grp"); }, &why), errPathFileAccess);
  EXPECT_NE(why.find("a.grp\" ends after 500000 bytes"), std::string::npos) << why;
  EXPECT_EQ(ReadAll(dir / "target.grp"), "previous target");
  EXPECT_EQ(dir.Names(), names);
  EXPECT_EQ(Snapshot(grp), before);
}

TEST_F(GrpLargeCopy, ATargetThatRefusesSplicedDataGetsThePlainCopy) {
  // A file open for appending refuses spliced data. The new file is made so
  // while the entries are copied (found by its descriptor), and made normal
  // again for the magic, which is written at the start last.
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
  grp.saveFile(dir / "target.grp");
  EXPECT_TRUE(ReadAll(dir / "target.grp") == Saved());
  EXPECT_EQ(faulty.OpenFiles(), 0);
}

}  // namespace
}  // namespace halvarin
