// The calendar of day numbers: days since 30 December 1899 in the proleptic Gregorian
// calendar, the fraction being the time of day. Before day 0 the number is negative and its
// fraction still counts the time of day, away from zero. Years run from 1 to 9999.

#include <cmath>
#include <cstdint>

#include "platform/clock.h"
#include "platform/datetimeparts.h"
#include "platform/errors.h"
#include "platform/regional.h"

namespace tavlo {
namespace {

// Days from 1 January 0001 (day 1) to 30 December 1899.
constexpr std::int64_t kDateDelta = 693594;
constexpr std::int64_t kMillisecondsPerDay = 86400000;
// The day numbers of 1 January 0001 and 31 December 9999.
constexpr double kMinDay = -693593;
constexpr double kMaxDay = 2958465;

bool IsLeapYear(int year) {
  return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

}  // namespace

int DaysInMonth(int year, int month) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool IsValidDate(int year, int month, int day) {
  return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
         day <= DaysInMonth(year, month);
}

double EncodeDate(int year, int month, int day) {
  if (!IsValidDate(year, month, day)) throw EConvertError("Invalid argument to date encode");
  std::int64_t dayOfYear = day;
  for (int m = 1; m < month; ++m) dayOfYear += DaysInMonth(year, m);
  std::int64_t y = year - 1;
  return static_cast<double>(y * 365 + y / 4 - y / 100 + y / 400 + dayOfYear - kDateDelta);
}

double EncodeTime(int hour, int minute, int second, int millisecond) {
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 ||
      millisecond < 0 || millisecond > 999)
    throw EConvertError("Invalid argument to time encode");
  std::int64_t ms = ((hour * 60LL + minute) * 60 + second) * 1000 + millisecond;
  return static_cast<double>(ms) / kMillisecondsPerDay;
}

double ComposeDateTime(double date, double time) {
  double day = std::trunc(date);
  double fraction = std::fabs(time - std::trunc(time));
  return day < 0 ? day - fraction : day + fraction;
}

bool SplitDateTime(double dateTime, std::int64_t& day, std::int64_t& millisecondOfDay) {
  if (!std::isfinite(dateTime) || dateTime <= kMinDay - 1 || dateTime >= kMaxDay + 1) {
    day = 0;
    millisecondOfDay = 0;
    return false;
  }
  double whole = std::trunc(dateTime);
  day = static_cast<std::int64_t>(whole);
  millisecondOfDay = std::llround(std::fabs(dateTime - whole) * kMillisecondsPerDay);
  // 23:59:59.9996 rounds to midnight of the next calendar day, on either side of day 0.
  if (millisecondOfDay >= kMillisecondsPerDay) {
    millisecondOfDay = 0;
    day += 1;
  }
  return day >= kMinDay && day <= kMaxDay;
}

void CivilFromDay(std::int64_t dayNumber, int& year, int& month, int& day) {
  // Whole 400-, 100-, 4- and 1-year cycles counted from 1 January 0001.
  std::int64_t t = dayNumber + kDateDelta - 1;
  std::int64_t y = 1;
  y += (t / 146097) * 400;
  t %= 146097;
  std::int64_t centuries = t / 36524;
  if (centuries == 4) centuries = 3;  // the last day of a 400-year cycle
  y += centuries * 100;
  t -= centuries * 36524;
  y += (t / 1461) * 4;
  t %= 1461;
  std::int64_t years = t / 365;
  if (years == 4) years = 3;  // the last day of a leap cycle
  y += years;
  t -= years * 365;
  year = static_cast<int>(y);
  month = 1;
  while (t >= DaysInMonth(year, month)) {
    t -= DaysInMonth(year, month);
    ++month;
  }
  day = static_cast<int>(t) + 1;
}

void DecodeDate(double dateTime, int& year, int& month, int& day) {
  std::int64_t dayNumber = 0;
  std::int64_t ms = 0;
  if (!SplitDateTime(dateTime, dayNumber, ms)) {
    year = month = day = 0;
    return;
  }
  CivilFromDay(dayNumber, year, month, day);
}

void DecodeTime(double dateTime, int& hour, int& minute, int& second, int& millisecond) {
  std::int64_t dayNumber = 0;
  std::int64_t ms = 0;
  SplitDateTime(dateTime, dayNumber, ms);
  millisecond = static_cast<int>(ms % 1000);
  ms /= 1000;
  second = static_cast<int>(ms % 60);
  ms /= 60;
  minute = static_cast<int>(ms % 60);
  hour = static_cast<int>(ms / 60);
}

int DayOfWeek(double dateTime) {
  std::int64_t dayNumber = 0;
  std::int64_t ms = 0;
  SplitDateTime(dateTime, dayNumber, ms);
  // 1 January 0001 (day 1 counted from there) was a Monday.
  std::int64_t t = dayNumber + kDateDelta;
  return static_cast<int>(((t % 7) + 7) % 7) + 1;
}

int CurrentYear() {
  int year = 0;
  int month = 0;
  int day = 0;
  DecodeDate(LocalNow(), year, month, day);
  return year;
}

int ExpandTwoDigitYear(int year) {
  if (year < 0 || year >= 100) return year;
  int pivot = CurrentYear() - 50;
  int result = (pivot / 100) * 100 + year;
  if (result < pivot) result += 100;
  return result;
}

}  // namespace tavlo
