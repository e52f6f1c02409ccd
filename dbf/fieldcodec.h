// The field codec: fixed-width field bytes of a record to and from native values, the
// number text of N and F fields, the date rule of D fields and day numbers. Pure functions
// over byte ranges, allocation-free on the decode path; the regional decimal separator is
// the only outside setting they read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "dbf/fieldinfo.h"
#include "platform/regional.h"
#include "text/trim.h"

namespace tavlo {

// Native day numbers: 1 is 0001-01-01 of the proleptic Gregorian calendar, 0 means "not a
// valid date". kDateDelta converts to the platform's day numbers (0 = 1899-12-30).
constexpr std::int32_t kDateDelta = 693594;

// Day number of a valid calendar date; 0 when year, month and day do not form one.
std::int32_t DayNumberOfDate(int year, int month, int day);
// Calendar date of a day number; false (and zeros) for day numbers below 1.
bool DateOfDayNumber(std::int32_t dayNumber, int& year, int& month, int& day);
inline double DayNumberToDateTime(std::int32_t dayNumber) {
  return static_cast<double>(dayNumber) - kDateDelta;
}
// The whole days of a platform day number (fraction dropped) as a native day number.
std::int32_t DateTimeToDayNumber(double dateTime);

// The first character of a stored logical that means true: T, t, Y or y. F, f, N, n and
// anything else mean false; "?" is null (DecodeFieldBytes).
bool LogicalIsTrue(char first);

// Trims characters 0..32 from both ends of a field's bytes.
inline std::string_view TrimFieldBytes(const std::uint8_t* bytes, std::size_t length) {
  return TrimControl({reinterpret_cast<const char*>(bytes), length});
}

enum class WholeNumberParse { Ok, NotANumber, OutOfRange };
// Optional sign and decimal digits, nothing else. OutOfRange beyond 64 bits.
WholeNumberParse ParseWholeNumber(std::string_view text, std::int64_t& value);
// The value of a whole-number field from its trimmed text: false when it holds none (blank,
// or digits beyond 64 bits); a text that is no number reads as 0, as the field shows it.
inline bool WholeNumberValue(std::string_view trimmed, std::int64_t& value) {
  if (trimmed.empty()) return false;
  switch (ParseWholeNumber(trimmed, value)) {
    case WholeNumberParse::Ok:
      return true;
    case WholeNumberParse::NotANumber:
      value = 0;
      return true;
    case WholeNumberParse::OutOfRange:
      return false;
  }
  return false;
}

// Replaces the first '.' by the regional decimal separator and parses; 0 when the text is
// not a number.
double DbfTextToFloat(std::string_view text);
// Fixed point with exactly decimals digits (at most min(length, 18) significant digits,
// exponent form when the integer part has more), '.' as the separator, no padding.
std::string FloatToDbfText(int length, int decimals, double value);

// A two-digit year in the window from 50 years before to 49 years after currentYear; other
// years unchanged. ExpandTwoDigitYear(year) against the current year is in platform/regional.h.
int ExpandTwoDigitYear(int year, int currentYear);
// The date rule of D fields on trimmed text: day number, 0 when it is no valid date.
std::int32_t DecodeDbfDate(std::string_view trimmed, int currentYear);
std::int32_t DecodeDbfDate(std::string_view trimmed);

// Native value of one field's bytes (layouts as TDbfFile::DecodeField); false when null or,
// with a destination, for a whole number outside the range of the native type.
bool DecodeFieldBytes(TFieldType type, const std::uint8_t* bytes, std::size_t length,
                      void* destination);
// The stored text of a native value before padding: whole numbers right-aligned, float
// fixed point right-aligned, "T"/"F", "yyyymmdd", memo block numbers as ftInteger.
std::string EncodeFieldText(TFieldType type, int length, int decimals, const void* value);
// Writes value (nullptr: null) as exactly length bytes at bytes. Strings are cut to the
// length; any other text longer than the field raises EFieldToLongError before anything is
// written.
void EncodeFieldBytes(TFieldType type, int length, int decimals, std::uint8_t* bytes,
                      const void* value);

}  // namespace tavlo
