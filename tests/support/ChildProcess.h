#pragma once

// Runs part of a test in a forked child: to set process limits (a file size
// limit stands for a full disk) without touching the test runner, to be
// killed, or to act as an ordinary user. The superuser ignores permissions,
// so as root the child becomes "nobody" first; the files it must reach are
// handed to that user with GiveToUnprivileged.

#include <grp.h>
#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <exception>
#include <filesystem>
#include <functional>
#include <string>

namespace halvarin::testing {

constexpr uid_t kNobody = 65534;  // and its group, nogroup

struct ChildResult {
  std::string Report;  // what the child wrote; empty means all went well
  int Status = 0;      // as from waitpid
  bool Exited() const { return WIFEXITED(Status) && WEXITSTATUS(Status) == 0; }
  bool KilledBy(int signal) const { return WIFSIGNALED(Status) && WTERMSIG(Status) == signal; }
};

inline bool RunningAsRoot() {
  return ::geteuid() == 0;
}

// Makes a folder and everything in it the unprivileged user's, when the
// tests run as root; otherwise the files are the user's own already.
inline void GiveToUnprivileged(const std::filesystem::path& folder) {
  if (!RunningAsRoot()) {
    return;
  }
  (void)::lchown(folder.c_str(), kNobody, kNobody);
  for (const auto& e : std::filesystem::recursive_directory_iterator(folder)) {
    (void)::lchown(e.path().c_str(), kNobody, kNobody);
  }
}

// `body` returns an empty string when everything it checked held, or a
// description of what did not.
inline ChildResult InChild(const std::function<std::string()>& body, bool unprivileged = false) {
  int fds[2];
  const pid_t pid = ::pipe(fds) == 0 ? ::fork() : -1;
  if (pid < 0) {
    return {"pipe or fork failed", -1};
  }
  if (pid == 0) {
    ::close(fds[0]);
    std::string report = "cannot become the unprivileged user";
    try {
      if (!unprivileged || !RunningAsRoot() ||
          (::setgroups(0, nullptr) == 0 && ::setgid(kNobody) == 0 && ::setuid(kNobody) == 0)) {
        report = body();
      }
    } catch (const std::exception& e) {
      report = std::string("unexpected exception: ") + e.what();
    }
    // A blocking pipe takes it all at once. No destructors, no test runner
    // clean-up: those are the parent's.
    ::_exit(::write(fds[1], report.data(), report.size()) < 0);
  }
  ::close(fds[1]);
  ChildResult result;
  char buffer[4096];
  // No handler is installed here, so no read or wait is interrupted.
  for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;) {
    result.Report.append(buffer, std::size_t(n));
  }
  ::close(fds[0]);
  ::waitpid(pid, &result.Status, 0);
  return result;
}

}  // namespace halvarin::testing
