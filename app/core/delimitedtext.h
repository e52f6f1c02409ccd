// Delimited text (CSV by RFC 4180, and Tavlo's TSV with backslash escapes) in and out of a
// table: the writer behind `tavlo-cli dump` and the program's "Export CSV...", the reader
// behind `tavlo-cli import` and "Append from CSV...". Values go through the fields' display
// texts and text setters, so every conversion rule and message of the fields applies. Text
// outside is UTF-8; inside it is the program's ANSI page.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tavlo {

class TDbf;

// Writes a header row of field names and then every record from the cursor's current one to
// the end, each as the grid shows it. CSV ends lines with CR LF and quotes values holding the
// delimiter, a quote or a line break; TSV ends lines with LF and writes tab, CR, LF and
// backslash as \t, \r, \n, \\. withDeleted adds a first column "_deleted" ("*" for a deleted
// record). sink receives the text in large pieces.
struct TDelimitedFormat {
  char delimiter = ',';
  bool tsv = false;
};
void WriteDelimitedRecords(TDbf& dbf, const TDelimitedFormat& format, bool withDeleted,
                           const std::function<void(const std::string&)>& sink);

// Splits delimited text into rows of values; line is the 1-based line a row starts on.
class TDelimitedReader {
 public:
  TDelimitedReader(const std::string& text, const TDelimitedFormat& format);
  // false at the end of the text.
  bool Next(std::vector<std::string>& values, int& line);

 private:
  const std::string& text_;
  TDelimitedFormat format_;
  std::size_t at_ = 0;
  int line_ = 1;
};

struct TImportResult {
  std::int64_t appended = 0;
  std::int64_t refused = 0;
  std::vector<std::string> messages;  // unknown columns, then one line per refused row
  std::string Text() const;
};

// Appends one record per data row of text (UTF-8, a header row first, matched to fields by
// name without case). A row whose value does not convert, or holds a character the table
// cannot store, is refused whole with its line number and the message; the others are
// appended. Unknown columns are named and ignored; fields without a column stay empty.
// Raises when the cursor cannot append at all (closed, read-only) or the text has no header.
TImportResult ImportDelimited(TDbf& dbf, const std::string& text, const TDelimitedFormat& format);

}  // namespace tavlo
