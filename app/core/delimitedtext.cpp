// Delimited text in and out of a table.
#include "app/core/delimitedtext.h"

#include "dbf/dbferrors.h"
#include "dbf/displaytexts.h"
#include "dbf/fields.h"
#include "dbf/recordfile.h"
#include "dbf/tdbf.h"
#include "platform/codepage.h"
#include "platform/errors.h"
#include "text/qelstrings.h"

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
  if (withDeleted) {
    add("_deleted");
    if (dbf.FieldCount() > 0) out += format.delimiter;
  }
  for (int i = 0; i < dbf.FieldCount(); ++i) {
    if (i > 0) out += format.delimiter;
    add(pages.AnsiToUtf8(dbf.Fields(i).FieldName()));
  }
  out += lineEnd;
  // A million records must not mean a million writes, nor a million strings per field.
  TDisplayTexts texts(dbf);
  std::string shown;
  for (; !dbf.AtEnd(); dbf.Next()) {
    const std::uint8_t* record = dbf.RecordBytesInUse();
    if (withDeleted) {
      out += dbf.IsDeleted() ? "*" : "";
      if (dbf.FieldCount() > 0) out += format.delimiter;
    }
    for (int i = 0; i < dbf.FieldCount(); ++i) {
      if (i > 0) out += format.delimiter;
      shown.clear();
      texts.Append(i, record, shown);
      add(IsAsciiText(shown) ? shown : pages.AnsiToUtf8(shown));
    }
    out += lineEnd;
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

bool TDelimitedReader::Next(std::vector<std::string>& values, int& line) {
  values.clear();
  if (at_ >= text_.size()) return false;
  line = line_;
  std::string value;
  bool quoted = false;
  while (at_ < text_.size()) {
    const char c = text_[at_++];
    if (quoted) {
      if (c == '"') {
        if (at_ < text_.size() && text_[at_] == '"') {
          value += '"';
          ++at_;
        } else {
          quoted = false;
        }
      } else {
        if (c == '\n') ++line_;
        value += c;
      }
      continue;
    }
    if (c == format_.delimiter) {
      values.push_back(std::move(value));
      value.clear();
    } else if (c == '\r' || c == '\n') {
      if (c == '\r' && at_ < text_.size() && text_[at_] == '\n') ++at_;
      ++line_;
      values.push_back(std::move(value));
      return true;
    } else if (c == '"' && !format_.tsv && value.empty()) {
      quoted = true;
    } else if (c == '\\' && format_.tsv && at_ < text_.size()) {
      const char e = text_[at_++];
      value += e == 't' ? '\t' : e == 'n' ? '\n' : e == 'r' ? '\r' : e;
    } else {
      value += c;
    }
  }
  values.push_back(std::move(value));
  return true;
}

std::string TImportResult::Text() const {
  std::string text;
  for (const std::string& message : messages) text += message + "\n";
  text += std::to_string(appended) + (appended == 1 ? " record" : " records") + " appended, " +
          std::to_string(refused) + " refused\n";
  return text;
}

TImportResult ImportDelimited(TDbf& dbf, const std::string& text, const TDelimitedFormat& format) {
  dbf.CheckBrowseMode();
  TDelimitedReader reader(text, format);
  std::vector<std::string> header;
  int line = 0;
  if (!reader.Next(header, line)) throw EDatabaseError("The file holds no header row");
  const CodePages& pages = CurrentCodePages();
  TImportResult result;
  // Column -> field, -1 for a column the table does not have.
  std::vector<int> target(header.size(), -1);
  for (std::size_t c = 0; c < header.size(); ++c) {
    const std::string name = LowerCaseAscii(Trim(pages.Utf8ToAnsi(header[c])));
    for (int f = 0; f < dbf.FieldCount(); ++f)
      if (LowerCaseAscii(dbf.Fields(f).FieldName()) == name) target[c] = f;
    if (target[c] < 0 && !name.empty())
      result.messages.push_back("Column " + header[c] + " is not a field of the table; ignored");
  }
  std::vector<std::string> row;
  while (reader.Next(row, line)) {
    if (row.size() == 1 && row[0].empty()) continue;  // a blank line
    try {
      dbf.Insert();
      for (std::size_t c = 0; c < row.size() && c < target.size(); ++c) {
        if (target[c] < 0 || row[c].empty()) continue;
        TField& field = dbf.Fields(target[c]);
        const std::string ansi = pages.Utf8ToAnsi(row[c]);
        // Characters the program's page or the table's page cannot hold would come back as
        // something else: the row is refused rather than stored changed.
        if (pages.AnsiToUtf8(ansi) != row[c] || (field.DataType() == TFieldType::ftString &&
                                                 pages.OemToAnsi(pages.AnsiToOem(ansi)) != ansi))
          throw EDatabaseError("'" + row[c] + "' holds characters the table cannot store");
        field.SetTextValue(ansi);
      }
      dbf.Post();
      ++result.appended;
    } catch (const Exception& error) {
      if (dbf.State() != TDataSetState::dsBrowse) dbf.Cancel();
      ++result.refused;
      result.messages.push_back("Line " + std::to_string(line) + ": " + error.what());
    }
  }
  return result;
}

}  // namespace tavlo
