// Day numbers: known dates, round trips over the whole calendar, times, and the dates before
// 30 December 1899 whose fraction counts away from zero.

#include <cmath>

#include "platform/clock.h"
#include "platform/errors.h"
#include "platform/regional.h"
#include "platformtest.h"

namespace tavlo {
namespace {

TEST(Calendar, KnownDayNumbers) {
  EXPECT_EQ(EncodeDate(1899, 12, 30), 0);
  EXPECT_EQ(EncodeDate(1899, 12, 31), 1);
  EXPECT_EQ(EncodeDate(1900, 1, 1), 2);
  EXPECT_EQ(EncodeDate(1900, 3, 1), 61);  // 1900 is no leap year
  EXPECT_EQ(EncodeDate(2000, 1, 1), 36526);
  EXPECT_EQ(EncodeDate(2024, 2, 29), 45351);
  EXPECT_EQ(EncodeDate(1899, 12, 29), -1);
  EXPECT_EQ(EncodeDate(1, 1, 1), -693593);
  EXPECT_EQ(EncodeDate(9999, 12, 31), 2958465);
}

TEST(Calendar, RoundTripEveryTenthDay) {
  for (int n = -693593; n <= 2958465; n += 10) {
    int y = 0, m = 0, d = 0;
    DecodeDate(n, y, m, d);
    ASSERT_TRUE(IsValidDate(y, m, d)) << n;
    ASSERT_EQ(EncodeDate(y, m, d), n) << y << "-" << m << "-" << d;
  }
  // Cycle edges: last days of 400-, 100- and 4-year cycles.
  for (int year : {1600, 1700, 1896, 1900, 2000, 2100, 2400}) {
    int y = 0, m = 0, d = 0;
    DecodeDate(EncodeDate(year, 12, 31), y, m, d);
    EXPECT_EQ(y * 10000 + m * 100 + d, year * 10000 + 1231);
  }
}

TEST(Calendar, ValidityAndRangeErrors) {
  EXPECT_TRUE(IsValidDate(2024, 2, 29));
  EXPECT_FALSE(IsValidDate(2023, 2, 29));
  EXPECT_FALSE(IsValidDate(1900, 2, 29));
  EXPECT_TRUE(IsValidDate(2000, 2, 29));
  EXPECT_FALSE(IsValidDate(0, 1, 1));
  EXPECT_FALSE(IsValidDate(10000, 1, 1));
  EXPECT_FALSE(IsValidDate(2024, 13, 1));
  EXPECT_FALSE(IsValidDate(2024, 4, 31));
  EXPECT_THROW_MSG(EncodeDate(0, 1, 1), EConvertError, "Invalid argument to date encode");
  EXPECT_THROW_MSG(EncodeDate(2023, 2, 29), EConvertError, "Invalid argument to date encode");
  EXPECT_THROW_MSG(EncodeTime(24, 0, 0, 0), EConvertError, "Invalid argument to time encode");
  EXPECT_THROW_MSG(EncodeTime(0, 0, 0, 1000), EConvertError, "Invalid argument to time encode");
  // Out-of-range day numbers decode to zeros rather than garbage.
  int y = 1, m = 1, d = 1;
  DecodeDate(3e6, y, m, d);
  EXPECT_EQ(y + m + d, 0);
  DecodeDate(std::nan(""), y, m, d);
  EXPECT_EQ(y + m + d, 0);
}

TEST(Calendar, TimeOfDay) {
  EXPECT_EQ(EncodeTime(12, 0, 0, 0), 0.5);
  EXPECT_EQ(EncodeTime(18, 0, 0, 0), 0.75);
  int h = 0, n = 0, s = 0, ms = 0;
  DecodeTime(EncodeDate(2026, 12, 8) + EncodeTime(14, 5, 9, 123), h, n, s, ms);
  EXPECT_EQ(h * 10000000 + n * 100000 + s * 1000 + ms, 140509123);
  for (int minute = 0; minute < 24 * 60; minute += 7) {
    DecodeTime(EncodeTime(minute / 60, minute % 60, 59, 999), h, n, s, ms);
    ASSERT_EQ(h * 60 + n, minute);
    ASSERT_EQ(s * 1000 + ms, 59999);
  }
}

TEST(Calendar, RoundingToMidnightCarriesIntoTheNextDay) {
  double almost = EncodeDate(2024, 12, 31) + 0.9999999999;
  int y = 0, m = 0, d = 0, h = 1, n = 1, s = 1, ms = 1;
  DecodeDate(almost, y, m, d);
  DecodeTime(almost, h, n, s, ms);
  EXPECT_EQ(y * 10000 + m * 100 + d, 20250101);
  EXPECT_EQ(h + n + s + ms, 0);
}

TEST(Calendar, DatesBefore1899KeepTheirTimeOfDay) {
  // -1.25 is 29 December 1899, 06:00: the fraction is the time, not a step back.
  double t = ComposeDateTime(EncodeDate(1899, 12, 29), EncodeTime(6, 0, 0, 0));
  EXPECT_EQ(t, -1.25);
  int y = 0, m = 0, d = 0, h = 0, n = 0, s = 0, ms = 0;
  DecodeDate(t, y, m, d);
  DecodeTime(t, h, n, s, ms);
  EXPECT_EQ(y * 10000 + m * 100 + d, 18991229);
  EXPECT_EQ(h, 6);
  // -0.5 is still 30 December 1899, at noon.
  DecodeDate(-0.5, y, m, d);
  DecodeTime(-0.5, h, n, s, ms);
  EXPECT_EQ(y * 10000 + m * 100 + d, 18991230);
  EXPECT_EQ(h, 12);
  EXPECT_EQ(ComposeDateTime(2, 0.5), 2.5);
}

TEST(Calendar, DayOfWeek) {
  EXPECT_EQ(DayOfWeek(EncodeDate(1899, 12, 30)), 7);  // Saturday
  EXPECT_EQ(DayOfWeek(EncodeDate(2026, 12, 8)), 3);   // Tuesday
  EXPECT_EQ(DayOfWeek(EncodeDate(1, 1, 1)), 2);       // Monday
  EXPECT_EQ(DayOfWeek(EncodeDate(1815, 6, 18)), 1);   // Sunday, before day 0
  EXPECT_EQ(DayOfWeek(-1.75), 6);                     // 29 Dec 1899, a Friday
}

TEST(Calendar, TwoDigitYearsFollowTheCurrentYear) {
  int now = 0, m = 0, d = 0;
  DecodeDate(LocalNow(), now, m, d);
  for (int y = 0; y < 100; ++y) {
    int full = ExpandTwoDigitYear(y);
    ASSERT_EQ(full % 100, y);
    ASSERT_GE(full, now - 50);
    ASSERT_LE(full, now + 49);
  }
  EXPECT_EQ(ExpandTwoDigitYear(1985), 1985);
}

}  // namespace
}  // namespace tavlo
