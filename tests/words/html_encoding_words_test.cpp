// The html.method words, htmltocolor and the encoding words through TqelScript.
#include "text/qelstrings.h"
#include "wordtest.h"

namespace tavlo {
namespace {

using HtmlWords = WordTest;
using EncodingWords = WordTest;

TEST_F(HtmlWords, TagCase) {
  EXPECT_EQ(RunText("'<P Class=X>Hello <B>World</B></P>' html.lcase"),
            "<p class=x>Hello <b>World</b></p>");
  EXPECT_EQ(RunText("'a <!-- <B> --> <i>' html.ucase"), "a <!-- <B> --> <I>");
  EXPECT_EQ(RunText("'x < y' html.ucase"), "x < y");
  EXPECT_EQ(RunText("'<b>a</b> <!-- open <i>' html.ucase"), "<B>a</B> <!-- open <i>");
  EXPECT_EQ(RunText("'<a href=\"X.html\">\xE0</a>' html.lcase"), "<a href=\"x.html\">\xE0</a>");
  EXPECT_EQ(RunText("'<!---->x<I>' html.lcase"), "<!---->x<i>");
  EXPECT_EQ(RunText("'' html.lcase"), "");
}

TEST_F(HtmlWords, UnknownMethodAndColours) {
  EXPECT_EQ(Failure("'a' html.upper"), "unrecognized HTML method html.upper");
  EXPECT_THROW(Run("'a' html.Lcase"), EqelScriptError);
  EXPECT_EQ(RunInteger("'#FF8000' htmltocolor"), 33023);
  EXPECT_EQ(RunInteger("'#ff8000' htmltocolor"), 33023);
  EXPECT_EQ(RunInteger("'FF8000' htmltocolor"), 0);
  EXPECT_EQ(RunInteger("'#GG0000' htmltocolor"), 0);
  EXPECT_EQ(RunInteger("'#FFFFFF' htmltocolor"), 0xFFFFFF);
}

TEST_F(EncodingWords, Base64AndHash) {
  EXPECT_EQ(RunText("'abc' encodeb64"), "YWJj");
  EXPECT_EQ(RunText("'ab' encodeb64"), "YWI=");
  EXPECT_EQ(RunText("'a' encodeb64"), "YQ==");
  EXPECT_EQ(RunText("'YWJj' decodeb64"), "abc");
  EXPECT_EQ(RunText("'' encodeb64"), "");
  EXPECT_EQ(RunText("'' decodeb64"), "");
  EXPECT_EQ(Failure("'YWJ' decodeb64"), "Base64: Incorrect string format");
  EXPECT_THROW(Run("'YWJ' 1 2 3 decryptb64"), EConvertError);
  EXPECT_EQ(RunInteger("'A' hash"), 65);
  EXPECT_EQ(RunInteger("'AB' hash"), 4227);
  EXPECT_EQ(RunInteger("'' hash"), 0);
}

TEST_F(EncodingWords, CipherRoundTripsAllBytes) {
  // Every byte but the quote, which cannot stand inside a script literal; the quote and 0
  // go through the text utilities' own round trip test.
  std::string bytes;
  for (int i = 1; i < 256; ++i)
    if (i != '\'') bytes += static_cast<char>(i);
  const std::string literal = "'" + bytes + "' ";
  const std::string enciphered = RunText(literal + "1234 52845 22719 encryptb64");
  EXPECT_EQ(enciphered, EncryptBase64(bytes, 1234, 52845, 22719));
  EXPECT_EQ(RunText("'" + enciphered + "' 1234 52845 22719 decryptb64"), bytes);
  EXPECT_NE(RunText("'" + enciphered + "' 1235 52845 22719 decryptb64"), bytes);
  // Only the low 16 bits of a key count.
  EXPECT_EQ(RunText(literal + "66770 52845 22719 encryptb64"),
            RunText(literal + "1234 52845 22719 encryptb64"));
  EXPECT_EQ(Failure(literal + "'k' 1 2 encryptb64"), "Invalid variant type conversion");
}

}  // namespace
}  // namespace tavlo
