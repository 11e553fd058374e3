#pragma once

// Archives with the magic but a layout that cannot hold: each kind of damage
// once, with the error loading must raise, words its reason must contain and
// how many errors the checker finds. The loader, the checker and the command
// line are all run against this one list.

#include <string>
#include <vector>

#include "AppError.h"
#include "ArchiveBytes.h"

namespace halvarin::testing {

struct DamagedArchive {
  const char* What;
  std::string Bytes;
  int32_t Number;
  std::vector<std::string> Mentions;
  int Errors;
};

inline std::vector<DamagedArchive> DamagedArchives() {
  const std::string head = "Quorindavell", pic = Padded("pic.art");
  std::string two = head + Int32(3) + Padded("a.art") + Int32(-1) + Padded("b.map") + Int32(4) +
                    Padded("c.voc") + Int32(9) + "bbbbccc";
  return {
      {"header cut",
       head + std::string("\x01\x00", 2),
       errPathFileAccess,
       {"ends after 14 bytes", "header"},
       1},
      {"negative count", head + Int32(-1), errSubscriptOutOfRange, {"negative", "-1"}, 1},
      {"too many entries", head + Int32(32767), errOverflow, {"32767", "32766"}, 1},
      {"directory cut",
       head + Int32(2) + pic + Int32(0) + pic + Int32(0).substr(1),
       errPathFileAccess,
       {"directory", "48", "ends after 47"},
       1},
      {"negative size",
       head + Int32(1) + pic + Int32(-5),
       errPathFileAccess,
       {"entry 1", "pic.art", "-5"},
       1},
      {"data cut",
       head + Int32(2) + pic + Int32(3) + Padded("snd.voc") + Int32(10) + "abc9 bytes!!",
       errPathFileAccess,
       {"entry 2", "snd.voc", "10 bytes", "position 52", "ends after 60 bytes"},
       1},
      {"positions past 2^31",
       head + Int32(2) + pic + Int32(0x7FFFFFF0) + pic + Int32(0x7FFFFFF0),
       errOverflow,
       {"entry 1", "2147483647"},
       1},
      {"two faults", two, errPathFileAccess, {"entry 1", "a.art", "-1"}, 2},
  };
}

}  // namespace halvarin::testing
