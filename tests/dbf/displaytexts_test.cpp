// The fast display texts of exports and searches against the cursor's own DisplayText, field
// by field: every dBase type with nulls and odd stored bytes, OEM text, a table that names
// its page, and a Visual FoxPro table whose fields take the general way.
#include "dbf/displaytexts.h"
#include "cursor_fixture.h"
#include "foreign_tables_fixture.h"
#include "platform/codepage.h"

namespace tavlo {
namespace {

using namespace cursortest;
using namespace foreigntest;

class DisplayTextsTest : public CursorTest {
 protected:
  // Every field of every record (deleted ones too) through both ways; the count compared.
  static int ExpectSameAsDisplayText(TDbf& dbf) {
    dbf.SetShowDeleted(true);
    TDisplayTexts texts(dbf);
    TRecordBuffer buffer = dbf.NewRecordBuffer();
    std::string shown = "kept|";
    int compared = 0;
    for (std::int32_t record = 0; record < dbf.RecordCount(); ++record) {
      dbf.ReadRecordAt(record, buffer);
      const auto* bytes =
          reinterpret_cast<const std::uint8_t*>(buffer.data() + TDbf::kRecordOffset);
      for (int c = 0; c < dbf.FieldCount(); ++c) {
        shown.resize(5);
        texts.Append(c, bytes, shown);
        EXPECT_EQ(shown.substr(5), dbf.Fields(c).DisplayTextIn(buffer))
            << "record " << record << ", field " << dbf.Fields(c).FieldName();
        ++compared;
      }
    }
    return compared;
  }
};

TEST_F(DisplayTextsTest, EveryDbaseTypeShowsAsTheFieldDoes) {
  ForeignImage image;
  image.version = 0x83;
  image.language = 0;
  image.fields = {{"NAME", 'C', 8}, {"N", 'N', 20}, {"F", 'N', 8, 2},
                  {"D", 'D', 8},    {"L", 'L', 1},  {"NOTE", 'M', 10}};
  // Fields as stored: names left-aligned, numbers right-aligned, the rest as given.
  auto row = [](const char* flag, std::string name, std::string n, std::string f, std::string d,
                const char* l, std::string memo) {
    name.resize(8, ' ');
    d.resize(8, ' ');
    return flag + name + std::string(20 - n.size(), ' ') + n + std::string(8 - f.size(), ' ') + f +
           d + l + std::string(10 - memo.size(), ' ') + memo;
  };
  const std::vector<std::string> rows = {
      row(" ", "Ann", "7", "2.50", "20240229", "T", "1"),
      row("*", "\x8E\x84\x94\x81x", "-42", "-0.05", "19991231", "?", ""),
      row(" ", "", "99999999999999999999", "", "", " ", ""),
      row(" ", " a b c", "abc", "1.5e3", "20231399", "y", "2"),
      row(" ", "x", "-9223372036854775808", "100.00", "00010101", "n", ""),
      row(" ", "y", "0", "0.00", "99991231", "F", ""),
      row(" ", "z", "1", "1", "abcdefgh", "t", ""),
      row(" ", "w", "1", "1", "2024", "Y", ""),
  };
  image.records = rows;
  std::string path = WriteFile("all.dbf", image.Bytes());
  WriteFile("all.dbt", std::string(512, '\0'));
  TDbf dbf;
  dbf.SetTableName(path);
  dbf.Open();
  // Dates far apart: the first is kept, the others fall outside its window of days.
  EXPECT_EQ(ExpectSameAsDisplayText(dbf), 8 * 6);
  dbf.Close();

  // The same bytes under another session: OEM bytes translate into another ANSI page.
  auto session = NewTableCodePages(866, 1251);
  ScopedCodePages scoped(*session);
  dbf.Open();
  EXPECT_EQ(ExpectSameAsDisplayText(dbf), 8 * 6);
}

TEST_F(DisplayTextsTest, StoredDecimalsOfEveryShapeShowAsTheirValue) {
  // Signs, leading and trailing zeros, bare points, long and tiny values, more digits than
  // a double holds, and texts that are no plain decimal, under two decimal separators.
  ForeignImage image;
  image.version = 0x03;
  image.fields = {{"F", 'N', 24, 6}};
  const std::vector<std::string> fixed = {"0",
                                          "-0",
                                          "-0.000",
                                          "0.0001",
                                          "0.00001",
                                          ".5",
                                          "-.5",
                                          "5.",
                                          "-",
                                          ".",
                                          "1e5",
                                          "+3",
                                          "1.2.3",
                                          "12 3",
                                          "999999999999999",
                                          "1234567890123456",
                                          "1000000000000000",
                                          "10000000000000000",
                                          "0.000123456789012345",
                                          "00012.3400",
                                          "-100",
                                          "123456789012.345",
                                          "1,5",
                                          "9.99999999999999999"};
  unsigned seed = 99;
  auto next = [&seed](unsigned bound) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) % bound;
  };
  for (const std::string& text : fixed)
    image.records.push_back(" " + std::string(24 - text.size(), ' ') + text);
  for (int i = 0; i < 400; ++i) {
    std::string text = next(3) == 0 ? "-" : "";
    for (unsigned n = next(12); n > 0; --n)
      text += static_cast<char>('0' + next(next(4) == 0 ? 1 : 10));
    if (next(4) != 0) {
      text += '.';
      for (unsigned n = next(9); n > 0; --n) text += static_cast<char>('0' + next(10));
    }
    image.records.push_back(" " + std::string(24 - text.size(), ' ') + text);
  }
  TDbf dbf;
  dbf.SetTableName(WriteFile("decimals.dbf", image.Bytes()));
  dbf.Open();
  EXPECT_EQ(ExpectSameAsDisplayText(dbf), static_cast<int>(image.records.size()));
  RegionalSettings comma = Settings();
  comma.decimalSeparator = ',';
  ScopedRegionalSettings scoped(comma);
  EXPECT_EQ(ExpectSameAsDisplayText(dbf), static_cast<int>(image.records.size()));
}

TEST_F(DisplayTextsTest, RandomStoredBytesShowAsTheFieldDoes) {
  // Bytes another program (or damage) may leave: digits, signs, points, blanks, letters,
  // control and high bytes in every field of every dBase type.
  ForeignImage image;
  image.version = 0x83;
  image.language = 0;
  image.fields = {{"C", 'C', 6}, {"N", 'N', 7}, {"F", 'N', 9, 3}, {"G", 'F', 6, 1},
                  {"D", 'D', 8}, {"L", 'L', 1}, {"M", 'M', 10},   {"W", 'N', 20}};
  const std::string alphabet = "0123456789000.-+ eE?TtFfYyNn,\x01\x1F\x80\xE9\xFF";
  unsigned seed = 2024;
  auto next = [&seed](unsigned bound) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) % bound;
  };
  for (int i = 0; i < 3000; ++i) {
    std::string record = i % 7 == 0 ? "*" : " ";
    for (const Descriptor& field : image.fields) {
      std::string bytes(static_cast<std::size_t>(field.length), ' ');
      // Mostly right-aligned runs, as numbers are stored, sometimes anywhere.
      const unsigned used = next(static_cast<unsigned>(field.length) + 1);
      const unsigned start = next(3) == 0 ? next(static_cast<unsigned>(field.length) - used + 1)
                                          : static_cast<unsigned>(field.length) - used;
      for (unsigned k = 0; k < used; ++k) bytes[start + k] = alphabet[next(alphabet.size())];
      record += bytes;
    }
    image.records.push_back(record);
  }
  WriteFile("random.dbt", std::string(512, '\0'));
  TDbf dbf;
  dbf.SetTableName(WriteFile("random.dbf", image.Bytes()));
  dbf.Open();
  EXPECT_EQ(ExpectSameAsDisplayText(dbf), 3000 * 8);
}

TEST_F(DisplayTextsTest, TablesThatNameTheirPageAndForeignFieldsShowAsTheFieldDoes) {
  ForeignImage image;
  image.version = 0x03;
  image.language = 0x65;  // 866
  image.fields = {{"NAME", 'C', 4}};
  image.records = {" \x80\xAD\xAD\xA0", " abc", "     "};
  TDbf russian;
  russian.SetTableName(WriteFile("ru.dbf", image.Bytes()));
  russian.Open();
  EXPECT_EQ(ExpectSameAsDisplayText(russian), 3);
  // UTF-8 has no byte table: ASCII is taken as it is, the rest translated.
  WriteBytes(folder_.File("ru.cpg"), "UTF-8");
  russian.Close();
  image.records = {" \xD0\x90\xD0\xB1", " abc", " \xC3\xA9  "};
  WriteFile("ru.dbf", image.Bytes());
  russian.Open();
  EXPECT_EQ(ExpectSameAsDisplayText(russian), 3);

  WriteFile("vfp.fpt", FptBytes(64, {{8, "memo text"}}));
  TDbf vfp;
  vfp.SetTableName(WriteFile("vfp.dbf", VisualFoxProImage().Bytes()));
  vfp.Open();
  EXPECT_EQ(ExpectSameAsDisplayText(vfp), 3 * 9);
}

}  // namespace
}  // namespace tavlo
