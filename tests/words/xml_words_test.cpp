// The ?doc.method words end to end through TqelScript: building, reading, counting, deleting,
// selecting and walking, loading and saving, and every failure message.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "platform/filesystem.h"
#include "script/qelscript.h"
#include "text/qelstrings.h"
#include "words/library.h"
#include "words/xmlwords.h"

namespace tavlo {
namespace {

class XmlWordsTest : public ::testing::Test {
 protected:
  void SetUp() override { RegisterLibraryWords(); }
  Variant Run(const std::string& text) {
    script.SetScript(text);
    return script.Run();
  }
  std::string RunText(const std::string& text) { return Run(text).ToText(); }
  std::string Failure(const std::string& text) {
    try {
      Run(text);
    } catch (const EqelScriptError& error) {
      return error.what();
    }
    return "no error";
  }
  TqelScript script;
};

TEST_F(XmlWordsTest, SetGetAndAsText) {
  EXPECT_EQ(RunText("\"Ann\" \"people/person/name\" ?d.set \"people/person/name\" ?d.get"), "Ann");
  EXPECT_EQ(RunText("\"Ann\" \"people/person/name\" ?d.set ?d.astext"),
            "<d>\r\n  <people>\r\n    <person>\r\n      <name>\r\n        Ann\r\n      </name>\r\n"
            "    </person>\r\n  </people>\r\n</d>\r\n");
  // Values keep their kind; a missing node reads as the empty text.
  Variant number = Run("42 \"a/b\" ?d.set \"a/b\" ?d.get");
  EXPECT_TRUE(number.IsInteger());
  EXPECT_EQ(number.IntegerValue(), 42);
  Variant missing = Run("\"a/none\" ?d.get");
  EXPECT_TRUE(missing.IsString());
  EXPECT_EQ(missing.StringValue(), "");
  // One document per name, whatever the letter case.
  EXPECT_EQ(RunText("'x' 'a' ?Doc.set 'a' ?dOC.get"), "x");
  EXPECT_EQ(RunText("?d.astext"), "");
}

TEST_F(XmlWordsTest, DocumentsDoNotSurviveARun) {
  Run("'x' 'a' ?d.set");
  EXPECT_EQ(RunText("'a' ?d.get"), "");
  Run("'v' 'p/q' ?d.set 'p/q' ?d.select");
  EXPECT_EQ(Failure("?d.selectget"), "XML selection is empty");
}

TEST_F(XmlWordsTest, Attributes) {
  const std::string build = "'7' 'id' 'people/person' ?d.@set ";
  EXPECT_EQ(RunText(build + "'id' 'people/person' ?d.@get"), "7");
  EXPECT_EQ(RunText(build + "'x' 'people/person' ?d.@get"), "");
  EXPECT_EQ(RunText(build + "'x' 'nowhere' ?d.@get"), "");
  EXPECT_EQ(RunText(build + "'8' 'id' 'people/person' ?d.@set ?d.astext"),
            "<d>\r\n  <people>\r\n    <person id=\"8\" />\r\n  </people>\r\n</d>\r\n");
  EXPECT_EQ(RunText(build + "'id' 'people/person' ?d.@delete 'id' 'people/person' ?d.@get"), "");
  EXPECT_EQ(RunText(build + "'zz' 'people/person' ?d.@delete 'id' 'people/person' ?d.@get"), "7");
}

TEST_F(XmlWordsTest, CountTakesBothArgumentsAlways) {
  const std::string build = "'a' 'people/+person' ?d.set 'b' 'people/+person' ?d.set ";
  EXPECT_EQ(Run(build + "'person' 'people' ?d.count").IntegerValue(), 2);
  EXPECT_EQ(Run(build + "'Person' 'people' ?d.count").IntegerValue(), 0);
  EXPECT_EQ(RunText(build + "'person[1]' ?d.get"), "");
  EXPECT_EQ(RunText(build + "'people/person[1]' ?d.get"), "b");
  EXPECT_EQ(RunText("'sentinel' 'person' 'nowhere' ?d.count :n.set"), "sentinel");
  EXPECT_EQ(Run("'person' 'nowhere' ?d.count").IntegerValue(), 0);
}

TEST_F(XmlWordsTest, Delete) {
  const std::string build = "'a' 'l/+i' ?d.set 'b' 'l/+i' ?d.set 'c' 'l/+i' ?d.set ";
  EXPECT_EQ(RunText(build + "'l/i[1]' ?d.delete 'l/i[1]' ?d.get"), "c");
  EXPECT_EQ(Run(build + "'' ?d.delete 'l/zz' ?d.delete 'i' 'l' ?d.count").IntegerValue(), 3);
  EXPECT_EQ(Run(build + "'l' ?d.delete 'i' 'l' ?d.count").IntegerValue(), 0);
}

TEST_F(XmlWordsTest, SelectionWalk) {
  const std::string build = "'7' 'id' 'people/person' ?d.@set ";
  EXPECT_TRUE(Run(build + "\"people/person[@id = '7']\" ?d.select").BooleanValue());
  EXPECT_FALSE(Run(build + "\"people/person[@id = '8']\" ?d.select").BooleanValue());
  EXPECT_TRUE(Run(build + "'people/person' ?d.select ?d.selectfirst").BooleanValue());
  EXPECT_EQ(RunText(build + "'people/person' ?d.select ?d.selectfirst ?d.selectget"), "");
  EXPECT_EQ(RunText(build + "'people/person' ?d.select ?d.selectfirst 'id' ?d.@selectget"), "7");
  EXPECT_TRUE(Run(build + "'people/person' ?d.select ?d.selectfirst 'no' ?d.@selectget").IsNull());
  EXPECT_FALSE(
      Run(build + "'people/person' ?d.select ?d.selectfirst ?d.selectnext").BooleanValue());
  // The selection words work with any document prefix.
  EXPECT_EQ(RunText(build + "'people/person' ?d.select ?other.selectnext 'id' ?x.@selectget"), "7");
  EXPECT_FALSE(Run("?d.selectfirst").BooleanValue());
  EXPECT_FALSE(Run("?d.selectnext").BooleanValue());
}

TEST_F(XmlWordsTest, WalkWithSelectNextAloneRestartsAfterTheEnd) {
  // Collects the walk into one text, then walks again after the end.
  const std::string script =
      "'1' 'l/+i' ?d.set '2' 'l/+i' ?d.set '3' 'l/+i' ?d.set 'l/i' ?d.select :ok.set "
      "'' :s.set repeat ?d.selectnext dup if ?d.selectget :s.get swap + :s.set endif "
      "not until ?d.selectnext ?d.selectget :s.get swap +";
  EXPECT_EQ(RunText(script), "1231");
}

TEST_F(XmlWordsTest, SelectionFailures) {
  const std::string build = "'x' 'a/b' ?d.set ";
  EXPECT_EQ(Failure("?d.selectget"), "XML selection is empty");
  EXPECT_EQ(Failure("'id' ?d.@selectget"), "XML selection is empty");
  EXPECT_EQ(Failure(build + "'a/b' ?d.select ?d.selectget"), "no XML selection selected");
  EXPECT_EQ(Failure(build + "'a/b' ?d.select ?d.selectnext ?d.selectnext ?d.selectget"),
            "no XML selection selected");
  // @selectget pops its name only after the checks pass.
  EXPECT_EQ(Failure("?d.@selectget"), "XML selection is empty");
  EXPECT_EQ(Failure(build + "'a/b' ?d.select drop ?d.selectfirst drop ?d.@selectget"),
            "stack underflow");
  EXPECT_EQ(Failure("?d.frob"), "invalid xml method specifier frob");
  EXPECT_EQ(Failure("?d.Get"), "invalid xml method specifier Get");
}

TEST_F(XmlWordsTest, DeletingSelectedElementsKeepsTheWalkSound) {
  // Walk three items, deleting each one as it is reached: the walk must go on with the next
  // element and never read a freed one.
  const std::string build =
      "'1' 'l/+i' ?d.set '2' 'l/+i' ?d.set '3' 'l/+i' ?d.set 'l/i' ?d.select ";
  EXPECT_EQ(RunText(build + "'' :s.set repeat ?d.selectnext dup if ?d.selectget :s.get swap + "
                            ":s.set 'l/i' ?d.delete endif not until :s.get"),
            "123");
  EXPECT_EQ(RunText(build + "?d.selectfirst 'l/i[end]' ?d.delete ?d.selectget"), "1");
  EXPECT_EQ(Failure(build + "?d.selectfirst 'l' ?d.delete ?d.selectget"), "XML selection is empty");
  EXPECT_EQ(Failure(build + "?d.selectfirst 'l/i' ?d.delete ?d.selectget"),
            "no XML selection selected");
  // Another document's deletion leaves the selection alone.
  EXPECT_EQ(RunText(build + "?d.selectfirst 'y' 'l/i' ?e.set 'l' ?e.delete ?d.selectget"), "1");
}

class XmlWordsFileTest : public XmlWordsTest {
 protected:
  void TearDown() override {
    for (const std::string& path : created) Files().DeleteFile(path);
  }
  std::string TempFile(const std::string& name) {
    std::string path = std::string(P_tmpdir) + "/tavlo_xmlwords_" + name;
    created.push_back(path);
    return path;
  }
  std::vector<std::string> created;
};

TEST_F(XmlWordsFileTest, SaveWritesTheDocumentAndLoadReadsItBack) {
  std::string path = TempFile("save.xml");
  Run("'A' 'lib/book/title' ?d.set '1' 'id' 'lib/book' ?d.@set '" + path + "' ?d.save");
  EXPECT_EQ(LoadFileToString(path),
            "<lib>\r\n  <book id=\"1\">\r\n    <title>\r\n      A\r\n"
            "    </title>\r\n  </book>\r\n</lib>\r\n");
  EXPECT_EQ(RunText("'" + path + "' ?x.load 'lib/book/title' ?x.get 'id' 'lib/book' ?x.@get +"),
            "A1");
  // Saving an empty document writes an empty file.
  Run("'" + path + "' ?empty.save");
  EXPECT_EQ(LoadFileToString(path), "");
}

TEST_F(XmlWordsFileTest, LoadReplacesTheDocumentAndForgetsItsSelection) {
  std::string path = TempFile("load.xml");
  SaveStringToFile(path, "<?xml version=\"1.0\"?>\n<lib><book id=\"1\"/><book id=\"2\"/></lib>\n");
  EXPECT_EQ(RunText("'" + path +
                    "' ?d.load '?xml/lib//book[@id $gt$ 1]' ?d.select "
                    "?d.selectfirst 'id' ?d.@selectget"),
            "2");
  EXPECT_EQ(
      Failure("'old' 'a' ?d.set 'a' ?d.select ?d.selectfirst '" + path + "' ?d.load ?d.selectget"),
      "XML selection is empty");
  EXPECT_EQ(RunText("'old' 'a' ?d.set '" + path + "' ?d.load 'a' ?d.get"), "");
}

TEST_F(XmlWordsFileTest, FileFailures) {
  std::string missing = std::string(P_tmpdir) + "/tavlo_xmlwords_none.xml";
  Files().DeleteFile(missing);
  EXPECT_EQ(Failure("'" + missing + "' ?d.load"), "File " + missing + " does not exist");
  std::string unwritable = std::string(P_tmpdir) + "/tavlo_no_such_folder/x.xml";
  EXPECT_EQ(Failure("'x' 'a' ?d.set '" + unwritable + "' ?d.save"),
            "Can not save to file " + unwritable);
  // A value without text cannot be written either.
  std::string path = TempFile("null.xml");
  script.onGetVariable = [](TqelScript&, const std::string&, Variant& value, bool& handled,
                            std::string&) {
    value = Variant::Null();
    handled = true;
  };
  EXPECT_EQ(Failure(">f.get 'a' ?d.set '" + path + "' ?d.save"), "Can not save to file " + path);
}

// A deep document writes within the limits: its lines are indented no deeper than
// kXMLMaxIndentLevel, so 50,000 levels make 13 MB rather than 5 GB. Writing keeps to the time
// limit, and a stopped save leaves no file.
TEST_F(XmlWordsFileTest, DeepDocumentsWriteWithinTheLimits) {
  std::string deep;
  for (int i = 0; i < 50'000; ++i) deep += "<a>";
  const std::string input = TempFile("deep_in.xml");
  SaveStringToFile(input, deep);
  const std::string output = TempFile("deep_out.xml");
  Files().DeleteFile(output);
  Run("'" + output + "' '" + input + "' ?d.load ?d.save");
  EXPECT_GT(Files().FileSize(output), 12'000'000);
  EXPECT_LT(Files().FileSize(output), 14'000'000);
  EXPECT_GT(RunText("'" + input + "' ?d.load ?d.astext").size(), 12'000'000u);
  Files().DeleteFile(output);

  // Under a limit that has passed once the clock runs: the save stops with the time-out,
  // whether the clock is read by the save or by the run.
  script.SetScriptTimeOut(0);
  EXPECT_EQ(Failure("'" + output + "' '" + input + "' ?d.load ?d.save"),
            "Script timed out after 0 seconds");
  EXPECT_FALSE(Files().FileExists(output));
  script.SetScriptTimeOut(TqelScript::kDefaultTimeOut);
}

TEST_F(XmlWordsFileTest, PercentNamesTheApplicationFolder) {
  std::string path = script.AppFolder() + "tavlo_xmlwords_app.xml";
  created.push_back(path);
  SaveStringToFile(path, "<r>here</r>");
  EXPECT_EQ(RunText("'%tavlo_xmlwords_app.xml' ?d.load 'r' ?d.get"), "here");
  EXPECT_EQ(Failure("'%tavlo_xmlwords_nothing.xml' ?d.load"),
            "File " + script.AppFolder() + "tavlo_xmlwords_nothing.xml does not exist");
}

TEST(XmlSelection, ForgetKeepsTheCursorOnTheSameWalk) {
  TqelXMLTree tree("d");
  TqelXMLNode* a = tree.AddChild("a");
  TqelXMLNode* b = tree.AddChild("b");
  TqelXMLNode* b1 = b->AddChild("b1");
  TqelXMLNode* c = tree.AddChild("c");
  TqelXMLSelection selection;
  selection.Nodes = {a, b1, c};
  selection.Index = 2;
  selection.Forget(b);
  EXPECT_EQ(selection.Nodes, (std::vector<TqelXMLNode*>{a, c}));
  EXPECT_EQ(selection.Index, 1);
  selection.Index = 0;
  selection.Forget(a);
  EXPECT_EQ(selection.Index, -1);
  selection.Forget(&tree);
  EXPECT_TRUE(selection.Nodes.empty());
  EXPECT_EQ(selection.Index, -1);
}

}  // namespace
}  // namespace tavlo
