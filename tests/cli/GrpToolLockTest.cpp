// halvarin-grp commands run at the same time on one archive, as `make -j`
// runs them: they take turns, and none loses another's work.

#ifndef _WIN32  // a holder killed with SIGKILL
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "ArchiveLock.h"
#include "ArchiveBytes.h"
#ifndef _WIN32
#include "ChildProcess.h"
#endif
#include "TempDir.h"
#include "RunProgram.h"
#include "clsVarnGRP.h"

namespace halvarin::testing {
namespace {

// Stored names (trimmed) and data, in archive order.
std::vector<std::pair<std::string, std::string>> Entries(const std::string& path) {
  clsVarnGRP archive;
  EXPECT_TRUE(archive.LoadFile(path));
  const std::string bytes = ReadAll(path);
  std::vector<std::pair<std::string, std::string>> entries;
  for (int16_t i = 1; i <= archive.NumberOfFiles(); ++i) {
    std::string name = archive.filename(i);
    name.erase(name.find_last_not_of(' ') + 1);
    entries.emplace_back(name, bytes.substr(static_cast<std::size_t>(archive.FilePosition(i) - 1),
                                            static_cast<std::size_t>(archive.FileSize(i))));
  }
  return entries;
}

ProgramResult RunGrp(const std::vector<std::string>& args, const TempDir& folder) {
  return RunProgram(HALVARIN_GRP, args, folder.Path());
}

// Starts all the commands at once in `folder` and returns their exit
// statuses, in the same order.
std::vector<int> RunTogether(const std::vector<std::vector<std::string>>& commands,
                             const TempDir& folder) {
  std::vector<int> statuses(commands.size(), -1);
  std::vector<std::thread> running;
  for (std::size_t i = 0; i < commands.size(); ++i)
    running.emplace_back([&, i] { statuses[i] = RunGrp(commands[i], folder).Status; });
  for (std::thread& t : running)
    t.join();
  return statuses;
}

TEST(GrpToolLock, ParallelAddsAllLand) {
  // Large enough that every command spends its time copying, which is when
  // unlocked commands overwrote each other.
  TempDir dir;
  WriteAll(dir / "mod.grp", ArchiveBytes({{Padded("base.dat"), Content(0, 16 << 20)}}));
  constexpr int kCommands = 8;
  std::vector<std::vector<std::string>> commands;
  for (int n = 1; n <= kCommands; ++n) {
    WriteAll(dir / ("f" + std::to_string(n) + ".txt"), Content(n, 1000 + 77 * n));
    commands.push_back({"add", "mod.grp", "f" + std::to_string(n) + ".txt"});
  }
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(RunTogether(commands, dir), std::vector<int>(kCommands, 0));
  const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
  std::printf("%d parallel adds to a 16 MiB archive: %.0f ms in all\n", kCommands, took.count());

  auto entries = Entries(dir / "mod.grp");
  ASSERT_EQ(entries.size(), kCommands + 1u);
  std::sort(entries.begin() + 1, entries.end());
  for (int n = 1; n <= kCommands; ++n) {
    EXPECT_EQ(entries[n].first, "f" + std::to_string(n) + ".txt");
    EXPECT_EQ(entries[n].second, Content(n, 1000 + 77 * n)) << n;
  }
  EXPECT_EQ(dir.Names().count(".mod.grp.halvarin-lock"), 0u);
}

TEST(GrpToolLock, MixedAddsAndDeletesEndAsSomeSerialOrder) {
  TempDir dir;
  std::vector<Item> items;
  for (int k = 0; k < 6; ++k)
    items.push_back({Padded("k" + std::to_string(k)), Content(k, 4 << 20)});
  WriteAll(dir / "mod.grp", ArchiveBytes(items));
  std::vector<std::vector<std::string>> commands;
  for (int n = 0; n < 3; ++n) {
    WriteAll(dir / ("n" + std::to_string(n)), Content(10 + n, 3000));
    commands.push_back({"delete", "mod.grp", "k" + std::to_string(2 * n)});
    commands.push_back({"add", "mod.grp", "n" + std::to_string(n)});
  }
  EXPECT_EQ(RunTogether(commands, dir), std::vector<int>(commands.size(), 0));
  // Whatever the order: the kept entries in their order, then the added
  // ones in the order they ran.
  auto entries = Entries(dir / "mod.grp");
  ASSERT_EQ(entries.size(), 6u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(entries[i].first, "k" + std::to_string(2 * i + 1));
    EXPECT_EQ(entries[i].second, Content(2 * i + 1, 4 << 20));
  }
  std::sort(entries.begin() + 3, entries.end());
  for (int n = 0; n < 3; ++n) {
    EXPECT_EQ(entries[3 + n].first, "n" + std::to_string(n));
    EXPECT_EQ(entries[3 + n].second, Content(10 + n, 3000));
  }
}

#ifdef _WIN32
// No fork here: this process holds the lock, and lets it go as it ends.
TEST(GrpToolLock, AHeldLockTimesOutAndIsFreeOnceLetGo) {
  TempDir dir;
  const std::string original = ArchiveBytes(FiveItems());
  WriteAll(dir / "mod.grp", original);
  WriteAll(dir / "f.txt", "new entry");
  {
    const ArchiveLock held(io::FileSystem::Native(), dir / "mod.grp",
                           std::chrono::milliseconds(0));
    const ProgramResult late = RunGrp({"add", "--wait=0", "mod.grp", "f.txt"}, dir);
    EXPECT_EQ(late.Status, 1);
    EXPECT_NE(late.Err.find("another program is changing it"), std::string::npos) << late.Err;
    EXPECT_EQ(ReadAll(dir / "mod.grp"), original);
  }
  const ProgramResult next = RunGrp({"add", "--wait=0", "mod.grp", "f.txt"}, dir);
  EXPECT_EQ(next.Status, 0) << next.Err;
  EXPECT_EQ(dir.Names().count(".mod.grp.halvarin-lock"), 0u);
}
#else
TEST(GrpToolLock, AHeldLockTimesOutAndAKilledHoldersLockIsFreeAtOnce) {
  TempDir dir;
  const std::string original = ArchiveBytes(FiveItems());
  WriteAll(dir / "mod.grp", original);
  WriteAll(dir / "f.txt", "new entry");
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t holder = ::fork();
  ASSERT_GE(holder, 0);
  if (holder == 0) {
    ArchiveLock lock(io::FileSystem::Native(), dir / "mod.grp", std::chrono::milliseconds(0));
    (void)!::write(ready[1], "x", 1);
    for (;;)
      ::pause();
  }
  char byte = 0;
  ASSERT_EQ(::read(ready[0], &byte, 1), 1);
  const auto names = dir.Names();

  for (const char* wait : {"--wait=1", "--wait=0"}) {
    const ProgramResult late = RunProgram(HALVARIN_GRP, {"add", wait, "mod.grp", "f.txt"}, dir.Path());
    EXPECT_EQ(late.Status, 1) << wait;
    EXPECT_NE(late.Err.find("another program is changing it"), std::string::npos) << late.Err;
    EXPECT_EQ(ReadAll(dir / "mod.grp"), original);
    EXPECT_EQ(dir.Names(), names);
  }

  ::kill(holder, SIGKILL);
  ::waitpid(holder, nullptr, 0);
  const ProgramResult next = RunProgram(HALVARIN_GRP, {"add", "--wait", "0", "mod.grp", "f.txt"}, dir.Path());
  EXPECT_EQ(next.Status, 0) << next.Err;
  EXPECT_EQ(Entries(dir / "mod.grp").back().second, "new entry");
  EXPECT_EQ(dir.Names().count(".mod.grp.halvarin-lock"), 0u);
}
#endif

}  // namespace
}  // namespace halvarin::testing
