// Code pages: the OEM/ANSI tables built from iconv, the UTF-8 conversions and the choice of
// the pair from the locale and the environment.

#include <stdlib.h>

#include <string>

#include "platform/codepage.h"
#include "platform/errors.h"
#include "platformtest.h"

namespace tavlo {
namespace {

using testing::ScopedEnvironment;

TEST(CodePages, CyrillicTables) {
  auto pages = NewTableCodePages(866, 1251);
  EXPECT_EQ(pages->OemCodePage(), 866);
  EXPECT_EQ(pages->AnsiCodePage(), 1251);
  EXPECT_EQ(pages->OemToAnsi("\x80\xA0\xEF"), "\xC0\xE0\xFF");  // А а я
  EXPECT_EQ(pages->AnsiToOem("\xC0\xE0\xFF"), "\x80\xA0\xEF");
  EXPECT_EQ(pages->OemToAnsi("\xF0"), "\xA8");  // Ё
  EXPECT_EQ(pages->OemToAnsi("\xB0"), "\xB0");  // a box-drawing character stays as it was
  EXPECT_EQ(pages->AnsiToUtf8("\xC0\xFF"), "\xD0\x90\xD1\x8F");
  EXPECT_EQ(pages->Utf8ToAnsi("\xD0\x90\xD1\x8F"), "\xC0\xFF");
}

TEST(CodePages, WesternTablesAndLengths) {
  auto pages = NewTableCodePages(850, 1252);
  EXPECT_EQ(pages->OemToAnsi("\x81\x84\x94"), "\xFC\xE4\xF6");  // ü ä ö
  EXPECT_EQ(pages->AnsiToOem("\xFC\xE4\xF6"), "\x81\x84\x94");
  // Every byte maps to one byte and ASCII is unchanged.
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  std::string ansi = pages->OemToAnsi(all);
  ASSERT_EQ(ansi.size(), 256u);
  EXPECT_EQ(ansi.substr(0, 128), all.substr(0, 128));
  // Letters survive the round trip OEM -> ANSI -> OEM.
  EXPECT_EQ(pages->AnsiToOem(pages->OemToAnsi("\x80\x81\x82\x99\x9A")), "\x80\x81\x82\x99\x9A");
  char buffer[3];
  pages->OemToAnsi("\x81\x41\x94", buffer, 3);
  EXPECT_EQ(std::string(buffer, 3), "\xFC\x41\xF6");
}

TEST(CodePages, Utf8RoundTripsEveryAnsiByte) {
  for (int page : {1252, 1251, 1250}) {
    auto pages = NewTableCodePages(437, page);
    std::string all;
    for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
    EXPECT_EQ(pages->Utf8ToAnsi(pages->AnsiToUtf8(all)), all) << page;
  }
  auto pages = NewTableCodePages(437, 1252);
  EXPECT_EQ(pages->AnsiToUtf8("\x80"), "\xE2\x82\xAC");  // euro sign
  // Characters the page lacks, broken sequences and stray continuation bytes become '?'.
  EXPECT_EQ(pages->Utf8ToAnsi("a\xD0\x90z"), "a?z");
  EXPECT_EQ(pages->Utf8ToAnsi("\xF0\x9F\x98\x80"), "?");
  EXPECT_EQ(pages->Utf8ToAnsi("\xC3"), "?");
  EXPECT_EQ(pages->Utf8ToAnsi("\x80x"), "?x");
  EXPECT_EQ(pages->Utf8ToAnsi("\xC0\xAF"), "??");       // overlong '/'
  EXPECT_EQ(pages->Utf8ToAnsi("\xED\xA0\x80"), "???");  // a surrogate
}

TEST(CodePages, UnknownPageIsAnError) {
  EXPECT_THROW(NewTableCodePages(12345, 1252), Exception);
}

TEST(CodePages, PairFromLocaleAndOverrides) {
  struct Expected {
    const char* locale;
    int oem;
    int ansi;
  };
  const Expected cases[] = {
      {"ru_RU.UTF-8", 866, 1251},
      {"uk_UA", 866, 1251},
      {"be_BY.UTF-8", 866, 1251},
      {"de_DE.UTF-8", 850, 1252},
      {"fr_FR@euro", 850, 1252},
      {"sv_SE", 850, 1252},
      {"en_US.UTF-8", 437, 1252},
      {"C", 437, 1252},
      {"POSIX", 437, 1252},
      {"C.UTF-8", 437, 1252},
      {"pl_PL.UTF-8", 852, 1250},
      {"el_GR", 737, 1253},
      {"", 437, 1252},
  };
  for (const Expected& c : cases) {
    ScopedEnvironment env;
    env.Set("LC_ALL", nullptr);
    env.Set("LC_CTYPE", nullptr);
    env.Set("TAVLO_OEM_CODEPAGE", nullptr);
    env.Set("TAVLO_ANSI_CODEPAGE", nullptr);
    env.Set("LANG", c.locale);
    int oem = 0, ansi = 0;
    DefaultCodePagePair(oem, ansi);
    EXPECT_EQ(oem, c.oem) << c.locale;
    EXPECT_EQ(ansi, c.ansi) << c.locale;
  }
  ScopedEnvironment env;
  env.Set("LANG", "en_US.UTF-8");
  env.Set("LC_CTYPE", "ru_RU.UTF-8");  // LC_CTYPE wins over LANG
  env.Set("LC_ALL", nullptr);
  env.Set("TAVLO_OEM_CODEPAGE", "850");
  env.Set("TAVLO_ANSI_CODEPAGE", "bogus");  // ignored, not fatal
  int oem = 0, ansi = 0;
  DefaultCodePagePair(oem, ansi);
  EXPECT_EQ(oem, 850);
  EXPECT_EQ(ansi, 1251);
}

TEST(CodePages, ScopedReplacement) {
  auto cyrillic = NewTableCodePages(866, 1251);
  const CodePages* before = &CurrentCodePages();
  {
    ScopedCodePages scoped{*cyrillic};
    EXPECT_EQ(CurrentCodePages().OemToAnsi("\x80"), "\xC0");
  }
  EXPECT_EQ(&CurrentCodePages(), before);
}

}  // namespace
}  // namespace tavlo
