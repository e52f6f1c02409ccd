// Tokenizer: the token lines of typical and hostile texts, normalising and CDATA encoding.
#include <gtest/gtest.h>

#include "xml/xmltokenizer.h"

namespace tavlo {
namespace {

using Tokens = std::vector<std::string>;

TEST(XmlTokenizer, TagKindsAndTextRuns) {
  EXPECT_EQ(TokenizeXML("<a x=\"1\">t</a>\r\n"), (Tokens{"OT:a x=\"1\"", "TX:t", "CT:a"}));
  EXPECT_EQ(TokenizeXML("<br/><br />"), (Tokens{"ET:br/", "ET:br /"}));
  EXPECT_EQ(TokenizeXML("<p>one <b>two</b> three</p>"),
            (Tokens{"OT:p", "TX:one", "OT:b", "TX:two", "CT:b", "TX:three", "CT:p"}));
  // Declarations and comments are ordinary opening tags.
  EXPECT_EQ(TokenizeXML("<?xml version=\"1.0\"?><!-- note --><r/>"),
            (Tokens{"OT:?xml version=\"1.0\"?", "OT:!-- note --", "ET:r/"}));
  // The "/" test looks at the tag as written, before trimming.
  EXPECT_EQ(TokenizeXML("<a / ><  /b>"), (Tokens{"OT:a /", "OT:/b"}));
  EXPECT_EQ(TokenizeXML("before<a>after"), (Tokens{"TX:before", "OT:a", "TX:after"}));
  EXPECT_TRUE(TokenizeXML("").empty());
  EXPECT_TRUE(TokenizeXML("  \r\n\t \r\n").empty());
}

TEST(XmlTokenizer, NormalisingKeepsInnerBlanks) {
  EXPECT_EQ(TokenizeXML("<a>  hello\r\n  world  </a>"),
            (Tokens{"OT:a", "TX:hello   world", "CT:a"}));
  EXPECT_EQ(NormaliseXMLText("\t a\tb\r\nc \r\n"), "a b c");
  EXPECT_EQ(TokenizeXML("<a\r\n  x=\"1\"\tb>"), (Tokens{"OT:a   x=\"1\" b"}));
}

TEST(XmlTokenizer, CDATAKeepsLineBreaksAndTabsEncoded) {
  EXPECT_EQ(TokenizeXML("<c><![CDATA[line1\r\nline2]]></c>"),
            (Tokens{"OT:c", "CD:line1\\n line2", "CT:c"}));
  EXPECT_EQ(TokenizeXML("<c><![cdata[ a\tb <x> ]]></c>"),
            (Tokens{"OT:c", "CD: a\\t b <x> ", "CT:c"}));
  EXPECT_EQ(TokenizeXML("<![CDATA[]]>"), (Tokens{"CD:"}));
  EXPECT_EQ(EncodeCDATA("a\r\n\tb\rc"), "a\\n \\t b\rc");
  EXPECT_EQ(DecodeCDATA("a\\n \\t b"), "a\r\n\tb");
  for (const std::string sample : {"x\r\ny\tz", "\t\t\r\n\r\n", "plain", ""}) {
    EXPECT_EQ(DecodeCDATA(EncodeCDATA(sample)), sample);
  }
}

TEST(XmlTokenizer, MalformedInputEndsAndStaysInsideTheText) {
  // Unterminated CDATA: the rest is the section, without the last line's break.
  EXPECT_EQ(TokenizeXML("<c><![CDATA[open\r\nend\r\n"), (Tokens{"OT:c", "CD:open\\n end"}));
  EXPECT_EQ(TokenizeXML("<![CDATA["), (Tokens{"CD:"}));
  EXPECT_EQ(TokenizeXML("<![CDA"), (Tokens{"TX:![CDA"}));
  // The empty tag is skipped; a tag of blanks is an opening tag without a name.
  EXPECT_EQ(TokenizeXML("<><a><>b< ></a>"), (Tokens{"OT:a", "TX:b", "OT:", "CT:a"}));
  EXPECT_EQ(TokenizeXML("<"), Tokens{});
  EXPECT_EQ(TokenizeXML("</>"), (Tokens{"CT:"}));
  // A "<" without a later ">" is dropped and what follows is text.
  EXPECT_EQ(TokenizeXML("<a>x < y</a> 1 < 2"), (Tokens{"OT:a", "TX:x", "OT:y</a", "TX:1", "TX:2"}));
  EXPECT_EQ(TokenizeXML("a < b < c"), (Tokens{"TX:a", "TX:b", "TX:c"}));
}

TEST(XmlTokenizer, ManyStrayOpenersStayLinear) {
  // Each "<" without a ">" must not rescan the rest of the text.
  std::string text(2'000'000, '<');
  EXPECT_TRUE(TokenizeXML(text).empty());
  std::string cdata;
  for (int i = 0; i < 100'000; ++i) cdata += "<![CDATA[x";
  EXPECT_EQ(TokenizeXML(cdata).size(), 1u);
}

TEST(XmlTokenizer, LinesSplitAtEveryBreakKind) {
  EXPECT_EQ(SplitTextLines("a\r\nb\nc\rd"), (Tokens{"a", "b", "c", "d"}));
  EXPECT_EQ(SplitTextLines("a\r\n"), (Tokens{"a"}));
  EXPECT_EQ(SplitTextLines("\r\n\r\n"), (Tokens{"", ""}));
  EXPECT_EQ(SplitTextLines(""), Tokens{});
  EXPECT_EQ(JoinTextLines({"a", "", "b"}), "a\r\n\r\nb\r\n");
  for (const char* text : {"a\r\nb\nc\rd", "a\r\n", "\r\n\r\n", "", "\n\r", "x", "\r\r\n"}) {
    EXPECT_EQ(NormaliseLineBreaks(text), JoinTextLines(SplitTextLines(text))) << text;
  }
}

}  // namespace
}  // namespace tavlo
