// Delimited text out of a table (the export) and split into rows (the reader of the import).
#include "workspace/delimitedtext.h"

#include <cstdio>

#include "dbf/displaytexts.h"
#include "dbf/fieldcodec.h"
#include "dbf/fields.h"
#include "dbf/tdbf.h"
#include "platform/codepage.h"

namespace tavlo {

namespace {

void AddCsvValue(std::string& out, const std::string& value, char delimiter) {
  const char special[] = {delimiter, '"', '\r', '\n', '\0'};
  if (value.find_first_of(special) == std::string::npos) {
    out += value;
    return;
  }
  out += '"';
  for (char c : value) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

void AddTsvValue(std::string& out, const std::string& value) {
  for (char c : value) {
    switch (c) {
      case '\t':
        out += "\\t";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\\':
        out += "\\\\";
        break;
      default:
        out += c;
    }
  }
}

// The text a value is written with when the display text would not carry it: a memo's own
// text, a date as yyyy-mm-dd. False when the display text serves.
bool ExportText(TDbf& dbf, int column, const std::uint8_t* record, bool isoDates, bool memoReadable,
                std::string& out) {
  TField& field = dbf.Fields(column);
  const int index = field.FieldNo() - 1;
  TDbfFile& file = *dbf.DbfFile();
  if (field.DataType() == TFieldType::ftMemo) {
    // An unreadable memo file keeps the display text, of which the dump warns.
    if (!memoReadable) return false;
    out = field.TextValue();
    return true;
  }
  if (field.DataType() != TFieldType::ftDate || !isoDates) return false;
  if (file.FieldIsNull(index, record)) {
    out.clear();
    return true;
  }
  const std::string_view stored = file.FieldValueBytes(index, record);
  const std::string_view trimmed =
      TrimFieldBytes(reinterpret_cast<const std::uint8_t*>(stored.data()), stored.size());
  int year = 0, month = 0, day = 0;
  if (!DateOfDayNumber(DecodeDbfDate(trimmed), year, month, day)) {
    out.assign(trimmed);  // not a date: the bytes as they are, for the import to refuse
    return true;
  }
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", year, month, day);
  out = text;
  return true;
}

}  // namespace

void WriteDelimitedRecords(TDbf& dbf, const TDelimitedFormat& format, bool withDeleted,
                           const std::function<void(const std::string&)>& sink) {
  const CodePages& pages = CurrentCodePages();
  const char* lineEnd = format.tsv ? "\n" : "\r\n";
  std::string out;
  auto add = [&](const std::string& value) {
    if (format.tsv)
      AddTsvValue(out, value);
    else
      AddCsvValue(out, value, format.delimiter);
  };
  // A row of one empty value would be an empty line, which reads as no row at all.
  const bool singleColumn = dbf.FieldCount() + (withDeleted ? 1 : 0) == 1;
  auto endRow = [&](std::size_t rowStart) {
    if (singleColumn && !format.tsv && out.size() == rowStart) out += "\"\"";
    out += lineEnd;
  };
  std::size_t rowStart = out.size();
  if (withDeleted) {
    add("_deleted");
    if (dbf.FieldCount() > 0) out += format.delimiter;
  }
  for (int i = 0; i < dbf.FieldCount(); ++i) {
    if (i > 0) out += format.delimiter;
    add(pages.AnsiToUtf8(dbf.Fields(i).FieldName()));
  }
  endRow(rowStart);
  // Columns whose display text is not their value take the slower way through the field.
  std::vector<bool> special(static_cast<std::size_t>(dbf.FieldCount()));
  for (int i = 0; i < dbf.FieldCount(); ++i) {
    const TFieldType type = dbf.Fields(i).DataType();
    special[static_cast<std::size_t>(i)] =
        type == TFieldType::ftMemo || (type == TFieldType::ftDate && !format.regionalDates);
  }
  const bool memoReadable = dbf.MemoFileProblemText().empty();
  // A million records must not mean a million writes, nor a million strings per field.
  TDisplayTexts texts(dbf);
  std::string shown;
  for (; !dbf.AtEnd(); dbf.Next()) {
    const std::uint8_t* record = dbf.RecordBytesInUse();
    rowStart = out.size();
    if (withDeleted) {
      out += dbf.IsDeleted() ? "*" : "";
      if (dbf.FieldCount() > 0) out += format.delimiter;
    }
    for (int i = 0; i < dbf.FieldCount(); ++i) {
      if (i > 0) out += format.delimiter;
      shown.clear();
      if (!special[static_cast<std::size_t>(i)] ||
          !ExportText(dbf, i, record, !format.regionalDates, memoReadable, shown)) {
        shown.clear();
        texts.Append(i, record, shown);
      }
      add(IsAsciiText(shown) ? shown : pages.AnsiToUtf8(shown));
    }
    endRow(rowStart);
    if (out.size() >= (1u << 16)) {
      sink(out);
      out.clear();
    }
  }
  if (!out.empty()) sink(out);
}

TDelimitedReader::TDelimitedReader(const std::string& text, const TDelimitedFormat& format)
    : text_(text), format_(format) {
  // A byte-order mark is no part of the first column's name.
  if (text_.compare(0, 3, "\xEF\xBB\xBF") == 0) at_ = 3;
}

bool TDelimitedReader::AtLineEnd(char c) {
  if (c != '\r' && c != '\n') return false;
  if (c == '\r' && at_ < text_.size() && text_[at_] == '\n') ++at_;
  ++line_;
  return true;
}

void TDelimitedReader::ReadQuoted(TDelimitedRow& row, std::string& value) {
  // at_ is past the opening quote.
  while (at_ < text_.size()) {
    const char c = text_[at_++];
    if (c == '"') {
      if (at_ < text_.size() && text_[at_] == '"') {
        value += '"';
        ++at_;
        continue;
      }
      return;
    }
    if (c == '\r' || c == '\n') {
      // A line break inside quotes is part of the value, as written.
      value += c;
      if (c == '\r' && at_ < text_.size() && text_[at_] == '\n') value += text_[at_++];
      ++line_;
      continue;
    }
    value += c;
  }
  row.unclosedQuote = true;
  row.problem =
      "the quoted value that starts on line " + std::to_string(row.line) + " is never closed";
}

bool TDelimitedReader::Next(TDelimitedRow& row) {
  row.values.clear();
  row.problem.clear();
  row.blank = false;
  row.unclosedQuote = false;
  if (at_ >= text_.size()) return false;
  row.line = line_;
  std::string value;
  bool afterQuote = false;  // the value was quoted and its closing quote was read
  auto fail = [&](const std::string& why) {
    if (row.problem.empty()) row.problem = why;
  };
  const std::size_t start = at_;
  while (at_ < text_.size()) {
    const char c = text_[at_++];
    if (c == format_.delimiter) {
      row.values.push_back(std::move(value));
      value.clear();
      afterQuote = false;
      continue;
    }
    if (AtLineEnd(c)) {
      row.blank = text_[start] == '\r' || text_[start] == '\n';
      row.values.push_back(std::move(value));
      return true;
    }
    if (afterQuote) {
      fail("text follows the closing quote of a value");
      value += c;
      continue;
    }
    if (c == '"' && !format_.tsv && value.empty()) {
      ReadQuoted(row, value);
      if (row.unclosedQuote) break;
      afterQuote = true;
    } else if (c == '\\' && format_.tsv) {
      const char e = at_ < text_.size() ? text_[at_] : '\n';
      switch (e) {
        case 't':
          value += '\t';
          break;
        case 'n':
          value += '\n';
          break;
        case 'r':
          value += '\r';
          break;
        case '\\':
          value += '\\';
          break;
        case '\r':
        case '\n':
          // Not an escape: the line still ends here, and the row is not joined to the next.
          fail("a backslash ends the line (tab-separated text escapes a line break as \\n)");
          continue;
        default:
          fail(std::string("'\\") + e +
               "' is no escape of tab-separated text (\\t, \\r, \\n and \\\\ are)");
          value += '\\';
          continue;
      }
      ++at_;
    } else {
      value += c;
    }
  }
  row.values.push_back(std::move(value));
  return true;
}

}  // namespace tavlo
