// Readers of the literal forms of the script language: integers (decimal, or hexadecimal
// after "$", "x", "X", "0x", "0X"), decimal numbers with the regional separator, and dates in
// the regional short date format. Each answers false for a text that is not of its form and
// never raises. Shared by the compiler, the operator `in` and the word library.
#pragma once

#include <cstdint>
#include <string>

namespace tavlo {

// Optional sign, then decimal digits or a hexadecimal number; must fit signed 32 bits.
bool ReadIntegerLiteral(const std::string& text, std::int32_t& value);
// Optional sign, digits with at most one regional decimal separator (at least one digit),
// optional exponent "E"/"e" with optional sign and digits. No blanks anywhere.
bool ReadFloatLiteral(const std::string& text, double& value);
// A date in the regional short date format (day and month alone take the current year).
// The text must hold no blanks and no time separator.
bool ReadDateLiteral(const std::string& text, double& value);

}  // namespace tavlo
