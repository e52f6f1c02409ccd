// Selection by filtered paths on the library document, and the condition parser.
#include <gtest/gtest.h>

#include "xml/xmlfilter.h"
#include "xml/xmltree.h"

namespace tavlo {
namespace {

class XmlSelectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tree.LoadFromText(
        "<lib><book id=\"1\"><title>A</title></book><book id=\"2\"><title>B</title></book>"
        "</lib>");
  }
  // The selected elements, each as name:value-or-id.
  std::string Select(const std::string& path) {
    std::vector<TqelXMLNode*> list;
    tree.SelectNodes(path, list);
    std::string result;
    for (const TqelXMLNode* node : list) {
      if (!result.empty()) result += ' ';
      const TqelXMLAttribute* id = node->FindAttribute("id");
      result += node->Name + ":" + (id ? id->Value.ToText() : node->Value.ToText());
    }
    return result;
  }
  TqelXMLTree tree{"d"};
};

TEST_F(XmlSelectTest, PlainAndDeepPaths) {
  EXPECT_EQ(Select("lib/book"), "book:1 book:2");
  EXPECT_EQ(Select("lib/book/title"), "title:A title:B");
  EXPECT_EQ(Select("//title"), "title:A title:B");
  EXPECT_EQ(Select("lib//title"), "title:A title:B");
  EXPECT_EQ(Select("//book"), "book:1 book:2");
  EXPECT_EQ(Select("//lib"), "lib:");
  EXPECT_EQ(Select("//lib//title"), "title:A title:B");
  EXPECT_EQ(Select("nothing/book"), "");
  EXPECT_EQ(Select("lib/"), "");
  EXPECT_EQ(Select("Lib/book"), "");
  TqelXMLTree empty("e");
  std::vector<TqelXMLNode*> list;
  empty.SelectNodes("//x", list);
  EXPECT_TRUE(list.empty());
}

TEST_F(XmlSelectTest, DeepSearchStopsAtTheOutermostMatchAndKeepsDocumentOrder) {
  tree.LoadFromText(
      "<r><item id=\"1\"><item id=\"inner\"/></item><x><item id=\"2\"/></x>"
      "<item id=\"3\"/></r>");
  EXPECT_EQ(Select("//item"), "item:1 item:2 item:3");
  EXPECT_EQ(Select("//item//item"), "item:inner");
  EXPECT_EQ(Select("r/item/item"), "item:inner");
}

TEST_F(XmlSelectTest, Conditions) {
  EXPECT_EQ(Select("lib/book[@id = \"2\"]"), "book:2");
  EXPECT_EQ(Select("lib/book[@id $eq$ 2]"), "book:2");
  EXPECT_EQ(Select("lib/book[title $eq$ \"B\"]"), "book:2");
  EXPECT_EQ(Select("lib/book[@id $gt$ 1]"), "book:2");
  EXPECT_EQ(Select("lib/book[@id $gt$ x]"), "");
  EXPECT_EQ(Select("lib/book[@id]"), "book:1 book:2");
  EXPECT_EQ(Select("lib/book[@lang]"), "");
  EXPECT_EQ(Select("lib/book[@*]"), "book:1 book:2");
  EXPECT_EQ(Select("lib/book[@id=\"2\"]"), "");
  EXPECT_EQ(Select("lib/book[@id = \"\"]"), "book:1 book:2");
  EXPECT_EQ(Select("lib/book[title $ieq$ b]"), "book:2");
  EXPECT_EQ(Select("lib/book[title $ilt$ b]"), "book:1");
  // The name before the brackets is not compared once there are conditions.
  EXPECT_EQ(Select("lib/[@id = 1]"), "book:1");
  EXPECT_EQ(Select("lib/shelf[@id = 1]"), "book:1");
  // Several conditions must all hold; a condition on a missing child fails.
  EXPECT_EQ(Select("lib/book[@id $ge$ 1][title $ne$ A]"), "book:2");
  EXPECT_EQ(Select("lib/book[@id $ge$ 1] [title]"), "book:1 book:2");
  EXPECT_EQ(Select("lib/book[isbn]"), "");
  EXPECT_EQ(Select("lib/book[@* $le$ 1.5]"), "book:1");
  EXPECT_EQ(Select("lib/book[@id $ge$ 1]/title"), "title:A title:B");
}

TEST_F(XmlSelectTest, EveryOperatorSpelling) {
  tree.LoadFromText("<r><e v=\"abc\"/><e v=\"ABD\"/><e v=\"10\"/><e v=\"9\"/></r>");
  struct Case {
    const char* condition;
    const char* selected;
  } cases[] = {
      {"@v = abc", "abc"},         {"@v $eq$ ABD", "ABD"},       {"@v $ieq$ ABC", "abc"},
      {"@v $ne$ abc", "ABD 10 9"}, {"@v $ine$ ABC", "ABD 10 9"}, {"@v $ge$ 10", "10"},
      {"@v $le$ 9.5", "9"},        {"@v $gt$ 9", "10"},          {"@v $lt$ 10", "9"},
      {"@v $ige$ abd", "ABD"},     {"@v $ile$ abc", "abc 10 9"}, {"@v $igt$ ABC", "ABD"},
      {"@v $ilt$ 9", "10"},
  };
  for (const Case& c : cases) {
    std::vector<TqelXMLNode*> list;
    tree.SelectNodes(std::string("r/e[") + c.condition + "]", list);
    std::string values;
    for (const TqelXMLNode* node : list) {
      if (!values.empty()) values += ' ';
      values += node->FindAttribute("v")->Value.ToText();
    }
    EXPECT_EQ(values, c.selected) << c.condition;
  }
}

TEST(XmlFilter, ParsingSteps) {
  TqelXMLFilter plain("book");
  EXPECT_EQ(plain.Name, "book");
  EXPECT_TRUE(plain.Conditions.empty());

  TqelXMLFilter filter("book[@id $ne$ '5\"] [ title  $ieq$  \"x y\" ][@lang]");
  EXPECT_EQ(filter.Name, "book");
  ASSERT_EQ(filter.Conditions.size(), 3u);
  EXPECT_EQ(filter.Conditions[0].Name, "id");
  EXPECT_EQ(filter.Conditions[0].Value, "5");
  EXPECT_EQ(filter.Conditions[0].Operator, TqelXMLFilterAtom::kNotEqual);
  EXPECT_TRUE(filter.Conditions[0].IsAttribute);
  EXPECT_EQ(filter.Conditions[1].Name, "title");
  EXPECT_EQ(filter.Conditions[1].Value, "x y");
  EXPECT_EQ(filter.Conditions[1].Operator, TqelXMLFilterAtom::kIEqual);
  EXPECT_FALSE(filter.Conditions[1].IsAttribute);
  EXPECT_EQ(filter.Conditions[2].Operator, TqelXMLFilterAtom::kExists);

  // The first spelling in the fixed order wins, wherever it stands.
  TqelXMLFilter order("e[a $eq$ b $ne$ c]");
  ASSERT_EQ(order.Conditions.size(), 1u);
  EXPECT_EQ(order.Conditions[0].Name, "a $eq$ b");
  EXPECT_EQ(order.Conditions[0].Value, "c");

  // A "]" inside a value ends the condition (the text up to the next "[" is skipped); a
  // failed parse ends the list.
  TqelXMLFilter cut("e[@v = a]b][@w]");
  ASSERT_EQ(cut.Conditions.size(), 2u);
  EXPECT_EQ(cut.Conditions[0].Value, "a");
  EXPECT_EQ(cut.Conditions[1].Name, "w");
  TqelXMLFilter stop("e[@v][ = x][@w]");
  EXPECT_EQ(stop.Conditions.size(), 1u);
  TqelXMLFilter empty("e[][@w]");
  EXPECT_TRUE(empty.Conditions.empty());
  TqelXMLFilter open("e[@v = 1");
  EXPECT_TRUE(open.Conditions.empty());
}

TEST(XmlFilter, Unquoting) {
  EXPECT_EQ(UnquoteXMLValue("  \"a\"  "), "a");
  EXPECT_EQ(UnquoteXMLValue("'a\""), "a");
  EXPECT_EQ(UnquoteXMLValue("\"\"a\"\""), "\"a\"");
  EXPECT_EQ(UnquoteXMLValue("\""), "");
  EXPECT_EQ(UnquoteXMLValue("a'b"), "a'b");
}

}  // namespace
}  // namespace tavlo
