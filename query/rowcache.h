// RowCache: what the data grid knows of a table. It learns the visible records lazily, a
// chunk at a time in physical order, keeping one 4-byte record index per visible record, and
// holds the display texts of a bounded number of recently shown rows. Plain C++, no Qt; the
// grid model only answers the view from it.
#pragma once

#include <cstdint>
#include <list>
#include <string>
#include <unordered_map>
#include <vector>

namespace tavlo {

// The random-access read path the cache walks. Implementations never move the cursor.
// Records are met in the cursor's order: position p holds record RecordAtPosition(p), which
// is p itself in physical order.
class VisibleRecordSource {
 public:
  virtual ~VisibleRecordSource() = default;
  // The positions of the cursor's order: the physical records, deleted and filtered-out ones
  // included (in a tag's order: the tag's entries and the records appended since).
  virtual std::int32_t PhysicalRecordCount() = 0;
  virtual std::int32_t RecordAtPosition(std::int32_t position) { return position; }
  virtual std::int32_t PositionOf(std::int32_t recordIndex) { return recordIndex; }
  // Examines the records at positions from `from` upward and appends the position of every
  // visible one to out, stopping after `wanted` were appended or at the end; returns the
  // position to examine next. A filter failure propagates; nothing is appended for that
  // record.
  virtual std::int32_t ScanVisible(std::int32_t from, int wanted,
                                   std::vector<std::int32_t>& out) = 0;
  // The display texts of the fields of one record, in field order.
  virtual std::vector<std::string> RowTexts(std::int32_t recordIndex) = 0;
};

class RowCache {
 public:
  explicit RowCache(VisibleRecordSource& source, std::size_t maxCachedRows = 1024);

  // Forgets every record and text (table opened or closed, filter switched).
  void Reset();

  int KnownRows() const { return static_cast<int>(records_.size()); }
  // Every physical record has been examined.
  bool Complete() const;
  // Learns up to chunk more visible records; the number learned.
  int FetchMore(int chunk);
  // Learns until row is known or the table ends; false when there is no such row.
  bool EnsureRow(int row, int chunk);
  // Learns until recordIndex has been examined; its row, or -1 when it is not visible.
  int EnsureRecord(std::int32_t recordIndex, int chunk);
  void FetchAll(int chunk);

  std::int32_t RecordAt(int row) const {
    return source_.RecordAtPosition(records_.at(static_cast<std::size_t>(row)));
  }
  // The row of a known record, or -1.
  int RowOf(std::int32_t recordIndex) const;

  // The texts of a known row, decoded on first use and kept while recently used.
  const std::vector<std::string>& Texts(int row);
  std::size_t CachedRows() const { return texts_.size(); }

  // The record's bytes changed: decode it again when next shown.
  void Forget(std::int32_t recordIndex);
  // The record is no longer visible (deleted, or rejected after an edit); its row, or -1.
  int Remove(std::int32_t recordIndex);
  // A record became visible (posted insert, or an undeleted edit); its row, or -1 when it lies
  // beyond what has been examined and will be found by a later fetch.
  int Add(std::int32_t recordIndex);

 private:
  VisibleRecordSource& source_;
  std::size_t maxCachedRows_;
  std::vector<std::int32_t> records_;  // ascending positions of visible records
  std::int32_t scanned_ = 0;           // positions below this one have been examined
  std::list<std::int32_t> recent_;     // most recently used first
  struct Entry {
    std::vector<std::string> texts;
    std::list<std::int32_t>::iterator position;
  };
  std::unordered_map<std::int32_t, Entry> texts_;
};

}  // namespace tavlo
