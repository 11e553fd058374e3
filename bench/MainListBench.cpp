// The main window's list with the most entries an archive can hold, on the
// real Qt window (offscreen unless a platform is chosen): refilling it, and
// painting one screenful while scrolled halfway down.

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <QApplication>
#include <QScrollBar>
#include <QtGlobal>

#include "QtFormWindow.h"
#include "QtToolkit.h"
#include "SampleArchive.h"
#include "frmMain.h"

namespace {

using namespace halvarin;

constexpr int kEntries = 32766;

struct Fixture {
  Fixture() : form(tk) {
    const char* extensions[] = {"MAP", "ART", "VOC", "MID", "ANM", "DMO", "CFG", "TXT"};
    std::vector<ArchiveEntry> entries;
    for (int i = 0; i < kEntries; ++i) {
      char name[16];
      std::snprintf(name, sizeof name, "E%05d.%s", i, extensions[i % 8]);
      entries.push_back({name, "x"});
    }
    path = (std::filesystem::temp_directory_path() / "halvarin-list-bench.grp").string();
    WriteGroupArchive(path, entries);
    tk.RegisterWindow("frmMain", [this](QtToolkit& toolkit) {
      return std::make_unique<QtFormWindow>(toolkit, frmMain::Definition(), &form);
    });
    tk.Show("frmMain");
    window = qobject_cast<QtFormWindow*>(tk.Window("frmMain"));
    list = qobject_cast<QtListView*>(window->Control("ListView1"));
    form.OpenArchive(path);
  }
  ~Fixture() { std::filesystem::remove(path); }

  QtToolkit tk;
  frmMain form;
  std::string path;
  QtFormWindow* window = nullptr;
  QtListView* list = nullptr;
};

// Made on first use and ended by main while the application still exists:
// widgets must not outlive it.
std::unique_ptr<Fixture> shared;

Fixture& Shared() {
  if (!shared) {
    shared = std::make_unique<Fixture>();
  }
  return *shared;
}

// Clearing the list, appending every entry with its icon, and laying out.
void BM_RefreshList(benchmark::State& state) {
  Fixture& f = Shared();
  for (auto _ : state) {
    f.form.RefreshList();
    f.list->doItemsLayout();
    QCoreApplication::processEvents();
  }
  if (f.list->count() != kEntries) {
    state.SkipWithError("the list does not hold every entry");
  }
  state.counters["items"] = f.list->count();
}
BENCHMARK(BM_RefreshList)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// One frame of scrolling: painting the visible part of the full list.
void BM_PaintScrolled(benchmark::State& state) {
  Fixture& f = Shared();
  if (f.list->count() != kEntries) {
    f.form.RefreshList();
  }
  f.list->doItemsLayout();
  QScrollBar* bar = f.list->verticalScrollBar();
  int step = 0;
  for (auto _ : state) {
    bar->setValue(bar->maximum() / 2 + (step++ % 10) * bar->singleStep());
    benchmark::DoNotOptimize(f.list->viewport()->grab());
  }
}
BENCHMARK(BM_PaintScrolled)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  shared.reset();
  return 0;
}
