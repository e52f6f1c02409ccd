// The column layout of an open table: the classification of its fields, the byte table of its
// translation and the decoders the fast readers share.
#include "dbf/columnlayout.h"

#include "dbf/binaryfields.h"
#include "dbf/dbffile.h"
#include "platform/codepage.h"

namespace tavlo {

FieldReading ReadingOf(const TMyFieldInfo& info) {
  switch (info.storage) {
    case FieldStorage::Text:
      break;
    case FieldStorage::VarChar:
      return FieldReading::VarText;
    case FieldStorage::VarBinary:
      return FieldReading::VarBytes;
    default:
      return FieldReading::Binary;
  }
  switch (info.type) {
    case TFieldType::ftSmallint:
    case TFieldType::ftInteger:
    case TFieldType::ftLargeint:
      return FieldReading::Whole;
    case TFieldType::ftFloat:
      return FieldReading::Float;
    case TFieldType::ftBoolean:
      return FieldReading::Logical;
    case TFieldType::ftDate:
      return FieldReading::Date;
    case TFieldType::ftString:
      return FieldReading::String;
    case TFieldType::ftMemo:
      return FieldReading::Memo;
    case TFieldType::ftBlob:
      return FieldReading::Blob;
    default:
      return FieldReading::OtherText;
  }
}

void TColumnLayout::Build(const TDbfFile& file) {
  Clear();
  file_ = &file;
  nullFlagsOffset_ = file.NullFlagsOffset();
  // Without readable _NullFlags bytes no field has a flag (as TDbfFile reads them).
  const bool flags = file.NullFlagsLength() > 0;
  columns_.reserve(static_cast<std::size_t>(file.FieldCount()));
  for (int index = 0; index < file.FieldCount(); ++index) {
    const TMyFieldInfo& info = file.FieldInfo(index);
    TColumn column;
    column.fieldIndex = index;
    column.offset = info.offset;
    column.length = info.length;
    column.available = info.available;
    column.type = info.type;
    column.storage = info.storage;
    column.reading = ReadingOf(info);
    column.nullable = info.nullBit >= 0;
    column.nullBit = flags ? info.nullBit : -1;
    columns_.push_back(column);
  }
  TakeTranslation(file);
}

void TColumnLayout::Clear() {
  file_ = nullptr;
  columns_.clear();
  nullFlagsOffset_ = 0;
  byteTable_ = sessionOem_ = false;
  tablePage_ = -1;
  session_ = nullptr;
}

void TColumnLayout::FollowTranslation(const TDbfFile& file) {
  const CodePages& session = CurrentCodePages();
  if (tablePage_ == file.CodePage() && session_ == &session &&
      sessionOemPage_ == session.OemCodePage() && sessionAnsiPage_ == session.AnsiCodePage())
    return;
  TakeTranslation(file);
}

void TColumnLayout::TakeTranslation(const TDbfFile& file) {
  const CodePages& session = CurrentCodePages();
  tablePage_ = file.CodePage();
  session_ = &session;
  sessionOemPage_ = session.OemCodePage();
  sessionAnsiPage_ = session.AnsiCodePage();
  sessionOem_ = file.UsesSessionOemTranslation();
  byteTable_ = file.TextToAnsiTable(toAnsi_);
  if (!byteTable_) {
    for (int b = 0; b < 256; ++b)
      toAnsi_[static_cast<std::size_t>(b)] = static_cast<unsigned char>(b);
  }
}

bool TColumnLayout::IsNull(const TColumn& column, const std::uint8_t* record) const {
  return file_->FieldIsNull(column.fieldIndex, record);
}

bool TColumnLayout::Binary(const TColumn& column, const std::uint8_t* record,
                           Variant& value) const {
  const std::uint8_t* bytes = record + column.offset;
  const auto length = static_cast<std::size_t>(column.length);
  if (column.length > column.available || BinaryFieldIsBlank(column.storage, bytes, length))
    return false;
  value = BinaryFieldVariant(column.storage, bytes, length);
  return true;
}

std::string_view TColumnLayout::ValueBytes(const TColumn& column,
                                           const std::uint8_t* record) const {
  return file_->FieldValueBytes(column.fieldIndex, record);
}

}  // namespace tavlo
