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

namespace {

std::string Le32(int64_t value) {
  const auto v = static_cast<uint32_t>(value);
  return {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF),
          static_cast<char>((v >> 16) & 0xFF), static_cast<char>((v >> 24) & 0xFF)};
}

std::string Name(std::string name, char pad) {
  name.resize(12, pad);
  return name;
}

std::string Archive(const std::vector<std::pair<std::string, std::string>>& entries,
                    const std::string& tail = "") {
  std::string bytes = "Quorindavell" + Le32(static_cast<int64_t>(entries.size()));
  for (const auto& [name, data] : entries)
    bytes += name + Le32(static_cast<int64_t>(data.size()));
  for (const auto& entry : entries)
    bytes += entry.second;
  return bytes + tail;
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
  const std::string nul = Name("tiles000.art", '\0');
  const std::string text(std::string("readme.txt") + std::string(2, '\0'));
  const std::vector<std::pair<std::string, std::string>> three = {
      {Name("a.art", '\0'), "first entry"}, {Name("b.map", ' '), ""}, {"TWELVECHARS!", "xyz"}};

  const std::vector<std::pair<const char*, std::string>> seeds = {
      {"empty-file", ""},
      {"magic-only", magic},
      {"magic-cut", magic.substr(0, 11)},
      {"magic-other-case", "QUORINDAVELL" + Le32(0)},
      {"empty-archive", Archive({})},
      {"empty-archive-tail", Archive({}, "trailing")},
      {"header-cut", magic + Le32(1).substr(0, 2)},
      {"one-zero-length", Archive({{Name("empty", ' '), ""}})},
      {"nul-padded", Archive({{nul, "art data"}, {text, "hello"}})},
      {"space-padded", Archive({{Name("sound.voc", ' '), "RIFF...."}, {Name("", ' '), "noname"}})},
      {"odd-name-bytes", Archive({{std::string("\xE9t\xE9\0\x01 x    z", 12), "\x80\xFF"}})},
      {"duplicates", Archive({{nul, "one"}, {nul, "two"}, {nul, ""}})},
      {"three", Archive(three)},
      {"three-tail", Archive(three, "junk after the data")},
      {"negative-count", magic + Le32(-1)},
      {"count-32767", magic + Le32(32767)},
      {"directory-cut", magic + Le32(2) + Name("a", ' ') + Le32(0)},
      {"negative-size", magic + Le32(1) + Name("neg", ' ') + Le32(-5)},
      {"data-cut", Archive(three).substr(0, Archive(three).size() - 2)},
      {"position-overflow",
       magic + Le32(2) + Name("a", ' ') + Le32(0x7FFFFFF0) + Name("b", ' ') + Le32(0x7FFFFFF0)},
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
  std::vector<std::pair<std::string, std::string>> many;
  for (int i = 0; i < 40; ++i)
    many.emplace_back(Name("e" + std::to_string(i), i % 2 ? ' ' : '\0'),
                      std::string(static_cast<std::size_t>(i % 5), static_cast<char>('a' + i)));
  std::ofstream(folder / "forty", std::ios::binary) << Archive(many);
  return 0;
}
