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
       {"Record 1: deletion flag 0x23 is neither blank nor '*'; the record is read as live",
        "Record 1, field AGE: '4x' is not a number",
        "Record 1, field BORN: '20010231' is not a date",
        "Record 2, field OK: 'X' is not a logical value"}},
      {"a line break inside a value stays inside its line",
       [] {
         DbfImage image = People();
         image.records[2] = std::string(" ") + "Cid   " + "1\r2" + "        " + "?";
         return image.Bytes();
       },
       {"Record 3, field AGE: '1\\x0D2' is not a number"}},
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

// What programs other than dBase write and read without harm, as in tables of the real-file
// corpus: each is said as a note, and the table is clean.
TEST(TableDoctor, WhatOtherProgramsWriteIsANoteNotAProblem) {
  const std::vector<DamageCase> cases = {
      {"no end marker (FoxPro, shapefile writers)",
       [] {
         DbfImage image = People();
         image.endMarker = false;
         return image.Bytes();
       },
       {"End of file: no end-of-file marker (0x1A) after the last record"}},
      {"a byte after the end marker (a copy as text)",
       [] { return People().Bytes() + "\n"; },
       {"End of file: 1 bytes after the end-of-file marker"}},
      {"a line feed for the terminator (a copy as text)",
       [] {
         std::string bytes = People().Bytes();
         bytes[32 + 4 * 32] = '\n';
         return bytes;
       },
       {"Header: the field terminator is 0x0A, not 0x0D: the file was probably copied as text, "
        "which may have changed other bytes too"}},
      {"a type of another program (Harbour's binary integer)",
       [] {
         DbfImage image;
         image.fields = {{"ID", 'I', 4}};
         image.records = {std::string(" \x01\0\0\0", 5)};
         return image.Bytes();
       },
       {"Field ID: type 0x49 ('I') is not one this check reads; its contents are not checked"}},
      {"no fields at all (a shapefile without attributes)",
       [] {
         DbfImage image;
         image.records = {" "};
         image.endMarker = false;  // a marker would be a record of one byte
         return image.Bytes();
       },
       {"Header: no fields: the records hold nothing but their deletion flags (Tavlo opens "
        "tables of 1 to 255 fields)",
        "End of file: no end-of-file marker (0x1A) after the last record"}},
      {"decimals on a character field (a spreadsheet's export)",
       [] {
         DbfImage image;
         image.fields = {{"HIGH", 'C', 3, 2}};
         image.records = {" abc"};
         return image.Bytes();
       },
       {"Field HIGH: a character field with decimal count 2, which some programs read as 512 "
        "more bytes of length"}},
      {"numbers as other programs write them: asterisks for none, exponents",
       [] {
         DbfImage image;
         image.fields = {{"N", 'N', 13, 3}, {"F", 'F', 10}};
         image.records = {" 1.166785e+001      1e-3", " *************      ****"};
         return image.Bytes();
       },
       {}},
  };
  for (const DamageCase& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchFolder dir;
    const std::string path = dir.File("t.dbf");
    WriteBytes(path, c.bytes());
    const TTableReport report = CheckTable(path);
    EXPECT_TRUE(report.Clean()) << report.Text();
    std::vector<std::string> notes;
    for (const TTableProblem& note : report.notes) notes.push_back(note.place + ": " + note.text);
    EXPECT_EQ(notes, c.expected) << report.Text();
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

  // The repaired copy clears the bad pointer (kept in the rejects), gives the second record a
  // memo of its own, corrects the memo header and checks clean.
  const TRepairResult result = RepairTable(path, dir.File("fixed.dbf"));
  EXPECT_EQ(result.recordsWritten, 3);
  EXPECT_EQ(result.rejected, 1);
  const TTableReport copy = CheckTable(dir.File("fixed.dbf"));
  EXPECT_TRUE(copy.Clean()) << copy.Text();
  TDbf fixed;
  fixed.SetTableName(dir.File("fixed.dbf"));
  fixed.Open();
  std::vector<std::string> notes;
  for (fixed.First(); !fixed.AtEnd(); fixed.Next())
    notes.push_back(fixed.FieldByName("NOTES").TextValue());
  EXPECT_EQ(notes, (std::vector<std::string>{"first", "first", ""}));
  // Changing one record's memo leaves the other's alone.
  fixed.First();
  fixed.Edit();
  fixed.FieldByName("NOTES").SetTextValue("changed");
  fixed.Post();
  fixed.Next();
  EXPECT_EQ(fixed.FieldByName("NOTES").TextValue(), "first");
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
  EXPECT_EQ(Lines(report),
            (std::vector<std::string>{"Header: record count 3, the file holds 1 whole records"}));
  EXPECT_EQ(report.Text(),
            "Header: record count 3, the file holds 1 whole records\n"
            "Note: Table: a FoxPro table: its records and memo file are not checked field by "
            "field\n"
            "1 records (0 deleted); 1 problem found\n");
  EXPECT_THROW(RepairTable(path, dir.File("out.dbf")), EDatabaseError);
  EXPECT_FALSE(Files().FileExists(dir.File("out.dbf")));
  EXPECT_THROW_MSG(
      PackTable(path), EDatabaseError,
      "Only dBase III and IV tables can be packed; " + path + " is a FoxPro or dBase 7 table");
}

}  // namespace
}  // namespace tavlo

namespace tavlo {
namespace {

// Tables other programs write correctly, shaped as in a hostile-test reproducer: none may be
// reported with a problem, and a note alone leaves the table clean.
TEST(TableDoctor, ValidTablesOfEveryLayoutHaveNoProblems) {
  ScratchFolder dir;
  DbfImage dbase7;  // 48-byte descriptors from offset 68 under 0x04
  dbase7.version = 0x04;
  dbase7.wideDescriptors = true;
  dbase7.fields = {{"NAME", 'C', 10}, {"N", 'I', 4}, {"AUTO", '+', 4}};
  dbase7.records = {" hello     " + std::string("\x80\x00\x00\x01", 4) +
                    std::string("\x80\x00\x00\x01", 4)};
  DbfImage wide;  // 255 fields, the most a table holds: the terminator follows the last one
  for (int i = 0; i < 255; ++i) wide.fields.push_back({"F" + std::to_string(i), 'C', 1});
  wide.records = {" " + std::string(255, 'x')};
  DbfImage fox;
  fox.version = 0x30;
  fox.fields = {{"N", 'I', 4}};
  fox.records = {std::string(" ") + std::string("\x01\x00\x00\x00", 4)};
  const std::vector<std::pair<std::string, DbfImage>> tables = {
      {"dbase7.dbf", dbase7}, {"wide.dbf", wide}, {"fox.dbf", fox}};
  for (const auto& [name, image] : tables) {
    SCOPED_TRACE(name);
    const std::string path = dir.File(name);
    WriteBytes(path, image.Bytes());
    const TTableReport report = CheckTable(path);
    EXPECT_TRUE(report.Clean()) << report.Text();
    EXPECT_EQ(report.records, 1);
  }
  EXPECT_EQ(CheckTable(dir.File("dbase7.dbf")).notes.size(), 1u);
  EXPECT_EQ(CheckTable(dir.File("fox.dbf")).notes.size(), 1u);

  // The 255-field table packs, and its repaired copy checks clean too.
  const TRepairResult repaired = RepairTable(dir.File("wide.dbf"), dir.File("copy.dbf"));
  EXPECT_EQ(repaired.actions, std::vector<std::string>{}) << repaired.Text();
  EXPECT_TRUE(CheckTable(dir.File("copy.dbf")).Clean());
  EXPECT_EQ(PackTable(dir.File("wide.dbf")).kept, 1);
}

}  // namespace
}  // namespace tavlo
