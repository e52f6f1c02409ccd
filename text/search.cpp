// Substring searches with and without case, and the fixed case-folding table they share.
// Searches never allocate and never look before the start position they are given.
#include <cstddef>

#include "text/qelstrings.h"

namespace tavlo {

namespace {

// The system's texts are Windows-1251 bytes whatever the process locale is, so case folding
// is a fixed table rather than the C library's toupper.
constexpr std::array<unsigned char, 256> MakeFoldTable() {
  std::array<unsigned char, 256> table{};
  for (int i = 0; i < 256; ++i) table[i] = static_cast<unsigned char>(i);
  for (int c = 0x61; c <= 0x7A; ++c) table[c] = static_cast<unsigned char>(c - 0x20);
  for (int c = 0xE0; c <= 0xFF; ++c) table[c] = static_cast<unsigned char>(c - 0x20);
  constexpr unsigned char pairs[][2] = {{0x90, 0x80}, {0x83, 0x81}, {0x9A, 0x8A}, {0x9C, 0x8C},
                                        {0x9D, 0x8D}, {0x9E, 0x8E}, {0x9F, 0x8F}, {0xA2, 0xA1},
                                        {0xBC, 0xA3}, {0xB4, 0xA5}, {0xB8, 0xA8}, {0xBA, 0xAA},
                                        {0xBF, 0xAF}, {0xB3, 0xB2}, {0xBE, 0xBD}};
  for (const auto& pair : pairs) table[pair[0]] = pair[1];
  return table;
}

inline unsigned char Fold(char c) {
  return FoldTable[static_cast<unsigned char>(c)];
}

template <bool kNoCase>
bool MatchesAt(const std::string& pattern, const std::string& text, std::size_t at) {
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (kNoCase ? Fold(pattern[i]) != Fold(text[at + i]) : pattern[i] != text[at + i]) {
      return false;
    }
  }
  return true;
}

template <bool kNoCase>
int Search(const std::string& pattern, const std::string& text, int start) {
  if (pattern.empty() || text.empty()) return 0;
  if (start < 1) start = 1;
  if (pattern.size() > text.size()) return 0;
  const std::size_t last = text.size() - pattern.size();  // last 0-based candidate
  const std::size_t first = static_cast<std::size_t>(start) - 1;
  if (first > last) return 0;
  const unsigned char head = kNoCase ? Fold(pattern[0]) : static_cast<unsigned char>(pattern[0]);
  for (std::size_t at = first; at <= last; ++at) {
    const unsigned char c = kNoCase ? Fold(text[at]) : static_cast<unsigned char>(text[at]);
    if (c == head && MatchesAt<kNoCase>(pattern, text, at)) return static_cast<int>(at + 1);
  }
  return 0;
}

}  // namespace

const std::array<unsigned char, 256> FoldTable = MakeFoldTable();

int PosFrom(const std::string& pattern, const std::string& text, int start) {
  return Search<false>(pattern, text, start);
}

int PosFromNoCase(const std::string& pattern, const std::string& text, int start) {
  return Search<true>(pattern, text, start);
}

int LastPosNoCase(const std::string& pattern, const std::string& text) {
  if (pattern.empty() || text.empty() || pattern.size() > text.size()) return 0;
  for (std::size_t at = text.size() - pattern.size() + 1; at-- > 0;) {
    if (Fold(text[at]) == Fold(pattern[0]) && MatchesAt<true>(pattern, text, at)) {
      return static_cast<int>(at + 1);
    }
  }
  return 0;
}

std::string ReplaceLast(const std::string& text, const std::string& oldText,
                        const std::string& newText) {
  const int p = LastPosNoCase(oldText, text);
  if (p == 0) return text;
  const std::size_t at = static_cast<std::size_t>(p) - 1;
  return text.substr(0, at) + newText + text.substr(at + oldText.size());
}

}  // namespace tavlo
