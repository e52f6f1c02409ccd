// Regional settings (decimal separator, short date format, month and day names) and the
// locale-dependent number and date conversions built on them. Read once at start from the C
// library's locale; tests install their own values with ScopedRegionalSettings.
#pragma once

#include <array>
#include <string>

namespace tavlo {

struct RegionalSettings {
  char decimalSeparator = '.';
  char thousandSeparator = ',';
  char dateSeparator = '/';
  char timeSeparator = ':';
  // Delphi-style pattern letters: d dd m mm mmm yyyy, always with a four-digit year.
  std::string shortDateFormat = "mm/dd/yyyy";
  std::string longTimeFormat = "hh:nn:ss";
  std::array<std::string, 12> shortMonthNames{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::array<std::string, 12> longMonthNames{"January",   "February", "March",    "April",
                                             "May",       "June",     "July",     "August",
                                             "September", "October",  "November", "December"};
  std::array<std::string, 7> shortDayNames{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  std::array<std::string, 7> longDayNames{"Sunday",   "Monday", "Tuesday", "Wednesday",
                                          "Thursday", "Friday", "Saturday"};
};

// Settings read from the C library locale (nl_langinfo) of the process environment.
RegionalSettings RegionalSettingsFromLocale();
// The settings in force.
const RegionalSettings& Regional();

class ScopedRegionalSettings {
 public:
  explicit ScopedRegionalSettings(const RegionalSettings& replacement);
  ~ScopedRegionalSettings();
  ScopedRegionalSettings(const ScopedRegionalSettings&) = delete;
  ScopedRegionalSettings& operator=(const ScopedRegionalSettings&) = delete;

 private:
  RegionalSettings previous_;
};

// Dates are day numbers: days since 30 December 1899, the fraction being the time of day.
// Raises EConvertError for a date that cannot be represented (year outside 1..9999).
double EncodeDate(int year, int month, int day);
double EncodeTime(int hour, int minute, int second, int millisecond);
void DecodeDate(double dateTime, int& year, int& month, int& day);
void DecodeTime(double dateTime, int& hour, int& minute, int& second, int& millisecond);
bool IsValidDate(int year, int month, int day);
int DayOfWeek(double dateTime);  // 1 = Sunday .. 7 = Saturday
// A date plus a time of day. Before 30 December 1899 the day number is negative and the time
// counts away from zero (-1.25 is 29 December 1899, 06:00), so this is not a plain sum.
double ComposeDateTime(double date, double time);
// A year below 100 moved into the span from 50 years before to 49 years after the current
// year; other years unchanged.
int ExpandTwoDigitYear(int year);

// Number text: up to 15 significant digits, the regional decimal separator, no thousands
// separator, exponent form when the magnitude demands it (as a desktop FloatToStr does).
std::string FloatToText(double value);
// Parses a number written with the regional decimal separator (leading/trailing blanks
// allowed, optional sign and exponent). Returns false when the text is not a number.
bool TextToFloat(const std::string& text, double& value);
// As TextToFloat, raising EConvertError "'%s' is not a valid floating point value".
double TextToFloatOrThrow(const std::string& text);
// Fixed-point text with the given number of decimals and the regional separator.
// Raises EConvertError for negative decimals and for more than kMaxFixedDecimals.
std::string FloatToFixed(double value, int decimals);
// The most decimals a double can fill: the smallest one, about 4.9e-324, shows its fifteen
// significant digits within 338 decimals; every further decimal of any double is a zero.
constexpr int kMaxFixedDecimals = 338;

// Date text in the short date format; DateTimeToText adds the time when there is a fraction.
std::string DateToText(double date);
std::string TimeToText(double time);  // long time format
std::string DateTimeToText(double dateTime);
// Parses a date (and optional time) in the short date format's order with any of the usual
// separators; two-digit years are expanded within a 100-year window. False when invalid.
bool TextToDateTime(const std::string& text, double& dateTime);
// As TextToDateTime, raising EConvertError "'%s' is not a valid date".
double TextToDateTimeOrThrow(const std::string& text);
// Formats with Delphi-style pattern letters (d dd ddd dddd ddddd m mm mmm mmmm yy yyyy h hh
// n nn s ss z zzz am/pm a/p c t tt, quoted literals), using the regional names. An m right
// after an h means minutes; '/' and ':' stand for the regional date and time separators.
std::string FormatDateTime(const std::string& pattern, double dateTime);

}  // namespace tavlo
