#include "GrpSalvage.h"

#include <algorithm>

#include "GrpFormat.h"

namespace halvarin::grp {

Salvage PlanSalvage(const char* bytes, int64_t have, int64_t fileSize) {
  Salvage salvage;
  salvage.Check = CheckLayout(bytes, have, fileSize);
  const CheckResult& check = salvage.Check;
  salvage.CountKnown = check.IsArchive && have >= kHeaderSize && check.Count >= 0;
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
