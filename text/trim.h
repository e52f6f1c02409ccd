// The trims of the system, on byte strings. "Control" drops every byte of code 32 or less
// (blank, tab, CR, LF, NUL and the other control bytes), "Blanks" drops spaces only, and
// "AnyOf" the bytes a caller names. Each returns a view into its argument, which must outlive
// it; nothing is copied.
#pragma once

#include <string_view>

namespace tavlo {

constexpr bool IsBlankOrControl(char c) {
  return static_cast<unsigned char>(c) <= 32;
}

std::string_view TrimControl(std::string_view text);
std::string_view TrimLeftControl(std::string_view text);
// Fast over long padding: field bytes are mostly blanks at their end.
std::string_view TrimRightControl(std::string_view text);

std::string_view TrimBlanks(std::string_view text);
std::string_view TrimRightBlanks(std::string_view text);

// The padding of fixed-width fields and keys that some writers fill with NULs.
inline constexpr std::string_view kBlankOrNul{" \0", 2};
std::string_view TrimAnyOf(std::string_view text, std::string_view bytes);
std::string_view TrimRightAnyOf(std::string_view text, std::string_view bytes);

}  // namespace tavlo
