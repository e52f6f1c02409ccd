// Tests of the ASCII case helpers and of CR line breaks turned into LF.
#include "platform/asciitext.h"

#include <gtest/gtest.h>

#include <string>

namespace tavlo {
namespace {

using namespace std::string_literals;

TEST(AsciiText, OnlyAToZChangeCase) {
  EXPECT_EQ(LowerAscii("AbC_Z@[`{"), "abc_z@[`{");
  EXPECT_EQ(UpperAscii("aBc_z@[`{"), "ABC_Z@[`{");
  // Windows-1251 letters and every other byte above 127 stay as they are.
  EXPECT_EQ(LowerAscii("\xC0\xDF\xA8"), "\xC0\xDF\xA8");
  EXPECT_EQ(UpperAscii("\xE0\xFF\xB8"), "\xE0\xFF\xB8");
  EXPECT_EQ(UpperAscii("a\0b"s), "A\0B"s);
  EXPECT_EQ(LowerAscii('Q'), 'q');
  EXPECT_EQ(UpperAscii('q'), 'Q');
  EXPECT_EQ(UpperAscii('\xE9'), '\xE9');
}

TEST(AsciiText, EqualAndCompareFoldOnlyAsciiLetters) {
  EXPECT_TRUE(EqualNoCaseAscii("_NullFlags", "_nullflags"));
  EXPECT_FALSE(EqualNoCaseAscii("abc", "ab"));
  EXPECT_FALSE(EqualNoCaseAscii("\xE0", "\xC0"));  // a Cyrillic pair is no ASCII pair
  EXPECT_TRUE(EqualNoCaseAscii("", ""));
  EXPECT_EQ(CompareNoCaseAscii("abc", "ABC"), 0);
  EXPECT_LT(CompareNoCaseAscii("ab", "ABC"), 0);
  EXPECT_GT(CompareNoCaseAscii("b", "A"), 0);
  // Only a to z fold; other bytes compare as unsigned codes.
  EXPECT_NE(CompareNoCaseAscii("\xe9", "\xc9"), 0);
  EXPECT_GT(CompareNoCaseAscii("\xe9", "z"), 0);
  EXPECT_GT(CompareNoCaseAscii("_", "a"), 0);  // "a" folds to "A" (65), below "_" (95)
}

TEST(AsciiText, EveryCrBreakBecomesOneLf) {
  EXPECT_EQ(CrLinesToLf("a\rb\r\nc\nd\r"), "a\nb\nc\nd\n");
  EXPECT_EQ(CrLinesToLf("\r\r\n\n"), "\n\n\n");
  EXPECT_EQ(CrLinesToLf("\n\r"), "\n\n");
  EXPECT_EQ(CrLinesToLf(""), "");
  EXPECT_EQ(CrLinesToLf("no break"), "no break");
}

}  // namespace
}  // namespace tavlo
