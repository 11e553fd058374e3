// Parts of halvarin-grp whose cases are easier to reach directly than
// through the program: the progress line's timing, extracted file names and
// JSON strings.

#include <algorithm>
#include <cctype>
#include <chrono>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "ExtractNames.h"
#include "JsonText.h"
#include "ProgressLine.h"

namespace halvarin::cli {
namespace {

using namespace std::chrono_literals;
using namespace std::string_literals;
constexpr int64_t kMiB = 1 << 20;

TEST(ProgressLineTest, ShowsAfterASecondAtMostTenTimesASecondAndIsWipedAtTheEnd) {
  std::chrono::steady_clock::time_point now{};
  std::ostringstream out;
  {
    ProgressLine line(out, true, "extracting", [&] { return now; });
    for (int mib = 1; const auto wait : {0ms, 999ms, 1ms, 99ms, 1ms}) {
      now += wait;
      line.Report(mib++ * kMiB, 10 * kMiB);
    }
  }
  // Quick operations and progress that is not wanted leave no trace at all.
  for (const bool enabled : {true, false}) {
    ProgressLine line(out, enabled, "writing", [&] { return now; });
    for (int i = 0; i < 20; ++i, now += enabled ? 45ms : 1s) {
      line.Report(i, 20);
    }
  }
  EXPECT_EQ(out.str(),
            "\rhalvarin-grp: extracting 30% (3 of 10 MiB)\033[K"
            "\rhalvarin-grp: extracting 50% (5 of 10 MiB)\033[K\r\033[K");
}

TEST(DistinctFileNamesTest, ClashesGetNumbersThatNoOtherEntryHas) {
  // Letter case does not tell files apart everywhere. A renamed duplicate
  // never takes the name of an entry further on, nor of one before. Names may
  // only become equal once made safe; a leading dot is no extension.
  // Windows-1252 letters beyond A to Z have cases too (\xC9 is E acute).
  EXPECT_EQ(
      DistinctFileNames({"A.TXT", "a.txt", "README", "readme", "x.dat", "x.dat", "x~2.dat",
                         "X~3.DAT", "x.dat", "a?b", "a*b", ".cfg", ".cfg", "n.", "n",
                         "\xC9T\xC9.TXT", "\xE9t\xE9.txt"}),
      (std::vector<std::string>{"A.TXT", "a~2.txt", "README", "readme~2", "x.dat", "x~4.dat",
                                "x~2.dat", "X~3.DAT", "x~5.dat", "a_b", "a_b~2", ".cfg", ".cfg~2",
                                "n", "n~2", "\xC3\x89T\xC3\x89.TXT", "\xC3\xA9t\xC3\xA9~2.txt"}));
  std::vector<std::string> many(300, "SAME.NAM");
  many.push_back("same~7.nam");
  std::set<std::string> folded;  // as a file system that ignores case sees them
  for (std::string name : DistinctFileNames(many)) {
    folded.insert((std::ranges::transform(name, name.begin(), ::toupper), name));
  }
  EXPECT_EQ(folded.size(), many.size());
}

// Run together, as a listing does: C0 and C1 controls are escaped, and each
// byte (# below) of a lone continuation, an overlong form, a surrogate, a code
// past U+10FFFF or a sequence cut short becomes U+FFFD, whatever follows.
TEST(AppendJsonStringTest, AlwaysValidJsonWhateverTheBytes) {
  std::string out = "[";
  AppendJsonString(out, "q\"b\\s/ a\0b \n\t\x1b\x7f caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xB5"s +
                            " \xC2\x85\xC2\x9F\xC2\xA0 \x80 \xC0\xAF \xE0\x80\xAF \xED\xA0\x80"
                            " \xF4\x90\x80\x80 \xE2\x82x \xC3\xC3 \xFF\xFE \xE2\x82");
  EXPECT_EQ(out, std::regex_replace("[\"q\\\"b\\\\s/ a\\u0000b \\u000a\\u0009\\u001b\\u007f "
                                    "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xB5 \\u0085\\u009f"
                                    "\xC2\xA0 # ## ### ### #### ##x ## ## ##\"",
                                    std::regex("#"), "\\ufffd"));
}

}  // namespace
}  // namespace halvarin::cli
