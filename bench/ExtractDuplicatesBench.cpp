// halvarin-grp extracting an archive of 32766 empty entries that are all
// named "A": every entry but the first needs a "~n" name of its own, which
// is where a search that starts over for each duplicate turns quadratic.
// Reports the medians of whole runs: wall time, and CPU time in the program
// and in the kernel (where creating 32766 files costs what it costs).
//
// Usage: extract_duplicates_bench PATH-TO-halvarin-grp [FOLDER] [ROUNDS]
// The archive (half a megabyte) and the extracted files go to a new folder
// inside FOLDER (or $HALVARIN_BENCH_DIR, or the system's temporary folder)
// and are deleted at the end.

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

constexpr int kEntries = 32766;

struct RunResult {
  double Seconds = 0;
  double UserSeconds = 0;    // in the program itself
  double SystemSeconds = 0;  // in the kernel, on its behalf: mostly creating files
};

double Seconds(const timeval& t) {
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

// Runs `args` with standard output and standard error (one note per renamed
// entry) to /dev/null; throws unless it exits 0.
RunResult Run(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& arg : args) {
    argv.push_back(const_cast<char*>(arg.c_str()));
  }
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
    throw std::runtime_error("cannot start " + args[0]);
  }
  posix_spawn_file_actions_destroy(&actions);
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  const auto end = std::chrono::steady_clock::now();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    throw std::runtime_error(args[0] + " " + args[1] + " failed");
  }
  return {std::chrono::duration<double>(end - start).count(), Seconds(usage.ru_utime),
          Seconds(usage.ru_stime)};
}

std::string Int32(int32_t value) {
  const auto v = static_cast<uint32_t>(value);
  return {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF),
          static_cast<char>((v >> 16) & 0xFF), static_cast<char>((v >> 24) & 0xFF)};
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s PATH-TO-halvarin-grp [FOLDER] [ROUNDS]\n", argv[0]);
    return 2;
  }
  const std::string tool = fs::absolute(argv[1]).string();
  const char* env = std::getenv("HALVARIN_BENCH_DIR");
  const fs::path base = argc > 2 ? fs::path(argv[2])
                        : env    ? fs::path(env)
                                 : fs::temp_directory_path();
  const int rounds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
  const fs::path dir = base / ("halvarin-duplicates-bench-" + std::to_string(getpid()));
  try {
    fs::create_directories(dir);
    std::string bytes = "Quorindavell" + Int32(kEntries);
    for (int i = 0; i < kEntries; ++i) {
      bytes += "A           " + Int32(0);
    }
    std::ofstream(dir / "dup.grp", std::ios::binary) << bytes;

    std::vector<double> wall, user, system;
    for (int round = 0; round < rounds; ++round) {
      const fs::path out = dir / "out";
      fs::remove_all(out);
      const RunResult r = Run({tool, "extract", (dir / "dup.grp").string(), "-C", out.string()});
      wall.push_back(r.Seconds);
      user.push_back(r.UserSeconds);
      system.push_back(r.SystemSeconds);
    }
    fs::remove_all(dir);
    std::printf(
        "extract %d empty entries all named \"A\", median of %d runs: %.2f s wall, "
        "%.2f s user, %.2f s system\n",
        kEntries, rounds, Median(wall), Median(user), Median(system));
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
  }
  fs::remove_all(dir);
  return 1;
}
