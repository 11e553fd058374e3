#pragma once

// Archives with the magic but a layout that cannot hold: each kind of damage
// once, with the error loading must raise, words its reason must contain, how
// many errors the checker finds and the entries a salvage keeps. The loader,
// the checker, the salvage and the command line are all run against this one
// list.

#include <string>
#include <vector>

#include "AppError.h"
#include "ArchiveBytes.h"

namespace halvarin::testing {

struct DamagedArchive {
  const char* What;
  int32_t Number;
  int Errors;
  std::string Bytes;
  std::vector<std::string> Mentions;
  // Those before the first fault and wholly in the file: nothing after a
  // fault can be placed.
  std::vector<Item> Kept = {};
};

inline std::vector<DamagedArchive> DamagedArchives() {
  const std::string head = "Quorindavell", pic = Padded("pic.art");
  const std::string cut = head + Int32(2) + pic + Int32(0) + pic + Int32(0).substr(1);
  const std::string data =
      head + Int32(2) + pic + Int32(3) + Padded("snd.voc") + Int32(10) + "abc9 bytes!!";
  const std::string two = head + Int32(3) + Padded("a.art") + Int32(-1) + Padded("b.map") +
                          Int32(4) + Padded("c.voc") + Int32(9) + "bbbbccc";
  const std::string huge = head + Int32(2) + pic + Int32(0x7FFFFFF0) + pic + Int32(0x7FFFFFF0);
  const std::string late = head + Int32(4) + Padded("a.art") + Int32(2) + Padded("e.dat") +
                           Int32(0) + pic + Int32(0x7FFFFFF0) + pic + Int32(5) + "aa";
  // A count past the file while two records and their data fill it exactly.
  const std::string miscounted =
      head + Int32(5) + Padded("a.art") + Int32(2) + Padded("e.dat") + Int32(0) + "aa";
  const int32_t access = errPathFileAccess;
  const std::vector<std::string> dataCut = {"entry 2", "snd.voc", "10 bytes", "position 52",
                                            "ends after 60 bytes"};
  return {
      {"header cut", access, 1, head + Int32(1).substr(0, 2), {"ends after 14 bytes", "header"}},
      {"negative count", errSubscriptOutOfRange, 1, head + Int32(-1), {"negative", "-1"}},
      {"too many entries", errOverflow, 1, head + Int32(32767), {"32767", "32766"}},
      {"directory cut", access, 1, cut, {"directory", "48", "ends after 47"}},
      {"count past the file",
       access,
       1,
       miscounted,
       {"directory", "96", "ends after 50"},
       {{Padded("a.art"), "aa"}, {Padded("e.dat"), ""}}},
      {"negative size", access, 1, head + Int32(1) + pic + Int32(-5), {"entry 1", "pic.art", "-5"}},
      {"data cut", access, 1, data, dataCut, {{pic, "abc"}}},
      {"positions past 2^31", errOverflow, 1, huge, {"entry 1", "2147483647"}},
      {"past 2^31 after whole entries",
       errOverflow,
       1,
       late,
       {"entry 3", "position 83"},
       {{Padded("a.art"), "aa"}, {Padded("e.dat"), ""}}},
      {"two faults", access, 2, two, {"entry 1", "a.art", "-1"}},
  };
}

}  // namespace halvarin::testing
