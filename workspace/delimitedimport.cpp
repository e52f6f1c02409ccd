// Appending delimited text to a table: the header row matched to fields, and each row either
// stored with every value whole or refused with its line and the reason.
#include "workspace/delimitedtext.h"
#include "dbf/dbferrors.h"
#include "dbf/fieldconvert.h"
#include "dbf/fields.h"
#include "dbf/tdbf.h"
#include "platform/asciitext.h"
#include "platform/codepage.h"
#include "platform/errors.h"
#include "platform/regional.h"
#include "platform/textcodec.h"
#include "text/qelstrings.h"
#include "text/trim.h"
#include "value/value.h"

namespace tavlo {

namespace {

const char* const kNothingAppended = "; nothing was appended";

void AppendUtf8(std::string& out, std::uint32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | code >> 6);
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | code >> 12);
    out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | code >> 18);
    out += static_cast<char>(0x80 | (code >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// Text with a UTF-16 byte-order mark as UTF-8 (what spreadsheets save as "Unicode text");
// any other text as it is.
std::string AsUtf8(const std::string& text) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  if (text.size() >= 4 && byte(0) == 0xFF && byte(1) == 0xFE && byte(2) == 0 && byte(3) == 0)
    throw EDatabaseError("The file is UTF-32 text; save it as UTF-8" +
                         std::string(kNothingAppended));
  if (text.size() < 2) return text;
  const bool little = byte(0) == 0xFF && byte(1) == 0xFE;
  const bool big = byte(0) == 0xFE && byte(1) == 0xFF;
  if (!little && !big) return text;
  if (text.size() % 2 != 0)
    throw EDatabaseError("The file is UTF-16 text of an odd number of bytes" +
                         std::string(kNothingAppended));
  auto unit = [&](std::size_t i) -> std::uint32_t {
    return little ? byte(i) | byte(i + 1) << 8 : byte(i) << 8 | byte(i + 1);
  };
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 2; i < text.size(); i += 2) {
    std::uint32_t code = unit(i);
    if (code >= 0xD800 && code < 0xE000) {
      const bool paired =
          code < 0xDC00 && i + 3 < text.size() && unit(i + 2) >= 0xDC00 && unit(i + 2) < 0xE000;
      if (!paired)
        throw EDatabaseError("The file is not valid UTF-16: a lone surrogate at byte " +
                             std::to_string(i) + std::string(kNothingAppended));
      code = 0x10000 + ((code - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
      i += 2;
    }
    AppendUtf8(out, code);
  }
  return out;
}

bool IsUtf8(const std::string& text) {
  std::size_t i = 0;
  const std::size_t n = text.size();
  while (i < n) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      ++i;
      continue;
    }
    int follow = 0;
    std::uint32_t code = 0, least = 0;
    if (c >= 0xC2 && c <= 0xDF) {
      follow = 1, code = c & 0x1F, least = 0x80;
    } else if (c >= 0xE0 && c <= 0xEF) {
      follow = 2, code = c & 0x0F, least = 0x800;
    } else if (c >= 0xF0 && c <= 0xF4) {
      follow = 3, code = c & 0x07, least = 0x10000;
    } else {
      return false;
    }
    if (i + static_cast<std::size_t>(follow) >= n) return false;
    for (int k = 1; k <= follow; ++k) {
      const unsigned char f = static_cast<unsigned char>(text[i + k]);
      if ((f & 0xC0) != 0x80) return false;
      code = code << 6 | (f & 0x3F);
    }
    if (code < least || code > 0x10FFFF || (code >= 0xD800 && code < 0xE000)) return false;
    i += static_cast<std::size_t>(follow) + 1;
  }
  return true;
}

// A value as messages show it: quoted, and cut after 40 bytes so that a 10 MB value does not
// make a 10 MB message.
std::string Shown(const std::string& ansi) {
  constexpr std::size_t kLimit = 40;
  if (ansi.size() <= kLimit) return "'" + ansi + "'";
  return "'" + ansi.substr(0, kLimit) + "...' (" + std::to_string(ansi.size()) + " characters)";
}

bool ParseIsoDate(const std::string& text, int& year, int& month, int& day) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return false;
  for (std::size_t i : {0, 1, 2, 3, 5, 6, 8, 9})
    if (text[i] < '0' || text[i] > '9') return false;
  year = std::stoi(text.substr(0, 4));
  month = std::stoi(text.substr(5, 2));
  day = std::stoi(text.substr(8, 2));
  return true;
}

// One value of a row: as the file gave it (UTF-8) and in the program's ANSI page.
struct Value {
  std::string utf8, ansi;
};

// Whether the bytes the table would store for the value mean its characters. Between two
// single-byte pages a character without counterpart keeps its byte (a Western letter
// becomes a Cyrillic one), so the test reads the stored bytes back as UTF-8 rather than
// through the ANSI page.
bool StoresAsGiven(const TDbfFile& file, const TextCodec& storedAsUtf8, const Value& value,
                   std::string& stored) {
  stored = file.TextFromAnsi(value.ansi, value.ansi.size() * 4 + 4);
  return storedAsUtf8.ToAnsi(stored) == value.utf8;
}

// Stores one value (not empty) in the field of the record being inserted, or raises with the
// reason the row is refused; a value is never stored changed.
void StoreValue(TDbf& dbf, TField& field, const Value& value, const TextCodec& storedAsUtf8) {
  TDbfFile& file = *dbf.DbfFile();
  const TMyFieldInfo& info = file.FieldInfo(field.FieldNo() - 1);
  const std::string& name = field.FieldName();
  const std::string& ansi = value.ansi;
  std::string stored;
  switch (field.DataType()) {
    case TFieldType::ftString: {
      // Characters the table's page lacks would be stored as others; a longer text would be
      // cut to the field.
      if (!StoresAsGiven(file, storedAsUtf8, value, stored))
        throw EDatabaseError(Shown(ansi) + " holds characters the table cannot store");
      if (TrimRightBlanks(stored).size() > static_cast<std::size_t>(info.length))
        throw EDatabaseError(Shown(ansi) + " is longer than field '" + name + "' holds (" +
                             std::to_string(info.length) + " characters)");
      field.SetTextValue(ansi);
      return;
    }
    case TFieldType::ftMemo:
      // A table that names no page keeps its memos in the program's page, untranslated.
      if (file.CodePage() != 0 && !StoresAsGiven(file, storedAsUtf8, value, stored))
        throw EDatabaseError(Shown(ansi) + " holds characters the table cannot store");
      // The memo file of a dBase III table ends a memo at this character.
      if (file.Level() == 0 && ansi.find('\x1A') != std::string::npos)
        throw EDatabaseError("the memo of field '" + name +
                             "' holds the character 0x1A, which ends a memo in this table");
      field.SetTextValue(ansi);
      return;
    case TFieldType::ftDate: {
      int year = 0, month = 0, day = 0;
      if (!ParseIsoDate(ansi, year, month, day)) break;
      if (!IsValidDate(year, month, day)) throw EConvertError("'" + ansi + "' is not a valid date");
      field.SetVariantValue(Variant::Date(EncodeDate(year, month, day)));
      return;
    }
    case TFieldType::ftFloat: {
      field.SetTextValue(ansi);
      // A fixed number of decimals rounds what has more.
      double given = 0;
      TextToFloat(ansi, given);
      const double kept = static_cast<TFloatField&>(field).AsFloat();
      if (FormatGeneral(kept) != FormatGeneral(given))
        throw EDatabaseError(Shown(ansi) + " has more decimals than field '" + name + "' holds (" +
                             std::to_string(info.decimals) + ")");
      return;
    }
    default:
      break;
  }
  field.SetTextValue(ansi);
}

struct Column {
  std::string name;           // as the header row gives it, in ANSI
  int field = -1;             // index into the cursor's fields, -1: not stored
  bool deletionFlag = false;  // the "_deleted" column of an export with deleted records
  std::string note;           // why it is not stored
  std::int64_t dropped = 0;   // values it held that were not stored
};

std::vector<Column> MatchHeader(TDbf& dbf, const TDelimitedRow& header) {
  const CodePages& pages = CurrentCodePages();
  if (header.blank)
    throw EDatabaseError("Line 1 is blank: the file must begin with a header row of field names" +
                         std::string(kNothingAppended));
  if (!header.problem.empty()) throw EDatabaseError("Line 1: " + header.problem + kNothingAppended);
  std::vector<Column> columns(header.values.size());
  bool any = false;
  bool hasDeletedField = false;
  for (int f = 0; f < dbf.FieldCount(); ++f)
    hasDeletedField = hasDeletedField || LowerAscii(dbf.Fields(f).FieldName()) == "_deleted";
  std::string unknown;
  for (std::size_t c = 0; c < header.values.size(); ++c) {
    const std::string& raw = header.values[c];
    if (raw.find('\0') != std::string::npos)
      throw EDatabaseError(
          "The header row holds NUL characters: the file looks like UTF-16 text without a "
          "byte-order mark; save it as UTF-8" +
          std::string(kNothingAppended));
    const std::string ansi(TrimControl(pages.Utf8ToAnsi(raw)));
    const std::string name = LowerAscii(ansi);
    Column& column = columns[c];
    column.name = ansi.empty() ? "column " + std::to_string(c + 1) : ansi;
    for (int f = 0; f < dbf.FieldCount(); ++f)
      if (LowerAscii(dbf.Fields(f).FieldName()) == name) column.field = f;
    if (column.field >= 0) {
      for (std::size_t earlier = 0; earlier < c; ++earlier)
        if (columns[earlier].field == column.field)
          throw EDatabaseError("Columns " + std::to_string(earlier + 1) + " and " +
                               std::to_string(c + 1) + " of the header row both name field '" +
                               dbf.Fields(column.field).FieldName() + "'" + kNothingAppended);
      any = true;
    } else if (name == "_deleted" && !hasDeletedField) {
      column.deletionFlag = true;
    } else if (name.empty()) {
      column.note = "Column " + std::to_string(c + 1) + " has no name; ignored";
    } else {
      column.note = "Column " + ansi + " is not a field of the table; ignored";
      unknown += (unknown.empty() ? "" : ", ") + ansi;
    }
  }
  if (!any)
    throw EDatabaseError("No column of the header row names a field of the table (" + unknown +
                         ")" + kNothingAppended);
  return columns;
}

// The reason a row cannot be stored as it stands, before any value is looked at.
std::string RowProblem(const TDelimitedRow& row, std::size_t columns) {
  if (!row.problem.empty()) return row.problem;
  if (row.values.size() != columns)
    return std::to_string(row.values.size()) + (row.values.size() == 1 ? " value" : " values") +
           " where the header row has " + std::to_string(columns) + " columns";
  return "";
}

// The row as ANSI values, one per column; raises for what no field can store.
std::vector<Value> RowValues(const TDelimitedRow& row, const std::vector<Column>& columns) {
  const CodePages& pages = CurrentCodePages();
  std::vector<Value> values(columns.size());
  for (std::size_t c = 0; c < columns.size(); ++c) {
    const std::string& value = row.values[c];
    if (value.empty() || (columns[c].field < 0 && !columns[c].deletionFlag)) continue;
    if (value.find('\0') != std::string::npos)
      throw EDatabaseError("the value of " + columns[c].name +
                           " holds a NUL character, which a table cannot store");
    if (!IsUtf8(value))
      throw EDatabaseError("the value of " + columns[c].name + " is not UTF-8 text");
    values[c].utf8 = value;
    values[c].ansi = pages.Utf8ToAnsi(value);
    // Characters the program's page cannot hold would come back as something else.
    if (pages.AnsiToUtf8(values[c].ansi) != value)
      throw EDatabaseError(Shown(values[c].ansi) + " holds characters the table cannot store");
  }
  return values;
}

// Appends the record of one row, memo values last so that a refused row leaves no memo.
void AppendRow(TDbf& dbf, const std::vector<Column>& columns, const std::vector<Value>& values,
               const TextCodec& storedAsUtf8) {
  bool deleted = false;
  for (std::size_t c = 0; c < columns.size(); ++c) {
    if (!columns[c].deletionFlag) continue;
    const std::string& flag = values[c].ansi;
    if (flag != "" && flag != "*")
      throw EDatabaseError(Shown(flag) + " in column _deleted is neither * nor empty");
    deleted = flag == "*";
  }
  dbf.Insert();
  try {
    for (int pass = 0; pass < 2; ++pass) {
      for (std::size_t c = 0; c < columns.size(); ++c) {
        if (columns[c].field < 0 || values[c].utf8.empty()) continue;
        TField& field = dbf.Fields(columns[c].field);
        if ((field.DataType() == TFieldType::ftMemo) == (pass == 0)) continue;
        StoreValue(dbf, field, values[c], storedAsUtf8);
      }
    }
    dbf.Post();
  } catch (...) {
    if (dbf.State() != TDataSetState::dsBrowse) dbf.Cancel();
    throw;
  }
  if (deleted) dbf.Delete();
}

}  // namespace

std::string TImportResult::Text() const {
  std::string text;
  for (const std::string& message : messages) text += message + "\n";
  text += std::to_string(appended) + (appended == 1 ? " record" : " records") + " appended, " +
          std::to_string(refused) + " refused\n";
  return text;
}

TImportResult ImportDelimited(TDbf& dbf, const std::string& text, const TDelimitedFormat& format) {
  dbf.CheckBrowseMode();
  dbf.CheckWritable();
  const std::string utf8 = AsUtf8(text);
  {
    // A quote never closed swallows every later line: no row after it can be told, so none
    // is appended.
    TDelimitedReader scan(utf8, format);
    TDelimitedRow row;
    while (scan.Next(row))
      if (row.unclosedQuote)
        throw EDatabaseError("Line " + std::to_string(row.line) +
                             ": a quoted value starts here and is never closed" + kNothingAppended);
  }
  TDelimitedReader reader(utf8, format);
  TDelimitedRow row;
  if (!reader.Next(row)) throw EDatabaseError("The file holds no header row");
  std::vector<Column> columns = MatchHeader(dbf, row);

  const int storedPage =
      dbf.DbfFile()->CodePage() != 0 ? dbf.DbfFile()->CodePage() : CurrentCodePages().OemCodePage();
  const TextCodec storedAsUtf8(storedPage, kUtf8CodePage);
  TImportResult result;
  std::vector<std::string> refusals;
  while (reader.Next(row)) {
    // A blank line is no row, except in a file of one column, where it is an empty value.
    if (row.blank && columns.size() > 1) continue;
    try {
      const std::string problem = RowProblem(row, columns.size());
      if (!problem.empty()) throw EDatabaseError(problem);
      AppendRow(dbf, columns, RowValues(row, columns), storedAsUtf8);
      ++result.appended;
      for (std::size_t c = 0; c < columns.size(); ++c)
        if (columns[c].field < 0 && !columns[c].deletionFlag && !row.values[c].empty())
          ++columns[c].dropped;
    } catch (const Exception& error) {
      ++result.refused;
      refusals.push_back("Line " + std::to_string(row.line) + ": " + error.what());
    }
  }
  for (const Column& column : columns) {
    if (column.note.empty()) continue;
    result.messages.push_back(
        column.note + (column.dropped == 0 ? std::string()
                                           : " (" + std::to_string(column.dropped) +
                                                 (column.dropped == 1 ? " value)" : " values)")));
  }
  result.messages.insert(result.messages.end(), refusals.begin(), refusals.end());
  return result;
}

}  // namespace tavlo
