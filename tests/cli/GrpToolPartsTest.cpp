// Parts of halvarin-grp whose cases are easier to reach directly than
// through the program: the progress line's timing, extracted file names and
// JSON strings.

#include <chrono>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "ExtractNames.h"
#include "JsonText.h"
#include "ProgressLine.h"

namespace halvarin::cli {
namespace {

using namespace std::chrono_literals;
constexpr int64_t kMiB = 1 << 20;

TEST(ProgressLineTest, ShowsAfterASecondAtMostTenTimesASecondAndIsWipedAtTheEnd) {
  std::chrono::steady_clock::time_point now{};
  std::ostringstream out;
  {
    ProgressLine line(out, true, "extracting", [&] { return now; });
    for (const auto& [wait, mib, shown] : std::vector<std::tuple<std::chrono::milliseconds, int, std::string>>{
             {0ms, 1, ""}, {999ms, 2, ""}, {1ms, 5, "\rhalvarin-grp: extracting 50% (5 of 10 MiB)\033[K"},
             {99ms, 6, ""}, {1ms, 7, "\rhalvarin-grp: extracting 70% (7 of 10 MiB)\033[K"}}) {
      now += wait;
      line.Report(mib * kMiB, 10 * kMiB);
      EXPECT_EQ(out.str(), shown) << mib;
      out.str("");
    }
  }
  EXPECT_EQ(out.str(), "\r\033[K");
  // Quick operations and progress that is not wanted leave no trace at all.
  for (const bool enabled : {true, false}) {
    std::ostringstream quiet;
    now = {};
    {
      ProgressLine line(quiet, enabled, "writing", [&] { return now; });
      for (int i = 0; i < 20; ++i, now += enabled ? 45ms : 1s)
        line.Report(i, 20);
    }
    EXPECT_EQ(quiet.str(), "") << enabled;
  }
}

std::set<std::string> Folded(const std::vector<std::string>& names) {
  std::set<std::string> folded;
  for (std::string name : names) {
    for (char& c : name)
      c = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    folded.insert(name);
  }
  return folded;
}

TEST(DistinctFileNamesTest, ClashesGetNumbersThatNoOtherEntryHas) {
  EXPECT_EQ(DistinctFileNames({"a.txt", "b.txt", "c"}),
            (std::vector<std::string>{"a.txt", "b.txt", "c"}));
  // Letter case does not tell files apart everywhere.
  EXPECT_EQ(DistinctFileNames({"A.TXT", "a.txt", "README", "readme"}),
            (std::vector<std::string>{"A.TXT", "a~2.txt", "README", "readme~2"}));
  // A renamed duplicate never takes the name of an entry further on, nor of
  // one before.
  EXPECT_EQ(DistinctFileNames({"x.dat", "x.dat", "x~2.dat", "X~3.DAT", "x.dat"}),
            (std::vector<std::string>{"x.dat", "x~4.dat", "x~2.dat", "X~3.DAT", "x~5.dat"}));
  // Names that only become equal once made safe; a leading dot is no extension.
  EXPECT_EQ(DistinctFileNames({"a?b", "a*b", ".cfg", ".cfg", "n.", "n"}),
            (std::vector<std::string>{"a_b", "a_b~2", ".cfg", ".cfg~2", "n", "n~2"}));
  // Windows-1252 letters beyond A to Z have cases too (\xC9 is E acute).
  const std::vector<std::string> accented = DistinctFileNames({"\xC9T\xC9.TXT", "\xE9t\xE9.txt"});
  EXPECT_EQ(accented[0], "\xC3\x89T\xC3\x89.TXT");
  EXPECT_EQ(accented[1], "\xC3\xA9t\xC3\xA9~2.txt");

  std::vector<std::string> many(300, "SAME.NAM");
  many.push_back("same~7.nam");
  EXPECT_EQ(Folded(DistinctFileNames(many)).size(), many.size());
}

TEST(AppendJsonStringTest, AlwaysValidJsonWhateverTheBytes) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"plain.txt", "\"plain.txt\""},
      {"q\"b\\s/", "\"q\\\"b\\\\s/\""},
      {"\n\t\x1b\x7f", "\"\\u000a\\u0009\\u001b\\u007f\""},
      {std::string("a\0b", 3), "\"a\\u0000b\""},
      {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xB5",
       "\"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xB5\""},
      {"\xC2\x85\xC2\x9F\xC2\xA0", "\"\\u0085\\u009f\xC2\xA0\""},  // C1 controls
      {"\x80", "\"\\ufffd\""},                                     // lone continuation
      {"\xC0\xAF", "\"\\ufffd\\ufffd\""},                          // overlong "/"
      {"\xE0\x80\xAF", "\"\\ufffd\\ufffd\\ufffd\""},               // overlong, 3 bytes
      {"\xED\xA0\x80", "\"\\ufffd\\ufffd\\ufffd\""},               // surrogate
      {"\xF4\x90\x80\x80", "\"\\ufffd\\ufffd\\ufffd\\ufffd\""},    // past U+10FFFF
      {"\xE2\x82", "\"\\ufffd\\ufffd\""},                          // cut short at the end
      {"\xE2\x82x", "\"\\ufffd\\ufffdx\""},
      {"\xFF\xFE", "\"\\ufffd\\ufffd\""},
  };
  for (const auto& [text, json] : cases) {
    std::string out = "[";
    AppendJsonString(out, text);
    EXPECT_EQ(out, "[" + json) << json;
  }
}

}  // namespace
}  // namespace halvarin::cli
