#include "GrpSalvage.h"

#include <algorithm>

#include "GrpFormat.h"

namespace halvarin::grp {

namespace {

// The largest count of records whose directory and data end exactly where
// the file does; 0 when there is none. Sizes are checked as loading checks
// them: none negative, no position past the format's limit.
int32_t ExactFit(const char* bytes, int64_t have, int64_t fileSize) {
  const int64_t most = std::min<int64_t>(kMaxEntries, (have - kHeaderSize) / kRecordSize);
  int64_t data = 0;
  int32_t fit = 0;
  for (int64_t n = 1; n <= most; ++n) {
    const int32_t size = ReadInt32(bytes + kHeaderSize + kRecordSize * (n - 1) + kNameSize);
    if (size < 0) {
      break;
    }
    const int64_t start = kHeaderSize + kRecordSize * n + data;  // of entry n, as if it were last
    const int64_t end = start + size;
    data += size;
    // Past the end already: with sizes never negative, more records only
    // move the end further out.
    if (end > fileSize) {
      break;
    }
    if (end == fileSize && start + 1 <= kMaxPosition && fileSize <= kMaxPosition) {
      fit = static_cast<int32_t>(n);
    }
  }
  return fit;
}

}  // namespace

Salvage PlanSalvage(const char* bytes, int64_t have, int64_t fileSize) {
  Salvage salvage;
  salvage.Check = CheckLayout(bytes, have, fileSize);
  const CheckResult& check = salvage.Check;
  if (!check.IsArchive) {
    return salvage;
  }
  salvage.CountKnown = have >= kHeaderSize && check.Count >= 0;
  salvage.Whole = check.Whole;
  salvage.Records = check.Count;
  const bool countFits = salvage.CountKnown && check.Count <= kMaxEntries &&
                         kHeaderSize + kRecordSize * int64_t{check.Count} <= fileSize;
  if (!countFits && have >= kHeaderSize) {
    if (const int32_t fit = ExactFit(bytes, have, fileSize); fit > 0) {
      // The records past the fit are data, not entries.
      salvage.Whole = salvage.Records = fit;
      salvage.Unnamed = salvage.CountKnown ? std::max<int64_t>(0, check.Count - fit) : 0;
      return salvage;
    }
  }
  if (!salvage.CountKnown) {
    return salvage;
  }
  if (check.Sound()) {
    salvage.Trailing = fileSize - (kHeaderSize + kRecordSize * check.Count + check.DataBytes);
    return salvage;
  }
  const int64_t records =
      std::min<int64_t>({int64_t{check.Count}, kMaxEntries, (have - kHeaderSize) / kRecordSize});
  for (int64_t i = int64_t{check.Whole} + 1; i <= records; ++i) {
    const char* record = bytes + kHeaderSize + kRecordSize * (i - 1);
    salvage.Lost.push_back(
        {static_cast<int32_t>(i), std::string(record, kNameSize), ReadInt32(record + kNameSize)});
  }
  salvage.Unnamed = check.Count - check.Whole - static_cast<int64_t>(salvage.Lost.size());
  return salvage;
}

}  // namespace halvarin::grp
