// The restriction and the deadline of a run reach every script the run compiles and runs in
// turn: set.do (nested too, and on text built while the run goes), and the queries of a
// paged file's select and find. A restricted run changes no file by any of these routes.
#include <chrono>
#include <string>
#include <utility>
#include <vector>

#include "platform/filesystem.h"
#include "testsupport.h"
#include "text/qelstrings.h"
#include "wordtest.h"

namespace tavlo {
namespace {

class RunRestriction : public WordTest {
 protected:
  RunRestriction() {
    victim_ = scratch_.File("victim.txt");
    SaveStringToFile(victim_, "keep");
    pagedFile_ = scratch_.File("pf.jpf");
    // Made by a run that may change things, with one record.
    Run("'" + pagedFile_ + "' 512 'userx' 'Secret12' &f.new " + OpenPaged() +
        "'name=\"a\"' &f.append 'name=\"b\"' &f.append &f.close");
    script.RefuseChanges("a filter");
  }
  std::string OpenPaged() const { return "'" + pagedFile_ + "' 'userx' 'Secret12' &f.open "; }
  std::string UsersFile() const { return scratch_.File("pf.users"); }
  static std::string Refusal(const std::string& word) {
    return "The word " + word + " is not allowed in a filter";
  }
  // A script that runs text through set.do, the text put together while it runs (from
  // Base64, which also lets the text hold quotes and brackets of its own).
  static std::string Built(const std::string& text) {
    return "'" + EncodeBase64(text) + "' decodeb64 set.do";
  }

  testsupport::ScratchFolder scratch_;
  std::string victim_;
  std::string pagedFile_;
};

// Every word that changes something outside, refused where it runs: directly, through
// set.do, through a text the run puts together itself, and through set.do inside set.do.
TEST_F(RunRestriction, EveryChangingWordIsRefusedByEveryRoute) {
  const std::string folder = scratch_.Path() + "/";
  const std::vector<std::pair<std::string, std::string>> changing = {
      {"'" + victim_ + "' deletefile", "deletefile"},
      {"'" + victim_ + "' '" + folder + "moved' renamefile", "renamefile"},
      {"'" + folder + "sub' createdir", "createdir"},
      {"'" + folder + "' removedir", "removedir"},
      {"'/' chdir", "chdir"},
      {"'xdg-open' '' shellexecute", "shellexecute"},
      {"'hi' say", "say"},
      {"'x' copytext", "copytext"},
      {"pastetext", "pastetext"},
      {"'owned' '" + victim_ + "' set.save", "set.save"},
      {"'owned' :v.set '" + victim_ + "' :v.save", ":v.save"},
      {"'" + victim_ + "' ?doc.save", "?doc.save"},
      {"_obj.save", "_obj.save"},
      {"'" + folder + "new.jpf' 512 'userx' 'Secret12' &g.new", "&g.new"},
      {OpenPaged() + "'name=\"c\"' &f.append", "&f.append"},
      {OpenPaged() + "'' true &f.select", "&f.select for update"},
  };
  for (const auto& [text, word] : changing) {
    const std::string line = text + " true";
    const std::vector<std::string> routes = {
        line,
        "[ " + line + " ] set.do",
        Built(line),
        Built(Built(line)),
    };
    for (const std::string& route : routes) EXPECT_EQ(Failure(route), Refusal(word)) << route;
  }
  EXPECT_EQ(LoadFileToString(victim_), "keep");
  EXPECT_FALSE(Files().DirectoryExists(folder + "sub"));
  EXPECT_FALSE(Files().FileExists(folder + "new.jpf"));
  EXPECT_FALSE(Files().FileExists(folder + "obj.txt"));
  // Reading words and set.do itself stay allowed.
  EXPECT_EQ(RunText("[ '" + victim_ + "' set.load ] set.do"), "keep");
  EXPECT_EQ(RunInteger(Built(Built("1 2 +"))), 3);
}

// The query of &f.select and &f.find is a script of its own, compiled from the run's text.
TEST_F(RunRestriction, PagedFileQueriesRunUnderTheRestriction) {
  for (const std::string& query :
       {"[ '" + victim_ + "' deletefile true ] false &f.select",
        "'' false &f.select [ '" + victim_ + "' deletefile true ] 0 &f.find",
        "[ " + Built("'" + victim_ + "' deletefile true") + " ] false &f.select"}) {
    EXPECT_EQ(Failure(OpenPaged() + query), Refusal("deletefile")) << query;
  }
  EXPECT_EQ(LoadFileToString(victim_), "keep");
  // A restricted run reads the file without taking a user slot: no users file is written.
  EXPECT_EQ(RunInteger(OpenPaged() + "[ >name.get 'b' = ] false &f.select &f.count"), 1);
  EXPECT_EQ(RunInteger(OpenPaged() + "'' false &f.select [ >name.get 'b' = ] 0 &f.find"), 1);
  EXPECT_FALSE(Files().FileExists(UsersFile()));
}

TEST_F(RunRestriction, AnUnrestrictedRunKeepsEveryWord) {
  script.AllowChanges();
  Run("[ 'owned' '" + victim_ + "' set.save ] set.do");
  EXPECT_EQ(LoadFileToString(victim_), "owned");
  Run(OpenPaged() + "'' false &f.select [ '" + victim_ + "' deletefile true ] 0 &f.find drop");
  EXPECT_FALSE(Files().FileExists(victim_));
}

// The time limit is the run's: a nested script ends when the run that started it must end,
// with that run's message, not after a limit of its own.
TEST_F(RunRestriction, NestedScriptsEndAtTheRunsDeadline) {
  script.SetScriptTimeOut(1);
  for (const std::string& text :
       {std::string("[ repeat false until ] set.do"), Built(Built("repeat false until")),
        OpenPaged() + "[ repeat false until true ] false &f.select",
        OpenPaged() + "'' false &f.select [ repeat false until true ] 0 &f.find"}) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Failure(text), "Script timed out after 1 seconds") << text;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10)) << text;
  }
}

}  // namespace
}  // namespace tavlo
