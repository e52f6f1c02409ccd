// Whole numbers written as a desktop's integer conversion reads them: an optional sign, then
// decimal digits or "$" / "0x" and hexadecimal digits, nothing else.
#include <cstdint>

#include "text/qelstrings.h"

namespace tavlo {

bool TextToInteger(const std::string& text, std::int32_t& value) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  int base = 10;
  if (i < text.size() && text[i] == '$') {
    base = 16;
    ++i;
  } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i >= text.size()) return false;
  std::int64_t result = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (base == 16 && c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else if (base == 16 && c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else {
      return false;
    }
    result = result * base + digit;
    if (result > std::int64_t{1} << 32) return false;
  }
  if (negative) result = -result;
  // Hexadecimal texts may spell the whole unsigned range, as a 32-bit pattern.
  if (base == 16 && result > INT32_MAX && result <= UINT32_MAX) {
    value = static_cast<std::int32_t>(static_cast<std::uint32_t>(result));
    return true;
  }
  if (result < INT32_MIN || result > INT32_MAX) return false;
  value = static_cast<std::int32_t>(result);
  return true;
}

}  // namespace tavlo
