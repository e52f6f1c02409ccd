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

}  // namespace tavlo
