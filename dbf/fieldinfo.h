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

// The family of programs a table comes from, which decides what its type letters mean.
// dBase III/IV tables keep the letters C N F L D M; every other letter reads as text.
enum class TableFormat : std::uint8_t { dBase, FoxPro, VisualFoxPro, dBase7 };
const char* TableFormatName(TableFormat format);

// How a field's bytes hold its value. Text is the fixed-width text of C N F L D and memo
// block numbers; the others are the binary layouts of FoxPro and dBase 7.
enum class FieldStorage : std::uint8_t {
  Text,
  LittleEndianInteger,  // FoxPro I: signed 32-bit
  LittleEndianDouble,   // FoxPro B
  Currency,             // FoxPro Y: signed 64-bit, scaled by 10,000
  FoxDateTime,          // FoxPro T: Julian day and milliseconds, 32 bits each
  VarChar,              // FoxPro V: text, its length in the last byte when not full
  VarBinary,            // FoxPro Q: bytes, likewise
  BinaryMemoBlock,      // Visual FoxPro M G P W: 32-bit block number
  SortableInteger,      // dBase 7 I and +: big-endian, sign bit flipped
  SortableDouble,       // dBase 7 O: big-endian, ordered bit pattern
  SortableTimestamp,    // dBase 7 @: milliseconds since 0001-01-01 as a SortableDouble
};

// The field type and storage of a descriptor in a table of that format. For dBase it is
// FieldTypeFromDescriptor with text storage.
TFieldType FieldTypeOfFormat(TableFormat format, char typeLetter, int length, int decimals,
                             FieldStorage& storage);
// Whether this system writes values of that type and storage back (C N F L D and memo
// text); fields of other kinds are read only.
bool IsWritableField(TFieldType type, FieldStorage storage);

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
  FieldStorage storage = FieldStorage::Text;
  // Visual FoxPro: the bit of this field in the _NullFlags field that says it is null, and
  // the one that says a V/Q value is shorter than the field (-1: none).
  int nullBit = -1;
  int varLengthBit = -1;
  bool writable = true;
};

}  // namespace tavlo
