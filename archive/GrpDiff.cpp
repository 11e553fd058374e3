#include "GrpDiff.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

#include "AppError.h"
#include "ErrorMessages.h"
#include "FileNames.h"
#include "GrpFormat.h"

namespace halvarin {

namespace {

std::string Key(const std::string& stored) {
  return FoldedCase(grp::TrimmedName(stored));
}

// A matched pair of equal size: where each lies in its file (0-based).
struct Pair {
  int16_t Old = 0;
  int64_t OldAt = 0;
  int64_t NewAt = 0;
  int64_t Size = 0;
};

void Fill(io::File& file, int64_t offset, char* buffer, int64_t length) {
  const std::size_t got = file.ReadAt(offset, buffer, static_cast<std::size_t>(length));
  if (got != static_cast<std::size_t>(length)) {
    throw EndsEarlyError("GrpDiff", file.Path(), offset + static_cast<int64_t>(got));
  }
}

// Marks in `differs` the entries of the run `pairs` (back to back in both
// files) whose bytes differ, reading each byte once.
void CompareRun(io::File& a, io::File& b, const Pair* pairs, std::size_t count,
                std::vector<bool>& differs, std::vector<char>& bufferA,
                std::vector<char>& bufferB) {
  const auto chunk = static_cast<int64_t>(bufferA.size());
  int64_t length = 0;
  for (std::size_t k = 0; k < count; ++k) {
    length += pairs[k].Size;
  }
  std::size_t entry = 0;   // the pair holding `at`, once a difference is found
  int64_t entryStart = 0;  // its offset in the run
  int64_t windowStart = 0, windowEnd = 0;
  for (int64_t at = 0; at < length;) {
    if (at >= windowEnd) {
      const int64_t want = std::min(chunk, length - at);
      Fill(a, pairs[0].OldAt + at, bufferA.data(), want);
      Fill(b, pairs[0].NewAt + at, bufferB.data(), want);
      windowStart = at, windowEnd = at + want;
    }
    const char* x = bufferA.data() + (at - windowStart);
    const char* y = bufferB.data() + (at - windowStart);
    const auto span = static_cast<std::size_t>(windowEnd - at);
    if (std::memcmp(x, y, span) == 0) {
      at = windowEnd;
      continue;
    }
    const int64_t differing = at + (std::mismatch(x, x + span, y).first - x);
    while (entryStart + pairs[entry].Size <= differing) {
      entryStart += pairs[entry++].Size;
    }
    differs[static_cast<std::size_t>(pairs[entry].Old)] = true;
    at = entryStart + pairs[entry].Size;  // the rest of this entry need not be read
  }
}

}  // namespace

std::vector<EntryChange> CompareArchives(clsVarnGRP& older, clsVarnGRP& newer,
                                         int64_t bufferBytes) {
  const int16_t oldCount = older.NumberOfFiles(), newCount = newer.NumberOfFiles();
  struct Named {
    std::vector<int16_t> Indices;  // in directory order
    std::size_t Next = 0;          // the first not matched yet
  };
  std::unordered_map<std::string, Named> byName;
  byName.reserve(static_cast<std::size_t>(newCount));
  for (int16_t j = 1; j <= newCount; ++j) {
    byName[Key(newer.filename(j))].Indices.push_back(j);
  }
  std::vector<int16_t> match(static_cast<std::size_t>(oldCount) + 1);
  std::vector<bool> matched(static_cast<std::size_t>(newCount) + 1);
  std::vector<Pair> pairs;
  for (int16_t i = 1; i <= oldCount; ++i) {
    const auto it = byName.find(Key(older.filename(i)));
    if (it == byName.end() || it->second.Next == it->second.Indices.size()) {
      continue;
    }
    const int16_t j = it->second.Indices[it->second.Next++];
    match[static_cast<std::size_t>(i)] = j;
    matched[static_cast<std::size_t>(j)] = true;
    if (older.FileSize(i) == newer.FileSize(j) && older.FileSize(i) > 0) {
      pairs.push_back({i, older.FilePosition(i) - int64_t{1}, newer.FilePosition(j) - int64_t{1},
                       older.FileSize(i)});
    }
  }

  std::vector<bool> differs(static_cast<std::size_t>(oldCount) + 1);
  if (!pairs.empty()) {
    auto a = older.OpenForReading();
    auto b = newer.OpenForReading();
    // A megabyte each reads at the disk's speed; little is gained beyond.
    std::vector<char> bufferA(static_cast<std::size_t>(std::max<int64_t>(bufferBytes, 1)));
    std::vector<char> bufferB(bufferA.size());
    for (std::size_t k = 0; k < pairs.size();) {
      std::size_t end = k + 1;
      int64_t length = pairs[k].Size;
      while (end < pairs.size() && pairs[end].OldAt == pairs[k].OldAt + length &&
             pairs[end].NewAt == pairs[k].NewAt + length) {
        length += pairs[end++].Size;
      }
      CompareRun(*a, *b, &pairs[k], end - k, differs, bufferA, bufferB);
      k = end;
    }
  }

  std::vector<EntryChange> changes;
  for (int16_t i = 1; i <= oldCount; ++i) {
    const int16_t j = match[static_cast<std::size_t>(i)];
    if (j == 0) {
      changes.push_back({EntryChange::Removed, older.filename(i), i, 0, older.FileSize(i), 0});
    } else if (older.FileSize(i) != newer.FileSize(j) || differs[static_cast<std::size_t>(i)]) {
      changes.push_back(
          {EntryChange::Changed, newer.filename(j), i, j, older.FileSize(i), newer.FileSize(j)});
    }
  }
  for (int16_t j = 1; j <= newCount; ++j) {
    if (!matched[static_cast<std::size_t>(j)]) {
      changes.push_back({EntryChange::Added, newer.filename(j), 0, j, 0, newer.FileSize(j)});
    }
  }
  return changes;
}

}  // namespace halvarin
