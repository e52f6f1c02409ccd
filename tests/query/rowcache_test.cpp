// The grid's lazy record list: chunked learning, hidden records, the bounded text cache and
// the updates after post and delete, over a fake table.
#include "query/rowcache.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace tavlo {
namespace {

// Records are visible unless their index is in hidden; counts every read.
class FakeTable : public VisibleRecordSource {
 public:
  std::int32_t count = 0;
  std::vector<bool> hidden;
  int examined = 0;
  int decoded = 0;
  std::int32_t failAt = -1;

  std::int32_t PhysicalRecordCount() override { return count; }
  std::int32_t ScanVisible(std::int32_t from, int wanted, std::vector<std::int32_t>& out) override {
    int added = 0;
    std::int32_t i = from;
    for (; i < count && added < wanted; ++i) {
      ++examined;
      if (i == failAt) throw std::runtime_error("Invalid variant type conversion");
      if (i < static_cast<std::int32_t>(hidden.size()) && hidden[i]) continue;
      out.push_back(i);
      ++added;
    }
    return i;
  }
  std::vector<std::string> RowTexts(std::int32_t recordIndex) override {
    ++decoded;
    return {std::to_string(recordIndex)};
  }
};

TEST(RowCacheTest, LearnsInChunksSkippingHiddenRecords) {
  FakeTable table;
  table.count = 10;
  table.hidden = {true, false, false, true, true, false, false, false, false, true};
  RowCache cache(table);
  EXPECT_EQ(cache.KnownRows(), 0);
  EXPECT_EQ(cache.FetchMore(2), 2);
  EXPECT_EQ(cache.RecordAt(0), 1);
  EXPECT_EQ(cache.RecordAt(1), 2);
  EXPECT_EQ(table.examined, 3);  // nothing beyond the chunk is read
  EXPECT_FALSE(cache.Complete());
  EXPECT_TRUE(cache.EnsureRow(4, 2));
  EXPECT_EQ(cache.RecordAt(4), 7);
  EXPECT_FALSE(cache.EnsureRow(6, 2));
  EXPECT_TRUE(cache.Complete());
  EXPECT_EQ(cache.KnownRows(), 6);
  EXPECT_EQ(cache.RowOf(8), 5);
  EXPECT_EQ(cache.RowOf(9), -1);
  EXPECT_EQ(cache.FetchMore(5), 0);
}

TEST(RowCacheTest, EmptyAndAllHiddenTables) {
  FakeTable empty;
  RowCache none(empty);
  EXPECT_TRUE(none.Complete());
  EXPECT_FALSE(none.EnsureRow(0, 10));

  FakeTable deleted;
  deleted.count = 5;
  deleted.hidden.assign(5, true);
  RowCache cache(deleted);
  cache.FetchAll(2);
  EXPECT_EQ(cache.KnownRows(), 0);
  EXPECT_TRUE(cache.Complete());
}

TEST(RowCacheTest, EnsureRecordStopsOnceTheRecordIsExamined) {
  FakeTable table;
  table.count = 1000;
  table.hidden.assign(1000, false);
  table.hidden[500] = true;
  RowCache cache(table);
  EXPECT_EQ(cache.EnsureRecord(10, 8), 10);
  EXPECT_LT(table.examined, 20);
  EXPECT_EQ(cache.EnsureRecord(500, 8), -1);
  EXPECT_EQ(cache.EnsureRecord(501, 8), 500);
  EXPECT_LT(table.examined, 520);
}

TEST(RowCacheTest, TextCacheIsBoundedAndRecentlyUsedSurvives) {
  FakeTable table;
  table.count = 100;
  RowCache cache(table, 3);
  cache.FetchAll(50);
  EXPECT_EQ(cache.Texts(0)[0], "0");
  cache.Texts(1);
  cache.Texts(2);
  cache.Texts(0);  // 0 is now the most recent; 1 is the oldest
  cache.Texts(3);
  EXPECT_EQ(cache.CachedRows(), 3u);
  EXPECT_EQ(table.decoded, 4);
  cache.Texts(0);
  EXPECT_EQ(table.decoded, 4);
  cache.Texts(1);
  EXPECT_EQ(table.decoded, 5);
  cache.Forget(1);
  EXPECT_EQ(cache.Texts(1)[0], "1");
  EXPECT_EQ(table.decoded, 6);
}

TEST(RowCacheTest, DeletePostAndAppendKeepRowsInOrder) {
  FakeTable table;
  table.count = 5;
  RowCache cache(table);
  cache.FetchAll(10);
  cache.Texts(2);
  EXPECT_EQ(cache.Remove(2), 2);
  EXPECT_EQ(cache.KnownRows(), 4);
  EXPECT_EQ(cache.RecordAt(2), 3);
  EXPECT_EQ(cache.Remove(2), -1);
  EXPECT_EQ(cache.Add(2), 2);  // undeleted by an edit
  EXPECT_EQ(cache.RecordAt(3), 3);
  table.count = 6;  // an insert was posted: physically last
  EXPECT_EQ(cache.Add(5), 5);
  EXPECT_TRUE(cache.Complete());
  EXPECT_EQ(cache.RecordAt(5), 5);
}

TEST(RowCacheTest, AppendBeyondExaminedRecordsIsFoundLater) {
  FakeTable table;
  table.count = 100;
  RowCache cache(table);
  cache.FetchMore(10);
  table.count = 101;
  EXPECT_EQ(cache.Add(100), -1);
  cache.FetchAll(50);
  EXPECT_EQ(cache.KnownRows(), 101);
  EXPECT_EQ(cache.RecordAt(100), 100);
}

TEST(RowCacheTest, FilterFailureKeepsWhatWasLearned) {
  FakeTable table;
  table.count = 10;
  table.failAt = 4;
  RowCache cache(table);
  EXPECT_EQ(cache.FetchMore(3), 3);
  EXPECT_THROW(cache.FetchMore(3), std::runtime_error);
  EXPECT_EQ(cache.KnownRows(), 3);
  EXPECT_FALSE(cache.Complete());
  cache.Reset();
  EXPECT_EQ(cache.KnownRows(), 0);
  EXPECT_EQ(cache.CachedRows(), 0u);
}

}  // namespace
}  // namespace tavlo
