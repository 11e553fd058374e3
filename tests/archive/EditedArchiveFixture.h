#pragma once

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "ArchiveTestSupport.h"
#include "FaultyFileSystem.h"
#include "clsVarnGRP.h"
#include "clsVarnGRPTestAccess.h"

namespace halvarin::testing {

// An archive of five entries, loaded behind the fault-injecting file system,
// with entry 2 deleted and a file queued, beside a previous save target: the
// state in which a failing save or extraction has the most to lose. The
// checks say that nothing of it was lost.
class EditedArchiveFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteAll(dir / "a.grp", original);
    WriteAll(dir / "target.grp", "previous target");
    WriteAll(dir / "q.txt", "queued data");
    clsVarnGRPTestAccess::UseFileSystem(grp, faulty);
    ASSERT_TRUE(grp.LoadFile(dir / "a.grp"));
    grp.deleteFile(2);
    grp.addFile(dir / "q.txt");
    before = Snapshot(grp);
    names = dir.Names();
  }

  // Derived fixtures add the files they lay out themselves.
  virtual void ExpectFilesAsBefore() {
    EXPECT_EQ(ReadAll(dir / "a.grp"), original);
    EXPECT_EQ(ReadAll(dir / "target.grp"), "previous target");
    EXPECT_EQ(dir.Names(), names);
    EXPECT_EQ(faulty.OpenFiles(), 0);
  }

  void ExpectNothingChanged(int32_t error, int32_t expected) {
    EXPECT_EQ(error, expected);
    ExpectFilesAsBefore();
    EXPECT_EQ(Snapshot(grp), before);
  }

  // What a save of the edits must write.
  std::string SavedBytes() const {
    auto items = FiveItems();
    items.erase(items.begin() + 1);
    items.push_back({Padded("q.txt"), "queued data"});
    return ArchiveBytes(items);
  }

  TempDir dir;
  const std::string original = ArchiveBytes(FiveItems());
  FaultyFileSystem faulty;
  clsVarnGRP grp;
  std::vector<std::string> before;
  std::set<std::string> names;
};

}  // namespace halvarin::testing
