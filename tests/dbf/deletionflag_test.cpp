// One reading of the deletion flag for the cursor, check, pack and repair: a blank is live,
// '*' deleted, any other byte a damaged flag that is read as live, reported by check and
// written as a blank by repair.
#include <gtest/gtest.h>

#include "dbf/fields.h"
#include "dbf/tabledoctor.h"
#include "dbf/tablepack.h"
#include "dbf/tdbf.h"
#include "platform/desktophost.h"
#include "tablefiles_testutil.h"
#include "testsupport.h"

namespace tavlo {
namespace {

using tablefiles_test::DbfImage;
using tablefiles_test::ReadBytes;
using tablefiles_test::WriteBytes;
using testsupport::ScratchFolder;

// Flags blank, '*', NUL, 'X' and 0x1A, as in a table from a hostile-test reproducer.
DbfImage OddFlags() {
  DbfImage image;
  image.fields = {{"NAME", 'C', 3}};
  image.records = {" ann", "*bob", std::string(1, '\0') + "cid", "Xdan",
                   "\x1A"
                   "eve"};
  return image;
}

std::vector<std::string> Names(const std::string& path, bool showDeleted = false) {
  TDbf table;
  table.SetTableName(path);
  table.SetReadOnly(true);
  table.SetShowDeleted(showDeleted);
  table.Open();
  std::vector<std::string> names;
  for (table.First(); !table.AtEnd(); table.Next())
    names.push_back(table.FieldByName("NAME").TextValue() + (table.IsDeleted() ? "*" : ""));
  EXPECT_EQ(table.DeletedCount(), 1);
  table.Close();
  return names;
}

TEST(DeletionFlag, CursorCheckPackAndRepairReadOneRule) {
  ScratchFolder dir;
  const std::string path = dir.File("odd.dbf");
  WriteBytes(path, OddFlags().Bytes());
  const std::string before = ReadBytes(path);

  // The cursor (and so dump and the grid) shows every record but the one marked '*'.
  EXPECT_EQ(Names(path), (std::vector<std::string>{"ann", "cid", "dan", "eve"}));
  EXPECT_EQ(Names(path, true), (std::vector<std::string>{"ann", "bob*", "cid", "dan", "eve"}));

  // Check counts the same and names each damaged flag.
  const TTableReport report = CheckTable(path);
  EXPECT_EQ(report.deleted, 1);
  EXPECT_EQ(report.damagedFlags, 3);
  std::vector<std::string> lines;
  for (const TTableProblem& p : report.problems) lines.push_back(p.place + ": " + p.text);
  EXPECT_EQ(lines,
            (std::vector<std::string>{
                "Record 3: deletion flag 0x00 is neither blank nor '*'; the record is read as live",
                "Record 4: deletion flag 0x58 is neither blank nor '*'; the record is read as live",
                "Record 5: deletion flag 0x1A is neither blank nor '*'; the record is read as "
                "live"}));
  EXPECT_NE(report.Text().find("5 records (1 deleted, 3 with a damaged deletion flag read as "
                               "live); 3 problems found\n"),
            std::string::npos)
      << report.Text();
  EXPECT_EQ(CountDeletedRecords(path), 1);

  // Repair writes blanks, lists each record, and its copy shows the same records.
  const TRepairResult repaired = RepairTable(path, dir.File("fixed.dbf"));
  const std::string text = repaired.Text();
  EXPECT_NE(text.find("Record 3: deletion flag 0x00 set to blank (the record stays live)\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("Record 5: deletion flag 0x1A set to blank (the record stays live)\n"),
            std::string::npos)
      << text;
  EXPECT_TRUE(CheckTable(dir.File("fixed.dbf")).Clean());
  EXPECT_EQ(Names(dir.File("fixed.dbf")), Names(path));
  EXPECT_EQ(ReadBytes(path), before);

  // Pack removes only the '*' record and keeps the others whatever their flag.
  const TPackResult packed = PackTable(path);
  EXPECT_EQ(packed.kept, 4);
  EXPECT_EQ(packed.removed, 1);
  TDbf table;
  table.SetTableName(path);
  table.SetReadOnly(true);
  table.Open();
  std::vector<std::string> names;
  for (table.First(); !table.AtEnd(); table.Next())
    names.push_back(table.FieldByName("NAME").TextValue());
  EXPECT_EQ(names, (std::vector<std::string>{"ann", "cid", "dan", "eve"}));
  table.Close();
}

TEST(DeletionFlag, EditingOrDeletingADamagedRecordWritesAProperFlag) {
  ScratchFolder dir;
  const std::string path = dir.File("odd.dbf");
  WriteBytes(path, OddFlags().Bytes());
  const std::size_t first = 32 + 32 + 1;  // header, one descriptor, terminator
  TDbf table;
  table.SetTableName(path);
  table.Open();
  table.First();
  table.Next();  // cid, flag NUL
  ASSERT_EQ(table.FieldByName("NAME").TextValue(), "cid");
  table.Edit();
  table.FieldByName("NAME").SetTextValue("Cid");
  table.Post();
  table.Next();  // dan, flag 'X'
  ASSERT_EQ(table.FieldByName("NAME").TextValue(), "dan");
  table.Delete();
  table.Close();
  const std::string bytes = ReadBytes(path);
  EXPECT_EQ(bytes[first + 2 * 4], ' ');
  EXPECT_EQ(bytes.substr(first + 2 * 4 + 1, 3), "Cid");
  EXPECT_EQ(bytes[first + 3 * 4], '*');
  EXPECT_EQ(bytes[first + 4 * 4], '\x1A');  // eve untouched
}

}  // namespace
}  // namespace tavlo
