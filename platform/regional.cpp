// Regional settings: read once from the C library's locale, held in one place, replaceable by
// tests. Reads the locale through a private locale object and never calls setlocale, so the
// process-wide C locale (and with it printf and strtod) stays "C".

#include "platform/regional.h"

#include <langinfo.h>
#include <locale.h>

#include <cstring>
#include <utility>

#include "platform/charsetconversion.h"
#include "platform/localeformat.h"

namespace tavlo {
namespace {

RegionalSettings& CurrentSettings() {
  static RegionalSettings settings = RegionalSettingsFromLocale();
  return settings;
}

// One byte of a locale string, or the fallback when it is empty or longer than one byte
// (a multi-byte separator has no place in a byte string).
char SingleByte(const char* text, char fallback) {
  if (text == nullptr || text[0] == '\0' || text[1] != '\0') return fallback;
  return text[0];
}

void AppendQuotedLiteral(std::string& pattern, const std::string& literal) {
  if (literal.empty()) return;
  pattern += '"';
  pattern += literal;
  pattern += '"';
}

bool IsPlainSeparator(char c) {
  return !(c >= 'a' && c <= 'z') && !(c >= 'A' && c <= 'Z') && c != '"' && c != '\'' &&
         static_cast<unsigned char>(c) < 0x80;
}

// Locale texts are in the locale's character set; the program's strings are ANSI bytes.
std::string LocaleText(const char* text, const char* codeset) {
  if (text == nullptr) return std::string();
  std::string value(text);
  return ConvertToAnsi(value, codeset);
}

void ReadNumeric(locale_t locale, RegionalSettings& settings) {
  settings.decimalSeparator = SingleByte(nl_langinfo_l(RADIXCHAR, locale), '.');
  const char* thousands = nl_langinfo_l(THOUSEP, locale);
  char fallback = settings.decimalSeparator == ',' ? '.' : ',';
  // A multi-byte thousands separator is one of the Unicode spaces.
  if (thousands != nullptr && thousands[0] != '\0' && thousands[1] != '\0') fallback = ' ';
  settings.thousandSeparator = SingleByte(thousands, fallback);
  if (settings.thousandSeparator == settings.decimalSeparator)
    settings.thousandSeparator = settings.decimalSeparator == ',' ? '.' : ',';
}

void ReadTime(locale_t locale, RegionalSettings& settings) {
  const char* codeset = nl_langinfo_l(CODESET, locale);
  const char* dateFormat = nl_langinfo_l(D_FMT, locale);
  if (dateFormat != nullptr && dateFormat[0] != '\0') {
    char separator = settings.dateSeparator;
    std::string pattern = ConvertToAnsi(DatePatternFromStrftime(dateFormat, separator), codeset);
    if (pattern.find('d') != std::string::npos && pattern.find('m') != std::string::npos &&
        pattern.find('y') != std::string::npos) {
      settings.shortDateFormat = pattern;
      settings.dateSeparator = separator;
    }
  }
  static const nl_item kShortMonths[12] = {ABMON_1, ABMON_2, ABMON_3, ABMON_4,  ABMON_5,  ABMON_6,
                                           ABMON_7, ABMON_8, ABMON_9, ABMON_10, ABMON_11, ABMON_12};
  static const nl_item kLongMonths[12] = {MON_1, MON_2, MON_3, MON_4,  MON_5,  MON_6,
                                          MON_7, MON_8, MON_9, MON_10, MON_11, MON_12};
  static const nl_item kShortDays[7] = {ABDAY_1, ABDAY_2, ABDAY_3, ABDAY_4,
                                        ABDAY_5, ABDAY_6, ABDAY_7};
  static const nl_item kLongDays[7] = {DAY_1, DAY_2, DAY_3, DAY_4, DAY_5, DAY_6, DAY_7};
  auto take = [&](nl_item item, std::string& target) {
    std::string text = LocaleText(nl_langinfo_l(item, locale), codeset);
    if (!text.empty()) target = std::move(text);
  };
  for (int i = 0; i < 12; ++i) {
    take(kShortMonths[i], settings.shortMonthNames[i]);
    take(kLongMonths[i], settings.longMonthNames[i]);
  }
  for (int i = 0; i < 7; ++i) {
    take(kShortDays[i], settings.shortDayNames[i]);
    take(kLongDays[i], settings.longDayNames[i]);
  }
}

// The locale of one category from the environment, or nullptr when it is not installed.
locale_t OpenLocale(int categoryMask) {
  locale_t locale = ::newlocale(categoryMask | LC_CTYPE_MASK, "", nullptr);
  if (locale == nullptr) locale = ::newlocale(categoryMask, "", nullptr);
  return locale;
}

}  // namespace

// Turns a strftime date format ("%d.%m.%Y") into pattern letters ("dd.mm.yyyy"). Years are
// always four digits, as the table engine's date texts must survive a round trip. Letters and
// other text outside conversions become quoted literals so they are not read as pattern letters.
std::string DatePatternFromStrftime(const char* format, char& separator) {
  std::string pattern;
  std::string literal;
  bool separatorSeen = false;
  auto flush = [&] {
    std::string plain;
    for (char c : literal) {
      if (IsPlainSeparator(c)) {
        AppendQuotedLiteral(pattern, plain);
        plain.clear();
        pattern += c;
        if (!separatorSeen && c != ' ') {
          separator = c;
          separatorSeen = true;
        }
      } else {
        plain += c;
      }
    }
    AppendQuotedLiteral(pattern, plain);
    literal.clear();
  };
  for (const char* p = format; *p != '\0'; ++p) {
    if (*p != '%') {
      literal += *p;
      continue;
    }
    ++p;
    // glibc flags, field widths and the E/O modifiers; only "no padding" matters here.
    bool unpadded = false;
    while (*p == '-' || *p == '_' || *p == '0' || *p == '^' || *p == '#') unpadded |= *p++ == '-';
    while (*p >= '1' && *p <= '9') ++p;
    if (*p == 'E' || *p == 'O') ++p;
    if (*p == '\0') break;
    const char* piece = nullptr;
    switch (*p) {
      case 'd':
        piece = unpadded ? "d" : "dd";
        break;
      case 'e':
        piece = "d";
        break;
      case 'm':
        piece = unpadded ? "m" : "mm";
        break;
      case 'y':
      case 'Y':
      case 'G':
      case 'g':
        piece = "yyyy";
        break;
      case 'b':
      case 'h':
        piece = "mmm";
        break;
      case 'B':
        piece = "mmmm";
        break;
      case 'a':
        piece = "ddd";
        break;
      case 'A':
        piece = "dddd";
        break;
      case 'F':
        piece = "yyyy-mm-dd";
        break;
      case 'D':
        piece = "mm/dd/yyyy";
        break;
      case 'C':
        piece = "";
        break;  // century before %y: the four-digit year covers it
      case '%':
        literal += '%';
        continue;
      case 'n':
      case 't':
        literal += ' ';
        continue;
      default:
        continue;  // a time or week conversion has no place in a short date
    }
    flush();
    pattern += piece;
    if (!separatorSeen && (*p == 'F' || *p == 'D')) {
      separator = *p == 'F' ? '-' : '/';
      separatorSeen = true;
    }
  }
  flush();
  return pattern;
}

RegionalSettings RegionalSettingsFromLocale() {
  RegionalSettings settings;
  if (locale_t numeric = OpenLocale(LC_NUMERIC_MASK)) {
    ReadNumeric(numeric, settings);
    ::freelocale(numeric);
  }
  if (locale_t time = OpenLocale(LC_TIME_MASK)) {
    ReadTime(time, settings);
    ::freelocale(time);
  }
  return settings;
}

const RegionalSettings& Regional() {
  return CurrentSettings();
}

ScopedRegionalSettings::ScopedRegionalSettings(const RegionalSettings& replacement)
    : previous_(CurrentSettings()) {
  CurrentSettings() = replacement;
}

ScopedRegionalSettings::~ScopedRegionalSettings() {
  CurrentSettings() = std::move(previous_);
}

}  // namespace tavlo
