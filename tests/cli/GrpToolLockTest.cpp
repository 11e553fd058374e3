// halvarin-grp commands run at the same time on one archive, as `make -j`
// runs them: they take turns, and none loses another's work.

#ifndef _WIN32  // a holder killed with SIGKILL
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <chrono>
#include <future>
#include <optional>

#include <gtest/gtest.h>

#include "ArchiveBytes.h"
#include "ArchiveLock.h"
#include "GrpOracle.h"
#include "RunProgram.h"
#include "TempDir.h"

namespace halvarin::testing {
namespace {

using Entries = std::vector<std::pair<std::string, std::string>>;

// Stored names (padding included) and data, in archive order.
Entries Read(const std::string& path) {
  const std::string bytes = ReadAll(path);
  Entries entries;
  for (const OracleEntry& e : OracleRead(bytes).Entries) {
    entries.emplace_back(e.Name, OracleData(bytes, e));
  }
  return entries;
}

// Large enough that every command spends its time copying, which is when
// unlocked commands overwrote each other. Whatever the order, the kept
// entries stay in theirs, then come the added ones in the order they ran.
TEST(GrpToolLock, ParallelAddsAndDeletesAllLandAsSomeSerialOrder) {
  TempDir dir;
  std::vector<Item> items;
  Entries expected;
  std::vector<std::string> commands;
  for (int k = 0; k < 6; ++k) {
    items.push_back({Padded("k" + std::to_string(k)), Content(k, 4 << 20)});
    if (k % 2 == 1) {
      expected.emplace_back(items.back().Name, items.back().Data);
    } else {
      commands.push_back("delete mod.grp k" + std::to_string(k));
    }
  }
  WriteAll(dir / "mod.grp", ArchiveBytes(items));
  for (int n = 0; n < 5; ++n) {
    const std::string name = "n" + std::to_string(n);
    WriteAll(dir / name, Content(10 + n, 1000 + 77 * n));
    expected.emplace_back(Padded(name), Content(10 + n, 1000 + 77 * n));
    commands.push_back("add mod.grp " + name);
  }
  std::vector<std::future<ProgramResult>> runs;
  for (const std::string& command : commands) {
    runs.push_back(std::async(std::launch::async, [&dir, args = Words(command)] {
      return RunProgram(HALVARIN_GRP, args, dir.Path());
    }));
  }
  for (auto& run : runs) {
    const ProgramResult r = run.get();
    EXPECT_EQ(r.Status, 0) << r.Err;
  }
  Entries entries = Read(dir / "mod.grp");
  ASSERT_EQ(entries.size(), expected.size());
  std::sort(entries.begin() + 3, entries.end());
  EXPECT_EQ(entries, expected);
  EXPECT_EQ(dir.Names().count(".mod.grp.halvarin-lock"), 0u);
}

// The holder is this process on Windows, which lets go; elsewhere a child
// killed with SIGKILL, whose lock must be free at once.
TEST(GrpToolLock, AHeldLockTimesOutAndIsFreeOnceItsHolderIsGone) {
  TempDir dir;
  const std::string original = ArchiveBytes(FiveItems());
  WriteAll(dir / "mod.grp", original);
  WriteAll(dir / "f.txt", "new entry");
#ifdef _WIN32
  std::optional<ArchiveLock> held;
  held.emplace(io::FileSystem::Native(), dir / "mod.grp", std::chrono::milliseconds(0));
#else
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t holder = ::fork();
  ASSERT_GE(holder, 0);
  if (holder == 0) {
    ArchiveLock lock(io::FileSystem::Native(), dir / "mod.grp", std::chrono::milliseconds(0));
    (void)!::write(ready[1], "x", 1);
    ::pause();  // until killed
    ::_exit(1);
  }
  char byte = 0;
  ASSERT_EQ(::read(ready[0], &byte, 1), 1);
#endif
  const auto names = dir.Names();
  for (const std::string wait : {"--wait=1", "--wait=0"}) {
    const ProgramResult late =
        RunProgram(HALVARIN_GRP, Words("add " + wait + " mod.grp f.txt"), dir.Path());
    EXPECT_EQ(late.Status, 1) << wait;
    EXPECT_NE(late.Err.find("another program is changing it"), std::string::npos) << late.Err;
    EXPECT_EQ(ReadAll(dir / "mod.grp"), original);
    EXPECT_EQ(dir.Names(), names);
  }
#ifdef _WIN32
  held.reset();
#else
  ::kill(holder, SIGKILL);
  ::waitpid(holder, nullptr, 0);
#endif
  const ProgramResult next =
      RunProgram(HALVARIN_GRP, Words("add --wait 0 mod.grp f.txt"), dir.Path());
  EXPECT_EQ(next.Status, 0) << next.Err;
  EXPECT_EQ(Read(dir / "mod.grp").back().second, "new entry");
  EXPECT_EQ(dir.Names().count(".mod.grp.halvarin-lock"), 0u);
}

}  // namespace
}  // namespace halvarin::testing
