// Words whose work grows with their operands: long inputs take linear time (or n log n), and
// every such word keeps to the run's time limit while it works instead of after it.
#include <map>
#include <string>

#include "platform/filesystem.h"
#include "testsupport.h"
#include "text/qelstrings.h"
#include "wordtest.h"

namespace tavlo {
namespace {

// n distinct items "<prefix>0 <prefix>1 ...".
std::string Items(int n, const std::string& prefix) {
  std::string text;
  for (int i = 0; i < n; ++i) text += prefix + std::to_string(i) + ' ';
  return text;
}

std::string Repeated(const std::string& piece, int n) {
  std::string text;
  text.reserve(piece.size() * static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) text += piece;
  return text;
}

class LongInputs : public WordTest {
 protected:
  LongInputs() {
    script.onGetVariable = [this](TqelScript&, const std::string& name, Variant& value,
                                  bool& handled, std::string&) {
      value = Variant(inputs_[name]);
      handled = true;
    };
  }
  std::map<std::string, std::string> inputs_;
  testsupport::ScratchFolder scratch_;
};

// Each of these took from many seconds to many minutes when the words copied the rest of
// their text per item, compared every item with every other, or rebuilt the whole text per
// replacement; a limit of 20 seconds is far beyond what linear work needs, even under the
// sanitizers.
TEST_F(LongInputs, TakeLinearTime) {
  script.SetScriptTimeOut(20);
  inputs_["A"] = Items(400'000, "a");
  inputs_["B"] = Items(100'000, "b");
  inputs_["C"] = Items(100'000, "a");
  EXPECT_EQ(RunInteger(">A.get set.count"), 400'000);
  EXPECT_EQ(RunText(">A.get 399999 set.pick"), "a399999");
  EXPECT_EQ(RunInteger(">A.get set.left set.right set.sort set.count"), 400'000);
  EXPECT_EQ(RunInteger(">B.get >C.get set.union set.count"), 200'000);
  EXPECT_EQ(RunInteger(">B.get >C.get set.intersect set.count"), 0);
  EXPECT_EQ(RunInteger(">A.get >C.get set.exclude set.count"), 300'000);
  EXPECT_EQ(RunInteger(">C.get >C.get set.intersect set.count"), 100'000);

  inputs_["T"] = Repeated("x{begin:r}<b>{n}</b>{end:r}", 50'000);
  EXPECT_EQ(RunText(">T.get set.templateclean"), std::string(50'000, 'x'));
  inputs_["S"] = std::string(300'000, 'a') + "b";
  EXPECT_EQ(RunText(">S.get 'a' '' true regreplaceall"), "b");
  EXPECT_EQ(RunText(">S.get 'a[*0:a]' '[0:]' true regreplaceall"), "b");

  // A keyed table filled row by row, each row found by its key.
  EXPECT_EQ(RunInteger("0 :i.set repeat 'v' 'a' 'k' :i.get cstr + _d.set :i.1+ :i.get 30000 = "
                       "until 'a' 'k29999' _d.get 'v' = if _d.count endif"),
            30'000);

  // Paths of 100,000 steps, a step of 100,000 conditions, and a selection of 100,000 elements
  // down a chain as deep, which a delete of the chain must forget.
  inputs_["P"] = Repeated("a/", 99'999) + "a";
  EXPECT_EQ(RunText("'v' >P.get ?d.set >P.get ?d.get"), "v");
  EXPECT_TRUE(Run("'v' >P.get ?d.set >P.get ?d.select").ToBoolean());
  inputs_["F"] = "a" + Repeated("[@x]", 100'000);
  EXPECT_FALSE(Run("'v' 'a' ?d.set >F.get ?d.select").ToBoolean());
  const std::string comb = scratch_.File("comb.xml");
  SaveStringToFile(comb, Repeated("<a><b/>", 100'000));
  EXPECT_FALSE(Run("'" + comb +
                   "' ?d.load '//b' ?d.select drop 'a' ?d.delete "
                   "?d.selectnext drop '//b' ?d.select")
                   .ToBoolean());
}

// A limit of 0 seconds has passed as soon as a word looks at the clock: each of these words
// with a long operand stops while it works, with the run's message.
TEST_F(LongInputs, EveryWordThatGrowsWithItsInputKeepsToTheLimit) {
  inputs_["A"] = Items(20'000, "a");
  inputs_["L"] = Repeated("line\r\n", 20'000);
  inputs_["T"] = Repeated("{begin:r}x{end:r}{m}", 20'000);
  inputs_["S"] = Repeated("ab", 20'000);
  inputs_["X"] = Repeated("<e a=\"1\">t</e>", 20'000);
  inputs_["C"] = Repeated("a,", 20'000);
  const std::string xml = scratch_.File("d.xml");
  SaveStringToFile(xml, "<r>" + inputs_["X"] + "</r>");
  script.SetDataSourceFolder(scratch_.Path());
  SaveStringToFile(scratch_.File("d.txt"), Repeated("k=a=\"1\"\r\n", 20'000));
  const std::string jpf = scratch_.File("p.jpf");
  const std::string open = "'" + jpf + "' 'userx' 'Secret12' &f.open ";
  Run("'" + jpf + "' 512 'userx' 'Secret12' &f.new " + open +
      "0 :i.set repeat 'n=\"' :i.get cstr + '\"' + &f.append :i.1+ :i.get 5000 = until");
  // A sort of 3,000 records compares more than the 4,096 steps between two looks at the
  // clock, while their select takes fewer.
  const std::string jpfSmall = scratch_.File("q.jpf");
  const std::string openSmall = "'" + jpfSmall + "' 'userx' 'Secret12' &f.open ";
  Run("'" + jpfSmall + "' 512 'userx' 'Secret12' &f.new " + openSmall +
      "0 :i.set repeat 'n=\"' :i.get cstr + '\"' + &f.append :i.1+ :i.get 3000 = until");

  const std::string cases[] = {
      ">A.get set.count",
      ">A.get 19999 set.pick",
      ">A.get set.left",
      ">A.get set.right",
      ">A.get set.sort",
      ">A.get >A.get set.union",
      ">A.get >A.get set.intersect",
      ">A.get >A.get set.exclude",
      ">L.get set.cntline",
      ">L.get 5 set.line",
      ">L.get set.sortlines",
      ">S.get 'b' set.split",
      ">T.get set.templateclean",
      "'x' >A.get in",
      ">C.get :v.split[]",
      "'a' >S.get 'c' replaceall",
      ">S.get 'a' 'c' true regreplaceall",
      "'" + xml + "' ?d.load",
      "_d.load",
      open + "'' false &f.select",
  };
  script.SetScriptTimeOut(0);
  EXPECT_EQ(Failure(openSmall + "'' false &f.select '-n' &f.orderby"),
            "Script timed out after 0 seconds");
  for (const std::string& text : cases)
    EXPECT_EQ(Failure(text), "Script timed out after 0 seconds") << text;
  // Within a limit they work.
  script.SetScriptTimeOut(30);
  for (const std::string& text : cases) EXPECT_EQ(Failure(text), "no error") << text;
}

}  // namespace
}  // namespace tavlo
