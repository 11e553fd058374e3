// halvarin-grp against tar, on the same files on the same disk, in one run:
//   - listing a 32766-entry archive vs `tar -tf` of the same files;
//   - extracting every entry of a 1 GiB, 4096-entry archive vs `tar -xf`.
// Both programs run as processes of their own with output to /dev/null,
// alternately, each into a fresh folder; the medians are compared. Extraction
// by halvarin-grp ends with its data flushed to disk and tar's does not, so
// tar followed by `sync` is reported beside plain tar.
//
// Usage: cli_vs_tar_bench PATH-TO-halvarin-grp [FOLDER] [ROUNDS]
// About 2.3 GiB of files go to a new folder inside FOLDER (or
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

#include "AppError.h"
#include "clsVarnGRP.h"

#include "RunProcess.h"

namespace {

namespace fs = std::filesystem;

using RunResult = halvarin::bench::ProcessRun;

RunResult Run(const std::vector<std::string>& args) {
  return halvarin::bench::RunProcess(args);
}

void SyncAll() {
  Run({"sync"});
}

// Files of random sizes and content named like a game's; their archive
// built with the model, their tar with tar.
void MakeFiles(const fs::path& folder, int count, int64_t minSize, int64_t maxSize,
               const fs::path& grp, const fs::path& tar) {
  fs::create_directories(folder);
  std::mt19937_64 random(static_cast<uint64_t>(count));
  std::uniform_int_distribution<int64_t> size(minSize, maxSize);
  std::string data(static_cast<std::size_t>(maxSize) + 4096, '\0');
  for (char& c : data) {
    c = static_cast<char>(random());
  }
  halvarin::clsVarnGRP archive;
  for (int i = 0; i < count; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "F%07d.DAT", i);
    const fs::path path = folder / name;
    std::ofstream out(path, std::ios::binary);
    out.write(data.data() + (i % 4096), static_cast<std::streamsize>(size(random)));
    out.close();
    archive.addFile(path.string());
  }
  archive.saveFile(grp.string());
  Run({"tar", "-cf", tar.string(), "-C", folder.string(), "."});
}

}  // namespace

int main(int argc, char** argv) {
  const auto args = halvarin::bench::ReadBenchArguments(argc, argv, "halvarin-cli-bench-", 5);
  if (!args) {
    return 2;
  }
  const std::string& tool = args->Tool;
  const fs::path& dir = args->Work;
  const int rounds = args->Rounds;
  try {
    fs::create_directories(dir);
    std::printf("files in %s\n", dir.c_str());
    MakeFiles(dir / "small", 32766, 0, 2048, dir / "small.grp", dir / "small.tar");
    MakeFiles(dir / "big", 4096, 1024, 511 * 1024, dir / "big.grp", dir / "big.tar");
    fs::remove_all(dir / "small");
    fs::remove_all(dir / "big");
    std::printf("big.grp: %.0f MiB; small.tar %.0f MiB, big.tar %.0f MiB\n",
                static_cast<double>(fs::file_size(dir / "big.grp")) / (1 << 20),
                static_cast<double>(fs::file_size(dir / "small.tar")) / (1 << 20),
                static_cast<double>(fs::file_size(dir / "big.tar")) / (1 << 20));
    SyncAll();

    // Warm both archives into the page cache: the comparison is of the
    // programs, not of whichever archive happened to be read first.
    Run({"cat", (dir / "small.grp").string(), (dir / "small.tar").string(),
         (dir / "big.grp").string(), (dir / "big.tar").string()});

    std::vector<double> listGrp, listTar, extractGrp, extractTar, tarSync;
    long peakList = 0, peakExtract = 0;
    for (int round = 0; round < 2 * rounds; ++round) {
      const bool grpFirst = round % 2 == 0;
      for (int turn = 0; turn < 2; ++turn) {
        if ((turn == 0) == grpFirst) {
          const RunResult r = Run({tool, "list", (dir / "small.grp").string()});
          listGrp.push_back(r.Seconds);
          peakList = std::max(peakList, r.PeakKiB);
        } else {
          listTar.push_back(Run({"tar", "-tf", (dir / "small.tar").string()}).Seconds);
        }
      }
    }
    for (int round = 0; round < rounds; ++round) {
      const bool grpFirst = round % 2 == 0;
      for (int turn = 0; turn < 2; ++turn) {
        const fs::path out = dir / "out";
        fs::remove_all(out);
        fs::create_directories(out);
        SyncAll();  // nobody pays for the last run's write-back
        if ((turn == 0) == grpFirst) {
          const RunResult r =
              Run({tool, "extract", (dir / "big.grp").string(), "-C", out.string()});
          extractGrp.push_back(r.Seconds);
          peakExtract = std::max(peakExtract, r.PeakKiB);
        } else {
          const RunResult r = Run({"tar", "-xf", (dir / "big.tar").string(), "-C", out.string()});
          const auto start = std::chrono::steady_clock::now();
          SyncAll();
          const double flush =
              std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
          extractTar.push_back(r.Seconds);
          tarSync.push_back(r.Seconds + flush);
        }
      }
    }
    fs::remove_all(dir);

    const double lg = halvarin::bench::Median(listGrp), lt = halvarin::bench::Median(listTar);
    const double eg = halvarin::bench::Median(extractGrp), et = halvarin::bench::Median(extractTar),
                 es = halvarin::bench::Median(tarSync);
    std::printf("\n%-44s %10s %10s %7s\n", "median of runs", "grp", "tar", "ratio");
    std::printf("%-44s %8.1f ms %7.1f ms %6.2fx\n", "list 32766 entries", lg * 1e3, lt * 1e3,
                lg / lt);
    std::printf("%-44s %8.1f ms %7.1f ms %6.2fx\n", "extract 1 GiB, 4096 entries", eg * 1e3,
                et * 1e3, eg / et);
    std::printf("%-44s %8.1f ms %7.1f ms %6.2fx\n", "extract 1 GiB vs tar followed by sync",
                eg * 1e3, es * 1e3, eg / es);
    std::printf("peak RSS of halvarin-grp: list %ld KiB, extract %ld KiB\n", peakList, peakExtract);
    return 0;
  } catch (const halvarin::AppError& e) {
    std::fprintf(stderr, "%s\n", e.Description().c_str());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
  }
  fs::remove_all(dir);
  return 1;
}
