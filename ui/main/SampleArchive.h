#pragma once

#include <string>
#include <vector>

namespace halvarin {

// A group archive written directly in its file format, for the sample that
// ships beside the program, the tests and the benchmarks.
struct ArchiveEntry {
  std::string Name;  // at most 12 bytes; padded with spaces when written
  std::string Data;
};

// Writes magic, count, directory and data; throws AppError when the file
// cannot be written or an entry does not fit the format.
void WriteGroupArchive(const std::string& path, const std::vector<ArchiveEntry>& entries);

// The sample: one small entry for each kind of icon.
std::vector<ArchiveEntry> SampleEntries();

}  // namespace halvarin
