// The binary field layouts of FoxPro, Visual FoxPro and dBase 7 (integers, doubles,
// currency, date-times, varchar lengths, binary memo block numbers): bytes of one field to
// values. Pure functions over byte ranges; they never write a record.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "dbf/fieldinfo.h"
#include "value/value.h"

namespace tavlo {

// Platform day number (0 = 1899-12-30) of the start of Julian day 0.
constexpr double kJulianDayOfPlatformZero = 2415019.0;

// Whether a field of that storage holds no value by its bytes alone: an empty date-time,
// an all-zero dBase 7 number or timestamp, a zero memo block. (Integers, doubles and
// currency of FoxPro have no such value: zero is zero.)
bool BinaryFieldIsBlank(FieldStorage storage, const std::uint8_t* bytes, std::size_t length);

// The value of a binary field that is not blank. VarChar/VarBinary give their bytes up to
// usedLength; memo blocks their number as an integer.
Variant BinaryFieldVariant(FieldStorage storage, const std::uint8_t* bytes, std::size_t length);

// Native value of a binary field (not blank) for the field objects: ftInteger int32_t,
// ftFloat double, ftCurrency int64_t scaled by 10,000, ftDateTime double platform day number.
// false when the storage does not give that type.
bool DecodeBinaryField(FieldStorage storage, TFieldType type, const std::uint8_t* bytes,
                       std::size_t length, void* destination);

// The 32-bit little-endian memo block number of a Visual FoxPro memo field.
std::int32_t BinaryMemoBlock(const std::uint8_t* bytes, std::size_t length);
void PutBinaryMemoBlock(std::uint8_t* bytes, std::size_t length, std::int32_t block);

// A double from the ordered bit pattern of dBase 7 (big-endian; sign bit set for positive
// numbers, every bit inverted for negative ones).
double SortableDouble(const std::uint8_t* bytes);

}  // namespace tavlo
