// Tests of the operator words: operand order, comparisons of strings and numbers, logic,
// like and unlike, and set membership with in.
#include "platform/regional.h"
#include "scripttest.h"

namespace tavlo {
namespace {

using testing::Flag;
using testing::Int;
using testing::RunScript;
using testing::Str;

TEST(Operators, ArithmeticInReadingOrder) {
  EXPECT_EQ(RunScript("10 3 -"), Int(7));
  EXPECT_EQ(RunScript("10 4 /"), Variant(2.5));
  EXPECT_EQ(RunScript("'ab' 'cd' +"), Str("abcd"));
  EXPECT_EQ(RunScript("3 --"), Int(-3));
  EXPECT_EQ(RunScript("'5' --"), Variant(-5.0));
  EXPECT_EQ(RunScript("2147483647 1 +"), Variant(2147483648.0));
  EXPECT_THROW_MSG(RunScript("1 0 /"), EZeroDivide, "Floating point division by zero");
  EXPECT_THROW_MSG(RunScript("'abc' 1 +"), EVariantTypeCastError,
                   "Invalid variant type conversion");
}

TEST(Operators, Comparisons) {
  const std::pair<const char*, bool> cases[] = {
      {"1 2 <", true},         {"2 2 <=", true},  {"3 2 >", true},         {"2 2 >=", true},
      {"1 1 =", true},         {"1 2 <>", true},  {"'a' 'B' <", false},    {"'10' 9 >", true},
      {"'10' '9' >", false},   {"2.5 2 >", true}, {"'abc' 'abc' =", true}, {"true false >", true},
      {"'TRUE' true =", true},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(RunScript(text), Flag(expected)) << text;
  EXPECT_THROW_MSG(RunScript("'x' 1 ="), EVariantTypeCastError, "Invalid variant type conversion");
}

TEST(Operators, NullFieldsCompareLow) {
  TqelScript s;
  s.onGetVariable = [](TqelScript&, const std::string&, Variant& value, bool& handled,
                       std::string&) {
    value = Variant::Null();
    handled = true;
  };
  s.SetScript(">F.get 'x' =");
  EXPECT_EQ(s.Run(), Flag(false));
  s.SetScript(">F.get 'x' <");
  EXPECT_EQ(s.Run(), Flag(true));
  s.SetScript(">F.get >G.get =");
  EXPECT_EQ(s.Run(), Flag(true));
  s.SetScript(">F.get 1 +");
  EXPECT_EQ(s.Run(), Variant::Null());
  s.SetScript(">F.get '' unlike");
  EXPECT_EQ(s.Run(), Flag(true));
}

TEST(Operators, EmptyValuesFailComparison) {
  TqelScript s;
  s.onGetVariable = [](TqelScript&, const std::string&, Variant&, bool& handled, std::string&) {
    handled = true;  // answers without a value: Empty
  };
  s.SetScript(">F.get 1 =");
  EXPECT_THROW_MSG(s.Run(), EVariantInvalidOpError, "Invalid variant operation");
}

TEST(Operators, Logic) {
  EXPECT_EQ(RunScript("true false or"), Flag(true));
  EXPECT_EQ(RunScript("true false and"), Flag(false));
  EXPECT_EQ(RunScript("true true xor"), Flag(false));
  EXPECT_EQ(RunScript("true not"), Flag(false));
  EXPECT_EQ(RunScript("0 not"), Int(-1));
  EXPECT_EQ(RunScript("1 not"), Int(-2));
  EXPECT_EQ(RunScript("true 1 and"), Int(1));
  EXPECT_EQ(RunScript("6 3 xor"), Int(5));
}

TEST(Operators, LikeAndUnlike) {
  EXPECT_EQ(RunScript("'Smith' 'MI' like"), Flag(true));
  EXPECT_EQ(RunScript("'Smith' 'x' unlike"), Flag(true));
  EXPECT_EQ(RunScript("'Smith' 'S*' like"), Flag(false));  // no wildcards
  EXPECT_EQ(RunScript("'x' '' like"), Flag(false));
  EXPECT_EQ(RunScript("'x' '' unlike"), Flag(true));
  EXPECT_EQ(RunScript("12345 23 like"), Flag(true));
  // Only A to Z are lowered: other bytes match only themselves.
  EXPECT_EQ(RunScript("'\xC0' '\xE0' like"), Flag(false));
}

TEST(Operators, InWithSingleItemsAndRanges) {
  const std::pair<const char*, bool> cases[] = {
      {"5 '1 3 5..9' in", true},
      {"3 '1..5' in", true},
      {"3.5 '1..5' in", true},
      {"3 '4 1..2' in", false},
      {"'b' '' in", false},
      {"'b' 'a..c' in", true},
      {"'New York' [\"New York\" Boston] in", true},
      {"'Boston' [\"New York\" Boston] in", true},
      {"'York' [\"New York\" Boston] in", false},
      {"5 '1 y 5' in", false},     // y ends the search
      // Bounds beyond 32 bits compare as numbers.
      {"5 '1..2147483648' in", true},
      {"5 '-99999999999..-1 3..99999999999' in", true},
      {"5 '6..99999999999' in", false},
      {"5 '99999999999' in", false},
      {"5 '1..2147483648x' in", false},
      {"0 '1..y 0' in", true},     // 0 is below 1, so y is never read and 0 then matches
      {"31 'x1F' in", true},       // integer items read as integer literals
      {"7 ' 5 .. 8 ' in", false},  // the range splits on blanks into 5, .. and 8
      {"7 '5..8' in", true},
      {"true 'True' in", false},  // unsupported kind
      {"2.5 '2.5' in", true},
      {"'x' [\"x] in", false},  // unterminated quoted item
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(RunScript(text), Flag(expected)) << text;
  EXPECT_THROW_MSG(RunScript("'1 2' in"), EqelScriptError, "stack underflow");
}

TEST(Operators, InRaisesOnlyForASetThatIsNotText) {
  TqelScript s;
  s.onGetVariable = [](TqelScript&, const std::string&, Variant& value, bool& handled,
                       std::string&) {
    value = Variant::Null();
    handled = true;
  };
  s.SetScript("1 >set.get in");
  EXPECT_THROW_MSG(s.Run(), EVariantTypeCastError, "Invalid variant type conversion");
  s.SetScript(">v.get '1 2' in");  // a Null value: unsupported, false
  EXPECT_EQ(s.Run(), Flag(false));
}

TEST(Operators, InReadsDatesByTheRegionalFormat) {
  RegionalSettings german;
  german.dateSeparator = '.';
  german.shortDateFormat = "dd.mm.yyyy";
  ScopedRegionalSettings scope(german);
  EXPECT_EQ(RunScript("15.06.2024 '01.06.2024..30.06.2024' in"), Flag(true));
  EXPECT_EQ(RunScript("15.07.2024 '01.06.2024..30.06.2024 15.07.2024' in"), Flag(true));
  EXPECT_EQ(RunScript("15.08.2024 '01.06.2024..30.06.2024' in"), Flag(false));
}

}  // namespace
}  // namespace tavlo
