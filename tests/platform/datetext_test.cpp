// Date text: formatting with pattern letters and regional names, and the parser of the short
// date format with its separators, two-digit years and optional time.

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/clock.h"
#include "platform/codepage.h"
#include "platform/errors.h"
#include "platform/localeformat.h"
#include "platform/regional.h"
#include "platformtest.h"

namespace tavlo {
namespace {

TEST(DateText, Patterns) {
  ScopedRegionalSettings english{RegionalSettings{}};
  double t = EncodeDate(2026, 12, 8) + EncodeTime(14, 5, 9, 7);
  EXPECT_EQ(FormatDateTime("dd-mmm-yyyy", t), "08-Dec-2026");
  EXPECT_EQ(FormatDateTime("hh:nn:ss", t), "14:05:09");
  EXPECT_EQ(FormatDateTime("d/m/yy", t), "8/12/26");
  EXPECT_EQ(FormatDateTime("dddd, mmmm d", t), "Tuesday, December 8");
  EXPECT_EQ(FormatDateTime("ddd h:mm", t), "Tue 14:05");  // m after h is minutes
  EXPECT_EQ(FormatDateTime("h:nn am/pm", t), "2:05 pm");
  EXPECT_EQ(FormatDateTime("hh AM/PM", EncodeTime(0, 30, 0, 0)), "12 AM");
  EXPECT_EQ(FormatDateTime("s.zzz z", t), "9.007 7");
  EXPECT_EQ(FormatDateTime("'day' d \"of\" mmm", t), "day 8 of Dec");
  EXPECT_EQ(FormatDateTime("dd-mmm-yyyy", 0), "30-Dec-1899");
  EXPECT_EQ(FormatDateTime("hh:nn:ss", 0.75), "18:00:00");
  EXPECT_EQ(FormatDateTime("yyyy", EncodeDate(33, 1, 1)), "0033");
}

TEST(DateText, RegionalNamesAndSeparators) {
  RegionalSettings s = testing::CommaSettings();
  s.shortMonthNames[11] = "Dez";
  s.timeSeparator = '.';
  ScopedRegionalSettings german{s};
  double t = EncodeDate(2026, 12, 8) + EncodeTime(7, 30, 0, 0);
  EXPECT_EQ(FormatDateTime("dd-mmm-yyyy", t), "08-Dez-2026");
  EXPECT_EQ(FormatDateTime("dd/mm/yyyy hh:nn", t), "08.12.2026 07.30");
  EXPECT_EQ(DateToText(t), "08.12.2026");
  EXPECT_EQ(DateTimeToText(t), "08.12.2026 07.30.00");
  EXPECT_EQ(DateTimeToText(EncodeDate(2026, 12, 8)), "08.12.2026");  // no time at midnight
}

TEST(DateText, ParsesTheShortDateFormatsOrder) {
  double v = 0;
  {
    ScopedRegionalSettings german{testing::CommaSettings()};
    EXPECT_TRUE(TextToDateTime("29.02.2024", v));
    EXPECT_EQ(v, EncodeDate(2024, 2, 29));
    for (const char* text : {"29/2/2024", "29-02-2024", "29 2 2024", " 29. 2. 2024 "}) {
      EXPECT_TRUE(TextToDateTime(text, v)) << text;
      EXPECT_EQ(v, EncodeDate(2024, 2, 29)) << text;
    }
  }
  {
    ScopedRegionalSettings american{RegionalSettings{}};
    EXPECT_TRUE(TextToDateTime("12/5/2024", v));
    EXPECT_EQ(v, EncodeDate(2024, 12, 5));
  }
  RegionalSettings iso;
  iso.shortDateFormat = "yyyy-mm-dd";
  iso.dateSeparator = '-';
  ScopedRegionalSettings swedish{iso};
  EXPECT_TRUE(TextToDateTime("2024-12-05", v));
  EXPECT_EQ(v, EncodeDate(2024, 12, 5));
}

TEST(DateText, YearsTimesAndRejects) {
  ScopedRegionalSettings german{testing::CommaSettings()};
  int now = 0, m = 0, d = 0;
  DecodeDate(LocalNow(), now, m, d);
  double v = 0;
  EXPECT_TRUE(TextToDateTime("1.3.85", v));
  EXPECT_EQ(v, EncodeDate(ExpandTwoDigitYear(85), 3, 1));
  EXPECT_TRUE(TextToDateTime("1.3", v));  // a day and a month take the current year
  EXPECT_EQ(v, EncodeDate(now, 3, 1));
  EXPECT_TRUE(TextToDateTime("1.3.0085", v));  // four digits are taken as written
  EXPECT_EQ(v, EncodeDate(85, 3, 1));
  EXPECT_TRUE(TextToDateTime("8.12.2026 14:05:09", v));
  EXPECT_EQ(v, EncodeDate(2026, 12, 8) + EncodeTime(14, 5, 9, 0));
  EXPECT_TRUE(TextToDateTime("8.12 2:05 PM", v));
  EXPECT_EQ(v, EncodeDate(now, 12, 8) + EncodeTime(14, 5, 0, 0));
  EXPECT_TRUE(TextToDateTime("29.12.1899 06:00", v));
  EXPECT_EQ(v, -1.25);
  for (const char* text : {"", "12", "31.4.2024", "29.2.2023", "1.13.2024", "0.1.2024",
                           "1.1.2024 25:00", "1.1.2024 10:60", "1.1.2024 10", "1.1.2024x",
                           "1..1.2024", "12/05/", "a.b.c", "1.1.2024.5", "12:30"}) {
    double untouched = -7;
    EXPECT_FALSE(TextToDateTime(text, untouched)) << '"' << text << '"';
    EXPECT_EQ(untouched, -7);
  }
  EXPECT_THROW_MSG(TextToDateTimeOrThrow("31.4.2024"), EConvertError,
                   "'31.4.2024' is not a valid date");
}

TEST(DateText, RoundTripThroughShortDateFormat) {
  for (const RegionalSettings& s : {RegionalSettings{}, testing::CommaSettings()}) {
    ScopedRegionalSettings scoped{s};
    for (double day = -693593; day <= 2958465; day += 997) {
      double back = 0;
      ASSERT_TRUE(TextToDateTime(DateToText(day), back)) << DateToText(day);
      ASSERT_EQ(back, day);
    }
  }
}

TEST(DateText, LocaleDateFormats) {
  struct Converted {
    const char* strftime;
    const char* pattern;
    char separator;
  };
  const Converted cases[] = {
      {"%m/%d/%y", "mm/dd/yyyy", '/'},
      {"%d.%m.%Y", "dd.mm.yyyy", '.'},
      {"%Y-%m-%d", "yyyy-mm-dd", '-'},
      {"%F", "yyyy-mm-dd", '-'},
      {"%e/%m/%Y", "d/mm/yyyy", '/'},
      {"%-d. %b %Y", "d. mmm yyyy", '.'},
      {"%Y年%m月%d日", "yyyy\"年\"mm\"月\"dd\"日\"", '?'},
      {"%d de %B", "dd \"de\" mmmm", '?'},
  };
  for (const Converted& c : cases) {
    char separator = '?';
    EXPECT_EQ(DatePatternFromStrftime(c.strftime, separator), c.pattern) << c.strftime;
    EXPECT_EQ(separator, c.separator) << c.strftime;
  }
}

TEST(DateText, CLocaleGivesTheDefaults) {
  // The test environment runs in the C locale unless a developer sets LANG.
  const char* lang = getenv("LC_ALL");
  if (lang == nullptr || *lang == '\0') lang = getenv("LANG");
  if (lang != nullptr && *lang != '\0' && std::string(lang) != "C" &&
      std::string(lang) != "POSIX" && std::string(lang).rfind("C.", 0) != 0)
    GTEST_SKIP() << "not running in the C locale";
  RegionalSettings s = RegionalSettingsFromLocale();
  EXPECT_EQ(s.decimalSeparator, '.');
  EXPECT_EQ(s.shortDateFormat, "mm/dd/yyyy");
  EXPECT_EQ(s.shortMonthNames[11], "Dec");
  EXPECT_EQ(s.longDayNames[0], "Sunday");
}

TEST(DateText, SettingsFromARussianLocale) {
  // Compiles the locale into the scratch folder; skipped where the locale sources are missing.
  testing::TempFolder dir;
  std::string command =
      "localedef -i ru_RU -f UTF-8 '" + dir.File("ru_RU.UTF-8") + "' >/dev/null 2>&1";
  if (std::system(command.c_str()) != 0) GTEST_SKIP() << "localedef cannot build ru_RU";
  // Read in a child: glibc keeps (and the leak checker reports) memory for a LOCPATH locale.
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  pid_t child = fork();
  if (child == 0) {
    setenv("LOCPATH", dir.Path().c_str(), 1);
    setenv("LANG", "ru_RU.UTF-8", 1);
    for (const char* name : {"LC_ALL", "LC_CTYPE", "LC_NUMERIC", "LC_TIME"}) unsetenv(name);
    auto cyrillic = NewTableCodePages(866, 1251);
    ScopedCodePages pages{*cyrillic};
    RegionalSettings s = RegionalSettingsFromLocale();
    ScopedRegionalSettings russian{s};
    std::string seen = std::string(1, s.decimalSeparator) + s.dateSeparator + " " +
                       s.shortDateFormat + " " + FormatDateTime("dd-mmm-yyyy", 46364);
    ssize_t written = write(fds[1], seen.data(), seen.size());
    _exit(written == static_cast<ssize_t>(seen.size()) ? 0 : 1);
  }
  close(fds[1]);
  std::string seen;
  char buffer[256];
  ssize_t n;
  while ((n = read(fds[0], buffer, sizeof buffer)) > 0) seen.append(buffer, n);
  close(fds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  // The UTF-8 month name comes out as Windows-1251 bytes.
  EXPECT_EQ(seen, ",. dd.mm.yyyy 08-\xE4\xE5\xEA-2026");
}

}  // namespace
}  // namespace tavlo
