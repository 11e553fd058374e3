// A child process saves a large archive (entries deleted, files added, in
// place or over another archive) and is killed with SIGKILL at a random
// moment. After every kill the target must load and hold, byte for byte,
// either the complete old archive or the complete new one; the archive it
// was loaded from must be untouched when it is not the target; and whatever
// else the save left behind must be a temporary file that is recognisably
// one and never passes for anything but the complete new archive.
//
// HALVARIN_CRASH_KILLS (default 12) and HALVARIN_CRASH_MIB (default 48) set
// the number of kills and the archive's size; the full run is
//   HALVARIN_CRASH_KILLS=100 HALVARIN_CRASH_MIB=320 archive_crash_tests

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "AppError.h"
#include "ArchiveBytes.h"
#include "TempDir.h"
#include "clsVarnGRP.h"

namespace halvarin::testing {
namespace {

namespace fs = std::filesystem;

constexpr int64_t kMiB = 1 << 20;

int EnvOr(const char* name, int fallback) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? std::atoi(value) : fallback;
}

bool SameBytes(const std::string& a, const std::string& b) {
  if (fs::file_size(a) != fs::file_size(b))
    return false;
  std::ifstream fa(a, std::ios::binary), fb(b, std::ios::binary);
  std::vector<char> ba(4 * kMiB), bb(4 * kMiB);
  while (fa && fb) {
    fa.read(ba.data(), static_cast<std::streamsize>(ba.size()));
    fb.read(bb.data(), static_cast<std::streamsize>(bb.size()));
    if (fa.gcount() != fb.gcount() ||
        std::memcmp(ba.data(), bb.data(), static_cast<std::size_t>(fa.gcount())) != 0)
      return false;
  }
  return true;
}

bool Loads(const std::string& path) {
  try {
    clsVarnGRP probe;
    return probe.LoadFile(path);
  } catch (const AppError&) {
    return false;
  }
}

class CrashScenario {
 public:
  explicit CrashScenario(int64_t mib) : rng_(20240607) {
    fs::create_directories(dir / "pristine");
    fs::create_directories(dir / "src");
    fs::create_directories(dir / "live");
    // Entries of up to 1 MiB (every tenth one empty), as many as fill the size.
    std::uniform_int_distribution<int64_t> size(1, kMiB);
    int64_t total = 0;
    for (uint64_t n = 1; total < mib * kMiB; ++n) {
      const int64_t s = n % 10 == 0 ? 0 : size(rng_);
      old_.push_back({Padded("e" + std::to_string(n) + ".dat", n % 2 ? '\0' : ' '), s, n});
      total += s;
    }
    // About one in ten deleted, from anywhere, the first and the last included.
    for (std::size_t i = 0; i < old_.size(); ++i) {
      if (i == 0 || i + 1 == old_.size() || rng_() % 10 == 0)
        deleted_.push_back(static_cast<int16_t>(i + 1));
    }
    std::vector<Sized> now;
    for (std::size_t i = 0, d = 0; i < old_.size(); ++i) {
      if (d < deleted_.size() && deleted_[d] == static_cast<int16_t>(i + 1))
        ++d;
      else
        now.push_back(old_[i]);
    }
    // Eight new files, one of them empty and one of 4 MiB.
    for (int k = 0; k < 8; ++k) {
      const int64_t s = k == 3 ? 0 : k == 5 ? 4 * kMiB : size(rng_);
      const Sized p{Padded("added" + std::to_string(k) + ".bin"), s, 1000000u + k};
      const std::string path = dir / ("src/added" + std::to_string(k) + ".bin");
      WriteAll(path, Content(p.Seed, p.Size));
      added_.push_back(path);
      now.push_back(p);
    }
    WriteArchive(Old(), old_);
    WriteArchive(New(), now);
  }

  std::string Old() const { return dir / "pristine/old.grp"; }
  std::string New() const { return dir / "pristine/new.grp"; }
  std::string Live(const char* name) const { return dir / ("live/" + std::string(name)); }

  // Both live archives hold the old archive.
  void Reset() {
    for (const char* name : {"target.grp", "other.grp"}) {
      if (!fs::exists(Live(name)) || !SameBytes(Live(name), Old()))
        fs::copy_file(Old(), Live(name), fs::copy_options::overwrite_existing);
    }
  }

  // What the child does: load, edit and save, in place or as another file.
  [[noreturn]] void Save(bool inPlace) {
    int code = 0;
    try {
      clsVarnGRP grp;
      if (!grp.LoadFile(Live("target.grp")))
        ::_exit(4);
      for (auto it = deleted_.rbegin(); it != deleted_.rend(); ++it)
        grp.deleteFile(*it);
      for (const std::string& path : added_)
        grp.addFile(path);
      grp.saveFile(inPlace ? "" : Live("other.grp"));
    } catch (const std::exception& e) {
      std::fprintf(stderr, "save failed: %s\n", e.what());
      code = 3;
    }
    ::_exit(code);
  }

  // Runs a save in a child and kills it after `delay` (never, if negative).
  // True when the kill ended it, false when it finished first.
  bool SaveAndKill(bool inPlace, std::chrono::nanoseconds delay, double* took = nullptr) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0)
      Save(inPlace);
    if (delay.count() >= 0) {
      const timespec wait{static_cast<time_t>(delay.count() / 1000000000),
                          static_cast<long>(delay.count() % 1000000000)};
      ::nanosleep(&wait, nullptr);
      ::kill(pid, SIGKILL);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (took != nullptr)
      *took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)
      return true;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    return false;
  }

  TempDir dir;

 private:
  std::mt19937_64 rng_;
  std::vector<Sized> old_;
  std::vector<int16_t> deleted_;  // ascending
  std::vector<std::string> added_;
};

TEST(GrpCrash, AKilledSaveLeavesTheOldOrTheNewArchiveAndNothingMistakable) {
  const int wanted = EnvOr("HALVARIN_CRASH_KILLS", 12);
  const int mib = EnvOr("HALVARIN_CRASH_MIB", 48);
  CrashScenario s(mib);

  // Two saves left alone, to see a save work and to learn how long one takes:
  // the slower of the two, so that kills land after the rename as well as
  // before it.
  double took = 0;
  for (int run = 0; run < 2; ++run) {
    s.Reset();
    double once = 0;
    ASSERT_FALSE(s.SaveAndKill(true, std::chrono::nanoseconds(-1), &once));
    ASSERT_TRUE(SameBytes(s.Live("target.grp"), s.New()));
    took = std::max(took, once);
  }
  const auto full =
      std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::duration<double>(took));

  std::mt19937_64 rng(7);
  int kills = 0, finished = 0, keptOld = 0, gotNew = 0, leftovers = 0, loadableLeftovers = 0;
  for (int trial = 0; kills < wanted && trial < 4 * wanted + 20; ++trial) {
    SCOPED_TRACE("trial " + std::to_string(trial));
    s.Reset();
    const bool inPlace = trial % 2 == 0;
    const char* target = inPlace ? "target.grp" : "other.grp";
    // Any moment from before the load to a little after a save's usual end.
    const auto delay = std::chrono::nanoseconds(static_cast<int64_t>(
        std::uniform_real_distribution<double>(0, 1.15)(rng) * static_cast<double>(full.count())));
    if (s.SaveAndKill(inPlace, delay))
      ++kills;
    else
      ++finished;

    ASSERT_TRUE(Loads(s.Live(target))) << target << " does not load";
    const bool isOld = SameBytes(s.Live(target), s.Old());
    const bool isNew = !isOld && SameBytes(s.Live(target), s.New());
    ASSERT_TRUE(isOld || isNew) << target << " is neither the old nor the new archive";
    ++(isOld ? keptOld : gotNew);
    if (!inPlace) {
      ASSERT_TRUE(SameBytes(s.Live("target.grp"), s.Old())) << "the source archive changed";
    }

    for (const auto& e : fs::directory_iterator(s.dir / "live")) {
      const std::string name = e.path().filename().string();
      // A killed save leaves its lock file; the next save takes it over.
      if (name == "target.grp" || name == "other.grp" || name.ends_with(".halvarin-lock"))
        continue;
      ++leftovers;
      EXPECT_TRUE(name.rfind(".halvarin-", 0) == 0 && e.path().extension() == ".tmp") << name;
      // Half-written, it is no archive at all; complete, it is the new one.
      if (Loads(e.path().string())) {
        ++loadableLeftovers;
        EXPECT_TRUE(SameBytes(e.path().string(), s.New())) << name;
      }
      fs::remove(e.path());
    }
  }
  std::printf(
      "%d kills and %d saves that finished first, %d MiB, a save takes %.0f ms: target kept the "
      "old archive %d times, had the new one %d times; %d temporary files left by kills, %d of "
      "them complete\n",
      kills, finished, mib, took * 1000, keptOld, gotNew, leftovers, loadableLeftovers);
  EXPECT_GE(kills, wanted);
}

}  // namespace
}  // namespace halvarin::testing
