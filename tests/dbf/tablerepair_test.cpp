// The repaired copy: values that cannot stay go to the rejects file with their bytes, the
// memo file is made whole (also when it is missing or empty), the copy's names cannot collide,
// and a repair that fails on a full disk leaves nothing, so that a retry works.
#include <gtest/gtest.h>

#include <filesystem>

#include "dbf/dbferrors.h"
#include "dbf/fields.h"
#include "dbf/tabledoctor.h"
#include "dbf/tdbf.h"
#include "platform/filesystem.h"
#include "tablefiles_testutil.h"
#include "testsupport.h"

namespace tavlo {
namespace {

using tablefiles_test::DbfImage;
using tablefiles_test::FullDiskFileSystem;
using tablefiles_test::ReadBytes;
using tablefiles_test::WriteBytes;
using testsupport::ScratchFolder;

// A level-0 memo file: header block with the next free block, then one block per text.
std::string MemoBytes(const std::vector<std::string>& texts) {
  std::string out(512, '\0');
  out[0] = static_cast<char>(1 + texts.size());
  for (const std::string& text : texts) {
    std::string block = text + "\x1A\x1A";
    block.resize(512, '\0');
    out += block;
  }
  return out;
}

DbfImage Notes() {
  DbfImage image;
  image.version = 0x83;
  image.fields = {{"NAME", 'C', 4}, {"NOTES", 'M', 10}};
  image.records = {" Ann          1", " Bob          2", " Cid           "};
  return image;
}

std::vector<std::string> Column(const std::string& path, const std::string& field) {
  TDbf table;
  table.SetTableName(path);
  table.SetReadOnly(true);
  table.Open();
  std::vector<std::string> values;
  for (table.First(); !table.AtEnd(); table.Next())
    values.push_back(table.FieldByName(field).TextValue());
  table.Close();
  return values;
}

TEST(TableRepair, ValuesThatDoNotParseAreBlankedAndKeptInTheRejects) {
  ScratchFolder dir;
  DbfImage image;
  image.fields = {{"NAME", 'C', 4}, {"AGE", 'N', 3}, {"BORN", 'D', 8}, {"OK", 'L', 1}};
  image.records = {std::string(" Ann ") + " 4x" + "20010231" + "T",
                   std::string(" Bob ") + " 32" + std::string(8, '\0') + "X",
                   std::string(" Cid ") + std::string(3, '\0') + "19991231" + "F"};
  const std::string path = dir.File("t.dbf");
  WriteBytes(path, image.Bytes());

  const TRepairResult result = RepairTable(path, dir.File("fixed.dbf"));
  EXPECT_EQ(result.rejected, 3);
  EXPECT_EQ(result.rejectsPath, dir.File("fixed.rejects.csv"));
  EXPECT_EQ(ReadBytes(dir.File("fixed.rejects.csv")),
            "record,field,stored,hex,problem\r\n"
            "1,AGE, 4x,203478,'4x' is not a number\r\n"
            "1,BORN,20010231,3230303130323331,'20010231' is not a date\r\n"
            "2,OK,X,58,'X' is not a logical value\r\n");
  const std::string text = result.Text();
  EXPECT_NE(text.find("Record 1, field AGE: blanked (its bytes are in the rejects)\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("2 values padded with NUL bytes written with spaces\n"), std::string::npos)
      << text;
  EXPECT_NE(text.find("3 values left out of the copy, with their stored bytes: " +
                      dir.File("fixed.rejects.csv") + "\n"),
            std::string::npos)
      << text;

  // The copy is clean: blanks where the rejects were, the good values as they were.
  const TTableReport copy = CheckTable(dir.File("fixed.dbf"));
  EXPECT_TRUE(copy.Clean()) << copy.Text();
  EXPECT_EQ(Column(dir.File("fixed.dbf"), "AGE"), (std::vector<std::string>{"", "32", ""}));
  EXPECT_EQ(Column(dir.File("fixed.dbf"), "OK"), (std::vector<std::string>{"True", "", "False"}));
  const std::string bytes = ReadBytes(dir.File("fixed.dbf"));
  const std::size_t data = 32 + 4 * 32 + 1, size = 17;               // flag, 4 + 3 + 8 + 1
  EXPECT_EQ(bytes.substr(data + size + 8, 8), std::string(8, ' '));  // Bob's NUL date
}

// What Tavlo reads well but other programs misread or refuse (real-file corpus: a
// spreadsheet's decimals on a character field, NUL padding of numbers, a terminator turned
// into a line feed; a type byte of 0, a field of length 0) comes out of the repair in the
// form every program reads, with no byte of data changed.
TEST(TableRepair, TheCopyTakesTheFormEveryProgramReads) {
  ScratchFolder dir;
  DbfImage image;
  image.fields = {{"NAME", 'C', 3, 2}, {"N", 'N', 8, 1}, {"RAW", '\0', 2}, {"NONE", 'C', 0}};
  image.records = {std::string(" abc") + "1234.5" + std::string(2, '\0') + "xy"};
  std::string original = image.Bytes();
  original[32 + 4 * 32] = '\n';
  const std::string path = dir.File("t.dbf");
  WriteBytes(path, original);
  const TRepairResult result = RepairTable(path, dir.File("fixed.dbf"));
  const std::string text = result.Text();
  for (const char* action : {"Field NAME: decimal count set to 0\n",
                             "Field RAW: type 0x00 set to 'C' (its bytes are kept as characters)\n",
                             "Field NONE: of length 0, it holds nothing; left out of the copy\n",
                             "Header: field terminator 0x0A written as 0x0D\n",
                             "1 values padded with NUL bytes written with spaces\n"})
    EXPECT_NE(text.find(action), std::string::npos) << action << text;
  const std::string bytes = ReadBytes(dir.File("fixed.dbf"));
  EXPECT_EQ(bytes[32 + 17], '\0');
  EXPECT_EQ(bytes[32 + 2 * 32 + 11], 'C');
  EXPECT_EQ(bytes.substr(32 + 3 * 32, 15), "\r abc1234.5  xy");
  EXPECT_EQ(result.rejected, 0);
  const TTableReport copy = CheckTable(dir.File("fixed.dbf"));
  EXPECT_TRUE(copy.Clean() && copy.notes.empty()) << copy.Text();
}

// A record size that cuts fields off: what the record holds of each is checked and repaired
// in its place, and the copy's records are whole (found by fuzz_table_doctor).
TEST(TableRepair, FieldsCutOffByTheRecordSizeAreRepairedInTheirPlace) {
  ScratchFolder dir;
  DbfImage image = Notes();
  image.fields.push_back({"QTY", 'N', 3});
  image.recordSize = 1 + 4 + 4;  // NOTES keeps 4 of its 10 bytes, QTY none
  image.records = {std::string(" Ann ") + "   1", std::string(" Bob ") + "   1",
                   std::string(" Cid ") + " 4x "};
  const std::string path = dir.File("t.dbf");
  WriteBytes(path, image.Bytes());
  WriteBytes(dir.File("t.dbt"), MemoBytes({"first"}));
  const TTableReport report = CheckTable(path);
  std::vector<std::string> lines;
  for (const TTableProblem& p : report.problems) lines.push_back(p.place + ": " + p.text);
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "Header: record size 9, the fields need 18",
                       "Record 2, field NOTES: memo block 1 is also used by record 1",
                       "Record 3, field NOTES: '4x' is not a memo block number"}));
  const TRepairResult result = RepairTable(path, dir.File("fixed.dbf"));
  EXPECT_TRUE(CheckTable(dir.File("fixed.dbf")).Clean()) << result.Text();
  EXPECT_EQ(Column(dir.File("fixed.dbf"), "NAME"), (std::vector<std::string>{"Ann", "Bob", "Cid"}));
  EXPECT_EQ(Column(dir.File("fixed.dbf"), "NOTES"),
            (std::vector<std::string>{"first", "first", ""}));
  EXPECT_EQ(Column(dir.File("fixed.dbf"), "QTY"), (std::vector<std::string>{"", "", ""}));
}

TEST(TableRepair, TheCopyHasAWholeMemoFileAlsoWhenTheOriginalIsMissingOrEmpty) {
  for (const char* state : {"missing", "empty"}) {
    SCOPED_TRACE(state);
    ScratchFolder dir;
    const std::string path = dir.File("t.dbf");
    WriteBytes(path, Notes().Bytes());
    if (std::string(state) == "empty") WriteBytes(dir.File("t.dbt"), "");
    const TRepairResult result = RepairTable(path, dir.File("fixed.dbf"));
    EXPECT_EQ(result.memoPath, dir.File("fixed.dbt"));
    const std::string memo = ReadBytes(dir.File("fixed.dbt"));
    ASSERT_EQ(memo.size(), 512u);
    EXPECT_EQ(memo.substr(0, 4), std::string("\x01\x00\x00\x00", 4));
    EXPECT_EQ(memo.substr(20, 2), std::string("\x00\x02", 2));
    const TTableReport copy = CheckTable(dir.File("fixed.dbf"));
    EXPECT_TRUE(copy.Clean()) << copy.Text();
    // The pointers that led nowhere are listed, not dropped.
    const std::string rejects = ReadBytes(dir.File("fixed.rejects.csv"));
    EXPECT_NE(rejects.find("1,NOTES,         1,20202020202020202031,"), std::string::npos)
        << rejects;
    EXPECT_NE(rejects.find("2,NOTES,         2,"), std::string::npos) << rejects;
    EXPECT_EQ(Column(dir.File("fixed.dbf"), "NAME"),
              (std::vector<std::string>{"Ann", "Bob", "Cid"}));
  }
  // The empty memo file is a problem of its own that check names.
  ScratchFolder dir;
  WriteBytes(dir.File("t.dbf"), Notes().Bytes());
  WriteBytes(dir.File("t.dbt"), "");
  const TTableReport report = CheckTable(dir.File("t.dbf"));
  ASSERT_FALSE(report.problems.empty());
  EXPECT_EQ(report.problems[0].place + ": " + report.problems[0].text,
            "Memo file: empty: it has no header block");
}

TEST(TableRepair, TheCopysFilesNeverCollide) {
  ScratchFolder dir;
  const std::string path = dir.File("t.dbf");
  WriteBytes(path, Notes().Bytes());
  WriteBytes(dir.File("t.dbt"), MemoBytes({"one", "two"}));

  // A memo file's name for the copy would make the copy and its memo file one file.
  EXPECT_THROW_MSG(RepairTable(path, dir.File("x.dbt")), EDatabaseError,
                   "The repaired copy " + dir.File("x.dbt") +
                       " must be a .dbf file (its memo file is named after it with .dbt)");
  EXPECT_FALSE(std::filesystem::exists(dir.File("x.dbt")));

  // A name without an extension gets .dbf; an upper-case one gets an upper-case memo file.
  EXPECT_EQ(RepairTable(path, dir.File("plain")).outputPath, dir.File("plain.dbf"));
  EXPECT_TRUE(std::filesystem::exists(dir.File("plain.dbt")));
  EXPECT_EQ(RepairTable(path, dir.File("UP.DBF")).memoPath, dir.File("UP.DBT"));
  EXPECT_EQ(Column(dir.File("UP.DBF"), "NOTES"), (std::vector<std::string>{"one", "two", ""}));

  // Any file of the copy that exists already refuses the repair before anything is written.
  WriteBytes(dir.File("taken.dbt"), "someone's");
  EXPECT_THROW_MSG(RepairTable(path, dir.File("taken.dbf")), EDatabaseError,
                   dir.File("taken.dbt") + " already exists; the repaired copy must be a new file");
  EXPECT_FALSE(std::filesystem::exists(dir.File("taken.dbf")));
  EXPECT_EQ(ReadBytes(dir.File("taken.dbt")), "someone's");
}

TEST(TableRepair, ARepairThatFailsOnAFullDiskLeavesNothingAndARetryWorks) {
  ScratchFolder dir;
  const std::string path = dir.File("t.dbf");
  DbfImage image = Notes();
  image.records[2][0] = 'X';
  image.records.push_back(" Dan        999");  // past the end: a rejects file too
  WriteBytes(path, image.Bytes());
  WriteBytes(dir.File("t.dbt"), MemoBytes({"one", "two"}));
  const std::string output = dir.File("fixed.dbf");
  FullDiskFileSystem full;
  int failures = 0;
  // Budgets from nothing to enough: the disk fills in the memo file, the rejects or the data
  // file.
  for (long budget = 0; budget < 4096; budget += 97) {
    SCOPED_TRACE(budget);
    full.writeBudget = budget;
    bool succeeded = false;
    {
      ScopedFileSystem scoped(full);
      try {
        RepairTable(path, output);
        succeeded = true;
      } catch (const EStreamError&) {
        ++failures;
      }
    }
    if (!succeeded) {
      EXPECT_FALSE(std::filesystem::exists(output));
      EXPECT_FALSE(std::filesystem::exists(dir.File("fixed.dbt")));
      EXPECT_FALSE(std::filesystem::exists(dir.File("fixed.rejects.csv")));
      // Space again: the retry is not refused and gives a clean copy.
      RepairTable(path, output);
    }
    EXPECT_TRUE(CheckTable(output).Clean()) << CheckTable(output).Text();
    EXPECT_EQ(Column(output, "NOTES"), (std::vector<std::string>{"one", "two", "", ""}));
    for (const char* name : {"fixed.dbf", "fixed.dbt", "fixed.rejects.csv"})
      std::filesystem::remove(dir.File(name));
  }
  EXPECT_GT(failures, 3);
}

}  // namespace
}  // namespace tavlo
