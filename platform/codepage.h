// Translation between the OEM and ANSI code pages (character fields of tables are stored in
// OEM and shown in ANSI) and between ANSI and Unicode (UTF-8) for the GUI and the CLI output.
// The pair follows the user's locale; TAVLO_OEM_CODEPAGE / TAVLO_ANSI_CODEPAGE override it.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace tavlo {

class CodePages {
 public:
  virtual ~CodePages() = default;
  virtual int OemCodePage() const = 0;   // e.g. 437, 850, 866
  virtual int AnsiCodePage() const = 0;  // e.g. 1252, 1251
  // Byte-for-byte translations; the results have the length of the input.
  virtual void OemToAnsi(const char* from, char* to, std::size_t size) const = 0;
  virtual void AnsiToOem(const char* from, char* to, std::size_t size) const = 0;
  std::string OemToAnsi(const std::string& text) const;
  std::string AnsiToOem(const std::string& text) const;
  // ANSI bytes to and from UTF-8; characters the ANSI page lacks become '?'.
  virtual std::string AnsiToUtf8(const std::string& text) const = 0;
  virtual std::string Utf8ToAnsi(const std::string& text) const = 0;
};

// Code pages built from 256-entry tables made with iconv for the given pair; an ANSI page of
// 65001 gives a UTF-8 session (strings are UTF-8, shown unchanged).
std::unique_ptr<CodePages> NewTableCodePages(int oemCodePage, int ansiCodePage);
// The pair the desktop would use for the current locale (LC_CTYPE / LANG), after the
// environment overrides: Russian 866/1251, Western European 850/1252, English and C 437/1252.
void DefaultCodePagePair(int& oemCodePage, int& ansiCodePage);

// The code pages in force (built on first use from DefaultCodePagePair).
const CodePages& CurrentCodePages();
// Only bytes below 0x80: the same text in every supported page and in UTF-8.
inline bool IsAsciiText(std::string_view text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}
// Makes ansiCodePage (65001: UTF-8) the session's ANSI page, keeping the OEM page: what the
// program does when it opens a table whose characters the locale's ANSI page cannot show.
// Raises Exception "Code page %d ..." when the page cannot be converted.
void UseSessionAnsiCodePage(int ansiCodePage);
// The ANSI page of the locale (DefaultCodePagePair), whatever page the session uses now.
int DefaultAnsiCodePage();
// Installs code pages for the lifetime of the object (tests only), restoring the previous.
class ScopedCodePages {
 public:
  explicit ScopedCodePages(const CodePages& replacement);
  ~ScopedCodePages();
  ScopedCodePages(const ScopedCodePages&) = delete;
  ScopedCodePages& operator=(const ScopedCodePages&) = delete;

 private:
  const CodePages* previous_;
};

}  // namespace tavlo
