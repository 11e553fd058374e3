#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "clsVarnGRP.h"

namespace halvarin::cli {

// Entries named on the command line. An operand of digits only is an index;
// anything else is a name, compared with the stored names up to their
// padding, the letters A to Z in either case.

// Every entry each operand names, in index order, each once; a name may name
// several entries. Throws AppError for an index out of range or a name that
// names nothing.
std::vector<int16_t> SelectEntries(const clsVarnGRP& archive,
                                   const std::vector<std::string>& operands);

// As SelectEntries, but a name must name exactly one entry: deleting by a
// name that several entries share would be a guess.
std::vector<int16_t> SelectEntriesOnce(const clsVarnGRP& archive,
                                       const std::vector<std::string>& operands);

}  // namespace halvarin::cli
