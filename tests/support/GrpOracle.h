#pragma once

// What a group archive file must read as, worked out from its bytes alone,
// without clsVarnGRP: the fuzzer and the model test judge the archive code
// against this.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace halvarin::testing {

struct OracleEntry {
  std::string Name;  // 12 bytes, padding included
  int32_t Size = 0;
  int64_t Position = 0;  // 1-based
};

struct OracleArchive {
  enum Kind { NotAnArchive, Damaged, Valid } Verdict = NotAnArchive;
  std::vector<OracleEntry> Entries;
};

inline int32_t OracleInt32(const unsigned char* p) {
  return static_cast<int32_t>(uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 |
                              uint32_t{p[3]} << 24);
}

inline OracleArchive OracleRead(std::string_view file) {
  OracleArchive a;
  const auto* p = reinterpret_cast<const unsigned char*>(file.data());
  const auto size = static_cast<int64_t>(file.size());
  a.Verdict = file.starts_with("Quorindavell") ? OracleArchive::Damaged : a.Verdict;
  const int32_t count = size < 16 ? -1 : OracleInt32(p + 12);
  if (!a.Verdict || count < 0 || count > 32766 || 16 + 16 * int64_t{count} > size) {
    return a;
  }
  int64_t position = 16 + 16 * int64_t{count} + 1;
  for (int32_t i = 0; i < count; ++i) {
    const unsigned char* record = p + 16 + 16 * i;
    OracleEntry e{std::string(reinterpret_cast<const char*>(record), 12), OracleInt32(record + 12),
                  position};
    // Every byte of the data must lie inside the file, and every position
    // must fit the format's signed 32 bits.
    if (e.Size < 0 || position > INT32_MAX || position - 1 + e.Size > size) {
      return a;
    }
    position += e.Size;
    a.Entries.push_back(std::move(e));
  }
  a.Verdict = OracleArchive::Valid;
  return a;
}

// The bytes of entry `e` of an archive file read with OracleRead.
inline std::string_view OracleData(std::string_view file, const OracleEntry& e) {
  return file.substr(static_cast<std::size_t>(e.Position - 1), static_cast<std::size_t>(e.Size));
}

}  // namespace halvarin::testing
