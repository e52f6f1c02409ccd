// TRecordFinder: whether a record shows a text, as the grid's find bar asks it of every row
// in turn. It compares the display texts of the columns searched, made from the record's
// bytes through the cursor's column layout (TDisplayTexts), and leaves out at once the
// columns whose reading could never show the text sought (letters sought in a number
// column). It never moves the cursor.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dbf/displaytexts.h"
#include "dbf/tdbf.h"
#include "query/rowcache.h"

namespace tavlo {

struct TFindRequest {
  std::string text;  // ANSI; an empty text is found nowhere
  bool matchCase = false;
  bool wholeField = false;  // the display text is the text, not merely holds it
  int firstColumn = 0;      // the cursor's field positions searched, both included
  int lastColumn = 0;
};

class TRecordFinder {
 public:
  TRecordFinder(TDbf& table, TFindRequest request);

  // Whether any column searched of the record (index in the file) shows the text.
  bool Matches(std::int32_t record);
  // Starts reading a record that Matches will soon be asked about.
  void Prefetch(std::int32_t record);

 private:
  bool Shows(const std::string& shown) const;
  // Whether some text of the column's kind can show the text sought.
  bool CanShow(FieldReading reading) const;

  TDbf& table_;
  TFindRequest request_;
  TDisplayTexts texts_;
  std::vector<int> columns_;  // those worth looking at
  std::string shown_;
  TRecordBuffer buffer_;
};

// The first row after fromRow (before it when backward) of the cache whose record the
// finder matches, learning rows chunk at a time as it goes; -1 when there is none.
int FindRow(RowCache& cache, TRecordFinder& finder, int fromRow, bool backward, int chunk);

}  // namespace tavlo
