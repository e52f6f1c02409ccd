// The literal readers of the script language. They are strict: a token that holds a blank
// of any kind (a tab, a lone line feed) is never a number or a date, so that such a token is
// reported as an undefined word instead of being half read.
#include "script/literals.h"

#include <charconv>
#include <cmath>

#include "platform/regional.h"

namespace tavlo {

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool HasBlank(const std::string& text) {
  for (char c : text)
    if (static_cast<unsigned char>(c) <= 32) return true;
  return false;
}

}  // namespace

bool ReadIntegerLiteral(const std::string& text, std::int32_t& value) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  int base = 10;
  if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
    base = 16;
    ++i;
  } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i == text.size()) return false;
  // Accumulate in 64 bits; any value past 2^31 is out of range whatever its sign.
  std::int64_t magnitude = 0;
  for (; i < text.size(); ++i) {
    int digit =
        base == 16 ? HexDigit(text[i]) : (text[i] >= '0' && text[i] <= '9' ? text[i] - '0' : -1);
    if (digit < 0) return false;
    magnitude = magnitude * base + digit;
    if (magnitude > 2147483648LL) return false;
  }
  if (negative) magnitude = -magnitude;
  if (magnitude > 2147483647LL) return false;
  value = static_cast<std::int32_t>(magnitude);
  return true;
}

bool ReadFloatLiteral(const std::string& text, double& value) {
  const char separator = Regional().decimalSeparator;
  std::string normalized;
  normalized.reserve(text.size());
  std::size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    if (text[i] == '-') normalized += '-';
    ++i;
  }
  int digits = 0;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
    normalized += text[i++];
    ++digits;
  }
  if (i < text.size() && text[i] == separator) {
    normalized += '.';
    ++i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
      normalized += text[i++];
      ++digits;
    }
  }
  if (digits == 0) return false;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    normalized += 'e';
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) normalized += text[i++];
    int exponentDigits = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
      normalized += text[i++];
      ++exponentDigits;
    }
    if (exponentDigits == 0) return false;
  }
  if (i != text.size()) return false;
  double result = 0;
  auto [end, error] =
      std::from_chars(normalized.data(), normalized.data() + normalized.size(), result);
  if (error != std::errc() || end != normalized.data() + normalized.size()) return false;
  if (!std::isfinite(result)) return false;
  value = result;
  return true;
}

bool ReadDateLiteral(const std::string& text, double& value) {
  if (text.empty() || HasBlank(text)) return false;
  if (text.find(Regional().timeSeparator) != std::string::npos) return false;
  bool digit = false;
  for (char c : text) digit = digit || (c >= '0' && c <= '9');
  if (!digit) return false;
  double result = 0;
  if (!TextToDateTime(text, result)) return false;
  value = result;
  return true;
}

}  // namespace tavlo
