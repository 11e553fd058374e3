#include "Cp1252.h"

#include <gtest/gtest.h>

namespace halvarin {
namespace {

TEST(Cp1252, EveryByteRoundTripsThroughUtf8) {
  std::string all;
  for (int b = 0; b < 256; ++b)
    all.push_back(static_cast<char>(b));
  EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(all)), all);
}

TEST(Cp1252, MapsTheSpecialRangeAndLatin1) {
  EXPECT_EQ(Cp1252ToUtf8("\x80"), "\u20AC");
  EXPECT_EQ(Cp1252ToUtf8("caf\xE9"), "caf\u00E9");
  EXPECT_EQ(Utf8ToCp1252("\u0160koda \u2122"), "\x8Akoda \x99");
}

TEST(Cp1252, CharactersOutsideTheCodePageBecomeTheReplacement) {
  EXPECT_EQ(Utf8ToCp1252("\u65E5\u672C.art"), "__.art");
  EXPECT_EQ(Utf8ToCp1252("\U0001F600x"), "_x");
  EXPECT_EQ(Utf8ToCp1252("a\xC3"), "a_");               // truncated sequence
  EXPECT_EQ(Utf8ToCp1252("\xC0\xAF"), "__");            // overlong "/"
  EXPECT_EQ(Utf8ToCp1252("\xED\xA0\x80", '?'), "???");  // surrogate
}

}  // namespace
}  // namespace halvarin
