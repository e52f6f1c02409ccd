// ASCII case mapping, case-blind comparison and CR line breaks to LF on byte strings.
#include "platform/asciitext.h"

#include <algorithm>

namespace tavlo {

std::string LowerAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = LowerAscii(c);
  return out;
}

std::string UpperAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = UpperAscii(c);
  return out;
}

bool EqualNoCaseAscii(std::string_view a, std::string_view b) {
  return a.size() == b.size() && CompareNoCaseAscii(a, b) == 0;
}

int CompareNoCaseAscii(std::string_view a, std::string_view b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const auto x = static_cast<unsigned char>(UpperAscii(a[i]));
    const auto y = static_cast<unsigned char>(UpperAscii(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

std::string CrLinesToLf(std::string_view text) {
  std::string lines;
  lines.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r') {
      lines += text[i];
    } else if (i + 1 >= text.size() || text[i + 1] != '\n') {
      lines += '\n';
    }
  }
  return lines;
}

}  // namespace tavlo
