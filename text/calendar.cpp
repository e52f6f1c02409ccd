// The Gregorian Easter Sunday and the web colour parser: small computations the script words
// share. EasterDate raises the date type's error for a year it cannot hold.
#include <cstdint>

#include "platform/regional.h"
#include "text/qelstrings.h"

namespace tavlo {

double EasterDate(int year) {
  const long long y = year;
  const long long golden = y % 19 + 1;
  const long long century = y / 100 + 1;
  const long long x = 3 * century / 4 - 12;
  const long long z = (8 * century + 5) / 25 - 5;
  const long long d = 5 * y / 4 - x - 10;
  long long e = (11 * golden + 20 + z - x) % 30;
  if (e < 0) e += 30;
  if ((e == 25 && golden > 11) || e == 24) ++e;
  long long n = 44 - e;
  if (n < 21) n += 30;
  n = n + 7 - (d + n) % 7;
  // EncodeDate rejects the years the date type cannot hold; the day is always 22..56 here.
  if (n > 31) return EncodeDate(year, 4, static_cast<int>(n - 31));
  return EncodeDate(year, 3, static_cast<int>(n));
}

std::uint32_t HtmlColorToColor(const std::string& text) {
  if (text.size() != 7 || text[0] != '#') return 0;
  std::uint32_t rgb = 0;
  for (std::size_t i = 1; i < 7; ++i) {
    const char c = text[i];
    std::uint32_t digit;
    if (c >= '0' && c <= '9') {
      digit = static_cast<std::uint32_t>(c - '0');
    } else if (c >= 'a' && c <= 'f') {
      digit = static_cast<std::uint32_t>(c - 'a' + 10);
    } else if (c >= 'A' && c <= 'F') {
      digit = static_cast<std::uint32_t>(c - 'A' + 10);
    } else {
      return 0;
    }
    rgb = rgb << 4 | digit;
  }
  const std::uint32_t red = rgb >> 16 & 0xFF;
  const std::uint32_t green = rgb >> 8 & 0xFF;
  const std::uint32_t blue = rgb & 0xFF;
  return blue << 16 | green << 8 | red;
}

}  // namespace tavlo
