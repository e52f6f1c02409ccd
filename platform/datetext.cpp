// Date and time text: formatting with pattern letters and the regional names, and the date
// parser that reads the short date format's order. Never touches the C library's locale.

#include <cstdint>
#include <string>

#include "platform/asciitext.h"
#include "platform/datetimeparts.h"
#include "platform/errors.h"
#include "platform/regional.h"

namespace tavlo {
namespace {

struct Moment {
  int year = 0, month = 0, day = 0;
  int hour = 0, minute = 0, second = 0, millisecond = 0;
  int dayOfWeek = 1;  // 1 = Sunday
  bool hasTime = false;
};

Moment Break(double dateTime) {
  Moment m;
  std::int64_t dayNumber = 0;
  std::int64_t ms = 0;
  if (SplitDateTime(dateTime, dayNumber, ms)) {
    CivilFromDay(dayNumber, m.year, m.month, m.day);
    m.dayOfWeek = DayOfWeek(static_cast<double>(dayNumber));
  }
  m.hasTime = ms != 0;
  m.millisecond = static_cast<int>(ms % 1000);
  ms /= 1000;
  m.second = static_cast<int>(ms % 60);
  ms /= 60;
  m.minute = static_cast<int>(ms % 60);
  m.hour = static_cast<int>(ms / 60);
  return m;
}

void AppendNumber(std::string& out, int value, int width) {
  std::string digits = std::to_string(value < 0 ? -value : value);
  if (value < 0) out += '-';
  if (static_cast<int>(digits.size()) < width) out.append(width - digits.size(), '0');
  out += digits;
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

bool StartsWithNoCase(const std::string& text, std::size_t at, const char* prefix) {
  for (std::size_t i = 0; prefix[i] != '\0'; ++i)
    if (at + i >= text.size() || LowerAscii(text[at + i]) != prefix[i]) return false;
  return true;
}

// Whether the pattern asks for a 12-hour clock (an am/pm or a/p outside quotes).
bool UsesTwelveHourClock(const std::string& pattern) {
  char quote = 0;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    char c = pattern[i];
    if (quote != 0) {
      if (c == quote) quote = 0;
    } else if (c == '\'' || c == '"') {
      quote = c;
    } else if (StartsWithNoCase(pattern, i, "am/pm") || StartsWithNoCase(pattern, i, "a/p")) {
      return true;
    }
  }
  return false;
}

void Format(std::string& out, const std::string& pattern, const Moment& m, int depth) {
  const RegionalSettings& regional = Regional();
  const bool twelveHour = UsesTwelveHourClock(pattern);
  bool afterHour = false;
  std::size_t i = 0;
  while (i < pattern.size()) {
    char c = pattern[i];
    char lower = LowerAscii(c);
    if (c == '\'' || c == '"') {
      std::size_t close = pattern.find(c, i + 1);
      if (close == std::string::npos) close = pattern.size();
      out.append(pattern, i + 1, close - i - 1);
      i = close + 1;
      continue;
    }
    std::size_t run = 1;
    while (i + run < pattern.size() && LowerAscii(pattern[i + run]) == lower) ++run;
    switch (lower) {
      case 'd':
        afterHour = false;
        if (run == 1 || run == 2) {
          AppendNumber(out, m.day, static_cast<int>(run));
        } else if (run == 3) {
          out += regional.shortDayNames[m.dayOfWeek - 1];
        } else if (run == 4) {
          out += regional.longDayNames[m.dayOfWeek - 1];
        } else if (depth < 2) {
          Format(out, regional.shortDateFormat, m, depth + 1);
        }
        break;
      case 'm':
        if (afterHour && run <= 2) {
          AppendNumber(out, m.minute, static_cast<int>(run));
        } else if (run <= 2) {
          AppendNumber(out, m.month, static_cast<int>(run));
        } else if (m.month >= 1) {
          out += run == 3 ? regional.shortMonthNames[m.month - 1]
                          : regional.longMonthNames[m.month - 1];
        }
        afterHour = false;
        break;
      case 'y':
        afterHour = false;
        if (run <= 2) {
          AppendNumber(out, m.year % 100, 2);
        } else {
          AppendNumber(out, m.year, 4);
        }
        break;
      case 'h': {
        int hour = m.hour;
        if (twelveHour) {
          hour %= 12;
          if (hour == 0) hour = 12;
        }
        AppendNumber(out, hour, run >= 2 ? 2 : 1);
        afterHour = true;
        break;
      }
      case 'n':
        afterHour = false;
        AppendNumber(out, m.minute, run >= 2 ? 2 : 1);
        break;
      case 's':
        afterHour = false;
        AppendNumber(out, m.second, run >= 2 ? 2 : 1);
        break;
      case 'z':
        afterHour = false;
        AppendNumber(out, m.millisecond, run >= 3 ? 3 : 1);
        break;
      case 't':
        afterHour = false;
        if (depth < 2)
          Format(out, run == 1 ? std::string("hh:nn") : regional.longTimeFormat, m, depth + 1);
        break;
      case 'c':
        afterHour = false;
        if (depth < 2) {
          Format(out, regional.shortDateFormat, m, depth + 1);
          if (m.hasTime) {
            out += ' ';
            Format(out, regional.longTimeFormat, m, depth + 1);
          }
        }
        break;
      case 'a':
        run = 1;
        if (StartsWithNoCase(pattern, i, "am/pm")) {
          bool upper = c == 'A';
          out += m.hour < 12 ? (upper ? "AM" : "am") : (upper ? "PM" : "pm");
          run = 5;
        } else if (StartsWithNoCase(pattern, i, "a/p")) {
          bool upper = c == 'A';
          out += m.hour < 12 ? (upper ? 'A' : 'a') : (upper ? 'P' : 'p');
          run = 3;
        } else {
          out += c;
        }
        break;
      case '/':
        run = 1;
        out += regional.dateSeparator;
        break;
      case ':':
        run = 1;
        out += regional.timeSeparator;
        break;
      default:
        out.append(run, c);
        break;
    }
    i += run;
  }
}

// --- parsing ------------------------------------------------------------------------------

struct Scanner {
  const std::string& text;
  std::size_t at = 0;

  bool AtEnd() const { return at >= text.size(); }
  char Peek() const { return AtEnd() ? '\0' : text[at]; }
  void SkipBlanks() {
    while (!AtEnd() && (text[at] == ' ' || text[at] == '\t')) ++at;
  }
  // Up to maxDigits decimal digits; digitCount receives how many (0: none, nothing consumed).
  int Number(int maxDigits, int& digitCount) {
    int value = 0;
    digitCount = 0;
    while (!AtEnd() && IsDigit(text[at]) && digitCount < maxDigits) {
      value = value * 10 + (text[at] - '0');
      ++at;
      ++digitCount;
    }
    return value;
  }
};

bool IsDateSeparator(char c, char regional) {
  return c == '/' || c == '.' || c == '-' || c == ' ' || c == regional;
}

// The order of day, month and year in the short date format, as three of 'd', 'm', 'y'.
std::string DateOrder(const std::string& format) {
  std::string order;
  char quote = 0;
  for (char c : format) {
    if (quote != 0) {
      if (c == quote) quote = 0;
      continue;
    }
    if (c == '\'' || c == '"') {
      quote = c;
      continue;
    }
    char lower = LowerAscii(c);
    if ((lower == 'd' || lower == 'm' || lower == 'y') && order.find(lower) == std::string::npos)
      order += lower;
  }
  return order.size() == 3 ? order : std::string("mdy");
}

bool ParseTime(Scanner& s, const RegionalSettings& regional, double& time) {
  int digits = 0;
  int hour = s.Number(2, digits);
  if (digits == 0) return false;
  auto isTimeSeparator = [&](char c) { return c == ':' || c == regional.timeSeparator; };
  if (!isTimeSeparator(s.Peek())) return false;
  ++s.at;
  int minute = s.Number(2, digits);
  if (digits == 0) return false;
  int second = 0;
  int millisecond = 0;
  if (isTimeSeparator(s.Peek())) {
    ++s.at;
    second = s.Number(2, digits);
    if (digits == 0) return false;
    if (s.Peek() == '.' || s.Peek() == regional.decimalSeparator) {
      ++s.at;
      millisecond = s.Number(3, digits);
      if (digits == 0) return false;
      for (int i = digits; i < 3; ++i) millisecond *= 10;
    }
  }
  s.SkipBlanks();
  if (StartsWithNoCase(s.text, s.at, "am") || StartsWithNoCase(s.text, s.at, "pm")) {
    bool pm = LowerAscii(s.Peek()) == 'p';
    s.at += 2;
    if (hour < 1 || hour > 12) return false;
    hour = hour % 12 + (pm ? 12 : 0);
  }
  if (hour > 23 || minute > 59 || second > 59) return false;
  time = EncodeTime(hour, minute, second, millisecond);
  return true;
}

}  // namespace

std::string FormatDateTime(const std::string& pattern, double dateTime) {
  std::string out;
  out.reserve(pattern.size() + 16);
  Format(out, pattern, Break(dateTime), 0);
  return out;
}

std::string DateToText(double date) {
  return FormatDateTime(Regional().shortDateFormat, date);
}

std::string TimeToText(double time) {
  return FormatDateTime(Regional().longTimeFormat, time);
}

std::string DateTimeToText(double dateTime) {
  return FormatDateTime("c", dateTime);
}

bool TextToDateTime(const std::string& text, double& dateTime) {
  const RegionalSettings& regional = Regional();
  Scanner s{text};
  s.SkipBlanks();
  int parts[3] = {0, 0, 0};
  int partDigits[3] = {0, 0, 0};
  int count = 0;
  while (count < 3) {
    std::size_t start = s.at;
    int digits = 0;
    int value = s.Number(4, digits);
    if (digits == 0) return false;
    if (s.Peek() == ':' || s.Peek() == regional.timeSeparator) {
      // The time begins here.
      s.at = start;
      break;
    }
    parts[count] = value;
    partDigits[count] = digits;
    ++count;
    // A separator, possibly with blanks around it ("5. 12. 2024"), leads to the next part.
    std::size_t beforeSeparator = s.at;
    s.SkipBlanks();
    bool marked = false;
    if (!s.AtEnd() && s.Peek() != ' ' && IsDateSeparator(s.Peek(), regional.dateSeparator)) {
      ++s.at;
      s.SkipBlanks();
      marked = true;
    }
    bool digitFollows = IsDigit(s.Peek());
    if (marked && !digitFollows) return false;  // "12/05/" is no date
    if (s.at == beforeSeparator || !digitFollows) {
      s.at = beforeSeparator;
      break;
    }
  }
  if (count < 2) return false;
  std::string order = DateOrder(regional.shortDateFormat);
  int year = 0;
  int month = 0;
  int day = 0;
  if (count == 2) {
    order.erase(order.find('y'), 1);
    year = CurrentYear();
  }
  for (int i = 0; i < count; ++i) {
    switch (order[i]) {
      case 'd':
        day = parts[i];
        break;
      case 'm':
        month = parts[i];
        break;
      default:
        year = parts[i];
        if (partDigits[i] <= 2) year = ExpandTwoDigitYear(year);
        break;
    }
  }
  if (!IsValidDate(year, month, day)) return false;
  double date = EncodeDate(year, month, day);
  double time = 0;
  s.SkipBlanks();
  if (!s.AtEnd()) {
    if (!ParseTime(s, regional, time)) return false;
    s.SkipBlanks();
    if (!s.AtEnd()) return false;
  }
  dateTime = ComposeDateTime(date, time);
  return true;
}

double TextToDateTimeOrThrow(const std::string& text) {
  double value = 0;
  if (!TextToDateTime(text, value)) throw EConvertError("'" + text + "' is not a valid date");
  return value;
}

}  // namespace tavlo
