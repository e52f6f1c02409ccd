// Tests of block expansion and the removal of block definitions and brace markers.
#include <gtest/gtest.h>

#include "text/qelstrings.h"

namespace tavlo {
namespace {

TEST(Templates, ExpandTwiceThenClean) {
  std::string t = "<table>{begin:row}<tr>{end:row}{block:row}</table>";
  EXPECT_TRUE(ExpandBlock(t, "row"));
  EXPECT_TRUE(ExpandBlock(t, "ROW"));
  EXPECT_EQ(t, "<table>{begin:row}<tr>{end:row}<tr><tr>{block:row}</table>");
  EXPECT_EQ(RemoveBraceMarkers(RemoveBlockDefinitions(t)), "<table><tr><tr></table>");
}

TEST(Templates, ExpandUsesLastPlaceAndFirstDefinition) {
  std::string t = "{block:a}{begin:a}1{end:a}{begin:a}2{end:a}|{block:a}";
  EXPECT_TRUE(ExpandBlock(t, "a"));
  EXPECT_EQ(t, "{block:a}{begin:a}1{end:a}{begin:a}2{end:a}|1{block:a}");
}

TEST(Templates, ExpandFailsWithoutPlaceOrDefinition) {
  std::string t = "{begin:a}x{end:a}";
  EXPECT_FALSE(ExpandBlock(t, "a"));
  t = "{block:a}{begin:a}x";
  EXPECT_FALSE(ExpandBlock(t, "a"));
  t = "{block:a}x{end:a}";
  EXPECT_FALSE(ExpandBlock(t, "a"));
  t = "{end:a}{begin:a}x{block:a}";  // the end must follow the begin
  EXPECT_FALSE(ExpandBlock(t, "a"));
  EXPECT_EQ(t, "{end:a}{begin:a}x{block:a}");
}

TEST(Templates, RemoveBlockDefinitions) {
  EXPECT_EQ(RemoveBlockDefinitions("a{begin:x}b{end:x}c{BEGIN:y}d{End:y}e"), "ace");
  EXPECT_EQ(RemoveBlockDefinitions("plain {x}"), "plain {x}");
  // Unterminated definitions stop the removal; the rest stays as it is.
  EXPECT_EQ(RemoveBlockDefinitions("a{begin:x}b{end:x}c{begin:y}d"), "ac{begin:y}d");
  EXPECT_EQ(RemoveBlockDefinitions("a{begin:x}b{end:x"), "a{begin:x}b{end:x");
  EXPECT_EQ(RemoveBlockDefinitions("a{end:x}b{begin:x}c"), "a{end:x}b{begin:x}c");
  // The end need not name the same block: the first {end: after the begin closes it.
  EXPECT_EQ(RemoveBlockDefinitions("a{begin:x}b{end:y}c"), "ac");
}

TEST(Templates, RemoveBraceMarkers) {
  EXPECT_EQ(RemoveBraceMarkers("a{x}b{y}c"), "abc");
  EXPECT_EQ(RemoveBraceMarkers("a{b"), "a{b");
  EXPECT_EQ(RemoveBraceMarkers("a{x}b{c"), "ab{c");
  EXPECT_EQ(RemoveBraceMarkers("a}b{}c"), "a}bc");
  EXPECT_EQ(RemoveBraceMarkers("{{x}}"), "}");
}

}  // namespace
}  // namespace tavlo
