// The set.method words through TqelScript: item lists, attributes, line lists, templates,
// set.do, set.load and set.save, and the unknown-method message.
#include <stdlib.h>
#include <unistd.h>

#include "platform/filesystem.h"
#include "text/errors.h"
#include "text/qelstrings.h"
#include "wordtest.h"

namespace tavlo {
namespace {

using SetWords = WordTest;

TEST_F(SetWords, ItemLists) {
  EXPECT_EQ(RunInteger("'  a  b   c ' set.count"), 3);
  EXPECT_EQ(RunText("'a \"b c\" d' 1 set.pick"), "b c");
  EXPECT_EQ(RunText("'a b' 5 set.pick"), "");
  EXPECT_EQ(Failure("'a b' -1 set.pick"), "List index out of bounds (-1)");
  EXPECT_EQ(RunText("'abc' set.first"), "abc");
  EXPECT_EQ(RunText("'\"x y\" z' set.first"), "x y");
  EXPECT_EQ(RunText("'a \"x y\"' set.last"), "x y");
  EXPECT_EQ(RunText("'a b c' set.left"), "b c a");
  EXPECT_EQ(RunText("'a b c' set.right"), "c a b");
  EXPECT_EQ(RunText("'b C a' set.sort"), "a b C");
  EXPECT_EQ(RunText("'a b' 'B c' set.union"), "B c a");
  EXPECT_EQ(RunText("'a b' '' set.union"), "a b");
  EXPECT_EQ(RunText("'a b c' 'c A x' set.intersect"), "c A");
  EXPECT_EQ(RunText("'a b a' 'a' set.exclude"), "b a");
  EXPECT_EQ(RunText("' a b  c ' set.pack"), "abc");
  EXPECT_EQ(RunText("'a,b,,c' ',' set.split"), "a b  c");
  EXPECT_EQ(RunInteger("'a,b,,c' ',' set.split set.count"), 3);
  EXPECT_EQ(RunText("'a::b' '::' set.split"), "a b");
  EXPECT_EQ(RunText("'a,b' '' set.split"), "a,b");
}

TEST_F(SetWords, Attributes) {
  EXPECT_EQ(RunText("'left=\"1\" top=\"2\"' 'TOP' set.get"), "2");
  EXPECT_EQ(RunText("'left=\"1\" top=\"2\"' 'Top' '5' set.set"), "left=\"1\" top=\"5\"");
  EXPECT_EQ(RunText("'' 'top' 5 set.set"), "top=\"5\"");
  EXPECT_EQ(RunText("'' 'a' 'x' set.set 'b' 'y' set.set 'b' set.get"), "y");
}

TEST_F(SetWords, LineLists) {
  EXPECT_EQ(RunInteger("'x' set.cntline"), 1);
  EXPECT_EQ(RunInteger("'' set.cntline"), 0);
  EXPECT_EQ(RunInteger("'a' crlf + set.cntline"), 1);
  EXPECT_EQ(RunInteger("'a' crlf + crlf + set.cntline"), 2);
  EXPECT_EQ(RunText("'a' 'b' set.addline 1 set.line"), "b");
  EXPECT_EQ(RunText("'a' 'b' set.addline 2 set.line"), "");
  EXPECT_EQ(RunText("'a' 'b' set.addline -1 set.line"), "");
  EXPECT_EQ(RunText("'' 'b' set.addline"), "\r\nb");
  EXPECT_EQ(RunText("'a' 'b' set.addline 5 set.delline"), "a\r\nb");
  EXPECT_EQ(RunText("'a' 'b' set.addline 0 set.delline"), "b\r\n");
  // CR, LF and CR LF all end a line; the result is written back with CR LF.
  // (Script literals cannot hold line breaks, so the text comes in Base64.)
  const std::string mixed = "a\rb\nc\r\nd";
  const std::string pushMixed = "'" + EncodeBase64(mixed) + "' decodeb64 ";
  EXPECT_EQ(RunInteger(pushMixed + "set.cntline"), 4);
  EXPECT_EQ(RunText(pushMixed + "9 set.delline"), mixed);
  EXPECT_EQ(RunText(pushMixed + "1 set.delline"), "a\r\nc\r\nd\r\n");
  EXPECT_EQ(RunText(pushMixed + "3 set.line"), "d");
  EXPECT_EQ(RunText("'a' 'b' set.addline 'x' 1 set.insline"), "a\r\nx\r\nb\r\n");
  EXPECT_EQ(RunText("'a' 'b' set.addline 'x' -1 set.insline"), "a\r\nb\r\nx\r\n");
  EXPECT_EQ(RunText("'a' 'b' set.addline 'x' 2 set.insline"), "a\r\nb\r\nx\r\n");
  EXPECT_EQ(RunText("'' 'x' 0 set.insline"), "x\r\n");
}

TEST_F(SetWords, MoveAndSortLines) {
  const std::string abc = "'a' 'b' set.addline 'c' set.addline ";
  EXPECT_EQ(RunText(abc + "0 2 set.moveline"), "b\r\nc\r\na\r\n");
  EXPECT_EQ(RunText(abc + "2 0 set.moveline"), "c\r\na\r\nb\r\n");
  EXPECT_EQ(RunText(abc + "1 1 set.moveline"), "a\r\nb\r\nc\r\n");
  EXPECT_EQ(RunText(abc + "0 3 set.moveline"), "a\r\nb\r\nc");
  EXPECT_EQ(RunText(abc + "-1 0 set.moveline"), "a\r\nb\r\nc");
  EXPECT_EQ(RunText("'b' 'C' set.addline 'a' set.addline set.sortlines"), "a\r\nb\r\nC\r\n");
}

TEST_F(SetWords, Templates) {
  const std::string t = "'<table>{begin:row}<tr><td>{name}</td></tr>{end:row}{block:row}</table>' ";
  EXPECT_EQ(RunText(t + "'block:row' '' set.template 'name' 'Ann' set.template "
                        "'block:row' '' set.template 'name' 'Bob' set.template set.templateclean"),
            "<table><tr><td>Ann</td></tr><tr><td>Bob</td></tr></table>");
  // The marker is found without case; the last occurrence is filled.
  EXPECT_EQ(RunText("'{x} {X}' 'x' 1 set.template"), "{x} 1");
  EXPECT_EQ(RunText("'{x}' 'y' 1 set.template"), "{x}");
  // A block name is found anywhere in the name, also in upper case; the value is ignored.
  EXPECT_EQ(RunText("'{begin:r}x{end:r}{block:r}' 'BLOCK:r' 'ignored' set.template"),
            "{begin:r}x{end:r}x{block:r}");
  EXPECT_EQ(RunText("'a{begin:r}x{end:r}b{c}' set.templateclean"), "ab");
}

TEST_F(SetWords, DoRunsANestedScript) {
  EXPECT_EQ(RunInteger("'1 2 +' set.do"), 3);
  EXPECT_TRUE(Run("'' set.do").IsNull());
  EXPECT_EQ(RunInteger("\"'2 3 *' set.do\" set.do"), 6);
  EXPECT_EQ(Failure("'drop' set.do"), "stack underflow");
}

TEST_F(SetWords, UnknownMethod) {
  EXPECT_EQ(Failure("'a' set.frist"), "unrecognized set method set.frist");
  EXPECT_EQ(Failure("'a' set.First"), "unrecognized set method set.First");
}

class SetFileWords : public WordTest {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tavlo_setwords_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = std::string(pattern) + "/";
  }
  void TearDown() override {
    for (const DirectoryEntry& e : OsFiles().ListDirectory(folder_))
      OsFiles().DeleteFile(folder_ + e.name);
    OsFiles().RemoveDirectory(folder_);
  }
  std::string folder_;
};

TEST_F(SetFileWords, SaveLoadAndMissingFile) {
  const std::string file = folder_ + "list.txt";
  Run("'a b' crlf + '" + file + "' set.save");
  EXPECT_EQ(LoadFileToString(file), "a b\r\n");
  EXPECT_EQ(RunText("'" + file + "' set.load"), "a b\r\n");
  EXPECT_EQ(RunText("'" + folder_ + "none.txt' set.load"), "not found");
  EXPECT_THROW(Run("'x' '" + folder_ + "no/such.txt' set.save"), EFCreateError);
}

TEST_F(SetFileWords, ScriptThatRunsItselfStopsWithAMessage) {
  const std::string file = folder_ + "self.qel";
  SaveStringToFile(file, "'" + file + "' set.load set.do");
  EXPECT_EQ(Failure("'" + file + "' set.load set.do"), "set.do nested too deeply");
  EXPECT_EQ(RunInteger("'1 2 +' set.do"), 3);  // the nesting count is back to zero
}

TEST_F(SetFileWords, PercentIsTheApplicationFolder) {
  // Only the first % is replaced.
  const std::string name = "tavlo_setwords_" + std::to_string(getpid()) + "%.txt";
  const std::string path =
      script.AppFolder() + "tavlo_setwords_" + std::to_string(getpid()) + "%.txt";
  if (!OsFiles().DirectoryExists(script.AppFolder())) GTEST_SKIP();
  Run("'v' '%" + name + "' set.save");
  EXPECT_TRUE(OsFiles().FileExists(path));
  EXPECT_EQ(RunText("'%" + name + "' set.load"), "v");
  OsFiles().DeleteFile(path);
}

}  // namespace
}  // namespace tavlo
