// The table doctor over tables damaged byte by byte: one damage per problem class with the
// report lines it must give, the table's bytes unchanged by a check, and repaired copies that
// the cursor reads back.
#include <gtest/gtest.h>

#include <functional>

#include "dbf/dbferrors.h"
#include "dbf/fields.h"
#include "dbf/tabledoctor.h"
#include "dbf/tablepack.h"
#include "dbf/tdbf.h"
#include "platform/filesystem.h"
#include "tablefiles_testutil.h"
#include "testsupport.h"

namespace tavlo {
namespace {

using tablefiles_test::DbfImage;
using tablefiles_test::ReadBytes;
using tablefiles_test::WriteBytes;
using testsupport::ScratchFolder;

DbfImage People() {
  DbfImage image;
  image.fields = {{"NAME", 'C', 6}, {"AGE", 'N', 3}, {"BORN", 'D', 8}, {"OK", 'L', 1}};
  image.records = {std::string(" ") + "Ann   " + " 41" + "20010203" + "T",
                   std::string(" ") + "Bob   " + " 32" + "19991231" + "F",
                   std::string("*") + "Cid   " + "  5" + "        " + "?"};
  return image;
}

// A level-0 memo file: header block with the next free block, then one block per text.
std::string MemoBytes(const std::vector<std::string>& texts, std::uint32_t nextFree) {
  std::string out(512, '\0');
  for (int i = 0; i < 4; ++i)
    out[static_cast<std::size_t>(i)] = static_cast<char>(nextFree >> (8 * i));
  for (const std::string& text : texts) {
    std::string block = text + "\x1A\x1A";
    block.resize(512, '\0');
    out += block;
  }
  return out;
}

DbfImage WithMemo(const std::string& first, const std::string& second) {
  DbfImage image;
  image.version = 0x83;
  image.fields = {{"NAME", 'C', 4}, {"NOTES", 'M', 10}};
  image.records = {" Ann " + first, " Bob " + second};
  return image;
}

std::vector<std::string> Lines(const TTableReport& report) {
  std::vector<std::string> lines;
  for (const TTableProblem& p : report.problems) lines.push_back(p.place + ": " + p.text);
  return lines;
}

TEST(TableDoctor, CleanTableHasNoProblemsAndKeepsItsBytes) {
  ScratchFolder dir;
  const std::string path = dir.File("people.dbf");
  WriteBytes(path, People().Bytes());
  const std::string before = ReadBytes(path);
  const TTableReport report = CheckTable(path);
  EXPECT_TRUE(report.Clean()) << report.Text();
  EXPECT_EQ(report.records, 3);
  EXPECT_EQ(report.deleted, 1);
  EXPECT_EQ(report.Text(), "3 records (1 deleted); no problems found\n");
  EXPECT_EQ(ReadBytes(path), before);
}

struct DamageCase {
  const char* name;
  std::function<std::string()> bytes;
  std::vector<std::string> expected;
};

TEST(TableDoctor, EachDamageIsReportedWithItsPlace) {
  const std::vector<DamageCase> cases = {
      {"stale record count",
       [] {
         DbfImage image = People();
         image.recordCount = 7;
         return image.Bytes();
       },
       {"Header: record count 7, the file holds 3 whole records"}},
      {"record size against the fields",
       [] {
         DbfImage image = People();
         image.recordSize = 25;
         for (std::string& record : image.records) record.resize(25, ' ');
         return image.Bytes();
       },
       {"Header: record size 25, the fields need 19"}},
      {"no end marker",
       [] {
         DbfImage image = People();
         image.endMarker = false;
         return image.Bytes();
       },
       {"End of file: no end-of-file marker (0x1A) after the last record"}},
      {"cut-off record",
       [] {
         std::string bytes = People().Bytes();
         bytes.pop_back();  // the marker
         return bytes + " Dan  ";
       },
       {"Record 4: cut off: 6 of 19 bytes"}},
      {"no terminator, header size too small",
       [] {
         std::string bytes = People().Bytes();
         const std::size_t terminator = 32 + 4 * 32;
         bytes[terminator] = ' ';  // the terminator is gone; data starts one byte early
         bytes[8] = static_cast<char>(terminator);
         return bytes.substr(0, terminator) + bytes.substr(terminator + 1);
       },
       {"Header: no field terminator (0x0D) after the field descriptors"}},
      {"deletion flag and unparsable fields",
       [] {
         DbfImage image = People();
         image.records[0] = std::string("#") + "Ann   " + " 4x" + "20010231" + "T";
         image.records[1] = std::string(" ") + "Bob   " + "12." + "19991231" + "X";
         return image.Bytes();
       },
       {"Record 1: deletion flag 0x23, not blank or '*'",
        "Record 1, field AGE: '4x' is not a number",
        "Record 1, field BORN: '20010231' is not a date",
        "Record 2, field OK: 'X' is not a logical value"}},
  };
  for (const DamageCase& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchFolder dir;
    const std::string path = dir.File("t.dbf");
    const std::string bytes = c.bytes();
    WriteBytes(path, bytes);
    const TTableReport report = CheckTable(path);
    EXPECT_EQ(Lines(report), c.expected) << report.Text();
    EXPECT_EQ(ReadBytes(path), bytes);
  }
}

TEST(TableDoctor, MemoPointersAndMemoHeader) {
  ScratchFolder dir;
  const std::string path = dir.File("notes.dbf");
  // Records 1 and 2 share block 1; record 3 points past the end.
  DbfImage image = WithMemo("         1", "         1");
  image.records.push_back(std::string(" ") + "Cid " + "        99");
  WriteBytes(path, image.Bytes());
  WriteBytes(dir.File("notes.dbt"), MemoBytes({"first"}, 7));
  const std::string before = ReadBytes(dir.File("notes.dbt"));
  const TTableReport report = CheckTable(path);
  EXPECT_EQ(
      Lines(report),
      (std::vector<std::string>{
          "Memo file: next free block 7, the file's blocks end at 2",
          "Record 2, field NOTES: memo block 1 is also used by record 1",
          "Record 3, field NOTES: memo block 99 lies past the end of the memo file (2 blocks)"}));
  EXPECT_EQ(ReadBytes(dir.File("notes.dbt")), before);

  // The repaired copy clears the bad pointer, corrects the memo header and reads back.
  const TRepairResult result = RepairTable(path, dir.File("fixed.dbf"));
  EXPECT_EQ(result.recordsWritten, 3);
  EXPECT_TRUE(CheckTable(dir.File("fixed.dbf")).problems.size() == 1);  // the shared block stays
  TDbf fixed;
  fixed.SetTableName(dir.File("fixed.dbf"));
  fixed.Open();
  fixed.First();
  EXPECT_EQ(fixed.FieldByName("NOTES").TextValue(), "first");
  fixed.Last();
  EXPECT_EQ(fixed.FieldByName("NOTES").TextValue(), "");
  fixed.Close();
}

TEST(TableDoctor, MissingMemoFileIsAProblem) {
  ScratchFolder dir;
  const std::string path = dir.File("notes.dbf");
  WriteBytes(path, WithMemo("         1", "          ").Bytes());
  EXPECT_EQ(Lines(CheckTable(path)),
            (std::vector<std::string>{"Memo file: missing: " + dir.File("notes.dbt")}));
}

TEST(TableDoctor, RepairWritesACopyTheCursorReadsAndLeavesTheOriginal) {
  ScratchFolder dir;
  const std::string path = dir.File("t.dbf");
  DbfImage image = People();
  image.recordCount = 40;
  image.records[1][0] = '#';
  std::string bytes = image.Bytes();
  bytes.pop_back();
  bytes += " Dan";  // a cut-off record
  WriteBytes(path, bytes);

  const TRepairResult result = RepairTable(path, dir.File("fixed.dbf"));
  EXPECT_EQ(ReadBytes(path), bytes);
  EXPECT_EQ(result.recordsWritten, 3);
  EXPECT_NE(result.Text().find("Header: record count set to 3"), std::string::npos)
      << result.Text();
  EXPECT_TRUE(CheckTable(dir.File("fixed.dbf")).Clean())
      << CheckTable(dir.File("fixed.dbf")).Text();
  TDbf fixed;
  fixed.SetTableName(dir.File("fixed.dbf"));
  fixed.Open();
  std::vector<std::string> names;
  for (fixed.First(); !fixed.AtEnd(); fixed.Next())
    names.push_back(fixed.FieldByName("NAME").TextValue());
  fixed.Close();
  EXPECT_EQ(names, (std::vector<std::string>{"Ann", "Bob"}));

  // The copy never replaces a file.
  EXPECT_THROW_MSG(RepairTable(path, dir.File("fixed.dbf")), EDatabaseError,
                   dir.File("fixed.dbf") + " already exists; the repaired copy must be a new file");
  EXPECT_THROW_MSG(RepairTable(path, path), EDatabaseError,
                   path + " already exists; the repaired copy must be a new file");
}

TEST(TableDoctor, ManyDamagedRecordsAreCountedBeyondTheList) {
  ScratchFolder dir;
  DbfImage image;
  image.fields = {{"N", 'N', 2}};
  for (int i = 0; i < 300; ++i) image.records.push_back(" xx");
  WriteBytes(dir.File("t.dbf"), image.Bytes());
  const TTableReport report = CheckTable(dir.File("t.dbf"));
  EXPECT_EQ(report.problems.size(), static_cast<std::size_t>(TTableReport::kListedRecordProblems));
  EXPECT_EQ(report.unlistedProblems, 100);
  EXPECT_NE(report.Text().find("... and 100 more problems in records\n"), std::string::npos);
}

}  // namespace
}  // namespace tavlo

namespace tavlo {
namespace {

// FoxPro fields and memos have layouts of their own: the doctor says what it checked, and
// neither repair nor pack takes such a table apart.
TEST(TableDoctor, FoxProTablesAreCheckedOnlyForTheirHeader) {
  ScratchFolder dir;
  DbfImage image;
  image.version = 0x30;
  image.fields = {{"N", 'I', 4}};
  image.records = {std::string(" ") + std::string("\x01\x00\x00\x00", 4)};
  image.recordCount = 3;
  const std::string path = dir.File("fox.dbf");
  tablefiles_test::WriteBytes(path, image.Bytes());
  const TTableReport report = CheckTable(path);
  const std::vector<std::string> lines = Lines(report);
  ASSERT_EQ(lines.size(), 2u) << report.Text();
  EXPECT_EQ(lines[0], "Header: record count 3, the file holds 1 whole records");
  EXPECT_EQ(lines[1],
            "Table: a FoxPro or dBase 7 table: its records and memo file are not "
            "checked field by field");
  EXPECT_THROW(RepairTable(path, dir.File("out.dbf")), EDatabaseError);
  EXPECT_FALSE(Files().FileExists(dir.File("out.dbf")));
  EXPECT_THROW_MSG(
      PackTable(path), EDatabaseError,
      "Only dBase III and IV tables can be packed; " + path + " is a FoxPro or dBase 7 table");
}

}  // namespace
}  // namespace tavlo
