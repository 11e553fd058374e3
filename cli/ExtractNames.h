#pragma once

#include <string>
#include <vector>

namespace halvarin::cli {

// File names for entries extracted together, made safe as the window's
// Extract makes them (`names` are stored names, Windows-1252). Names that
// would land on the same file, also where a file system ignores case, get
// "~2", "~3" ... before their extension, so that no entry overwrites
// another. The result is UTF-8, one name per input name, in order.
std::vector<std::string> DistinctFileNames(const std::vector<std::string>& names);

}  // namespace halvarin::cli
