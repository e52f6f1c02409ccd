// Decimal digit strings ("31415" standing for 0.31415 times ten to an exponent): rounding
// to fewer digits as the desktop's number formats do. Header-only, allocation-free.
#pragma once

#include <string>

namespace tavlo {

// Keeps the first `keep` (>= 0) digits, rounded half away from zero at the first digit
// dropped; a carry out of the first digit puts a 1 in front and raises exponent. Nothing
// changes when keep is not less than the number of digits.
inline void RoundDigits(std::string& digits, int keep, int& exponent) {
  if (keep < 0 || keep >= static_cast<int>(digits.size())) return;
  const bool roundUp = digits[static_cast<std::size_t>(keep)] >= '5';
  digits.resize(static_cast<std::size_t>(keep));
  if (!roundUp) return;
  int i = keep - 1;
  while (i >= 0 && digits[static_cast<std::size_t>(i)] == '9') {
    digits[static_cast<std::size_t>(i--)] = '0';
  }
  if (i >= 0) {
    ++digits[static_cast<std::size_t>(i)];
  } else {
    digits.insert(digits.begin(), '1');
    ++exponent;
  }
}

}  // namespace tavlo
