// The cursor in the order of an index tag: the walk of every corpus tag with its table, a
// descending MDX tag, FOR tags, the lazy walk from both ends, a damaged tag, and edits while
// ordered (the index is never written).
#include <algorithm>
#include <cctype>
#include <filesystem>

#include "cursor_fixture.h"
#include "dbf/indexreader.h"
#include "dbf/tableindexes.h"
#include "dbf/tagorder.h"
#include "index_testutil.h"

namespace tavlo::cursortest {
namespace {

namespace fs = std::filesystem;
using indextest::CorpusPath;
using indextest::IndexesWithTables;

// The records (0-based) the cursor meets from First to the end, and from Last back.
std::vector<std::int32_t> WalkRecords(TDbf& dbf) {
  std::vector<std::int32_t> records;
  for (dbf.First(); !dbf.AtEnd(); dbf.Next()) records.push_back(dbf.RecordNumber() - 1);
  return records;
}

std::vector<std::int32_t> WalkBack(TDbf& dbf) {
  std::vector<std::int32_t> records;
  for (dbf.Last(); !dbf.AtStart(); dbf.Prior()) records.push_back(dbf.RecordNumber() - 1);
  std::reverse(records.begin(), records.end());
  return records;
}

// The records of tag as its index walk gives them (reversed for the descending tags a file
// keeps ascending), leaving out those the table lacks and, unless shown, deleted ones.
std::vector<std::int32_t> IndexWalk(const TIndexReader& reader, int tag,
                                    const indextest::TableRows& rows, bool showDeleted) {
  std::vector<std::int32_t> records;
  TIndexCursor cursor = reader.Cursor(tag);
  for (bool more = cursor.First(); more; more = cursor.Next()) {
    const std::int32_t record = static_cast<std::int32_t>(cursor.Record()) - 1;
    if (record < 0 || record >= static_cast<std::int32_t>(rows.bytes.size())) continue;
    if (showDeleted || !rows.deleted[static_cast<std::size_t>(record)]) records.push_back(record);
  }
  if (reader.Tag(tag).descending && reader.Info().format != TIndexFormat::Mdx) {
    std::reverse(records.begin(), records.end());
  }
  return records;
}

class CursorTagOrderTest : public CursorTest {};

TEST_F(CursorTagOrderTest, EveryCorpusTagOrdersItsTableAsTheIndexWalkBothWays) {
  int tags = 0;
  // Opened as a table opens its indexes (no walk, counts unknown) and walked on opening.
  for (const auto& [index, table] : IndexesWithTables()) {
    for (const TIndexOpenOptions& options : {TableIndexOpenOptions(), TIndexOpenOptions()}) {
      const auto reader = OpenIndexFile(index, options);
      const indextest::TableRows rows = indextest::ReadTable(table);
      TDbf dbf;
      dbf.SetTableName(table);
      dbf.SetReadOnly(true);
      dbf.Open();
      for (int t = 0; t < reader->TagCount(); ++t) {
        if (!reader->Tag(t).readable) continue;
        SCOPED_TRACE(index + " " + reader->Tag(t).name);
        for (bool showDeleted : {false, true}) {
          dbf.SetShowDeleted(showDeleted);
          dbf.SetTagOrder(*reader, t);
          EXPECT_EQ(dbf.OrderTagName(), reader->Tag(t).name);
          const std::vector<std::int32_t> want = IndexWalk(*reader, t, rows, showDeleted);
          EXPECT_EQ(WalkRecords(dbf), want);
          EXPECT_EQ(WalkBack(dbf), want);
        }
        ++tags;
      }
      dbf.SetOrder({});
      EXPECT_EQ(dbf.OrderTagName(), "");
    }
  }
  EXPECT_GE(tags, 120);
}

TEST_F(CursorTagOrderTest, DescendingAndForTagsShowWhatTheTagSays) {
  // GROWTHDESC keeps its greatest key first: the cursor meets PROJ_GRTH falling.
  const auto master = OpenIndexFile(CorpusPath("Group-336.2/master.mdx"));
  TDbf dbf;
  dbf.SetTableName(CorpusPath("Group-336.2/master.dbf"));
  dbf.SetReadOnly(true);
  dbf.Open();
  int desc = -1;
  for (int t = 0; t < master->TagCount(); ++t)
    desc = master->Tag(t).name == "GROWTHDESC" ? t : desc;
  ASSERT_GE(desc, 0);
  dbf.SetTagOrder(*master, desc);
  std::vector<double> growth;
  for (dbf.First(); !dbf.AtEnd(); dbf.Next())
    growth.push_back(dbf.LookupField("PROJ_GRTH").VariantValue().ToReal());
  EXPECT_EQ(growth.size(), 110u);
  EXPECT_TRUE(std::is_sorted(growth.rbegin(), growth.rend()));
  EXPECT_GT(growth.front(), growth.back());
  dbf.Close();

  // A FOR tag shows only the records it holds: AUDIO holds the 13 rooms with that facility.
  const auto rooms = OpenIndexFile(CorpusPath("DBD-XBase/rooms.cdx"));
  dbf.SetTableName(CorpusPath("DBD-XBase/rooms.dbf"));
  dbf.Open();
  dbf.SetTagOrder(*rooms, 0);
  ASSERT_EQ(dbf.OrderTagName(), "AUDIO");
  std::vector<std::string> names;
  for (dbf.First(); !dbf.AtEnd(); dbf.Next()) {
    EXPECT_EQ(indextest::UpperText(dbf.LookupField("FACILITY").TextValue()), "AUDIO");
    names.push_back(dbf.LookupField("ROOMNAME").TextValue());
  }
  EXPECT_EQ(names.size(), 13u);
  EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
  EXPECT_EQ(dbf.PositionCount(), dbf.RecordCount());  // the rest are holes
  // A record the tag leaves out has no position.
  dbf.SetOrder({});
  for (dbf.First(); indextest::UpperText(dbf.LookupField("FACILITY").TextValue()) == "AUDIO";
       dbf.Next()) {
  }
  const std::int32_t outside = dbf.RecordNumber() - 1;
  dbf.SetTagOrder(*rooms, 0);
  EXPECT_EQ(dbf.PositionOf(outside), -1);
}

TEST_F(CursorTagOrderTest, PositionsNearEitherEndNeedNoWalkOfTheWholeTag) {
  // 10,000 entries (TEST10K.CDX AGE); its table is not in the copy, so the order alone.
  const auto reader = OpenIndexFile(CorpusPath("XSharpPublic/TEST10K.CDX"));
  std::vector<std::int32_t> walk;
  TIndexCursor cursor = reader->Cursor(0);
  for (bool more = cursor.First(); more; more = cursor.Next()) {
    walk.push_back(static_cast<std::int32_t>(cursor.Record()) - 1);
  }
  ASSERT_EQ(walk.size(), 10000u);
  const auto unwalked =
      OpenIndexFile(CorpusPath("XSharpPublic/TEST10K.CDX"), TableIndexOpenOptions());
  TTagOrder order;
  order.Set(*unwalked, 0, 10000);
  EXPECT_EQ(order.RecordAt(0), walk.front());
  EXPECT_EQ(order.RecordAt(9999), walk.back());
  EXPECT_EQ(order.RecordAt(9990), walk[9990]);
  EXPECT_EQ(order.PositionOf(walk[9995]), 9995);
  EXPECT_LT(order.Walked(), 100);
  // A record not met yet is found by walking on; then every position and record agree.
  EXPECT_EQ(order.PositionOf(walk[5000]), 5000);
  for (std::int32_t p = 0; p < 10000; p += 7) {
    ASSERT_EQ(order.RecordAt(p), walk[static_cast<std::size_t>(p)]) << p;
    ASSERT_EQ(order.PositionOf(walk[static_cast<std::size_t>(p)]), p) << p;
  }
  // Records appended since follow the entries; an entry naming a record beyond a shorter
  // table is a hole.
  EXPECT_EQ(order.Size(10002), 10002);
  EXPECT_EQ(order.RecordAt(10001), 10001);
  EXPECT_EQ(order.PositionOf(10000), 10000);
  order.Set(*reader, 0, 5000);
  EXPECT_EQ(order.RecordAt(0), walk[0] < 5000 ? walk[0] : -1);
  // Without the count, more entries than slots are found out on the way and laid out anew,
  // the records the table lacks left out.
  order.Set(*unwalked, 0, 5000);
  std::vector<std::int32_t> shown, want;
  for (std::int32_t p = 0; p < order.Size(5000); ++p) order.RecordAt(p);
  EXPECT_EQ(order.Relayouts(), 1u);
  for (std::int32_t p = 0; p < order.Size(5000); ++p) {
    if (order.RecordAt(p) >= 0) shown.push_back(order.RecordAt(p));
  }
  std::copy_if(walk.begin(), walk.end(), std::back_inserter(want),
               [](std::int32_t r) { return r < 5000; });
  EXPECT_EQ(shown, want);

  // The CITY tag is in a collation's order, which the opening walk reports as damage.
  const TIndexTag& city = reader->Tag(1);
  ASSERT_FALSE(city.readable);
  EXPECT_THROW_MSG(order.Set(*reader, 1, 10000), EIndexDamage, "tag CITY: " + city.damage);
  EXPECT_TRUE(order.Active());  // the order set before is kept
}

TEST_F(CursorTagOrderTest, EditsKeepTheIndexOrderAndAppendedRecordsFollowIt) {
  for (const char* name : {"rooms.dbf", "rooms.cdx"}) {
    fs::copy_file(CorpusPath(std::string("DBD-XBase/") + name), folder_.File(name));
  }
  const auto rooms = OpenIndexFile(folder_.File("rooms.cdx"));
  int roomname = -1;
  for (int t = 0; t < rooms->TagCount(); ++t)
    roomname = rooms->Tag(t).name == "ROOMNAME" ? t : roomname;
  TDbf dbf;
  dbf.SetTableName(folder_.File("rooms.dbf"));
  dbf.Open();
  dbf.SetTagOrder(*rooms, roomname);
  const std::vector<std::int32_t> before = WalkRecords(dbf);
  // Rename the first room to sort last: it stays first, where the index has it.
  dbf.First();
  const std::int32_t first = dbf.RecordNumber() - 1;
  dbf.Edit();
  dbf.LookupField("ROOMNAME").SetTextValue("ZZZ");
  dbf.Post();
  EXPECT_EQ(dbf.RecordNumber() - 1, first);
  EXPECT_EQ(WalkRecords(dbf), before);
  // An inserted record follows the tag's entries, and the cursor stays on it.
  dbf.Insert();
  dbf.LookupField("ROOMNAME").SetTextValue("AAA");
  dbf.Post();
  const std::int32_t added = dbf.RecordNumber() - 1;
  std::vector<std::int32_t> after = before;
  after.push_back(added);
  EXPECT_EQ(WalkRecords(dbf), after);
  EXPECT_EQ(WalkBack(dbf), after);
  // Deleted records hide and the filter applies as in any order.
  dbf.First();
  dbf.Delete();
  dbf.OnFilterRecord = [](TDbf& table, bool& accept) {
    accept = table.LookupField("ROOMNAME").TextValue() != "AAA";
  };
  dbf.SetFiltered(true);
  std::vector<std::int32_t> shown(after.begin() + 1, after.end() - 1);
  EXPECT_EQ(WalkRecords(dbf), shown);
  EXPECT_EQ(WalkBack(dbf), shown);
}

}  // namespace
}  // namespace tavlo::cursortest
