// The string words through TqelScript, and the pattern replacement both through the words
// and directly (registers, limits, retries, malformed items, templates).
#include <chrono>
#include <string>

#include "words/patternreplace.h"
#include "wordtest.h"

namespace tavlo {
namespace {

using StringWords = WordTest;

TEST_F(StringWords, Cutting) {
  EXPECT_EQ(RunText("'abc' 5 left"), "abc");
  EXPECT_EQ(RunText("'abc' 2 left"), "ab");
  EXPECT_EQ(RunText("'abc' -1 left"), "");
  EXPECT_EQ(RunText("'abc' 0 right"), "");
  EXPECT_EQ(RunText("'abc' 2 right"), "bc");
  EXPECT_EQ(RunText("'abc' 9 right"), "abc");
  EXPECT_EQ(RunText("'abcdef' 0 2 mid"), "ab");
  EXPECT_EQ(RunText("'abcdef' 3 2 mid"), "cd");
  EXPECT_EQ(RunText("'abcdef' 5 9 mid"), "ef");
  EXPECT_EQ(RunText("'abc' 4 1 mid"), "");
  EXPECT_EQ(RunText("'abc' 1 0 mid"), "");
}

// Every searching word goes through the linear search: a 32 KB pattern that nearly matches
// everywhere in a 256 KB text once took seconds per word.
TEST_F(StringWords, SearchingWordsTakeLinearTime) {
  const std::string text = "'" + std::string(256 * 1024, 'a') + "'";
  const std::string pattern = "'" + std::string(32 * 1024, 'a') + "b'";
  const std::string reversed = "'b" + std::string(32 * 1024, 'a') + "'";
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(RunInteger(pattern + " " + text + " 1 find"), 0);
  EXPECT_EQ(RunInteger(reversed + " " + text + " findlast"), 0);
  EXPECT_EQ(RunText(pattern + " " + text + " 'x' replace").size(), 256u * 1024);
  EXPECT_EQ(RunText(pattern + " " + text + " 'x' replaceall").size(), 256u * 1024);
  EXPECT_EQ(RunText(text + " " + pattern + " like"), "False");
  EXPECT_EQ(RunText(text + " " + pattern + " '' true regreplace").size(), 256u * 1024);
  // Six words that took over 20 seconds: a generous bound for a slow sanitizer build.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST_F(StringWords, Searching) {
  EXPECT_EQ(RunInteger("'B' 'abcb' 1 find"), 2);
  EXPECT_EQ(RunInteger("'b' 'abcb' 3 find"), 4);
  EXPECT_EQ(RunInteger("'' 'abc' 1 find"), 0);
  EXPECT_EQ(RunInteger("'b' 'abcb' 9 find"), 0);
  EXPECT_EQ(RunInteger("'B' 'abcb' findlast"), 4);
  EXPECT_EQ(RunInteger("'x' 'abc' findlast"), 0);
}

TEST_F(StringWords, Comparing) {
  EXPECT_EQ(RunInteger("'a' 'b' comparestr"), -1);
  EXPECT_EQ(RunInteger("'ab' 'a' comparestr"), 1);
  EXPECT_EQ(RunInteger("'abc' 'abc' comparestr"), 0);
  EXPECT_EQ(RunInteger("'A' 'a' comparestr"), 'A' - 'a');
  EXPECT_EQ(RunInteger("'A' 'a' comparetext"), 0);
  EXPECT_EQ(RunInteger("'a' 'abc' comparetext"), -2);
  // Bytes compare as unsigned codes; comparetext folds only a to z.
  EXPECT_EQ(RunInteger("'\xE0' 'a' comparestr"), 0xE0 - 'a');
  EXPECT_EQ(RunInteger("'\xE0' '\xC0' comparetext"), 0x20);
}

TEST_F(StringWords, TrimmingAndCase) {
  script.SetParams({});
  EXPECT_EQ(RunText("'  a b  ' trim"), "a b");
  EXPECT_EQ(RunText("'  a b  ' trimleft"), "a b  ");
  EXPECT_EQ(RunText("'  a b  ' trimright"), "  a b");
  EXPECT_EQ(RunText("crlf 'x' + crlf + trim"), "x");
  EXPECT_EQ(RunText("'aZ\xE0' ucase"), "AZ\xE0");
  EXPECT_EQ(RunText("'aZ\xC0' lcase"), "az\xC0");
  EXPECT_EQ(RunText("\"it's\" quote"), "it\"s");
  EXPECT_EQ(RunText("crlf"), "\r\n");
}

TEST_F(StringWords, Replacing) {
  EXPECT_EQ(RunText("'a' 'banana' 'o' replace"), "bonana");
  EXPECT_EQ(RunText("'a' 'banana' 'o' replaceall"), "bonono");
  EXPECT_EQ(RunText("'A' 'banana' 'o' replaceall"), "banana");  // with case
  EXPECT_EQ(RunText("'aa' 'aaaaa' 'a' replaceall"), "aaa");     // never rescans
  EXPECT_EQ(RunText("'a' 'aa' 'aa' replaceall"), "aaaa");
  EXPECT_EQ(RunText("'' 'abc' 'x' replaceall"), "abc");
}

TEST_F(StringWords, FixAndConversions) {
  EXPECT_EQ(RunText("5 0 fix"), " 5");
  EXPECT_EQ(RunText("3.14159 2 fix"), "3.14");
  EXPECT_EQ(RunText("2.5 3 fix"), "2.500");
  EXPECT_EQ(Failure("5 -1 fix"), "Format '%2.-1f' invalid or incompatible with argument");
  // A count beyond what any double fills is refused at once, not padded with zeros (the
  // largest count once overflowed and took gigabytes).
  EXPECT_EQ(Failure("1.5 2147483647 fix"),
            "Format '%2.2147483647f' invalid or incompatible with argument");
  EXPECT_EQ(Failure("1.5 339 fix"), "Format '%2.339f' invalid or incompatible with argument");
  const std::string tiny = RunText("5e-324 338 fix");
  EXPECT_EQ(tiny.size(), 340u);
  EXPECT_EQ(tiny.substr(0, 2), "0.");
  EXPECT_EQ(tiny[325], '5') << tiny;  // the smallest double's digit is still shown
  {
    RegionalSettings comma;
    comma.decimalSeparator = ',';
    ScopedRegionalSettings scope(comma);
    EXPECT_EQ(RunText("'1,25' cdbl 1 fix"), "1,3");
  }
  const Variant i = Run("'12' cint");
  ASSERT_TRUE(i.IsInteger());
  EXPECT_EQ(i.IntegerValue(), 12);
  const Variant d = Run("'2.5' cdbl");
  ASSERT_TRUE(d.IsReal());
  EXPECT_EQ(d.RealValue(), 2.5);
  const Variant t = Run("42 cstr");
  ASSERT_TRUE(t.IsString());
  EXPECT_EQ(t.StringValue(), "42");
  EXPECT_EQ(Failure("'x' cint"), "Invalid variant type conversion");
}

TEST_F(StringWords, TooFewArgumentsUnderflow) {
  for (const char* text : {"left", "1 left", "1 2 mid", "'b' 'c' true regreplace", "fix"}) {
    EXPECT_EQ(Failure(text), "stack underflow") << text;
  }
}

TEST_F(StringWords, RegReplaceExample) {
  const std::string subject = "'a <b>x</b> and <b>yy</b>' '<b>[*0:</b>]' '<i>[0:]</i>' true ";
  EXPECT_EQ(RunText(subject + "regreplace"), "a <i>x</i> and <b>yy</b>");
  EXPECT_EQ(RunText(subject + "regreplaceall"), "a <i>x</i> and <i>yy</i>");
  // Case-insensitive literals and terminators.
  EXPECT_EQ(RunText("'a <b>x</b>' '<B>[*0:</B>]' '[0:]' false regreplace"), "a x");
  EXPECT_EQ(RunText("'a <b>x</b>' '<B>[*0:</B>]' '[0:]' true regreplace"), "a <b>x</b>");
}

TEST_F(StringWords, RegReplaceEmptyTemplateDeletes) {
  EXPECT_EQ(RunText("'xaxa' 'a' '' true regreplaceall"), "xx");
  EXPECT_EQ(RunText("'abab' 'a' '' true regreplaceall"), "bb");
  EXPECT_EQ(RunText("'aaaa' 'a' '' true regreplaceall"), "");
  EXPECT_EQ(RunText("'abab' 'a' '' true regreplace"), "bab");
  // The replacement is not searched again, so a template holding the pattern terminates.
  EXPECT_EQ(RunText("'aa' 'a' 'aa' true regreplaceall"), "aaaa");
}

TEST_F(StringWords, RegReplaceStarRule) {
  const std::string message = "\"*\" not allowed at beginning or end of";
  EXPECT_EQ(Failure("'abc' '*x' '' true regreplace"), message);
  EXPECT_EQ(Failure("'abc' 'x*' '' true regreplace"), message);
  EXPECT_EQ(Failure("'abc' 'x' '*y' true regreplace"), message);
  EXPECT_EQ(Failure("'abc' 'x' 'y*' true regreplaceall"), message);
  EXPECT_EQ(RunText("'abc' '' '*' true regreplace"), "abc");  // empty pattern: unchanged first
  EXPECT_EQ(RunText("'a*c' 'a[*0:c]' '[0:]' true regreplace"), "*");
}

TEST_F(StringWords, RegReplaceRegistersLastForTheRun) {
  // The second call's template names register 0, filled by the first call.
  EXPECT_EQ(RunText("'<b>x</b>' '<b>[*0:</b>]' '' true regreplace drop "
                    "'q' 'q' '[0:]' true regreplace"),
            "x");
  // A new run starts with empty registers: the match is left unreplaced.
  EXPECT_EQ(RunText("'q' 'q' '[0:]' true regreplace"), "q");
}

// Direct calls: the registers are the caller's.
struct PatternCase {
  const char* subject;
  const char* pattern;
  const char* templ;
  bool all;
  const char* expected;
};

TEST(PatternReplace, Cases) {
  const PatternCase cases[] = {
      // A class item that fails after the first literal retries just after that literal.
      {"<b>1x</b> <b>22</b>", "<b>[n0:</b>]", "[0:]", false, "<b>1x</b> 22"},
      // Classes.
      {"id=ab1;", "id=[a0:;]", "[0:]", false, "id=ab1;"},
      {"id=ab;", "id=[A0:;]", "<[0:]>", false, "<ab>"},
      {"x 12;", "x [N0:;]", "[0:]", false, "12"},
      {"x  ;", "x[s0:;]", "[0:]", false, "  "},
      {"x \t\r\n;", "x[w0:;]", "[0:]", false, " \t\r\n"},
      {"x\r\n;", "x[c0:;]", "[0:]", false, "\r\n"},
      {"<h1>a</h1>", "<[t0:>]", "[0:]", false, "h1a</h1>"},
      // A limit repeats the item and joins the pieces with the template's separator.
      {"<li>a<br>b<br>c</li>", "<li>[*1:<br>|</li>]", "[1:,]", false, "a,b,c</li>"},
      {"k=1,2,3,;rest", "k=[n0:,|;]", "[0:+]", false, "1+2+3+;rest"},
      {"k=1,2", "k=[n0:,|;]", "[0:+]", false, "k=1,2"},  // limit absent: fails
      // Malformed items never match.
      {"ab", "a[q0:b]", "x", false, "ab"},
      {"ab", "a[*32:b]", "x", false, "ab"},
      {"ab", "a[*x:b]", "x", false, "ab"},
      {"ab", "a[*0b]", "x", false, "ab"},
      {"ab", "a[*0:]", "x", false, "ab"},
      {"ab", "a[*0:b", "x", false, "ab"},
      // A template naming an empty or bad register leaves every match as it is.
      {"aXa", "X", "[5:]", true, "aXa"},
      {"aXa", "X", "[5", true, "aXa"},
      // Double tildes are line breaks in pattern and template.
      {"a\r\nb", "~~", "-~~-", true, "a-\r\n-b"},
      // A leading class item starts the match at the search position.
      {"12 x", "[n0: ]x", "<[0:]>", false, "<12>"},
      {"abc", "z", "y", true, "abc"},
  };
  for (const PatternCase& c : cases) {
    TqelCaptureRegisterArray registers;
    EXPECT_EQ(PatternReplace(c.subject, c.pattern, c.templ, true, c.all, registers), c.expected)
        << c.subject << " / " << c.pattern << " / " << c.templ;
  }
}

TEST(PatternReplace, ClassItemEmptiesOnlyItsRegister) {
  TqelCaptureRegisterArray registers;
  registers[3] = "old||";
  registers[0] = "stale||";
  EXPECT_EQ(PatternReplace("a1;", "a[n0:;]", "[0:][3:]", true, false, registers), "1old");
  EXPECT_EQ(registers[0], "1||");
  // A failing item leaves its register empty.
  EXPECT_EQ(PatternReplace("a;", "a[n0:x]", "", true, false, registers), "a;");
  EXPECT_EQ(registers[0], "");
  EXPECT_EQ(registers[3], "old||");
}

// Many first-literal occurrences whose class item fails: every retry must not rescan the
// rest of the subject, or a large text takes minutes.
TEST(PatternReplace, RetriesStayLinear) {
  std::string subject;
  for (int i = 0; i < 100000; ++i) subject += "<b>1x";
  subject += "</b>";
  TqelCaptureRegisterArray registers;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(PatternReplace(subject, "<b>[n0:</b>]", "[0:]", true, true, registers), subject);
  EXPECT_EQ(PatternReplace(subject, "<b>[n0:</i>]", "[0:]", false, true, registers), subject);
  EXPECT_EQ(PatternReplace(subject, "<b>[*0:x|</i>]", "[0:]", true, true, registers), subject);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

}  // namespace
}  // namespace tavlo
