// Trims that return views: control bytes, spaces, or a named set, from one or both ends.
#include "text/trim.h"

#include <cstdint>
#include <cstring>

namespace tavlo {

std::string_view TrimControl(std::string_view text) {
  return TrimRightControl(TrimLeftControl(text));
}

std::string_view TrimLeftControl(std::string_view text) {
  std::size_t begin = 0;
  while (begin < text.size() && IsBlankOrControl(text[begin])) ++begin;
  return text.substr(begin);
}

std::string_view TrimRightControl(std::string_view text) {
  std::size_t end = text.size();
  // Drop eight bytes at a time while all of them are 32 or less: adding 0x5F to each then
  // sets no high bit, and no byte carries into the next.
  while (end >= 8) {
    std::uint64_t word;
    std::memcpy(&word, text.data() + end - 8, sizeof word);
    if (((word + 0x5F5F5F5F5F5F5F5FULL) | word) & 0x8080808080808080ULL) break;
    end -= 8;
  }
  while (end > 0 && IsBlankOrControl(text[end - 1])) --end;
  return text.substr(0, end);
}

std::string_view TrimBlanks(std::string_view text) {
  return TrimAnyOf(text, " ");
}

std::string_view TrimRightBlanks(std::string_view text) {
  return TrimRightAnyOf(text, " ");
}

std::string_view TrimAnyOf(std::string_view text, std::string_view bytes) {
  const std::size_t begin = text.find_first_not_of(bytes);
  if (begin == std::string_view::npos) return text.substr(text.size());
  return TrimRightAnyOf(text.substr(begin), bytes);
}

std::string_view TrimRightAnyOf(std::string_view text, std::string_view bytes) {
  const std::size_t last = text.find_last_not_of(bytes);
  return text.substr(0, last == std::string_view::npos ? 0 : last + 1);
}

}  // namespace tavlo
