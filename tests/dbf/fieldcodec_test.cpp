// Tests of the field codec: decoding and encoding field bytes, number text, dates.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <limits>

#include "dbf/dbferrors.h"
#include "dbf/fieldcodec.h"
#include "platform/regional.h"
#include "tablefiles_testutil.h"

namespace tavlo {
namespace {

RegionalSettings CommaDecimals() {
  RegionalSettings settings;
  settings.decimalSeparator = ',';
  settings.thousandSeparator = '.';
  return settings;
}

template <typename T>
bool Decode(TFieldType type, const std::string& bytes, T& value) {
  return DecodeFieldBytes(type, reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(),
                          &value);
}

bool IsNull(TFieldType type, const std::string& bytes) {
  return !DecodeFieldBytes(type, reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(),
                           nullptr);
}

std::string EncodeText(int length, const char* text) {
  std::string bytes(static_cast<std::size_t>(length), '?');
  EncodeFieldBytes(TFieldType::ftString, length, 0, reinterpret_cast<std::uint8_t*>(bytes.data()),
                   text);
  return bytes;
}

template <typename T>
std::string Encode(TFieldType type, int length, int decimals, T value) {
  std::string bytes(static_cast<std::size_t>(length), '?');
  EncodeFieldBytes(type, length, decimals, reinterpret_cast<std::uint8_t*>(bytes.data()), &value);
  return bytes;
}

TEST(FieldCodec, CharacterFieldsAreTrimmedOfControlsAndBlanks) {
  char text[16];
  EXPECT_TRUE(Decode(TFieldType::ftString, std::string("  abc  "), text));
  EXPECT_STREQ(text, "abc");
  EXPECT_TRUE(Decode(TFieldType::ftString, std::string("\t\x01 a b\0\n", 8), text));
  EXPECT_STREQ(text, "a b");
  std::strcpy(text, "kept");
  EXPECT_FALSE(Decode(TFieldType::ftString, std::string("  \x1F  "), text));
  EXPECT_STREQ(text, "kept");  // a null leaves the destination alone
  EXPECT_TRUE(IsNull(TFieldType::ftString, "     "));
  EXPECT_TRUE(IsNull(TFieldType::ftDate, "        "));
}

TEST(FieldCodec, WholeNumbersParseOrReadAsZero) {
  std::int16_t small = -1;
  EXPECT_TRUE(Decode(TFieldType::ftSmallint, std::string("  -123"), small));
  EXPECT_EQ(small, -123);
  std::int32_t integer = -1;
  EXPECT_TRUE(Decode(TFieldType::ftInteger, std::string("        abc"), integer));
  EXPECT_EQ(integer, 0);  // not a number: 0, and not null
  EXPECT_TRUE(Decode(TFieldType::ftInteger, std::string("+2147483647"), integer));
  EXPECT_EQ(integer, 2147483647);
  EXPECT_TRUE(Decode(TFieldType::ftInteger, std::string(" 1.5"), integer));
  EXPECT_EQ(integer, 0);
  std::int64_t large = 0;
  EXPECT_TRUE(Decode(TFieldType::ftLargeint, std::string("-9223372036854775808"), large));
  EXPECT_EQ(large, std::numeric_limits<std::int64_t>::min());
}

TEST(FieldCodec, NumbersBeyondTheNativeTypeAreNeverReadAsAnotherNumber) {
  std::int16_t small = 7;
  EXPECT_FALSE(Decode(TFieldType::ftSmallint, std::string(" 40000"), small));
  EXPECT_FALSE(Decode(TFieldType::ftSmallint, std::string("-32769"), small));
  EXPECT_EQ(small, 7);
  EXPECT_TRUE(Decode(TFieldType::ftSmallint, std::string("-32768"), small));
  std::int32_t integer = 7;
  EXPECT_FALSE(Decode(TFieldType::ftInteger, std::string("99999999999"), integer));
  EXPECT_EQ(integer, 7);
  std::int64_t large = 7;
  EXPECT_FALSE(Decode(TFieldType::ftLargeint, std::string("99999999999999999999"), large));
  EXPECT_EQ(large, 7);
  EXPECT_FALSE(IsNull(TFieldType::ftSmallint, " 40000"));  // there is a value, just no int16
  EXPECT_TRUE(IsNull(TFieldType::ftLargeint, "99999999999999999999"));

  std::int64_t value = 0;
  EXPECT_EQ(ParseWholeNumber("9223372036854775807", value), WholeNumberParse::Ok);
  EXPECT_EQ(ParseWholeNumber("9223372036854775808", value), WholeNumberParse::OutOfRange);
  EXPECT_EQ(ParseWholeNumber("-", value), WholeNumberParse::NotANumber);
  EXPECT_EQ(ParseWholeNumber("1 2", value), WholeNumberParse::NotANumber);
}

// The one whole-number decoder every reader uses (cursor, column layout, order, plan).
TEST(FieldCodec, WholeNumberValueOfEveryEdgeOfTheText) {
  const struct {
    const char* text;
    bool value;
    std::int64_t number;
  } cases[] = {
      {"", false, 0},
      {"-9223372036854775809", false, 0},
      {"18446744073709551616", false, 0},
      {"99999999999999999999999", false, 0},
      {"-9223372036854775808", true, std::numeric_limits<std::int64_t>::min()},
      {"+9223372036854775807", true, std::numeric_limits<std::int64_t>::max()},
      {"-0", true, 0},
      {"0007", true, 7},
      {"-", true, 0},  // signs and other text alone are no number: 0
      {"+", true, 0},
      {"--1", true, 0},
      {"1e3", true, 0},
      {"12a", true, 0},
      {"1.0", true, 0},
      {" 12", true, 0},  // the text comes trimmed; a blank inside is no digit
      {"\xD9\xA1", true, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    std::int64_t number = 42;
    EXPECT_EQ(WholeNumberValue(c.text, number), c.value);
    EXPECT_EQ(number, c.value ? c.number : 42);  // no value leaves the number alone
  }
}

TEST(FieldCodec, LogicalsReadAsDbaseAndFoxProStoreThem) {
  std::int16_t flag = -1;
  EXPECT_TRUE(Decode(TFieldType::ftBoolean, std::string("t"), flag));
  EXPECT_EQ(flag, 1);
  EXPECT_TRUE(Decode(TFieldType::ftBoolean, std::string("Y"), flag));
  EXPECT_EQ(flag, 1);
  EXPECT_TRUE(Decode(TFieldType::ftBoolean, std::string("n"), flag));
  EXPECT_EQ(flag, 0);
  EXPECT_TRUE(IsNull(TFieldType::ftBoolean, " "));
  EXPECT_TRUE(IsNull(TFieldType::ftBoolean, "?"));
  EXPECT_EQ(Encode<std::int16_t>(TFieldType::ftBoolean, 1, 0, 1), "T");
  EXPECT_EQ(Encode<std::int16_t>(TFieldType::ftBoolean, 1, 0, 0), "F");
  EXPECT_EQ(Encode<std::int16_t>(TFieldType::ftBoolean, 1, 0, 2), "F");
}

TEST(FieldCodec, FloatTextReadsWithAPointUnderAnyDecimalSeparator) {
  for (const RegionalSettings& settings : {RegionalSettings{}, CommaDecimals()}) {
    ScopedRegionalSettings scoped(settings);
    double value = 0;
    EXPECT_TRUE(Decode(TFieldType::ftFloat, std::string("    123.45"), value));
    EXPECT_DOUBLE_EQ(value, 123.45);
    EXPECT_DOUBLE_EQ(DbfTextToFloat("-2.5e3"), -2500);
    EXPECT_DOUBLE_EQ(DbfTextToFloat("+3"), 3);
    EXPECT_DOUBLE_EQ(DbfTextToFloat(".5"), 0.5);
    EXPECT_EQ(DbfTextToFloat("1.5.3"), 0);
    EXPECT_EQ(DbfTextToFloat("abc"), 0);
    EXPECT_EQ(DbfTextToFloat("1,000.5"), 0);
    EXPECT_EQ(DbfTextToFloat("inf"), 0);
    EXPECT_EQ(Encode<double>(TFieldType::ftFloat, 10, 2, 123.456), "    123.46");
  }
  ScopedRegionalSettings comma(CommaDecimals());
  EXPECT_DOUBLE_EQ(DbfTextToFloat("1,5"), 1.5);  // the regional separator is read too
}

TEST(FieldCodec, FloatTextReadsToTheNearestDouble) {
  // Short fixed-point texts take a fast path; it must round exactly as a full parse.
  std::uint64_t seed = 12345;
  for (int i = 0; i < 20000; ++i) {
    seed = seed * 6364136223846793005u + 1442695040888963407u;
    const int digits = 1 + static_cast<int>(seed >> 60) % 15;
    const int decimals = static_cast<int>((seed >> 50) % (digits + 1));
    std::string text = (seed >> 40) & 1 ? "-" : "";
    std::uint64_t mantissa = seed >> 3;
    for (int d = 0; d < digits; ++d, mantissa /= 10) {
      if (d == digits - decimals && decimals > 0) text += '.';
      text += static_cast<char>('0' + mantissa % 10);
    }
    ASSERT_EQ(DbfTextToFloat(text), std::strtod(text.c_str(), nullptr)) << text;
  }
}

TEST(FieldCodec, FloatToDbfTextRoundsToDecimalsAndPrecision) {
  struct Case {
    int length, decimals;
    double value;
    const char* text;
  };
  const Case cases[] = {
      {10, 2, 123.456, "123.46"},
      {10, 2, -123.456, "-123.46"},
      {10, 2, -0.001, "0.00"},
      {20, 4, 1.5, "1.5000"},
      {5, 0, 2.5, "3"},
      {10, 2, 0.125, "0.13"},
      {3, 0, 99.5, "100"},
      {10, 3, 0.0005, "0.001"},
      {10, 4, 12345678.123, "12345678.1200"},  // ten significant digits, then zeros
      {20, 4, 0, "0.0000"},
      {6, 0, -32768, "-32768"},
      {10, 2, 12345678901.5, "1.234567890E+10"},
      {30, 2, 1e17, "100000000000000000.00"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FloatToDbfText(c.length, c.decimals, c.value), c.text)
        << c.value << " " << c.length << "," << c.decimals;
  }
  ScopedRegionalSettings comma(CommaDecimals());
  EXPECT_EQ(FloatToDbfText(10, 2, 0.5), "0.50");
}

TEST(FieldCodec, EncodingPadsAndRefusesTextLongerThanTheField) {
  EXPECT_EQ(Encode<std::int32_t>(TFieldType::ftInteger, 6, 0, -42), "   -42");
  EXPECT_EQ(Encode<std::int32_t>(TFieldType::ftMemo, 10, 0, 1), "         1");
  EXPECT_EQ(EncodeText(5, "abcdefg"), "abcde");
  EXPECT_EQ(EncodeText(5, "ab"), "ab   ");
  EXPECT_EQ(Encode<std::int32_t>(TFieldType::ftDate, 8, 0, DayNumberOfDate(2024, 2, 29)),
            "20240229");
  std::string bytes = "0123456789";
  EncodeFieldBytes(TFieldType::ftFloat, 10, 2, reinterpret_cast<std::uint8_t*>(bytes.data()),
                   nullptr);
  EXPECT_EQ(bytes, std::string(10, ' '));

  bytes = "0123456789";
  double big = 12345678901.5;
  EXPECT_THROW_MSG(EncodeFieldBytes(TFieldType::ftFloat, 10, 2,
                                    reinterpret_cast<std::uint8_t*>(bytes.data()), &big),
                   EFieldToLongError, "Fielddata too long :15 (must be between 1 and 10).");
  std::int16_t wide = -1234;
  EXPECT_THROW_MSG(EncodeFieldBytes(TFieldType::ftSmallint, 4, 0,
                                    reinterpret_cast<std::uint8_t*>(bytes.data()), &wide),
                   EFieldToLongError, "Fielddata too long :5 (must be between 1 and 4).");
  EXPECT_EQ(bytes, "0123456789");  // nothing written
}

TEST(FieldCodec, DayNumbersCountFromTheFirstOfJanuaryOfYearOne) {
  EXPECT_EQ(DayNumberOfDate(1, 1, 1), 1);
  EXPECT_EQ(DayNumberOfDate(1899, 12, 30), kDateDelta);
  EXPECT_EQ(DayNumberOfDate(2023, 2, 29), 0);
  EXPECT_EQ(DayNumberOfDate(0, 1, 1), 0);
  EXPECT_EQ(DayNumberOfDate(1900, 2, 29), 0);
  EXPECT_NE(DayNumberOfDate(2000, 2, 29), 0);
  for (std::int32_t n = 1; n < 3652059; n += 997) {
    int y = 0, m = 0, d = 0;
    ASSERT_TRUE(DateOfDayNumber(n, y, m, d));
    ASSERT_EQ(DayNumberOfDate(y, m, d), n);
  }
  int y = 9, m = 9, d = 9;
  EXPECT_FALSE(DateOfDayNumber(0, y, m, d));
  EXPECT_EQ(y + m + d, 0);
  EXPECT_EQ(DateTimeToDayNumber(45000.75), 45000 + kDateDelta);
  EXPECT_EQ(DateTimeToDayNumber(1e300), 0);
}

TEST(FieldCodec, DateRuleToleratesShortAndBrokenText) {
  auto date = [](std::string_view text) { return DecodeDbfDate(text, 2026); };
  EXPECT_EQ(date("20240229"), DayNumberOfDate(2024, 2, 29));
  EXPECT_EQ(date("20230229"), 0);
  EXPECT_EQ(date("85"), DayNumberOfDate(1985, 1, 1));
  EXPECT_EQ(date("05"), DayNumberOfDate(2005, 1, 1));
  EXPECT_EQ(date("202403"), DayNumberOfDate(2024, 3, 1));
  EXPECT_EQ(date("20240000"), DayNumberOfDate(2024, 1, 1));
  EXPECT_EQ(date("2024xx15"), DayNumberOfDate(2024, 1, 15));
  EXPECT_EQ(date("0085"), DayNumberOfDate(85, 1, 1));  // four characters: not expanded
  EXPECT_EQ(date("abcdefgh"), 0);
  EXPECT_EQ(ExpandTwoDigitYear(76, 2026), 1976);
  EXPECT_EQ(ExpandTwoDigitYear(75, 2026), 2075);
  EXPECT_EQ(ExpandTwoDigitYear(0, 2026), 2000);
  EXPECT_EQ(ExpandTwoDigitYear(99, 2049), 1999);
  EXPECT_EQ(ExpandTwoDigitYear(99, 2050), 2099);
  std::int32_t day = -1;
  EXPECT_TRUE(Decode(TFieldType::ftDate, std::string("20230229"), day));
  EXPECT_EQ(day, 0);
}

}  // namespace
}  // namespace tavlo
