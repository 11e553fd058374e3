#pragma once

// The benchmarks that time whole programs (halvarin-grp against the
// system's own tools) start them all the same way.

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <vector>

extern char** environ;

namespace halvarin::bench {

struct ProcessRun {
  double Seconds = 0;        // wall clock
  double UserSeconds = 0;    // the processor, in the program itself
  double SystemSeconds = 0;  // in the kernel on its behalf
  long PeakKiB = 0;          // its largest resident size
};

// Runs `args` with standard output (and with `quietErrors` standard error)
// to /dev/null; throws unless it exits with `expected`.
inline ProcessRun RunProcess(const std::vector<std::string>& args, int expected = 0,
                             bool quietErrors = false) {
  std::vector<char*> argv;
  for (const std::string& arg : args) {
    argv.push_back(const_cast<char*>(arg.c_str()));
  }
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  if (quietErrors) {
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  }
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  const int started = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (started != 0) {
    throw std::runtime_error("cannot start " + args[0]);
  }
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  const auto end = std::chrono::steady_clock::now();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != expected) {
    throw std::runtime_error(args[0] + (args.size() > 1 ? " " + args[1] : std::string()) +
                             " did not exit with " + std::to_string(expected));
  }
  const auto seconds = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
  };
  return {std::chrono::duration<double>(end - start).count(), seconds(usage.ru_utime),
          seconds(usage.ru_stime), usage.ru_maxrss};
}

}  // namespace halvarin::bench
