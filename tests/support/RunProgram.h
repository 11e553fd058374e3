#pragma once

// Runs a built program as a script would: in a folder of the test's
// choosing, with a given standard input, and its output and exit status
// collected. Standard streams go through files rather than pipes, so that
// no amount of output can block the program or the test.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "ArchiveBytes.h"

extern char** environ;

namespace halvarin::testing {

struct ProgramResult {
  int Status = -1;  // the exit status; -1 when the program did not exit normally
  int Signal = 0;   // the signal that ended it, if one did
  std::string Out;
  std::string Err;
};

struct RunOptions {
  std::string Input{};
  std::string StdoutPath{};   // instead of collecting it (/dev/full, for instance)
  bool ClosedStdout = false;  // a pipe nobody reads, as under `| head -1`
  bool CtrlC = false;         // a Ctrl+C waiting from the start, held back until it listens
};

inline ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                                const std::filesystem::path& folder, const RunOptions& o = {}) {
  namespace fs = std::filesystem;
  std::string scratch = (fs::temp_directory_path() / "grpcliXXXXXX").string();
  if (::mkdtemp(scratch.data()) == nullptr)
    throw std::runtime_error("mkdtemp failed");
  const std::string in = scratch + "/in", out = scratch + "/out", err = scratch + "/err";
  WriteAll(in, o.Input);
  int pipeEnds[2] = {-1, -1};
  if (o.ClosedStdout && ::pipe(pipeEnds) == 0)
    ::close(pipeEnds[0]);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, in.c_str(), O_RDONLY, 0);
  if (o.ClosedStdout)
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 1);
  else
    posix_spawn_file_actions_addopen(&actions, 1, o.StdoutPath.empty() ? out.c_str() : o.StdoutPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t blocked;
  sigemptyset(&blocked);
  sigaddset(&blocked, SIGINT);
  posix_spawnattr_setsigmask(&attributes, &blocked);
  posix_spawnattr_setflags(&attributes, o.CtrlC ? POSIX_SPAWN_SETSIGMASK : 0);
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& arg : args)
    argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);

  pid_t pid = 0;
  const int spawned = ::posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (o.ClosedStdout)
    ::close(pipeEnds[1]);
  ProgramResult result;
  if (spawned == 0) {
    if (o.CtrlC)
      ::kill(pid, SIGINT);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.Signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  }
  result.Out = ReadAll(out);
  result.Err = ReadAll(err);
  std::error_code ignored;
  fs::remove_all(scratch, ignored);
  if (spawned != 0)
    throw std::runtime_error("cannot start " + program);
  return result;
}

}  // namespace halvarin::testing
