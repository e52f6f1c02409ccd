// Tests of the substring searches, the case-folding table and the attribute-line functions.
#include <gtest/gtest.h>

#include "text/qelstrings.h"

namespace tavlo {
namespace {

TEST(FoldTable, FoldsAsciiAndWindows1251LettersOnly) {
  EXPECT_EQ(FoldTable['a'], 'A');
  EXPECT_EQ(FoldTable['z'], 'Z');
  EXPECT_EQ(FoldTable['A'], 'A');
  EXPECT_EQ(FoldTable['{'], '{');
  EXPECT_EQ(FoldTable[0xE0], 0xC0);
  EXPECT_EQ(FoldTable[0xFF], 0xDF);
  EXPECT_EQ(FoldTable[0xB8], 0xA8);  // yo
  EXPECT_EQ(FoldTable[0xBE], 0xBD);
  EXPECT_EQ(FoldTable[0x90], 0x80);
  EXPECT_EQ(FoldTable[0xDF], 0xDF);
  EXPECT_EQ(FoldTable[0xB9], 0xB9);  // numero sign has no case
  int changed = 0;
  for (int i = 0; i < 256; ++i) changed += FoldTable[i] != i;
  EXPECT_EQ(changed, 26 + 32 + 15);
}

TEST(PosFrom, FindsFromStartAndNeverBefore) {
  EXPECT_EQ(PosFrom("ab", "xabab", 1), 2);
  EXPECT_EQ(PosFrom("ab", "xabab", 3), 4);
  EXPECT_EQ(PosFrom("ab", "xabab", 5), 0);
  EXPECT_EQ(PosFrom("ab", "xabab", -7), 2);
  EXPECT_EQ(PosFrom("ab", "xabab", 1000000), 0);
  EXPECT_EQ(PosFrom("abc", "xab", 2), 0);  // longer than the rest of the text
  EXPECT_EQ(PosFrom("", "abc", 1), 0);
  EXPECT_EQ(PosFrom("a", "", 1), 0);
  EXPECT_EQ(PosFrom("AB", "xabab", 1), 0);
  EXPECT_EQ(PosFrom("b", "ab", 2), 2);  // last candidate
}

TEST(PosFromNoCase, FoldsCyrillicOfWindows1251) {
  const std::string lower = "x\xE0\xE1y";  // a, be in lower case
  EXPECT_EQ(PosFromNoCase("\xC0\xC1", lower, 1), 2);
  EXPECT_EQ(PosFrom("\xC0\xC1", lower, 1), 0);
  EXPECT_EQ(PosFromNoCase("\xA8", "\xB8", 1), 1);
  EXPECT_EQ(PosFromNoCase("AB", "xabab", 3), 4);
  // Bytes outside the table's pairs stay distinct: 0xE0 and 0xC0 fold, 0xE0 and 0xA0 do not.
  EXPECT_EQ(PosFromNoCase("\xA0", "\xE0", 1), 0);
}

TEST(LastPosNoCase, FindsLastOccurrence) {
  EXPECT_EQ(LastPosNoCase("ab", "abxyz"), 1);
  EXPECT_EQ(LastPosNoCase("AB", "xabab"), 4);
  EXPECT_EQ(LastPosNoCase("aa", "aaa"), 2);
  EXPECT_EQ(LastPosNoCase("q", "abc"), 0);
  EXPECT_EQ(LastPosNoCase("abcd", "abc"), 0);
  EXPECT_EQ(LastPosNoCase("", "abc"), 0);
}

TEST(ReplaceLast, ReplacesOnlyTheLastOccurrenceWithoutCase) {
  EXPECT_EQ(ReplaceLast("a,b,c", ",", " and "), "a,b and c");
  EXPECT_EQ(ReplaceLast("xABab", "AB", "-"), "xAB-");
  EXPECT_EQ(ReplaceLast("abc", "z", "-"), "abc");
  EXPECT_EQ(ReplaceLast("abc", "", "-"), "abc");
}

TEST(AttrGet, MatchesNameAnywhereWithoutCase) {
  EXPECT_EQ(AttrGet("fontname=\"Arial\" name=\"x\"", "name"), "Arial");
  EXPECT_EQ(AttrGet("NAME=\"Smith\"", "name"), "Smith");
  EXPECT_EQ(AttrGet("a=\"1\" b=\"2\"", "b"), "2");
  EXPECT_EQ(AttrGet("caption=\"x top=\"9\"\"", "top"), "9");  // inside another value
  EXPECT_EQ(AttrGet("left=\"1\"", "top"), "");
  EXPECT_EQ(AttrGet("", "top"), "");
  EXPECT_EQ(AttrGet("top=\"\"", "top"), "");
}

TEST(AttrGet, RequiresEqualsAndQuoteRightAfterName) {
  EXPECT_EQ(AttrGet("size= \"10\"", "size"), "");
  EXPECT_EQ(AttrGet("size =\"10\"", "size"), "");
}

TEST(AttrGet, UnterminatedValueIsEmpty) {
  EXPECT_EQ(AttrGet("width=\"12", "width"), "");
  EXPECT_EQ(AttrGet("width=\"", "width"), "");
}

TEST(AttrGet, TildePairsBecomeLineBreaks) {
  EXPECT_EQ(AttrGet("caption=\"a~~b\"", "caption"), "a\r\nb");
  EXPECT_EQ(AttrGet("c=\"~~~\"", "c"), "\r\n~");
  EXPECT_EQ(AttrGet("c=\"~~~~\"", "c"), "\r\n\r\n");
  EXPECT_EQ(AttrGet("c=\"a~b~\"", "c"), "a~b~");
}

TEST(AttrSet, AppendsOrReplacesInPlace) {
  std::string line;
  AttrSet(line, "top", "5");
  EXPECT_EQ(line, "top=\"5\"");

  line = "left=\"1\"";
  AttrSet(line, "top", "5");
  EXPECT_EQ(line, "left=\"1\" top=\"5\"");

  line = "left=\"1\" top=\"2\"";
  AttrSet(line, "Top", "5");
  EXPECT_EQ(line, "left=\"1\" top=\"5\"");  // the stored spelling of the name stays

  line = "a=\"long value\" b=\"2\"";
  AttrSet(line, "a", "");
  EXPECT_EQ(line, "a=\"\" b=\"2\"");
}

TEST(AttrSet, LeavesUnterminatedValueUnchanged) {
  std::string line = "width=\"12";
  AttrSet(line, "width", "30");
  EXPECT_EQ(line, "width=\"12");
}

TEST(AttrSet, StoresValueBytesUnchanged) {
  std::string line = "x=\"1\"";
  AttrSet(line, "caption", "a\r\nb");
  EXPECT_EQ(line, "x=\"1\" caption=\"a\r\nb\"");
  EXPECT_EQ(AttrGet(line, "caption"), "a\r\nb");

  line.clear();
  AttrSet(line, "q", "say \"hi\"");
  EXPECT_EQ(line, "q=\"say \"hi\"\"");
  EXPECT_EQ(AttrGet(line, "q"), "say ");
}

}  // namespace
}  // namespace tavlo
