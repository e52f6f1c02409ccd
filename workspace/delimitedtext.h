// Delimited text (CSV by RFC 4180, and Tavlo's TSV with backslash escapes) in and out of a
// table: the writer behind `tavlo-cli dump` and the program's "Export CSV...", the reader
// behind `tavlo-cli import` and "Append from CSV...". Both carry the data: an export writes
// memo texts and dates as yyyy-mm-dd, and an import either stores a row's every value whole
// or refuses the row and says why, so that an export imported again gives the same table.
// Text outside is UTF-8; inside it is the program's ANSI page.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tavlo {

class TDbf;

struct TDelimitedFormat {
  char delimiter = ',';
  bool tsv = false;
  // Export only: dates in the regional short date format instead of yyyy-mm-dd (an import
  // takes either).
  bool regionalDates = false;
};

// Writes a header row of field names and then every record from the cursor's current one to
// the end. Values are the grid's display texts, except that memo fields give their text
// (their display text while the memo file cannot be read) and dates are yyyy-mm-dd unless
// format.regionalDates (a stored date that is no date is written as stored). CSV ends lines
// with CR LF and quotes values holding the delimiter, a quote or a line break, and a row of
// a single empty value; TSV ends lines with LF and writes tab, CR, LF and backslash as \t,
// \r, \n, \\. withDeleted adds a first column "_deleted" ("*" for a deleted record). sink
// receives the text in large pieces.
void WriteDelimitedRecords(TDbf& dbf, const TDelimitedFormat& format, bool withDeleted,
                           const std::function<void(const std::string&)>& sink);

// One row as the reader found it.
struct TDelimitedRow {
  std::vector<std::string> values;
  int line = 0;        // the 1-based line the row starts on
  bool blank = false;  // an empty line (values holds one empty value)
  // Why the row's values cannot be trusted (text after a closing quote, an escape TSV does
  // not have); empty when they can. The row still ends where it should.
  std::string problem;
  // A quoted value still open at the end of the text: every later line was read into it,
  // so no row boundary after its start is known.
  bool unclosedQuote = false;
};

// Splits delimited text into rows. CR LF, LF and CR end a line outside quotes.
class TDelimitedReader {
 public:
  // text must outlive the reader, which reads it in place.
  TDelimitedReader(const std::string& text, const TDelimitedFormat& format);
  TDelimitedReader(std::string&& text, const TDelimitedFormat& format) = delete;
  // false at the end of the text.
  bool Next(TDelimitedRow& row);

 private:
  void ReadQuoted(TDelimitedRow& row, std::string& value);
  bool AtLineEnd(char c);  // consumes a CR LF pair; counts the line

  const std::string& text_;
  TDelimitedFormat format_;
  std::size_t at_ = 0;
  int line_ = 1;
};

struct TImportResult {
  std::int64_t appended = 0;
  std::int64_t refused = 0;
  // Columns that are not carried (no such field), then one line per refused row:
  // "Line N: why".
  std::vector<std::string> messages;
  std::string Text() const;
};

// Appends one record per data row of text (UTF-8, or UTF-16 with a byte-order mark; a header
// row first, matched to fields by name without case; a column "_deleted" marks deleted
// records with "*" when the table has no field of that name). A row is appended only with
// every value it holds: a row whose value does not convert, does not fit its field, holds a
// character the table cannot store or a NUL, or has more or fewer values than the header
// row has columns is refused whole with its line number and why. Dates may be yyyy-mm-dd or
// in the regional short form. Columns that name no field are named in the messages with the
// number of values they held, and not stored.
// Raises, before anything is appended, when the cursor cannot change the table (closed,
// read-only, a layout corrected on opening), when the header row names no field, names one
// twice or is missing, and when a quote is never closed (so no row after it can be told).
TImportResult ImportDelimited(TDbf& dbf, const std::string& text, const TDelimitedFormat& format);

}  // namespace tavlo
