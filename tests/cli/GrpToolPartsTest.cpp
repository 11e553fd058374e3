// Parts of halvarin-grp whose cases are easier to reach directly than
// through the program: the progress line's timing, extracted file names and
// JSON strings.

#include <algorithm>
#include <cctype>
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
      for (int i = 0; i < 20; ++i, now += enabled ? 45ms : 1s) line.Report(i, 20);
    }
    EXPECT_EQ(quiet.str(), "") << enabled;
  }
}

TEST(DistinctFileNamesTest, ClashesGetNumbersThatNoOtherEntryHas) {
  // Letter case does not tell files apart everywhere. A renamed duplicate
  // never takes the name of an entry further on, nor of one before. Names may
  // only become equal once made safe; a leading dot is no extension.
  // Windows-1252 letters beyond A to Z have cases too (\xC9 is E acute).
  for (const auto& [names, distinct] : std::vector<std::pair<std::vector<std::string>, std::vector<std::string>>>{
           {{"a.txt", "b.txt", "c"}, {"a.txt", "b.txt", "c"}},
           {{"A.TXT", "a.txt", "README", "readme"}, {"A.TXT", "a~2.txt", "README", "readme~2"}},
           {{"x.dat", "x.dat", "x~2.dat", "X~3.DAT", "x.dat"}, {"x.dat", "x~4.dat", "x~2.dat", "X~3.DAT", "x~5.dat"}},
           {{"a?b", "a*b", ".cfg", ".cfg", "n.", "n"}, {"a_b", "a_b~2", ".cfg", ".cfg~2", "n", "n~2"}},
           {{"\xC9T\xC9.TXT", "\xE9t\xE9.txt"}, {"\xC3\x89T\xC3\x89.TXT", "\xC3\xA9t\xC3\xA9~2.txt"}}})
    EXPECT_EQ(DistinctFileNames(names), distinct);
  std::vector<std::string> many(300, "SAME.NAM");
  many.push_back("same~7.nam");
  std::set<std::string> folded;  // as a file system that ignores case sees them
  for (std::string name : DistinctFileNames(many))
    folded.insert((std::ranges::transform(name, name.begin(), ::toupper), name));
  EXPECT_EQ(folded.size(), many.size());
}

TEST(AppendJsonStringTest, AlwaysValidJsonWhateverTheBytes) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"plain.txt", "\"plain.txt\""}, {"q\"b\\s/", "\"q\\\"b\\\\s/\""}, {std::string("a\0b", 3), "\"a\\u0000b\""},
      {"\n\t\x1b\x7f", "\"\\u000a\\u0009\\u001b\\u007f\""},
      {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xB5", "\"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xB5\""},
      {"\xC2\x85\xC2\x9F\xC2\xA0", "\"\\u0085\\u009f\xC2\xA0\""},  // C1 controls
      // a lone continuation, overlong forms, a surrogate, past U+10FFFF, cut short
      {"\x80", "\"\\ufffd\""}, {"\xC0\xAF", "\"\\ufffd\\ufffd\""}, {"\xE0\x80\xAF", "\"\\ufffd\\ufffd\\ufffd\""},
      {"\xED\xA0\x80", "\"\\ufffd\\ufffd\\ufffd\""}, {"\xF4\x90\x80\x80", "\"\\ufffd\\ufffd\\ufffd\\ufffd\""},
      {"\xE2\x82", "\"\\ufffd\\ufffd\""}, {"\xE2\x82x", "\"\\ufffd\\ufffdx\""}, {"\xFF\xFE", "\"\\ufffd\\ufffd\""},
  };
  for (const auto& [text, json] : cases) {
    std::string out = "[";
    AppendJsonString(out, text);
    EXPECT_EQ(out, "[" + json) << json;
  }
}

}  // namespace
}  // namespace halvarin::cli
