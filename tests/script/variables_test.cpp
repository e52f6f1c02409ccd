// Tests of variables: every internal method and its messages, the order of pops, arrays,
// split[], [1+], load and save, and the host variables through the events.
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <map>

#include "scripttest.h"

namespace tavlo {
namespace {

using testing::Flag;
using testing::Int;
using testing::RunScript;
using testing::Str;

TEST(Variables, SetGetAndCase) {
  EXPECT_EQ(RunScript("5 :x.set :x.get :x.get +"), Int(10));
  EXPECT_EQ(RunScript("5 :x.set :X.get"), Int(5));
  EXPECT_THROW_MSG(RunScript(":x.get"), EqelScriptError, "variable x not defined");
  EXPECT_THROW_MSG(RunScript(":x.foo"), EqelScriptError,
                   "unrecognize internal variable method x.foo");
  // A size set on a missing name creates it with Empty elements: get refuses Empty.
  EXPECT_THROW_MSG(RunScript("2 :e.setsize[] :e.get"), EVariantInvalidOpError,
                   "Invalid variant operation");
}

TEST(Variables, NullValueReadsAsNotDefined) {
  TqelScript s;
  s.onGetVariable = [](TqelScript&, const std::string&, Variant& value, bool& handled,
                       std::string&) {
    value = Variant::Null();
    handled = true;
  };
  s.SetScript(">F.get :v.set :v.get");
  EXPECT_THROW_MSG(s.Run(), EqelScriptError, "variable v not defined");
}

TEST(Variables, ArithmeticMethods) {
  const std::pair<const char*, Variant> cases[] = {
      {"5 :x.set :x.1+ :x.get", Int(6)},         {"5 :x.set :x.1- :x.get", Int(4)},
      {"5 :x.set 3 :x.- :x.get", Int(2)},  // the variable is the left operand
      {"5 :x.set 3 :x.+ :x.get", Int(8)},        {"5 :x.set 3 :x.* :x.get", Int(15)},
      {"5 :x.set 2 :x./ :x.get", Variant(2.5)},  {"5 :x.set :x.-- :x.get", Int(-5)},
      {"'a' :x.set 'b' :x.+ :x.get", Str("ab")}, {"10 :i.set :i.1-?0", Flag(false)},
      {"1 :i.set :i.1-?0", Flag(true)},          {"10 :i.set :i.1-?0 drop :i.get", Int(9)},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(RunScript(text), expected) << text;
  EXPECT_THROW_MSG(RunScript(":x.1+"), EqelScriptError, "variable x not defined");
  EXPECT_THROW_MSG(RunScript(":x.1-?0"), EqelScriptError, "variable x not defined");
  // The operand is popped before the variable is looked up.
  EXPECT_THROW_MSG(RunScript(":x.+"), EqelScriptError, "stack underflow");
}

TEST(Variables, Arrays) {
  EXPECT_EQ(RunScript("3 :a.setsize[] 'p' 1 :a.set[] 1 :a.get[]"), Str("p"));
  EXPECT_EQ(RunScript("3 :a.setsize[] 2 :a.get[]"), Variant::Null());
  EXPECT_EQ(RunScript("3 :a.setsize[] :a.getsize[]"), Int(3));
  EXPECT_EQ(RunScript("7 :a.set 3 :a.setsize[] 0 :a.get[]"), Int(7));  // keeps elements
  EXPECT_THROW_MSG(RunScript("3 :a.setsize[] 3 :a.get[]"), EqelScriptError,
                   "variable a array get index out of range 3");
  EXPECT_THROW_MSG(RunScript("3 :a.setsize[] 'v' -1 :a.set[]"), EqelScriptError,
                   "variable a array get index out of range -1");
  EXPECT_THROW_MSG(RunScript("1 :a.get[]"), EqelScriptError, "variable a not defined");
  EXPECT_THROW_MSG(RunScript(":a.getsize[]"), EqelScriptError, "variable a not defined");
  // set[] pops the index first, then the value.
  EXPECT_EQ(RunScript("2 :a.setsize[] 1 0 :a.set[] 0 :a.get[]"), Int(1));
  // An array sized to nothing has no scalar; sizes that cannot be are refused.
  EXPECT_THROW_MSG(RunScript("0 :a.setsize[] :a.get"), EqelScriptError,
                   "variable a array get index out of range 0");
  EXPECT_EQ(RunScript("0 :a.setsize[] 4 :a.set :a.get"), Int(4));
  EXPECT_THROW_MSG(RunScript("-1 :a.setsize[]"), EqelScriptError,
                   "variable a array size out of range -1");
}

TEST(Variables, Split) {
  EXPECT_EQ(RunScript("'x,y z' :s.split[] :s.getsize[]"), Int(3));
  EXPECT_EQ(RunScript("'a, b' :s.split[] 1 :s.get[]"), Str("b"));
  EXPECT_EQ(RunScript("'a,,b' :s.split[] :s.getsize[]"), Int(3));
  EXPECT_EQ(RunScript("'a,,b' :s.split[] 1 :s.get[]"), Str(""));
  EXPECT_EQ(RunScript("'a,' :s.split[] :s.getsize[]"), Int(1));
  EXPECT_EQ(RunScript("[\"say \"\"hi\"\"\", x] :s.split[] 0 :s.get[]"), Str("say \"hi\""));
  EXPECT_EQ(RunScript("9 :s.set 5 :s.setsize[] 'a b' :s.split[] :s.getsize[]"), Int(2));
  EXPECT_THROW_MSG(RunScript("'' :s.split[]"), EqelScriptError,
                   "internal variable s can not split empty string");
  EXPECT_THROW_MSG(RunScript("'  ' :s.split[]"), EqelScriptError,
                   "internal variable s can not split empty string");
}

TEST(Variables, SplitEndsOnAnEmbeddedNul) {
  TqelScript s;
  s.onGetVariable = [](TqelScript&, const std::string&, Variant& value, bool& handled,
                       std::string&) {
    value = Variant(std::string("a\0b", 3));
    handled = true;
  };
  s.SetScript(">t.get :s.split[] :s.getsize[]");
  EXPECT_EQ(s.Run(), Int(2));
}

TEST(Variables, IncrementIndex) {
  EXPECT_EQ(RunScript("'row[9]' :r.set :r.[1+]"), Str("row[10]"));
  EXPECT_EQ(RunScript("'row[9]' :r.set :r.[1+] drop :r.get"), Str("row[10]"));
  EXPECT_EQ(RunScript("'a[1]b[-3]tail' :r.set :r.[1+]"), Str("a[1]b[-2]"));
  EXPECT_THROW_MSG(RunScript("'row' :r.set :r.[1+]"), EqelScriptError,
                   "Increment Index: \"[\" expected in row");
  EXPECT_THROW_MSG(RunScript("'row[' :r.set :r.[1+]"), EqelScriptError,
                   "Increment Index: \"]\" expected in row[");
  EXPECT_THROW_MSG(RunScript("'row[x]' :r.set :r.[1+]"), EqelScriptError,
                   "Increment Index: expected integer between \"[..]\" in row[x]");
  EXPECT_THROW_MSG(RunScript("'a]b[' :r.set :r.[1+]"), EqelScriptError,
                   "Increment Index: expected integer between \"[..]\" in a]b[");
}

TEST(Variables, LoadAndSave) {
  char folder[] = "/tmp/tavlo-vars-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  const std::string file = std::string(folder) + "/v.txt";
  EXPECT_EQ(
      RunScript("'line' :v.set '" + file + "' :v.save 0 :w.set '" + file + "' :w.load :w.get"),
      Str("line"));
  std::ifstream in(file);
  std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(content, "line");
  EXPECT_THROW_MSG(RunScript("'" + file + "' :nope.load"), EqelScriptError,
                   "variable nope not defined");
  EXPECT_THROW_MSG(
      RunScript("1 :v.set '" + std::string(folder) + "/missing.txt' :v.load"), EFOpenError,
      "Cannot open file " + std::string(folder) + "/missing.txt: No such file or directory");
  std::remove(file.c_str());
  rmdir(folder);
}

struct Host {
  std::map<std::string, Variant> variables;
  std::vector<std::string> calls;

  void Bind(TqelScript& s) {
    s.onGetVariable = [this](TqelScript&, const std::string& name, Variant& value, bool& handled,
                             std::string& error) {
      calls.push_back("get " + name + " (" + error + ")");
      auto found = variables.find(name);
      if (found == variables.end()) {
        error = "The field " + name + " is not found in this collection";
        return;
      }
      value = found->second;
      handled = true;
    };
    s.onSetVariable = [this](TqelScript&, const std::string& name, const Variant& value,
                             bool& handled, std::string& error) {
      calls.push_back("set " + name + " (" + error + ")");
      variables[name] = value;
      handled = name != "readonly";
    };
    s.onGetSystem = [this](TqelScript&, const std::string& name, const std::string& prompt,
                           Variant& value, bool& handled, std::string& error) {
      calls.push_back("system " + name + " " + prompt + " (" + error + ")");
      value = Variant("answer");
      handled = true;
    };
    s.onGetObject = [this](TqelScript&, const std::string& name, const std::string& property,
                           Variant& value, bool& handled, std::string& error) {
      calls.push_back("object " + name + "." + property + " (" + error + ")");
      value = Variant(std::int32_t{42});
      handled = true;
    };
    s.onSetObject = [this](TqelScript&, const std::string& name, const std::string& property,
                           const Variant&, bool&, std::string& error) {
      calls.push_back("set object " + name + "." + property + " (" + error + ")");
    };
  }
};

TEST(Variables, ExternalVariablesGoThroughTheHost) {
  TqelScript s;
  Host host;
  host.variables["CITY"] = Variant("Paris");
  host.Bind(s);
  s.SetScript(">CITY.get 'Paris' =");
  EXPECT_EQ(s.Run(), Flag(true));
  s.SetScript("'x' >out.set >out.get");
  EXPECT_EQ(s.Run(), Str("x"));
  s.SetScript(">NAME.get");
  EXPECT_THROW_MSG(s.Run(), EqelScriptError, "The field NAME is not found in this collection");
  s.SetScript("1 >readonly.set");
  EXPECT_THROW_MSG(s.Run(), EqelScriptError, "can not assign variable readonly");
  s.SetScript(">x.put");
  EXPECT_THROW_MSG(s.Run(), EqelScriptError, "unrecognize external variable method x.put");
  EXPECT_EQ(host.calls[0], "get CITY (Variable CITY not defined)");
}

TEST(Variables, UnassignedEvents) {
  EXPECT_THROW_MSG(RunScript(">x.get"), EqelScriptError, "Variable x not defined");
  EXPECT_EQ(RunScript("1 2 >x.set"), Int(1));  // dropped silently
  EXPECT_THROW_MSG(RunScript("'p' )x.get"), EqelScriptError, "System x not defined");
  EXPECT_EQ(RunScript("5 )x.set"), Int(5));  // stays on the stack
  EXPECT_THROW_MSG(RunScript("^o.get.p"), EqelScriptError, "Object variable o not defined");
  EXPECT_EQ(RunScript("6 ^o.set.p"), Int(6));
  TqelScript s;
  s.onGetVariable = [](TqelScript&, const std::string&, Variant&, bool&, std::string&) {};
  s.SetScript(">x.get");
  EXPECT_THROW_MSG(s.Run(), EqelScriptError, "Variable x not defined");
  s.onGetVariable = [](TqelScript&, const std::string&, Variant&, bool& handled, std::string&) {
    handled = true;
  };
  s.SetScript(">y.get");
  EXPECT_EQ(s.Run(), Variant::Empty());
}

TEST(Variables, SystemAndObjectVariables) {
  TqelScript s;
  Host host;
  host.Bind(s);
  s.SetScript("'now?' )clock.get");
  EXPECT_EQ(s.Run(), Str("answer"));
  EXPECT_EQ(host.calls.back(), "system clock now? (System clock not defined)");
  s.SetScript("^form.get.caption");
  EXPECT_EQ(s.Run(), Int(42));
  EXPECT_EQ(host.calls.back(), "object form.caption (Object variable form not defined)");
  s.SetScript("'t' ^form.set.caption");
  EXPECT_THROW_MSG(s.Run(), EqelScriptError, "can not assign object variable form");
  EXPECT_EQ(host.calls.back(), "set object form.caption (can not assign object variable form)");
  s.SetScript("^form.caption");
  EXPECT_THROW_MSG(s.Run(), EqelScriptError,
                   "missing object method or property specifier in form.caption");
  s.SetScript("^form.put.caption");
  EXPECT_THROW_MSG(s.Run(), EqelScriptError,
                   "unrecognized object variable method or property form.caption");
  s.SetScript(")clock.put");
  EXPECT_THROW_MSG(s.Run(), EqelScriptError, "unrecognize system method clock.put");
}

}  // namespace
}  // namespace tavlo
