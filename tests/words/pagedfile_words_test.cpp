// The &f.method words driving a paged file from scripts: creating under AppFolder, the full
// round of append, select, orderby, find, get, update and delete, per-run objects and errors.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "pagedfile/pagedfile.h"
#include "script/qelscript.h"
#include "words/library.h"

namespace tavlo {
namespace {

class PagedFileWordsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterLibraryWords();
    name_ = "pfwords-" + std::to_string(getpid()) + ".jpf";
    path_ = script_.AppFolder() + name_;
  }
  void TearDown() override {
    std::filesystem::remove(path_);
    std::filesystem::remove(std::filesystem::path(path_).replace_extension(".users"));
  }
  Variant Run(const std::string& text) {
    script_.SetScript("");
    script_.SetScript(text);
    return script_.Run();
  }
  std::string Open() const { return "'%" + name_ + "' 'alice' 'Secret12' &f.open "; }
  std::string Message(const std::string& text) {
    try {
      Run(text);
    } catch (const std::exception& e) {
      return e.what();
    }
    return "<no error>";
  }

  TqelScript script_;
  std::string name_;
  std::string path_;
};

TEST_F(PagedFileWordsTest, NewCreatesInAppFolderAndOpenOpensIt) {
  Run("'%" + name_ + "' 512 'alice' 'Secret12' &f.new");
  ASSERT_TRUE(std::filesystem::exists(path_));
  EXPECT_EQ(std::filesystem::file_size(path_), 512u);
  EXPECT_EQ(Run(Open() + "'a=\"1\"' &f.append 'a=\"2\"' &f.append '' false &f.select &F.count")
                .ToInteger(),
            2);
  // The object was closed at the end of the run: no slot is left taken.
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(path_).replace_extension(".users")));
}

TEST_F(PagedFileWordsTest, RecordSetRoundTrip) {
  Run("'%" + name_ + "' 64 'alice' 'Secret12' &f.new");
  Run(Open() +
      "'n=\"bob\" age=\"30\"' &f.append 'n=\"amy\" age=\"41\"' &f.append "
      "'n=\"cy\" age=\"7\"' &f.append");
  EXPECT_EQ(Run(Open() + "'' false &f.select '-#age' &f.orderby 0 &f.get").ToText(),
            "n=\"amy\" age=\"41\"");
  EXPECT_EQ(Run(Open() + "'' false &f.select \">n.get 'cy' =\" 0 &f.find").ToInteger(), 2);
  Run(Open() + "\">n.get 'bob' =\" true &f.select 0 'n=\"bobby\"' &f.update");
  Run(Open() + "\">n.get 'cy' =\" true &f.select 0 &f.delete");
  EXPECT_EQ(Run(Open() + "'' false &f.select 'n' &f.orderby &f.count").ToInteger(), 2);
  EXPECT_EQ(Run(Open() + "'' false &f.select 'n' &f.orderby 1 &f.get").ToText(), "n=\"bobby\"");
}

TEST_F(PagedFileWordsTest, ErrorsReachTheScriptUnchanged) {
  EXPECT_EQ(Message("&f.frob"), "invalid jpf method specifier frob");
  EXPECT_EQ(Message("0 &f.get"), "can not get record because file is not open");
  EXPECT_EQ(Message("'x' &f.append"), "can not append record because file is not open");
  EXPECT_EQ(Message("'%" + name_ + "' 63 'alice' 'Secret12' &f.new"),
            "The page size must be >= 64");
  Run("'%" + name_ + "' 64 'alice' 'Secret12' &f.new");
  EXPECT_EQ(Message("'%" + name_ + "' 'alice' 'secret12' &f.open"),
            "can not open file: invalid username or password");
  EXPECT_EQ(Message(Open() + "'' false &f.select 3 &f.get"), "record index out of range: 3");
  EXPECT_EQ(Message(Open() + "'' false &f.select 0 &f.delete"), "record index out of range: 0");
  EXPECT_EQ(Run(Open() + "&f.count &f.close 'x' 0 &f.count").ToInteger(), 0);
  try {
    Run("0 &f.delete");
    ADD_FAILURE() << "no error";
  } catch (const EqelPageError&) {
  }
}

}  // namespace
}  // namespace tavlo
