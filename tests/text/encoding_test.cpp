// Tests of Base64, the keyed cipher, the hash, the Easter date and the web colour parser.
#include <gtest/gtest.h>

#include "platform/errors.h"
#include "platform/regional.h"
#include "text/qelstrings.h"

namespace tavlo {
namespace {

std::string AllBytes() {
  std::string bytes;
  for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
  return bytes;
}

TEST(Base64, EncodesWithPadding) {
  EXPECT_EQ(EncodeBase64(""), "");
  EXPECT_EQ(EncodeBase64("a"), "YQ==");
  EXPECT_EQ(EncodeBase64("ab"), "YWI=");
  EXPECT_EQ(EncodeBase64("abc"), "YWJj");
  EXPECT_EQ(EncodeBase64("abcd"), "YWJjZA==");
  EXPECT_EQ(EncodeBase64(std::string("\xFB\xFF\xBF", 3)), "+/+/");
}

TEST(Base64, DecodesAndRoundTripsAllBytes) {
  EXPECT_EQ(DecodeBase64("YWJjZA=="), "abcd");
  EXPECT_EQ(DecodeBase64("YWI="), "ab");
  EXPECT_EQ(DecodeBase64(""), "");
  EXPECT_EQ(DecodeBase64("+/+/"), std::string("\xFB\xFF\xBF", 3));
  const std::string bytes = AllBytes();
  for (std::size_t n = 0; n <= 5; ++n) {
    EXPECT_EQ(DecodeBase64(EncodeBase64(bytes.substr(n))), bytes.substr(n));
  }
}

TEST(Base64, LenientAboutCharactersStrictAboutLength) {
  // Unknown characters decode as '/', and '=' counts only in the last group's tail.
  EXPECT_EQ(DecodeBase64("!!!!"), DecodeBase64("////"));
  EXPECT_EQ(DecodeBase64("=AAAYWI="), DecodeBase64("/AAAYWI="));
  EXPECT_EQ(DecodeBase64("YQ=x").size(), 1u);
  for (const char* bad : {"YWJ", "Y", "YWJjZA=", "YWJjZ"}) {
    try {
      DecodeBase64(bad);
      ADD_FAILURE() << bad;
    } catch (const EConvertError& e) {
      EXPECT_STREQ(e.what(), "Base64: Incorrect string format");
    }
  }
}

TEST(Cipher, RoundTripsEveryByteValue) {
  const std::string bytes = AllBytes() + AllBytes();
  for (const auto& [key, mult, inc] :
       {std::tuple{0, 0, 0}, {1234, 52845, 22719}, {-1, -7, 99999}, {0x7FFFFFFF, 3, 1}}) {
    const std::string cipher = EncryptText(bytes, key, mult, inc);
    ASSERT_EQ(cipher.size(), bytes.size());
    EXPECT_EQ(DecryptText(cipher, key, mult, inc), bytes);
    EXPECT_EQ(DecryptBase64(EncryptBase64(bytes, key, mult, inc), key, mult, inc), bytes);
  }
  EXPECT_NE(EncryptText(bytes, 1234, 52845, 22719), bytes);
}

TEST(Cipher, FollowsTheRunningKey) {
  // Key 0x1234: the first byte is XORed with 0x12; the key then becomes (0x1234 + o) * 1 + 0.
  const std::string cipher = EncryptText("AA", 0x1234, 1, 0);
  EXPECT_EQ(static_cast<unsigned char>(cipher[0]), 'A' ^ 0x12);
  const unsigned k = 0x1234 + ('A' ^ 0x12);
  EXPECT_EQ(static_cast<unsigned char>(cipher[1]), 'A' ^ (k >> 8 & 0xFF));
  // Only the low 16 bits of the key count.
  EXPECT_EQ(EncryptText("hello", 0x10005, 7, 3), EncryptText("hello", 5, 7, 3));
  EXPECT_EQ(EncryptText("", 1, 2, 3), "");
}

TEST(HashText, WrapsIn32Bits) {
  EXPECT_EQ(HashText(""), 0);
  EXPECT_EQ(HashText("A"), 65);
  EXPECT_EQ(HashText("\xFF"), 255);
  // h = 65; then h ^= 66 * h
  EXPECT_EQ(HashText("AB"), 65 ^ (66 * 65));
  std::uint32_t h = 'z';
  for (int i = 0; i < 40; ++i) h ^= static_cast<std::uint32_t>('z') * h;
  EXPECT_EQ(HashText(std::string(41, 'z')), static_cast<std::int32_t>(h));
}

TEST(EasterDate, KnownGregorianDates) {
  EXPECT_EQ(EasterDate(1818), EncodeDate(1818, 3, 22));
  EXPECT_EQ(EasterDate(1943), EncodeDate(1943, 4, 25));
  EXPECT_EQ(EasterDate(2000), EncodeDate(2000, 4, 23));
  EXPECT_EQ(EasterDate(2024), EncodeDate(2024, 3, 31));
  EXPECT_EQ(EasterDate(2025), EncodeDate(2025, 4, 20));
  EXPECT_EQ(EasterDate(2000), 36639.0);  // day number counted from 30 December 1899
}

TEST(EasterDate, YearOutsideTheDateTypeFails) {
  EXPECT_THROW(EasterDate(0), EConvertError);
  EXPECT_THROW(EasterDate(10000), EConvertError);
  EXPECT_NO_THROW(EasterDate(1));
  EXPECT_NO_THROW(EasterDate(9999));
}

TEST(HtmlColorToColor, ParsesHashRrggbbOnly) {
  EXPECT_EQ(HtmlColorToColor("#FF0000"), 255u);
  EXPECT_EQ(HtmlColorToColor("#00ff00"), 0xFF00u);
  EXPECT_EQ(HtmlColorToColor("#123456"), 0x563412u);
  EXPECT_EQ(HtmlColorToColor("red"), 0u);
  EXPECT_EQ(HtmlColorToColor("#FF00"), 0u);
  EXPECT_EQ(HtmlColorToColor("#FF00000"), 0u);
  EXPECT_EQ(HtmlColorToColor("#GG0000"), 0u);
  EXPECT_EQ(HtmlColorToColor("#-10000"), 0u);
  EXPECT_EQ(HtmlColorToColor("FF0000#"), 0u);
}

}  // namespace
}  // namespace tavlo
