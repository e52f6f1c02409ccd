// The table designer's definition text: line splitting, the attribute rules, sizes, refused
// lines and the table it creates.
#include "workspace/tabledefinition.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

#include "dbf/dbferrors.h"
#include "dbf/fields.h"
#include "dbf/tdbf.h"

namespace tavlo {
namespace {

TEST(ReadTableDefinitionTest, LinesBecomeDefinitionsInOrder) {
  TFieldDefs definitions;
  TableDefinitionOutcome outcome = ReadTableDefinition(
      {"name=\"CITY\" type=\"string\" size=\"30\"", "NAME=\"Age\" type=\"integer\" size=\"5\"",
       "type=\"boolean\" name=\"ok\"", "name=\"D\" type=\"date\"", "name=\"F\" type=\"float\"",
       "name=\"M\" type=\"memo\"", "name=\"S\" type=\"string\" size=\"abc\"",
       "name=\"H\" type=\"string\" size=\"$1F\"", "name=\"R\" type=\"string\" size=\"2.5\""},
      definitions);
  EXPECT_TRUE(outcome.complete);
  ASSERT_EQ(definitions.size(), 9u);
  const struct {
    const char* name;
    TFieldType type;
    int size;
  } expected[] = {{"CITY", TFieldType::ftString, 30}, {"Age", TFieldType::ftInteger, 0},
                  {"ok", TFieldType::ftBoolean, 0},   {"D", TFieldType::ftDate, 0},
                  {"F", TFieldType::ftFloat, 0},      {"M", TFieldType::ftMemo, 0},
                  {"S", TFieldType::ftString, 50},    {"H", TFieldType::ftString, 31},
                  {"R", TFieldType::ftString, 50}};
  for (std::size_t i = 0; i < 9; ++i) {
    EXPECT_EQ(definitions[i].name, expected[i].name) << i;
    EXPECT_EQ(definitions[i].dataType, expected[i].type) << i;
    EXPECT_EQ(definitions[i].size, expected[i].size) << i;
  }
}

TEST(ReadTableDefinitionTest, IncompleteLinesStopSilently) {
  struct Case {
    std::vector<std::string> lines;
    int line;
    const char* missing;
  };
  const Case cases[] = {
      {{"name=\"A\" type=\"integer\"", ""}, 2, "name"},
      {{"name=\"A\""}, 1, "type"},
      {{"name=\"A\" type=\"integer\"", "name=\"B\" type=\"string\""}, 2, "size"},
      {{"name= \"A\" type=\"integer\""}, 1, "name"},  // the quote must follow directly
  };
  for (const Case& c : cases) {
    TFieldDefs definitions;
    TableDefinitionOutcome outcome = ReadTableDefinition(c.lines, definitions);
    EXPECT_FALSE(outcome.complete);
    EXPECT_EQ(outcome.failedLine, c.line);
    EXPECT_EQ(outcome.missing, c.missing);
    EXPECT_TRUE(definitions.empty());
  }
}

TEST(ReadTableDefinitionTest, RepeatedNamesAndUnknownTypesAreRefused) {
  TFieldDefs definitions;
  try {
    ReadTableDefinition({"name=\"City\" type=\"date\"", "name=\"CITY\" type=\"memo\""},
                        definitions);
    ADD_FAILURE() << "no exception";
  } catch (const EDatabaseError& error) {
    EXPECT_STREQ(error.what(), "A component named CITY already exists");
  }
  definitions.clear();
  try {
    ReadTableDefinition({"name=\"A\" type=\"String\" size=\"5\""}, definitions);
    ADD_FAILURE() << "no exception";
  } catch (const EDatabaseError& error) {
    EXPECT_STREQ(error.what(), "Unknown field type 'String' in line 1");
  }
}

// "~~" in an attribute value reads as CR LF: as the first bytes of a name they made the
// descriptor begin with its terminator, a table that would not open (from a hostile-test
// reproducer and the fuzzer's crash inputs).
TEST(CreateTableFromDefinitionTest, NamesThatNoDescriptorHoldsCreateNothing) {
  std::string folder = (std::filesystem::temp_directory_path() / "tavlo-def-XXXXXX").string();
  ASSERT_NE(mkdtemp(folder.data()), nullptr);
  const std::string path = folder + "/t.dbf";
  const struct {
    const char* text;
    const char* message;
  } cases[] = {
      {"name=\"~~A\" type=\"string\" size=\"5\"\n",
       "Field name '\\x0D\\x0AA' may hold only letters A-Z, digits 0-9 and _, and must begin "
       "with a letter (line 1; ~~ in a definition is read as a line break)"},
      {"name=\"A\" type=\"string\" size=\"5\"\nname=\"~~B\" type=\"string\" size=\"5\"\n",
       "Field name '\\x0D\\x0AB' may hold only letters A-Z, digits 0-9 and _, and must begin "
       "with a letter (line 2; ~~ in a definition is read as a line break)"},
      {"namM\xFF\xFF\xFF"
       "e=\"AME\"name=\"~~~\x01~En\"\x94 type=\"string\" size=\"=\"\"\"\r\n",
       "Field name '\\x0D\\x0A~\\x01~En' may hold only letters A-Z, digits 0-9 and _, and must "
       "begin with a letter (line 1; ~~ in a definition is read as a line break)"},
      {"name=\"CITY NAME\" type=\"date\"\n",
       "Field name 'CITY NAME' may hold only letters A-Z, digits 0-9 and _, and must begin with "
       "a letter (line 1)"},
      {"name=\"ABCDEFGHIJK\" type=\"date\"\n",
       "Field name 'ABCDEFGHIJK' is longer than 10 characters (line 1)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    TDbf dbf;
    try {
      CreateTableFromDefinition(dbf, path, c.text);
      ADD_FAILURE() << "no exception";
    } catch (const EDatabaseError& error) {
      EXPECT_STREQ(error.what(), c.message);
    }
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_FALSE(std::filesystem::exists(folder + "/t.dbt"));
  }
  std::filesystem::remove_all(folder);
}

TEST(TableFileForDefinitionTest, ExtensionBecomesDbf) {
  EXPECT_EQ(TableFileForDefinition("/t/new.txt"), "/t/new.dbf");
  EXPECT_EQ(TableFileForDefinition("/t/new"), "/t/new.dbf");
  EXPECT_EQ(TableFileForDefinition("/t.d/new"), "/t.d/new.dbf");
  EXPECT_EQ(TableExistsMessage("/t/old.dbf"), "/t/old.dbf allready exists");
}

TEST(CreateTableFromDefinitionTest, CreatesTheTableOrNothing) {
  std::string folder = (std::filesystem::temp_directory_path() / "tavlo-def-XXXXXX").string();
  ASSERT_NE(mkdtemp(folder.data()), nullptr);
  std::string path = folder + "/new.dbf";
  TDbf dbf;
  TableDefinitionOutcome outcome = CreateTableFromDefinition(
      dbf, path, "name=\"A\" type=\"integer\"\r\nname=\"B\" type=\"string\"\r\n");
  EXPECT_FALSE(outcome.complete);
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_TRUE(dbf.FieldDefs().empty());

  outcome = CreateTableFromDefinition(
      dbf, path, "name=\"NAME\" type=\"string\" size=\"20\"\r\nname=\"AGE\" type=\"integer\"\r\n");
  EXPECT_TRUE(outcome.complete);
  EXPECT_FALSE(dbf.Active());
  EXPECT_EQ(std::filesystem::file_size(path), 98u);
  dbf.Open();
  EXPECT_EQ(dbf.FieldCount(), 2);
  EXPECT_EQ(dbf.Fields(1).FieldName(), "AGE");
  dbf.Close();
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace tavlo
