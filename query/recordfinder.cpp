// Finding a text in the display texts of records.
#include "query/recordfinder.h"

#include "platform/regional.h"
#include "text/qelstrings.h"

namespace tavlo {

TRecordFinder::TRecordFinder(TDbf& table, TFindRequest request)
    : table_(table), request_(std::move(request)), texts_(table) {
  if (request_.text.empty()) return;
  for (int c = std::max(request_.firstColumn, 0);
       c <= std::min(request_.lastColumn, texts_.Columns() - 1); ++c) {
    if (CanShow(texts_.ReadingOf(c))) columns_.push_back(c);
  }
}

bool TRecordFinder::Shows(const std::string& shown) const {
  const auto* fold = request_.matchCase ? nullptr : &FoldTable;
  if (!request_.wholeField) return FindBytes(shown, request_.text, 0, fold) != std::string::npos;
  return shown.size() == request_.text.size() && FindBytes(shown, request_.text, 0, fold) == 0;
}

bool TRecordFinder::CanShow(FieldReading reading) const {
  // Texts a column of the kind can show, or the characters they are made of.
  auto madeOf = [&](const std::string& characters) {
    for (char c : request_.text) {
      bool found = false;
      for (char allowed : characters) {
        found = found || c == allowed ||
                (!request_.matchCase && FoldTable[static_cast<unsigned char>(c)] ==
                                            FoldTable[static_cast<unsigned char>(allowed)]);
      }
      if (!found) return false;
    }
    return true;
  };
  switch (reading) {
    case FieldReading::Whole:
      return madeOf("0123456789-");
    case FieldReading::Float:
      return madeOf(std::string("0123456789-E") + Regional().decimalSeparator) || Shows("NAN") ||
             Shows("INF") || Shows("-INF");
    case FieldReading::Logical:
      return Shows("True") || Shows("False");
    case FieldReading::Memo:
      return Shows("(MEMO)") || Shows("(Memo)");
    default:
      return true;
  }
}

bool TRecordFinder::Matches(std::int32_t record) {
  if (columns_.empty()) return false;
  const std::uint8_t* bytes =
      table_.DbfFile() != nullptr ? table_.DbfFile()->RecordView(record) : nullptr;
  if (bytes == nullptr) {
    if (buffer_.empty()) buffer_ = table_.NewRecordBuffer();
    table_.ReadRecordAt(record, buffer_);
    bytes = reinterpret_cast<const std::uint8_t*>(buffer_.data() + TDbf::kRecordOffset);
  }
  for (int c : columns_) {
    shown_.clear();
    texts_.Append(c, bytes, shown_);
    if (Shows(shown_)) return true;
  }
  return false;
}

void TRecordFinder::Prefetch(std::int32_t record) {
  if (!columns_.empty() && table_.DbfFile() != nullptr) table_.DbfFile()->PrefetchRecord(record);
}

int FindRow(RowCache& cache, TRecordFinder& finder, int fromRow, bool backward, int chunk) {
  // In a sorted grid neighbouring rows lie anywhere in the file: read ahead.
  constexpr int kAhead = 16;
  const int step = backward ? -1 : 1;
  for (int row = fromRow + step; row >= 0; row += step) {
    if (row >= cache.KnownRows() && !cache.EnsureRow(row, chunk)) return -1;
    const int ahead = row + step * kAhead;
    if (ahead >= 0 && ahead < cache.KnownRows()) finder.Prefetch(cache.RecordAt(ahead));
    if (finder.Matches(cache.RecordAt(row))) return row;
  }
  return -1;
}

}  // namespace tavlo
