// Substring searches with and without case, and the fixed case-folding tables they share.
// Every search of the system goes through FindBytes / FindLastBytes, whose time is linear in
// the texts whatever they hold: a plain scan serves the usual case, and when it starts to
// compare too much (a long pattern that nearly matches everywhere) the rest of the text is
// scanned with the Knuth-Morris-Pratt automaton. Searches never look before their start.
#include <cstddef>
#include <cstring>
#include <type_traits>
#include <vector>

#include "text/qelstrings.h"

namespace tavlo {

namespace {

constexpr std::size_t npos = std::string::npos;

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

constexpr std::array<unsigned char, 256> MakeAsciiFoldTable() {
  std::array<unsigned char, 256> table{};
  for (int i = 0; i < 256; ++i) table[i] = static_cast<unsigned char>(i);
  for (int c = 'a'; c <= 'z'; ++c) table[c] = static_cast<unsigned char>(c - 0x20);
  return table;
}

// Bytes of a text as the search compares them, read forwards or backwards; the four kinds
// are separate types so that the inner loops carry no tests of their own.
template <bool kFold, bool kBackwards>
struct Bytes {
  const char* data;
  std::size_t size;
  const std::array<unsigned char, 256>* fold;
  unsigned char operator[](std::size_t i) const {
    const auto c = static_cast<unsigned char>(data[kBackwards ? size - 1 - i : i]);
    if constexpr (kFold) return (*fold)[c];
    return c;
  }
};

// The plain scan may compare this many bytes per byte of text before the automaton takes
// over; ordinary searches never come near it.
constexpr std::size_t kPlainWorkPerByte = 8;

// The first match in hay at or after from, in the direction hay and needle are read.
template <typename Text>
std::size_t Search(const Text& hay, const Text& needle, std::size_t from) {
  const std::size_t m = needle.size;
  if (m == 0 || from > hay.size || m > hay.size - from) return npos;
  const std::size_t last = hay.size - m;
  const unsigned char head = needle[0];
  std::size_t budget = kPlainWorkPerByte * (hay.size - from) + 64;
  std::size_t at = from;
  for (; at <= last; ++at) {
    if constexpr (std::is_same_v<Text, Bytes<false, false>>) {
      // The plain forward search looks for the first byte with the C library.
      const void* p = std::memchr(hay.data + at, head, last + 1 - at);
      if (!p) return npos;
      at = static_cast<std::size_t>(static_cast<const char*>(p) - hay.data);
    } else if (hay[at] != head) {
      continue;
    }
    std::size_t i = 1;
    while (i < m && hay[at + i] == needle[i]) ++i;
    if (i == m) return at;
    if (i > budget) break;
    budget -= i;
  }
  if (at > last) return npos;
  // Knuth-Morris-Pratt from here: every start before `at` is already ruled out.
  std::vector<std::size_t> border(m + 1, 0);
  for (std::size_t i = 1, k = 0; i < m; ++i) {
    while (k > 0 && needle[i] != needle[k]) k = border[k];
    if (needle[i] == needle[k]) ++k;
    border[i + 1] = k;
  }
  std::size_t k = 0;
  for (std::size_t i = at; i < hay.size; ++i) {
    while (k > 0 && hay[i] != needle[k]) k = border[k];
    if (hay[i] == needle[k]) ++k;
    if (k == m) return i + 1 - m;
  }
  return npos;
}

// 1-based front end of the script's searches: 0 when not found.
int Pos(const std::string& pattern, const std::string& text, int start,
        const std::array<unsigned char, 256>* fold) {
  if (pattern.empty() || text.empty()) return 0;
  if (start < 1) start = 1;
  const std::size_t at = FindBytes(text, pattern, static_cast<std::size_t>(start) - 1, fold);
  return at == npos ? 0 : static_cast<int>(at + 1);
}

}  // namespace

const std::array<unsigned char, 256> FoldTable = MakeFoldTable();
const std::array<unsigned char, 256> AsciiFoldTable = MakeAsciiFoldTable();

std::string FoldedText(std::string_view text) {
  std::string folded(text);
  for (char& c : folded) c = static_cast<char>(FoldTable[static_cast<unsigned char>(c)]);
  return folded;
}

std::size_t FindBytes(std::string_view hay, std::string_view needle, std::size_t from,
                      const std::array<unsigned char, 256>* fold) {
  if (fold) {
    using T = Bytes<true, false>;
    return Search(T{hay.data(), hay.size(), fold}, T{needle.data(), needle.size(), fold}, from);
  }
  using T = Bytes<false, false>;
  return Search(T{hay.data(), hay.size(), fold}, T{needle.data(), needle.size(), fold}, from);
}

std::size_t FindLastBytes(std::string_view hay, std::string_view needle,
                          const std::array<unsigned char, 256>* fold) {
  // The last match is the first one of the reversed needle in the reversed text.
  std::size_t at;
  if (fold) {
    using T = Bytes<true, true>;
    at = Search(T{hay.data(), hay.size(), fold}, T{needle.data(), needle.size(), fold}, 0);
  } else {
    using T = Bytes<false, true>;
    at = Search(T{hay.data(), hay.size(), fold}, T{needle.data(), needle.size(), fold}, 0);
  }
  return at == npos ? npos : hay.size() - needle.size() - at;
}

int PosFrom(const std::string& pattern, const std::string& text, int start) {
  return Pos(pattern, text, start, nullptr);
}

int PosFromNoCase(const std::string& pattern, const std::string& text, int start) {
  return Pos(pattern, text, start, &FoldTable);
}

int LastPosNoCase(const std::string& pattern, const std::string& text) {
  const std::size_t at = FindLastBytes(text, pattern, &FoldTable);
  return at == npos ? 0 : static_cast<int>(at + 1);
}

std::string ReplaceLast(const std::string& text, const std::string& oldText,
                        const std::string& newText) {
  const int p = LastPosNoCase(oldText, text);
  if (p == 0) return text;
  const std::size_t at = static_cast<std::size_t>(p) - 1;
  return text.substr(0, at) + newText + text.substr(at + oldText.size());
}

}  // namespace tavlo
