// Tests of control flow and procedures: conditionals and their nesting, repeat ... until with
// booleans and integers, procedure definition, calls, recursion and the skip of bodies.
#include "scripttest.h"

namespace tavlo {
namespace {

using testing::Int;
using testing::RunScript;
using testing::Str;

TEST(ControlFlow, Conditionals) {
  EXPECT_EQ(RunScript("1 if 'a' else 'b' endif"), Str("a"));
  EXPECT_EQ(RunScript("0 if 'a' else 'b' endif"), Str("b"));
  EXPECT_EQ(RunScript("0 if 'a' endif"), Variant::Null());
  EXPECT_EQ(RunScript("true if 'a' endif 'z'"), Str("z"));
  EXPECT_EQ(RunScript("1 if 0 if 'a' else 'b' endif endif"), Str("b"));
  EXPECT_EQ(RunScript("0 if 1 if 'a' else 'b' endif else 'c' endif"), Str("c"));
  EXPECT_EQ(RunScript("'true' if 1 else 2 endif"), Int(1));
  EXPECT_THROW_MSG(RunScript("'x' if 1 endif"), EVariantTypeCastError,
                   "Invalid variant type conversion");
  EXPECT_THROW_MSG(RunScript("if 1 endif"), EqelScriptError, "stack underflow");
}

TEST(ControlFlow, RepeatUntil) {
  EXPECT_EQ(RunScript("0 :n.set repeat :n.1+ :n.get 5 = until :n.get"), Int(5));
  EXPECT_EQ(RunScript("10 :i.set 0 repeat 1 + :i.1-?0 until"), Int(10));
  // The body runs once even when the condition holds at once.
  EXPECT_EQ(RunScript("0 repeat 1 + true until"), Int(1));
  // Integer -1 ends the loop (not -1 is 0); Null cannot be a condition.
  EXPECT_EQ(RunScript("0 repeat 1 + -1 until"), Int(1));
  EXPECT_THROW_MSG(RunScript("repeat :x.set :x.get until"), EqelScriptError, "stack underflow");
  TqelScript s;
  s.onGetVariable = [](TqelScript&, const std::string&, Variant& value, bool& handled,
                       std::string&) {
    value = Variant::Null();
    handled = true;
  };
  s.SetScript("repeat >x.get until");
  EXPECT_THROW_MSG(s.Run(), EVariantTypeCastError, "Invalid variant type conversion");
}

TEST(ControlFlow, RepeatWithOneNeverEnds) {
  TqelScript s;
  s.SetScriptTimeOut(0);
  s.SetScript("repeat 1 until");  // not 1 is -2, which is true: loop again
  EXPECT_THROW_MSG(s.Run(), EqelScriptError, "Script timed out after 0 seconds");
}

TEST(ControlFlow, Procedures) {
  EXPECT_EQ(RunScript("f= 1 + ; 1 f f"), Int(3));
  EXPECT_EQ(RunScript("f= 1 + ; 1 F"), Int(2));  // names ignore case
  EXPECT_EQ(RunScript("p= 1 ;"), Variant::Null());
  EXPECT_EQ(RunScript("sq= dup * ; 3 sq 10 > if 'big' else 'small' endif"), Str("small"));
  // The first definition of a name is the one that later calls find.
  EXPECT_EQ(RunScript("f= 1 ; f= 2 ; f"), Int(1));
  // Definitions may stand between main-line atoms: they are skipped.
  EXPECT_EQ(RunScript("1 g= 100 ; 2 + g +"), Int(103));
}

TEST(ControlFlow, RecursionAndItsLimit) {
  // Counts down from 5, leaving 5 4 3 2 1 0 summed.
  EXPECT_EQ(RunScript("sum= dup 0 > if dup 1 - sum + endif ; 5 sum"), Int(15));
  EXPECT_THROW_MSG(RunScript("r= r ; r"), EqelScriptError, "return stack overflow");
}

TEST(ControlFlow, ReturnsInTheMainLineAndEarlyReturns) {
  EXPECT_THROW_MSG(RunScript(";"), EqelScriptError, "return stack underflow");
  // Definitions do not nest: the skip of a stops at the first ;, the second runs in the
  // main line.
  EXPECT_THROW_MSG(RunScript("a= b= 1 ; ;"), EqelScriptError, "return stack underflow");
  // A ; inside an if ends the body for the skip: the atoms after it run in the main line
  // (here 'tail' and then the final ; with no call pending).
  EXPECT_THROW_MSG(RunScript("f= dup if ; endif 'tail' ;"), EqelScriptError,
                   "return stack underflow");
  // An early return inside if ... else keeps the main line clean: the skip stops at the
  // first ;, and the else that follows jumps past endif.
  EXPECT_EQ(RunScript("f= if 'early' ; else 'late' ; endif 1 f 0 f +"), Str("earlylate"));
}

}  // namespace
}  // namespace tavlo
