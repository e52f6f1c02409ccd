// The table check over real index files: sound ones are clean, the corpus files known to be
// stale are reported stale with their first difference, and copies changed byte by byte (a
// key field edited, a record appended, the index damaged) give the lines that name the change.
#include <gtest/gtest.h>

#include <algorithm>

#include "dbf/tabledoctor.h"
#include "index_testutil.h"
#include "tablefiles_testutil.h"

namespace tavlo {
namespace {

using indextest::CorpusPath;
using tablefiles_test::ReadBytes;
using tablefiles_test::WriteBytes;
using testsupport::ScratchFolder;

std::vector<std::string> Lines(const TTableReport& report) {
  std::vector<std::string> lines;
  for (const TTableProblem& problem : report.problems)
    lines.push_back(problem.place + ": " + problem.text);
  return lines;
}

bool Has(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

unsigned Get16(const std::string& bytes, std::size_t at) {
  return static_cast<unsigned char>(bytes[at]) | static_cast<unsigned char>(bytes[at + 1]) << 8;
}

// The byte offset of field name inside a record of a dBase table's bytes.
std::size_t FieldOffset(const std::string& table, const std::string& name) {
  std::size_t offset = 1;
  for (std::size_t d = 32; d + 32 <= table.size() && table[d] != '\x0D'; d += 32) {
    if (table.compare(d, name.size(), name) == 0 && table[d + name.size()] == '\0') return offset;
    offset += static_cast<unsigned char>(table[d + 16]);
  }
  ADD_FAILURE() << "no field " << name;
  return 0;
}

// holdings.dbf and its production index copied into folder; the table's bytes returned.
std::string CopyHoldings(const ScratchFolder& folder) {
  const std::string table = ReadBytes(CorpusPath("Group-336.2/holdings.dbf"));
  WriteBytes(folder.File("holdings.dbf"), table);
  WriteBytes(folder.File("holdings.mdx"), ReadBytes(CorpusPath("Group-336.2/holdings.mdx")));
  return table;
}

// table's bytes with a copy of its last record (its field name set to value) appended.
std::string Appended(const std::string& table, const std::string& field, const std::string& value) {
  const std::size_t header = Get16(table, 8), size = Get16(table, 10), count = Get16(table, 4);
  std::string record = table.substr(header + (count - 1) * size, size);
  record.replace(FieldOffset(table, field), value.size(), value);
  std::string appended = table;
  appended.insert(header + count * size, record);
  appended[4] = static_cast<char>(count + 1);
  return appended;
}

TEST(IndexKeyCheck, SoundCdxAndMdxIndexesAreClean) {
  for (const char* table : {"VFPX-Samples/customers.dbf", "Group-336.2/holdings.dbf",
                            "go-dbase/employees.dbf", "DBD-XBase/ndx-num.dbf"}) {
    SCOPED_TRACE(table);
    std::vector<std::string> indexFiles;
    if (std::string(table).find("ndx-num") != std::string::npos)
      indexFiles.push_back(CorpusPath("DBD-XBase/ndx-num.ndx"));
    const TTableReport report = CheckTable(CorpusPath(table), indexFiles);
    EXPECT_TRUE(report.Clean()) << report.Text();
    for (const TTableProblem& note : report.notes)
      EXPECT_EQ(note.place.rfind("Index", 0), std::string::npos) << note.text;
  }
}

TEST(IndexKeyCheck, StaleCorpusFilesAreReportedWithTheirFirstDifference) {
  const std::vector<std::string> issue115 = Lines(CheckTable(CorpusPath("php-xbase/issue115.dbf")));
  EXPECT_TRUE(Has(issue115,
                  "Index issue115.cdx, tag COD: the index is stale: it does not match the table "
                  "(8 differences)"));
  EXPECT_TRUE(Has(issue115, "Index issue115.cdx, tag COD: record 2 with key '0002' is missing"));
  EXPECT_TRUE(Has(issue115, "Index issue115.cdx, tag DENUMIRE: 8 records missing"));

  const TTableReport customer =
      CheckTable(CorpusPath("XSharpPublic/customer.dbf"),
                 {CorpusPath("XSharpPublic/CUSTNAME.NTX"), CorpusPath("XSharpPublic/CUSTNUM.NTX")});
  const std::vector<std::string> lines = Lines(customer);
  ASSERT_GE(lines.size(), 2u) << customer.Text();
  EXPECT_EQ(lines[0],
            "Index CUSTNAME.NTX, tag CUSTNAME: the index is stale: it does not match the table "
            "(3 differences)");
  EXPECT_EQ(lines[1],
            "Index CUSTNAME.NTX, tag CUSTNAME: record 2 has key 'Borne     Maria', the index has "
            "'Byrne     Maria'");
  EXPECT_TRUE(Has(lines, "Index CUSTNAME.NTX, tag CUSTNAME: 3 records have another key"));
  EXPECT_TRUE(Has(lines,
                  "Index CUSTNUM.NTX, tag CUSTNUM: record 1 has key '00002', the index "
                  "has '00001'"));
  EXPECT_TRUE(Has(lines, "Index CUSTNUM.NTX, tag CUSTNUM: 1 record has another key"));
}

TEST(IndexKeyCheck, AnEditedKeyAndAnAppendedRecordAreNamed) {
  ScratchFolder folder;
  std::string table = CopyHoldings(folder);
  const std::size_t header = Get16(table, 8), size = Get16(table, 10);
  // Record 3 holds HHOP; as HHPO its entry is out of date.
  const std::size_t symbol = header + 2 * size + FieldOffset(table, "SYMBOL");
  ASSERT_EQ(table.substr(symbol, 4), "HHOP");
  std::string edited = table;
  edited.replace(symbol, 4, "HHPO");
  WriteBytes(folder.File("holdings.dbf"), edited);
  std::vector<std::string> lines = Lines(CheckTable(folder.File("holdings.dbf")));
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "Index holdings.mdx, tag SYMBOL: the index is stale: it does not match "
                       "the table (1 difference)",
                       "Index holdings.mdx, tag SYMBOL: record 3 has key 'HHPO', the index has "
                       "'HHOP'",
                       "Index holdings.mdx, tag SYMBOL: 1 record has another key"}));

  // A copy of the last record appended, deleted: deleted records are indexed too.
  std::string appended = Appended(table, "SYMBOL", "");
  appended[header + Get16(table, 4) * size] = '*';
  WriteBytes(folder.File("holdings.dbf"), appended);
  lines = Lines(CheckTable(folder.File("holdings.dbf")));
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[0],
            "Index holdings.mdx, tag SYMBOL: the index is stale: it does not match the table "
            "(1 difference)");
  EXPECT_EQ(lines[1].rfind("Index holdings.mdx, tag SYMBOL: record 41 with key '", 0), 0u);
  EXPECT_EQ(lines[2], "Index holdings.mdx, tag SYMBOL: 1 record missing");
  EXPECT_EQ(lines[5], "Index holdings.mdx, tag ACCT_NBR: 1 record missing");
}

TEST(IndexKeyCheck, AUniqueTagHoldsEachKeyOnce) {
  ScratchFolder folder;
  const std::string table = ReadBytes(CorpusPath("Group-336.2/master.dbf"));
  WriteBytes(folder.File("master.mdx"), ReadBytes(CorpusPath("Group-336.2/master.mdx")));
  const std::string count = std::to_string(Get16(table, 4) + 1);
  // The copy's SYMBOL is held by the record it was copied from: only the other tags lack it.
  WriteBytes(folder.File("master.dbf"), Appended(table, "SYMBOL", ""));
  std::vector<std::string> lines = Lines(CheckTable(folder.File("master.dbf")));
  EXPECT_TRUE(Has(lines, "Index master.mdx, tag GROWTHASC: 1 record missing"));
  EXPECT_TRUE(Has(lines, "Index master.mdx, tag GROWTHDESC: 1 record missing"));
  for (const std::string& line : lines) EXPECT_EQ(line.find("tag SYMBOL"), std::string::npos);
  // A new SYMBOL is missing from the unique tag too.
  WriteBytes(folder.File("master.dbf"), Appended(table, "SYMBOL", "ZZZZZZZ"));
  lines = Lines(CheckTable(folder.File("master.dbf")));
  EXPECT_TRUE(Has(
      lines, "Index master.mdx, tag SYMBOL: record " + count + " with key 'ZZZZZZZ' is missing"))
      << ::testing::PrintToString(lines);
}

TEST(IndexKeyCheck, ADamagedIndexIsReportedNeverFollowed) {
  ScratchFolder folder;
  CopyHoldings(folder);
  const std::string index = ReadBytes(CorpusPath("Group-336.2/holdings.mdx"));
  // Every page after the headers overwritten in turn: each copy reports damage or a stale
  // tag, never crashes and never passes as clean with its tree gone.
  int reported = 0;
  for (std::size_t page = 1024; page < index.size(); page += 512) {
    std::string damaged = index;
    std::fill(damaged.begin() + static_cast<std::ptrdiff_t>(page),
              damaged.begin() + static_cast<std::ptrdiff_t>(page + 512), '\xFF');
    WriteBytes(folder.File("holdings.mdx"), damaged);
    const TTableReport report = CheckTable(folder.File("holdings.dbf"));
    for (const TTableProblem& problem : report.problems)
      EXPECT_EQ(problem.place.rfind("Index holdings.mdx", 0), 0u) << problem.text;
    if (!report.Clean()) ++reported;
  }
  EXPECT_GE(reported, 2);
  WriteBytes(folder.File("holdings.mdx"), index.substr(0, 700));
  const TTableReport cut = CheckTable(folder.File("holdings.dbf"));
  ASSERT_FALSE(cut.Clean());
  EXPECT_EQ(cut.problems[0].place.rfind("Index holdings.mdx", 0), 0u);
}

}  // namespace
}  // namespace tavlo
