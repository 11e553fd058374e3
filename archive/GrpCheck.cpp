#include "GrpCheck.h"

#include <algorithm>
#include <unordered_map>

#include "AppError.h"
#include "Cp1252.h"
#include "ErrorMessages.h"
#include "FileNames.h"
#include "GrpFormat.h"

namespace halvarin::grp {

namespace {

class Checker {
 public:
  Checker(CheckResult& result) : result_(result) {}

  void Error(int32_t number, std::string text) {
    faulty_ = true;
    result_.Findings.push_back({true, number, std::move(text)});
  }
  void Warning(std::string text) { result_.Findings.push_back({false, 0, std::move(text)}); }

  void Directory(const char* records, int64_t count, int64_t directoryEnd, int64_t fileSize) {
    std::unordered_map<std::string, int64_t> firstWithName;
    firstWithName.reserve(static_cast<std::size_t>(count));
    int64_t position = directoryEnd + 1;
    for (int64_t i = 1; i <= count; ++i) {
      const char* record = records + (i - 1) * kRecordSize;
      const std::string_view name(record, kNameSize);
      int64_t size = ReadInt32(record + kNameSize);
      if (size < 0) {
        Error(errPathFileAccess, "entry " + std::to_string(i) + " (" + QuotedName(name) +
                                     ") has a negative size (" + std::to_string(size) + ").");
        size = 0;  // so that the entries after it are judged on their own
      }
      const int64_t end = position - 1 + size;
      if (!pastLimit_ && (position > kMaxPosition || end > kMaxPosition)) {
        pastLimit_ = true;
        Error(errOverflow, DescribeEntry(i, name, size, position) + " lies past position " +
                               std::to_string(kMaxPosition) + ", the limit of a group archive.");
      } else if (!pastEnd_ && !pastLimit_ && end > fileSize) {
        pastEnd_ = true;
        std::string text = DescribeEntry(i, name, size, position) +
                           " runs past the end of the file, which ends after " +
                           Counted(fileSize, "byte", "bytes") + ".";
        if (i + 1 == count) {
          text += " The entry after it lies past it too.";
        } else if (i < count) {
          text += " The " + std::to_string(count - i) + " entries after it lie past it too.";
        }
        Error(errPathFileAccess, std::move(text));
      }
      result_.DataBytes += size;
      position = end + 1;
      if (!faulty_) {
        result_.Whole = static_cast<int32_t>(i);
      }

      const std::string folded = FoldedCase(TrimmedName(name));
      if (folded.empty()) {
        Warning("entry " + std::to_string(i) + " has an empty name.");
      } else if (auto [it, isNew] = firstWithName.try_emplace(folded, i); !isNew) {
        Warning("entry " + std::to_string(i) + " (" + QuotedName(name) +
                ") has the same name as entry " + std::to_string(it->second) +
                "; extracting by that name writes them all, deleting by it asks for an index.");
      }
    }
    const int64_t end = position - 1;
    if (!pastEnd_ && !pastLimit_ && end < fileSize) {
      const int64_t extra = fileSize - end;
      Warning(extra == 1 ? std::string("1 byte after the last entry's data belongs to no entry; "
                                       "a save drops it.")
                         : std::to_string(extra) +
                               " bytes after the last entry's data belong to no entry; a save "
                               "drops them.");
    }
  }

 private:
  CheckResult& result_;
  bool pastLimit_ = false;
  bool pastEnd_ = false;
  bool faulty_ = false;
};

}  // namespace

bool CheckResult::Sound() const {
  return IsArchive && FirstError() == nullptr;
}

const Finding* CheckResult::FirstError() const {
  const auto it =
      std::find_if(Findings.begin(), Findings.end(), [](const Finding& f) { return f.IsError; });
  return it == Findings.end() ? nullptr : &*it;
}

CheckResult CheckLayout(const char* bytes, int64_t have, int64_t fileSize) {
  CheckResult result;
  result.FileBytes = fileSize;
  Checker checker(result);
  if (have < kMagicSize || std::string_view(bytes, kMagicSize) != kMagic) {
    checker.Error(errInvalidArgument,
                  "it is not a group archive: it does not begin with the "
                  "signature of one.");
    return result;
  }
  result.IsArchive = true;
  if (have < kHeaderSize) {
    checker.Error(errPathFileAccess, "it ends after " + Counted(have, "byte", "bytes") +
                                         ", inside the 16-byte header.");
    return result;
  }
  const int32_t count = ReadInt32(bytes + kMagicSize);
  result.Count = count;
  if (count < 0) {
    checker.Error(errSubscriptOutOfRange,
                  "its entry count is negative (" + std::to_string(count) + ").");
    return result;
  }
  if (count > kMaxEntries) {
    checker.Error(errOverflow, "it claims " + std::to_string(count) + " entries, more than the " +
                                   std::to_string(kMaxEntries) + " a group archive can hold.");
    return result;
  }
  const int64_t directoryEnd = kHeaderSize + kRecordSize * count;
  if (directoryEnd > have) {
    checker.Error(errPathFileAccess, "its directory of " + std::to_string(count) +
                                         " entries needs " + std::to_string(directoryEnd) +
                                         " bytes, but the file ends after " +
                                         Counted(have, "byte", "bytes") + ".");
    return result;
  }
  checker.Directory(bytes + kHeaderSize, count, directoryEnd, fileSize);
  return result;
}

CheckResult CheckFile(const std::string& path, io::FileSystem& fs) {
  auto file = fs.OpenRead(path);
  const int64_t fileSize = file->Size();
  std::string bytes(static_cast<std::size_t>(std::min(fileSize, kLargestDirectory)), '\0');
  const auto have = static_cast<int64_t>(file->ReadAt(0, bytes.data(), bytes.size()));
  return CheckLayout(bytes.data(), have, fileSize);
}

std::string QuotedName(std::string_view stored) {
  while (!stored.empty() && (stored.back() == '\0' || stored.back() == ' ')) {
    stored.remove_suffix(1);
  }
  return "\"" + Cp1252ToUtf8(stored) + "\"";
}

std::string DescribeEntry(int64_t number, std::string_view stored, int64_t size, int64_t position) {
  return "entry " + std::to_string(number) + " (" + QuotedName(stored) + ", " +
         Counted(size, "byte", "bytes") + " at position " + std::to_string(position) + ")";
}

}  // namespace halvarin::grp
