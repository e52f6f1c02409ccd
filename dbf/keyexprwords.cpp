// The words of a key expression, read one at a time: what a name, a number, a text in
// quotes or brackets, a date in braces, a dotted word and an operator look like.
#include "dbf/keyexprwords.h"

#include <charconv>

#include "dbf/fieldcodec.h"

namespace tavlo::keyexpr {

namespace {

// Julian day of 0001-01-01 minus the native day number of that date (1).
constexpr double kJulianOfDayZero = 1721425;

bool IsNameStart(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}
bool IsNameChar(char c) {
  return IsNameStart(c) || (c >= '0' && c <= '9');
}
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

}  // namespace

std::string Quoted(std::string_view word) {
  return "\"" + std::string(word) + "\"";
}

std::string Upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
  return out;
}

void TWords::Advance() {
  std::size_t at = pos_;
  while (at < text_.size() &&
         (text_[at] == ' ' || text_[at] == '\t' || text_[at] == '\r' || text_[at] == '\n')) {
    ++at;
  }
  token_ = Token();
  token_.position = at;
  if (at >= text_.size()) {
    pos_ = at;
    token_.text = text_.substr(at, 0);
    return;
  }
  const char c = text_[at];
  std::size_t end = at + 1;
  if (IsNameStart(c)) {
    while (end < text_.size() && IsNameChar(text_[end])) ++end;
    token_.kind = Tok::Name;
  } else if (IsDigit(c) || (c == '.' && at + 1 < text_.size() && IsDigit(text_[at + 1]))) {
    end = at;
    while (end < text_.size() && IsDigit(text_[end])) ++end;
    if (end < text_.size() && text_[end] == '.' && end + 1 < text_.size() &&
        IsDigit(text_[end + 1])) {
      const std::size_t point = end++;
      while (end < text_.size() && IsDigit(text_[end])) ++end;
      token_.decimals = static_cast<int>(end - point - 1);
    }
    token_.kind = Tok::Number;
    const auto read = std::from_chars(text_.data() + at, text_.data() + end, token_.number,
                                      std::chars_format::fixed);
    if (read.ec != std::errc()) {
      RefuseAt(at, end - at,
               "the number " + std::string(text_.substr(at, end - at)) + " is too large");
    }
  } else if (c == '.') {
    DotWord(at, end);
  } else if (c == '"' || c == '\'' || c == '[') {
    const char close = c == '[' ? ']' : c;
    const std::size_t found = text_.find(close, at + 1);
    if (found == std::string_view::npos) {
      RefuseAt(at, text_.size() - at,
               "the text that starts with " + std::string(1, c) + " has no closing " +
                   std::string(1, close));
    }
    end = found + 1;
    token_.kind = Tok::String;
    token_.string = std::string(text_.substr(at + 1, found - at - 1));
  } else if (c == '{') {
    DateLiteral(at, end);
  } else {
    Operator(at, end);
  }
  token_.text = text_.substr(at, end - at);
  pos_ = end;
}

void TWords::DotWord(std::size_t at, std::size_t& end) {
  while (end < text_.size() && IsNameChar(text_[end])) ++end;
  const bool closed = end < text_.size() && text_[end] == '.';
  const std::string word = Upper(text_.substr(at + 1, end - at - 1));
  if (closed) ++end;
  if (closed && (word == "T" || word == "F" || word == "Y" || word == "N")) {
    token_.kind = Tok::Logical;
    token_.number = word == "T" || word == "Y" ? 1 : 0;
  } else if (closed && word == "AND") {
    token_.kind = Tok::And;
  } else if (closed && word == "OR") {
    token_.kind = Tok::Or;
  } else if (closed && word == "NOT") {
    token_.kind = Tok::Not;
  } else {
    RefuseAt(at, end - at, Quoted(text_.substr(at, end - at)) + " is not understood");
  }
}

// {^YYYY-MM-DD} (the strict form, the same on every machine) and {} for the empty date.
void TWords::DateLiteral(std::size_t at, std::size_t& end) {
  const std::size_t found = text_.find('}', at);
  if (found == std::string_view::npos) {
    RefuseAt(at, text_.size() - at, "the date that starts with { has no closing }");
  }
  end = found + 1;
  std::string_view inside = text_.substr(at + 1, found - at - 1);
  while (!inside.empty() && inside.front() == ' ') inside.remove_prefix(1);
  while (!inside.empty() && inside.back() == ' ') inside.remove_suffix(1);
  token_.kind = Tok::Date;
  if (inside.empty()) return;
  int year = 0, month = 0, day = 0;
  bool strict = inside.size() == 11 && inside[0] == '^' && inside[5] == '-' && inside[8] == '-';
  for (std::size_t i : {1, 2, 3, 4, 6, 7, 9, 10}) {
    strict = strict && IsDigit(inside[i]);
  }
  if (strict) {
    auto number = [&](std::size_t from, std::size_t count) {
      int value = 0;
      for (std::size_t i = from; i < from + count; ++i) value = value * 10 + (inside[i] - '0');
      return value;
    };
    year = number(1, 4);
    month = number(6, 2);
    day = number(9, 2);
  }
  const std::int32_t native = strict ? DayNumberOfDate(year, month, day) : 0;
  if (native == 0) {
    RefuseAt(at, end - at,
             "the date " + std::string(text_.substr(at, end - at)) +
                 " is not understood (only {^YYYY-MM-DD} and {} are)");
  }
  token_.number = native + kJulianOfDayZero;
}

void TWords::Operator(std::size_t at, std::size_t& end) {
  static const char* const kTwo[] = {"->", "**", "==", "<>", "<=", ">=", "!="};
  static const char kOne[] = "+-*/%^=<>#$!(),";
  for (const char* two : kTwo) {
    if (text_.substr(at, 2) == two) {
      end = at + 2;
      token_.kind = std::string_view(two) == "->" ? Tok::Arrow : Tok::Op;
      token_.string = two;
      return;
    }
  }
  const char c = text_[at];
  if (std::string_view(kOne).find(c) == std::string_view::npos) {
    RefuseAt(at, 1, "the character " + Quoted(text_.substr(at, 1)) + " is not understood");
  }
  token_.kind = c == '('   ? Tok::Open
                : c == ')' ? Tok::Close
                : c == ',' ? Tok::Comma
                : c == '!' ? Tok::Not
                           : Tok::Op;
  token_.string = std::string(1, c);
}

}  // namespace tavlo::keyexpr
