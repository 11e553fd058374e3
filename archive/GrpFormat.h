#pragma once

// The byte layout of a group archive, shared by the model and the checker:
// a 12-byte magic, a 4-byte entry count, one 16-byte record (12-byte name,
// 4-byte size) per entry, then the entries' data back to back in directory
// order. Numbers are little-endian; positions are 1-based.

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string_view>

namespace halvarin::grp {

inline constexpr std::string_view kMagic = "Quorindavell";
inline constexpr int64_t kMagicSize = 12;
inline constexpr int64_t kHeaderSize = 16;
inline constexpr int64_t kRecordSize = 16;
inline constexpr std::size_t kNameSize = 12;
// Entry indices are 16-bit and 32767 is never reached.
inline constexpr int64_t kMaxEntries = 32766;
inline constexpr int64_t kMaxPosition = std::numeric_limits<int32_t>::max();
inline constexpr int64_t kLargestDirectory = kHeaderSize + kRecordSize * kMaxEntries;

inline int32_t ReadInt32(const char* p) {
  const auto b = [p](int i) { return static_cast<uint32_t>(static_cast<unsigned char>(p[i])); };
  return static_cast<int32_t>(b(0) | b(1) << 8 | b(2) << 16 | b(3) << 24);
}

// A stored name as it is shown: up to its first NUL, without the spaces that
// pad it. Still raw Windows-1252 bytes.
inline std::string_view TrimmedName(std::string_view stored) {
  stored = stored.substr(0, stored.find('\0'));
  while (!stored.empty() && stored.back() == ' ') {
    stored.remove_suffix(1);
  }
  return stored;
}

}  // namespace halvarin::grp
