// Tests of the substring searches, the case-folding table and the attribute-line functions.
#include <gtest/gtest.h>

#include "platform/clock.h"
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

namespace tavlo {
namespace {

// The obvious quadratic search, as the reference the linear one must agree with.
std::size_t ReferenceFind(const std::string& hay, const std::string& needle, std::size_t from,
                          const std::array<unsigned char, 256>* fold, bool last) {
  if (needle.empty() || needle.size() > hay.size()) return std::string::npos;
  std::size_t found = std::string::npos;
  for (std::size_t at = from; at + needle.size() <= hay.size(); ++at) {
    bool same = true;
    for (std::size_t i = 0; same && i < needle.size(); ++i) {
      const auto a = static_cast<unsigned char>(hay[at + i]);
      const auto b = static_cast<unsigned char>(needle[i]);
      same = fold ? (*fold)[a] == (*fold)[b] : a == b;
    }
    if (same) {
      found = at;
      if (!last) break;
    }
  }
  return found;
}

// Small alphabets make long near-matches, which is where the automaton takes over.
TEST(FindBytes, AgreesWithThePlainSearchOnNearMatches) {
  std::uint32_t seed = 12345;
  auto next = [&seed] { return seed = seed * 1103515245u + 12345u, (seed >> 16) & 0x7FFF; };
  const char alphabet[] = {'a', 'A', 'b', '\xE0', '\xC0'};
  for (int round = 0; round < 3000; ++round) {
    std::string hay, needle;
    const std::size_t letters = 2 + next() % 4;
    for (std::size_t n = next() % 300; n > 0; --n) hay += alphabet[next() % letters];
    for (std::size_t n = 1 + next() % 12; n > 0; --n) needle += alphabet[next() % letters];
    if (round % 3 == 0) needle = std::string(next() % 20 + 1, 'a') + "b";
    const std::size_t from = hay.empty() ? 0 : next() % (hay.size() + 2);
    for (const auto* fold : {static_cast<const std::array<unsigned char, 256>*>(nullptr),
                             &FoldTable, &AsciiFoldTable}) {
      ASSERT_EQ(FindBytes(hay, needle, from, fold), ReferenceFind(hay, needle, from, fold, false))
          << hay << " / " << needle << " from " << from;
      ASSERT_EQ(FindLastBytes(hay, needle, fold), ReferenceFind(hay, needle, 0, fold, true))
          << hay << " / " << needle;
    }
  }
  EXPECT_EQ(FindBytes("abc", "", 0), std::string::npos);
  EXPECT_EQ(FindBytes("abc", "c", 3), std::string::npos);
  EXPECT_EQ(FindBytes("abc", "c", 2), 2u);
}

// A 32 KB pattern that almost matches everywhere in a 256 KB text once took seconds per
// search (the time grew with the product of the lengths).
TEST(FindBytes, PathologicalPatternsTakeLinearTime) {
  const std::string text(256 * 1024, 'a');
  const std::string pattern = std::string(32 * 1024, 'a') + "b";
  const std::string reversed = "b" + std::string(32 * 1024, 'a');
  const std::uint64_t start = TickCount();
  EXPECT_EQ(PosFrom(pattern, text, 1), 0);
  EXPECT_EQ(PosFromNoCase(pattern, text, 1), 0);
  EXPECT_EQ(LastPosNoCase(reversed, text), 0);
  EXPECT_EQ(FindBytes(text, pattern, 0, &AsciiFoldTable), std::string::npos);
  EXPECT_EQ(PosFromNoCase(pattern, text + "B", 1), static_cast<int>(text.size() - 32 * 1024 + 1));
  // Five searches that took over 20 seconds: a generous bound for a slow sanitizer build.
  EXPECT_LT(TickCount() - start, 3000u);
}

}  // namespace
}  // namespace tavlo
