#include "EntrySelection.h"

#include <algorithm>
#include <charconv>
#include <string_view>

#include "AppError.h"
#include "Cp1252.h"
#include "ErrorMessages.h"
#include "FileNames.h"
#include "GrpFormat.h"

namespace halvarin::cli {

namespace {

constexpr const char* kSource = "halvarin-grp";

bool IsIndex(const std::string& operand) {
  return !operand.empty() &&
         std::all_of(operand.begin(), operand.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::vector<int16_t> Select(const clsVarnGRP& archive, const std::vector<std::string>& operands,
                            bool once) {
  const int16_t count = archive.NumberOfFiles();
  // Folded once, when the first name comes: many names against many
  // entries would otherwise fold every entry name again for each.
  std::vector<std::string> folded;
  std::vector<int16_t> selected;
  for (const std::string& operand : operands) {
    if (IsIndex(operand)) {
      int64_t index = 0;
      const auto [end, error] =
          std::from_chars(operand.data(), operand.data() + operand.size(), index);
      if (error != std::errc() || index < 1 || index > count) {
        throw AppError(errSubscriptOutOfRange, kSource,
                       "There is no entry " + operand + "; the archive has " +
                           Counted(count, "entry", "entries") + ".");
      }
      selected.push_back(static_cast<int16_t>(index));
      continue;
    }
    const std::string wanted = FoldedCase(Utf8ToCp1252(operand, '\0'));
    if (folded.empty()) {
      folded.reserve(static_cast<std::size_t>(count) + 1);
      folded.emplace_back();  // indices are 1-based
      for (int16_t i = 1; i <= count; ++i) {
        folded.push_back(FoldedCase(grp::TrimmedName(archive.filename(i))));
      }
    }
    std::vector<int16_t> matches;
    for (int16_t i = 1; i <= count; ++i) {
      if (folded[static_cast<std::size_t>(i)] == wanted) {
        matches.push_back(i);
      }
    }
    if (matches.empty()) {
      throw AppError(errFileNotFound, kSource,
                     "The archive has no entry named \"" + operand + "\".");
    }
    if (once && matches.size() > 1) {
      std::string list;
      for (int16_t i : matches) {
        list += (list.empty() ? "" : ", ") + std::to_string(i);
      }
      throw AppError(errInvalidArgument, kSource,
                     "Entries " + list + " are all named \"" + operand +
                         "\"; give the index of the one you mean.");
    }
    selected.insert(selected.end(), matches.begin(), matches.end());
  }
  std::sort(selected.begin(), selected.end());
  selected.erase(std::unique(selected.begin(), selected.end()), selected.end());
  return selected;
}

}  // namespace

std::vector<int16_t> SelectEntries(const clsVarnGRP& archive,
                                   const std::vector<std::string>& operands) {
  return Select(archive, operands, false);
}

std::vector<int16_t> SelectEntriesOnce(const clsVarnGRP& archive,
                                       const std::vector<std::string>& operands) {
  return Select(archive, operands, true);
}

}  // namespace halvarin::cli
