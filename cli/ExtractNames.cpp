#include "ExtractNames.h"

#include <unordered_map>
#include <unordered_set>

#include "Cp1252.h"
#include "FileNames.h"

namespace halvarin::cli {

namespace {

// File systems that ignore case do so beyond A to Z: "\u00C9.TXT" and
// "\u00E9.txt" are one file there. Safe names are Windows-1252 text, whose
// letters are folded here.
std::string FileNameKey(const std::string& file) {
  std::string key = FoldedCase(Utf8ToCp1252(file));
  for (char& c : key) {
    const auto b = static_cast<unsigned char>(c);
    if (b >= 0xE0 && b <= 0xFE && b != 0xF7) {
      c = static_cast<char>(b - 0x20);
    } else if (b == 0x9A || b == 0x9C || b == 0x9E) {
      c = static_cast<char>(b - 0x10);
    } else if (b == 0xFF) {
      c = static_cast<char>(0x9F);
    }
  }
  return key;
}

}  // namespace

std::vector<std::string> DistinctFileNames(const std::vector<std::string>& names) {
  std::vector<std::string> files;
  files.reserve(names.size());
  for (const std::string& name : names) {
    files.push_back(SafeFileName(Cp1252ToUtf8(name)));
  }

  // Every name as it first comes is spoken for, so that a renamed duplicate
  // never takes the name of an entry further on.
  std::unordered_set<std::string> taken;
  taken.reserve(files.size() * 2);
  for (const std::string& file : files) {
    taken.insert(FileNameKey(file));
  }
  std::unordered_set<std::string> used;
  used.reserve(files.size());
  // Where the search for a free "~n" goes on for each name: every number
  // below it is spoken for already, so a thousand entries of one name cost
  // a thousand tries, not half a million.
  std::unordered_map<std::string, int> nextNumber;
  for (std::string& file : files) {
    const std::string key = FileNameKey(file);
    if (used.insert(key).second) {
      continue;
    }
    const std::size_t dot = file.rfind('.');
    const std::size_t cut = dot == std::string::npos || dot == 0 ? file.size() : dot;
    int& next = nextNumber.try_emplace(key, 2).first->second;
    for (;; ++next) {
      std::string candidate = file.substr(0, cut) + "~" + std::to_string(next) + file.substr(cut);
      const std::string folded = FileNameKey(candidate);
      if (!taken.contains(folded) && used.insert(folded).second) {
        file = std::move(candidate);
        ++next;
        break;
      }
    }
  }
  return files;
}

}  // namespace halvarin::cli
