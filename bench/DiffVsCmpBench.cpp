// halvarin-grp diff against cmp, on the same files in one run:
//   - two 1 GiB archives of 1024 entries that differ in the last byte of the
//     last entry, so that cmp too reads both files to their end;
//   - two copies of a 32766-entry archive.
// Both run as processes of their own with output to /dev/null, alternately,
// after one unmeasured run each that brings the files into the page cache;
// the medians are compared, and diff's peak memory is reported.
//
// Usage: diff_vs_cmp_bench PATH-TO-halvarin-grp [FOLDER] [ROUNDS]
// About 2.2 GiB of files go to a new folder inside FOLDER (or
// $HALVARIN_BENCH_DIR, or the system's temporary folder) and are deleted at
// the end.

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "RunProcess.h"

namespace {

namespace fs = std::filesystem;

using RunResult = halvarin::bench::ProcessRun;

RunResult Run(const std::vector<std::string>& args, int expected) {
  return halvarin::bench::RunProcess(args, expected);
}

std::string Int32(int64_t value) {
  const auto v = static_cast<uint32_t>(value);
  return {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF),
          static_cast<char>((v >> 16) & 0xFF), static_cast<char>((v >> 24) & 0xFF)};
}

// An archive of entries of the given sizes with varied content.
void WriteArchive(const fs::path& path, const std::vector<int64_t>& sizes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << "Quorindavell" << Int32(static_cast<int64_t>(sizes.size()));
  for (std::size_t i = 0; i < sizes.size(); ++i) {
    std::string name = "E" + std::to_string(1000000 + i) + ".DAT";
    name.resize(12, ' ');
    out << name << Int32(sizes[i]);
  }
  std::mt19937_64 random(sizes.size());
  std::string data(4 << 20, '\0');
  for (char& c : data) {
    c = static_cast<char>(random());
  }
  for (std::size_t i = 0; i < sizes.size(); ++i) {
    for (int64_t left = sizes[i]; left > 0;) {
      const int64_t piece = std::min<int64_t>(left, static_cast<int64_t>(data.size()) - 4096);
      out.write(data.data() + (i * 7 % 4096), piece);
      left -= piece;
    }
  }
}

// Diff and cmp of `a` and `b`, alternately; prints the medians.
void Compare(const std::string& what, const std::string& tool, const fs::path& a, const fs::path& b,
             int status, int rounds) {
  const std::vector<std::string> diff = {tool, "diff", a.string(), b.string()};
  const std::vector<std::string> cmp = {"cmp", a.string(), b.string()};
  Run(diff, status), Run(cmp, status);
  std::vector<double> diffs, cmps;
  long peak = 0;
  for (int r = 0; r < rounds; ++r) {
    const RunResult d = Run(diff, status);
    diffs.push_back(d.Seconds), peak = std::max(peak, d.PeakKiB);
    cmps.push_back(Run(cmp, status).Seconds);
  }
  std::printf("%s: diff %.3f s, cmp %.3f s (diff/cmp %.2f); diff's peak memory %ld KiB\n",
              what.c_str(), halvarin::bench::Median(diffs), halvarin::bench::Median(cmps),
              halvarin::bench::Median(diffs) / halvarin::bench::Median(cmps), peak);
}

}  // namespace

int main(int argc, char** argv) {
  const auto args = halvarin::bench::ReadBenchArguments(argc, argv, "halvarin-diff-bench-", 5);
  if (!args) {
    return 2;
  }
  const std::string& tool = args->Tool;
  const fs::path& dir = args->Work;
  const int rounds = args->Rounds;
  try {
    fs::create_directories(dir);
    WriteArchive(dir / "old.grp", std::vector<int64_t>(1024, int64_t{1} << 20));
    fs::copy_file(dir / "old.grp", dir / "new.grp");
    {
      std::fstream last(dir / "new.grp", std::ios::binary | std::ios::in | std::ios::out);
      last.seekg(-1, std::ios::end);
      const char byte = static_cast<char>(last.get() ^ 0xFF);
      last.seekp(-1, std::ios::end);
      last.put(byte);
    }
    Compare("1 GiB, the last entry changed", tool, dir / "old.grp", dir / "new.grp", 1, rounds);

    std::mt19937_64 random(32766);
    std::vector<int64_t> sizes(32766);
    for (int64_t& size : sizes) {
      size = static_cast<int64_t>(random() % 4096);
    }
    WriteArchive(dir / "many.grp", sizes);
    fs::copy_file(dir / "many.grp", dir / "copy.grp");
    Compare("32766 entries, copies", tool, dir / "many.grp", dir / "copy.grp", 0, rounds);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    fs::remove_all(dir);
    return 1;
  }
  fs::remove_all(dir);
  return 0;
}
