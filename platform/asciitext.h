// ASCII case and line-break helpers on byte strings, for every layer: only the letters A to Z
// and a to z change case (a byte above 127 is a letter of some code page, which this never
// folds), and a message's CR line breaks become LF. Never looks at the locale.
#pragma once

#include <string>
#include <string_view>

namespace tavlo {

constexpr char LowerAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
constexpr char UpperAscii(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}
std::string LowerAscii(std::string_view text);
std::string UpperAscii(std::string_view text);

// Equal, or ordered by unsigned bytes, once both are upper-cased in ASCII; a text that is a
// prefix of the other comes first.
bool EqualNoCaseAscii(std::string_view a, std::string_view b);
int CompareNoCaseAscii(std::string_view a, std::string_view b);

// The text with each CR LF and each lone CR as one LF: message texts break their lines with
// CR (a message box's way), a terminal or a text widget wants LF.
std::string CrLinesToLf(std::string_view text);

}  // namespace tavlo
