// Field bytes to native values and back: whole numbers, the fixed-point text of numeric
// fields, logicals, the date rule and native day numbers.
#include "dbf/fieldcodec.h"

#include <algorithm>
#include <cassert>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "dbf/dbferrors.h"
#include "platform/clock.h"
#include "platform/decimaldigits.h"
#include "platform/regional.h"

namespace tavlo {

namespace {

// Days from 1970-01-01 of a proleptic Gregorian date (valid dates only).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

// Native day 1 (0001-01-01) is day -719162 counted from 1970-01-01.
constexpr std::int64_t kNativeToUnix = 719163;
constexpr std::int32_t kLastDayNumber = 3652059;  // 9999-12-31

bool IsLeapYear(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

int CurrentYear() {
  int year = 0, month = 0, day = 0;
  DecodeDate(LocalNow(), year, month, day);
  return year;
}

// The integer of text[pos-1 .. pos-1+count) read as a whole number (blanks before it
// allowed), or fallback when it does not read as one.
int IntegerAt(std::string_view text, std::size_t pos, std::size_t count, int fallback) {
  if (pos - 1 >= text.size()) return fallback;
  std::string_view part = text.substr(pos - 1, count);
  while (!part.empty() && part.front() == ' ') part.remove_prefix(1);
  std::int64_t value = 0;
  if (ParseWholeNumber(part, value) != WholeNumberParse::Ok) return fallback;
  return static_cast<int>(value);  // at most four characters: always in range
}

std::int32_t DecodeDbfDateWith(std::string_view t, int currentYear) {
  if (t.size() == 8 &&
      std::all_of(t.begin(), t.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    auto digits = [&](int from, int count) {
      int value = 0;
      for (int i = from; i < from + count; ++i) value = value * 10 + (t[i] - '0');
      return value;
    };
    // The common case, without the fallbacks: only zero day or month need the full rule.
    int day = digits(6, 2), month = digits(4, 2);
    if (day != 0 && month != 0) return DayNumberOfDate(digits(0, 4), month, day);
  }
  int day = IntegerAt(t, 7, 2, 1);
  int month = IntegerAt(t, 5, 2, 1);
  int year = IntegerAt(t, 1, 4, 0);
  if (day == 0) day = 1;
  if (month == 0) month = 1;
  if (year < 100) {
    const std::string_view head = TrimControl(t.substr(0, std::min<std::size_t>(4, t.size())));
    if (head.size() == 1 || head.size() == 2) {
      year = ExpandTwoDigitYear(year, currentYear < 0 ? CurrentYear() : currentYear);
    }
  }
  return DayNumberOfDate(year, month, day);
}

void PadLeft(std::string& text, int length) {
  if (static_cast<int>(text.size()) < length) text.insert(0, length - text.size(), ' ');
}

}  // namespace

std::int32_t DayNumberOfDate(int year, int month, int day) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
      day > DaysInMonth(year, month)) {
    return 0;
  }
  return static_cast<std::int32_t>(DaysFromCivil(year, month, day) + kNativeToUnix);
}

bool DateOfDayNumber(std::int32_t dayNumber, int& year, int& month, int& day) {
  if (dayNumber < 1 || dayNumber > kLastDayNumber) {
    year = month = day = 0;
    return false;
  }
  // Inverse of DaysFromCivil.
  std::int64_t z = dayNumber - kNativeToUnix + 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (month <= 2));
  return true;
}

std::int32_t DateTimeToDayNumber(double dateTime) {
  if (!(dateTime > -kDateDelta - 1.0) || !(dateTime < kLastDayNumber - kDateDelta + 1.0)) {
    return 0;
  }
  std::int32_t result = static_cast<std::int32_t>(std::trunc(dateTime)) + kDateDelta;
  return result < 1 ? 0 : result;
}

bool LogicalIsTrue(char first) {
  return first == 'T' || first == 't' || first == 'Y' || first == 'y';
}

WholeNumberParse ParseWholeNumber(std::string_view text, std::int64_t& value) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i == text.size()) return WholeNumberParse::NotANumber;
  // Accumulate negatively so that the most negative 64-bit number parses too.
  std::int64_t result = 0;
  bool overflow = false;
  constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
  for (; i < text.size(); ++i) {
    char c = text[i];
    if (c < '0' || c > '9') return WholeNumberParse::NotANumber;
    int digit = c - '0';
    if (result < (kMin + digit) / 10) overflow = true;
    if (!overflow) result = result * 10 - digit;
  }
  if (overflow) return WholeNumberParse::OutOfRange;
  if (!negative) {
    if (result == kMin) return WholeNumberParse::OutOfRange;
    result = -result;
  }
  value = result;
  return WholeNumberParse::Ok;
}

// Plain fixed-point text ("-123.45") of at most 15 digits: the digits make an exact integer
// and the division by an exact power of ten rounds correctly, as a full parse would.
bool FastFixedPoint(std::string_view text, char separator, double& value) {
  static constexpr double kPowers[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                       1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  std::int64_t mantissa = 0;
  int digits = 0, decimals = -1;
  bool dotSeen = false;
  for (; i < text.size(); ++i) {
    char c = text[i];
    if (c >= '0' && c <= '9') {
      mantissa = mantissa * 10 + (c - '0');
      if (++digits > 15) return false;
      if (decimals >= 0) ++decimals;
    } else if ((c == '.' && !dotSeen) || c == separator) {
      if (decimals >= 0) return false;
      dotSeen = dotSeen || c == '.';
      decimals = 0;
    } else {
      return false;
    }
  }
  if (digits == 0) return false;
  double result = static_cast<double>(mantissa) / kPowers[decimals < 0 ? 0 : decimals];
  value = negative ? -result : result;
  return true;
}

double DbfTextToFloat(std::string_view text) {
  const char separator = Regional().decimalSeparator;
  double fast = 0;
  if (FastFixedPoint(text, separator, fast)) return fast;
  char small[64];
  std::string large;
  char* buffer = small;
  if (text.size() >= sizeof small) {
    large.resize(text.size());
    buffer = large.data();
  }
  // The first '.' stands for the regional separator; then exactly one separator may act as
  // the decimal point. from_chars wants '.', so map it back and poison any other '.'.
  bool dotReplaced = false, haveSeparator = false;
  std::size_t n = 0;
  for (char c : text) {
    if (c == '.' && !dotReplaced) {
      dotReplaced = true;
      c = separator;
    }
    if (c == separator) {
      if (haveSeparator) return 0;
      haveSeparator = true;
      c = '.';
    } else if (c == '.') {
      return 0;
    } else if (!((c >= '0' && c <= '9') || c == '+' || c == '-' || c == 'e' || c == 'E')) {
      return 0;
    }
    buffer[n++] = c;
  }
  const char* begin = buffer;
  const char* end = buffer + n;
  if (begin != end && *begin == '+') ++begin;  // from_chars takes no '+' sign
  if (begin != end && *begin == '+') return 0;
  double value = 0;
  auto [ptr, ec] = std::from_chars(begin, end, value, std::chars_format::general);
  if (ec != std::errc() || ptr != end) return 0;
  return value;
}

std::string FloatToDbfText(int length, int decimals, double value) {
  const int precision = std::clamp(length, 1, 18);
  decimals = std::max(decimals, 0);
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  const bool negative = std::signbit(value);
  // 18 significant decimal digits and the exponent, then rounded half away from zero at the
  // last digit kept, as the fixed format of the desktop does.
  char scientific[40];
  std::snprintf(scientific, sizeof scientific, "%.17e", std::fabs(value));
  std::string digits;
  digits.push_back(scientific[0]);
  digits.append(scientific + 2, 17);
  int exponent = std::atoi(std::strchr(scientific, 'e') + 1);
  bool zero = value == 0;
  if (!zero) {
    int keep = std::min(precision, exponent + 1 + decimals);
    if (keep < 0) {
      zero = true;
    } else {
      RoundDigits(digits, keep, exponent);
      if (digits.find_first_not_of('0') == std::string::npos) zero = true;
    }
  }
  if (zero) {
    std::string text = "0";
    if (decimals > 0) text += "." + std::string(decimals, '0');
    return text;
  }
  if (exponent + 1 > precision) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*E", precision - 1, value);
    return buffer;
  }
  auto digitAt = [&](int i) {
    return i >= 0 && i < static_cast<int>(digits.size()) ? digits[i] : '0';
  };
  std::string text = negative ? "-" : "";
  if (exponent < 0) {
    text += '0';
  } else {
    for (int i = 0; i <= exponent; ++i) text += digitAt(i);
  }
  if (decimals > 0) {
    text += '.';
    for (int k = 1; k <= decimals; ++k) text += digitAt(exponent + k);
  }
  return text;
}

int ExpandTwoDigitYear(int year, int currentYear) {
  if (year < 0 || year >= 100) return year;
  const int pivot = currentYear - 50;
  int result = (pivot / 100) * 100 + year;
  if (result < pivot) result += 100;
  return result;
}

std::int32_t DecodeDbfDate(std::string_view trimmed, int currentYear) {
  return DecodeDbfDateWith(trimmed, currentYear);
}

std::int32_t DecodeDbfDate(std::string_view trimmed) {
  return DecodeDbfDateWith(trimmed, -1);
}

bool DecodeFieldBytes(TFieldType type, const std::uint8_t* bytes, std::size_t length,
                      void* destination) {
  std::string_view text = TrimFieldBytes(bytes, length);
  if (text.empty()) return false;
  auto whole = [&](std::int64_t minimum, std::int64_t maximum, std::int64_t& value) {
    // The null test answers for the stored number; only a native value needs the range.
    return WholeNumberValue(text, value) &&
           (destination == nullptr || (value >= minimum && value <= maximum));
  };
  std::int64_t number = 0;
  switch (type) {
    case TFieldType::ftSmallint:
      if (!whole(std::numeric_limits<std::int16_t>::min(), std::numeric_limits<std::int16_t>::max(),
                 number)) {
        return false;
      }
      if (destination) *static_cast<std::int16_t*>(destination) = static_cast<std::int16_t>(number);
      return true;
    case TFieldType::ftInteger:
      if (!whole(std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max(),
                 number)) {
        return false;
      }
      if (destination) *static_cast<std::int32_t*>(destination) = static_cast<std::int32_t>(number);
      return true;
    case TFieldType::ftLargeint:
      if (!whole(std::numeric_limits<std::int64_t>::min(), std::numeric_limits<std::int64_t>::max(),
                 number)) {
        return false;
      }
      if (destination) *static_cast<std::int64_t*>(destination) = number;
      return true;
    case TFieldType::ftBoolean:
      // "?" is a logical that was never set: null, as dBase and FoxPro mean it.
      if (text[0] == '?') return false;
      if (destination) *static_cast<std::int16_t*>(destination) = LogicalIsTrue(text[0]) ? 1 : 0;
      return true;
    default:
      break;
  }
  if (destination == nullptr) return true;
  switch (type) {
    case TFieldType::ftFloat:
      *static_cast<double*>(destination) = DbfTextToFloat(text);
      break;
    case TFieldType::ftDate:
      *static_cast<std::int32_t*>(destination) = DecodeDbfDate(text);
      break;
    case TFieldType::ftMemo:
    case TFieldType::ftBlob:
      break;
    default: {  // ftString and anything read as text
      char* out = static_cast<char*>(destination);
      std::memcpy(out, text.data(), text.size());
      out[text.size()] = '\0';
      break;
    }
  }
  return true;
}

std::string EncodeFieldText(TFieldType type, int length, int decimals, const void* value) {
  if (value == nullptr) return {};
  std::string text;
  switch (type) {
    case TFieldType::ftSmallint:
      text = std::to_string(*static_cast<const std::int16_t*>(value));
      break;
    case TFieldType::ftInteger:
    case TFieldType::ftMemo:  // the block number, written as an integer field
      text = std::to_string(*static_cast<const std::int32_t*>(value));
      break;
    case TFieldType::ftLargeint:
      text = std::to_string(*static_cast<const std::int64_t*>(value));
      break;
    case TFieldType::ftBoolean:
      return *static_cast<const std::int16_t*>(value) == 1 ? "T" : "F";
    case TFieldType::ftFloat:
      text = FloatToDbfText(length, decimals, *static_cast<const double*>(value));
      break;
    case TFieldType::ftDate: {
      int year = 0, month = 0, day = 0;
      DateOfDayNumber(*static_cast<const std::int32_t*>(value), year, month, day);
      char buffer[40];  // room for any int, so the text is never cut
      std::snprintf(buffer, sizeof buffer, "%04d%02d%02d", year, month, day);
      return buffer;
    }
    default:
      return static_cast<const char*>(value);
  }
  PadLeft(text, length);
  return text;
}

void EncodeFieldBytes(TFieldType type, int length, int decimals, std::uint8_t* bytes,
                      const void* value) {
  assert(length >= 0);
  std::string text = EncodeFieldText(type, length, decimals, value);
  if (static_cast<int>(text.size()) > length) {
    bool isText = type != TFieldType::ftSmallint && type != TFieldType::ftInteger &&
                  type != TFieldType::ftLargeint && type != TFieldType::ftFloat &&
                  type != TFieldType::ftBoolean && type != TFieldType::ftDate &&
                  type != TFieldType::ftMemo;
    if (!isText) throw EFieldToLongError::ForLength(text.size(), length);
    text.resize(length);
  }
  std::memcpy(bytes, text.data(), text.size());
  std::memset(bytes + text.size(), ' ', length - text.size());
}

}  // namespace tavlo
