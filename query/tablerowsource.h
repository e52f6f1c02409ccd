// TableRowSource: the grid's read path over the table cursor. It tells which records are
// visible and what their fields show without moving the cursor, reading the file's memory
// view where it can so that a scan of a large table makes no system call per record.
#pragma once

#include "query/rowcache.h"
#include "dbf/tdbf.h"

namespace tavlo {

class TableRowSource : public VisibleRecordSource {
 public:
  explicit TableRowSource(TDbf& table) : table_(table) {}

  std::int32_t PhysicalRecordCount() override;
  std::int32_t RecordAtPosition(std::int32_t position) override;
  std::int32_t PositionOf(std::int32_t recordIndex) override;
  std::int32_t ScanVisible(std::int32_t from, int wanted, std::vector<std::int32_t>& out) override;
  std::vector<std::string> RowTexts(std::int32_t recordIndex) override;
  // Whether the cursor would show the record now (runs the filter when one is on).
  bool IsVisible(std::int32_t recordIndex);
  // The record's deletion flag is set (false for a record that cannot be read).
  bool IsDeleted(std::int32_t recordIndex);
  // The field's TextValue in that record (a memo's text), without running the filter.
  std::string FieldTextOf(std::int32_t recordIndex, const TField& field);

 private:
  // Fills buffer_ with the record's bytes without running the filter.
  void LoadBytes(std::int32_t recordIndex, TRecordBuffer& buffer);
  // True when visibility is the deletion flag alone, so the memory view can answer.
  bool FlagOnly() const;

  TDbf& table_;
  TRecordBuffer buffer_;
};

}  // namespace tavlo
