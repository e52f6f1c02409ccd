// The data source words: rows addressed by key or number, attribute get and set, count and
// clear, load and save through DataSourceFolder, dsobase, and methods that do nothing.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "script/qelscript.h"
#include "words/dsowords.h"
#include "words/library.h"

namespace tavlo {
namespace {

class DsoWordsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterLibraryWords();
    std::string pattern = (std::filesystem::temp_directory_path() / "tavlo-dso-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  Variant Run(const std::string& text) {
    script_.SetScript("");
    script_.SetScript(text);
    return script_.Run();
  }
  std::string Message(const std::string& text) {
    try {
      Run(text);
    } catch (const EqelScriptError& e) {
      return e.what();
    }
    return "<no error>";
  }

  TqelScript script_;
  std::string folder_;
  const std::string ann_ = "\"Ann\" \"name\" \"p1\" _people.set ";
};

TEST_F(DsoWordsTest, SetAndGetByKeyAndRowNumber) {
  EXPECT_EQ(Run(ann_ + "\"42\" \"age\" \"p1\" _people.set \"name\" \"P1\" _people.get").ToText(),
            "Ann");
  EXPECT_EQ(Run(ann_ + "\"42\" \"age\" \"p1\" _people.set \"age\" 0 _people.get").ToText(), "42");
  EXPECT_EQ(Run(ann_ + "\"name\" \"0\" _PEOPLE.get").ToText(), "Ann");
  EXPECT_EQ(Run(ann_ + "\"zip\" \"p1\" _people.get").ToText(), "");
  EXPECT_EQ(Run(ann_ + "\"Bo\" \"name\" \"p2\" _people.set _people.count").ToInteger(), 2);
  // Objects live for one run only.
  EXPECT_EQ(Run("_people.count").ToInteger(), 0);
}

TEST_F(DsoWordsTest, UnknownKeysAndRowNumbersOutOfRange) {
  EXPECT_EQ(Message(ann_ + "\"x\" \"p9\" _people.get"), "DSO unknown key p9");
  EXPECT_EQ(Message(ann_ + "\"x\" 5 _people.get"), "DSO index out of range 5");
  EXPECT_EQ(Message(ann_ + "\"x\" -1 _people.get"), "DSO index out of range -1");
  EXPECT_EQ(Message(ann_ + "\"v\" \"a\" 3 _people.set"), "DSO index out of range 3");
  // A failed set appends nothing.
  TqelDSO d;
  d.Set("Ann", "name", Variant("p1"));
  EXPECT_THROW(d.Set("v", "a", Variant(std::int32_t{3})), EqelScriptError);
  EXPECT_EQ(d.Rows(), std::vector<std::string>{"p1=name=\"Ann\""});
}

TEST_F(DsoWordsTest, SaveWritesCrLfLinesAndLoadBringsThemBack) {
  std::string base = "'" + folder_ + "' dsobase ";
  EXPECT_EQ(Run(base + ann_ + "\"Bo\" \"name\" \"p2\" _people.set _people.save _people.clear " +
                "_people.count _people.load \"name\" \"p2\" _people.get")
                .ToText(),
            "Bo");
  std::ifstream in(folder_ + "/people.txt", std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), {});
  EXPECT_EQ(text, "p1=name=\"Ann\"\r\np2=name=\"Bo\"\r\n");
  EXPECT_EQ(script_.DataSourceFolder(), folder_);  // dsobase outlives the run
  // Lines ended by LF or CR alone load as rows too.
  std::ofstream(folder_ + "/mixed.txt", std::ios::binary) << "a=x=\"1\"\nb=x=\"2\"\rc=x=\"3\"";
  EXPECT_EQ(Run("_mixed.load _mixed.count").ToInteger(), 3);
  EXPECT_EQ(Run("_mixed.load \"x\" \"C\" _mixed.get").ToText(), "3");
}

TEST_F(DsoWordsTest, LoadOfAMissingFileFailsAndOtherMethodsDoNothing) {
  script_.SetDataSourceFolder(folder_);
  EXPECT_THROW(Run("_nothing.load"), Exception);
  EXPECT_EQ(Run("1 2 _people.frob").ToInteger(), 2);
  EXPECT_EQ(Run("1 _people.frob").ToInteger(), 1);
}

}  // namespace
}  // namespace tavlo
