// The filter plan: the differential check against the interpreter over a fixed set of seeds
// (random tables and scripts of the planned shapes), and the cases it must decline or match
// by construction: shapes it does not take, tables it cannot run on, the Null result's error
// at the right record, and a table opened while the filter stays on.
#include "query/filterplan.h"

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>

#include "dbf/cursor_fixture.h"
#include "dbf/foreign_tables_fixture.h"
#include "fuzz/filterdifferential.h"
#include "query/recordfilter.h"
#include "testsupport.h"
#include "words/library.h"

namespace tavlo {
namespace {

TEST(FilterPlanDifferential, PlanAndInterpreterAgreeOnEveryRecordOverFixedSeeds) {
  RegisterLibraryWords();
  testsupport::ScratchFolder folder;
  int planned = 0, compiled = 0;
  constexpr int kSeeds = 1500;
  for (std::uint64_t seed = 1; seed <= kSeeds; ++seed) {
    const filterdiff::Outcome outcome = filterdiff::Check(seed, folder.File("t.dbf"));
    ASSERT_EQ(outcome.difference, "");
    compiled += outcome.compiled;
    planned += outcome.planned;
  }
  // The generator must keep exercising the plan, not only the declining paths.
  EXPECT_GT(compiled, kSeeds * 9 / 10);
  EXPECT_GT(planned, kSeeds / 4);
}

TEST(FilterPlanRecognise, TakesOnlyWholeScriptsOfThePlannedShapes) {
  RegisterLibraryWords();
  const struct {
    const char* script;
    bool planned;
  } cases[] = {
      {">CITY.get 'Paris' =", true},
      {"'Paris' >CITY.get <", true},
      {">AGE.get 70 >= >ACTIVE.get and", true},
      {">ACTIVE.get not", true},
      {">NAME.get 'mi' like >NAME.get 'x' unlike or true xor", true},
      {">CITY.get 'Paris Rome' in", true},
      {"", false},
      {"1", false},
      {">CITY.get", true},  // declined later unless CITY is a logical field
      {">CITY.get >NAME.get =", false},
      {"'Paris Rome' >CITY.get in", false},
      {">AGE.get 1 + 70 >", false},
      {">CITY.set", false},
      {">CITY.get 'Paris' = 1", false},
      {">CITY.get 'Paris' = 1 and", false},
      {">CITY.get ucase 'PARIS' =", false},
      {":x.get 1 =", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.script);
    TqelScript script;
    script.SetScript(c.script);
    EXPECT_EQ(TFilterPlan::Recognise(script.Atoms()) != nullptr, c.planned);
  }
}

class FilterPlanTableTest : public cursortest::CursorTest {
 protected:
  FilterPlanTableTest() {
    RegisterLibraryWords();
    // NAME C(10), AGE N(11).
    dbf_.SetTableName(MakePeople({"Ann", "Bob", "Cid", "Dee"}));
    dbf_.Open();
  }
  TDbf dbf_;
  TqelScript script_;
  TRecordFilter filter_{dbf_, script_};
};

TEST_F(FilterPlanTableTest, DeclinesFieldsAndLiteralsItCannotReproduce) {
  const struct {
    const char* script;
    bool planned;
  } cases[] = {
      {">name.get 'Bob' =", true},
      {">NAME.get 5 =", false},       // a text against a number is parsed per record
      {">AGE.get 'abc' =", false},    // fails on every record with a value
      {">AGE.get 'ab' like", false},  // a number read as text
      {">NOSUCH.get 'x' =", false},   // the interpreter's message
      {">AGE.get", false},            // a number used as a condition combines bitwise
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.script);
    filter_.SetFilterText(c.script);
    EXPECT_EQ(filter_.Planned(), c.planned);
  }
}

TEST_F(FilterPlanTableTest, FollowsATableOpenedWhileTheFilterStaysOn) {
  filter_.Filter("people", ">NAME.get 'Cid' =");
  ASSERT_TRUE(filter_.Planned());
  EXPECT_EQ(dbf_.LookupField("NAME").TextValue(), "Cid");
  dbf_.Close();
  // NAME at another offset with another length, and OK a logical.
  const std::string path =
      MakeTable("other.dbf", {{"OK", TFieldType::ftBoolean, 0}, {"NAME", TFieldType::ftString, 4}});
  dbf_.SetTableName(path);
  dbf_.Open();
  for (const char* name : {"Zed", "Cid", "Ci"}) {
    dbf_.Insert();
    dbf_.LookupField("NAME").SetTextValue(name);
    dbf_.Post();
  }
  dbf_.First();
  EXPECT_TRUE(filter_.Planned());
  EXPECT_EQ(dbf_.RecordNumber(), 2);
  dbf_.Next();
  EXPECT_TRUE(dbf_.AtEnd());
}

TEST_F(FilterPlanTableTest, ANullLogicalFailsAtItsOwnRecordAsTheInterpreterDoes) {
  dbf_.Close();
  dbf_.SetTableName(MakeTable("flags.dbf", {{"OK", TFieldType::ftBoolean, 0}}));
  dbf_.Open();
  for (const char* flag : {"T", "F", "", "T"}) {
    dbf_.Insert();
    dbf_.LookupField("OK").SetTextValue(flag);
    dbf_.Post();
  }
  for (bool planning : {true, false}) {
    SCOPED_TRACE(planning);
    filter_.SetPlanning(planning);
    filter_.Filter("flags", ">OK.get true and");
    EXPECT_EQ(filter_.Planned(), planning);
    EXPECT_EQ(dbf_.RecordNumber(), 1);
    EXPECT_THROW_MSG(dbf_.Next(), EVariantTypeCastError, "Invalid variant type conversion");
    filter_.ShowAll();
  }
}

// Tables whose header record size is smaller than their fields need (from a hostile-test
// reproducer): records are located by the header's size, a field it cuts off is read as far
// as the record goes, one wholly past the record reads as Null. Binding the plan once wrote
// its probe bytes past the record buffer. The plan must give the interpreter's verdicts.
TEST(FilterPlanShortRecords, FieldsBeyondTheRecordReadAsTheInterpreterReadsThem) {
  RegisterLibraryWords();
  SilentDesktopHost host;  // takes the opening messages about the record size
  ScopedDesktopHost quiet(host);
  testsupport::ScratchFolder folder;
  const std::string path = folder.File("t.dbf");
  // NAME C10 and CITY C30 with 41-byte records, under header record sizes that cut the
  // fields anywhere: 1 (no field), 5 (NAME in part), 11 (NAME whole, CITY past the record),
  // 13 (CITY in part).
  std::string records;
  for (const char* row : {" ann       paris", " bob       rome", "*ann       ann"}) {
    std::string record = row;
    record.resize(41, ' ');
    records += record;
  }
  const std::vector<filterdiff::FieldShape> fields = {{"NAME", 'C', 10, 0}, {"CITY", 'C', 30, 0}};
  for (int recordSize : {1, 5, 11, 13}) {
    std::string table(32, '\0');
    table[0] = 0x03;
    table[8] = 97;
    table[10] = static_cast<char>(recordSize);
    for (const auto& f : fields) {
      std::string descriptor(32, '\0');
      descriptor.replace(0, f.name.size(), f.name);
      descriptor[11] = f.letter;
      descriptor[16] = static_cast<char>(f.length);
      table += descriptor;
    }
    table += '\r' + records + '\x1a';
    for (const char* script :
         {">NAME.get 'ann' =", ">CITY.get 'ann' =", ">CITY.get 'pa' like", ">CITY.get 'x' <>",
          ">NAME.get 'an' unlike >CITY.get 'paris rome' in or", ">CITY.get '' >="}) {
      SCOPED_TRACE(std::to_string(recordSize) + ": " + script);
      SaveStringToFile(path, table);
      const filterdiff::Outcome outcome = filterdiff::Compare(path, script, fields, 0);
      EXPECT_TRUE(outcome.planned);
      EXPECT_EQ(outcome.difference, "");
    }
  }
}

// Visual FoxPro null flags: a flagged field is Null whatever its bytes hold (other programs
// leave the old value there), in the plan as in the interpreter.
TEST(FilterPlanNullFlags, AFlaggedFieldReadsAsNullWhateverItsBytes) {
  RegisterLibraryWords();
  testsupport::ScratchFolder folder;
  foreigntest::ForeignImage image;
  image.fields = {{"NAME", 'C', 5, 0, 0x02},
                  {"N", 'N', 4, 0, 0x02},
                  {"OK", 'L', 1, 0, 0x02},
                  {"_NullFlags", '0', 1, 0, 0x05}};
  for (char flags : {'\0', '\x07', '\x01', '\x02', '\x04', '\x06'})
    image.records.push_back(std::string(" abc     7T") + flags);
  image.backlink = 263;
  const std::string path = folder.File("null.dbf");
  SaveStringToFile(path, image.Bytes());
  for (const char* script : {">NAME.get 'abc' =", ">NAME.get 'abc' <>", ">NAME.get 'b' like",
                             ">NAME.get 'a..b' in", ">NAME.get '' >", ">N.get 7 =", ">N.get 0 <",
                             ">OK.get 'True' =", ">OK.get not", ">OK.get >NAME.get 'abc' = or"}) {
    SCOPED_TRACE(script);
    const filterdiff::Outcome outcome = filterdiff::Compare(path, script, {}, 0);
    EXPECT_EQ(outcome.difference, "");
    EXPECT_TRUE(outcome.planned);
  }
}

// Real tables of every family (tests/data/corpus): the plan reads their fields through the
// column layout (null flags of Visual FoxPro, code pages named by the table, cut-off fields)
// and must give the interpreter's verdicts for scripts over every field it can take.
TEST(FilterPlanRealTables, PlanAndInterpreterAgreeOnEveryFieldOfRealTables) {
  RegisterLibraryWords();
  SilentDesktopHost host;
  ScopedDesktopHost quiet(host);
  int planned = 0;
  for (const auto& entry :
       std::filesystem::recursive_directory_iterator(TAVLO_TEST_DATA_DIR "/corpus")) {
    std::string path = entry.path().string();
    std::string extension = entry.path().extension().string();
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (extension != ".dbf") continue;
    std::vector<std::string> scripts;
    {
      TDbf dbf;
      dbf.SetTableName(path);
      dbf.SetReadOnly(true);
      try {
        dbf.Open();
      } catch (const Exception&) {
        continue;
      }
      for (int c = 0; c < dbf.FieldCount(); ++c) {
        const TField& field = dbf.Fields(c);
        const std::string get = ">" + field.FieldName() + ".get ";
        std::string first = dbf.RecordCount() > 0 ? field.TextValue() : "";
        if (first.find('\'') != std::string::npos) first.clear();
        switch (dbf.Layout().Column(field.FieldNo() - 1).reading) {
          case FieldReading::String:
            for (const char* test : {" = ", " <> ", " like ", " > "})
              scripts.push_back(get + "'" + first + "'" + test);
            scripts.push_back(get + "'a..m \"" + first + "\"' in");
            break;
          case FieldReading::Whole:
          case FieldReading::Float:
          case FieldReading::Date:
            scripts.push_back(get + "0 >");
            scripts.push_back(get + "100 <= " + get + "-1 <> and");
            break;
          case FieldReading::Logical:
            scripts.push_back(get + "not");
            scripts.push_back(get + "'T' =");
            break;
          default:
            break;
        }
      }
    }
    for (const std::string& script : scripts) {
      const filterdiff::Outcome outcome = filterdiff::Compare(path, script, {}, 0);
      EXPECT_EQ(outcome.difference, "") << path;
      planned += outcome.planned;
    }
  }
  EXPECT_GT(planned, 200);
}

}  // namespace
}  // namespace tavlo
