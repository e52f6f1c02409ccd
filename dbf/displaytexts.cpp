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

TDisplayTexts::Kind KindOfField(const TMyFieldInfo& info) {
  using Kind = TDisplayTexts::Kind;
  // Binary layouts and fields with null flags have views of their own.
  if (info.storage != FieldStorage::Text || info.nullBit >= 0) return Kind::General;
  switch (info.type) {
    case TFieldType::ftString:
      return Kind::Text;
    case TFieldType::ftSmallint:
    case TFieldType::ftInteger:
    case TFieldType::ftLargeint:
      return Kind::Whole;
    case TFieldType::ftFloat:
      return Kind::Float;
    case TFieldType::ftBoolean:
      return Kind::Logical;
    case TFieldType::ftDate:
      return Kind::Date;
    case TFieldType::ftMemo:
      return Kind::Memo;
    default:
      return Kind::General;
  }
}

bool IsAscii(std::string_view text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

}  // namespace

TDisplayTexts::TDisplayTexts(TDbf& table) : table_(table) {
  TDbfFile& file = *table.DbfFile();
  std::array<unsigned char, 256> translation{};
  const bool byteTable = file.TextToAnsiTable(translation);
  for (int c = 0; c < table.FieldCount(); ++c) {
    Column column;
    column.fieldIndex = table.Fields(c).FieldNo() - 1;
    const TMyFieldInfo& info = file.FieldInfo(column.fieldIndex);
    column.kind = KindOfField(info);
    column.offset = info.offset;
    column.length = info.available;
    column.byteTable = byteTable;
    column.toAnsi = translation;
    columns_.push_back(column);
  }
  scratch_ = table.NewRecordBuffer();
}

void TDisplayTexts::Append(int columnIndex, const std::uint8_t* record, std::string& out) {
  const Column& column = columns_[static_cast<std::size_t>(columnIndex)];
  const std::string_view text =
      column.kind == Kind::General
          ? std::string_view()
          : TrimFieldBytes(record + column.offset, static_cast<std::size_t>(column.length));
  switch (column.kind) {
    case Kind::Text: {
      if (column.byteTable) {
        const std::size_t at = out.size();
        out.resize(at + text.size());
        for (std::size_t i = 0; i < text.size(); ++i) {
          out[at + i] = static_cast<char>(column.toAnsi[static_cast<unsigned char>(text[i])]);
        }
      } else if (IsAscii(text)) {
        out += text;
      } else {
        out += table_.DbfFile()->TextToAnsi(text);
      }
      return;
    }
    case Kind::Whole: {
      std::int64_t value = 0;
      if (!table_.DbfFile()->DecodeWholeNumber(column.fieldIndex, record, value)) return;
      char digits[24];
      out.append(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
      return;
    }
    case Kind::Float:
      if (!text.empty()) out += FloatToText(DbfTextToFloat(text));
      return;
    case Kind::Logical:
      if (!text.empty() && text[0] != '?') out += LogicalIsTrue(text[0]) ? "True" : "False";
      return;
    case Kind::Date: {
      if (text.empty()) return;
      const std::int32_t day = DecodeDbfDate(text);
      if (day <= 0) {  // not a date: shown as zeros
        out += DateDisplayText(day);
        return;
      }
      if (dates_.empty()) {
        dates_.resize(kDateWindow);
        firstDay_ = std::max(day, kDateWindow / 2) - kDateWindow / 2;
      }
      const std::int32_t slot = day - firstDay_;
      if (slot < 0 || slot >= kDateWindow) {
        out += DateDisplayText(day);
        return;
      }
      DateText& date = dates_[static_cast<std::size_t>(slot)];
      if (date.length == 0xFF) {
        const std::string shown = DateDisplayText(day);
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
    case Kind::Memo:
      out += MemoDisplayText(text.empty());
      return;
    case Kind::General:
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
