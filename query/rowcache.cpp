// The grid's lazy record list and bounded text cache.
#include "query/rowcache.h"

#include <algorithm>
#include <cassert>

namespace tavlo {

RowCache::RowCache(VisibleRecordSource& source, std::size_t maxCachedRows)
    : source_(source), maxCachedRows_(std::max<std::size_t>(maxCachedRows, 1)) {}

void RowCache::Reset() {
  records_.clear();
  records_.shrink_to_fit();
  scanned_ = 0;
  recent_.clear();
  texts_.clear();
}

bool RowCache::Complete() const {
  return scanned_ >= source_.PhysicalRecordCount();
}

int RowCache::FetchMore(int chunk) {
  if (Complete() || chunk <= 0) return 0;
  const std::size_t before = records_.size();
  std::int32_t next = scanned_;
  try {
    next = source_.ScanVisible(scanned_, chunk, records_);
  } catch (...) {
    // Records of the failed scan would be learned twice by the next attempt.
    records_.resize(before);
    throw;
  }
  assert(next >= scanned_);
  assert(std::is_sorted(records_.begin(), records_.end()));
  // A source that examined nothing and found nothing would loop forever; treat it as the end.
  scanned_ = next > scanned_ || records_.size() > before ? next : source_.PhysicalRecordCount();
  return static_cast<int>(records_.size() - before);
}

bool RowCache::EnsureRow(int row, int chunk) {
  while (row >= KnownRows() && !Complete()) FetchMore(chunk);
  return row >= 0 && row < KnownRows();
}

int RowCache::EnsureRecord(std::int32_t recordIndex, int chunk) {
  const std::int32_t position = source_.PositionOf(recordIndex);
  while (position >= scanned_ && !Complete()) FetchMore(chunk);
  return RowOf(recordIndex);
}

void RowCache::FetchAll(int chunk) {
  while (!Complete()) FetchMore(chunk);
}

int RowCache::RowOf(std::int32_t recordIndex) const {
  const std::int32_t position = source_.PositionOf(recordIndex);
  const auto it = std::lower_bound(records_.begin(), records_.end(), position);
  if (it == records_.end() || *it != position) return -1;
  return static_cast<int>(it - records_.begin());
}

const std::vector<std::string>& RowCache::Texts(int row) {
  const std::int32_t record = RecordAt(row);
  auto found = texts_.find(record);
  if (found != texts_.end()) {
    recent_.splice(recent_.begin(), recent_, found->second.position);
    return found->second.texts;
  }
  std::vector<std::string> texts = source_.RowTexts(record);
  if (texts_.size() >= maxCachedRows_) {
    texts_.erase(recent_.back());
    recent_.pop_back();
  }
  recent_.push_front(record);
  auto& entry = texts_[record];
  entry.texts = std::move(texts);
  entry.position = recent_.begin();
  return entry.texts;
}

void RowCache::Forget(std::int32_t recordIndex) {
  auto found = texts_.find(recordIndex);
  if (found == texts_.end()) return;
  recent_.erase(found->second.position);
  texts_.erase(found);
}

int RowCache::Remove(std::int32_t recordIndex) {
  Forget(recordIndex);
  const int row = RowOf(recordIndex);
  if (row >= 0) records_.erase(records_.begin() + row);
  return row;
}

int RowCache::Add(std::int32_t recordIndex) {
  Forget(recordIndex);
  const std::int32_t position = source_.PositionOf(recordIndex);
  if (position >= scanned_) {
    // A record appended at the end of a fully examined file extends what is known.
    if (position == scanned_ && scanned_ + 1 == source_.PhysicalRecordCount()) {
      records_.push_back(position);
      scanned_ = position + 1;
      return KnownRows() - 1;
    }
    return -1;
  }
  const auto it = std::lower_bound(records_.begin(), records_.end(), position);
  if (it != records_.end() && *it == position) return static_cast<int>(it - records_.begin());
  return static_cast<int>(records_.insert(it, position) - records_.begin());
}

}  // namespace tavlo
