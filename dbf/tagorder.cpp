// The cursor's order by a tag, walked lazily from both ends.
#include "dbf/tagorder.h"

#include "dbf/indexformat.h"

namespace tavlo {

namespace {
// Below this many records met, PositionOf searches them; above, it keeps a map.
constexpr std::size_t kSearchLimit = 4096;
}  // namespace

void TTagOrder::Set(const TIndexReader& reader, int tag, std::int32_t recordCount) {
  const TIndexTag& info = reader.Tag(tag);
  const std::string prefix = "tag " + info.name + ": ";
  if (!info.readable) throw EIndexDamage(prefix + info.damage);
  TTagOrder order;
  order.reader_ = &reader;
  order.tag_ = tag;
  order.name_ = info.name;
  order.reversed_ = info.descending && reader.Info().format != TIndexFormat::Mdx;
  order.base_ = recordCount;
  order.slots_ = std::max<std::int32_t>(
      recordCount, static_cast<std::int32_t>(std::max<std::int64_t>(info.keyCount, 0)));
  order.frontCursor_ = std::make_unique<TIndexCursor>(reader.Cursor(tag));
  order.backCursor_ = std::make_unique<TIndexCursor>(reader.Cursor(tag));
  // The first and last entries: a tag whose ends cannot be read is refused now.
  if (order.slots_ > 0) {
    order.RecordAt(0);
    order.RecordAt(order.slots_ - 1);
  }
  *this = std::move(order);
}

void TTagOrder::Clear() {
  *this = TTagOrder();
}

TTagOrder::Step TTagOrder::Advance(bool fromFront, std::int32_t& record) {
  TIndexCursor& cursor = fromFront ? *frontCursor_ : *backCursor_;
  bool& started = fromFront ? frontStarted_ : backStarted_;
  const bool backward = fromFront == reversed_;
  bool more;
  try {
    if (!started) {
      started = true;
      more = backward ? cursor.Last() : cursor.First();
    } else {
      more = backward ? cursor.Prev() : cursor.Next();
    }
  } catch (const EIndexDamage& damage) {
    throw EIndexDamage("tag " + name_ + ": " + damage.what());
  }
  if (!more) return Step::End;
  const TIndexCursor& other = fromFront ? *backCursor_ : *frontCursor_;
  if ((fromFront ? backStarted_ : frontStarted_) && cursor.SameEntry(other)) return Step::Met;
  const std::uint32_t number = cursor.Record();
  record = number == 0 || number > static_cast<std::uint32_t>(base_)
               ? -1
               : static_cast<std::int32_t>(number - 1);
  return Step::Entry;
}

void TTagOrder::Learn(std::int32_t record, std::int32_t position) {
  if (record < 0 || positions_.empty()) return;
  std::int32_t& known = positions_[static_cast<std::size_t>(record)];
  // A stale index may list a record twice: the first place met stays.
  if (known < 0) known = position;
}

void TTagOrder::GrowFront(std::int32_t until) {
  while (!met_ && static_cast<std::int32_t>(front_.size()) <= until) {
    std::int32_t record = -1;
    const Step step = Advance(true, record);
    if (step != Step::Entry) {
      met_ = true;
      return;
    }
    if (static_cast<std::int32_t>(front_.size()) >= BackStart()) return Relayout();
    Learn(record, static_cast<std::int32_t>(front_.size()));
    front_.push_back(record);
  }
  FillCheck(true);
}

void TTagOrder::GrowBack(std::int32_t until) {
  while (!met_ && BackStart() > until) {
    std::int32_t record = -1;
    const Step step = Advance(false, record);
    if (step != Step::Entry) {
      met_ = true;
      return;
    }
    if (BackStart() <= static_cast<std::int32_t>(front_.size())) return Relayout();
    Learn(record, BackStart() - 1);
    back_.push_back(record);
  }
  FillCheck(false);
}

void TTagOrder::FillCheck(bool fromFront) {
  // No slot left between the walks: the next entry must be where the other walk stands.
  if (met_ || static_cast<std::int32_t>(front_.size()) < BackStart()) return;
  std::int32_t record = -1;
  if (Advance(fromFront, record) == Step::Entry) return Relayout();
  met_ = true;
}

void TTagOrder::Relayout() {
  // More entries than slots: some name a record twice or one the table lacks. Walked once
  // more from the front with those left out, the entries fit the slots.
  std::vector<bool> seen(static_cast<std::size_t>(base_), false);
  std::vector<std::int32_t> records;
  frontCursor_ = std::make_unique<TIndexCursor>(reader_->Cursor(tag_));
  backCursor_ = std::make_unique<TIndexCursor>(reader_->Cursor(tag_));
  frontStarted_ = backStarted_ = false;
  std::int32_t record = -1;
  while (Advance(true, record) == Step::Entry) {
    if (record < 0 || seen[static_cast<std::size_t>(record)]) continue;
    seen[static_cast<std::size_t>(record)] = true;
    records.push_back(record);
  }
  front_ = std::move(records);
  back_ = {};
  met_ = true;
  if (!positions_.empty()) {
    positions_.assign(positions_.size(), -1);
    for (std::size_t p = 0; p < front_.size(); ++p) Learn(front_[p], static_cast<std::int32_t>(p));
  }
  ++relayouts_;
}

void TTagOrder::Complete() {
  if (!met_) GrowFront(BackStart());
}

std::int32_t TTagOrder::RecordAt(std::int32_t position) {
  if (position < 0) return -1;
  if (position >= slots_) return base_ + (position - slots_);
  if (position < static_cast<std::int32_t>(front_.size())) {
    return front_[static_cast<std::size_t>(position)];
  }
  if (position >= BackStart()) return back_[static_cast<std::size_t>(slots_ - 1 - position)];
  if (met_) return -1;
  // Walk from the nearer end, until the position is known or the walks meet.
  if (position - static_cast<std::int32_t>(front_.size()) <= BackStart() - 1 - position) {
    GrowFront(position);
  } else {
    GrowBack(position);
  }
  return RecordAt(position);
}

std::int32_t TTagOrder::PositionOf(std::int32_t record, std::int32_t hint) {
  if (record < 0) return -1;
  if (record >= base_) return slots_ + (record - base_);
  if (hint >= 0 && hint < slots_ &&
      (hint < static_cast<std::int32_t>(front_.size()) || hint >= BackStart()) &&
      RecordAt(hint) == record) {
    return hint;
  }
  if (positions_.empty() && Walked() <= static_cast<std::int64_t>(kSearchLimit)) {
    const auto inFront = std::find(front_.begin(), front_.end(), record);
    if (inFront != front_.end()) return static_cast<std::int32_t>(inFront - front_.begin());
    const auto inBack = std::find(back_.begin(), back_.end(), record);
    if (inBack != back_.end())
      return slots_ - 1 - static_cast<std::int32_t>(inBack - back_.begin());
    if (met_) return -1;
  }
  KeepPositions();
  const std::int32_t known = positions_[static_cast<std::size_t>(record)];
  if (known >= 0 || met_) return known;
  // Not met yet: only the rest of the tag can tell.
  Complete();
  return positions_[static_cast<std::size_t>(record)];
}

void TTagOrder::KeepPositions() {
  if (!positions_.empty()) return;
  positions_.assign(static_cast<std::size_t>(base_), -1);
  for (std::size_t p = 0; p < front_.size(); ++p) Learn(front_[p], static_cast<std::int32_t>(p));
  for (std::size_t b = 0; b < back_.size(); ++b)
    Learn(back_[b], slots_ - 1 - static_cast<std::int32_t>(b));
}

}  // namespace tavlo
