#pragma once

// Group archives assembled byte by byte, independently of the code under
// test (the magic is spelled out here on purpose), for the tests, the
// fuzzer's seeds and the benchmarks; and whole-file reads and writes.

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace halvarin::testing {

// Paths are UTF-8 on every system.
inline std::filesystem::path Utf8Path(const std::string& path) {
  return std::u8string(path.begin(), path.end());
}

inline std::string ReadAll(const std::string& path) {
  std::ifstream in(Utf8Path(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteAll(const std::string& path, const std::string& bytes) {
  std::ofstream out(Utf8Path(path), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string Int32(int64_t value) {
  const auto v = static_cast<uint32_t>(value);
  return {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF),
          static_cast<char>((v >> 16) & 0xFF), static_cast<char>((v >> 24) & 0xFF)};
}

inline std::string Padded(std::string name, char pad = ' ') {
  name.resize(12, pad);
  return name;
}

struct Item {
  std::string Name;  // exactly 12 bytes, padding included
  std::string Data;
};

inline std::string ArchiveBytes(const std::vector<Item>& items) {
  std::string head = "Quorindavell" + Int32(std::ssize(items)), data;
  for (const Item& item : items) {
    head += item.Name + Int32(std::ssize(item.Data)), data += item.Data;
  }
  return head + data;
}

// `size` bytes that differ for every seed and offset, so that data copied
// from the wrong place never matches.
inline std::string Content(uint64_t seed, int64_t size) {
  std::string out;
  uint64_t x = seed * 0x9E3779B97F4A7C15ull + 1;
  for (int64_t i = 0; i < size; i += 8) {
    x ^= x << 13, x ^= x >> 7, x ^= x << 17;
    for (int64_t b = 0; b < 8 && i + b < size; ++b) {
      out.push_back(static_cast<char>(x >> (8 * b)));
    }
  }
  return out;
}

inline std::vector<Item> FiveItems() {
  std::vector<Item> items;
  for (int n = 1; n <= 5; ++n) {
    items.push_back({Padded("entry" + std::to_string(n) + ".dat", '\0'), Content(n, 10 * n)});
  }
  return items;
}

// An entry of a large archive, its data Content(Seed, Size).
struct Sized {
  std::string Name;  // 12 bytes as stored
  int64_t Size = 0;
  uint64_t Seed = 0;
};

// Writes an archive of `parts` without holding more than one entry.
inline void WriteArchive(const std::string& path, const std::vector<Sized>& parts) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << "Quorindavell" << Int32(std::ssize(parts));
  for (const Sized& p : parts) {
    out << p.Name << Int32(p.Size);
  }
  for (const Sized& p : parts) {
    out << Content(p.Seed, p.Size);
  }
}

}  // namespace halvarin::testing
