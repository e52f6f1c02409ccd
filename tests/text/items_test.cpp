// Tests of the item-list functions.
#include <gtest/gtest.h>

#include "text/errors.h"
#include "text/qelstrings.h"

namespace tavlo {
namespace {

using Items = std::vector<std::string>;

TEST(SplitItems, BlanksAndQuotes) {
  EXPECT_EQ(SplitItems("a  \"x y\"   z"), (Items{"a", "x y", "z"}));
  EXPECT_EQ(JoinItems(SplitItems("a  \"x y\"   z")), "a x y z");
  EXPECT_EQ(SplitItems(""), Items{});
  EXPECT_EQ(SplitItems("   "), Items{});
  EXPECT_EQ(SplitItems("\"\" a"), (Items{"", "a"}));
  EXPECT_EQ(SplitItems("a\"b c\"d"), (Items{"a\"b", "c\"d"}));  // quotes only open an item
  EXPECT_EQ(SplitItems("\"x y\"z"), (Items{"x y", "z"}));
  // A tab is trimmed at the ends but does not separate items.
  EXPECT_EQ(SplitItems("\ta\tb "), (Items{"a\tb"}));
}

TEST(SplitItems, UnmatchedQuoteIsDropped) {
  EXPECT_EQ(SplitItems("\"x y"), (Items{"x", "y"}));
  EXPECT_EQ(SplitItems("a \""), (Items{"a"}));
  EXPECT_EQ(ItemCount("a \"b c\" \"d"), 3);
}

TEST(FirstLastItem, QuotedAndPlain) {
  EXPECT_EQ(FirstItem("alpha"), "alpha");
  EXPECT_EQ(FirstItem("  alpha beta"), "alpha");
  EXPECT_EQ(FirstItem("\"x y\" z"), "x y");
  EXPECT_EQ(FirstItem("\"x y"), "");
  EXPECT_EQ(FirstItem(""), "");
  EXPECT_EQ(LastItem("alpha beta"), "beta");
  EXPECT_EQ(LastItem("alpha"), "alpha");
  EXPECT_EQ(LastItem("a \"x y\" "), "x y");
  EXPECT_EQ(LastItem("x y\""), "x y");  // no opening quote: everything before the last
  EXPECT_EQ(LastItem("\""), "");
  EXPECT_EQ(LastItem(" "), "");
}

TEST(ItemLists, CountRotatePick) {
  EXPECT_EQ(ItemCount("a \"b c\" d"), 3);
  EXPECT_EQ(ItemCount(""), 0);
  EXPECT_EQ(RotateItemsLeft("a b  c"), "b c a");
  EXPECT_EQ(RotateItemsRight("a b  c"), "c a b");
  EXPECT_EQ(RotateItemsLeft("  "), "");
  EXPECT_EQ(RotateItemsRight("a"), "a");
  EXPECT_EQ(PickItem("a \"b c\" d", 1), "b c");
  EXPECT_EQ(PickItem("a b", 2), "");
  EXPECT_EQ(PickItem("", 0), "");
}

TEST(ItemLists, PickWithNegativeIndexFails) {
  try {
    PickItem("a b", -1);
    FAIL() << "no error";
  } catch (const EListError& e) {
    EXPECT_STREQ(e.what(), "List index out of bounds (-1)");
  }
}

TEST(ItemLists, SortIgnoresCaseIncludingCyrillic) {
  EXPECT_EQ(SortItems("b C a"), "a b C");
  EXPECT_EQ(SortItems(""), "");
  // be (lower) sorts after A (upper) of the Cyrillic alphabet: 0xE1 folds to 0xC1 > 0xC0.
  EXPECT_EQ(SortItems("\xE1 \xC0"), "\xC0 \xE1");
  EXPECT_EQ(CompareTextNoCase("\xE0\xE1", "\xC0\xC1"), 0);
  EXPECT_LT(CompareTextNoCase("ab", "ABC"), 0);
}

TEST(ItemSets, UnionKeepsFirstOfEachGroup) {
  EXPECT_EQ(UnionItems("a b", "B z"), "B z a");
  EXPECT_EQ(UnionItems("a a A", ""), "a a A");  // no b: a as it is, duplicates included
  EXPECT_EQ(UnionItems("a a A", "x"), "x a");
  EXPECT_EQ(UnionItems("", "q Q q"), "q");
  EXPECT_EQ(UnionItems("\xE0", "\xC0"), "\xC0");
}

TEST(ItemSets, IntersectKeepsDuplicatesOfB) {
  EXPECT_EQ(IntersectItems("a b", "b b z"), "b b");
  EXPECT_EQ(IntersectItems("a b", ""), "");
  EXPECT_EQ(IntersectItems("A", "a b a"), "a a");
  EXPECT_EQ(IntersectItems("", "a"), "");
}

TEST(ItemSets, ExcludeRemovesFirstMatchPerItemOfB) {
  EXPECT_EQ(ExcludeItems("a b a", "a"), "b a");
  EXPECT_EQ(ExcludeItems("a b a", "A a"), "b");
  EXPECT_EQ(ExcludeItems("a b", "z"), "a b");
  EXPECT_EQ(ExcludeItems("a  b", ""), "a b");
  EXPECT_EQ(ExcludeItems("\"x y\" z", "\"X Y\""), "z");
}

// Names compare through FoldTable: equal exactly when CompareTextNoCase says so, and the
// folded text is the key such names share.
TEST(TextNoCase, EqualAndFoldedAgreeWithCompare) {
  const char* const texts[] = {"",         "a",    "A",    "ab", "AB", "aB ",  "\xE0\xE1",
                               "\xC0\xC1", "\xB8", "\xA8", "[",  "{",  "\xFF", "\xDF"};
  for (const char* a : texts) {
    for (const char* b : texts) {
      const bool equal = CompareTextNoCase(a, b) == 0;
      EXPECT_EQ(EqualTextNoCase(a, b), equal) << a << " / " << b;
      EXPECT_EQ(FoldedText(a) == FoldedText(b), equal) << a << " / " << b;
    }
  }
  EXPECT_EQ(FoldedText("Name\xE0"), "NAME\xC0");
}

TEST(CommaLists, QuotesBlanksAndCommas) {
  const auto split = [](const std::string& text) {
    return SplitCommaList(text, TrailingComma::Dropped);
  };
  EXPECT_EQ(split(""), Items{});
  EXPECT_EQ(split("  "), Items{});
  EXPECT_EQ(split("a,b c"), (Items{"a", "b", "c"}));
  EXPECT_EQ(split(" a , b "), (Items{"a", "b"}));
  EXPECT_EQ(split("a,,b"), (Items{"a", "", "b"}));
  EXPECT_EQ(split(",a"), (Items{"", "a"}));
  EXPECT_EQ(split("\"x, \"\"y\"\" z\",w"), (Items{"x, \"y\" z", "w"}));
  EXPECT_EQ(split("\"open"), Items{"open"});
  EXPECT_EQ(split("\"\""), Items{""});
  // Every byte up to 32 separates, a NUL too.
  EXPECT_EQ(split(std::string("a\0b\tc\x01", 6)), (Items{"a", "b", "c"}));
}

TEST(CommaLists, ATrailingCommaEndsAnEmptyItemOnlyWhereAsked) {
  EXPECT_EQ(SplitCommaList("a,", TrailingComma::Dropped), Items{"a"});
  EXPECT_EQ(SplitCommaList("a, ", TrailingComma::EndsEmptyItem), (Items{"a", ""}));
  EXPECT_EQ(SplitCommaList(",", TrailingComma::Dropped), Items{""});
  EXPECT_EQ(SplitCommaList(",", TrailingComma::EndsEmptyItem), (Items{"", ""}));
  EXPECT_EQ(SplitCommaList("a,b", TrailingComma::EndsEmptyItem), (Items{"a", "b"}));
}

TEST(CommaLists, TheMeterStepsOncePerItem) {
  int checks = 0;
  const TWorkMeter meter([&checks] { ++checks; });
  std::string text;
  for (int i = 0; i < 2 * TWorkMeter::kStride; ++i) text += "x,";
  EXPECT_EQ(SplitCommaList(text, TrailingComma::Dropped, meter).size(),
            static_cast<std::size_t>(2 * TWorkMeter::kStride));
  EXPECT_EQ(checks, 2);
}

}  // namespace
}  // namespace tavlo
