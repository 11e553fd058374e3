// halvarin-grp stopped by Ctrl+C, through the built program.

#ifndef _WIN32  // a signal held back and then sent with kill
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>
#include <string>
#include <vector>

extern char** environ;
#endif

#include <gtest/gtest.h>

#include "ArchiveBytes.h"
#include "TempDir.h"

namespace halvarin::testing {
namespace {

#ifdef _WIN32
TEST(GrpInterruptTest, CtrlCLeavesEveryFileAsItWasWithStatus130) {
  GTEST_SKIP() << "POSIX-only: Ctrl+C is SIGINT, held back and sent with kill";
}
#else
std::map<std::string, std::string> Tree(const fs::path& root) {
  std::map<std::string, std::string> tree;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    tree[fs::relative(e.path(), root).string()] =
        e.is_symlink() ? "-> " + fs::read_symlink(e.path()).string()
        : e.is_directory() ? "<folder>"
                           : ReadAll(e.path().string());
  }
  return tree;
}

// Runs the program in `folder` with a Ctrl+C already waiting for it: held
// back at the start, it arrives as soon as the program listens for it, so
// the operation is stopped at its very first progress report. Returns the
// exit status, or -1 for a program killed by the signal.
int RunInterrupted(const std::vector<std::string>& args, const fs::path& folder) {
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t blocked;
  sigemptyset(&blocked);
  sigaddset(&blocked, SIGINT);
  posix_spawnattr_setsigmask(&attributes, &blocked);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
  std::vector<char*> argv{const_cast<char*>(HALVARIN_GRP)};
  for (const std::string& arg : args)
    argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, HALVARIN_GRP, &actions, &attributes, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (spawned != 0)
    return -2;
  ::kill(pid, SIGINT);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(GrpInterruptTest, CtrlCLeavesEveryFileAsItWasWithStatus130) {
  const std::vector<std::vector<std::string>> commands = {
      {"add", "a.grp", "new.voc"},
      {"delete", "a.grp", "1"},
      {"create", "b.grp", "new.voc"},
      {"create", "-f", "a.grp", "new.voc"},
      {"extract", "a.grp", "-C", "out"},
  };
  for (const auto& command : commands) {
    SCOPED_TRACE(command[0] + " " + command[1]);
    TempDir dir;
    WriteAll(dir / "a.grp", ArchiveBytes({{Padded("BIG.ART"), Content(1, 5 << 20)},
                                          {Padded("S.MAP"), "map"}}));
    WriteAll(dir / "new.voc", "new");
    fs::create_directory(dir.Path() / "out");
    WriteAll(dir / "out/S.MAP", "older");
    fs::create_symlink("../new.voc", dir.Path() / "out/BIG.ART");
    const auto before = Tree(dir.Path());
    EXPECT_EQ(RunInterrupted(command, dir.Path()), 130);
    EXPECT_EQ(Tree(dir.Path()), before);
  }
}
#endif

}  // namespace
}  // namespace halvarin::testing
