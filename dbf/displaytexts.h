// TDisplayTexts: the display texts of many records at the speed of their bytes, for
// exports and searches that look at every record. Each text is exactly what the field's
// DisplayText gives, appended to a string the caller reuses: character fields translated
// by a byte table where the code pages allow it, numbers written without a detour through
// values, the text of each distinct stored date made once. Field kinds it has no shortcut
// for go the general way. Fields are read through the cursor's column layout. It never moves
// the cursor and never writes.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "dbf/tdbf.h"

namespace tavlo {

class TDisplayTexts {
 public:
  // For an open cursor (a closed one has no columns), with the code pages as the session
  // has them now (make a new one after the session page or the table's page changes).
  explicit TDisplayTexts(TDbf& table);

  int Columns() const { return static_cast<int>(columns_.size()); }
  // How the column's field is read (what texts it can show).
  FieldReading ReadingOf(int column) const {
    return columns_[static_cast<std::size_t>(column)].reading;
  }
  // Appends the display text (ANSI) of the cursor's field `column` (0-based, as Fields) of
  // a record's bytes as the file holds them (deletion flag first).
  void Append(int column, const std::uint8_t* record, std::string& out);

 private:
  void AppendGeneral(int column, const std::uint8_t* record, std::string& out);

  TDbf& table_;
  const TColumnLayout& layout_;
  // The layout's columns in the cursor's field order.
  std::vector<TColumn> columns_;
  // How stored character bytes become ANSI bytes: the layout's table, copied beside the loop
  // that uses it (reading it through the layout measured 3 % slower on a whole export).
  // Without one only ASCII text is taken as it is and anything else goes through the file's
  // translation.
  std::array<unsigned char, 256> toAnsi_{};
  bool byteTable_ = false;
  // Date texts by day number, made on first use, for a window of days around the first
  // date met (dates beyond it are made each time); a slot holds a short text.
  struct DateText {
    std::uint8_t length = 0xFF;  // not made yet
    char text[15];
  };
  std::vector<DateText> dates_;
  std::int32_t firstDay_ = 0;
  TRecordBuffer scratch_;
};

}  // namespace tavlo
