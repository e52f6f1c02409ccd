// The views of a field value at record-buffer level: TextValue (the text the grid, forms and
// reports show and accept), the display text and VariantValue, with the character-field
// translation OEM <-> ANSI, the regional decimal separator and short date format, and the
// failure messages of a rejected value. The cursor's field objects are thin wrappers over
// these. A failed write leaves the record buffer unchanged. Memo values need the memo file
// and are handled by the cursor; only their display text is here.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "dbf/dbffile.h"
#include "value/value.h"

namespace tavlo {

// The field fieldIndex (0-based) of a record buffer of file. fieldName is the name used in
// messages (the field definition's name).
struct FieldSlot {
  const TDbfFile& file;
  int fieldIndex;
  const std::string& fieldName;
  const TMyFieldInfo& Info() const { return file.FieldInfo(fieldIndex); }
};

bool FieldIsNull(const FieldSlot& slot, const std::uint8_t* record);
void ClearField(const FieldSlot& slot, std::uint8_t* record);  // all spaces

// TextValue. Null is the empty text. Strings OEM->ANSI; whole numbers as digits; floats in
// the general format (15 significant digits, regional separator); "True"/"False"; dates in
// the short date format (an invalid stored date shows zero year, month and day). Memo
// fields give their block number text here; the cursor supplies the memo text.
std::string FieldTextValue(const FieldSlot& slot, const std::uint8_t* record);
// The display text: as TextValue except for memo fields ("(MEMO)" / "(Memo)").
std::string FieldDisplayText(const FieldSlot& slot, const std::uint8_t* record);
// "(MEMO)" for a memo that is not null, "(Memo)" otherwise.
std::string MemoDisplayText(bool isNull);
// "(BLOB)" / "(Blob)" likewise for the binary memos (FoxPro G P W, dBase 7 B G).
std::string BlobDisplayText(bool isNull);

// Sets TextValue: empty text makes the field null; otherwise parsed per type with the
// messages "'%s' is not a valid integer value for field '%s'", the range message, "'%s' is
// not a valid floating point value for field '%s'", "'%s' is not a valid boolean value for
// field '%s'" and EConvertError "'%s' is not a valid date". Not for memo fields (asserted).
void SetFieldTextValue(const FieldSlot& slot, std::uint8_t* record, const std::string& text);

// Typed setters (what the field objects' AsInteger, AsFloat, ... do); range-checked.
void SetFieldString(const FieldSlot& slot, std::uint8_t* record, const std::string& ansiText);
void SetFieldInteger(const FieldSlot& slot, std::uint8_t* record, std::int64_t value);
void SetFieldFloat(const FieldSlot& slot, std::uint8_t* record, double value);
void SetFieldBoolean(const FieldSlot& slot, std::uint8_t* record, bool value);
// dateTime is a platform day number (0 = 1899-12-30); the time of day is dropped.
void SetFieldDate(const FieldSlot& slot, std::uint8_t* record, double dateTime);

// VariantValue: Null for a null field; String, Integer (Real for a large integer beyond 32
// bits), Real, Boolean or Date. Memo fields give their block number text (see above).
Variant FieldVariantValue(const FieldSlot& slot, const std::uint8_t* record);
// The same value written into out, reusing out's text storage for a character field.
void FieldVariantValueInto(const FieldSlot& slot, const std::uint8_t* record, Variant& out);
// Null makes the field null; anything else is converted to the field's type and stored by
// the typed setter; "Invalid value for field '%s'" when it does not convert.
void SetFieldVariantValue(const FieldSlot& slot, std::uint8_t* record, const Variant& value);

// Text-level pieces, shared with the cursor.
// The boolean text rule: a prefix of "False" or "True" ignoring case; false when neither.
bool ParseBooleanText(const std::string& text, bool& value);
// The display text of a date field's trimmed stored text: its day in the regional short date
// format, or, when the text is no calendar date, the stored text itself (control bytes as
// '?'), so that a damaged date is seen as it is and never as some other date. A text of zeros
// only, which several programs write for no date, shows nothing.
std::string DateDisplayText(std::string_view stored);
// The text of a valid native day number in the regional short date format.
std::string DayDisplayText(std::int32_t dayNumber);
// "%g" as the system formats it: up to 15 significant digits.
std::string FormatGeneral(double value);

}  // namespace tavlo
