// TColumnLayout: the fields of one open table as the fast readers see them, worked out once
// when the cursor opens the table: where each field lies in a record, how its bytes are read
// (the one classification, FieldReading), the code-page translation of character bytes as
// one byte table, and the decoders of the stored kinds. The record order, the display texts,
// the record finder and the filter plan all read fields through it, so they agree with each
// other by construction. It only reads record bytes; it never writes and never moves a cursor.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "dbf/fieldcodec.h"
#include "dbf/fieldinfo.h"
#include "value/value.h"

namespace tavlo {

class CodePages;
class TDbfFile;

// How a field's value is read from its bytes: text read as a whole number, a float, a
// logical, a date, a string, a memo or binary memo block number, or as stored (other types
// kept as text); FoxPro's varchar and varbinary bytes; a binary number or date-time.
enum class FieldReading : std::uint8_t {
  Whole,
  Float,
  Logical,
  Date,
  String,
  Memo,
  Blob,
  OtherText,
  VarText,
  VarBytes,
  Binary
};
FieldReading ReadingOf(const TMyFieldInfo& info);

// A stored logical: "?" and blank are null; T, t, Y and y true; anything else false.
enum class TLogical : std::uint8_t { Null, False, True };

// One field of the data file.
struct TColumn {
  int fieldIndex = 0;          // 0-based, as TDbfFile::FieldInfo
  std::int32_t offset = 0;     // from the record's start (the deletion flag is byte 0)
  std::int32_t length = 0;     // of the field
  std::int32_t available = 0;  // of its bytes inside the record size the file was opened with
  TFieldType type = TFieldType::ftString;
  FieldStorage storage = FieldStorage::Text;
  FieldReading reading = FieldReading::String;
  // The descriptor gives the field a null flag (Visual FoxPro), and the bit of it that the
  // _NullFlags bytes hold (-1: none that can be read).
  bool nullable = false;
  int nullBit = -1;
};

class TColumnLayout {
 public:
  // The layout of file's fields (after LoadFieldList) and its translation as it is now.
  void Build(const TDbfFile& file);
  void Clear();
  // Takes the translation again when the file's code page or the session's pages changed
  // since it was taken; cheap when nothing changed.
  void FollowTranslation(const TDbfFile& file);

  int Columns() const { return static_cast<int>(columns_.size()); }
  const TColumn& Column(int fieldIndex) const {
    return columns_[static_cast<std::size_t>(fieldIndex)];
  }

  // Stored character bytes to the session's ANSI bytes, one for one; nullptr when the
  // translation is not one byte for one (multi-byte pages): then TDbfFile::TextToAnsi.
  const std::array<unsigned char, 256>* ByteTable() const {
    return byteTable_ ? &toAnsi_ : nullptr;
  }
  // The translation is the session's OEM -> ANSI one (the table names no page).
  bool SessionOemTranslation() const { return sessionOem_; }

  // The field's bytes inside the record, trimmed of bytes up to 32 at both ends: what every
  // text-stored kind is read from.
  std::string_view Text(const TColumn& column, const std::uint8_t* record) const {
    return TrimFieldBytes(record + column.offset, static_cast<std::size_t>(column.available));
  }
  // The null flag of the field is set.
  bool NullFlagged(const TColumn& column, const std::uint8_t* record) const {
    return column.nullBit >= 0 &&
           (record[nullFlagsOffset_ + column.nullBit / 8] >> (column.nullBit % 8) & 1) != 0;
  }
  // Whether the field is null by every rule of TDbfFile::FieldIsNull (flag, blank text, "?",
  // a whole number beyond 64 bits, a blank or cut-off binary value).
  bool IsNull(const TColumn& column, const std::uint8_t* record) const;

  // The decoders of the kinds stored as text, given the field's Text (not blank: a blank
  // field is null whatever its kind). A whole number is false (null) beyond 64 bits, and a
  // text that is no number reads as 0; a date is its day number, 0 when it is no calendar
  // date; a logical "?" is null.
  static bool Whole(std::string_view text, std::int64_t& value) {
    return WholeNumberValue(text, value);
  }
  static double Real(std::string_view text) { return DbfTextToFloat(text); }
  static std::int32_t Day(std::string_view text) { return DecodeDbfDate(text); }
  static TLogical Logical(std::string_view text) {
    if (text.empty() || text[0] == '?') return TLogical::Null;
    return LogicalIsTrue(text[0]) ? TLogical::True : TLogical::False;
  }
  // A binary FoxPro or dBase 7 number, currency or date-time (reading Binary); false when
  // blank or cut off by the record size.
  bool Binary(const TColumn& column, const std::uint8_t* record, Variant& value) const;
  // The bytes that hold the value: all available ones, for V/Q fields those in use.
  std::string_view ValueBytes(const TColumn& column, const std::uint8_t* record) const;

 private:
  void TakeTranslation(const TDbfFile& file);

  const TDbfFile* file_ = nullptr;
  std::vector<TColumn> columns_;
  std::int32_t nullFlagsOffset_ = 0;
  bool byteTable_ = false;
  bool sessionOem_ = false;
  std::array<unsigned char, 256> toAnsi_{};
  // What the translation was taken under.
  int tablePage_ = -1;
  const CodePages* session_ = nullptr;
  int sessionOemPage_ = 0;
  int sessionAnsiPage_ = 0;
};

}  // namespace tavlo
