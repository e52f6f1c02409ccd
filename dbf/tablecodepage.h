// Where a table says which code page its character fields are in: the language driver byte
// of its header and a .cpg file beside it (as GIS programs write). Pure lookups and parsing;
// reading the .cpg file is the caller's.
#pragma once

#include <cstdint>
#include <string>

namespace tavlo {

// Where the page in use came from.
enum class CodePageSource : std::uint8_t { None, LanguageByte, CpgFile, Chosen };

// The page a language driver byte names, 0 when it names none. 0x00 and 0x58 name none:
// earlier versions of this system wrote 0x58 into every table they created while storing
// OEM text in them, so 0x58 keeps being read as the OEM page of the locale.
int CodePageOfLanguageByte(std::uint8_t languageByte);

// The language driver byte that names page for every other reader (0x01 for 437, 0x02 for
// 850, 0x26 for 866, ...), 0x00 for a page no byte names. Never 0x58.
std::uint8_t LanguageByteOfCodePage(int page);

// The page the text of a .cpg file names ("UTF-8", "1251", "CP1252", "Windows-1251",
// "ISO-8859-5", "88591", ...), 0 when it names none this system knows.
int CodePageOfCpgText(const std::string& text);

// "437 (language byte 0x01)", "65001 (UTF-8) (.cpg file)", "1251 (chosen)", and for a
// table that names nothing "850 (OEM page of the locale; the table names none)".
std::string DescribeCodePage(int page, CodePageSource source, std::uint8_t languageByte,
                             int oemPage);

}  // namespace tavlo
