// Number text in the regional notation: general format with 15 significant digits, fixed-point
// with a number of decimals, and the parser. Locale-free and allocation-light: these run once
// per record in scans and filters, so they use to_chars/from_chars and never the C locale.

#include <locale.h>
#include <stdlib.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/decimaldigits.h"
#include "platform/errors.h"
#include "platform/regional.h"

namespace tavlo {
namespace {

constexpr int kPrecision = 15;

// A finite, non-zero value rounded to kPrecision significant digits: value = 0.digits × 10^exp.
struct Digits {
  bool negative = false;
  char digits[kPrecision + 1] = {};
  int count = 0;
  int exponent = 0;
};

// Reads the digits and exponent of to_chars' scientific form "d.ddde±xx".
void ParseScientific(const char* p, const char* end, Digits& result) {
  result.count = 0;
  for (; p < end && *p != 'e'; ++p)
    if (*p != '.' && result.count < kPrecision) result.digits[result.count++] = *p;
  // The buffer is not terminated: parse the exponent within [p + 1, end) only.
  int exponent = 0;
  const char* e = p + 1;
  if (e < end && *e == '+') ++e;
  std::from_chars(e, end, exponent);
  while (result.count > 1 && result.digits[result.count - 1] == '0') --result.count;
  result.exponent = exponent + 1;
}

Digits ToDigits(double value) {
  Digits result;
  result.negative = std::signbit(value);
  char buffer[40];
  double magnitude = std::fabs(value);
  // The shortest text that reads back as the value is also its fifteen-digit rounding
  // whenever it has no more than fifteen digits, which is the common case and much cheaper.
  auto shortest =
      std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::scientific);
  int digits = 0;
  for (const char* p = buffer; p < shortest.ptr && *p != 'e'; ++p) digits += *p != '.';
  if (digits <= kPrecision) {
    ParseScientific(buffer, shortest.ptr, result);
    return result;
  }
  auto rounded = std::to_chars(buffer, buffer + sizeof buffer, magnitude,
                               std::chars_format::scientific, kPrecision - 1);
  ParseScientific(buffer, rounded.ptr, result);
  return result;
}

std::string SpecialText(double value) {
  if (std::isnan(value)) return "NAN";
  return value < 0 ? "-INF" : "INF";
}

}  // namespace

std::string FloatToText(double value) {
  if (!std::isfinite(value)) return SpecialText(value);
  if (value == 0) return "0";
  Digits d = ToDigits(value);
  const char separator = Regional().decimalSeparator;
  char text[48];
  char* out = text;
  auto put = [&](const char* from, int n) {
    std::memcpy(out, from, static_cast<std::size_t>(n));
    out += n;
  };
  if (d.negative) *out++ = '-';
  if (d.exponent > kPrecision || d.exponent < -3) {
    // Scientific: one digit before the separator, the exponent without leading zeros.
    *out++ = d.digits[0];
    if (d.count > 1) {
      *out++ = separator;
      put(d.digits + 1, d.count - 1);
    }
    *out++ = 'E';
    out = std::to_chars(out, text + sizeof text, d.exponent - 1).ptr;
  } else if (d.exponent <= 0) {
    *out++ = '0';
    *out++ = separator;
    for (int i = 0; i < -d.exponent; ++i) *out++ = '0';
    put(d.digits, d.count);
  } else if (d.count <= d.exponent) {
    put(d.digits, d.count);
    for (int i = d.count; i < d.exponent; ++i) *out++ = '0';
  } else {
    put(d.digits, d.exponent);
    *out++ = separator;
    put(d.digits + d.exponent, d.count - d.exponent);
  }
  return std::string(text, out);
}

std::string FloatToFixed(double value, int decimals) {
  if (decimals < 0 || decimals > kMaxFixedDecimals)
    throw EConvertError("Invalid number of decimals: " + std::to_string(decimals));
  if (!std::isfinite(value)) return SpecialText(value);
  char separator = Regional().decimalSeparator;
  std::string text;
  if (value != 0 && std::fabs(value) < 1e15) {
    // Round the fifteen-digit decimal form, not the binary value, so that 1.005 gives 1.01
    // as the user reads it.
    Digits d = ToDigits(value);
    // Digits kept: those before the point plus the decimals.
    int keep = d.exponent + decimals;
    std::string digits(d.digits, d.count);
    int exponent = d.exponent;
    if (keep < 0) {
      digits.clear();
    } else {
      RoundDigits(digits, keep, exponent);
    }
    bool allZero = digits.find_first_not_of('0') == std::string::npos;
    if (d.negative && !allZero) text += '-';
    // Lay the digits out around the point: value = 0.digits × 10^exponent.
    if (exponent <= 0) {
      text += '0';
    } else {
      for (int i = 0; i < exponent; ++i)
        text += i < static_cast<int>(digits.size()) ? digits[i] : '0';
    }
    if (decimals > 0) {
      text += separator;
      for (int i = 0; i < decimals; ++i) {
        int index = exponent + i;
        text += index >= 0 && index < static_cast<int>(digits.size()) ? digits[index] : '0';
      }
    }
    return text;
  }
  // Zero, or so large that every digit lies before the point.
  text.resize(330 + static_cast<std::size_t>(decimals));
  auto [end, ec] = std::to_chars(text.data(), text.data() + text.size(), std::fabs(value),
                                 std::chars_format::fixed, decimals);
  (void)ec;
  text.resize(static_cast<std::size_t>(end - text.data()));
  if (value < 0) text.insert(text.begin(), '-');
  if (std::size_t point = text.find('.'); point != std::string::npos) text[point] = separator;
  return text;
}

bool TextToFloat(const std::string& text, double& value) {
  const char separator = Regional().decimalSeparator;
  const char* p = text.data();
  const char* end = p + text.size();
  while (p < end && (*p == ' ' || *p == '\t')) ++p;
  while (end > p && (end[-1] == ' ' || end[-1] == '\t')) --end;
  bool negative = false;
  if (p < end && (*p == '+' || *p == '-')) negative = *p++ == '-';
  // Check the grammar ourselves (from_chars would accept "inf", "nan" and hex forms), and copy
  // the number with '.' as the point into a buffer for from_chars. Alongside, gather the
  // digits as an integer for the exact fast path below.
  char local[64];
  std::string large;
  char* out = local;
  std::size_t length = static_cast<std::size_t>(end - p);
  if (length + 1 > sizeof local) {
    large.resize(length + 1);
    out = large.data();
  }
  char* const start = out;
  std::uint64_t mantissa = 0;
  int significant = 0;  // digits gathered into mantissa, leading zeros excepted
  int scale = 0;        // power of ten that mantissa is to be multiplied by
  int mantissaDigits = 0;
  auto digit = [&](char c, bool fraction) {
    *out++ = c;
    ++mantissaDigits;
    if (significant == 0 && c == '0') {
      if (fraction) --scale;
      return;
    }
    if (significant < 19) {
      mantissa = mantissa * 10 + static_cast<std::uint64_t>(c - '0');
      ++significant;
      if (fraction) --scale;
    } else {
      significant = 99;  // too many digits for the fast path
    }
  };
  while (p < end && *p >= '0' && *p <= '9') digit(*p++, false);
  if (p < end && *p == separator) {
    *out++ = '.';
    ++p;
    while (p < end && *p >= '0' && *p <= '9') digit(*p++, true);
  }
  if (mantissaDigits == 0) return false;
  bool negativeExponent = false;
  int exponent = 0;
  if (p < end && (*p == 'e' || *p == 'E')) {
    *out++ = 'e';
    ++p;
    if (p < end && (*p == '+' || *p == '-')) {
      negativeExponent = *p == '-';
      *out++ = *p++;
    }
    int exponentDigits = 0;
    while (p < end && *p >= '0' && *p <= '9') {
      if (exponent < 100000) exponent = exponent * 10 + (*p - '0');
      *out++ = *p++;
      ++exponentDigits;
    }
    if (exponentDigits == 0) return false;
  }
  if (p != end) return false;
  // Exact fast path: at most fifteen digits and a power of ten that a double holds exactly,
  // so one multiplication or division rounds correctly.
  static const double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                   1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                   1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  int power = scale + (negativeExponent ? -exponent : exponent);
  if (significant <= 15 && power >= -22 && power <= 22) {
    double result = static_cast<double>(mantissa);
    result = power < 0 ? result / kPowers[-power] : result * kPowers[power];
    value = negative ? -result : result;
    return true;
  }
  double result = 0;
  auto [last, ec] = std::from_chars(start, out, result, std::chars_format::general);
  if (last != out) return false;
  if (ec == std::errc::result_out_of_range) {
    // Underflow reads as zero; overflow is not a number we can hold.
    // strtod_l with the "C" locale: a GUI toolkit may have switched the process locale.
    static locale_t cLocale = ::newlocale(LC_ALL_MASK, "C", nullptr);
    *out = '\0';
    result = ::strtod_l(start, nullptr, cLocale);
    if (std::isinf(result)) return false;
    if (!negativeExponent && result == 0) return false;
  } else if (ec != std::errc()) {
    return false;
  }
  value = negative ? -result : result;
  return true;
}

double TextToFloatOrThrow(const std::string& text) {
  double value = 0;
  if (!TextToFloat(text, value))
    throw EConvertError("'" + text + "' is not a valid floating point value");
  return value;
}

}  // namespace tavlo
