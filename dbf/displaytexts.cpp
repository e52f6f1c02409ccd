// Display texts of many records from their bytes; the reference is FieldDisplayText.
#include "dbf/displaytexts.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#include "dbf/fieldcodec.h"
#include "dbf/fieldconvert.h"
#include "dbf/fields.h"
#include "platform/codepage.h"
#include "platform/regional.h"

namespace tavlo {

namespace {

// About 360 years of days, 2 MB.
constexpr std::int32_t kDateWindow = 1 << 17;

// The display text of a stored decimal ("-12.50"), as FloatToText writes its value, made
// from the digits themselves: a decimal of at most fifteen significant digits reads back
// from its double as those digits. False for any other text (signs, exponents, more digits,
// values FloatToText writes in scientific form), which then takes the way through the value.
bool PlainDecimalText(std::string_view text, char separator, std::string& out) {
  std::size_t i = 0;
  const bool negative = !text.empty() && text[0] == '-';
  if (negative) ++i;
  char digits[32];
  int count = 0;
  int exponent = 0;  // the value is 0.digits times ten to this
  bool point = false, any = false, leading = true;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '.') {
      if (point) return false;
      point = true;
      continue;
    }
    if (c < '0' || c > '9') return false;
    any = true;
    if (leading && c == '0') {
      if (point) --exponent;
      continue;
    }
    leading = false;
    if (count == static_cast<int>(sizeof digits)) return false;
    digits[count++] = c;
    if (!point) ++exponent;
  }
  if (!any) return false;
  while (count > 0 && digits[count - 1] == '0') --count;
  if (count == 0) {
    out += '0';
    return true;
  }
  if (count > 15 || exponent > 15 || exponent < -3) return false;
  if (negative) out += '-';
  if (exponent <= 0) {
    out += '0';
    out += separator;
    out.append(static_cast<std::size_t>(-exponent), '0');
    out.append(digits, static_cast<std::size_t>(count));
  } else if (count <= exponent) {
    out.append(digits, static_cast<std::size_t>(count));
    out.append(static_cast<std::size_t>(exponent - count), '0');
  } else {
    out.append(digits, static_cast<std::size_t>(exponent));
    out += separator;
    out.append(digits + exponent, static_cast<std::size_t>(count - exponent));
  }
  return true;
}

}  // namespace

TDisplayTexts::TDisplayTexts(TDbf& table) : table_(table), layout_(table.Layout()) {
  if (table.DbfFile() == nullptr || layout_.Columns() == 0) return;  // closed: no columns
  if (const auto* table = layout_.ByteTable()) {
    toAnsi_ = *table;
    byteTable_ = true;
  }
  for (int c = 0; c < table.FieldCount(); ++c) {
    columns_.push_back(layout_.Column(table.Fields(c).FieldNo() - 1));
  }
  scratch_ = table.NewRecordBuffer();
}

void TDisplayTexts::Append(int columnIndex, const std::uint8_t* record, std::string& out) {
  const TColumn& column = columns_[static_cast<std::size_t>(columnIndex)];
  // Fields with null flags have views of their own.
  if (column.nullable) {
    AppendGeneral(columnIndex, record, out);
    return;
  }
  const std::string_view text = layout_.Text(column, record);
  switch (column.reading) {
    case FieldReading::String: {
      if (byteTable_) {
        const auto& toAnsi = toAnsi_;
        const std::size_t at = out.size();
        out.resize(at + text.size());
        for (std::size_t i = 0; i < text.size(); ++i) {
          out[at + i] = static_cast<char>(toAnsi[static_cast<unsigned char>(text[i])]);
        }
      } else if (IsAsciiText(text)) {
        out += text;
      } else {
        out += table_.DbfFile()->TextToAnsi(text);
      }
      return;
    }
    case FieldReading::Whole: {
      std::int64_t value = 0;
      if (!TColumnLayout::Whole(text, value)) return;
      char digits[24];
      out.append(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
      return;
    }
    case FieldReading::Float:
      if (!text.empty() && !PlainDecimalText(text, Regional().decimalSeparator, out)) {
        out += FloatToText(TColumnLayout::Real(text));
      }
      return;
    case FieldReading::Logical: {
      const TLogical flag = TColumnLayout::Logical(text);
      if (flag != TLogical::Null) out += flag == TLogical::True ? "True" : "False";
      return;
    }
    case FieldReading::Date: {
      if (text.empty()) return;
      const std::int32_t day = TColumnLayout::Day(text);
      if (day <= 0) {  // not a date: shown as stored
        out += DateDisplayText(text);
        return;
      }
      if (dates_.empty()) {
        dates_.resize(kDateWindow);
        firstDay_ = std::max(day, kDateWindow / 2) - kDateWindow / 2;
      }
      const std::int32_t slot = day - firstDay_;
      if (slot < 0 || slot >= kDateWindow) {
        out += DayDisplayText(day);
        return;
      }
      DateText& date = dates_[static_cast<std::size_t>(slot)];
      if (date.length == 0xFF) {
        const std::string shown = DayDisplayText(day);
        if (shown.size() > sizeof date.text) {
          out += shown;
          return;
        }
        std::memcpy(date.text, shown.data(), shown.size());
        date.length = static_cast<std::uint8_t>(shown.size());
      }
      out.append(date.text, date.length);
      return;
    }
    case FieldReading::Memo:
      out += MemoDisplayText(text.empty());
      return;
    default:  // binary layouts, blobs, types kept as stored text
      AppendGeneral(columnIndex, record, out);
      return;
  }
}

void TDisplayTexts::AppendGeneral(int column, const std::uint8_t* record, std::string& out) {
  std::memcpy(scratch_.data() + TDbf::kRecordOffset, record,
              static_cast<std::size_t>(table_.DbfFile()->RecordSize()));
  out += table_.Fields(column).DisplayTextIn(scratch_);
}

}  // namespace tavlo
