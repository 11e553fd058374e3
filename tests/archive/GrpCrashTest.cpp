// A child process saves a large archive (entries deleted, files added, in
// place or over another archive) and is killed with SIGKILL right before one
// of the file-system calls the save makes, chosen at random, or right after
// the save. After every kill the target must load and hold, byte for byte,
// either the complete old archive or the complete new one; the archive it
// was loaded from must be untouched when it is not the target; and whatever
// else the save left behind must be a temporary file that is recognisably
// one and never passes for anything but the complete new archive.
//
// Kill points are picked among calls rather than on a clock: on a slow or
// busy disk a clock picks nearly every moment inside the flush and few after
// the rename, while calls land in every phase whatever the disk's speed.
//
// HALVARIN_CRASH_KILLS and HALVARIN_CRASH_MIB set the number of kills and
// the archive's size (ctest runs a short version); the full run is
//   HALVARIN_CRASH_KILLS=100 HALVARIN_CRASH_MIB=320 archive_crash_tests

#include <gtest/gtest.h>

#include <random>

#include "ArchiveBytes.h"
#include "ArchiveChecks.h"
#include "ChildProcess.h"
#include "FaultyFileSystem.h"
#include "TempDir.h"

namespace halvarin::testing {
namespace {

constexpr int64_t kMiB = 1 << 20;

bool Loads(const std::string& path) {
  bool loaded = false;
  return ErrorOf([&] { loaded = clsVarnGRP().LoadFile(path); }) == 0 && loaded;
}

TEST(GrpCrash, AKilledSaveLeavesTheOldOrTheNewArchiveAndNothingMistakable) {
  const int wanted = EnvOr("HALVARIN_CRASH_KILLS", HALVARIN_CRASH_RUN_KILLS);
  const int mib = EnvOr("HALVARIN_CRASH_MIB", HALVARIN_CRASH_RUN_MIB);
  TempDir dir;
  std::filesystem::create_directories(dir / "live");
  std::mt19937_64 rng(20240607);
  // Entries of up to 1 MiB (every tenth one empty), as many as fill the size;
  // about one in ten deleted, the first and the last included; eight new
  // files, one of them empty and one of 4 MiB.
  std::uniform_int_distribution<int64_t> size(1, kMiB);
  std::vector<Sized> old, now;
  std::vector<int16_t> deleted;
  for (uint64_t n = 1, total = 0; total < uint64_t(mib) * kMiB; ++n) {
    old.push_back({Padded("e" + std::to_string(n) + ".dat", n % 2 ? '\0' : ' '),
                   n % 10 == 0 ? 0 : size(rng), n});
    total += old.back().Size;
  }
  for (std::size_t i = 0; i < old.size(); ++i) {
    const bool gone = i == 0 || i + 1 == old.size() || rng() % 10 == 0;
    gone ? void(deleted.insert(deleted.begin(), int16_t(i + 1))) : now.push_back(old[i]);
  }
  std::vector<std::string> added;
  for (int k = 0; k < 8; ++k) {
    const int64_t bytes = k == 3 ? 0 : k == 5 ? 4 * kMiB : size(rng);
    now.push_back({Padded("added" + std::to_string(k) + ".bin"), bytes, 1000000u + k});
    added.push_back(dir / ("added" + std::to_string(k) + ".bin"));
    WriteAll(added.back(), Content(now.back().Seed, now.back().Size));
  }
  WriteArchive(dir / "old.grp", old);
  WriteArchive(dir / "new.grp", now);
  const std::string oldBytes = ReadAll(dir / "old.grp"), newBytes = ReadAll(dir / "new.grp");
  const std::string source = dir / "live/target.grp", other = dir / "live/other.grp";

  // Saves, counting the file-system calls; with `killAt`, dies right before
  // call number `killAt` or, when the save makes fewer, right after it.
  const auto save = [&](bool inPlace, int killAt) {
    FaultyFileSystem fs;
    fs.CopyNatively(true);
    int calls = 0;
    fs.BeforeEach([&] { ++calls == killAt ? void(::kill(::getpid(), SIGKILL)) : void(); });
    clsVarnGRP grp(fs);
    grp.LoadFile(source);
    for (int16_t index : deleted) {  // from the last
      grp.deleteFile(index);
    }
    for (const std::string& path : added) {
      grp.addFile(path);
    }
    grp.saveFile(inPlace ? "" : other);
    killAt > 0 ? void(::kill(::getpid(), SIGKILL)) : void();
    return calls;
  };
  const auto restore = [&] { WriteAll(source, oldBytes), WriteAll(other, oldBytes); };

  // A save of each kind left alone, to see it work and to count its calls.
  int calls[2];
  for (const bool inPlace : {true, false}) {
    restore();
    calls[inPlace] = save(inPlace, 0);
    ASSERT_TRUE(ReadAll(inPlace ? source : other) == newBytes);
  }

  for (int trial = 0; trial < wanted; ++trial) {
    const bool inPlace = trial % 2 == 0;
    const std::string& target = inPlace ? source : other;
    const int killAt = std::uniform_int_distribution<int>(1, calls[inPlace] + 1)(rng);
    SCOPED_TRACE("trial " + std::to_string(trial) + ", killed at call " + std::to_string(killAt));
    restore();
    const ChildResult r = InChild([&] {
      std::string why;
      ErrorOf([&] { save(inPlace, killAt); }, &why);
      return "save failed: " + why;
    });
    ASSERT_TRUE(r.KilledBy(SIGKILL)) << "status " << r.Status << ": " << r.Report;
    ASSERT_TRUE(Loads(target)) << target << " does not load";
    ASSERT_TRUE(ReadAll(target) == oldBytes || ReadAll(target) == newBytes)
        << target << " is neither archive";
    ASSERT_TRUE(inPlace || ReadAll(source) == oldBytes) << "the source archive changed";
    for (const auto& e : std::filesystem::directory_iterator(dir / "live")) {
      const std::string name = e.path().filename().string();
      // A killed save leaves its lock file; the next save takes it over.
      if (name != "target.grp" && name != "other.grp" && !name.ends_with(".halvarin-lock")) {
        EXPECT_TRUE(name.starts_with(".halvarin-")) << name;
        EXPECT_TRUE(name.ends_with(".tmp")) << name;
        // Half-written, it is no archive at all; complete, it is the new one.
        EXPECT_TRUE(!Loads(e.path().string()) || ReadAll(e.path().string()) == newBytes) << name;
        std::filesystem::remove(e.path());
      }
    }
  }
}

}  // namespace
}  // namespace halvarin::testing
