// The like and in matching that the interpreter's words and the filter plan share: the edges
// of the case rule and of reading a set's items, which the words' own tests reach only
// through whole scripts.
#include "script/setmatch.h"

#include <gtest/gtest.h>

#include <vector>

namespace tavlo {
namespace {

std::vector<std::string> Items(const std::string& set, bool& unclosed) {
  std::vector<std::string> items;
  TSetItems reader(set);
  TSetItem item;
  while (reader.Next(item)) items.push_back(item.ranged ? item.low + "|" + item.high : item.low);
  EXPECT_FALSE(reader.Next(item));  // stays at its end
  unclosed = reader.Unclosed();
  return items;
}

TEST(SetMatch, LikeFoldsOnlyAsciiLettersAndInReadsItemsAsWritten) {
  EXPECT_TRUE(LikeMatches("Smith", "MIT"));
  EXPECT_TRUE(LikeMatches("SMITH", "smith"));
  EXPECT_FALSE(LikeMatches("Smith", ""));
  EXPECT_FALSE(LikeMatches("", ""));
  EXPECT_FALSE(LikeMatches("mi", "mit"));
  EXPECT_FALSE(LikeMatches("\xC9t\xE9", "\xE9T\xE9"));  // accented letters keep their case
  EXPECT_FALSE(LikeMatches("[", "{"));                  // 0x5B and 0x7B are no letters
  EXPECT_TRUE(LikeMatches(std::string("a\0b", 3), std::string("\0B", 2)));

  const struct {
    const char* set;
    std::vector<std::string> items;
    bool unclosed;
  } cases[] = {
      {"", {}, false},
      {" \t\r\n", {}, false},
      {"a  b", {"a", "b"}, false},
      {"\ta\tb c", {"a\tb", "c"}, false},  // only a space ends an unquoted item
      {"\"New York\" Boston", {"New York", "Boston"}, false},
      {"\"\" x", {"", "x"}, false},
      {"x\"y z\"", {"x\"y", "z\""}, false},  // a quote inside an item is a byte of it
      {"a \"b c", {"a"}, true},
      {"1..5 \" 2 .. 3 \"", {"1|5", "2|3"}, false},  // range bounds are trimmed
      {"..5 5.. ...", {"|5", "5|", "|."}, false},
      {"a..b..c", {"a|b..c"}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.set);
    bool unclosed = false;
    EXPECT_EQ(Items(c.set, unclosed), c.items);
    EXPECT_EQ(unclosed, c.unclosed);
  }

  TSetItem range{"b", "d", true};
  EXPECT_TRUE(TextMatchesItem("b", range));
  EXPECT_TRUE(TextMatchesItem("cz", range));
  EXPECT_TRUE(TextMatchesItem("d", range));
  EXPECT_FALSE(TextMatchesItem("da", range));
  EXPECT_FALSE(TextMatchesItem("B", range));
  EXPECT_TRUE(TextMatchesItem("\xE0", TSetItem{"a", "\xFF", true}));  // bytes order unsigned
  EXPECT_TRUE(TextMatchesItem("b..d", TSetItem{"b..d", "", false}));
  EXPECT_FALSE(TextMatchesItem("b ", TSetItem{"b", "", false}));
}

}  // namespace
}  // namespace tavlo
