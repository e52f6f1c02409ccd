// The grid's read path over TDbf.
#include "query/tablerowsource.h"

#include <cstring>

#include "dbf/deletionflag.h"
#include "dbf/fields.h"
#include "dbf/recordcandidates.h"

namespace tavlo {

std::int32_t TableRowSource::PhysicalRecordCount() {
  if (!table_.Active()) return 0;
  return table_.PositionCount();
}

std::int32_t TableRowSource::RecordAtPosition(std::int32_t position) {
  return table_.Active() ? table_.RecordAtPosition(position) : position;
}

std::int32_t TableRowSource::PositionOf(std::int32_t recordIndex) {
  return table_.Active() ? table_.PositionOf(recordIndex) : recordIndex;
}

bool TableRowSource::FlagOnly() const {
  return !table_.ShowDeleted() && !(table_.Filtered() && table_.OnFilterRecord);
}

std::int32_t TableRowSource::ScanVisible(std::int32_t from, int wanted,
                                         std::vector<std::int32_t>& out) {
  const std::int32_t count = PhysicalRecordCount();
  int added = 0;
  std::int32_t index = from;
  TDbfFile* file = table_.DbfFile();
  const bool flagOnly = FlagOnly() && file != nullptr;
  if (buffer_.empty()) buffer_ = table_.NewRecordBuffer();
  const bool ordered = table_.Ordered();
  const TRecordCandidates* candidates = table_.FilterCandidates();
  for (; index < count && added < wanted; ++index) {
    // In physical order a filter's candidates are jumped to; the rest are never read.
    if (candidates != nullptr && !ordered) {
      index = candidates->NextFrom(index, count);
      if (index >= count) break;
    }
    const std::int32_t record = ordered ? table_.RecordAtPosition(index) : index;
    if (record < 0) continue;  // a tag's entry naming a record the table lacks
    if (candidates != nullptr && !candidates->Holds(record)) continue;
    bool visible;
    const std::uint8_t* view = flagOnly ? file->RecordView(record) : nullptr;
    if (view != nullptr)
      visible = !IsDeletedFlag(view[0]);
    else
      visible = table_.ReadRecordAt(record, buffer_);
    if (visible) {
      out.push_back(index);
      ++added;
    }
  }
  return index;
}

bool TableRowSource::IsVisible(std::int32_t recordIndex) {
  if (recordIndex < 0 || recordIndex >= table_.RecordCount()) return false;
  if (buffer_.empty()) buffer_ = table_.NewRecordBuffer();
  return table_.ReadRecordAt(recordIndex, buffer_);
}

void TableRowSource::LoadBytes(std::int32_t recordIndex, TRecordBuffer& buffer) {
  TDbfFile* file = table_.DbfFile();
  const std::uint8_t* view = file != nullptr ? file->RecordView(recordIndex) : nullptr;
  if (view != nullptr) {
    // Only the bytes are needed; the filter must not run again for a row already accepted.
    std::memcpy(buffer.data() + TDbf::kIndexOffset, &recordIndex, sizeof recordIndex);
    buffer[TDbf::kFlagOffset] = 0;
    std::memcpy(buffer.data() + TDbf::kRecordOffset, view,
                static_cast<std::size_t>(file->RecordSize()));
  } else {
    table_.ReadRecordAt(recordIndex, buffer);
  }
}

std::vector<std::string> TableRowSource::RowTexts(std::int32_t recordIndex) {
  std::vector<std::string> texts;
  if (!table_.Active()) return texts;
  TRecordBuffer buffer = table_.NewRecordBuffer();
  LoadBytes(recordIndex, buffer);
  const int fields = table_.FieldCount();
  texts.reserve(static_cast<std::size_t>(fields));
  for (int i = 0; i < fields; ++i) texts.push_back(table_.Fields(i).DisplayTextIn(buffer));
  return texts;
}

bool TableRowSource::IsDeleted(std::int32_t recordIndex) {
  if (!table_.Active() || recordIndex < 0 || recordIndex >= table_.RecordCount()) return false;
  TDbfFile* file = table_.DbfFile();
  if (const std::uint8_t* view = file != nullptr ? file->RecordView(recordIndex) : nullptr) {
    return IsDeletedFlag(view[0]);
  }
  TRecordBuffer buffer = table_.NewRecordBuffer();
  LoadBytes(recordIndex, buffer);
  return IsDeletedFlag(buffer[TDbf::kRecordOffset]);
}

std::string TableRowSource::FieldTextOf(std::int32_t recordIndex, const TField& field) {
  if (!table_.Active()) return std::string();
  TRecordBuffer buffer = table_.NewRecordBuffer();
  LoadBytes(recordIndex, buffer);
  return table_.FieldText(field, &buffer);
}

}  // namespace tavlo
