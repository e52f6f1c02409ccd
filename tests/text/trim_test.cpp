// Tests of the trims: which bytes each kind drops, from which end, and the word-at-a-time
// right trim against a byte-by-byte one.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "text/trim.h"

namespace tavlo {
namespace {

using namespace std::string_literals;

TEST(Trim, ControlDropsEveryByteUpTo32FromTheChosenEnds) {
  EXPECT_EQ(TrimControl(" \t\r\n a b \x01"), "a b");
  EXPECT_EQ(TrimControl("\x1F\x20"), "");
  EXPECT_EQ(TrimControl("\xA0x\xA0"), "\xA0x\xA0");  // a no-break space is above 32
  EXPECT_EQ(TrimControl("\0a\0"s), "a");
  EXPECT_EQ(TrimControl(""), "");
  EXPECT_EQ(TrimLeftControl(" \ta b\t "), "a b\t ");
  EXPECT_EQ(TrimRightControl(" \ta b\t "), " \ta b");
  EXPECT_EQ(TrimLeftControl("\r\n"), "");
  EXPECT_EQ(TrimRightControl("\r\n"), "");
  EXPECT_TRUE(IsBlankOrControl(' '));
  EXPECT_TRUE(IsBlankOrControl('\0'));
  EXPECT_FALSE(IsBlankOrControl('!'));
  EXPECT_FALSE(IsBlankOrControl('\x7F'));
  EXPECT_FALSE(IsBlankOrControl('\xA0'));
}

TEST(Trim, BlanksAndNamedSetsDropOnlyTheirBytes) {
  EXPECT_EQ(TrimBlanks("  \ta\t  "), "\ta\t");
  EXPECT_EQ(TrimBlanks("   "), "");
  EXPECT_EQ(TrimRightBlanks("  a  "), "  a");
  EXPECT_EQ(TrimRightBlanks("a\n "), "a\n");
  EXPECT_EQ(TrimAnyOf(" \t1 2\t ", " \t"), "1 2");
  EXPECT_EQ(TrimAnyOf("\n1\n", " \t"), "\n1\n");
  EXPECT_EQ(TrimAnyOf("\0 a\0b \0"s, kBlankOrNul), "a\0b"s);
  EXPECT_EQ(TrimAnyOf("\0\0  "s, kBlankOrNul), "");
  EXPECT_EQ(TrimRightAnyOf(" key \0\0"s, kBlankOrNul), " key");
  EXPECT_EQ(TrimRightAnyOf("a \t\t", " \t"), "a");
  EXPECT_EQ(TrimRightAnyOf("", " \t"), "");
}

// The right trim skips eight bytes at a time over padding: every mix of bytes at, below and
// above 32 (high bytes included, whose addition carries) must give the byte-by-byte result.
TEST(Trim, LongPaddingGivesTheByteByByteResult) {
  const std::string alphabet = "\x00\x09\x1F\x20\x21\x7F\x80\xA0\xA1\xDF\xE0\xFF"s;
  std::mt19937 random(27);
  for (int round = 0; round < 20000; ++round) {
    std::string text;
    const int length = static_cast<int>(random() % 40);
    for (int i = 0; i < length; ++i) {
      // Mostly padding, so that whole words of it occur.
      const bool pad = random() % 4 != 0;
      text += pad ? alphabet[random() % 4] : alphabet[random() % alphabet.size()];
    }
    std::size_t end = text.size();
    while (end > 0 && static_cast<unsigned char>(text[end - 1]) <= 32) --end;
    ASSERT_EQ(TrimRightControl(text), std::string_view(text).substr(0, end)) << round;
  }
  EXPECT_EQ(TrimRightControl("abcdefgh" + std::string(8, ' ')), "abcdefgh");
  EXPECT_EQ(TrimRightControl("\xA1" + std::string(15, '\0')), "\xA1");
  EXPECT_EQ(TrimRightControl("!" + std::string(7, ' ')), "!");
}

}  // namespace
}  // namespace tavlo
