#pragma once

// Everything that can be wrong with a group archive's layout, found without
// reading the entries' data. Loading stops at the first error; the checker
// goes on and reports all of them, plus what is odd but harmless. The two
// cannot disagree: loading uses the checker's verdict to say why it fails.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "FileSystem.h"

namespace halvarin::grp {

struct Finding {
  // An error makes the archive fail to load; a warning does not.
  bool IsError = false;
  // For an error, the number loading throws it with.
  int32_t Number = 0;
  // A sentence about the archive, without its name ("its entry count ...",
  // "entry 7 (...) ...").
  std::string Text;
};

struct CheckResult {
  // False when the file does not even start like a group archive; loading
  // then reports false instead of throwing.
  bool IsArchive = false;
  int32_t Count = 0;      // as the header says, when it can be read
  int64_t DataBytes = 0;  // the sum of the entries' sizes
  int64_t FileBytes = 0;
  // Entries 1 to Whole lie wholly in the file, and nothing before them is
  // wrong: where the archive stops making sense, since every position after
  // a fault depends on it. All of them (Count) for a sound archive.
  int32_t Whole = 0;
  std::vector<Finding> Findings;

  bool Sound() const;
  const Finding* FirstError() const;
};

// `bytes`: the first `have` bytes of a file that is `fileSize` bytes long;
// everything up to the end of the directory, or as much of it as there is.
CheckResult CheckLayout(const char* bytes, int64_t have, int64_t fileSize);

// Reads the header and the directory of `path`; throws AppError when the
// file cannot be read at all.
CheckResult CheckFile(const std::string& path, io::FileSystem& fs);

// "\"NAME\"": a stored name for a message, without its padding, in UTF-8.
std::string QuotedName(std::string_view stored);
// "entry 7 (\"NAME\", 100 bytes at position 529)".
std::string DescribeEntry(int64_t number, std::string_view stored, int64_t size, int64_t position);

}  // namespace halvarin::grp
