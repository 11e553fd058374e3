#pragma once

// What a program said, as a script sees it. On POSIX systems, for what only
// a process of its own shows (signals, a reader that goes away), a built
// program run as a script would run it: in a folder of the test's choosing,
// with nothing on standard input, and its output and exit status collected.
// Standard streams go through files rather than pipes, so that no amount of
// output can block the program or the test.

#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;
#endif

#include <filesystem>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "ArchiveBytes.h"
#include "TempDir.h"

namespace halvarin::testing {

struct ProgramResult {
  int Status = -1;  // the exit status, or 128 + the signal that ended it, as a shell says
  std::string Out, Err;
  // The status and all the program wrote, for one comparison that shows everything.
  std::string Said() const { return std::to_string(Status) + '|' + Out + Err; }
};

// A command line split at spaces, as a shell splits one without quotes.
inline std::vector<std::string> Words(const std::string& line) {
  std::istringstream words(line);
  return {std::istream_iterator<std::string>(words), {}};
}

#ifndef _WIN32
struct RunOptions {
  bool ClosedStdout = false;  // a pipe nobody reads, as under `| head -1`
  int Signal = 0;             // one waiting from the start, held back until it listens
};

inline ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                                const std::filesystem::path& folder, const RunOptions& o = {}) {
  const TempDir scratch;
  const std::string out = scratch / "out", err = scratch / "err";
  int status = -1;
  // Made before the fork: in between it and the program, with other threads
  // about, only calls that take no locks are safe.
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& arg : args) {
    argv.push_back(const_cast<char*>(arg.c_str()));
  }
  argv.push_back(nullptr);
  int pipeEnds[2] = {-1, -1};
  if (o.ClosedStdout && ::pipe2(pipeEnds, O_CLOEXEC) == 0) {
    ::close(pipeEnds[0]);
  }
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int create = O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC;
    ::dup2(::open("/dev/null", O_RDONLY | O_CLOEXEC), 0);
    ::dup2(pipeEnds[1] >= 0 ? pipeEnds[1] : ::open(out.c_str(), create, 0600), 1);
    ::dup2(::open(err.c_str(), create, 0600), 2);
    // Blocked and already pending, the signal survives the exec and comes
    // the moment the program listens, however quick the program.
    sigset_t blocked;
    sigemptyset(&blocked);
    sigaddset(&blocked, o.Signal);
    if (o.Signal != 0) {
      ::sigprocmask(SIG_BLOCK, &blocked, nullptr);
      ::raise(o.Signal);
    }
    if (::chdir(folder.c_str()) == 0) {
      ::execve(program.c_str(), argv.data(), environ);
    }
    ::_exit(127);
  }
  if (pipeEnds[1] >= 0) {
    ::close(pipeEnds[1]);
  }
  if (pid < 0) {
    throw std::runtime_error("cannot start " + program);
  }
  ::waitpid(pid, &status, 0);
  status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return {status, ReadAll(out), ReadAll(err)};
}
#endif

}  // namespace halvarin::testing
