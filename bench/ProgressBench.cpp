// What the progress window costs a save: rewriting a 1 GiB, 256-entry
// archive plainly (no progress handler, each run of entries copied in one
// go) against the same save run as the main window runs it, through
// QtToolkit::RunWithProgress: copied in pieces with a report after each, on
// a worker thread, the progress window shown after half a second and
// updated while it runs. Headless (offscreen). The two alternate, the
// medians are compared; the target is at most 2 % apart.
//
// Usage: progress_bench [FOLDER] [ROUNDS]
// About 2 GiB of files go to a new folder inside FOLDER (or
// $HALVARIN_BENCH_DIR, or the system's temporary folder) and are deleted at
// the end.

#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <QApplication>

#include "QtToolkit.h"
#include "SampleArchive.h"
#include "clsVarnGRP.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main(int argc, char* argv[]) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QApplication app(argc, argv);
  const char* env = std::getenv("HALVARIN_BENCH_DIR");
  const fs::path base = argc > 1 ? fs::path(argv[1])
                        : env    ? fs::path(env)
                                 : fs::temp_directory_path();
  const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 7;
  std::string pattern = (base / "progressbenchXXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    std::perror("mkdtemp");
    return 1;
  }
  const fs::path dir = pattern;

  std::vector<halvarin::ArchiveEntry> entries;
  std::string data(4 << 20, '\0');
  for (int i = 0; i < 256; ++i) {
    for (std::size_t k = 0; k < data.size(); k += 4096) {
      data[k] = static_cast<char>(i + k / 4096);
    }
    entries.push_back({"e" + std::to_string(i) + ".dat", data});
  }
  const std::string first = (dir / "a.grp").string();
  halvarin::WriteGroupArchive(first, entries);
  entries.clear();

  halvarin::QtToolkit toolkit;
  halvarin::clsVarnGRP archive;
  archive.LoadFile(first);
  // Each save reads the file the previous one wrote and writes the other.
  int flip = 0;
  const auto target = [&] { return (dir / (++flip % 2 != 0 ? "b.grp" : "a.grp")).string(); };
  // Wall time, and the processor time of all our threads: on a busy machine
  // the second tells what the window itself costs, apart from the waiting.
  double cpu = 0;
  const auto timed = [&cpu](const auto& save) {
    const auto start = Clock::now();
    const std::clock_t cpuStart = std::clock();
    save();
    cpu = 1000.0 * static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  };
  const auto savePlain = [&] { return timed([&] { archive.saveFile(target()); }); };
  const auto saveInWindow = [&] {
    return timed([&] {
      const std::string path = target();
      toolkit.RunWithProgress("a.grp", [&](const halvarin::Toolkit::ProgressReport& report) {
        archive.SetProgressHandler(report);
        archive.saveFile(path);
        archive.SetProgressHandler(nullptr);
      });
    });
  };
  std::vector<double> plain, window, ratios, plainCpu, windowCpu;
  const auto runPlain = [&] {
    plain.push_back(savePlain());
    plainCpu.push_back(cpu);
  };
  const auto runInWindow = [&] {
    window.push_back(saveInWindow());
    windowCpu.push_back(cpu);
  };
  for (int round = 0; round < rounds; ++round) {
    // Which goes first alternates, so that a drifting disk favours neither.
    if (round % 2 == 0) {
      runPlain();
      runInWindow();
    } else {
      runInWindow();
      runPlain();
    }
    ratios.push_back(window.back() / plain.back());
    std::printf(
        "round %d: plain %.0f ms (processor %.0f ms), with the progress window %.0f ms "
        "(processor %.0f ms)\n",
        round + 1, plain.back(), plainCpu.back(), window.back(), windowCpu.back());
    std::fflush(stdout);
  }
  const double a = Median(plain), b = Median(window);
  const double ac = Median(plainCpu), bc = Median(windowCpu);
  std::printf(
      "medians: plain %.0f ms, with the progress window %.0f ms: %+.1f %%; "
      "median of the rounds' ratios %+.1f %%\n"
      "processor time: plain %.0f ms, with the progress window %.0f ms: %+.1f %%\n",
      a, b, (b / a - 1) * 100, (Median(ratios) - 1) * 100, ac, bc, (bc / ac - 1) * 100);
  fs::remove_all(dir);
  return 0;
}
