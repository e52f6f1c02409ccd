// Number text: the general format, fixed-point text and the parser, with '.' and ',' as the
// decimal separator.

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>

#include "platform/errors.h"
#include "platform/regional.h"
#include "platformtest.h"

namespace tavlo {
namespace {

struct Shown {
  double value;
  const char* text;
};

TEST(NumberText, GeneralFormat) {
  ScopedRegionalSettings dot{RegionalSettings{}};
  const Shown cases[] = {
      {0, "0"},
      {-0.0, "0"},
      {1, "1"},
      {-42, "-42"},
      {123.45, "123.45"},
      {0.1 + 0.2, "0.3"},  // fifteen digits hide the binary noise
      {1.0 / 3, "0.333333333333333"},
      {2.0 / 3, "0.666666666666667"},
      {100, "100"},
      {123456789012345, "123456789012345"},
      {1234567890123456, "1.23456789012346E15"},
      {1.5e20, "1.5E20"},
      {0.0001, "0.0001"},
      {0.00001, "1E-5"},
      {-1.25e-7, "-1.25E-7"},
      {1e100, "1E100"},
      {std::numeric_limits<double>::infinity(), "INF"},
      {-std::numeric_limits<double>::infinity(), "-INF"},
  };
  for (const Shown& c : cases) EXPECT_EQ(FloatToText(c.value), c.text) << c.text;
}

TEST(NumberText, RegionalSeparator) {
  ScopedRegionalSettings comma{testing::CommaSettings()};
  EXPECT_EQ(FloatToText(123.45), "123,45");
  EXPECT_EQ(FloatToText(-2.5e-9), "-2,5E-9");
  EXPECT_EQ(FloatToFixed(3.14159, 2), "3,14");
  double v = 0;
  EXPECT_TRUE(TextToFloat("123,45", v));
  EXPECT_EQ(v, 123.45);
  EXPECT_FALSE(TextToFloat("123.45", v));   // the other separator is no number here
  EXPECT_FALSE(TextToFloat("1.234,5", v));  // nor are thousands separators
  EXPECT_THROW_MSG(TextToFloatOrThrow("1.5"), EConvertError,
                   "'1.5' is not a valid floating point value");
}

TEST(NumberText, FixedPoint) {
  ScopedRegionalSettings dot{RegionalSettings{}};
  EXPECT_EQ(FloatToFixed(3.14159, 2), "3.14");
  EXPECT_EQ(FloatToFixed(5, 0), "5");
  EXPECT_EQ(FloatToFixed(123.456, 2), "123.46");
  EXPECT_EQ(FloatToFixed(1.005, 2), "1.01");  // rounded as written, not as stored
  EXPECT_EQ(FloatToFixed(2.675, 2), "2.68");
  EXPECT_EQ(FloatToFixed(9.995, 2), "10.00");
  EXPECT_EQ(FloatToFixed(-0.5, 0), "-1");
  EXPECT_EQ(FloatToFixed(-0.001, 2), "0.00");  // no minus sign on a rounded zero
  EXPECT_EQ(FloatToFixed(0.000123, 5), "0.00012");
  EXPECT_EQ(FloatToFixed(0.0004, 3), "0.000");
  EXPECT_EQ(FloatToFixed(0.0005, 3), "0.001");
  EXPECT_EQ(FloatToFixed(0, 3), "0.000");
  EXPECT_EQ(FloatToFixed(1e20, 1), "100000000000000000000.0");
  EXPECT_EQ(FloatToFixed(-12345678901.5, 2), "-12345678901.50");
  EXPECT_THROW(FloatToFixed(1, -1), EConvertError);
}

TEST(NumberText, ParserGrammar) {
  ScopedRegionalSettings dot{RegionalSettings{}};
  struct Parsed {
    const char* text;
    bool ok;
    double value;
  };
  const Parsed cases[] = {
      {"0", true, 0},      {"  12.5  ", true, 12.5}, {"+3", true, 3},         {"-3.", true, -3},
      {".5", true, 0.5},   {"1e3", true, 1000},      {"1.5E-2", true, 0.015}, {"2E+2", true, 200},
      {"1e-400", true, 0}, {"", false, 0},           {"   ", false, 0},       {".", false, 0},
      {"-", false, 0},     {"1e", false, 0},         {"1e+", false, 0},       {"e5", false, 0},
      {"1 2", false, 0},   {"12a", false, 0},        {"inf", false, 0},       {"nan", false, 0},
      {"0x10", false, 0},  {"1e400", false, 0},      {"1,5", false, 0},       {"--1", false, 0},
  };
  for (const Parsed& c : cases) {
    double v = -99;
    EXPECT_EQ(TextToFloat(c.text, v), c.ok) << '"' << c.text << '"';
    EXPECT_EQ(v, c.ok ? c.value : -99) << c.text;
  }
  double v = 0;
  std::string longText(200, '0');
  longText += "1.5";
  EXPECT_TRUE(TextToFloat(longText, v));
  EXPECT_EQ(v, 1.5);
}

TEST(NumberText, ParserMatchesTheCorrectlyRoundedValue) {
  ScopedRegionalSettings dot{RegionalSettings{}};
  std::uint64_t seed = 12345;
  auto next = [&seed] { return seed = seed * 6364136223846793005ULL + 1442695040888963407ULL; };
  for (int i = 0; i < 20000; ++i) {
    // Digits, a point somewhere and an exponent: fast and slow paths alike.
    std::string text = std::to_string(next() >> (next() % 60));
    text.insert(next() % (text.size() + 1), ".");
    if (i % 3 == 0) text += "e" + std::to_string(static_cast<int>(next() % 80) - 40);
    double v = 0;
    ASSERT_TRUE(TextToFloat(text, v)) << text;
    ASSERT_EQ(v, std::strtod(text.c_str(), nullptr)) << text;
  }
}

TEST(NumberText, TextRoundTrip) {
  ScopedRegionalSettings comma{testing::CommaSettings()};
  for (double x : {1.0, -0.1, 3.14159265358979, 6.02214076e23, 1.602176634e-19, 12345.6789}) {
    double back = 0;
    ASSERT_TRUE(TextToFloat(FloatToText(x), back)) << FloatToText(x);
    EXPECT_NEAR(back, x, std::fabs(x) * 1e-14);
  }
}

}  // namespace
}  // namespace tavlo
