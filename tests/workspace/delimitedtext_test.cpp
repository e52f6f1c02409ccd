// Delimited text in and out of tables: the reader's rows, the import that stores every value
// whole or refuses its row (the inputs of a hostile test that once lost rows with success
// reported), and export followed by import giving the same table back for every type.
#include "workspace/delimitedtext.h"

#include <gtest/gtest.h>

#include "dbf/cursor_fixture.h"
#include "dbf/dbferrors.h"
#include "dbf/fields.h"
#include "platform/codepage.h"

namespace tavlo {
namespace {

using cursortest::CursorTest;

class DelimitedTextTest : public CursorTest {
 protected:
  DelimitedTextTest()
      : pages_(NewTableCodePages(850, 1252)), pagesScope_(*pages_), datesScope_(UsDates()) {}

  // Regional dates unlike ISO ones, so that the two forms are told apart.
  static RegionalSettings UsDates() {
    RegionalSettings settings;
    settings.decimalSeparator = '.';
    settings.dateSeparator = '/';
    settings.shortDateFormat = "mm/dd/yyyy";
    return settings;
  }

  static TFieldDefs AllTypes() {
    return {{"NAME", TFieldType::ftString, 12},  {"SMALL", TFieldType::ftSmallint, 0},
            {"WHOLE", TFieldType::ftInteger, 0}, {"LARGE", TFieldType::ftLargeint, 0},
            {"AMT", TFieldType::ftFloat, 0},     {"OK", TFieldType::ftBoolean, 0},
            {"BORN", TFieldType::ftDate, 0},     {"NOTE", TFieldType::ftMemo, 0}};
  }

  // The csv_silent_loss table of the reproducer: NAME C(10), AGE N, BORN D, OK L, AMT, NOTE M.
  std::string Base(const std::string& name = "base.dbf") {
    return MakeTable(name, {{"NAME", TFieldType::ftString, 10},
                            {"AGE", TFieldType::ftInteger, 0},
                            {"BORN", TFieldType::ftDate, 0},
                            {"OK", TFieldType::ftBoolean, 0},
                            {"AMT", TFieldType::ftFloat, 0},
                            {"NOTE", TFieldType::ftMemo, 0}});
  }

  static std::string Export(const std::string& path, TDelimitedFormat format = {},
                            bool withDeleted = false) {
    TDbf dbf;
    dbf.SetTableName(path);
    dbf.SetReadOnly(true);
    dbf.SetShowDeleted(withDeleted);
    dbf.Open();
    dbf.First();
    std::string text;
    WriteDelimitedRecords(dbf, format, withDeleted, [&](const std::string& t) { text += t; });
    return text;
  }

  static TImportResult Import(const std::string& path, const std::string& text,
                              TDelimitedFormat format = {}) {
    TDbf dbf;
    dbf.SetTableName(path);
    dbf.Open();
    TImportResult result = ImportDelimited(dbf, text, format);
    dbf.Close();
    return result;
  }

  static TDelimitedFormat Tsv() {
    TDelimitedFormat format;
    format.tsv = true;
    format.delimiter = '\t';
    return format;
  }

 private:
  std::unique_ptr<CodePages> pages_;
  ScopedCodePages pagesScope_;
  ScopedRegionalSettings datesScope_;
};

std::vector<std::vector<std::string>> Rows(const std::string& text, TDelimitedFormat format,
                                           std::vector<std::string>* problems = nullptr) {
  TDelimitedReader reader(text, format);
  TDelimitedRow row;
  std::vector<std::vector<std::string>> rows;
  while (reader.Next(row)) {
    rows.push_back(row.values);
    if (problems) problems->push_back(row.problem);
  }
  return rows;
}

TEST_F(DelimitedTextTest, ReaderEndsRowsWhereTheTextSays) {
  using R = std::vector<std::vector<std::string>>;
  EXPECT_EQ(Rows("a,\"b,\"\"c\"\"\r\nd\"\rx,y\n", {}), (R{{"a", "b,\"c\"\r\nd"}, {"x", "y"}}));
  std::vector<std::string> problems;
  // Text after a closing quote spoils the row, not the next one.
  EXPECT_EQ(Rows("\"ab\"c,1\nd,2\n", {}, &problems), (R{{"abc", "1"}, {"d", "2"}}));
  EXPECT_EQ(problems, (std::vector<std::string>{"text follows the closing quote of a value", ""}));
  // A backslash before a line break does not join two rows of tab-separated text, and an
  // escape TSV does not have is no silent change of the value.
  problems.clear();
  EXPECT_EQ(Rows("t1\tline\\nnext\\\nt2\tC:\\Users\nt3\t\\\\\\t\n", Tsv(), &problems),
            (R{{"t1", "line\nnext"}, {"t2", "C:\\Users"}, {"t3", "\\\t"}}));
  EXPECT_EQ(problems[0],
            "a backslash ends the line (tab-separated text escapes a line break as \\n)");
  EXPECT_EQ(problems[1], "'\\U' is no escape of tab-separated text (\\t, \\r, \\n and \\\\ are)");
  EXPECT_EQ(problems[2], "");

  const std::string unclosed = "A\n\"open,1\nb,2\n";
  TDelimitedReader reader(unclosed, {});
  TDelimitedRow row;
  ASSERT_TRUE(reader.Next(row));
  ASSERT_TRUE(reader.Next(row));
  EXPECT_TRUE(row.unclosedQuote);
  EXPECT_EQ(row.line, 2);
  EXPECT_FALSE(reader.Next(row));
}

// Each input of the reproducer once appended rows with values lost, or blank records, and
// exited as a success.
TEST_F(DelimitedTextTest, EveryValueIsStoredWholeOrItsRowRefused) {
  struct Case {
    const char* what;
    std::string text;
    bool tsv;
    std::string expected;  // the result text, or the message of the refusal of the whole file
    std::vector<std::string> names;  // NAME of the records afterwards
  };
  const std::string nothing = "; nothing was appended";
  const std::vector<Case> cases = {
      {"unterminated quote",
       "NAME,AGE\n\"abc,5\nbob,6\ncy,7\n",
       false,
       "Line 2: a quoted value starts here and is never closed" + nothing,
       {}},
      {"too long",
       "NAME,AGE\nabcdefghijklmnop,5\nabcdefghij   ,6\n",
       false,
       "Line 2: 'abcdefghijklmnop' is longer than field 'NAME' holds (10 characters)\n"
       "1 record appended, 1 refused\n",
       {"abcdefghij"}},
      {"ten megabytes",
       "NAME\n" + std::string(10 << 20, 'x') + "\n",
       false,
       "Line 2: '" + std::string(40, 'x') +
           "...' (10485760 characters) is longer than field 'NAME' holds (10 characters)\n"
           "0 records appended, 1 refused\n",
       {}},
      {"NUL",
       std::string("NAME,AGE,NOTE\na\0b,5,m\0emo\nok,6,x\n", 33),
       false,
       "Line 2: the value of NAME holds a NUL character, which a table cannot store\n"
       "1 record appended, 1 refused\n",
       {"ok"}},
      {"extra columns",
       "NAME,AGE\nann,5,EXTRA,MORE\nbob\n",
       false,
       "Line 2: 4 values where the header row has 2 columns\n"
       "Line 3: 1 value where the header row has 2 columns\n0 records appended, 2 refused\n",
       {}},
      {"no column names a field",
       "FOO,BAR\n1,2\n",
       false,
       "No column of the header row names a field of the table (FOO, BAR)" + nothing,
       {}},
      {"blank first line",
       "\nann,5\n",
       false,
       "Line 1 is blank: the file must begin with a header row of field names" + nothing,
       {}},
      {"a field named twice",
       "name,AGE,Name\na,1,b\n",
       false,
       "Columns 1 and 3 of the header row both name field 'NAME'" + nothing,
       {}},
      {"UTF-16",
       std::string("\xFF\xFEN\0A\0M\0E\0,\0A\0G\0E\0\n\0u\0\xFC\0,\0"
                   "5\0\n\0",
                   30),
       false,
       "1 record appended, 0 refused\n",
       {"u\xFC"}},
      {"UTF-16 without a mark",
       std::string("N\0A\0M\0E\0\n\0", 10),
       false,
       "The header row holds NUL characters: the file looks like UTF-16 text without a "
       "byte-order mark; save it as UTF-8" +
           nothing,
       {}},
      {"not UTF-8",
       "NAME\nM\xFCller\n",
       false,
       "Line 2: the value of NAME is not UTF-8 text\n0 records appended, 1 refused\n",
       {}},
      {"TSV backslash line end",
       "NAME\tNOTE\nt1\tline\\nnext\\\nt2\tend\n",
       true,
       "Line 2: a backslash ends the line (tab-separated text escapes a line break as \\n)\n"
       "1 record appended, 1 refused\n",
       {"t2"}},
      {"unknown column, blank lines",
       "NAME,colour,\n\nann,red,\n\nbob,,\n",
       false,
       "Column colour is not a field of the table; ignored (1 value)\n"
       "Column 3 has no name; ignored\n2 records appended, 0 refused\n",
       {"ann", "bob"}},
      {"dates both ways, decimals, flags",
       "NAME,BORN,AMT,_deleted\na,2019-03-14,1.5,\nb,03/14/2019,,*\nc,2019-02-30,,\n"
       "d,,1.23456,\ne,,,x\n",
       false,
       "Line 4: '2019-02-30' is not a valid date\n"
       "Line 5: '1.23456' has more decimals than field 'AMT' holds (4)\n"
       "Line 6: 'x' in column _deleted is neither * nor empty\n2 records appended, 3 refused\n",
       {"a"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = Base();
    TDelimitedFormat format = c.tsv ? Tsv() : TDelimitedFormat();
    try {
      EXPECT_EQ(Import(path, c.text, format).Text(), c.expected);
    } catch (const Exception& error) {
      EXPECT_EQ(std::string(error.what()), c.expected);
    }
    TDbf dbf;
    dbf.SetTableName(path);
    dbf.Open();
    EXPECT_EQ(Walk(dbf), c.names);
    dbf.Close();
    std::filesystem::remove(path);
    std::filesystem::remove(folder_.File("base.dbt"));
  }
}

TEST_F(DelimitedTextTest, DatesAndDeletionFlagsAsTheyWereGiven) {
  const std::string path = Base();
  Import(path, "NAME,BORN,_deleted\na,2019-03-14,\nb,12/31/2000,*\n");
  TDbf dbf;
  dbf.SetTableName(path);
  dbf.SetShowDeleted(true);
  dbf.Open();
  dbf.First();
  EXPECT_EQ(dbf.LookupField("BORN").TextValue(), "03/14/2019");
  EXPECT_FALSE(dbf.IsDeleted());
  dbf.Next();
  EXPECT_EQ(dbf.LookupField("BORN").TextValue(), "12/31/2000");
  EXPECT_TRUE(dbf.IsDeleted());
}

TEST_F(DelimitedTextTest, CharactersTheTablesPageLacksRefuseTheirRow) {
  // A table that names page 866 (Cyrillic) in a session whose OEM page is 850: "é" is in the
  // session's pages but not the table's, and was stored as another letter.
  const std::string path = Base();
  std::string bytes = cursortest::ReadBytes(path);
  bytes[29] = 0x26;
  cursortest::WriteBytes(path, bytes);
  const TImportResult result = Import(path, "NAME,NOTE\ncaf\xC3\xA9,x\nok,caf\xC3\xA9\n");
  EXPECT_EQ(result.Text(),
            "Line 2: 'caf\xE9' holds characters the table cannot store\n"
            "Line 3: 'caf\xE9' holds characters the table cannot store\n"
            "0 records appended, 2 refused\n");
}

TEST_F(DelimitedTextTest, TablesThatCannotBeChangedRefuseTheWholeFile) {
  const std::string path = Base();
  std::string bytes = cursortest::ReadBytes(path);
  bytes[10] = 0;  // record size 0 in the header: "1 record appended" once, and nothing stored
  bytes[11] = 0;
  cursortest::WriteBytes(path, bytes);
  EXPECT_THROW_MSG(Import(path, "NAME\nzed\n"), EDatabaseError,
                   "Cannot modify the table until it is repaired: Invalid Record Size, Record "
                   "Size in Hdr : 0, Expected : 61");
  EXPECT_EQ(cursortest::ReadBytes(path), bytes);
}

TEST_F(DelimitedTextTest, ExportCarriesMemoTextsAndIsoDates) {
  const std::string path = MakeTable(
      "t.dbf", AllTypes(),
      {{"Ann, \"A\"", "7", "-70", "12345678901234", "2.5", "True", "03/14/2019", "line 1\r\nx"},
       {"", "", "", "", "", "", "", ""}});
  EXPECT_EQ(Export(path),
            "NAME,SMALL,WHOLE,LARGE,AMT,OK,BORN,NOTE\r\n"
            "\"Ann, \"\"A\"\"\",7,-70,12345678901234,2.5,True,2019-03-14,\"line 1\r\nx\"\r\n"
            ",,,,,,,\r\n");
  TDelimitedFormat regional;
  regional.regionalDates = true;
  EXPECT_NE(Export(path, regional).find(",03/14/2019,"), std::string::npos);
  TDelimitedFormat tsv = Tsv();
  EXPECT_NE(Export(path, tsv).find("\tline 1\\r\\nx\n"), std::string::npos);
}

TEST_F(DelimitedTextTest, ExportThenImportGivesTheSameTable) {
  const std::vector<std::vector<std::string>> rows = {
      {"Ann, \"A\"", "7", "-70", "12345678901234", "2.5", "True", "03/14/2019", "two\r\nlines"},
      {"Zo\xEB M\xFCller", "-32768", "2147483647", "-9", "-0.0625", "False", "12/31/1899", ""},
      {"", "", "", "", "", "", "", ""},
      {"tab\there", "0", "0", "0", "1234567.125", "", "01/01/0001", "a,b\t\"c\"\\d"},
      {"caf\xE9", "", "", "", "0.0001", "True", "", "caf\xE9 \xA3"},
  };
  const std::string original = MakeTable("original.dbf", AllTypes(), rows);
  {
    // A deleted record is carried by the _deleted column.
    TDbf dbf;
    dbf.SetTableName(original);
    dbf.Open();
    dbf.Last();
    dbf.Delete();
  }
  TDelimitedFormat regional;
  regional.regionalDates = true;
  int copies = 0;
  for (const TDelimitedFormat& format : {TDelimitedFormat(), Tsv(), regional}) {
    SCOPED_TRACE(format.tsv ? "tsv" : format.regionalDates ? "regional dates" : "csv");
    const std::string copy = MakeTable("copy" + std::to_string(++copies) + ".dbf", AllTypes());
    const std::string text = Export(original, format, true);
    const TImportResult result = Import(copy, text, format);
    EXPECT_EQ(result.Text(), "5 records appended, 0 refused\n");
    EXPECT_EQ(Export(copy, format, true), text);
    EXPECT_EQ(Export(copy), Export(original));
  }
  // A table of one column: an empty value is no blank line.
  const std::string single =
      MakeTable("single.dbf", {{"NAME", TFieldType::ftString, 5}}, {{"a"}, {""}, {"b"}});
  EXPECT_EQ(Export(single), "NAME\r\na\r\n\"\"\r\nb\r\n");
  for (const TDelimitedFormat& format : {TDelimitedFormat(), Tsv()}) {
    const std::string copy =
        MakeTable("copy" + std::to_string(++copies) + ".dbf", {{"NAME", TFieldType::ftString, 5}});
    EXPECT_EQ(Import(copy, Export(single, format), format).appended, 3);
    EXPECT_EQ(Export(copy), Export(single));
  }
}

}  // namespace
}  // namespace tavlo
