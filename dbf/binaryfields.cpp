// Binary field layouts of FoxPro, Visual FoxPro and dBase 7.
#include "dbf/binaryfields.h"

#include <cmath>
#include <cstring>

namespace tavlo {

namespace {

std::uint32_t Le32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

std::uint64_t Le64(const std::uint8_t* p) {
  return static_cast<std::uint64_t>(Le32(p)) | static_cast<std::uint64_t>(Le32(p + 4)) << 32;
}

std::uint64_t Be64(const std::uint8_t* p) {
  std::uint64_t value = 0;
  for (int i = 0; i < 8; ++i) value = value << 8 | p[i];
  return value;
}

double BitsToDouble(std::uint64_t bits) {
  double value = 0;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

bool AllZero(const std::uint8_t* bytes, std::size_t length) {
  for (std::size_t i = 0; i < length; ++i) {
    if (bytes[i] != 0) return false;
  }
  return true;
}

// Milliseconds from 0001-01-01 to 1899-12-30 (693593 days, the proleptic Gregorian count
// the dBase 7 timestamp is based on, plus the one day it counts from).
constexpr double kTimestampMsToPlatformZero = 693594.0 * 86400000.0;

double FoxDateTime(const std::uint8_t* bytes) {
  const double day = static_cast<std::int32_t>(Le32(bytes));
  const double ms = static_cast<std::int32_t>(Le32(bytes + 4));
  return day - kJulianDayOfPlatformZero + ms / 86400000.0;
}

}  // namespace

double SortableDouble(const std::uint8_t* bytes) {
  std::uint64_t bits = Be64(bytes);
  bits = (bits & 0x8000000000000000ULL) ? bits & 0x7FFFFFFFFFFFFFFFULL : ~bits;
  return BitsToDouble(bits);
}

bool BinaryFieldIsBlank(FieldStorage storage, const std::uint8_t* bytes, std::size_t length) {
  switch (storage) {
    case FieldStorage::FoxDateTime:
    case FieldStorage::SortableInteger:
    case FieldStorage::SortableDouble:
    case FieldStorage::SortableTimestamp:
    case FieldStorage::BinaryMemoBlock:
      // FoxPro leaves blanks in an empty date-time that was never set, too.
      return AllZero(bytes, length) || (storage == FieldStorage::FoxDateTime && length >= 8 &&
                                        std::memcmp(bytes, "        ", 8) == 0);
    default:
      return false;
  }
}

Variant BinaryFieldVariant(FieldStorage storage, const std::uint8_t* bytes, std::size_t length) {
  switch (storage) {
    case FieldStorage::LittleEndianInteger:
      if (length < 4) break;
      return Variant(static_cast<std::int32_t>(Le32(bytes)));
    case FieldStorage::LittleEndianDouble:
      if (length < 8) break;
      return Variant(BitsToDouble(Le64(bytes)));
    case FieldStorage::Currency:
      if (length < 8) break;
      return Variant::Currency(static_cast<std::int64_t>(Le64(bytes)));
    case FieldStorage::FoxDateTime:
      if (length < 8) break;
      return Variant::Date(FoxDateTime(bytes));
    case FieldStorage::SortableInteger: {
      if (length < 4) break;
      std::uint32_t bits = static_cast<std::uint32_t>(bytes[0]) << 24 |
                           static_cast<std::uint32_t>(bytes[1]) << 16 |
                           static_cast<std::uint32_t>(bytes[2]) << 8 | bytes[3];
      return Variant(static_cast<std::int32_t>(bits ^ 0x80000000U));
    }
    case FieldStorage::SortableDouble:
      if (length < 8) break;
      return Variant(SortableDouble(bytes));
    case FieldStorage::SortableTimestamp:
      if (length < 8) break;
      return Variant::Date((SortableDouble(bytes) - kTimestampMsToPlatformZero) / 86400000.0);
    case FieldStorage::BinaryMemoBlock:
      return Variant(BinaryMemoBlock(bytes, length));
    case FieldStorage::VarChar:
    case FieldStorage::VarBinary:
    case FieldStorage::Text:
      return Variant(std::string(reinterpret_cast<const char*>(bytes), length));
  }
  return Variant::Null();
}

bool DecodeBinaryField(FieldStorage storage, TFieldType type, const std::uint8_t* bytes,
                       std::size_t length, void* destination) {
  Variant value = BinaryFieldVariant(storage, bytes, length);
  if (value.IsNull()) return false;
  switch (type) {
    case TFieldType::ftInteger:
      if (!value.IsInteger()) return false;
      *static_cast<std::int32_t*>(destination) = value.IntegerValue();
      return true;
    case TFieldType::ftFloat:
      if (value.IsInteger()) {
        *static_cast<double*>(destination) = value.IntegerValue();
        return true;
      }
      if (value.Kind() != VariantKind::Real) return false;
      *static_cast<double*>(destination) = value.RealValue();
      return true;
    case TFieldType::ftCurrency:
      if (!value.IsCurrency()) return false;
      *static_cast<std::int64_t*>(destination) = value.CurrencyValue();
      return true;
    case TFieldType::ftDateTime:
      if (!value.IsDate()) return false;
      *static_cast<double*>(destination) = value.RealValue();
      return true;
    default:
      return false;
  }
}

std::int32_t BinaryMemoBlock(const std::uint8_t* bytes, std::size_t length) {
  if (length < 4) return 0;
  std::int32_t block = static_cast<std::int32_t>(Le32(bytes));
  return block < 0 ? 0 : block;
}

void PutBinaryMemoBlock(std::uint8_t* bytes, std::size_t length, std::int32_t block) {
  if (length < 4) return;
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<std::uint8_t>(block >> (8 * i));
  std::memset(bytes + 4, 0, length - 4);
}

}  // namespace tavlo
