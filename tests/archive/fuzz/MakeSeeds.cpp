// Writes the fuzzer's seed corpus into the folder given: small archives of
// every shape the format allows, and damaged ones just past each limit, so
// that the fuzzer starts next to every decision the reader makes.
//
// Usage: archive_fuzz_seeds FOLDER

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "ArchiveBytes.h"

namespace {

using namespace halvarin::testing;

std::string Archive(const std::vector<Item>& entries, const std::string& tail = "") {
  return ArchiveBytes(entries) + tail;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  std::filesystem::create_directories(folder);
  const std::string magic = "Quorindavell";
  const std::string nul = Padded("tiles000.art", '\0');
  const std::string text(std::string("readme.txt") + std::string(2, '\0'));
  const std::vector<Item> three = {
      {Padded("a.art", '\0'), "first entry"}, {Padded("b.map", ' '), ""}, {"TWELVECHARS!", "xyz"}};

  const std::vector<std::pair<const char*, std::string>> seeds = {
      {"empty-file", ""},
      {"magic-only", magic},
      {"magic-cut", magic.substr(0, 11)},
      {"magic-other-case", "QUORINDAVELL" + Int32(0)},
      {"empty-archive", Archive({})},
      {"empty-archive-tail", Archive({}, "trailing")},
      {"header-cut", magic + Int32(1).substr(0, 2)},
      {"one-zero-length", Archive({{Padded("empty", ' '), ""}})},
      {"nul-padded", Archive({{nul, "art data"}, {text, "hello"}})},
      {"space-padded", Archive({{Padded("sound.voc", ' '), "RIFF...."}, {Padded("", ' '), "noname"}})},
      {"odd-name-bytes", Archive({{std::string("\xE9t\xE9\0\x01 x    z", 12), "\x80\xFF"}})},
      {"duplicates", Archive({{nul, "one"}, {nul, "two"}, {nul, ""}})},
      {"three", Archive(three)},
      {"three-tail", Archive(three, "junk after the data")},
      {"negative-count", magic + Int32(-1)},
      {"count-32767", magic + Int32(32767)},
      {"directory-cut", magic + Int32(2) + Padded("a", ' ') + Int32(0)},
      {"negative-size", magic + Int32(1) + Padded("neg", ' ') + Int32(-5)},
      {"data-cut", Archive(three).substr(0, Archive(three).size() - 2)},
      {"position-overflow",
       magic + Int32(2) + Padded("a", ' ') + Int32(0x7FFFFFF0) + Padded("b", ' ') + Int32(0x7FFFFFF0)},
  };
  for (const auto& [file, bytes] : seeds) {
    std::ofstream out(folder / file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
      std::fprintf(stderr, "cannot write %s\n", (folder / file).c_str());
      return 1;
    }
  }
  // Many entries, most of them empty, for the loops over the table.
  std::vector<Item> many;
  for (int i = 0; i < 40; ++i)
    many.push_back(Item{Padded("e" + std::to_string(i), i % 2 ? ' ' : '\0'),
                      std::string(static_cast<std::size_t>(i % 5), static_cast<char>('a' + i))});
  std::ofstream(folder / "forty", std::ios::binary) << Archive(many);
  return 0;
}
