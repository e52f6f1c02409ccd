// The words of a key expression: names, numbers, texts, dates, logicals and operators as
// the compiler meets them, each with the exact text it was written as and its position.
// Internal to the key expression compiler; a word it does not know is refused here.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "dbf/keyexpr.h"

namespace tavlo::keyexpr {

enum class Tok {
  End,
  Name,
  Number,
  String,
  Date,
  Logical,
  And,
  Or,
  Not,
  Op,
  Open,
  Close,
  Comma,
  Arrow
};

struct Token {
  Tok kind = Tok::End;
  std::string_view text;  // as written
  std::size_t position = 0;
  std::string string;  // String: the characters between the quotes; Op: the operator
  double number = 0;   // Number; Date: the Julian day; Logical: 1 or 0
  int decimals = 0;    // Number: the digits after the point
};

// "x" with the quotes, for messages.
std::string Quoted(std::string_view word);
// ASCII letters to capitals.
std::string Upper(std::string_view text);

class TWords {
 protected:
  explicit TWords(std::string_view text) : text_(text) {}

  // To the next word (the first, on the first call).
  void Advance();
  bool AtOp(const char* op) const { return token_.kind == Tok::Op && token_.string == op; }

  [[noreturn]] void Refuse(const Token& at, const std::string& reason) const {
    throw EKeyExprNotUnderstood(std::string(at.text), at.position, reason);
  }
  [[noreturn]] void RefuseAt(std::size_t position, std::size_t length,
                             const std::string& reason) const {
    throw EKeyExprNotUnderstood(std::string(text_.substr(position, length)), position, reason);
  }

  std::string_view text_;
  std::size_t pos_ = 0;
  Token token_;

 private:
  void DotWord(std::size_t at, std::size_t& end);
  void DateLiteral(std::size_t at, std::size_t& end);
  void Operator(std::size_t at, std::size_t& end);
};

}  // namespace tavlo::keyexpr
