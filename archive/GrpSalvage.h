#pragma once

// What a damaged group archive still holds: the entries at the start of its
// directory that lie wholly in the file, up to the first fault the checker
// finds. Every position after a fault depends on the faulty record, so
// nothing after it can be placed, however sound it looks.

#include <cstdint>
#include <string>
#include <vector>

#include "GrpCheck.h"

namespace halvarin::grp {

// An entry that cannot be recovered although its record is in the file.
struct LostEntry {
  int32_t Index = 0;
  std::string Name;  // 12 bytes as stored
  int32_t Size = 0;
};

struct Salvage {
  // Check.Whole entries can be recovered; Check.FirstError says why the
  // others cannot.
  CheckResult Check;
  // False when the file ends inside the header or the count is negative:
  // how many entries it held is then unknown.
  bool CountKnown = false;
  // The entries after the whole ones whose records are in the file, in order.
  std::vector<LostEntry> Lost;
  // Entries the count claims beyond those: their records are not there.
  int64_t Unnamed = 0;
  // Bytes after the last entry's data, belonging to no entry (a sound
  // archive only: elsewhere where the data ends is unknown).
  int64_t Trailing = 0;
};

// `bytes`: the first `have` bytes of a file of `fileSize` bytes, as
// CheckLayout takes them.
Salvage PlanSalvage(const char* bytes, int64_t have, int64_t fileSize);

}  // namespace halvarin::grp
