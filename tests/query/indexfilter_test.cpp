// The record filter finding its records through index tags: on every corpus table with its
// index files, each equality and range on a tag's field counts what the scan counts; the
// candidates are few, take in the records this cursor rewrote, and a damaged tag falls back
// to the scan.
#include <gtest/gtest.h>

#include <filesystem>

#include "dbf/cursor_fixture.h"
#include "dbf/index_testutil.h"
#include "dbf/keyencode.h"
#include "dbf/recordcandidates.h"
#include "query/recordfilter.h"
#include "words/library.h"

namespace tavlo {
namespace {

namespace fs = std::filesystem;
using cursortest::CursorTest;
using indextest::CorpusPath;

class IndexFilterTest : public CursorTest {
 protected:
  IndexFilterTest() { RegisterLibraryWords(); }

  static std::int64_t Count(TDbf& dbf, TRecordFilter& filter, const std::string& script,
                            bool planning) {
    filter.SetPlanning(planning);
    filter.Filter(dbf.TableName(), script);
    std::int64_t count = 0;
    for (; !dbf.AtEnd(); dbf.Next()) ++count;
    return count;
  }

  // The table and its index copied into the scratch folder.
  std::string CopyOf(const std::string& table, const std::string& index) {
    fs::copy_file(CorpusPath(index), folder_.File(fs::path(index).filename().string()));
    const std::string path = folder_.File(fs::path(table).filename().string());
    fs::copy_file(CorpusPath(table), path);
    return path;
  }
};

// Written before their tables last changed: a filter by them would trust stale keys.
bool Stale(const std::string& index) {
  for (const char* stale : {"issue115.cdx", "CUSTNAME.NTX", "CUSTNUM.NTX"}) {
    if (fs::path(index).filename() == stale) return true;
  }
  return false;
}

TEST_F(IndexFilterTest, EveryUsableCorpusTagCountsWhatTheScanCounts) {
  int checked = 0, byTag = 0;
  for (const auto& [index, table] : indextest::IndexesWithTables()) {
    if (Stale(index)) continue;
    SCOPED_TRACE(index);
    TDbf dbf;
    dbf.SetTableName(table);
    dbf.SetReadOnly(true);
    dbf.SetIndexFiles({index});
    dbf.Open();
    TqelScript script;
    TRecordFilter filter(dbf, script);
    for (const TAttachedTag& tag : dbf.Indexes().Tags()) {
      bool upper = false;
      const int field = tag.key != nullptr ? tag.key->KeyExpression().SingleField(upper) : -1;
      if (!tag.understood || field < 0 || tag.key->Encoding().kind != TKeyKind::Character) {
        continue;
      }
      const std::string name = dbf.DbfFile()->FieldList()[static_cast<std::size_t>(field)].name;
      // Values spread over the table, and one no record holds.
      std::vector<std::string> values{"zz no such value"};
      const std::int32_t step = std::max<std::int32_t>(dbf.RecordCount() / 4, 1);
      std::int32_t met = 0;
      for (dbf.First(); !dbf.AtEnd(); dbf.Next()) {
        if (met++ % step != 0) continue;
        const std::string value = dbf.FindField(name)->TextValue();
        if (!value.empty() && value.find('\'') == std::string::npos) values.push_back(value);
      }
      for (const std::string& value : values) {
        for (const char* op : {"=", "<", ">="}) {
          const std::string text = ">" + name + ".get '" + value + "' " + op;
          SCOPED_TRACE(text);
          const std::int64_t planned = Count(dbf, filter, text, true);
          byTag += !filter.IndexTagsUsed().empty();
          EXPECT_EQ(planned, Count(dbf, filter, text, false));
          ++checked;
        }
      }
    }
    dbf.Close();
  }
  EXPECT_GT(checked, 100);
  EXPECT_GT(byTag, checked / 3);
}

TEST_F(IndexFilterTest, AnEqualityReadsOnlyItsKeysAndTakesInRewrittenRecords) {
  TDbf dbf;
  dbf.SetTableName(CopyOf("VFPX-Samples/customers.dbf", "VFPX-Samples/customers.cdx"));
  dbf.Open();
  TqelScript script;
  TRecordFilter filter(dbf, script);
  const std::string london = ">CITY.get 'London' =";
  EXPECT_EQ(Count(dbf, filter, london, true), 6);
  EXPECT_EQ(filter.IndexTagsUsed(), std::vector<std::string>{"CITY"});
  ASSERT_NE(dbf.FilterCandidates(), nullptr);
  EXPECT_EQ(dbf.FilterCandidates()->Count(), 6);  // UPPER(city): no other case in the table

  // The tag holds keys in capitals; the filter compares the case as written.
  EXPECT_EQ(Count(dbf, filter, ">CITY.get 'LONDON' =", true), 0);
  // Both sides by tags; one side that cannot use one leaves the scan to decide.
  EXPECT_EQ(Count(dbf, filter, london + " >CUSTOMERID.get 'ALFKI' = or", true), 7);
  EXPECT_EQ(filter.IndexTagsUsed().size(), 2u);
  EXPECT_EQ(Count(dbf, filter, london + " >CONTACTNAM.get 'Ann Devon' = or", true), 6);
  EXPECT_TRUE(filter.IndexTagsUsed().empty());
  EXPECT_EQ(Count(dbf, filter, london + " >CONTACTNAM.get 'Ann Devon' = and", true), 1);
  EXPECT_EQ(filter.IndexTagsUsed(), std::vector<std::string>{"CITY"});

  // The index is not rewritten: a record moved to London here is found all the same, in
  // this filter and in the next.
  filter.ShowAll();
  dbf.First();  // ALFKI, Berlin
  dbf.Edit();
  dbf.FindField("CITY")->SetTextValue("London");
  dbf.Post();
  EXPECT_EQ(Count(dbf, filter, london, true), 7);
  EXPECT_EQ(Count(dbf, filter, london, false), 7);
  dbf.Close();
}

TEST_F(IndexFilterTest, ADamagedTagLeavesTheFilterToTheScan) {
  const std::string table = CopyOf("VFPX-Samples/customers.dbf", "VFPX-Samples/customers.cdx");
  // Every page after the tag directory cut off: the headers read, the trees do not.
  fs::resize_file(folder_.File("customers.cdx"), 2048);
  TDbf dbf;
  dbf.SetTableName(table);
  dbf.SetReadOnly(true);
  dbf.Open();
  TqelScript script;
  TRecordFilter filter(dbf, script);
  EXPECT_EQ(Count(dbf, filter, ">CITY.get 'London' =", true), 6);
  EXPECT_TRUE(filter.IndexTagsUsed().empty());
}

TEST(RecordCandidatesTest, JumpsBetweenCandidatesBothWaysAndPassesRecordsBeyondItsCover) {
  TRecordCandidates set(200);
  for (std::int32_t record : {0, 63, 64, 130}) set.Add(record);
  EXPECT_EQ(set.Count(), 4);
  EXPECT_EQ(set.NextFrom(0, 300), 0);
  EXPECT_EQ(set.NextFrom(1, 300), 63);
  EXPECT_EQ(set.NextFrom(65, 300), 130);
  EXPECT_EQ(set.NextFrom(131, 300), 200);  // appended since: every one a candidate
  EXPECT_EQ(set.NextFrom(65, 100), 100);
  EXPECT_EQ(set.PrevFrom(129), 64);
  EXPECT_EQ(set.PrevFrom(63), 63);
  EXPECT_EQ(set.PrevFrom(62), 0);
  EXPECT_EQ(set.PrevFrom(250), 250);
  TRecordCandidates other(200);
  other.Add(64);
  other.Add(199);
  TRecordCandidates both = set;
  both.Intersect(other);
  EXPECT_EQ(both.Count(), 1);
  set.Unite(other);
  EXPECT_EQ(set.Count(), 5);
  EXPECT_TRUE(set.Holds(199) && set.Holds(500) && !set.Holds(198) && !set.Holds(-1));
}

}  // namespace
}  // namespace tavlo
