// Text stored in one code page, shown in the ANSI page of the session: the translation of a
// table's character fields when the table names its page (single-byte pages, 936, 950 and
// UTF-8 = 65001), and the choice of a session ANSI page that holds every character of such a
// page. Conversions are built with iconv once per pair; single-byte pairs then run by table.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace tavlo {

constexpr int kUtf8CodePage = 65001;

// Whether iconv can convert the page (65001 is UTF-8, every other number CPnnn).
bool CodePageAvailable(int page);
// One byte per character (everything except 932, 936, 949, 950 and 65001).
bool IsSingleBytePage(int page);

class TextCodec {
 public:
  // Raises Exception "Code page %d is not available" for a page iconv does not know.
  TextCodec(int storedPage, int ansiPage);
  int StoredPage() const { return stored_; }
  int AnsiPage() const { return ansi_; }
  // Whether every character of the stored page has a counterpart in the ANSI page.
  bool Lossless() const { return lossless_; }

  // Stored bytes as ANSI bytes. Between two single-byte pages a byte without counterpart
  // keeps its value (as the desktop's OEM translation does); otherwise it becomes '?'.
  std::string ToAnsi(std::string_view stored) const;
  // ToAnsi as a table of bytes, when the translation is one byte for one (nullptr else).
  const std::array<unsigned char, 256>* ByteTable() const {
    return byteTables_ ? &toAnsi_ : nullptr;
  }
  // ANSI text in the stored page, at most maxBytes long and cut before a character that
  // would not fit whole. Characters the stored page lacks become '?'.
  std::string FromAnsi(std::string_view ansi, std::size_t maxBytes) const;

 private:
  int stored_;
  int ansi_;
  bool byteTables_ = false;
  bool lossless_ = true;
  std::array<unsigned char, 256> toAnsi_{};
  std::array<unsigned char, 256> fromAnsi_{};
};

// The ANSI page a session needs to show text stored in storedPage: defaultAnsi when it holds
// every character of that page, else the ANSI page of the page's own language (437 -> 1252,
// 866 -> 1251, 852 -> 1250, ...), else UTF-8.
int SuitableAnsiPage(int storedPage, int defaultAnsi);

}  // namespace tavlo
