// Type names and the mapping of descriptor type letters to field types.
#include "dbf/fieldinfo.h"

namespace tavlo {

const char* FieldTypeName(TFieldType type) {
  switch (type) {
    case TFieldType::ftString:
      return "String";
    case TFieldType::ftSmallint:
      return "Smallint";
    case TFieldType::ftInteger:
      return "Integer";
    case TFieldType::ftLargeint:
      return "Largeint";
    case TFieldType::ftFloat:
      return "Float";
    case TFieldType::ftBoolean:
      return "Boolean";
    case TFieldType::ftDate:
      return "Date";
    case TFieldType::ftMemo:
      return "Memo";
    case TFieldType::ftUnknown:
      return "Unknown";
    case TFieldType::ftWord:
      return "Word";
    case TFieldType::ftCurrency:
      return "Currency";
    case TFieldType::ftTime:
      return "Time";
    case TFieldType::ftDateTime:
      return "DateTime";
    case TFieldType::ftBlob:
      return "Blob";
  }
  return "Unknown";
}

TFieldType FieldTypeFromDescriptor(char typeLetter, int length, int decimals) {
  switch (typeLetter) {
    case 'N':
      if (decimals > 0) return TFieldType::ftFloat;
      if (length <= 6) return TFieldType::ftSmallint;
      if (length <= 11) return TFieldType::ftInteger;
      return TFieldType::ftLargeint;
    case 'F':
      return TFieldType::ftFloat;
    case 'L':
      return TFieldType::ftBoolean;
    case 'D':
      return TFieldType::ftDate;
    case 'M':
      return TFieldType::ftMemo;
    default:
      return TFieldType::ftString;  // C and every unlisted letter
  }
}

const char* TableFormatName(TableFormat format) {
  switch (format) {
    case TableFormat::dBase:
      return "dBase";
    case TableFormat::FoxPro:
      return "FoxPro";
    case TableFormat::VisualFoxPro:
      return "Visual FoxPro";
    case TableFormat::dBase7:
      return "dBase 7";
  }
  return "dBase";
}

TFieldType FieldTypeOfFormat(TableFormat format, char typeLetter, int length, int decimals,
                             FieldStorage& storage) {
  storage = FieldStorage::Text;
  const bool fox = format == TableFormat::FoxPro || format == TableFormat::VisualFoxPro;
  // Visual FoxPro keeps memo block numbers as 4 binary bytes, FoxPro 2 as 10 digits.
  const FieldStorage memoStorage = format == TableFormat::VisualFoxPro && length == 4
                                       ? FieldStorage::BinaryMemoBlock
                                       : FieldStorage::Text;
  if (fox) {
    switch (typeLetter) {
      case 'I':
        storage = FieldStorage::LittleEndianInteger;
        return TFieldType::ftInteger;
      case 'B':
        storage = FieldStorage::LittleEndianDouble;
        return TFieldType::ftFloat;
      case 'Y':
        storage = FieldStorage::Currency;
        return TFieldType::ftCurrency;
      case 'T':
        storage = FieldStorage::FoxDateTime;
        return TFieldType::ftDateTime;
      case 'V':
        storage = FieldStorage::VarChar;
        return TFieldType::ftString;
      case 'Q':
        storage = FieldStorage::VarBinary;
        return TFieldType::ftString;
      case 'M':
        storage = memoStorage;
        return TFieldType::ftMemo;
      case 'G':
      case 'P':
      case 'W':
        storage = memoStorage;
        return TFieldType::ftBlob;
      default:
        break;
    }
  } else if (format == TableFormat::dBase7) {
    switch (typeLetter) {
      case 'I':
      case '+':
        storage = FieldStorage::SortableInteger;
        return TFieldType::ftInteger;
      case 'O':
        storage = FieldStorage::SortableDouble;
        return TFieldType::ftFloat;
      case '@':
        storage = FieldStorage::SortableTimestamp;
        return TFieldType::ftDateTime;
      case 'B':
      case 'G':
        return TFieldType::ftBlob;  // binary and OLE memos in the .dbt
      default:
        break;
    }
  }
  return FieldTypeFromDescriptor(typeLetter, length, decimals);
}

bool IsWritableField(TFieldType type, FieldStorage storage) {
  if (storage != FieldStorage::Text && storage != FieldStorage::BinaryMemoBlock) return false;
  switch (type) {
    case TFieldType::ftString:
    case TFieldType::ftSmallint:
    case TFieldType::ftInteger:
    case TFieldType::ftLargeint:
    case TFieldType::ftFloat:
    case TFieldType::ftBoolean:
    case TFieldType::ftDate:
    case TFieldType::ftMemo:
      return true;
    default:
      return false;
  }
}

}  // namespace tavlo
