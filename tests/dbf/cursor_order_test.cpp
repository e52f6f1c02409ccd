// The cursor's in-memory order: key comparison per field type, nulls, stable ties,
// descending, filters and deleted records, records that move or arrive while ordered, and
// the order dropped on close.
#include <algorithm>
#include <cctype>
#include <tuple>

#include "cursor_fixture.h"

namespace tavlo::cursortest {
namespace {

class CursorOrderTest : public CursorTest {
 protected:
  // A table of every orderable type; each row gives the texts of NAME, CITY, N, F, D, L (an
  // empty text leaves the field null).
  std::string MakeTyped(const std::vector<std::vector<std::string>>& rows) {
    return MakeTable("typed.dbf",
                     {{"NAME", TFieldType::ftString, 6},
                      {"CITY", TFieldType::ftString, 10},
                      {"N", TFieldType::ftInteger, 0},
                      {"F", TFieldType::ftFloat, 0},
                      {"D", TFieldType::ftDate, 0},
                      {"L", TFieldType::ftBoolean, 0},
                      {"NOTE", TFieldType::ftMemo, 0}},
                     rows);
  }

  static std::string Names(TDbf& dbf) {
    std::string joined;
    for (const std::string& name : Walk(dbf)) joined += (joined.empty() ? "" : " ") + name;
    return joined;
  }
};

TEST_F(CursorOrderTest, EachFieldTypeComparesByItsValueWithNullsFirstAndTiesInFileOrder) {
  std::string path = MakeTyped({
      {"a", "paris", "10", "2.5", "2001-05-01", "True"},
      {"b", "Berlin", "-3", "10", "1999-12-31", "False"},
      {"c", "", "", "", "", ""},
      {"d", "PARIS", "100", "-0.5", "2001-04-30", "True"},
      {"e", "berlin", "10", "2.25", "2030-01-01", "False"},
      {"f", "Paris x", "9", "100", "2001-05-01", ""},
  });
  TDbf dbf;
  dbf.SetTableName(path);
  dbf.Open();
  // Texts fold ASCII case; equal folded texts keep file order; a longer text follows its
  // beginning.
  dbf.SetOrder({"CITY"});
  EXPECT_EQ(Names(dbf), "c b e a d f");
  // Numbers by value, not by text ("100" after "9", "-3" first).
  dbf.SetOrder({"N"});
  EXPECT_EQ(Names(dbf), "c b f a e d");
  dbf.SetOrder({"F"});
  EXPECT_EQ(Names(dbf), "c d e a b f");
  dbf.SetOrder({"D"});
  EXPECT_EQ(Names(dbf), "c b d a f e");
  dbf.SetOrder({"L"});
  EXPECT_EQ(Names(dbf), "c f b e a d");
  // Several keys: the second decides among equal first keys.
  dbf.SetOrder({"n", "d"});
  EXPECT_EQ(Names(dbf), "c b f a e d");
  dbf.SetOrder({"L", "F"});
  EXPECT_EQ(Names(dbf), "c f e b d a");
  // Descending reverses the keys (nulls last) but equal keys stay in file order.
  dbf.SetOrder({"CITY"}, true);
  EXPECT_EQ(Names(dbf), "f a d b e c");
  EXPECT_TRUE(dbf.Ordered());
  EXPECT_EQ(dbf.OrderFieldNames(), std::vector<std::string>{"CITY"});
  dbf.SetOrder({});
  EXPECT_FALSE(dbf.Ordered());
  EXPECT_EQ(Names(dbf), "a b c d e f");
  EXPECT_THROW_MSG(dbf.SetOrder({"NOTE"}), EDatabaseError, "Cannot order by memo field 'NOTE'");
  EXPECT_FALSE(dbf.Ordered());
  EXPECT_THROW_MSG(dbf.SetOrder({"NOPE"}), EDatabaseError, "Field 'NOPE' not found");
}

TEST_F(CursorOrderTest, LongTextsSharingBeginningsSortAsTheWholeTextsCompare) {
  // Texts longer than one chunk of the sort key, sharing beginnings of 7, 14 and 21 bytes,
  // differing in case only or in length, under a second key; checked against a plain
  // comparison of the whole folded texts.
  std::string path = MakeTable("long.dbf", {{"NAME", TFieldType::ftString, 6},
                                            {"CITY", TFieldType::ftString, 30},
                                            {"N", TFieldType::ftInteger, 0}});
  const std::vector<std::string> parts = {"Amsterd", "amsterd", "am Nort", "AM NORT", "h",
                                          "",        "h Sea C", "ity",     "x"};
  struct Row {
    std::string name, city;
    int n;
  };
  std::vector<Row> rows;
  unsigned seed = 12345;
  auto next = [&seed](unsigned bound) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) % bound;
  };
  {
    TDbf dbf;
    dbf.SetTableName(path);
    dbf.Open();
    for (int i = 0; i < 400; ++i) {
      std::string city;
      for (unsigned k = next(5); k > 0; --k) city += parts[next(parts.size())];
      city = city.substr(0, 30);
      while (!city.empty() && city.back() == ' ') city.pop_back();
      while (!city.empty() && city.front() == ' ') city.erase(0, 1);
      rows.push_back({std::to_string(i), city, static_cast<int>(next(3))});
      dbf.Insert();
      dbf.LookupField("NAME").SetTextValue(rows.back().name);
      dbf.LookupField("CITY").SetTextValue(city);
      dbf.LookupField("N").SetTextValue(std::to_string(rows.back().n));
      dbf.Post();
    }
    dbf.Close();
  }
  auto folded = [](std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
  };
  for (bool descending : {false, true}) {
    for (bool twoKeys : {false, true}) {
      std::vector<std::size_t> expected(rows.size());
      for (std::size_t i = 0; i < rows.size(); ++i) expected[i] = i;
      std::stable_sort(expected.begin(), expected.end(), [&](std::size_t a, std::size_t b) {
        // Nulls first; descending reverses the keys, never the file order of equal ones.
        auto key = [&](std::size_t r) {
          return std::make_tuple(!rows[r].city.empty(), folded(rows[r].city),
                                 twoKeys ? rows[r].n : 0);
        };
        return descending ? key(b) < key(a) : key(a) < key(b);
      });
      std::string want;
      for (std::size_t r : expected) want += (want.empty() ? "" : " ") + rows[r].name;
      TDbf dbf;
      dbf.SetTableName(path);
      dbf.Open();
      dbf.SetOrder(
          twoKeys ? std::vector<std::string>{"CITY", "N"} : std::vector<std::string>{"CITY"},
          descending);
      EXPECT_EQ(Names(dbf), want) << "descending " << descending << ", two keys " << twoKeys;
    }
  }
}

TEST_F(CursorOrderTest, NumbersWithoutAValueSortBetweenNullsAndTheSmallestNumber) {
  // A number too large for 64 bits has no value but is not null; the smallest 64-bit number
  // shares its sort key with it, which the full comparison must still settle.
  std::string path =
      MakeTable("big.dbf", {{"NAME", TFieldType::ftString, 6}, {"N", TFieldType::ftLargeint, 0}});
  const std::vector<std::pair<std::string, std::string>> rows = {{"min", "-9223372036854775808"},
                                                                 {"huge", "99999999999999999999"},
                                                                 {"null", ""},
                                                                 {"one", "1"},
                                                                 {"min2", "-9223372036854775807"}};
  std::string bytes = ReadBytes(path);
  const std::size_t width = 20;
  ASSERT_EQ(static_cast<unsigned char>(bytes[10]), 1 + 6 + width);  // the record size
  for (const auto& [name, number] : rows) {
    std::string record = " " + name;
    record.resize(7, ' ');
    std::string field = number;
    field.insert(0, width - field.size(), ' ');
    record += field;
    bytes.insert(bytes.size() - 1, record);
  }
  bytes[4] = static_cast<char>(rows.size());
  WriteBytes(path, bytes);
  TDbf dbf;
  dbf.SetTableName(path);
  dbf.Open();
  dbf.SetOrder({"N"});
  EXPECT_EQ(Names(dbf), "null huge min min2 one");
  dbf.SetOrder({"N"}, true);
  EXPECT_EQ(Names(dbf), "one min2 min huge null");
}

TEST_F(CursorOrderTest, NavigationFilterAndDeletedRecordsFollowTheOrder) {
  std::string path = MakePeople({"Eve", "Bob", "Dan", "Ann", "Cid"});
  SetFlagInFile(path, 2, '*');  // Dan
  TDbf dbf;
  dbf.SetTableName(path);
  dbf.Open();
  dbf.Next();  // Bob stays current when the order is set
  dbf.SetOrder({"NAME"});
  EXPECT_EQ(dbf.LookupField("NAME").TextValue(), "Bob");
  EXPECT_EQ(dbf.RecordNumber(), 2);  // still the physical number
  dbf.Next();
  EXPECT_EQ(dbf.LookupField("NAME").TextValue(), "Cid");
  dbf.Last();
  EXPECT_EQ(dbf.LookupField("NAME").TextValue(), "Eve");
  dbf.Prior();
  EXPECT_EQ(dbf.LookupField("NAME").TextValue(), "Cid");  // deleted Dan skipped
  dbf.SetShowDeleted(true);
  EXPECT_EQ(Names(dbf), "Ann Bob Cid Dan Eve");
  dbf.SetShowDeleted(false);
  dbf.SetFiltered(true);
  dbf.OnFilterRecord = [](TDbf& table, bool& accept) {
    accept = table.LookupField("AGE").TextValue() != "20";  // not Bob
  };
  EXPECT_EQ(Names(dbf), "Ann Cid Eve");
  dbf.Last();
  dbf.Prior();
  EXPECT_EQ(dbf.LookupField("NAME").TextValue(), "Cid");
  // Going to a bookmark lands on the record and the walk goes on in order from there.
  dbf.GotoBookmark(3);  // Ann
  dbf.Next();
  EXPECT_EQ(dbf.LookupField("NAME").TextValue(), "Cid");
  EXPECT_EQ(dbf.RecordAtPosition(0), 3);
  EXPECT_EQ(dbf.PositionOf(0), 4);  // Eve last
}

TEST_F(CursorOrderTest, PostedRecordsGoWhereTheirKeyBelongsAndTheCursorFollows) {
  std::string path = MakePeople({"Eve", "Bob", "Dan", "Ann", "Cid"});
  TDbf dbf;
  dbf.SetTableName(path);
  dbf.Open();
  dbf.SetOrder({"NAME"});
  dbf.First();  // Ann
  const std::uint64_t version = dbf.OrderVersion();
  dbf.Edit();
  dbf.LookupField("NAME").SetTextValue("Dora");
  dbf.Post();
  EXPECT_EQ(dbf.LookupField("NAME").TextValue(), "Dora");
  EXPECT_NE(dbf.OrderVersion(), version);
  dbf.Next();
  EXPECT_EQ(dbf.LookupField("NAME").TextValue(), "Eve");
  EXPECT_EQ(Names(dbf), "Bob Cid Dan Dora Eve");
  // An append is physically last but sorts by its key.
  dbf.Insert();
  dbf.LookupField("NAME").SetTextValue("Abe");
  dbf.Post();
  EXPECT_EQ(dbf.RecordNumber(), 6);
  EXPECT_TRUE(dbf.AtStart() || (dbf.Prior(), dbf.AtStart()));
  EXPECT_EQ(Names(dbf), "Abe Bob Cid Dan Dora Eve");
  // Deleting in order moves to the next record in order.
  dbf.First();
  dbf.Next();  // Bob
  dbf.Delete();
  EXPECT_EQ(dbf.LookupField("NAME").TextValue(), "Cid");
  // The order is dropped on close and never written anywhere.
  const std::string before = ReadBytes(path);
  dbf.Close();
  // Closing adds only the end-of-file mark.
  EXPECT_EQ(ReadBytes(path).substr(32, before.size() - 32), before.substr(32));
  dbf.Open();
  EXPECT_FALSE(dbf.Ordered());
  EXPECT_EQ(Names(dbf), "Eve Dan Dora Cid Abe");
}

TEST_F(CursorOrderTest, RecallClearsTheFlagOnDiskAndIsRefusedReadOnly) {
  std::string path = MakePeople({"Ann", "Bob"});
  SetFlagInFile(path, 1, '*');
  TDbf dbf;
  dbf.SetTableName(path);
  dbf.SetShowDeleted(true);
  dbf.Open();
  dbf.Last();
  ASSERT_TRUE(dbf.IsDeleted());
  dbf.Recall();
  EXPECT_FALSE(dbf.IsDeleted());
  EXPECT_EQ(dbf.LookupField("NAME").TextValue(), "Bob");
  dbf.Close();
  const std::string bytes = ReadBytes(path);
  const int headerSize =
      static_cast<unsigned char>(bytes[8]) | (static_cast<unsigned char>(bytes[9]) << 8);
  const int recordSize =
      static_cast<unsigned char>(bytes[10]) | (static_cast<unsigned char>(bytes[11]) << 8);
  EXPECT_EQ(bytes[static_cast<std::size_t>(headerSize + recordSize)], ' ');

  SetFlagInFile(path, 0, '*');
  TDbf reader;
  reader.SetTableName(path);
  reader.SetReadOnly(true);
  reader.SetShowDeleted(true);
  reader.Open();
  EXPECT_THROW_MSG(reader.Recall(), EDatabaseError, "Cannot modify a read-only dataset");
  EXPECT_TRUE(reader.IsDeleted());
}

}  // namespace
}  // namespace tavlo::cursortest
