// Operations that combine script values: the operand class table, arithmetic with 32-bit
// overflow to real, logic, negation and comparison. Real results are checked for the
// floating-point traps here, since the hardware does not raise them.
#include <cassert>
#include <cmath>
#include <limits>

#include "value/value.h"

namespace tavlo {

namespace {

enum class Rule : std::uint8_t { Fail, Null, Int, Real, Cur, Str, Bool, Date };

// Classes in table order; Other falls into Empty.
int ClassOf(VariantKind kind) {
  switch (kind) {
    case VariantKind::Empty:
    case VariantKind::Other:
      return 0;
    case VariantKind::Null:
      return 1;
    case VariantKind::Integer:
      return 2;
    case VariantKind::Real:
      return 3;
    case VariantKind::Currency:
      return 4;
    case VariantKind::String:
      return 5;
    case VariantKind::Boolean:
      return 6;
    case VariantKind::Date:
      return 7;
  }
  return 0;
}

constexpr Rule F = Rule::Fail, N = Rule::Null, I = Rule::Int, R = Rule::Real, C = Rule::Cur,
               S = Rule::Str, B = Rule::Bool, D = Rule::Date;

// Rows: left class; columns: right class (Empty Null Integer Real Currency String Boolean Date).
constexpr Rule kRules[8][8] = {
    {F, F, F, F, F, F, F, F},  // Empty
    {F, N, N, N, N, N, N, N},  // Null
    {F, N, I, R, C, R, I, D},  // Integer
    {F, N, R, R, C, R, R, D},  // Real
    {F, N, C, C, C, C, C, D},  // Currency
    {F, N, R, R, C, S, B, D},  // String
    {F, N, I, R, C, B, B, D},  // Boolean
    {F, N, D, D, D, D, D, D},  // Date
};

Rule RuleFor(const Variant& a, const Variant& b) {
  return kRules[ClassOf(a.Kind())][ClassOf(b.Kind())];
}

enum class Op { Add, Sub, Mul, Div };

double RealDivide(double a, double b) {
  if (b == 0) {
    if (a == 0 || std::isnan(a)) throw EInvalidOp();
    throw EZeroDivide();
  }
  return CheckedReal(a / b);
}

double RealOp(Op op, double a, double b) {
  switch (op) {
    case Op::Add:
      return CheckedReal(a + b);
    case Op::Sub:
      return CheckedReal(a - b);
    case Op::Mul:
      return CheckedReal(a * b);
    case Op::Div:
      return RealDivide(a, b);
  }
  return 0;
}

Variant IntegerOp(Op op, std::int32_t a, std::int32_t b) {
  std::int64_t result = 0;
  switch (op) {
    case Op::Add:
      result = std::int64_t{a} + b;
      break;
    case Op::Sub:
      result = std::int64_t{a} - b;
      break;
    case Op::Mul:
      result = std::int64_t{a} * b;
      break;
    case Op::Div:
      return Variant(RealDivide(a, b));
  }
  if (result < std::numeric_limits<std::int32_t>::min() ||
      result > std::numeric_limits<std::int32_t>::max())
    return Variant(static_cast<double>(result));
  return Variant(static_cast<std::int32_t>(result));
}

Variant CurrencyOp(Op op, const Variant& a, const Variant& b) {
  if (op == Op::Div && b.IsCurrency()) return Variant(RealDivide(a.ToReal(), b.ToReal()));
  std::int64_t x = a.ToCurrency();
  std::int64_t y = b.ToCurrency();
  __int128 result = 0;
  switch (op) {
    case Op::Add:
      result = static_cast<__int128>(x) + y;
      break;
    case Op::Sub:
      result = static_cast<__int128>(x) - y;
      break;
    case Op::Mul:
      // Both carry four decimals; round the eight-decimal product back to four.
      return Variant::CurrencyFromReal(CheckedReal(
          static_cast<double>(static_cast<long double>(x) * y / (Variant::kCurrencyScale * 1.0L) /
                              Variant::kCurrencyScale)));
    case Op::Div:
      if (y == 0) {
        if (x == 0) throw EInvalidOp();
        throw EZeroDivide();
      }
      return Variant::CurrencyFromReal(static_cast<double>(static_cast<long double>(x) / y));
  }
  if (result < std::numeric_limits<std::int64_t>::min() ||
      result > std::numeric_limits<std::int64_t>::max())
    throw EOverflow();
  return Variant::Currency(static_cast<std::int64_t>(result));
}

Variant Arithmetic(Op op, const Variant& a, const Variant& b) {
  switch (RuleFor(a, b)) {
    case Rule::Fail:
      throw EVariantInvalidOpError();
    case Rule::Null:
      return Variant::Null();
    case Rule::Int:
      return IntegerOp(op, a.ToInteger(), b.ToInteger());
    case Rule::Cur:
      return CurrencyOp(op, a, b);
    case Rule::Str:
      if (op == Op::Add) return Variant(a.StringValue() + b.StringValue());
      return Variant(RealOp(op, a.ToReal(), b.ToReal()));
    case Rule::Date:
      if (op == Op::Add) return Variant::Date(RealOp(op, a.ToReal(), b.ToReal()));
      if (op == Op::Sub) {
        double difference = RealOp(op, a.ToReal(), b.ToReal());
        if (a.IsDate() && b.IsDate()) return Variant(difference);
        return Variant::Date(difference);
      }
      return Variant(RealOp(op, a.ToReal(), b.ToReal()));
    case Rule::Real:
    case Rule::Bool:
      return Variant(RealOp(op, a.ToReal(), b.ToReal()));
  }
  throw EVariantInvalidOpError();
}

enum class LogicOp { And, Or, Xor };

Variant Logic(LogicOp op, const Variant& a, const Variant& b) {
  switch (RuleFor(a, b)) {
    case Rule::Fail:
      throw EVariantInvalidOpError();
    case Rule::Null:
      return Variant::Null();
    case Rule::Bool: {
      bool x = a.ToBoolean(), y = b.ToBoolean();
      switch (op) {
        case LogicOp::And:
          return Variant(x && y);
        case LogicOp::Or:
          return Variant(x || y);
        case LogicOp::Xor:
          return Variant(x != y);
      }
      break;
    }
    default: {
      std::int32_t x = a.ToInteger(), y = b.ToInteger();
      switch (op) {
        case LogicOp::And:
          return Variant(static_cast<std::int32_t>(x & y));
        case LogicOp::Or:
          return Variant(static_cast<std::int32_t>(x | y));
        case LogicOp::Xor:
          return Variant(static_cast<std::int32_t>(x ^ y));
      }
      break;
    }
  }
  throw EVariantInvalidOpError();
}

template <typename T>
VariantOrder Order(T a, T b) {
  if (a < b) return VariantOrder::Less;
  if (b < a) return VariantOrder::Greater;
  return VariantOrder::Equal;
}

}  // namespace

double CheckedReal(double result) {
  if (std::isnan(result)) throw EInvalidOp();
  if (std::isinf(result)) throw EOverflow();
  return result;
}

Variant Add(const Variant& a, const Variant& b) {
  return Arithmetic(Op::Add, a, b);
}
Variant Subtract(const Variant& a, const Variant& b) {
  return Arithmetic(Op::Sub, a, b);
}
Variant Multiply(const Variant& a, const Variant& b) {
  return Arithmetic(Op::Mul, a, b);
}
Variant Divide(const Variant& a, const Variant& b) {
  return Arithmetic(Op::Div, a, b);
}
Variant Negate(const Variant& a) {
  return Arithmetic(Op::Sub, Variant(std::int32_t{0}), a);
}

Variant And(const Variant& a, const Variant& b) {
  return Logic(LogicOp::And, a, b);
}
Variant Or(const Variant& a, const Variant& b) {
  return Logic(LogicOp::Or, a, b);
}
Variant Xor(const Variant& a, const Variant& b) {
  return Logic(LogicOp::Xor, a, b);
}

Variant Not(const Variant& a) {
  switch (a.Kind()) {
    case VariantKind::Boolean:
      return Variant(!a.BooleanValue());
    case VariantKind::Null:
      return Variant::Null();
    case VariantKind::Empty:
    case VariantKind::Other:
      throw EVariantInvalidOpError();
    default:
      return Variant(static_cast<std::int32_t>(~a.ToInteger()));
  }
}

VariantOrder Compare(const Variant& a, const Variant& b) {
  switch (RuleFor(a, b)) {
    case Rule::Fail:
      throw EVariantInvalidOpError();
    case Rule::Null:
      if (a.IsNull() && b.IsNull()) return VariantOrder::Equal;
      return a.IsNull() ? VariantOrder::Less : VariantOrder::Greater;
    case Rule::Int:
      return Order(a.ToInteger(), b.ToInteger());
    case Rule::Real:
    case Rule::Date:
      return Order(a.ToReal(), b.ToReal());
    case Rule::Cur:
      return Order(a.ToCurrency(), b.ToCurrency());
    case Rule::Str: {
      int c = a.StringValue().compare(b.StringValue());  // char_traits<char> compares unsigned
      return c < 0 ? VariantOrder::Less : c > 0 ? VariantOrder::Greater : VariantOrder::Equal;
    }
    case Rule::Bool:
      return Order(a.ToBoolean(), b.ToBoolean());
  }
  throw EVariantInvalidOpError();
}

}  // namespace tavlo
