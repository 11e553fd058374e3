#pragma once

// What a damaged group archive still holds: the entries at the start of its
// directory that lie wholly in the file, up to the first fault the checker
// finds. Every position after a fault depends on the faulty record, so
// nothing after it can be placed, however sound it looks.
//
// One fault is told apart: a count that puts the directory past the end of
// the file (or is negative, or beyond what an archive holds) while the
// records and data are whole, as a tool that miscounts writes it. The
// largest smaller count whose records and data fill the file exactly is
// taken then, since any other count would move every entry's data.

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
  // Check.FirstError says why the archive does not load.
  CheckResult Check;
  // How many entries can be recovered (the first ones of the directory), and
  // the entry count their positions follow from: the stored one, or the one
  // that fills the file exactly where the stored one cannot be right.
  int32_t Whole = 0;
  int32_t Records = 0;
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
