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

#include <sys/resource.h>
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

#include "RunProcess.h"

namespace {

namespace fs = std::filesystem;

constexpr int kEntries = 32766;

using RunResult = halvarin::bench::ProcessRun;

// Standard error too: one note per renamed entry.
RunResult Run(const std::vector<std::string>& args) {
  return halvarin::bench::RunProcess(args, 0, true);
}

std::string Int32(int32_t value) {
  const auto v = static_cast<uint32_t>(value);
  return {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF),
          static_cast<char>((v >> 16) & 0xFF), static_cast<char>((v >> 24) & 0xFF)};
}

}  // namespace

int main(int argc, char** argv) {
  const auto args =
      halvarin::bench::ReadBenchArguments(argc, argv, "halvarin-duplicates-bench-", 3);
  if (!args) {
    return 2;
  }
  const std::string& tool = args->Tool;
  const fs::path& dir = args->Work;
  const int rounds = args->Rounds;
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
        kEntries, rounds, halvarin::bench::Median(wall), halvarin::bench::Median(user),
        halvarin::bench::Median(system));
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
  }
  fs::remove_all(dir);
  return 1;
}
