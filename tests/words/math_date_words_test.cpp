// The math and date words through TqelScript: results, rounding, domain errors, ranges of
// the random words, and the date texts.
#include <cmath>

#include "platform/clock.h"
#include "platform/regional.h"
#include "wordtest.h"

namespace tavlo {
namespace {

using MathWords = WordTest;
using DateWords = WordTest;

constexpr double kPi = 3.14159265358979323846;

TEST_F(MathWords, PowerRootsAndLogs) {
  EXPECT_EQ(RunNumber("2 10 ^"), 1024.0);
  EXPECT_DOUBLE_EQ(RunNumber("9 0.5 ^"), 3.0);
  EXPECT_EQ(RunNumber("-2 3 ^"), -8.0);
  EXPECT_EQ(RunNumber("3 sqr"), 9.0);
  EXPECT_EQ(RunNumber("16 sqrt"), 4.0);
  EXPECT_DOUBLE_EQ(RunNumber("1 exp"), std::exp(1.0));
  EXPECT_DOUBLE_EQ(RunNumber("1 exp ln"), 1.0);
  EXPECT_DOUBLE_EQ(RunNumber("1000 log10"), 3.0);
  EXPECT_DOUBLE_EQ(RunNumber("8 log2"), 3.0);
  EXPECT_TRUE(Run("-4 abs").IsReal());
  EXPECT_EQ(RunNumber("-4 abs"), 4.0);
}

TEST_F(MathWords, DomainErrorsAndOverflowRaise) {
  EXPECT_EQ(Failure("-1 sqrt"), "Invalid floating point operation");
  EXPECT_EQ(Failure("-1 ln"), "Invalid floating point operation");
  EXPECT_EQ(Failure("0 log10"), "Floating point division by zero");
  EXPECT_EQ(Failure("2 arcsin"), "Invalid floating point operation");
  EXPECT_EQ(Failure("-1.5 arccos"), "Invalid floating point operation");
  EXPECT_EQ(Failure("-8 0.5 ^"), "Invalid floating point operation");
  EXPECT_EQ(Failure("0 -1 ^"), "Floating point division by zero");
  EXPECT_EQ(Failure("1000 exp"), "Floating point overflow");
  EXPECT_EQ(Failure("10 400 ^"), "Floating point overflow");
  EXPECT_EQ(Failure("'abc' sqrt"), "Invalid variant type conversion");
  EXPECT_EQ(Failure("sqrt"), "stack underflow");
}

TEST_F(MathWords, IntegerPartsAndRounding) {
  EXPECT_EQ(RunNumber("-2.7 int"), -2.0);
  EXPECT_TRUE(Run("-2.7 int").IsReal());
  EXPECT_NEAR(RunNumber("-2.7 frac"), -0.7, 1e-12);
  EXPECT_EQ(RunInteger("-2.7 trunc"), -2);
  EXPECT_EQ(RunInteger("-2.7 round"), -3);
  EXPECT_EQ(RunInteger("0.5 round"), 0);
  EXPECT_EQ(RunInteger("1.5 round"), 2);
  EXPECT_EQ(RunInteger("2.5 round"), 2);
  EXPECT_EQ(RunInteger("3.5 round"), 4);
  EXPECT_EQ(RunInteger("-2.5 round"), -2);
  // Beyond 32 bits there is no integer to give.
  EXPECT_EQ(Failure("1e10 round"), "Invalid floating point operation");
  EXPECT_EQ(Failure("-1e10 trunc"), "Invalid floating point operation");
  EXPECT_EQ(RunInteger("2147483647.4 trunc"), 2147483647);
}

TEST_F(MathWords, Trigonometry) {
  EXPECT_DOUBLE_EQ(RunNumber("pi"), kPi);
  EXPECT_DOUBLE_EQ(RunNumber("1 0 arctan2"), kPi / 2);
  EXPECT_DOUBLE_EQ(RunNumber("0 -1 arctan2"), kPi);
  EXPECT_DOUBLE_EQ(RunNumber("-1 0 arctan2"), -kPi / 2);
  EXPECT_EQ(RunNumber("1 arccos"), 0.0);
  EXPECT_DOUBLE_EQ(RunNumber("1 arcsin"), kPi / 2);
  EXPECT_DOUBLE_EQ(RunNumber("-1 arcsin"), -kPi / 2);
  EXPECT_DOUBLE_EQ(RunNumber("1 arctan"), kPi / 4);
  EXPECT_NEAR(RunNumber("pi 2 / sin"), 1.0, 1e-15);
  EXPECT_NEAR(RunNumber("pi cos"), -1.0, 1e-15);
  EXPECT_NEAR(RunNumber("pi 4 / tan"), 1.0, 1e-15);
  EXPECT_EQ(RunNumber("1e19 sin"), 0.0);
  EXPECT_EQ(RunNumber("-1e19 cos"), 0.0);
}

TEST_F(MathWords, RandomRanges) {
  Run("randomize");
  EXPECT_EQ(script.StackCount(), 0);
  bool seen[6] = {};
  for (int i = 0; i < 300; ++i) {
    const std::int32_t n = RunInteger("6 random");
    ASSERT_GE(n, 0);
    ASSERT_LE(n, 5);
    seen[n] = true;
    const double r = RunNumber("0 random");
    ASSERT_GE(r, 0.0);
    ASSERT_LT(r, 1.0);
    const std::int32_t m = RunInteger("-3 random");
    ASSERT_GE(m, -2);
    ASSERT_LE(m, 0);
  }
  for (bool s : seen) EXPECT_TRUE(s);
  EXPECT_EQ(RunInteger("1 random"), 0);
}

TEST_F(MathWords, GaussianHasItsMeanAndDeviation) {
  double sum = 0, squares = 0;
  const int n = 4000;
  for (int i = 0; i < n; ++i) {
    const double x = RunNumber("10 2 randg");
    sum += x;
    squares += x * x;
  }
  const double mean = sum / n;
  const double deviation = std::sqrt(squares / n - mean * mean);
  EXPECT_NEAR(mean, 10.0, 0.2);
  EXPECT_NEAR(deviation, 2.0, 0.2);
}

TEST_F(DateWords, EasterAndDateTexts) {
  EXPECT_EQ(RunText("2024 easter datestr"), "31-Mar-2024");
  EXPECT_EQ(RunText("2025 easter datestr"), "20-Apr-2025");
  EXPECT_EQ(RunText("2000 easter datestr"), "23-Apr-2000");
  EXPECT_EQ(RunText("1818 easter datestr"), "22-Mar-1818");
  EXPECT_EQ(RunText("1943 easter datestr"), "25-Apr-1943");
  const Variant easter = Run("2024 easter");
  ASSERT_TRUE(easter.IsDate());
  EXPECT_EQ(easter.RealValue(), EncodeDate(2024, 3, 31));
  EXPECT_EQ(RunText("0 datestr"), "30-Dec-1899");
  EXPECT_EQ(RunText("0.75 timestr"), "18:00:00");
  EXPECT_EQ(RunText("45000.5 timestr"), "12:00:00");
  EXPECT_THROW(Run("0 easter"), EConvertError);
  EXPECT_THROW(Run("10000 easter"), EConvertError);
}

TEST_F(DateWords, MonthNamesFollowTheRegion) {
  RegionalSettings german;
  german.shortMonthNames[2] = "Mrz";
  ScopedRegionalSettings scope(german);
  EXPECT_EQ(RunText("2024 easter datestr"), "31-Mrz-2024");
}

TEST_F(DateWords, NowIsTheCurrentMoment) {
  const double before = LocalNow();
  const Variant now = Run("now");
  ASSERT_TRUE(now.IsDate());
  EXPECT_GE(now.RealValue(), before - 1e-6);
  EXPECT_LE(now.RealValue(), LocalNow() + 1e-6);
}

}  // namespace
}  // namespace tavlo
