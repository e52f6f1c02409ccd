// The compiled form of a key expression, shared by its compiler (keyexprparse.cpp) and its
// evaluator (keyexpreval.cpp): a list of nodes, children before their parents, each with its
// type and a slot for its value. Internal to the key expression code.
#pragma once

#include <array>
#include <cstdint>

#include "dbf/keyexpr.h"

namespace tavlo::keyexpr {

// What a node does. The operands are args[0..2]; the constant parameters n, m, fill and scale
// are fixed by the compiler.
enum class Op : std::uint8_t {
  Field,       // the field at column
  Literal,     // value as compiled
  RecNo,       // RECNO()
  Deleted,     // DELETED()
  Negate,      // -a
  Not,         // .NOT. a
  Concat,      // a + b (texts)
  ConcatMove,  // a - b (texts): the trailing blanks of a go to the end
  Add,         // numbers
  Subtract,
  Multiply,
  Divide,
  Modulo,
  Power,
  DateAdd,   // a date (or date-time) plus b days (seconds): scale 1 (86400) per day
  DateSub,   // a date minus b days (seconds)
  DateDiff,  // a date minus a date: days (seconds: scale 86400)
  Equal,     // a = b (texts: b is a prefix of a, the rest of b blanks)
  Exact,     // a == b
  NotEqual,  // a <> b, a # b, a != b
  Less,
  LessEqual,
  Greater,
  GreaterEqual,
  Contains,  // a $ b
  And,
  Or,
  Upper,
  Lower,
  Left,  // LEFT(a, b)
  Right,
  Substr,  // SUBSTR(a, b[, c]); n: 1 when c is given
  Trim,    // TRIM, RTRIM
  LTrim,
  AllTrim,
  PadL,  // PADL(a, n[, fill])
  PadR,
  PadC,
  Str,  // STR(a, n, m)
  Val,
  Dtos,  // DTOS(a), DTOC(a, 1)
  Dtoc,  // DTOC(a): MM/DD/YY
  Ctod,
  Year,
  Month,
  Day,
  Iif,
  BinToC,  // BINTOC(a, n)
  Empty,
  IsNull,
  Nvl,
};

struct Node {
  Op op = Op::Literal;
  TKeyType type;
  std::array<int, 3> args{-1, -1, -1};
  TKeyKind operand = TKeyKind::Character;  // comparisons: the kind of both operands
  int column = -1;                         // Field
  int n = 0;
  int m = 0;
  char fill = ' ';
  double scale = 1;
  TKeyValue value;  // the result; for a literal the constant
};

}  // namespace tavlo::keyexpr
