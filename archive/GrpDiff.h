#pragma once

// What changed from one group archive to another. Entries are matched by
// name as the command line matches names (up to their padding, the letters
// A to Z in either case); of a name held by several entries, the n-th in
// one archive goes with the n-th in the other. Matched entries of equal size
// are compared byte for byte through two fixed buffers, so that archives of
// any size take the same little memory; entries that lie back to back in
// both files, as in two copies, are read as one.

#include <cstdint>
#include <string>
#include <vector>

#include "clsVarnGRP.h"

namespace halvarin {

struct EntryChange {
  enum Kind : char { Added = '+', Removed = '-', Changed = '~' };
  Kind What = Changed;
  // As stored, 12 bytes: the new archive's name, the old one's for a
  // removed entry.
  std::string Name;
  int16_t OldIndex = 0;  // 0 for an added entry
  int16_t NewIndex = 0;  // 0 for a removed entry
  int32_t OldSize = 0;
  int32_t NewSize = 0;
  bool operator==(const EntryChange&) const = default;
};

// The loaded entries of both: removed and changed ones in the old archive's
// order, then the added ones in the new archive's. Empty when the two hold
// the same. Throws AppError when either file cannot be read, or no longer
// holds what was loaded. Tests give buffers of a few bytes, so that small
// archives cross many of them.
std::vector<EntryChange> CompareArchives(clsVarnGRP& older, clsVarnGRP& newer,
                                         int64_t bufferBytes = int64_t{1} << 20);

}  // namespace halvarin
