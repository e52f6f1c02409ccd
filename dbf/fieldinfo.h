// Field types, the field definitions a table is described by, and the per-field layout record
// that the data file keeps for every descriptor. Plain data; nothing here touches a file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tavlo {

// The engine's field types. Descriptors only ever produce ftString..ftMemo; the others exist
// so that a definition of an unsupported kind can be named (table creation rejects it).
enum class TFieldType : std::uint8_t {
  ftString,
  ftSmallint,
  ftInteger,
  ftLargeint,
  ftFloat,
  ftBoolean,
  ftDate,
  ftMemo,
  ftUnknown,
  ftWord,
  ftCurrency,
  ftTime,
  ftDateTime,
  ftBlob,
};

// "String", "Smallint", ..., "Memo" (ftUnknown and the rest by their names too).
const char* FieldTypeName(TFieldType type);

// The field type a descriptor's type letter and sizes produce. Unlisted letters give ftString.
TFieldType FieldTypeFromDescriptor(char typeLetter, int length, int decimals);

// One field definition: what the cursor's field objects are made from and what table
// creation writes. Size is the field length for ftString and 0 for every other type.
struct TFieldDef {
  std::string name;  // as stored in the descriptor (case kept)
  TFieldType dataType = TFieldType::ftString;
  int size = 0;
  bool required = false;
};
using TFieldDefs = std::vector<TFieldDef>;

// Layout of one field within a record, in descriptor order (field number n uses entry n-1).
struct TMyFieldInfo {
  std::string name;           // lower-cased
  std::int32_t length = 0;    // bytes in the record
  std::int32_t decimals = 0;  // governs how ftFloat values are written
  std::int32_t offset = 0;    // from the start of the record; 1 for the first field
  char typeLetter = 'C';      // as stored in the descriptor
  TFieldType type = TFieldType::ftString;
  // Bytes of the field that lie inside the record size the file was opened with; less than
  // length only when the header's record size is smaller than the fields need.
  std::int32_t available = 0;
};

}  // namespace tavlo
