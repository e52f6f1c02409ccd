// The text, display and variant views of a field in a record buffer, and the setters that
// parse, range-check and encode a value, leaving the buffer unchanged when they refuse it.
#include "dbf/fieldconvert.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdio>
#include <limits>

#include "dbf/binaryfields.h"
#include "dbf/dbferrors.h"
#include "dbf/fieldcodec.h"
#include "platform/asciitext.h"
#include "platform/codepage.h"
#include "platform/regional.h"
#include "text/trim.h"

namespace tavlo {

namespace {

std::string_view FieldBytes(const FieldSlot& slot, const std::uint8_t* record) {
  const TMyFieldInfo& info = slot.Info();
  return TrimFieldBytes(record + info.offset, static_cast<std::size_t>(info.available));
}

// Whether text is word or a beginning of it ("" counts), without regard to ASCII case.
bool EqualsPrefixNoCase(const std::string& text, std::string_view word) {
  return text.size() <= word.size() && EqualNoCaseAscii(text, word.substr(0, text.size()));
}

// Fields whose value is not plain trimmed text: binary layouts, V/Q fields, null flags.
bool NeedsBinaryView(const FieldSlot& slot) {
  return slot.Info().storage != FieldStorage::Text || slot.Info().nullBit >= 0;
}

// A value as the text views show it, for the types only binary layouts produce.
std::string BinaryText(const TDbfFile& file, const TMyFieldInfo& info, const Variant& value,
                       std::string_view bytes) {
  switch (info.storage) {
    case FieldStorage::VarChar:
      return file.TextToAnsi(bytes);
    case FieldStorage::VarBinary:
      return std::string(bytes);
    default:
      break;
  }
  if (value.IsNull()) return {};
  if (value.IsInteger()) return std::to_string(value.IntegerValue());
  if (value.IsDate()) {
    int year = 0, month = 0, day = 0;
    DecodeDate(value.RealValue(), year, month, day);
    if (year != 0) return DateTimeToText(value.RealValue());
    // Beyond the calendar (years 1 to 9999): the stored bytes, never a made-up zero date.
    std::string hex = "0x";
    char pair[3];
    for (unsigned char c : bytes) {
      std::snprintf(pair, sizeof pair, "%02X", c);
      hex += pair;
    }
    return hex;
  }
  if (value.Kind() == VariantKind::Real) return FloatToText(value.RealValue());
  return value.ToText();
}

void RequireType(const FieldSlot& slot, std::initializer_list<TFieldType> types) {
  [[maybe_unused]] bool ok = false;
  for (TFieldType type : types) ok = ok || slot.Info().type == type;
  assert(ok && "setter used on a field of another type");
}

}  // namespace

std::string FormatGeneral(double value) {
  return FloatToText(value);
}

bool ParseBooleanText(const std::string& text, bool& value) {
  if (text.empty()) return false;
  if (EqualsPrefixNoCase(text, "False")) {
    value = false;
    return true;
  }
  if (EqualsPrefixNoCase(text, "True")) {
    value = true;
    return true;
  }
  return false;
}

std::string DayDisplayText(std::int32_t dayNumber) {
  return DateToText(DayNumberToDateTime(dayNumber));
}

std::string DateDisplayText(std::string_view stored) {
  const std::int32_t dayNumber = DecodeDbfDate(stored);
  int year = 0, month = 0, day = 0;
  if (DateOfDayNumber(dayNumber, year, month, day)) return DayDisplayText(dayNumber);
  if (std::all_of(stored.begin(), stored.end(), [](char c) { return c == '0'; })) return {};
  std::string shown(stored);
  for (char& c : shown)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  return shown;
}

std::string MemoDisplayText(bool isNull) {
  return isNull ? "(Memo)" : "(MEMO)";
}

std::string BlobDisplayText(bool isNull) {
  return isNull ? "(Blob)" : "(BLOB)";
}

bool FieldIsNull(const FieldSlot& slot, const std::uint8_t* record) {
  if (NeedsBinaryView(slot)) return slot.file.FieldIsNull(slot.fieldIndex, record);
  std::string_view text = FieldBytes(slot, record);
  return text.empty() || (slot.Info().type == TFieldType::ftBoolean && text[0] == '?');
}

void ClearField(const FieldSlot& slot, std::uint8_t* record) {
  slot.file.EncodeField(slot.fieldIndex, slot.Info().type, record, nullptr);
}

std::string FieldTextValue(const FieldSlot& slot, const std::uint8_t* record) {
  const TMyFieldInfo& info = slot.Info();
  if (NeedsBinaryView(slot)) {
    if (slot.file.FieldIsNull(slot.fieldIndex, record)) return {};
    if (info.storage != FieldStorage::Text) {
      std::string_view bytes = slot.file.FieldValueBytes(slot.fieldIndex, record);
      Variant value = BinaryFieldVariant(info.storage, record + info.offset,
                                         static_cast<std::size_t>(info.available));
      return BinaryText(slot.file, info, value, bytes);
    }
  }
  std::string_view text = FieldBytes(slot, record);
  if (text.empty()) return {};
  switch (info.type) {
    case TFieldType::ftSmallint:
    case TFieldType::ftInteger:
    case TFieldType::ftLargeint: {
      std::int64_t value = 0;
      // The exact stored number, also when it exceeds the field type's range.
      if (!slot.file.DecodeWholeNumber(slot.fieldIndex, record, value)) return {};
      return std::to_string(value);
    }
    case TFieldType::ftFloat:
      return FloatToText(DbfTextToFloat(text));
    case TFieldType::ftBoolean:
      if (text[0] == '?') return {};
      return LogicalIsTrue(text[0]) ? "True" : "False";
    case TFieldType::ftDate:
      return DateDisplayText(text);
    case TFieldType::ftMemo:
    case TFieldType::ftBlob:
      return std::string(text);
    default:
      return slot.file.TextToAnsi(text);
  }
}

std::string FieldDisplayText(const FieldSlot& slot, const std::uint8_t* record) {
  if (slot.Info().type == TFieldType::ftMemo) return MemoDisplayText(FieldIsNull(slot, record));
  if (slot.Info().type == TFieldType::ftBlob) return BlobDisplayText(FieldIsNull(slot, record));
  return FieldTextValue(slot, record);
}

void SetFieldString(const FieldSlot& slot, std::uint8_t* record, const std::string& ansiText) {
  const TMyFieldInfo& info = slot.Info();
  std::string text = slot.file.TextFromAnsi(ansiText, static_cast<std::size_t>(info.length));
  slot.file.EncodeField(slot.fieldIndex, info.type, record, text.c_str());
}

void SetFieldInteger(const FieldSlot& slot, std::uint8_t* record, std::int64_t value) {
  RequireType(slot, {TFieldType::ftSmallint, TFieldType::ftInteger, TFieldType::ftLargeint});
  const TMyFieldInfo& info = slot.Info();
  auto check = [&](std::int64_t minimum, std::int64_t maximum) {
    if (value < minimum || value > maximum) {
      throw EDatabaseError::OutOfRange(static_cast<double>(value), slot.fieldName,
                                       static_cast<double>(minimum), static_cast<double>(maximum));
    }
  };
  switch (info.type) {
    case TFieldType::ftSmallint: {
      check(std::numeric_limits<std::int16_t>::min(), std::numeric_limits<std::int16_t>::max());
      std::int16_t native = static_cast<std::int16_t>(value);
      slot.file.EncodeField(slot.fieldIndex, info.type, record, &native);
      break;
    }
    case TFieldType::ftInteger: {
      check(std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max());
      std::int32_t native = static_cast<std::int32_t>(value);
      slot.file.EncodeField(slot.fieldIndex, info.type, record, &native);
      break;
    }
    default:
      slot.file.EncodeField(slot.fieldIndex, info.type, record, &value);
      break;
  }
}

void SetFieldFloat(const FieldSlot& slot, std::uint8_t* record, double value) {
  RequireType(slot, {TFieldType::ftFloat});
  // "NAN" or "INF" in the file would read back as 0.
  if (!std::isfinite(value)) {
    throw EDatabaseError::InvalidFloatValue(std::isnan(value) ? "NAN" : "INF", slot.fieldName);
  }
  slot.file.EncodeField(slot.fieldIndex, TFieldType::ftFloat, record, &value);
}

void SetFieldBoolean(const FieldSlot& slot, std::uint8_t* record, bool value) {
  RequireType(slot, {TFieldType::ftBoolean});
  std::int16_t native = value ? 1 : 0;
  slot.file.EncodeField(slot.fieldIndex, TFieldType::ftBoolean, record, &native);
}

void SetFieldDate(const FieldSlot& slot, std::uint8_t* record, double dateTime) {
  RequireType(slot, {TFieldType::ftDate});
  std::int32_t dayNumber = DateTimeToDayNumber(dateTime);
  if (dayNumber == 0) throw EDatabaseError::InvalidVariant(slot.fieldName);
  slot.file.EncodeField(slot.fieldIndex, TFieldType::ftDate, record, &dayNumber);
}

void SetFieldTextValue(const FieldSlot& slot, std::uint8_t* record, const std::string& text) {
  const TMyFieldInfo& info = slot.Info();
  if (!info.writable) throw EDatabaseError::ReadOnlyField(slot.fieldName);
  assert(info.type != TFieldType::ftMemo && "memo text goes through the memo file");
  if (text.empty()) {
    ClearField(slot, record);
    return;
  }
  switch (info.type) {
    case TFieldType::ftSmallint:
    case TFieldType::ftInteger:
    case TFieldType::ftLargeint: {
      std::int64_t value = 0;
      bool ok = ParseWholeNumber(TrimAnyOf(text, " \t"), value) == WholeNumberParse::Ok;
      // Smallint and integer fields read text as a 32-bit number first, then check range.
      if (ok && info.type != TFieldType::ftLargeint) {
        ok = value >= std::numeric_limits<std::int32_t>::min() &&
             value <= std::numeric_limits<std::int32_t>::max();
      }
      if (!ok) throw EDatabaseError::InvalidIntegerValue(text, slot.fieldName);
      SetFieldInteger(slot, record, value);
      break;
    }
    case TFieldType::ftFloat: {
      double value = 0;
      if (!TextToFloat(text, value)) throw EDatabaseError::InvalidFloatValue(text, slot.fieldName);
      SetFieldFloat(slot, record, value);
      break;
    }
    case TFieldType::ftBoolean: {
      bool value = false;
      if (!ParseBooleanText(text, value)) {
        throw EDatabaseError::InvalidBooleanValue(text, slot.fieldName);
      }
      SetFieldBoolean(slot, record, value);
      break;
    }
    case TFieldType::ftDate:
      SetFieldDate(slot, record, TextToDateTimeOrThrow(text));
      break;
    default:
      SetFieldString(slot, record, text);
      break;
  }
}

void FieldVariantValueInto(const FieldSlot& slot, const std::uint8_t* record, Variant& out) {
  const TMyFieldInfo& info = slot.Info();
  if (NeedsBinaryView(slot)) {
    if (slot.file.FieldIsNull(slot.fieldIndex, record)) {
      out = Variant::Null();
      return;
    }
    if (info.storage == FieldStorage::VarChar || info.storage == FieldStorage::VarBinary) {
      std::string_view bytes = slot.file.FieldValueBytes(slot.fieldIndex, record);
      out = Variant(BinaryText(slot.file, info, Variant::Null(), bytes));
      return;
    }
    if (info.storage != FieldStorage::Text) {
      out = BinaryFieldVariant(info.storage, record + info.offset,
                               static_cast<std::size_t>(info.available));
      if (info.storage == FieldStorage::BinaryMemoBlock) out = Variant(out.ToText());
      return;
    }
  }
  std::string_view text = FieldBytes(slot, record);
  if (text.empty()) {
    out = Variant::Null();
    return;
  }
  switch (info.type) {
    case TFieldType::ftSmallint:
    case TFieldType::ftInteger:
    case TFieldType::ftLargeint: {
      std::int64_t value = 0;
      if (!slot.file.DecodeWholeNumber(slot.fieldIndex, record, value)) {
        out = Variant::Null();
      } else if (value >= std::numeric_limits<std::int32_t>::min() &&
                 value <= std::numeric_limits<std::int32_t>::max()) {
        out = Variant(static_cast<std::int32_t>(value));
      } else {
        out = Variant(static_cast<double>(value));
      }
      return;
    }
    case TFieldType::ftFloat:
      out = Variant(DbfTextToFloat(text));
      return;
    case TFieldType::ftBoolean:
      if (text[0] == '?') {
        out = Variant::Null();
      } else {
        out = Variant(LogicalIsTrue(text[0]));
      }
      return;
    case TFieldType::ftDate: {
      std::int32_t dayNumber = DecodeDbfDate(text);
      // An invalid stored date has no date value a script could compute with.
      out = dayNumber == 0 ? Variant::Null() : Variant::Date(DayNumberToDateTime(dayNumber));
      return;
    }
    case TFieldType::ftMemo:
    case TFieldType::ftBlob:
      out.AssignString(text);
      return;
    default: {
      // A filter reads a field for every record: translate on the stack and copy once into
      // the value's own storage.
      char ansi[256];
      if (!slot.file.UsesSessionOemTranslation()) {
        out = Variant(slot.file.TextToAnsi(text));
        return;
      }
      if (text.size() > sizeof ansi) {
        out = Variant(CurrentCodePages().OemToAnsi(std::string(text)));
        return;
      }
      CurrentCodePages().OemToAnsi(text.data(), ansi, text.size());
      out.AssignString(std::string_view(ansi, text.size()));
      return;
    }
  }
}

Variant FieldVariantValue(const FieldSlot& slot, const std::uint8_t* record) {
  Variant value;
  FieldVariantValueInto(slot, record, value);
  return value;
}

void SetFieldVariantValue(const FieldSlot& slot, std::uint8_t* record, const Variant& value) {
  if (value.IsNull() || value.IsEmpty()) {
    ClearField(slot, record);
    return;
  }
  const TMyFieldInfo& info = slot.Info();
  assert(info.type != TFieldType::ftMemo && "memo text goes through the memo file");
  if (!info.writable) throw EDatabaseError::ReadOnlyField(slot.fieldName);
  try {
    switch (info.type) {
      case TFieldType::ftSmallint:
      case TFieldType::ftInteger:
      case TFieldType::ftLargeint: {
        std::int64_t whole = 0;
        if (value.IsInteger()) {
          whole = value.IntegerValue();
        } else if (value.IsString()) {
          if (ParseWholeNumber(TrimAnyOf(value.StringValue(), " \t"), whole) !=
              WholeNumberParse::Ok) {
            double real = value.ToReal();
            if (!std::isfinite(real) || std::fabs(real) > 9.2e18) throw EVariantTypeCastError();
            whole = static_cast<std::int64_t>(std::nearbyint(real));
          }
        } else if (value.IsBoolean()) {
          whole = value.ToInteger();
        } else {
          double real = value.ToReal();
          if (!std::isfinite(real) || std::fabs(real) > 9.2e18) throw EVariantTypeCastError();
          whole = static_cast<std::int64_t>(std::nearbyint(real));
        }
        SetFieldInteger(slot, record, whole);
        break;
      }
      case TFieldType::ftFloat:
        SetFieldFloat(slot, record, value.ToReal());
        break;
      case TFieldType::ftBoolean:
        SetFieldBoolean(slot, record, value.ToBoolean());
        break;
      case TFieldType::ftDate:
        SetFieldDate(slot, record, value.ToDate());
        break;
      default:
        SetFieldString(slot, record, value.ToText());
        break;
    }
  } catch (const EVariantError&) {
    throw EDatabaseError::InvalidVariant(slot.fieldName);
  } catch (const EConvertError&) {
    throw EDatabaseError::InvalidVariant(slot.fieldName);
  }
}

}  // namespace tavlo
