// TTagOrder: the cursor's order by one tag of an index file, walked from the index itself so
// that positions near either end are known after reading a few pages, at any table size. It
// keeps the records met from the front and from the back (4 bytes each) and walks on only as
// far as a position asked for; the rest of the tag is never read unless asked for. It never
// writes the index file and knows nothing of deleted records or filters: the cursor applies
// those.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dbf/indexreader.h"

namespace tavlo {

class TTagOrder {
 public:
  // Orders by tag of reader (which must outlive the order) over a table of recordCount
  // records. The walk goes the way the tag shows its keys: the file's order, reversed for
  // the descending CDX and NTX tags, which keep their keys ascending. Raises EIndexDamage
  // with the tag's reason when the tag is damaged.
  void Set(const TIndexReader& reader, int tag, std::int32_t recordCount);
  void Clear();
  bool Active() const { return reader_ != nullptr; }
  const std::string& TagName() const { return name_; }

  // Positions: the tag's entries in its order, then the records appended to the table since
  // the order was set (the index does not hold them yet) in physical order.
  std::int32_t Size(std::int32_t recordCount) const {
    return entries_ + std::max<std::int32_t>(recordCount - base_, 0);
  }
  // The record index at position, or -1 for an entry naming a record the table does not
  // have (a stale index), which the cursor passes over.
  std::int32_t RecordAt(std::int32_t position);
  // The position of record (trying hint first), or -1 when the tag leaves it out (a FOR
  // clause) or the entry is a hole. A record not met yet is looked for by walking the rest
  // of the tag.
  std::int32_t PositionOf(std::int32_t record, std::int32_t hint = -1);
  // How many entries the walks have met so far (for the benchmarks).
  std::int64_t Walked() const { return static_cast<std::int64_t>(front_.size() + back_.size()); }

 private:
  std::int32_t Next(TIndexCursor& cursor, bool& started, bool backward);
  void GrowFront(std::int32_t until);
  void GrowBack(std::int32_t until);
  void Complete();
  void KeepPositions();
  void Learn(std::int32_t record, std::int32_t position);

  const TIndexReader* reader_ = nullptr;
  int tag_ = 0;
  std::string name_;
  bool reversed_ = false;
  std::int32_t entries_ = 0;
  std::int32_t base_ = 0;  // the table's records when the order was set
  std::unique_ptr<TIndexCursor> frontCursor_, backCursor_;
  bool frontStarted_ = false, backStarted_ = false;
  std::vector<std::int32_t> front_;  // positions 0, 1, ...
  std::vector<std::int32_t> back_;   // positions entries_ - 1, entries_ - 2, ...
  // Record -> position, kept once the walks have met many records (before that the walked
  // records are searched).
  std::vector<std::int32_t> positions_;
};

}  // namespace tavlo
