// The record filter over real tables: accepted records, the boolean rule of the result, field
// names without case, unanswered fields, compile and run errors, memo fields and a table
// opened while the filter stays on.
#include "query/recordfilter.h"

#include <gtest/gtest.h>

#include "dbf/cursor_fixture.h"
#include "platform/filesystem.h"
#include "text/qelstrings.h"
#include "words/library.h"

namespace tavlo {
namespace {

using cursortest::CursorTest;

class RecordFilterTest : public CursorTest {
 protected:
  RecordFilterTest() {
    RegisterLibraryWords();
    dbf_.SetTableName(MakePeople({"Ann", "Bob", "Cid", "Dee"}));
    dbf_.Open();
  }

  std::vector<std::string> Shown() {
    std::vector<std::string> names;
    for (; !dbf_.AtEnd(); dbf_.Next()) names.push_back(dbf_.LookupField("NAME").TextValue());
    return names;
  }

  TDbf dbf_;
  TqelScript script_;
  TRecordFilter filter_{dbf_, script_};
};

using Names = std::vector<std::string>;

TEST_F(RecordFilterTest, ShowsTheAcceptedRecordsAndShowAllBringsThemBack) {
  EXPECT_EQ(script_.ScriptTimeOut(), 30);
  filter_.Filter("people", ">NAME.get 'Bob' = >age.get 30 = or");
  EXPECT_TRUE(dbf_.Filtered());
  EXPECT_EQ(Shown(), (Names{"Bob", "Cid"}));
  dbf_.Last();
  EXPECT_EQ(dbf_.LookupField("NAME").TextValue(), "Cid");

  filter_.Filter("people", ">Age.get 100 >");
  EXPECT_TRUE(dbf_.IsEmpty());
  EXPECT_TRUE(dbf_.AtStart() && dbf_.AtEnd());

  filter_.ShowAll();
  EXPECT_FALSE(dbf_.Filtered());
  EXPECT_EQ(Shown(), (Names{"Ann", "Bob", "Cid", "Dee"}));
}

TEST_F(RecordFilterTest, ResultBecomesABooleanByTheValueRules) {
  const struct {
    const char* script;
    Names shown;
  } cases[] = {
      {"0", {}},
      {"1", {"Ann", "Bob", "Cid", "Dee"}},
      {"'TRUE'", {"Ann", "Bob", "Cid", "Dee"}},
      {"'false'", {}},
      {"2 1 >AGE.get 20 >", {"Cid", "Dee"}},  // only the top of the stack counts
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.script);
    filter_.Filter("people", c.script);
    EXPECT_EQ(Shown(), c.shown);
  }
}

TEST_F(RecordFilterTest, RunFailuresLeaveTheCursorOperationAndKeepTheFilterOn) {
  const struct {
    const char* script;
    const char* message;
  } cases[] = {
      {"", "Invalid variant type conversion"},  // no atoms: every run yields Null
      {"'maybe'", "Invalid variant type conversion"},
      {">CITY.get 'Paris' =", "The field CITY is not found in this collection"},
      {"drop", "stack underflow"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.script);
    EXPECT_THROW_MSG(filter_.Filter("people", c.script), Exception, c.message);
    EXPECT_TRUE(dbf_.Filtered());
    filter_.ShowAll();
  }
  // A failure in the middle of a scan stops the move that met the record.
  filter_.Filter("people", ">NAME.get 'Cid' = if 'x' else 1 endif");
  EXPECT_EQ(dbf_.LookupField("NAME").TextValue(), "Ann");
  dbf_.Next();
  EXPECT_THROW_MSG(dbf_.Next(), Exception, "Invalid variant type conversion");
  EXPECT_EQ(dbf_.LookupField("NAME").TextValue(), "Bob");
}

TEST_F(RecordFilterTest, CompileErrorNeverSwitchesTheFilterOn) {
  // Pressed twice: the half-compiled program (the atom 1) must not filter the second time.
  for (int press = 0; press < 2; ++press) {
    try {
      filter_.Filter("people", "0 nosuchword");
      ADD_FAILURE() << "no compile error at press " << press;
    } catch (const EqelScriptError& error) {
      EXPECT_EQ(std::string(error.what()).rfind("undefined word \"nosuchword\"", 0), 0u);
    }
    EXPECT_FALSE(dbf_.Filtered());
  }
  EXPECT_EQ(Shown(), (Names{"Ann", "Bob", "Cid", "Dee"}));
}

// A filter runs once per record: words that change anything outside the script are refused
// when it is compiled (a filter once deleted its own table's memo file during a dump).
TEST_F(RecordFilterTest, WordsThatChangeAnythingAreRefusedWhenCompiled) {
  const std::string table = dbf_.TableName();
  const std::string folder = table.substr(0, table.rfind('/') + 1);
  const std::vector<std::pair<std::string, std::string>> refused = {
      {"'" + table + "' deletefile true", "deletefile"},
      {"'" + table + "' '" + folder + "x.dbf' renamefile true", "renamefile"},
      {"'" + folder + "sub' createdir true", "createdir"},
      {"'" + folder + "sub' removedir true", "removedir"},
      {"'/' chdir true", "chdir"},
      {"'xdg-open' '' shellexecute true", "shellexecute"},
      {"'hi' say true", "say"},
      {"'name?' ask 'x' =", "ask"},
      {"dlgopen ''  =", "dlgopen"},
      {"dlgsave '' =", "dlgsave"},
      {"dlgcolor 1 =", "dlgcolor"},
      {"seldir true", "seldir"},
      {"'x' copytext true", "copytext"},
      {"pastetext '' =", "pastetext"},
      {"'a' '" + folder + "a.txt' set.save true", "set.save"},
      {"1 :v.set '" + folder + "v.txt' :v.save true", ":v.save"},
      {"'" + folder + "d.xml' ?doc.save true", "?doc.save"},
      {"'" + folder + "d' _obj.save true", "_obj.save"},
      {"'" + folder + "p' &f.new true", "&f.new"},
      {"'a' &f.append true", "&f.append"},
      {"1 'a' &f.update true", "&f.update"},
      {"1 &f.delete true", "&f.delete"},
  };
  for (const auto& [text, word] : refused) {
    const std::string expected = "The word " + word + " is not allowed in a filter";
    // Twice: the program compiled before the refusal must never filter either.
    for (int press = 0; press < 2; ++press) {
      EXPECT_THROW_MSG(filter_.Filter("people", text), Exception, expected);
      EXPECT_FALSE(dbf_.Filtered()) << text;
    }
  }
  EXPECT_TRUE(Files().FileExists(table));
  EXPECT_FALSE(Files().FileExists(folder + "a.txt"));
  EXPECT_FALSE(Files().DirectoryExists(folder + "sub"));
  // Reading words stay: the file words that look, the loads, the queries of a paged file.
  filter_.Filter("people", "'" + table + "' fileexists '" + folder +
                               "none.txt' fileexists not and >NAME.get 'Bob' = and");
  EXPECT_EQ(Shown(), (Names{"Bob"}));
  EXPECT_NO_THROW(filter_.SetFilterText("'" + folder +
                                        "a.txt' set.load drop &f.count drop ?d.count "
                                        "drop :v.get drop 'Ann' 'Ann Bob' 1 find 0 >"));
}

// The refusal belongs to every run of the filter, not to the filter's own text: a text the
// filter runs through set.do, or as the query of a paged file, refuses the same words (a
// filter "[ 'people.dbt' deletefile true ] set.do" once deleted the table's memo file).
TEST_F(RecordFilterTest, ScriptsTheFilterRunsRefuseChangesToo) {
  const std::string table = dbf_.TableName();
  const std::string folder = table.substr(0, table.rfind('/') + 1);
  const std::string victim = folder + "victim.txt";
  SaveStringToFile(victim, "keep");
  {
    TqelScript maker;
    maker.SetScript("'" + folder + "p.jpf' 512 'userx' 'Secret12' &f.new '" + folder +
                    "p.jpf' 'userx' 'Secret12' &f.open 'n=\"a\"' &f.append");
    maker.Run();
  }
  const std::vector<std::pair<std::string, std::string>> routes = {
      {"[ '" + table + "' deletefile true ] set.do", "deletefile"},
      {"[ 'owned' '" + victim + "' set.save true ] set.do", "set.save"},
      {"'" + folder + "p.jpf' 'userx' 'Secret12' &f.open [ '" + victim +
           "' deletefile true ] false &f.select true",
       "deletefile"},
  };
  for (const auto& [text, word] : routes) {
    const std::string expected = "The word " + word + " is not allowed in a filter";
    EXPECT_THROW_MSG(filter_.Filter("people", text), Exception, expected);
    filter_.ShowAll();
  }
  EXPECT_TRUE(Files().FileExists(table));
  EXPECT_EQ(LoadFileToString(victim), "keep");
  // Opening the paged file to read it wrote no users file.
  EXPECT_FALSE(Files().FileExists(folder + "p.users"));
}

TEST_F(RecordFilterTest, NoCurrentTableMeansNothingHappens) {
  filter_.Filter("", "0");
  EXPECT_FALSE(dbf_.Filtered());
  EXPECT_EQ(script_.Script(), "");
  dbf_.Close();
  EXPECT_THROW_MSG(filter_.ShowAll(), Exception,
                   "Cannot perform this operation on a closed dataset");
}

TEST_F(RecordFilterTest, FieldsAreFoundAgainInATableOpenedWhileTheFilterIsOn) {
  filter_.Filter("people", ">AGE.get 20 >");
  EXPECT_EQ(Shown(), (Names{"Cid", "Dee"}));
  dbf_.Close();

  // The same names at other positions, and one field fewer.
  std::string other = MakeTable(
      "other.dbf", {{"AGE", TFieldType::ftInteger, 0}, {"NAME", TFieldType::ftString, 10}});
  {
    TDbf writer;
    writer.SetTableName(other);
    writer.Open();
    for (int age : {50, 5, 25}) {
      writer.Insert();
      writer.LookupField("AGE").SetTextValue(std::to_string(age));
      writer.LookupField("NAME").SetTextValue("n" + std::to_string(age));
      writer.Post();
    }
  }
  dbf_.SetTableName(other);
  dbf_.Open();
  EXPECT_EQ(Shown(), (Names{"n50", "n25"}));
  dbf_.Close();

  std::string names = MakeTable("names.dbf", {{"NAME", TFieldType::ftString, 10}});
  {
    TDbf writer;
    writer.SetTableName(names);
    writer.Open();
    writer.Insert();
    writer.LookupField("NAME").SetTextValue("Eve");
    writer.Post();
  }
  dbf_.SetTableName(names);
  EXPECT_THROW_MSG(dbf_.Open(), Exception, "The field AGE is not found in this collection");
}

TEST_F(RecordFilterTest, MemoFieldIsTheMemoOfTheRecordUnderTest) {
  dbf_.Close();
  std::string path =
      MakeTable("notes.dbf", {{"TITLE", TFieldType::ftString, 8}, {"NOTE", TFieldType::ftMemo, 0}});
  dbf_.SetTableName(path);
  dbf_.Open();
  for (const char* text : {"keep me", "drop me", "keep too", ""}) {
    dbf_.Insert();
    dbf_.LookupField("TITLE").SetTextValue(std::string(text).substr(0, 4));
    dbf_.LookupField("NOTE").SetTextValue(text);
    dbf_.Post();
  }
  filter_.Filter("notes", ">note.get 4 left 'keep' =");
  std::vector<std::string> notes;
  for (; !dbf_.AtEnd(); dbf_.Next()) notes.push_back(dbf_.LookupField("NOTE").TextValue());
  EXPECT_EQ(notes, (Names{"keep me", "keep too"}));
}

TEST_F(RecordFilterTest, DestroyedFilterLeavesNoCallbackBehind) {
  {
    TqelScript script;
    TRecordFilter filter(dbf_, script);
    EXPECT_TRUE(static_cast<bool>(dbf_.OnFilterRecord));
    EXPECT_TRUE(static_cast<bool>(script.onGetVariable));
  }
  EXPECT_FALSE(static_cast<bool>(dbf_.OnFilterRecord));
  dbf_.SetFiltered(true);
  dbf_.First();  // filters nothing now
  EXPECT_EQ(Shown(), (Names{"Ann", "Bob", "Cid", "Dee"}));
}

}  // namespace
}  // namespace tavlo
