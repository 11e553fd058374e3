// Saves and extractions cancelled from their progress reports, at every
// report in turn: each must fail like any failure, leaving no temporary file
// and every byte on disk and every detail of the object as before.

#include <gtest/gtest.h>

#include <map>

#include "ArchiveBytes.h"
#include "ArchiveChecks.h"
#include "TempDir.h"

namespace halvarin::testing {
namespace {

TEST(CancelTest, CancellingAtAnyReportLeavesEverythingAsItWas) {
  TempDir dir;
  const std::map<std::string, std::function<void(clsVarnGRP&)>> operations = {
      {"save in place", [](clsVarnGRP& grp) { grp.saveFile(""); }},
      {"save as", [&](clsVarnGRP& grp) { grp.saveFile(dir / "old.grp"); }},
      {"extract", [&](clsVarnGRP& grp) { grp.extractFile(1, dir / "x"); }},
      {"extract into a folder", [&](clsVarnGRP& grp) { grp.extractFiles({{1, dir / "x"}, {2, dir / "new"}}); }}};
  for (const auto& [name, operation] : operations) {
    // Written afresh for each: the one before ended with a complete run.
    // Two pieces of copying, the queued file, then the flush.
    WriteAll(dir / "a.grp", ArchiveBytes({{Padded("BIG.ART"), Content(1, (4 << 20) + 5)}, {Padded("S.MAP"), "map"}}));
    WriteAll(dir / "old.grp", "an older archive");
    WriteAll(dir / "x", "an older x");
    WriteAll(dir / "q.voc", "queued");
    const auto before = dir.Tree();
    // Cancelled at report 1, 2, ... until the operation ends before that.
    for (int cancelAt = 1;; ++cancelAt) {
      SCOPED_TRACE(name + " cancelled at report " + std::to_string(cancelAt));
      clsVarnGRP grp;
      ASSERT_TRUE(grp.LoadFile(dir / "a.grp"));
      grp.addFile(dir / "q.voc");
      const auto snapshot = Snapshot(grp);
      int seen = 0;
      int64_t lastDone = -1, lastTotal = 0;
      grp.SetProgressHandler([&](int64_t done, int64_t total) {
        EXPECT_GE(done, lastDone);
        lastDone = done;
        lastTotal = total;
        return ++seen < cancelAt;
      });
      const int32_t error = ErrorOf([&] { operation(grp); });
      if (seen < cancelAt) {
        EXPECT_EQ(error, 0);
        EXPECT_EQ(lastDone, lastTotal);  // the last report says all is done
        EXPECT_GE(cancelAt, 4);
        break;
      }
      EXPECT_EQ(error, errDialogCancelled);
      EXPECT_TRUE(dir.Tree() == before);
      EXPECT_EQ(Snapshot(grp), snapshot);
    }
  }
}

}  // namespace
}  // namespace halvarin::testing
