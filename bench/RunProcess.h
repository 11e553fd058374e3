#pragma once

// The benchmarks that time whole programs (halvarin-grp against the
// system's own tools) start them all the same way.

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
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

inline double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// What every such benchmark is told: PATH-TO-halvarin-grp [FOLDER] [ROUNDS].
struct BenchArguments {
  std::string Tool;            // halvarin-grp, as an absolute path
  std::filesystem::path Work;  // a new folder of its own for the files
  int Rounds = 0;
};

// Reads them, FOLDER defaulting to $HALVARIN_BENCH_DIR or the system's
// temporary folder; after a usage message, nothing.
inline std::optional<BenchArguments> ReadBenchArguments(int argc, char** argv, const char* name,
                                                        int rounds) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s PATH-TO-halvarin-grp [FOLDER] [ROUNDS]\n", argv[0]);
    return std::nullopt;
  }
  const char* env = std::getenv("HALVARIN_BENCH_DIR");
  const std::filesystem::path base = argc > 2 ? std::filesystem::path(argv[2])
                                     : env    ? std::filesystem::path(env)
                                              : std::filesystem::temp_directory_path();
  return BenchArguments{std::filesystem::absolute(argv[1]).string(),
                        base / (std::string(name) + std::to_string(getpid())),
                        argc > 3 ? std::max(1, std::atoi(argv[3])) : rounds};
}

}  // namespace halvarin::bench
