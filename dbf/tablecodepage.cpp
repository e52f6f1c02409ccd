// Language driver bytes and .cpg texts to code page numbers.
#include "dbf/tablecodepage.h"

#include <cstdio>

#include "platform/asciitext.h"
#include "platform/textcodec.h"

namespace tavlo {

namespace {

struct LanguageDriver {
  std::uint8_t byte;
  int page;
};

// The language driver bytes of dBase and FoxPro with the page each names.
constexpr LanguageDriver kDrivers[] = {
    {0x01, 437},  {0x02, 850},  {0x03, 1252}, {0x08, 865},  {0x09, 437}, {0x0A, 850}, {0x0B, 437},
    {0x0D, 437},  {0x0E, 850},  {0x0F, 437},  {0x10, 850},  {0x11, 437}, {0x12, 850}, {0x13, 932},
    {0x14, 850},  {0x15, 437},  {0x16, 850},  {0x17, 865},  {0x18, 437}, {0x19, 437}, {0x1A, 850},
    {0x1B, 437},  {0x1C, 863},  {0x1D, 850},  {0x1F, 852},  {0x22, 852}, {0x23, 852}, {0x24, 860},
    {0x25, 850},  {0x26, 866},  {0x37, 850},  {0x40, 852},  {0x4D, 936}, {0x4E, 949}, {0x4F, 950},
    {0x50, 874},  {0x57, 1252}, {0x59, 1252}, {0x64, 852},  {0x65, 866}, {0x66, 865}, {0x67, 861},
    {0x6A, 737},  {0x6B, 857},  {0x6C, 863},  {0x78, 950},  {0x79, 949}, {0x7A, 936}, {0x7B, 932},
    {0x7C, 874},  {0x7D, 1255}, {0x7E, 1256}, {0x86, 737},  {0x87, 852}, {0x88, 857}, {0xC8, 1250},
    {0xC9, 1251}, {0xCA, 1254}, {0xCB, 1253}, {0xCC, 1257},
};

// The byte written for each page: the one dBase and FoxPro use for it, and one that dbfread
// and python3-dbf both know (they lack 0xCC, so 1257 gets none).
constexpr LanguageDriver kWrittenDrivers[] = {
    {0x01, 437},  {0x02, 850},  {0x03, 1252}, {0x1C, 863},  {0x24, 860},  {0x26, 866},
    {0x64, 852},  {0x66, 865},  {0x67, 861},  {0x6A, 737},  {0x6B, 857},  {0x50, 874},
    {0x13, 932},  {0x4D, 936},  {0x4E, 949},  {0x4F, 950},  {0x7D, 1255}, {0x7E, 1256},
    {0xC8, 1250}, {0xC9, 1251}, {0xCA, 1254}, {0xCB, 1253},
};

// The name upper-cased, without the separators a code page's name may carry.
std::string UpperWithoutSeparators(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c != ' ' && c != '\t' && c != '\r' && c != '\n' && c != '-' && c != '_')
      out += UpperAscii(c);
  }
  return out;
}

bool AllDigits(const std::string& text) {
  if (text.empty() || text.size() > 5) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

}  // namespace

int CodePageOfLanguageByte(std::uint8_t languageByte) {
  for (const LanguageDriver& driver : kDrivers) {
    if (driver.byte == languageByte) return driver.page;
  }
  return 0;
}

std::uint8_t LanguageByteOfCodePage(int page) {
  for (const LanguageDriver& driver : kWrittenDrivers) {
    if (driver.page == page) return driver.byte;
  }
  return 0x00;
}

int CodePageOfCpgText(const std::string& text) {
  // Spaces, dashes and underscores carry no meaning: "CP 1252", "windows-1251", "UTF_8".
  std::string name = UpperWithoutSeparators(text);
  if (name == "UTF8") return kUtf8CodePage;
  for (const char* prefix : {"CP", "WINDOWS", "ANSI", "OEM", "IBM", "DOS"}) {
    const std::string p(prefix);
    if (name.compare(0, p.size(), p) == 0 && AllDigits(name.substr(p.size()))) {
      name = name.substr(p.size());
      break;
    }
  }
  // ISO-8859-n, and the "8859n" / "88591" that GIS programs write.
  for (const char* prefix : {"ISO8859", "8859"}) {
    const std::string p(prefix);
    if (name.compare(0, p.size(), p) == 0 && AllDigits(name.substr(p.size())) &&
        name.size() > p.size() && name.size() <= p.size() + 2) {
      return 28590 + std::stoi(name.substr(p.size()));
    }
  }
  if (!AllDigits(name)) return 0;
  const int page = std::stoi(name);
  return CodePageAvailable(page) ? page : 0;
}

std::string DescribeCodePage(int page, CodePageSource source, std::uint8_t languageByte,
                             int oemPage) {
  const std::string number =
      std::to_string(page) + (page == kUtf8CodePage ? std::string(" (UTF-8)") : std::string());
  switch (source) {
    case CodePageSource::LanguageByte: {
      char hex[8];
      std::snprintf(hex, sizeof hex, "0x%02X", languageByte);
      return number + " (language byte " + hex + ")";
    }
    case CodePageSource::CpgFile:
      return number + " (.cpg file)";
    case CodePageSource::Chosen:
      return number + " (chosen)";
    case CodePageSource::None:
      break;
  }
  return std::to_string(oemPage) + " (OEM page of the locale; the table names none)";
}

}  // namespace tavlo
