// Writes the fuzzer's seed corpus into the folder given: small archives of
// every shape the format allows, and damaged ones just past each limit, so
// that the fuzzer starts next to every decision the reader makes.
//
// Usage: archive_fuzz_seeds FOLDER

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "ArchiveBytes.h"
#include "DamagedArchives.h"

using namespace halvarin::testing;

int main(int argc, char** argv) {
  if (argc != 2) {
    return std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]), 2;
  }
  const std::filesystem::path folder = argv[1];
  std::filesystem::create_directories(folder);
  const std::string magic = "Quorindavell", nul = Padded("tiles000.art", '\0');
  const std::vector<Item> three = {
      {Padded("a.art", '\0'), "first entry"}, {Padded("b.map", ' '), ""}, {"TWELVECHARS!", "xyz"}};
  std::vector<Item> many;  // most of them empty, for the loops over the table
  for (int i = 0; i < 40; ++i) {
    many.push_back(
        {Padded("e" + std::to_string(i), i % 2 ? ' ' : '\0'), std::string(i % 5, char('a' + i))});
  }
  std::vector<std::string> seeds = {
      "",
      magic,
      magic.substr(0, 11),
      "QUORINDAVELL" + Int32(0),
      ArchiveBytes({}),
      ArchiveBytes({}) + "trailing",
      ArchiveBytes({{Padded("empty"), ""}}),
      ArchiveBytes({{nul, "art data"}, {Padded("readme.txt", '\0'), "hello"}}),
      ArchiveBytes({{std::string("\xE9t\xE9\0\x01 x    z", 12), "\x80\xFF"}}),
      ArchiveBytes({{nul, "one"}, {nul, "two"}, {nul, ""}}),
      ArchiveBytes(three),
      ArchiveBytes(three) + "junk after the data",
      ArchiveBytes(many)};
  for (const DamagedArchive& d : DamagedArchives()) {
    seeds.push_back(d.Bytes);
  }
  for (std::size_t i = 0; i < seeds.size(); ++i) {
    const std::filesystem::path file = folder / ("seed" + std::to_string(i));
    WriteAll(file.string(), seeds[i]);
    if (std::filesystem::file_size(file) != seeds[i].size()) {
      return std::fprintf(stderr, "cannot write into %s\n", folder.c_str()), 1;
    }
  }
  return 0;
}
