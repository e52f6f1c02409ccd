// Table creation: byte-exact files, the type mapping read back, overwriting, and the checks
// that refuse bad definitions before any file is touched.
#include <ctime>

#include "cursor_fixture.h"
#include "dbf/tablecreate.h"
#include "platform/codepage.h"
#include "platform/oscalls.h"

namespace tavlo::cursortest {
namespace {

using TableCreateTest = CursorTest;

std::string Today() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  std::string date(3, '\0');
  date[0] = static_cast<char>((local.tm_year) % 256);
  date[1] = static_cast<char>(local.tm_mon + 1);
  date[2] = static_cast<char>(local.tm_mday);
  return date;
}

TEST_F(TableCreateTest, NameAndAgeGiveTheNinetyEightByteFile) {
  const std::unique_ptr<CodePages> english = NewTableCodePages(437, 1252);
  ScopedCodePages session(*english);
  std::string path = MakeTable(
      "people.dbf", {{"NAME", TFieldType::ftString, 20}, {"AGE", TFieldType::ftInteger, 0}});
  std::string expected;
  expected += '\x03';
  expected += Today();
  expected += std::string(4, '\0');        // RecordCount 0
  expected += std::string("\x61\x00", 2);  // header size 97
  expected += std::string("\x20\x00", 2);  // record size 32
  expected += std::string(17, '\0');
  expected += '\x01';  // the text is stored in page 437
  expected += std::string(2, '\0');
  expected += std::string("NAME") + std::string(7, '\0') + "C" + std::string(4, '\0') + '\x14' +
              std::string(15, '\0');
  expected += std::string("AGE") + std::string(8, '\0') + "N" + std::string(4, '\0') + '\x0B' +
              std::string(15, '\0');
  expected += "\x0D\x1A";
  std::string actual = ReadBytes(path);
  ASSERT_EQ(actual.size(), 98u);
  EXPECT_EQ(actual, expected);
  // No memo fields, no memo file.
  EXPECT_FALSE(std::filesystem::exists(folder_.File("people.dbt")));
  EXPECT_FALSE(std::filesystem::exists(folder_.File("people.mdx")));
}

TEST_F(TableCreateTest, SingleBooleanGivesSixtySixBytes) {
  std::string bytes = ReadBytes(MakeTable("flag.dbf", {{"OK", TFieldType::ftBoolean, 0}}));
  ASSERT_EQ(bytes.size(), 66u);
  EXPECT_EQ(static_cast<unsigned char>(bytes[8]), 65);
  EXPECT_EQ(static_cast<unsigned char>(bytes[10]), 2);
  EXPECT_EQ(bytes[32 + 11], 'L');
  EXPECT_EQ(bytes[64], '\x0D');
  EXPECT_EQ(bytes[65], '\x1A');
}

TEST_F(TableCreateTest, EveryTypeReadsBackAsTheTypeItWasMadeFrom) {
  TFieldDefs definitions = {{"s", TFieldType::ftString, 30},   {"SMALL", TFieldType::ftSmallint, 0},
                            {"INT", TFieldType::ftInteger, 0}, {"BIG", TFieldType::ftLargeint, 0},
                            {"REAL", TFieldType::ftFloat, 0},  {"FLAG", TFieldType::ftBoolean, 0},
                            {"DAY", TFieldType::ftDate, 0},    {"NOTE", TFieldType::ftMemo, 0}};
  std::string path = MakeTable("all.dbf", definitions);
  std::string bytes = ReadBytes(path);
  const char letters[] = {'C', 'N', 'N', 'N', 'N', 'L', 'D', 'M'};
  const int lengths[] = {30, 6, 11, 20, 20, 1, 8, 10};
  const int decimals[] = {0, 0, 0, 0, 4, 0, 0, 0};
  for (int i = 0; i < 8; ++i) {
    const char* descriptor = bytes.data() + 32 + 32 * i;
    EXPECT_EQ(descriptor[11], letters[i]) << i;
    EXPECT_EQ(static_cast<unsigned char>(descriptor[16]), lengths[i]) << i;
    EXPECT_EQ(static_cast<unsigned char>(descriptor[17]), decimals[i]) << i;
  }
  EXPECT_EQ(std::string(bytes.data() + 32), "s");  // case kept
  // Memo fields: the dBase version byte for memos (still level 0) and a memo file with its
  // header, so that other programs open the table.
  EXPECT_EQ(bytes[0], '\x83');
  std::string memo = ReadBytes(folder_.File("all.dbt"));
  ASSERT_EQ(memo.size(), 512u);
  EXPECT_EQ(memo.substr(0, 4), std::string("\x01\x00\x00\x00", 4));
  EXPECT_EQ(memo.substr(20, 2), std::string("\x00\x02", 2));

  TDbf dbf;
  dbf.SetTableName(path);
  dbf.Open();
  ASSERT_EQ(dbf.FieldCount(), 8);
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(dbf.Fields(i).DataType(), definitions[static_cast<std::size_t>(i)].dataType) << i;
    EXPECT_EQ(dbf.Fields(i).FieldNo(), i + 1);
  }
  EXPECT_NE(dynamic_cast<TMemoField*>(&dbf.LookupField("note")), nullptr);
  EXPECT_NE(dynamic_cast<TLargeintField*>(&dbf.LookupField("Big")), nullptr);
  EXPECT_EQ(dbf.LookupField("S").Size(), 30);
  EXPECT_TRUE(host_.messages.empty());
  EXPECT_TRUE(dbf.OpenDiagnostics().empty());
}

TEST_F(TableCreateTest, CreatingOverAnExistingTableEmptiesBothFiles) {
  std::string path = MakeTable("t.dbf", {{"NOTE", TFieldType::ftMemo, 0}});
  {
    TDbf dbf;
    dbf.SetTableName(path);
    dbf.Open();
    dbf.Insert();
    dbf.LookupField("NOTE").SetTextValue("some text");
    dbf.Post();
    dbf.Close();
  }
  ASSERT_GT(ReadBytes(folder_.File("t.dbt")).size(), 0u);
  WriteBytes(folder_.File("t.mdx"), "index bytes");
  MakeTable("t.dbf", {{"OK", TFieldType::ftBoolean, 0}});
  EXPECT_EQ(ReadBytes(path).size(), 66u);
  EXPECT_EQ(ReadBytes(folder_.File("t.dbt")), "");
  EXPECT_EQ(ReadBytes(folder_.File("t.mdx")), "index bytes");
}

TEST_F(TableCreateTest, BadDefinitionsAreRefusedBeforeAnyFileIsTouched) {
  std::string path = MakePeople({"Ann"});
  std::string before = ReadBytes(path);
  struct Case {
    TFieldDefs definitions;
    std::string message;
  };
  const Case cases[] = {
      {{{"NAME", TFieldType::ftString, 10}, {"PRICE", TFieldType::ftCurrency, 0}},
       "InitFieldDefs: Unsupported field type"},
      {{{"ELEVENCHARS", TFieldType::ftString, 10}},
       "Field name 'ELEVENCHARS' is longer than 10 characters"},
      {{{"NAME", TFieldType::ftString, 0}}, "Size 0 of field 'NAME' must be between 1 and 255"},
      {{{"NAME", TFieldType::ftString, 256}}, "Size 256 of field 'NAME' must be between 1 and 255"},
      {{{"", TFieldType::ftBoolean, 0}}, "Field 1 has no valid name"},
      // Every byte of a name reaches the descriptor: a line break would put the descriptor
      // terminator first, other bytes would read differently in other programs.
      {{{"\r\nA", TFieldType::ftString, 5}},
       "Field name '\\x0D\\x0AA' may hold only letters A-Z, digits 0-9 and _, and must begin "
       "with a letter"},
      {{{"CITY NAME", TFieldType::ftString, 5}},
       "Field name 'CITY NAME' may hold only letters A-Z, digits 0-9 and _, and must begin "
       "with a letter"},
      {{{"1ST", TFieldType::ftString, 5}},
       "Field name '1ST' may hold only letters A-Z, digits 0-9 and _, and must begin with a "
       "letter"},
      {{{"\xC4RA", TFieldType::ftString, 5}},
       "Field name '\\xC4RA' may hold only letters A-Z, digits 0-9 and _, and must begin with "
       "a letter"},
      {{{"Name", TFieldType::ftString, 5}, {"NAME", TFieldType::ftDate, 0}},
       "A component named NAME already exists"},
  };
  for (const Case& c : cases) {
    TDbf dbf;
    dbf.SetTableName(path);
    dbf.FieldDefs() = c.definitions;
    EXPECT_THROW_MSG(dbf.CreateTableFile(), EDatabaseError, c.message);
    EXPECT_FALSE(dbf.Active());
    EXPECT_EQ(ReadBytes(path), before) << c.message;
  }
}

TEST_F(TableCreateTest, TenCharacterNameIsKeptWhole) {
  std::string path = MakeTable("ten.dbf", {{"ABCDEFGHIJ", TFieldType::ftString, 5}});
  std::string bytes = ReadBytes(path);
  EXPECT_EQ(std::string(bytes.data() + 32, 11), std::string("ABCDEFGHIJ") + '\0');
  EXPECT_EQ(bytes[32 + 11], 'C');
  TDbf dbf;
  dbf.SetTableName(path);
  dbf.Open();
  EXPECT_EQ(dbf.Fields(0).FieldName(), "ABCDEFGHIJ");
}

TEST_F(TableCreateTest, NamesOfLettersDigitsAndUnderscoresAreTaken) {
  std::string path = MakeTable("ok.dbf", {{"a_1", TFieldType::ftString, 5},
                                          {"Z9", TFieldType::ftBoolean, 0},
                                          {"x_", TFieldType::ftDate, 0}});
  TDbf dbf;
  dbf.SetTableName(path);
  dbf.Open();
  ASSERT_EQ(dbf.FieldCount(), 3);
  EXPECT_EQ(dbf.Fields(0).FieldName(), "a_1");
  EXPECT_EQ(dbf.Fields(2).FieldName(), "x_");
}

TEST_F(TableCreateTest, OpenCursorRefusesCreation) {
  std::string path = MakePeople({"Ann"});
  TDbf dbf;
  dbf.SetTableName(path);
  dbf.Open();
  EXPECT_THROW_MSG(dbf.CreateTableFile(), EDatabaseError,
                   "Cannot perform this operation on an open dataset");
  EXPECT_TRUE(dbf.Active());
}

TEST_F(TableCreateTest, EmptyDefinitionListTakesTheFieldObjectsOrFails) {
  TDbf dbf;
  dbf.SetTableName(folder_.File("none.dbf"));
  EXPECT_THROW_MSG(dbf.CreateTableFile(), EBinaryDataSetError,
                   "Invalid field count : 0 (must be between 1 and 255)");
  EXPECT_FALSE(std::filesystem::exists(folder_.File("none.dbf")));
}

TEST_F(TableCreateTest, UncreatableFileNamesThePath) {
  TDbf dbf;
  std::string path = folder_.File("missing/sub/t.dbf");
  dbf.SetTableName(path);
  dbf.FieldDefs() = {{"OK", TFieldType::ftBoolean, 0}};
  EXPECT_THROW_MSG(dbf.CreateTableFile(), EFCreateError,
                   "Cannot create file " + path + ": No such file or directory");
  EXPECT_FALSE(dbf.Active());
}

int writesBeforeFull = 0;

struct RealCallsAfterwards {
  ~RealCallsAfterwards() { SystemCalls() = RealSystemCalls(); }
};

// The disk takes the given number of writes, then is full.
ssize_t FillingDiskWrite(int fd, const void* buffer, size_t size, off_t offset) {
  if (writesBeforeFull-- <= 0) {
    errno = ENOSPC;
    return -1;
  }
  return ::pwrite(fd, buffer, size, offset);
}

TEST_F(TableCreateTest, CreationThatFailsOnAFullDiskLeavesNothingBehind) {
  const TFieldDefs definitions = {{"NAME", TFieldType::ftString, 20},
                                  {"NOTE", TFieldType::ftMemo, 0}};
  const std::string path = folder_.File("t.dbf");
  RealCallsAfterwards restore;
  // A creation makes a handful of writes; the disk fills before each of them in turn.
  for (int writes = 0; writes < 6; ++writes) {
    SCOPED_TRACE(writes);
    writesBeforeFull = writes;
    SystemCalls().pwrite = &FillingDiskWrite;
    TDbf dbf;
    dbf.SetTableName(path);
    dbf.FieldDefs() = definitions;
    try {
      dbf.CreateTableFile();
      SystemCalls() = RealSystemCalls();
      break;  // the disk took every write
    } catch (const EStreamError&) {
    }
    SystemCalls() = RealSystemCalls();
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_FALSE(std::filesystem::exists(folder_.File("t.dbt")));
  }
  // With room again the same creation succeeds: nothing says the table already exists.
  std::filesystem::remove(path);
  std::filesystem::remove(folder_.File("t.dbt"));
  MakeTable("t.dbf", definitions);
  TDbf dbf;
  dbf.SetTableName(path);
  dbf.Open();
  EXPECT_EQ(dbf.FieldCount(), 2);
}

TEST_F(TableCreateTest, AFailedCreationRemovesOnlyWhatItCreated) {
  // The data file was there before (a table being made anew): it is not this creation's to
  // remove, but the memo file it made is.
  const std::string path = MakePeople({"Ann"});
  std::filesystem::remove(folder_.File("people.dbt"));
  RealCallsAfterwards restore;
  writesBeforeFull = 0;
  SystemCalls().pwrite = &FillingDiskWrite;
  TDbf dbf;
  dbf.SetTableName(path);
  dbf.FieldDefs() = {{"NOTE", TFieldType::ftMemo, 0}};
  EXPECT_THROW(dbf.CreateTableFile(), EStreamError);
  SystemCalls() = RealSystemCalls();
  EXPECT_TRUE(std::filesystem::exists(path));
  EXPECT_FALSE(std::filesystem::exists(folder_.File("people.dbt")));
}

}  // namespace
}  // namespace tavlo::cursortest
