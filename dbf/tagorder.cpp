// The cursor's order by a tag, walked lazily from both ends.
#include "dbf/tagorder.h"

#include <algorithm>

#include "dbf/indexformat.h"

namespace tavlo {

namespace {
// Below this many records met, PositionOf searches them; above, it keeps a map.
constexpr std::size_t kSearchLimit = 4096;
}  // namespace

void TTagOrder::Set(const TIndexReader& reader, int tag, std::int32_t recordCount) {
  const TIndexTag& info = reader.Tag(tag);
  if (!info.readable) throw EIndexDamage(info.damage);
  Clear();
  reader_ = &reader;
  tag_ = tag;
  name_ = info.name;
  reversed_ = info.descending && reader.Info().format != TIndexFormat::Mdx;
  entries_ = static_cast<std::int32_t>(info.keyCount);
  base_ = recordCount;
  frontCursor_ = std::make_unique<TIndexCursor>(reader.Cursor(tag));
  backCursor_ = std::make_unique<TIndexCursor>(reader.Cursor(tag));
}

void TTagOrder::Clear() {
  reader_ = nullptr;
  name_.clear();
  entries_ = 0;
  base_ = 0;
  frontCursor_.reset();
  backCursor_.reset();
  frontStarted_ = backStarted_ = false;
  front_ = {};
  back_ = {};
  positions_ = {};
}

std::int32_t TTagOrder::Next(TIndexCursor& cursor, bool& started, bool backward) {
  bool more;
  if (!started) {
    started = true;
    more = backward ? cursor.Last() : cursor.First();
  } else {
    more = backward ? cursor.Prev() : cursor.Next();
  }
  // The opening walk counted the entries; a tree that yields fewer now leaves holes.
  if (!more) return -1;
  const std::uint32_t number = cursor.Record();
  if (number == 0 || number > static_cast<std::uint32_t>(base_)) return -1;
  return static_cast<std::int32_t>(number - 1);
}

void TTagOrder::Learn(std::int32_t record, std::int32_t position) {
  if (record < 0 || positions_.empty()) return;
  std::int32_t& known = positions_[static_cast<std::size_t>(record)];
  // A stale index may list a record twice: the first place met stays.
  if (known < 0) known = position;
}

void TTagOrder::GrowFront(std::int32_t until) {
  while (static_cast<std::int32_t>(front_.size()) <= until) {
    const std::int32_t record = Next(*frontCursor_, frontStarted_, reversed_);
    Learn(record, static_cast<std::int32_t>(front_.size()));
    front_.push_back(record);
  }
}

void TTagOrder::GrowBack(std::int32_t until) {
  while (entries_ - static_cast<std::int32_t>(back_.size()) > until) {
    const std::int32_t record = Next(*backCursor_, backStarted_, !reversed_);
    Learn(record, entries_ - 1 - static_cast<std::int32_t>(back_.size()));
    back_.push_back(record);
  }
}

void TTagOrder::Complete() {
  // The walks meet: the front takes over the whole tag and its back part.
  const std::size_t need = static_cast<std::size_t>(entries_);
  if (front_.size() + back_.size() < need)
    GrowFront(entries_ - 1 - static_cast<std::int32_t>(back_.size()));
  if (!back_.empty()) {
    front_.resize(need - back_.size());
    front_.insert(front_.end(), back_.rbegin(), back_.rend());
    back_ = {};
    backCursor_.reset();
  }
}

std::int32_t TTagOrder::RecordAt(std::int32_t position) {
  if (position < 0) return -1;
  if (position >= entries_) return base_ + (position - entries_);
  const std::int32_t front = static_cast<std::int32_t>(front_.size());
  const std::int32_t backStart = entries_ - static_cast<std::int32_t>(back_.size());
  if (position < front) return front_[static_cast<std::size_t>(position)];
  if (position >= backStart) return back_[static_cast<std::size_t>(entries_ - 1 - position)];
  // Walk from the nearer end; once the walks would meet, the front takes the rest.
  if (position - front <= backStart - 1 - position) {
    GrowFront(position);
  } else {
    GrowBack(position);
  }
  if (static_cast<std::int32_t>(front_.size()) >=
      entries_ - static_cast<std::int32_t>(back_.size())) {
    Complete();
  }
  return RecordAt(position);
}

std::int32_t TTagOrder::PositionOf(std::int32_t record, std::int32_t hint) {
  if (record < 0) return -1;
  if (record >= base_) return entries_ + (record - base_);
  if (hint >= 0 && hint < entries_) {
    const std::int32_t front = static_cast<std::int32_t>(front_.size());
    const std::int32_t backStart = entries_ - static_cast<std::int32_t>(back_.size());
    if ((hint < front || hint >= backStart) && RecordAt(hint) == record) return hint;
  }
  const bool complete = Walked() >= entries_;
  if (positions_.empty() && Walked() <= static_cast<std::int64_t>(kSearchLimit)) {
    const auto inFront = std::find(front_.begin(), front_.end(), record);
    if (inFront != front_.end()) return static_cast<std::int32_t>(inFront - front_.begin());
    const auto inBack = std::find(back_.begin(), back_.end(), record);
    if (inBack != back_.end()) {
      return entries_ - 1 - static_cast<std::int32_t>(inBack - back_.begin());
    }
    if (complete) return -1;
  }
  KeepPositions();
  const std::int32_t known = positions_[static_cast<std::size_t>(record)];
  if (known >= 0 || complete) return known;
  // Not met yet: only the rest of the tag can tell.
  Complete();
  return positions_[static_cast<std::size_t>(record)];
}

void TTagOrder::KeepPositions() {
  if (!positions_.empty() || base_ == 0) return;
  positions_.assign(static_cast<std::size_t>(base_), -1);
  for (std::size_t p = 0; p < front_.size(); ++p) Learn(front_[p], static_cast<std::int32_t>(p));
  for (std::size_t b = 0; b < back_.size(); ++b) {
    Learn(back_[b], entries_ - 1 - static_cast<std::int32_t>(b));
  }
}

}  // namespace tavlo
