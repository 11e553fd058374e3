#include "CommonDialogs.h"

#include <algorithm>
#include <limits>

namespace halvarin {

namespace {

// The usable size of the file buffer: what the record promises, but never
// more than the buffer really holds.
size_t FileCapacity(const OPENFILENAMEA& ofn) {
  if (!ofn.lpstrFile) {
    return 0;
  }
  return std::min<size_t>(ofn.nMaxFile, ofn.lpstrFile->size());
}

uint16_t ToWord(size_t value) {
  return value > std::numeric_limits<uint16_t>::max() ? 0 : static_cast<uint16_t>(value);
}

// Replaces the start of `buffer` by `answer` and NULs the rest, so that no
// part of an earlier seed can be mistaken for part of the answer.
void Overwrite(std::string& buffer, const std::string& answer) {
  std::fill(std::copy(answer.begin(), answer.end(), buffer.begin()), buffer.end(), '\0');
}

}  // namespace

#ifndef HALVARIN_PLATFORM_DIALOGS
// A build without platform dialogs has no dialog to show: every dialog that
// nobody scripted ends as if cancelled.
CommonDialogs& PlatformCommonDialogs() {
  class NoCommonDialogs final : public CommonDialogs {
   public:
    int32_t ShowOpenDialog(OPENFILENAMEA&) override { return 0; }
    int32_t ShowSaveDialog(OPENFILENAMEA&) override { return 0; }
  };
  static NoCommonDialogs dialogs;
  return dialogs;
}
#endif

std::string TextBeforeNul(const std::optional<std::string>& text) {
  if (!text) {
    return {};
  }
  return text->substr(0, text->find('\0'));
}

std::vector<std::pair<std::string, std::string>> FilterPairs(const OPENFILENAMEA& ofn) {
  std::vector<std::pair<std::string, std::string>> pairs;
  if (!ofn.lpstrFilter) {
    return pairs;
  }
  const std::string& list = *ofn.lpstrFilter;
  std::vector<std::string> pieces;
  size_t start = 0;
  while (start < list.size()) {
    size_t end = list.find('\0', start);
    if (end == std::string::npos) {
      end = list.size();
    }
    if (end == start) {
      break;
    }
    pieces.push_back(list.substr(start, end - start));
    start = end + 1;
  }
  for (size_t i = 0; i + 1 < pieces.size(); i += 2) {
    pairs.emplace_back(pieces[i], pieces[i + 1]);
  }
  return pairs;
}

bool StoreSingleAnswer(OPENFILENAMEA& ofn, const std::string& path) {
  const size_t terminators = (ofn.Flags & OFN_ALLOWMULTISELECT) ? 2 : 1;
  if (path.empty() || path.find('\0') != std::string::npos ||
      path.size() + terminators > FileCapacity(ofn)) {
    return false;
  }
  const size_t nameStart = NameStart(path);
  const std::string name = path.substr(nameStart);
  if (ofn.lpstrFileTitle) {
    const size_t titleCapacity = std::min<size_t>(ofn.nMaxFileTitle, ofn.lpstrFileTitle->size());
    if (name.size() + 1 > titleCapacity) {
      return false;
    }
    Overwrite(*ofn.lpstrFileTitle, name);
  }
  Overwrite(*ofn.lpstrFile, path);
  ofn.nFileOffset = ToWord(nameStart);
  const size_t dot = name.rfind('.');
  ofn.nFileExtension = dot == std::string::npos ? 0 : ToWord(nameStart + dot + 1);
  return true;
}

bool StoreMultipleAnswer(OPENFILENAMEA& ofn, const std::string& folder,
                         const std::vector<std::string>& names) {
  if (folder.empty() || names.empty() || folder.find('\0') != std::string::npos) {
    return false;
  }
  std::string answer = folder;
  for (const std::string& name : names) {
    if (name.empty() || name.find('\0') != std::string::npos) {
      return false;
    }
    answer += '\0';
    answer += name;
  }
  if (answer.size() + 2 > FileCapacity(ofn)) {
    return false;
  }
  Overwrite(*ofn.lpstrFile, answer);
  ofn.nFileOffset = ToWord(folder.size() + 1);
  ofn.nFileExtension = 0;
  return true;
}

}  // namespace halvarin
