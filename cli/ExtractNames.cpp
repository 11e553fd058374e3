#include "ExtractNames.h"

#include <unordered_set>

#include "Cp1252.h"
#include "FileNames.h"

namespace halvarin::cli {

std::vector<std::string> DistinctFileNames(const std::vector<std::string>& names) {
  std::vector<std::string> files;
  files.reserve(names.size());
  for (const std::string& name : names)
    files.push_back(SafeFileName(Cp1252ToUtf8(name)));

  // Every name as it first comes is spoken for, so that a renamed duplicate
  // never takes the name of an entry further on.
  std::unordered_set<std::string> taken;
  taken.reserve(files.size() * 2);
  for (const std::string& file : files)
    taken.insert(FoldedCase(file));
  std::unordered_set<std::string> used;
  used.reserve(files.size());
  for (std::string& file : files) {
    if (used.insert(FoldedCase(file)).second)
      continue;
    const std::size_t dot = file.rfind('.');
    const std::size_t cut = dot == std::string::npos || dot == 0 ? file.size() : dot;
    for (int n = 2;; ++n) {
      std::string candidate = file.substr(0, cut) + "~" + std::to_string(n) + file.substr(cut);
      const std::string folded = FoldedCase(candidate);
      if (!taken.contains(folded) && used.insert(folded).second) {
        file = std::move(candidate);
        break;
      }
    }
  }
  return files;
}

}  // namespace halvarin::cli
