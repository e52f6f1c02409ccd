// Tests of the script value: the operand class table, conversions, arithmetic with overflow,
// the floating-point traps, logic and comparison.
#include <gtest/gtest.h>

#include "testsupport.h"

#include <cmath>
#include <limits>

#include "platform/regional.h"
#include "value/value.h"

namespace tavlo {
namespace {

Variant I(int v) {
  return Variant(static_cast<std::int32_t>(v));
}
Variant R(double v) {
  return Variant(v);
}
Variant S(const char* v) {
  return Variant(v);
}
Variant B(bool v) {
  return Variant(v);
}

TEST(Value, ArithmeticFollowsTheClassTable) {
  struct Case {
    Variant a, b;
    Variant (*op)(const Variant&, const Variant&);
    Variant expected;
  };
  const Case cases[] = {
      {S("abc"), S("def"), Add, S("abcdef")},
      {S("5"), I(1), Add, R(6)},
      {I(1), S("5"), Add, R(6)},
      {I(7), I(2), Multiply, I(14)},
      {I(1), I(2), Divide, R(0.5)},
      {I(10), I(4), Divide, R(2.5)},
      {I(10), I(3), Subtract, I(7)},
      {I(2147483647), I(1), Add, R(2147483648.0)},
      {I(-2147483647 - 1), I(1), Subtract, R(-2147483649.0)},
      {I(65536), I(65536), Multiply, R(4294967296.0)},
      {B(true), I(1), Add, I(0)},         // int rule: true is -1
      {B(true), B(true), Add, R(-2)},     // bool rule is the real rule for arithmetic
      {S("2"), S("3"), Subtract, R(-1)},  // str rule only concatenates for +
      {S("2"), B(true), Multiply, R(-2)},
      {Variant::Null(), I(1), Add, Variant::Null()},
      {I(1), Variant::Null(), Divide, Variant::Null()},
      {Variant::Date(100), I(1), Add, Variant::Date(101)},
      {I(1), Variant::Date(100), Add, Variant::Date(101)},
      {Variant::Date(100), Variant::Date(90), Subtract, R(10)},
      {Variant::Date(100), R(0.5), Subtract, Variant::Date(99.5)},
      {Variant::Date(10), I(2), Multiply, R(20)},
      {Variant::Currency(15000), I(2), Multiply, Variant::Currency(30000)},
      {Variant::Currency(15000), I(2), Divide, Variant::Currency(7500)},
      {I(3), Variant::Currency(15000), Divide, R(2)},  // a currency divisor gives a real
      {Variant::Currency(10000), S("0.5"), Add, Variant::Currency(15000)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.op(c.a, c.b), c.expected)
        << c.a.Describe() << " op " << c.b.Describe() << " gave " << c.op(c.a, c.b).Describe();
  }
}

TEST(Value, EmptyAndOtherFailEveryTwoOperandOperation) {
  const Variant operands[] = {Variant::Empty(), Variant::Other()};
  for (const Variant& bad : operands) {
    EXPECT_THROW_MSG(Add(bad, I(1)), EVariantInvalidOpError, "Invalid variant operation");
    EXPECT_THROW_MSG(Add(I(1), bad), EVariantInvalidOpError, "Invalid variant operation");
    EXPECT_THROW_MSG(Compare(bad, bad), EVariantInvalidOpError, "Invalid variant operation");
    EXPECT_THROW_MSG(And(S("x"), bad), EVariantInvalidOpError, "Invalid variant operation");
    EXPECT_THROW_MSG(Not(bad), EVariantInvalidOpError, "Invalid variant operation");
  }
  // Null meets Empty: the table says fail, not Null.
  EXPECT_THROW_MSG(Add(Variant::Null(), Variant::Empty()), EVariantInvalidOpError,
                   "Invalid variant operation");
}

TEST(Value, ArithmeticConversionErrorsAndTraps) {
  EXPECT_THROW_MSG(Add(S("abc"), I(1)), EVariantTypeCastError, "Invalid variant type conversion");
  EXPECT_THROW_MSG(Divide(I(1), I(0)), EZeroDivide, "Floating point division by zero");
  EXPECT_THROW_MSG(Divide(I(0), I(0)), EInvalidOp, "Invalid floating point operation");
  EXPECT_THROW_MSG(Divide(R(-2.5), R(0)), EZeroDivide, "Floating point division by zero");
  EXPECT_THROW_MSG(Multiply(R(1e300), R(1e300)), EOverflow, "Floating point overflow");
  EXPECT_THROW_MSG(Divide(Variant::Currency(1), I(0)), EZeroDivide,
                   "Floating point division by zero");
  // 0 - INT_MIN overflows to real rather than wrapping.
  EXPECT_EQ(Negate(I(-2147483647 - 1)), R(2147483648.0));
}

TEST(Value, NegateIsZeroMinus) {
  EXPECT_EQ(Negate(I(3)), I(-3));
  EXPECT_EQ(Negate(S("5")), R(-5));
  EXPECT_EQ(Negate(Variant::Null()), Variant::Null());
  EXPECT_EQ(Negate(B(true)), I(1));
  EXPECT_THROW_MSG(Negate(Variant::Empty()), EVariantInvalidOpError, "Invalid variant operation");
}

TEST(Value, ConversionsRoundHalfToEven) {
  EXPECT_EQ(R(2.5).ToInteger(), 2);
  EXPECT_EQ(R(3.5).ToInteger(), 4);
  EXPECT_EQ(R(-2.5).ToInteger(), -2);
  EXPECT_EQ(R(-3.5).ToInteger(), -4);
  EXPECT_EQ(R(2.6).ToInteger(), 3);
  EXPECT_EQ(Variant::Currency(25000).ToInteger(), 2);
  EXPECT_EQ(Variant::Currency(35000).ToInteger(), 4);
  EXPECT_EQ(Variant::Currency(-35000).ToInteger(), -4);
  EXPECT_EQ(Variant::Currency(-25001).ToInteger(), -3);
  EXPECT_EQ(S("2.5").ToInteger(), 2);
  EXPECT_EQ(B(true).ToInteger(), -1);
  EXPECT_EQ(Variant::Empty().ToInteger(), 0);
  EXPECT_THROW_MSG(R(1e10).ToInteger(), EVariantTypeCastError, "Invalid variant type conversion");
  EXPECT_THROW_MSG(Variant::Null().ToInteger(), EVariantTypeCastError,
                   "Invalid variant type conversion");
}

TEST(Value, CurrencyKeepsFourDecimalsRoundingHalfToEven) {
  // Halves of the fourth decimal go to the even neighbour, as they do for integers.
  // (1/32 and 3/32 are exact in binary: 312.5 and 937.5 ten-thousandths.)
  EXPECT_EQ(Variant::CurrencyFromReal(0.03125).CurrencyValue(), 312);
  EXPECT_EQ(Variant::CurrencyFromReal(0.09375).CurrencyValue(), 938);
  EXPECT_EQ(Variant::CurrencyFromReal(-0.03125).CurrencyValue(), -312);
  EXPECT_EQ(Variant::CurrencyFromReal(1.23456).CurrencyValue(), 12346);
  EXPECT_THROW_MSG(Variant::CurrencyFromReal(1e15), EOverflow, "Floating point overflow");
  EXPECT_THROW(Variant::CurrencyFromReal(std::nan("")), EVariantTypeCastError);
  EXPECT_EQ(Variant(std::int32_t{7}).ToCurrency(), 70000);
  EXPECT_EQ(B(true).ToCurrency(), -Variant::kCurrencyScale);
  EXPECT_EQ(B(false).ToCurrency(), 0);
  EXPECT_EQ(Variant::Empty().ToCurrency(), 0);
  EXPECT_EQ(R(2.5).ToCurrency(), 25000);
  // A currency amount beyond 32 bits has no integer.
  EXPECT_THROW(Variant::Currency(std::int64_t{3'000'000'000} * 10000).ToInteger(),
               EVariantTypeCastError);
}

TEST(Value, ConversionsToBooleanAndText) {
  EXPECT_TRUE(S("TRUE").ToBoolean());
  EXPECT_FALSE(S("False").ToBoolean());
  EXPECT_TRUE(S("2").ToBoolean());
  EXPECT_FALSE(S("0").ToBoolean());
  EXPECT_TRUE(I(-2).ToBoolean());
  EXPECT_FALSE(Variant::Empty().ToBoolean());
  EXPECT_THROW_MSG(S("x").ToBoolean(), EVariantTypeCastError, "Invalid variant type conversion");
  EXPECT_THROW_MSG(Variant::Null().ToBoolean(), EVariantTypeCastError,
                   "Invalid variant type conversion");

  EXPECT_EQ(I(-42).ToText(), "-42");
  EXPECT_EQ(B(true).ToText(), "True");
  EXPECT_EQ(B(false).ToText(), "False");
  EXPECT_EQ(Variant::Empty().ToText(), "");
  EXPECT_EQ(Variant::Null().ToTextOrEmpty(), "");
  EXPECT_THROW_MSG(Variant::Null().ToText(), EVariantTypeCastError,
                   "Invalid variant type conversion");
  EXPECT_THROW_MSG(Variant::Other().ToTextOrEmpty(), EVariantTypeCastError,
                   "Invalid variant type conversion");
}

TEST(Value, TextAndNumbersFollowTheRegionalSettings) {
  RegionalSettings comma;
  comma.decimalSeparator = ',';
  comma.dateSeparator = '.';
  comma.shortDateFormat = "dd.mm.yyyy";
  ScopedRegionalSettings scope(comma);
  EXPECT_EQ(R(2.5).ToText(), "2,5");
  EXPECT_DOUBLE_EQ(S("2,25").ToReal(), 2.25);
  EXPECT_EQ(Variant::Date(EncodeDate(2024, 3, 1)).ToText(), "01.03.2024");
  EXPECT_DOUBLE_EQ(S("01.03.2024").ToDate(), EncodeDate(2024, 3, 1));
  EXPECT_EQ(Variant::CurrencyFromReal(1.25).ToText(), "1,25");
}

TEST(Value, LogicAndNot) {
  EXPECT_EQ(Or(B(true), B(false)), B(true));
  EXPECT_EQ(And(B(true), B(false)), B(false));
  EXPECT_EQ(Xor(B(true), B(true)), B(false));
  EXPECT_EQ(And(B(true), I(1)), I(1));  // int rule: -1 and 1
  EXPECT_EQ(Or(I(4), I(1)), I(5));
  EXPECT_EQ(And(S("true"), B(false)), B(false));  // String with Boolean: bool rule
  EXPECT_EQ(And(Variant::Null(), B(true)), Variant::Null());
  EXPECT_EQ(Not(B(true)), B(false));
  EXPECT_EQ(Not(I(0)), I(-1));
  EXPECT_EQ(Not(I(1)), I(-2));
  EXPECT_EQ(Not(Variant::Null()), Variant::Null());
  EXPECT_THROW_MSG(Not(S("abc")), EVariantTypeCastError, "Invalid variant type conversion");
}

TEST(Value, CompareByRule) {
  EXPECT_EQ(Compare(S("10"), I(9)), VariantOrder::Greater);      // numeric
  EXPECT_EQ(Compare(S("10"), S("9")), VariantOrder::Less);       // text
  EXPECT_EQ(Compare(S("a"), S("B")), VariantOrder::Greater);     // bytes: a is 97, B 66
  EXPECT_EQ(Compare(S("ab"), S("abc")), VariantOrder::Less);     // prefix is less
  EXPECT_EQ(Compare(S("\xE9"), S("z")), VariantOrder::Greater);  // unsigned bytes
  EXPECT_EQ(Compare(Variant::Null(), Variant::Null()), VariantOrder::Equal);
  EXPECT_EQ(Compare(Variant::Null(), I(0)), VariantOrder::Less);
  EXPECT_EQ(Compare(S(""), Variant::Null()), VariantOrder::Greater);
  EXPECT_EQ(Compare(B(false), B(true)), VariantOrder::Less);
  EXPECT_EQ(Compare(S("true"), B(true)), VariantOrder::Equal);
  EXPECT_EQ(Compare(B(true), I(0)), VariantOrder::Less);  // int rule: -1 < 0
  EXPECT_EQ(Compare(R(2.5), I(2)), VariantOrder::Greater);
  EXPECT_EQ(Compare(Variant::Currency(20000), I(2)), VariantOrder::Equal);
  EXPECT_EQ(Compare(Variant::Date(5), I(5)), VariantOrder::Equal);
  EXPECT_THROW_MSG(Compare(S("x"), I(1)), EVariantTypeCastError, "Invalid variant type conversion");
}

// Moves skip an empty text: every kind must still arrive whole, and a text left behind in
// the target by an earlier value must never show through.
TEST(Value, MovesCarryEveryKindAndDropOldText) {
  const std::string longText(40, 'x');
  const Variant samples[] = {Variant(std::int32_t{-7}),
                             Variant(2.5),
                             Variant(true),
                             Variant::Date(45000.25),
                             Variant::Currency(15000),
                             Variant::Null(),
                             Variant(),
                             Variant(std::string()),
                             Variant("ab"),
                             Variant(longText)};
  for (const Variant& sample : samples) {
    Variant source = sample;
    Variant moved(std::move(source));
    EXPECT_EQ(moved.Kind(), sample.Kind());
    EXPECT_TRUE(moved == sample) << sample.Describe();
    Variant target(longText);
    Variant again = sample;
    target = std::move(again);
    EXPECT_EQ(target.Kind(), sample.Kind());
    EXPECT_TRUE(target == sample) << sample.Describe();
    if (!sample.IsString()) {
      EXPECT_EQ(target.ToTextOrEmpty(), sample.ToTextOrEmpty());
    }
  }
  Variant cleared(longText);
  cleared.AssignBoolean(false);
  EXPECT_TRUE(cleared == Variant(false));
  cleared.Clear();
  EXPECT_TRUE(cleared.IsEmpty());
  cleared.AssignString("q");
  EXPECT_EQ(cleared.StringValue(), "q");
}

}  // namespace
}  // namespace tavlo
