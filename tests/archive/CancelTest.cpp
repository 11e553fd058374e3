// Saves and extractions cancelled from their progress reports, at every
// report in turn: each must fail like any failure, leaving no temporary file
// and every byte on disk and every detail of the object as before.

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>

#include "ArchiveTestSupport.h"
#include "clsVarnGRP.h"

namespace halvarin::testing {
namespace {

std::map<std::string, std::string> Files(const TempDir& dir) {
  std::map<std::string, std::string> files;
  for (const std::string& name : dir.Names())
    files[name] = ReadAll(dir / name);
  return files;
}

TEST(CancelTest, CancellingAtAnyReportLeavesEverythingAsItWas) {
  using Operation = std::function<void(clsVarnGRP&, const TempDir&)>;
  const std::map<std::string, Operation> operations = {
      {"save in place", [](clsVarnGRP& grp, const TempDir&) { grp.saveFile(""); }},
      {"save as", [](clsVarnGRP& grp, const TempDir& dir) { grp.saveFile(dir / "old.grp"); }},
      {"extract", [](clsVarnGRP& grp, const TempDir& dir) { grp.extractFile(1, dir / "x"); }},
      {"extract into a folder",
       [](clsVarnGRP& grp, const TempDir& dir) {
         grp.extractFiles({{1, dir / "x"}, {2, dir / "new"}});
       }},
  };
  // Several pieces of copying, then the flush: reports at the first piece,
  // in the middle and once everything is written.
  const std::string big = Content(1, (4 << 20) + 5);
  for (const auto& entry : operations) {
    const std::string& what = entry.first;
    const Operation& operation = entry.second;
    TempDir dir;
    WriteAll(dir / "a.grp", ArchiveBytes({{Padded("BIG.ART"), big}, {Padded("S.MAP"), "map"}}));
    WriteAll(dir / "old.grp", "an older archive");
    WriteAll(dir / "x", "an older x");
    WriteAll(dir / "q.voc", "queued");
    const auto prepare = [&](clsVarnGRP& grp) {
      ASSERT_TRUE(grp.LoadFile(dir / "a.grp"));
      grp.addFile(dir / "q.voc");
    };
    int reports = 0;
    {
      TempDir spare;  // a dry run on a copy, to count the reports
      for (const std::string& name : dir.Names())
        WriteAll(spare / name, ReadAll(dir / name));
      clsVarnGRP grp;
      ASSERT_TRUE(grp.LoadFile(spare / "a.grp"));
      grp.addFile(spare / "q.voc");
      int64_t last = -1, lastTotal = 0;
      grp.SetProgressHandler([&](int64_t done, int64_t total) {
        EXPECT_GE(done, last);
        last = done;
        lastTotal = total;
        return ++reports > 0;
      });
      operation(grp, spare);
      EXPECT_EQ(last, lastTotal) << what;
    }
    ASSERT_GE(reports, 3) << what;

    const auto before = Files(dir);
    for (int cancelAt = 1; cancelAt <= reports; ++cancelAt) {
      SCOPED_TRACE(what + " cancelled at report " + std::to_string(cancelAt));
      clsVarnGRP grp;
      prepare(grp);
      const auto snapshot = Snapshot(grp);
      int seen = 0;
      grp.SetProgressHandler([&](int64_t, int64_t) { return ++seen < cancelAt; });
      EXPECT_EQ(ErrorOf([&] { operation(grp, dir); }), errDialogCancelled);
      EXPECT_EQ(seen, cancelAt);
      EXPECT_EQ(Files(dir), before);
      EXPECT_EQ(Snapshot(grp), snapshot);
      // The edits are still there to be saved.
      grp.SetProgressHandler(nullptr);
      if (cancelAt == reports) {
        grp.saveFile(dir / "later.grp");
        EXPECT_EQ(grp.NumberOfFiles(), 3);
      }
    }
  }
}

}  // namespace
}  // namespace halvarin::testing
