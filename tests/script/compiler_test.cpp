// Tests of the compiler: tokens, literal forms, comments, includes, the translation rules and
// every compile error text.
#include <map>

#include "platform/clock.h"
#include "platform/regional.h"
#include "scripttest.h"

namespace tavlo {
namespace {

using testing::Int;
using testing::RunScript;
using testing::Str;

std::vector<AtomKind> Kinds(const TqelScript& s) {
  std::vector<AtomKind> kinds;
  for (const TAtom& atom : s.Atoms()) kinds.push_back(atom.Kind);
  return kinds;
}

std::string CompileError(TqelScript& s, const std::string& text) {
  try {
    s.SetScript(text);
  } catch (const EqelScriptError& error) {
    return error.what();
  }
  return "(compiled)";
}

std::string CompileError(const std::string& text) {
  TqelScript s;
  return CompileError(s, text);
}

TEST(Compiler, TokensAreSeparatedBySpacesOnly) {
  TqelScript s;
  s.SetScript("1  2   +");
  ASSERT_EQ(s.Atoms().size(), 3u);
  EXPECT_EQ(s.Atoms()[0].Value, Int(1));
  EXPECT_EQ(s.Atoms()[2].Kind, AtomKind::Word);
  EXPECT_EQ(s.Run(), Int(3));
  // A tab belongs to the token.
  EXPECT_EQ(CompileError("1\t2 +"), "undefined word \"1\t2\" near +");
  // Line breaks become spaces; surrounding blanks go.
  EXPECT_EQ(RunScript("\r\n 1\r\n2\r\n+ \r\n"), Int(3));
}

TEST(Compiler, StringAndBlockLiterals) {
  TqelScript s;
  s.SetScript("\"a b\"'say \"hi\"' [x y z] []");
  ASSERT_EQ(s.Atoms().size(), 4u);
  EXPECT_EQ(s.Atoms()[0].Value, Str("a b"));
  EXPECT_EQ(s.Atoms()[1].Value, Str("say \"hi\""));
  EXPECT_EQ(s.Atoms()[2].Value, Str("x y z"));
  EXPECT_EQ(s.Atoms()[3].Value, Str(""));
  EXPECT_EQ(RunScript("\"ab\"cd= 1 ; cd"), Int(1));  // "ab" ends without a space
  EXPECT_EQ(CompileError("1 \"abc"), "unterminated string near \"abc");
  EXPECT_EQ(CompileError("'abc"), "unterminated string near 'abc");
  EXPECT_EQ(CompileError("[abc def"), "unterminated block near [abc def");
}

TEST(Compiler, NumberLiterals) {
  const std::map<std::string, Variant> cases = {
      {"-7", Int(-7)},
      {"+7", Int(7)},
      {"$1F", Int(31)},
      {"x1F", Int(31)},
      {"X1f", Int(31)},
      {"0x1f", Int(31)},
      {"0X1F", Int(31)},
      {"-$10", Int(-16)},
      {"2147483647", Int(2147483647)},
      {"-2147483648", Int(-2147483647 - 1)},
      {"2147483648", Variant(2147483648.0)},  // too big for an integer: a real
      {"2.5", Variant(2.5)},
      {"-0.25e2", Variant(-25.0)},
      {"1E3", Variant(1000.0)},
  };
  for (const auto& [token, expected] : cases) {
    TqelScript s;
    s.SetScript(token);
    ASSERT_EQ(s.Atoms().size(), 1u) << token;
    EXPECT_EQ(s.Atoms()[0].Value, expected) << token << " gave " << s.Atoms()[0].Value.Describe();
  }
  TqelScript negation;
  negation.SetScript("3 --");  // -- is the negation word, not a number
  EXPECT_EQ(Kinds(negation), (std::vector<AtomKind>{AtomKind::PushLiteral, AtomKind::Word}));
  EXPECT_EQ(CompileError("1e"), "undefined word \"1e\" near ");
  EXPECT_EQ(CompileError("x"), "undefined word \"x\" near ");
}

TEST(Compiler, FloatsAndDatesFollowTheRegionalSettings) {
  RegionalSettings german;
  german.decimalSeparator = ',';
  german.dateSeparator = '.';
  german.shortDateFormat = "dd.mm.yyyy";
  ScopedRegionalSettings scope(german);
  EXPECT_EQ(RunScript("2,5"), Variant(2.5));
  EXPECT_EQ(RunScript("24.12.2024"), Variant::Date(EncodeDate(2024, 12, 24)));
  EXPECT_EQ(CompileError("2.5x"), "undefined word \"2.5x\" near ");
}

TEST(Compiler, CommentsAreCutBeforeTokenizing) {
  EXPECT_EQ(RunScript("(* note *)1"), Int(1));
  EXPECT_EQ(RunScript("(*)1"), Int(1));
  EXPECT_EQ(RunScript("12(*x*)34"), Int(1234));
  // Comments do not nest: d and *) remain.
  EXPECT_EQ(CompileError("(* a (* b *) d *)"), "undefined word \"d\" near *)");
  EXPECT_EQ(CompileError("1 (* open"), "missing \"*)\" comment terminator near 1 (* open");
  // Comment marks inside strings are cut too, since cutting runs on the raw text.
  EXPECT_EQ(RunScript("'a(*b*)c'"), Str("ac"));
}

TEST(Compiler, IncludesAreExpandedThroughTheHost) {
  TqelScript s;
  std::vector<std::string> asked;
  const std::map<std::string, std::string> files = {
      {"lib", "5"}, {"other", "$$LIB; 1 +"}, {"a", "$$b; 1"}, {"b", "$$A; 2"}};
  s.onInclude = [&](TqelScript&, const std::string& file, std::string& value, bool& handled,
                    std::string&) {
    asked.push_back(file);
    for (const auto& [name, text] : files)
      if (EqualTextNoCase(name + ".qel", file)) value = text;
    handled = true;
  };
  s.SetScript("$$lib; $$lib;");  // the second directive is removed without asking
  EXPECT_EQ(asked, std::vector<std::string>{"lib.qel"});
  ASSERT_EQ(s.Atoms().size(), 1u);
  EXPECT_EQ(s.Atoms()[0].Value, Int(5));
  EXPECT_EQ(s.IncludedFiles(), std::vector<std::string>{"lib.qel"});

  asked.clear();
  s.SetScript("$$other; 2 *");  // directives inside included text are expanded too
  EXPECT_EQ(asked, (std::vector<std::string>{"other.qel", "LIB.qel"}));
  EXPECT_EQ(s.Run(), Int(12));

  asked.clear();
  s.SetScript("$$a; +");  // mutual includes end: a names b, b names a again
  EXPECT_EQ(asked, (std::vector<std::string>{"a.qel", "b.qel"}));
  EXPECT_EQ(s.Run(), Int(3));
}

TEST(Compiler, IncludeErrors) {
  EXPECT_EQ(CompileError("1 $$lib"), "unterminated include near $$lib");
  EXPECT_EQ(CompileError("$$my lib;"), "illegal space character in the include file: my lib.qel");
  EXPECT_EQ(CompileError("1 $$lib; 2"),
            "onInclude handler not assigned, can not handle include file: $$lib; 2");

  TqelScript s;
  s.onInclude = [](TqelScript&, const std::string&, std::string&, bool&, std::string&) {};
  EXPECT_THROW_MSG(s.SetScript("$$lib;"), EqelScriptError, "Can not find include file: lib.qel");
  s.onInclude = [](TqelScript&, const std::string&, std::string&, bool&, std::string& error) {
    error = "no such library";
  };
  EXPECT_THROW_MSG(s.SetScript("$$lib2;"), EqelScriptError, "no such library");
}

TEST(Compiler, EndlessIncludesTimeOut) {
  TqelScript s;
  s.SetScriptTimeOut(0);
  int counter = 0;
  s.onInclude = [&](TqelScript&, const std::string&, std::string& value, bool& handled,
                    std::string&) {
    value = "$$n" + std::to_string(++counter) + ";";
    handled = true;
  };
  EXPECT_THROW_MSG(s.SetScript("$$start;"), EqelScriptError,
                   "parser timed out after 0 seconds; you may have circular includes");
  EXPECT_GT(counter, 0);
}

TEST(Compiler, PrefixedFormsSplitNameAndMethod) {
  TqelScript s;
  s.SetScript(">CITY.get :a.b.c ^obj.get.x )sys.set set.add html.b &f.open ?doc.load _d.x %p");
  const TAtomList& atoms = s.Atoms();
  ASSERT_EQ(atoms.size(), 10u);
  EXPECT_EQ(atoms[0].Kind, AtomKind::ExternalVariable);
  EXPECT_EQ(atoms[0].Text, "CITY");
  EXPECT_EQ(atoms[0].Value, Str("get"));
  EXPECT_EQ(atoms[1].Text, "a");
  EXPECT_EQ(atoms[1].Value, Str("b.c"));  // the method keeps further dots
  EXPECT_EQ(atoms[2].Kind, AtomKind::ObjectVariable);
  EXPECT_EQ(atoms[3].Kind, AtomKind::SystemVariable);
  EXPECT_EQ(atoms[4].Kind, AtomKind::SetMethod);
  EXPECT_EQ(atoms[4].Text, "set");
  EXPECT_EQ(atoms[4].Value, Str("add"));
  EXPECT_EQ(atoms[5].Kind, AtomKind::HtmlMethod);
  EXPECT_EQ(atoms[6].Kind, AtomKind::PagedFileMethod);
  EXPECT_EQ(atoms[7].Kind, AtomKind::XmlMethod);
  EXPECT_EQ(atoms[8].Kind, AtomKind::DataSourceMethod);
  EXPECT_EQ(atoms[9].Kind, AtomKind::Parameter);
  EXPECT_EQ(atoms[9].Text, "p");
}

TEST(Compiler, PrefixedFormErrors) {
  const std::pair<const char*, const char*> cases[] = {
      {">.get 1", "missing external variable method specifier near 1"},
      {">x. 1", "missing external variable method specifier near 1"},
      {">x", "missing external variable method specifier near "},
      {":x", "missing internal variable method specifier near "},
      {")x", "missing system method specifier near "},
      {"^x", "missing object variable method specifier near "},
      {"?x", "missing xml method specifier near "},
      {"&x", "missing xml method specifier near "},
      {"_x", "missing data source method specifier near "},
      {"set. 2", "missing set method specifier near 2"},
      {"html.", "missing html method specifier near "},
  };
  for (const auto& [text, message] : cases) EXPECT_EQ(CompileError(text), message) << text;
}

TEST(Compiler, RegistryWordsComeFirstAndCallsResolveWhenCompiled) {
  EXPECT_EQ(CompileError("foo 1 2"), "undefined word \"foo\" near 1 2");
  EXPECT_EQ(RunScript("sq= dup * ; 3 sq"), Int(9));
  EXPECT_EQ(CompileError("3 sq sq= dup * ;"), "undefined word \"sq\" near sq= dup * ;");
  // dup= defines a procedure, but dup stays the built-in word.
  EXPECT_EQ(RunScript("dup= 99 ; 2 dup +"), Int(4));
  // true is a word; True is looked up as a procedure.
  EXPECT_EQ(CompileError("True"), "undefined word \"True\" near ");
  TqelScript s;
  s.SetScript("a= 1 ; A= 2 ;");
  ASSERT_EQ(s.Procedures().size(), 2u);
  EXPECT_EQ(s.Procedures()[0].Start, 1);
}

TEST(Compiler, FailedCompileKeepsTextAndAtoms) {
  TqelScript s;
  EXPECT_THROW_MSG(s.SetScript("1 2 foo"), EqelScriptError, "undefined word \"foo\" near ");
  EXPECT_EQ(s.Script(), "1 2 foo");
  EXPECT_EQ(s.Atoms().size(), 2u);
  s.SetScript("1 2 foo");  // same text: not compiled again, no error
  EXPECT_EQ(s.Run(), Int(2));
  s.SetScript("");
  EXPECT_TRUE(s.Atoms().empty());
}

TEST(Compiler, ControlWordMatchingErrors) {
  EXPECT_EQ(CompileError("endif"), "return stack underflow");
  EXPECT_EQ(CompileError("1 else"), "return stack underflow");
  EXPECT_EQ(CompileError("until"), "return stack underflow");
  std::string deep;
  for (int i = 0; i < 1001; ++i) deep += "repeat ";
  EXPECT_EQ(CompileError(deep), "return stack overflow");
  deep.resize(deep.size() - 7);
  EXPECT_EQ(CompileError("1 " + deep + "until"), "missing until for repeat near " + deep + "until");
}

// An if or else left open would jump to an undefined place: rejected when compiled.
TEST(Compiler, UnclosedConditionalsAreRejected) {
  EXPECT_EQ(CompileError("1 if 2"), "missing endif for if near if 2");
  EXPECT_EQ(CompileError("1 if 2 else 3"), "missing endif for else near else 3");
  EXPECT_EQ(CompileError("repeat 1 if 2 until"), "missing endif for if near if 2 until");
  EXPECT_EQ(CompileError("1 if repeat endif"), "missing endif for if near if repeat endif");
  EXPECT_EQ(CompileError("repeat 1 until 2"), "(compiled)");
  // A repeat without until is a loop left open.
  EXPECT_EQ(CompileError("repeat 1"), "missing until for repeat near repeat 1");
  EXPECT_EQ(CompileError("repeat repeat 1 until"), "missing until for repeat near repeat repeat 1 until");
  EXPECT_EQ(CompileError("1 if repeat 2 endif until"), "missing endif for if near if repeat 2 endif until");
}

// A long script compiles in time linear in its length and within the time limit: the
// tokenizer once copied the rest of the text for every token (400,000 words took 12 s).
TEST(Compiler, LongScriptsCompileInLinearTime) {
  // Four times the words may take about four times as long, never sixteen: a ratio, so that a
  // slow sanitizer build on a loaded machine still tells linear from quadratic.
  auto compile = [](int words) {
    std::string text;
    for (int i = 0; i < words; ++i) text += "1 drop ";
    text += "(* a *) 7 (* b *)";
    TqelScript s;
    s.SetScriptTimeOut(120);
    const std::uint64_t start = TickCount();
    s.SetScript(text);
    const std::uint64_t took = TickCount() - start;
    EXPECT_EQ(s.Atoms().size(), static_cast<std::size_t>(2 * words + 1));
    EXPECT_EQ(s.Run(), Int(7));
    return took;
  };
  const std::uint64_t small = compile(50000);
  const std::uint64_t large = compile(200000);
  EXPECT_LT(large, 10 * small + 1000) << small << " ms for 50,000 words, " << large
                                      << " ms for 200,000";
}

// The time limit holds while tokens are translated, not only while includes are expanded.
TEST(Compiler, TranslationSeesTheTimeLimit) {
  std::string text;
  for (int i = 0; i < 2000; ++i) text += "p" + std::to_string(i) + "= 1 ; ";
  for (int i = 0; i < 300000; ++i) text += "P" + std::to_string(i % 2000) + " drop ";
  TqelScript s;
  s.SetScriptTimeOut(0);
  // The includes are done within the first millisecond nearly always; the translation of
  // 300,000 tokens takes longer than that.
  const std::string error = CompileError(s, text);
  EXPECT_EQ(error.rfind("parser timed out after 0 seconds", 0), 0u) << error;
  s.SetScriptTimeOut(30);
  s.SetScript(text + "p1999");
  EXPECT_EQ(s.Run(), Int(1));
}

TEST(Compiler, ManyCommentsAndProcedures) {
  // Cutting a comment may join a "(" and a "*" into a new opening mark.
  EXPECT_EQ(RunScript("((**)* x *)5"), Int(5));
  EXPECT_EQ(CompileError("((**)* x"), "missing \"*)\" comment terminator near (* x");
  EXPECT_EQ(RunScript("1(*a*)(*b*)2(*c*)"), Int(12));
  // The first definition of a name wins, whatever the case of the call.
  EXPECT_EQ(RunScript("Ab= 1 ; aB= 2 ; AB"), Int(1));
}

}  // namespace
}  // namespace tavlo
