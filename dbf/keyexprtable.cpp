// What key expressions are compiled against: a table's field names, decimals and layout, its
// alias, and the case mapping of its code page (each letter to its capital and back, by the
// simple case mapping of the characters the page holds).
#include <cstdint>
#include <string>

#include "dbf/dbffile.h"
#include "dbf/keyexpr.h"
#include "platform/codepage.h"
#include "platform/filenames.h"
#include "platform/textcodec.h"

namespace tavlo {

namespace {

// The capital of a lower-case letter of the Latin, Greek and Cyrillic blocks (the letters
// single-byte code pages hold); other characters unchanged.
std::uint32_t CapitalOf(std::uint32_t c) {
  if (c >= 'a' && c <= 'z') return c - 32;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 32;
  if (c == 0xFF) return 0x178;
  if (c >= 0x100 && c <= 0x17F) {
    if (c == 0x131) return 'I';
    if (c == 0x17F) return 'S';
    // Latin Extended-A pairs capitals and small letters: even-odd, except 0x139-0x148 and
    // 0x179-0x17E, which are odd-even.
    const bool oddFirst = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    if (c == 0x138 || c == 0x149 || c == 0x178) return c;
    return (c % 2 == 0) == oddFirst ? c - 1 : c;
  }
  if (c == 0x1A1 || c == 0x1B0) return c - 1;  // Vietnamese o and u with horn
  if (c == 0x3AC) return 0x386;
  if (c >= 0x3AD && c <= 0x3AF) return c - 37;
  if (c == 0x3C2) return 0x3A3;
  if (c >= 0x3B1 && c <= 0x3CB) return c - 32;
  if (c == 0x3CC) return 0x38C;
  if (c == 0x3CD || c == 0x3CE) return c - 63;
  if (c >= 0x430 && c <= 0x44F) return c - 32;
  if (c >= 0x450 && c <= 0x45F) return c - 80;
  if ((c >= 0x460 && c <= 0x481) || (c >= 0x48A && c <= 0x4BF) || (c >= 0x4D0 && c <= 0x52F))
    return c % 2 == 1 ? c - 1 : c;
  if (c >= 0x4C1 && c <= 0x4CE) return c % 2 == 0 ? c - 1 : c;
  return c;
}

// One UTF-8 character's code point; false when text is not exactly one.
bool CodePoint(const std::string& text, std::uint32_t& c) {
  const auto b = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  if (text.size() == 1 && b(0) < 0x80) {
    c = b(0);
  } else if (text.size() == 2 && (b(0) & 0xE0) == 0xC0) {
    c = (b(0) & 0x1Fu) << 6 | (b(1) & 0x3Fu);
  } else if (text.size() == 3 && (b(0) & 0xF0) == 0xE0) {
    c = (b(0) & 0x0Fu) << 12 | (b(1) & 0x3Fu) << 6 | (b(2) & 0x3Fu);
  } else {
    return false;
  }
  return true;
}

std::string Utf8(std::uint32_t c) {
  std::string out;
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | c >> 6);
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | c >> 12);
    out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
  return out;
}

}  // namespace

bool CaseTablesOfCodePage(int page, std::array<unsigned char, 256>& upper,
                          std::array<unsigned char, 256>& lower) {
  for (int b = 0; b < 256; ++b) {
    upper[static_cast<std::size_t>(b)] = lower[static_cast<std::size_t>(b)] =
        static_cast<unsigned char>(b);
  }
  for (int b = 'a'; b <= 'z'; ++b) {
    upper[static_cast<std::size_t>(b)] = static_cast<unsigned char>(b - 32);
    lower[static_cast<std::size_t>(b - 32)] = static_cast<unsigned char>(b);
  }
  if (!IsSingleBytePage(page)) return false;
  const TextCodec codec(page, kUtf8CodePage);
  for (int b = 0x80; b < 256; ++b) {
    const std::string character = codec.ToAnsi(std::string(1, static_cast<char>(b)));
    std::uint32_t c = 0;
    if (!CodePoint(character, c)) continue;
    const std::uint32_t capital = CapitalOf(c);
    if (capital == c) continue;
    // The page must hold the capital too, as one byte that reads back as it.
    const std::string back = codec.FromAnsi(Utf8(capital), 1);
    if (back.size() != 1 || codec.ToAnsi(back) != Utf8(capital)) continue;
    const auto to = static_cast<unsigned char>(back[0]);
    upper[static_cast<std::size_t>(b)] = to;
    if (lower[to] == to) lower[to] = static_cast<unsigned char>(b);
  }
  return true;
}

TKeyExprTable KeyExprTableOf(const TDbfFile& file, const TColumnLayout& layout) {
  TKeyExprTable table;
  table.layout = &layout;
  for (const TMyFieldInfo& field : file.FieldList()) {
    table.names.push_back(field.name);
    table.decimals.push_back(field.decimals);
    table.letters.push_back(field.typeLetter);
  }
  std::string base = ExtractFileName(file.OpenedPath());
  const std::size_t dot = base.rfind('.');
  if (dot != std::string::npos && dot > 0) base.erase(dot);
  for (char& c : base) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    const bool name = (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
    if (!name) c = '_';
  }
  table.alias = base;
  table.codePage = file.CodePage() != 0 ? file.CodePage() : CurrentCodePages().OemCodePage();
  try {
    table.caseMapped = CaseTablesOfCodePage(table.codePage, table.upper, table.lower);
  } catch (const Exception&) {
    // A page this system cannot convert: its letters beyond a-z are unknown, so UPPER and
    // LOWER are refused rather than guessed.
    table.caseMapped = false;
  }
  return table;
}

}  // namespace tavlo
