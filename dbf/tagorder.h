// TTagOrder: the cursor's order by one tag of an index file, walked from the index itself so
// that positions near either end are known after reading a few pages, at any table size and
// without knowing how many entries the tag holds. Positions are slots, one per record of the
// table: the walk from the front fills them from the first, the walk from the back from the
// last, and once the two walks meet the slots between them are holes (a FOR tag's records
// left out). It keeps 4 bytes per entry met and walks on only as far as a position asked
// for. It never writes the index file and knows nothing of deleted records or filters: the
// cursor applies those.
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
  // the descending tags of CDX, IDX and NTX files, which keep their keys ascending. Raises
  // EIndexDamage ("tag CITY: page 12 is used twice") when the tag's header or the pages
  // of its first and last entries are damaged; damage further inside is raised where a walk
  // meets it.
  void Set(const TIndexReader& reader, int tag, std::int32_t recordCount);
  void Clear();
  bool Active() const { return reader_ != nullptr; }
  const std::string& TagName() const { return name_; }

  // Positions: the slots of the tag's entries, then the records appended to the table since
  // the order was set (the index does not hold them) in physical order.
  std::int32_t Size(std::int32_t recordCount) const {
    return slots_ + std::max<std::int32_t>(recordCount - base_, 0);
  }
  // The record index at position, or -1 for a hole: a slot no entry fills, or an entry
  // naming a record the table does not have (a stale index). The cursor passes over holes.
  std::int32_t RecordAt(std::int32_t position);
  // The position of record (trying hint first), or -1 when the tag leaves it out. A record
  // not met yet is looked for by walking the rest of the tag.
  std::int32_t PositionOf(std::int32_t record, std::int32_t hint = -1);
  // How many entries the walks have met so far.
  std::int64_t Walked() const { return static_cast<std::int64_t>(front_.size() + back_.size()); }
  // Counts the times positions were given out again: a tag with more entries than slots
  // (a stale index listing records twice) is laid out anew once the walks find it out.
  std::uint64_t Relayouts() const { return relayouts_; }

 private:
  enum class Step { End, Met, Entry };
  Step Advance(bool fromFront, std::int32_t& record);
  void GrowFront(std::int32_t until);
  void GrowBack(std::int32_t until);
  // Walks the front to the end: every slot is then known.
  void Complete();
  void FillCheck(bool fromFront);
  void Relayout();
  void KeepPositions();
  void Learn(std::int32_t record, std::int32_t position);
  std::int32_t BackStart() const { return slots_ - static_cast<std::int32_t>(back_.size()); }

  const TIndexReader* reader_ = nullptr;
  int tag_ = 0;
  std::string name_;
  bool reversed_ = false;
  std::int32_t base_ = 0;   // the table's records when the order was set
  std::int32_t slots_ = 0;  // positions of the tag's entries
  std::unique_ptr<TIndexCursor> frontCursor_, backCursor_;
  bool frontStarted_ = false, backStarted_ = false;
  bool met_ = false;  // the walks have met (or one reached the end): the gap is holes
  std::vector<std::int32_t> front_;  // positions 0, 1, ...
  std::vector<std::int32_t> back_;   // positions slots_ - 1, slots_ - 2, ...
  // Record -> position, kept once the walks have met many records (before that the walked
  // records are searched).
  std::vector<std::int32_t> positions_;
  std::uint64_t relayouts_ = 0;
};

}  // namespace tavlo
