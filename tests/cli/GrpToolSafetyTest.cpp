// What halvarin-grp owes its user beyond the archive itself: a word about
// what a rewrite leaves behind, nothing on the terminal that could drive it
// or forge a line, and a quiet end when the reader of its output has gone.

#ifndef _WIN32  // a pipe whose reader has gone, and SIGPIPE
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include "ArchiveBytes.h"
#include "RunProgram.h"
#include "TempDir.h"

namespace halvarin::testing {
namespace {

const std::string kOne = ArchiveBytes({{Padded("one.dat"), "1"}});

class GrpToolSafetyTest : public ::testing::Test {
 protected:
  ProgramResult Run(const std::vector<std::string>& args) {
    return RunProgram(HALVARIN_GRP, args, dir.Path());
  }
  TempDir dir;
};

// Hard links and bytes after the data stay with the old file; the window
// says nothing about that, as editors that save safely do, but a script's
// author must hear it.
TEST_F(GrpToolSafetyTest, AddAndDeleteSayWhatOnlyTheOldFileKeeps) {
  WriteAll(dir / "f", "new");
  const std::string added = ArchiveBytes({{Padded("one.dat"), "1"}, {Padded("f"), "new"}});
  const std::string linked = "halvarin-grp: \"mod.grp\" had 2 names; the others keep the old "
                             "archive.\n";
  const std::string dropped = " after the last entry's data, which belonged to no entry.\n";
  struct Case {
    std::vector<std::string> Args;
    std::string Tail;  // bytes after the data
    bool Linked;       // "backup.grp" is a second name of the archive
    std::string After, Err;
  };
  const std::vector<Case> cases = {
      {{"add", "mod.grp", "f"}, "", false, added, ""},
      {{"add", "mod.grp", "f"}, "", true, added, linked},
      {{"delete", "mod.grp", "1"}, "tail", false, ArchiveBytes({}),
       "halvarin-grp: \"mod.grp\": dropped 4 bytes" + dropped},
      {{"add", "mod.grp", "f"}, "x", true, added,
       linked + "halvarin-grp: \"mod.grp\": dropped 1 byte" + dropped},
  };
  for (const Case& c : cases) {
    fs::remove(dir / "backup.grp");
    WriteAll(dir / "mod.grp", kOne + c.Tail);
    if (c.Linked)
      fs::create_hard_link(dir / "mod.grp", dir / "backup.grp");
    const ProgramResult r = Run(c.Args);
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Err, c.Err);
    EXPECT_EQ(ReadAll(dir / "mod.grp"), c.After);
    if (c.Linked) {
      EXPECT_EQ(ReadAll(dir / "backup.grp"), kOne + c.Tail);
    }
  }
}

#ifndef _WIN32  // Windows names cannot hold control characters, nor its
                // arguments bytes that are not UTF-8
// Names from the command line reach the terminal in messages and in every
// line of `check`; none may carry a control character in any encoding.
TEST_F(GrpToolSafetyTest, NamesPrintedCannotDriveTheTerminalOrForgeALine) {
  struct Case {
    std::vector<std::string> Args;
    std::string Archive;  // written first, when not empty
    std::string Out, Err;
  };
  const std::string forged = "bad.grp\nx.grp: sound: 9 entries, 0 bytes of data\nx";
  const std::vector<Case> cases = {
      {{"check", "x\x1b]0;pwn\a.grp"},
       "x\x1b]0;pwn\a.grp",
       "x?]0;pwn?.grp: sound: 1 entry, 1 bytes of data\n",
       ""},
      {{"check", forged},
       forged,
       "bad.grp?x.grp: sound: 9 entries, 0 bytes of data?x: sound: 1 entry, 1 bytes of data\n",
       ""},
      {{"list", "\x9b" "31m.grp"},
       "",
       "",
       "halvarin-grp: Cannot open \"?31m.grp\": No such file or directory.\n"},
      {{"lst\x1b[2J"}, "", "", "halvarin-grp: unknown command \"lst?[2J\".\n"},
      {{"list", "a.grp", "-\xC2\x9B\xC3\xA9"},
       "",
       "",
       "halvarin-grp: \"list\" does not take the option \"-?\xC3\xA9\".\n"},
  };
  for (const Case& c : cases) {
    if (!c.Archive.empty())
      WriteAll(dir / c.Archive, kOne);
    const ProgramResult r = Run(c.Args);
    EXPECT_EQ(r.Out, c.Out);
    EXPECT_EQ(r.Err.substr(0, r.Err.find("Try \"halvarin-grp --help\"")), c.Err);
  }
}

// Runs the program with standard output a pipe that nobody reads; returns
// how it ended, as waitpid tells, and what it wrote to standard error.
int RunIntoClosedPipe(const std::vector<std::string>& args, const TempDir& dir, std::string& err) {
  int ends[2];
  if (::pipe(ends) != 0)
    return -1;
  ::close(ends[0]);
  const std::string errPath = dir / "stderr";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, ends[1], 1);
  posix_spawn_file_actions_addclose(&actions, ends[1]);
  posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  posix_spawn_file_actions_addchdir_np(&actions, dir.Path().c_str());
  std::vector<char*> argv{const_cast<char*>(HALVARIN_GRP)};
  for (const std::string& arg : args)
    argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int spawned = ::posix_spawn(&pid, HALVARIN_GRP, &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(ends[1]);
  int status = -1;
  if (spawned == 0) {
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
  }
  err = ReadAll(errPath);
  return status;
}

// "halvarin-grp list big.grp | head -1": the reader has all it wanted. The
// program ends as ls or cat do there, by SIGPIPE, and says nothing.
TEST_F(GrpToolSafetyTest, AReaderThatStopsEarlyIsNoError) {
  WriteAll(dir / "a.grp", kOne);
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"list", "a.grp"}, {"check", "a.grp"}, {"--help"}}) {
    std::string err;
    const int status = RunIntoClosedPipe(args, dir, err);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGPIPE) << args[0] << " " << status;
    EXPECT_EQ(err, "") << args[0];
  }
}
#endif

}  // namespace
}  // namespace halvarin::testing
