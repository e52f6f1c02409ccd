// The grid's find: the record finder against a plain search of every display text (so that
// the columns it leaves out could never have matched), and finding rows forward and
// backward in the grid's order with a filter on, without wrapping at either end.
#include "query/recordfinder.h"

#include <gtest/gtest.h>

#include "query/tablerowsource.h"
#include "dbf/cursor_fixture.h"
#include "dbf/fields.h"
#include "text/qelstrings.h"

namespace tavlo {
namespace {

using cursortest::CursorTest;

class RecordFinderTest : public CursorTest {
 protected:
  std::string MakeTyped() {
    const std::string path = MakeTable("typed.dbf",
                                       {{"NAME", TFieldType::ftString, 12},
                                        {"N", TFieldType::ftInteger, 0},
                                        {"F", TFieldType::ftFloat, 0},
                                        {"D", TFieldType::ftDate, 0},
                                        {"L", TFieldType::ftBoolean, 0},
                                        {"NOTE", TFieldType::ftMemo, 0}},
                                       {
                                           {"Anna", "12", "2.5", "2001-05-01", "True", "x"},
                                           {"bert", "-3", "-0.125", "1999-12-31", "False", ""},
                                           {"", "", "", "", "", ""},
                                           {"Cleo E", "1000", "", "2030-01-01", "", "memo"},
                                           {"TRUE", "0", "0.0005", "2001-05-01", "True", ""},
                                       });
    // Values the grid shows in scientific form, stored as another program may store them.
    std::string bytes = cursortest::ReadBytes(path);
    const std::size_t header = static_cast<unsigned char>(bytes[8]) |
                               static_cast<std::size_t>(static_cast<unsigned char>(bytes[9])) << 8;
    const std::size_t size = static_cast<unsigned char>(bytes[10]);
    const std::size_t f = 1 + 12 + 11;  // after the flag, NAME and N
    bytes.replace(header + 3 * size + f, 20, "                1E20");
    bytes.replace(header + 2 * size + f, 20, "         -0.00001234");
    cursortest::WriteBytes(path, bytes);
    return path;
  }
};

// The reference: the display texts the grid shows, searched byte by byte.
bool ShownAnywhere(TDbf& dbf, std::int32_t record, const TFindRequest& request) {
  TRecordBuffer buffer = dbf.NewRecordBuffer();
  dbf.ReadRecordAt(record, buffer);
  auto same = [&](char a, char b) {
    return request.matchCase ? a == b
                             : FoldTable[static_cast<unsigned char>(a)] ==
                                   FoldTable[static_cast<unsigned char>(b)];
  };
  for (int c = request.firstColumn; c <= request.lastColumn; ++c) {
    const std::string shown = dbf.Fields(c).DisplayTextIn(buffer);
    const std::string& text = request.text;
    for (std::size_t at = 0; at + text.size() <= shown.size(); ++at) {
      if (request.wholeField && (at != 0 || shown.size() != text.size())) break;
      std::size_t i = 0;
      while (i < text.size() && same(shown[at + i], text[i])) ++i;
      if (i == text.size()) return true;
    }
  }
  return false;
}

TEST_F(RecordFinderTest, MatchesExactlyTheRecordsThatShowTheText) {
  TDbf dbf;
  dbf.SetTableName(MakeTyped());
  dbf.Open();
  const std::vector<std::string> texts = {
      "anna", "Anna", "e",   "E",      "1",   "12",    "-",      "-3",     "0.125",
      ".",    "2001", "05",  "True",   "rue", "false", "(MEMO)", "(memo)", "MEMO",
      "E-5",  "5E-4", "E20", "Cleo E", "0",   "INF",   "xyz",    "T"};
  int compared = 0, found = 0;
  for (const std::string& text : texts) {
    for (bool matchCase : {false, true}) {
      for (bool wholeField : {false, true}) {
        for (auto [first, last] : {std::pair{0, 5}, std::pair{1, 1}, std::pair{2, 2},
                                   std::pair{3, 3}, std::pair{4, 5}}) {
          TFindRequest request{text, matchCase, wholeField, first, last};
          TRecordFinder finder(dbf, request);
          for (std::int32_t record = 0; record < 5; ++record) {
            const bool expected = ShownAnywhere(dbf, record, request);
            EXPECT_EQ(finder.Matches(record), expected)
                << "'" << text << "' case " << matchCase << " whole " << wholeField << " columns "
                << first << "-" << last << " record " << record;
            ++compared;
            found += expected;
          }
        }
      }
    }
  }
  // The reference must find something, or the comparison proves little.
  EXPECT_GT(found, compared / 10);
  TFindRequest empty;
  empty.lastColumn = 5;
  EXPECT_FALSE(TRecordFinder(dbf, empty).Matches(0));
}

TEST_F(RecordFinderTest, RowsAreFoundInTheGridsOrderWithTheFilterAndNoWrap) {
  TDbf dbf;
  dbf.SetTableName(MakePeople({"Eve", "Bob", "Dan", "Ann", "Cid", "Bea"}));
  dbf.Open();
  dbf.SetOrder({"NAME"});  // Ann Bea Bob Cid Dan Eve
  dbf.SetFiltered(true);
  dbf.OnFilterRecord = [](TDbf& table, bool& accept) {
    accept = table.LookupField("NAME").TextValue() != "Bob";
  };
  dbf.First();
  TableRowSource source(dbf);
  RowCache cache(source);
  TFindRequest request{"e", false, false, 0, 1};
  TRecordFinder finder(dbf, request);
  auto name = [&](int row) {
    TRecordBuffer buffer = dbf.NewRecordBuffer();
    dbf.ReadRecordAt(cache.RecordAt(row), buffer);
    return dbf.LookupField("NAME").DisplayTextIn(buffer);
  };
  // Rows: Ann Bea Cid Dan Eve (Bob filtered out). Small chunks make the search learn rows.
  int row = FindRow(cache, finder, -1, false, 1);
  ASSERT_EQ(row, 1);
  EXPECT_EQ(name(row), "Bea");
  row = FindRow(cache, finder, row, false, 1);
  ASSERT_EQ(row, 4);
  EXPECT_EQ(name(row), "Eve");
  EXPECT_EQ(FindRow(cache, finder, row, false, 1), -1);  // no wrap at the end
  EXPECT_EQ(FindRow(cache, finder, row, true, 1), 1);    // backward
  EXPECT_EQ(FindRow(cache, finder, 1, true, 1), -1);     // nor at the start
  // Bob holds an "o" but the filter hides him; "o" is nowhere else.
  TRecordFinder o(dbf, TFindRequest{"o", false, false, 0, 1});
  EXPECT_EQ(FindRow(cache, o, -1, false, 1), -1);
}

}  // namespace
}  // namespace tavlo
