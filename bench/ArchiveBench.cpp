// Speed and memory of the archive model against the plainest way to do the
// same work on the same disk in the same run:
//   - LoadFile of a 32766-entry archive vs one read of its header and directory;
//   - rewriting a 1 GiB, 1024-entry archive after deleting one entry, and
//     extracting a 512 MiB entry, vs `cp` of as many bytes followed by an fsync
//     of the copy;
//   - peak resident memory of rewrites and extractions, also with a 900 MiB
//     entry, each measured in a fresh process of its own.
//
// Usage: archive_bench [--dir=FOLDER] [Google Benchmark options]
// The big files (about 2.5 GiB, plus up to 1 GiB of copies) go to a new
// folder inside FOLDER, or $HALVARIN_BENCH_DIR, or the system's temporary
// folder, and are deleted at the end.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "AppError.h"
#include "clsVarnGRP.h"

namespace {

namespace fs = std::filesystem;
using halvarin::clsVarnGRP;

constexpr int64_t kMiB = 1 << 20;

std::string Int32(int32_t value) {
  const auto v = static_cast<uint32_t>(value);
  return {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF),
          static_cast<char>((v >> 16) & 0xFF), static_cast<char>((v >> 24) & 0xFF)};
}

// Writes an archive whose entries have the given sizes, with varied content,
// without ever holding more than a few MiB.
void WriteArchive(const std::string& path, const std::vector<int64_t>& sizes) {
  std::string header = "Quorindavell" + Int32(static_cast<int32_t>(sizes.size()));
  for (std::size_t i = 0; i < sizes.size(); ++i) {
    std::string name = "e" + std::to_string(i) + ".dat";
    name.resize(12, ' ');
    header += name + Int32(static_cast<int32_t>(sizes[i]));
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(header.data(), static_cast<std::streamsize>(header.size()));
  std::string chunk(4 * kMiB, '\0');
  for (std::size_t i = 0; i < chunk.size(); ++i) {
    chunk[i] = static_cast<char>((i * 131 + i / 4096) & 0xFF);
  }
  int64_t total = 0;
  for (int64_t s : sizes) {
    total += s;
  }
  for (int64_t left = total; left > 0;) {
    const int64_t n = std::min<int64_t>(left, static_cast<int64_t>(chunk.size()));
    out.write(chunk.data(), static_cast<std::streamsize>(n));
    left -= n;
  }
  if (!out) {
    throw std::runtime_error("cannot write " + path);
  }
}

std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) {
    q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  }
  return q + "'";
}

std::string SelfPath() {
  return fs::read_symlink("/proc/self/exe").string();
}

// Runs a shell command, returns its output and the wall time it took.
double TimedRun(const std::string& command, std::string* output = nullptr) {
  const auto start = std::chrono::steady_clock::now();
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) {
    throw std::runtime_error("cannot run " + command);
  }
  std::string text;
  char buffer[256];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
    text += buffer;
  }
  const int status = ::pclose(pipe);
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  if (status != 0) {
    throw std::runtime_error("failed (" + std::to_string(status) + "): " + command + "\n" + text);
  }
  if (output != nullptr) {
    *output = text;
  }
  return took.count();
}

// Peak resident memory of this process so far, from the kernel's own count.
long PeakRssKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) {
      return std::stol(line.substr(6));
    }
  }
  return -1;
}

// The measured operation, run in a process of its own so that its peak
// memory is its own.
int ChildMain(int argc, char** argv) {
  const std::string op = argv[2];
  try {
    clsVarnGRP grp;
    if (op == "rewrite" && argc == 6) {
      grp.LoadFile(argv[3]);
      grp.deleteFile(static_cast<int16_t>(std::stoi(argv[4])));
      grp.saveFile(argv[5]);
    } else if (op == "extract" && argc == 6) {
      grp.LoadFile(argv[3]);
      grp.extractFile(static_cast<int16_t>(std::stoi(argv[4])), argv[5]);
    } else {
      std::fprintf(stderr, "unknown child operation\n");
      return 2;
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  std::printf("%ld\n", PeakRssKiB());
  return 0;
}

class Workspace {
 public:
  explicit Workspace(const fs::path& parent) {
    std::string pattern = (parent / "halvarin-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
      throw std::runtime_error("cannot make a folder in " + parent.string());
    }
    path_ = pattern;
  }
  ~Workspace() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }

 private:
  fs::path path_;
};

// Keeps each benchmark's time per iteration, in its own unit, and its peak
// memory, for the summary printed at the end.
class RecordingReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration) {
        continue;
      }
      // The best of the repetitions: the machine's other work only ever adds.
      const std::string& name = run.run_name.function_name;
      const double time = run.GetAdjustedRealTime();
      if (times.count(name) == 0 || time < times[name]) {
        times[name] = time;
      }
      auto ratio = run.counters.find("ratio");
      if (ratio != run.counters.end()) {
        ratios[name] = ratio->second.value;
      }
      auto rss = run.counters.find("peak_rss_MiB");
      if (rss != run.counters.end()) {
        peakRss[name] = std::max(peakRss[name], rss->second.value);
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> times;
  std::map<std::string, double> peakRss;
  std::map<std::string, double> ratios;
};

void PrintRatio(const RecordingReporter& r, const char* what, const std::string& ours,
                const std::string& baseline, double target) {
  const auto a = r.times.find(ours);
  const auto b = r.times.find(baseline);
  if (a == r.times.end() || b == r.times.end() || b->second <= 0) {
    std::printf("%-44s not measured\n", what);
    return;
  }
  const double ratio = a->second / b->second;
  std::printf("%-44s %6.2fx  (target <= %.1fx) %s\n", what, ratio, target,
              ratio <= target ? "ok" : "OVER");
}

void PrintPairRatio(const RecordingReporter& r, const char* what, const std::string& name,
                    double target) {
  const auto found = r.ratios.find(name);
  if (found == r.ratios.end()) {
    std::printf("%-44s not measured\n", what);
    return;
  }
  std::printf("%-44s %6.2fx  (target <= %.1fx) %s\n", what, found->second, target,
              found->second <= target ? "ok" : "OVER");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 2 && std::strcmp(argv[1], "--child") == 0) {
    return ChildMain(argc, argv);
  }

  fs::path parent = fs::temp_directory_path();
  if (const char* env = std::getenv("HALVARIN_BENCH_DIR"); env != nullptr && *env != '\0') {
    parent = env;
  }
  std::vector<char*> args;
  for (int i = 0; i < argc; ++i) {
    if (std::strncmp(argv[i], "--dir=", 6) == 0) {
      parent = argv[i] + 6;
    } else {
      args.push_back(argv[i]);
    }
  }
  int count = static_cast<int>(args.size());
  benchmark::Initialize(&count, args.data());

  Workspace work(parent);
  const std::string self = Quote(SelfPath());
  const std::string load = work / "load.grp";
  const std::string gib = work / "gib.grp";
  const std::string half = work / "half.grp";
  const std::string huge = work / "huge.grp";
  const std::string copy = work / "copy.out";

  std::fprintf(stderr, "Writing the test archives in %s ...\n", (work / "").c_str());
  WriteArchive(load, std::vector<int64_t>(32766, 16));
  WriteArchive(gib, std::vector<int64_t>(1024, kMiB));
  WriteArchive(half, {512 * kMiB});
  WriteArchive(huge, {kMiB, 900 * kMiB, kMiB});
  ::sync();  // nothing of the setup may be flushed inside a measurement

  const int64_t directoryBytes = 16 + 16 * 32766;
  benchmark::RegisterBenchmark("LoadFile/32766",
                               [&](benchmark::State& state) {
                                 for (auto _ : state) {
                                   clsVarnGRP grp;
                                   benchmark::DoNotOptimize(grp.LoadFile(load));
                                 }
                               })
      ->Unit(benchmark::kMicrosecond)
      ->Repetitions(3);
  benchmark::RegisterBenchmark("PlainRead/32766",
                               [&](benchmark::State& state) {
                                 std::vector<char> buffer(static_cast<std::size_t>(directoryBytes));
                                 for (auto _ : state) {
                                   const int fd = ::open(load.c_str(), O_RDONLY | O_CLOEXEC);
                                   ssize_t done = 0;
                                   while (done < directoryBytes) {
                                     const ssize_t n =
                                         ::read(fd, buffer.data() + done, buffer.size() - done);
                                     if (n <= 0) {
                                       break;
                                     }
                                     done += n;
                                   }
                                   ::close(fd);
                                   benchmark::DoNotOptimize(buffer.data());
                                 }
                               })
      ->Unit(benchmark::kMicrosecond)
      ->Repetitions(3);

  // Every operation runs in a child process; its time includes starting
  // that process, for the archive code as for cp. The two sides of a pair
  // alternate (A B B A A B) and the best round of each counts, so that the
  // disk's mood and the clean-up of the previous copy weigh on both alike.
  const auto run = [&](const std::string& command, double& best, double& peak) {
    std::string out;
    best = std::min(best, TimedRun(command, &out) * 1000.0);
    if (!out.empty()) {
      peak = std::max(peak, std::stod(out) / 1024.0);
    }
    fs::remove(copy);
    ::sync();  // the deletion's own disk work must not land in the next round
  };
  const auto pair = [&](const std::string& name, std::string ours, std::string baseline) {
    benchmark::RegisterBenchmark(name.c_str(),
                                 [=](benchmark::State& state) {
                                   double best = 1e300, bestBaseline = 1e300, peak = 0, unused = 0;
                                   for (auto _ : state) {
                                     try {
                                       for (int round = 0; round < 6; ++round) {
                                         if (baseline.empty() || round % 4 == 0 || round % 4 == 3) {
                                           run(ours, best, peak);
                                         } else {
                                           run(baseline, bestBaseline, unused);
                                         }
                                       }
                                     } catch (const std::exception& e) {
                                       state.SkipWithError(e.what());
                                       break;
                                     }
                                     state.SetIterationTime(best / 1000.0);
                                   }
                                   if (!baseline.empty()) {
                                     state.counters["cp_fsync_ms"] = bestBaseline;
                                     state.counters["ratio"] = best / bestBaseline;
                                   }
                                   state.counters["peak_rss_MiB"] = peak;
                                 })
        ->UseManualTime()
        ->Iterations(1)
        ->Unit(benchmark::kMillisecond);
  };
  const auto baseline = [&](const std::string& from) {
    return "cp " + Quote(from) + " " + Quote(copy) + " && sync " + Quote(copy);
  };
  pair("Rewrite/1GiB", self + " --child rewrite " + Quote(gib) + " 512 " + Quote(copy),
       baseline(gib));
  pair("Extract/512MiB", self + " --child extract " + Quote(half) + " 1 " + Quote(copy),
       baseline(half));
  pair("Rewrite/900MiBEntry", self + " --child rewrite " + Quote(huge) + " 1 " + Quote(copy), "");
  pair("Extract/900MiBEntry", self + " --child extract " + Quote(huge) + " 2 " + Quote(copy), "");

  RecordingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  std::printf("\n");
  PrintRatio(reporter, "LoadFile 32766 entries / plain read", "LoadFile/32766", "PlainRead/32766",
             3.0);
  PrintPairRatio(reporter, "Rewrite 1 GiB minus one entry / cp+fsync", "Rewrite/1GiB", 1.3);
  PrintPairRatio(reporter, "Extract 512 MiB entry / cp+fsync", "Extract/512MiB", 1.3);
  double peak = 0;
  for (const auto& [name, mib] : reporter.peakRss) {
    std::printf("%-44s %6.1f MiB\n", ("Peak RSS " + name).c_str(), mib);
    peak = std::max(peak, mib);
  }
  if (!reporter.peakRss.empty()) {
    std::printf("%-44s %6.1f MiB (target < 64 MiB) %s\n", "Peak RSS, largest", peak,
                peak < 64 ? "ok" : "OVER");
  }
  return 0;
}
