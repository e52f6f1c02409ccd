// Tables other programs write: upper-case file names, the descriptor terminator, logicals as
// dBase and FoxPro store them, FoxPro and Visual FoxPro tables with their memo files, binary
// fields and null flags, and dBase 7 descriptors. Byte-level tables, read through the cursor.
#include <cstring>

#include "cursor_fixture.h"
#include "dbf/dbferrors.h"
#include "dbf/fptfile.h"
#include "dbf/tablecodepage.h"
#include "foreign_tables_fixture.h"
#include "platform/codepage.h"
#include "platform/textcodec.h"

namespace tavlo {
namespace {

using namespace cursortest;
using namespace foreigntest;

class ForeignTableTest : public CursorTest {
 protected:
  // Every field's text of every record, in file order.
  static std::vector<std::vector<std::string>> Texts(TDbf& dbf) {
    std::vector<std::vector<std::string>> rows;
    for (dbf.First(); !dbf.AtEnd(); dbf.Next()) {
      rows.emplace_back();
      for (int i = 0; i < dbf.FieldCount(); ++i) rows.back().push_back(dbf.Fields(i).TextValue());
    }
    return rows;
  }
};

// ---- file names on a case-sensitive file system ----

TEST_F(ForeignTableTest, UpperCaseTableAndMemoNamesOpenAsGiven) {
  std::string dbt(512, '\0');
  dbt[0] = 2;
  dbt += std::string("upper memo\x1A\x1A", 12);
  WriteFile("PYACFL.DBT", dbt);
  ForeignImage image;
  image.version = 0x83;
  image.fields = {{"NAME", 'C', 5}, {"NOTE", 'M', 10}};
  image.records = {" Anna          1"};
  std::string path = WriteFile("PYACFL.DBF", image.Bytes());

  TDbf dbf;
  dbf.SetTableName(path);
  dbf.SetReadOnly(true);
  dbf.Open();
  EXPECT_EQ(dbf.DataFilePath(), path);
  EXPECT_EQ(dbf.LookupField("NOTE").TextValue(), "upper memo");

  // A name without extension finds the upper-case file too.
  TDbf bare;
  bare.SetTableName(folder_.File("PYACFL"));
  bare.SetReadOnly(true);
  bare.Open();
  EXPECT_EQ(bare.LookupField("NAME").TextValue(), "Anna");
}

TEST_F(ForeignTableTest, CompanionFilesAreFoundInAnyCaseAndNewTablesStayLowerCase) {
  std::string dbt(512, '\0');
  dbt[0] = 2;
  dbt += std::string("mixed\x1A\x1A", 7);
  WriteFile("Kunden.Dbt", dbt);
  ForeignImage image;
  image.version = 0x83;
  image.fields = {{"NOTE", 'M', 10}};
  image.records = {"          1"};
  WriteFile("Kunden.dbf", image.Bytes());
  TDbf dbf;
  dbf.SetTableName(folder_.File("Kunden.dbf"));
  dbf.Open();
  EXPECT_EQ(dbf.LookupField("NOTE").TextValue(), "mixed");
  dbf.Close();

  MakeTable("neu", {{"NOTE", TFieldType::ftMemo, 0}});
  EXPECT_TRUE(std::filesystem::exists(folder_.File("neu.dbf")));
  EXPECT_TRUE(std::filesystem::exists(folder_.File("neu.dbt")));
}

// ---- the descriptor terminator ----

TEST_F(ForeignTableTest, FieldListEndsAtTheTerminatorBeforeTheBacklink) {
  ForeignImage image;
  image.fields = {{"NAME", 'C', 4}, {"AGE", 'N', 3}};
  image.records = {" Anna 31"};
  image.backlink = 263;
  TDbf dbf;
  dbf.SetTableName(WriteFile("vfp.dbf", image.Bytes()));
  dbf.Open();
  ASSERT_EQ(dbf.FieldCount(), 2);
  EXPECT_EQ(Texts(dbf), (std::vector<std::vector<std::string>>{{"Anna", "31"}}));
  EXPECT_TRUE(host_.messages.empty());
  EXPECT_TRUE(dbf.OpenDiagnostics().empty());

  // Without a terminator the header size still decides, as before.
  ForeignImage bare;
  bare.version = 0x03;
  bare.fields = {{"NAME", 'C', 4}};
  bare.records = {" Bert"};
  bare.terminator = false;
  TDbf old;
  old.SetTableName(WriteFile("old.dbf", bare.Bytes()));
  old.Open();
  EXPECT_EQ(Texts(old), (std::vector<std::vector<std::string>>{{"Bert"}}));
}

// ---- logicals ----

TEST_F(ForeignTableTest, LogicalsReadYesNoAndUnsetAsOtherReadersDo) {
  ForeignImage image;
  image.version = 0x03;
  image.fields = {{"OK", 'L', 1}};
  for (char c : std::string("TtYyFfNn? ")) image.records.push_back(std::string(" ") + c);
  TDbf dbf;
  dbf.SetTableName(WriteFile("flags.dbf", image.Bytes()));
  dbf.Open();
  std::vector<std::string> texts;
  std::vector<std::string> variants;
  for (dbf.First(); !dbf.AtEnd(); dbf.Next()) {
    TField& field = dbf.LookupField("OK");
    texts.push_back(field.TextValue() + (field.IsNull() ? "/null" : ""));
    variants.push_back(field.VariantValue().IsNull() ? "Null" : field.VariantValue().ToText());
  }
  EXPECT_EQ(texts, (std::vector<std::string>{"True", "True", "True", "True", "False", "False",
                                             "False", "False", "/null", "/null"}));
  EXPECT_EQ(variants, (std::vector<std::string>{"True", "True", "True", "True", "False", "False",
                                                "False", "False", "Null", "Null"}));
  // Writing still stores T and F.
  dbf.First();
  dbf.Edit();
  dbf.LookupField("OK").SetTextValue("false");
  dbf.Post();
  dbf.Close();
  EXPECT_EQ(ReadBytes(folder_.File("flags.dbf"))[66], 'F');
}

// ---- FoxPro and Visual FoxPro ----

TEST_F(ForeignTableTest, VisualFoxProBinaryFieldsNullFlagsAndFptMemosRead) {
  WriteFile("vfp.fpt", FptBytes(64, {{8, "memo text"}}));
  TDbf dbf;
  dbf.SetTableName(WriteFile("vfp.dbf", VisualFoxProImage().Bytes()));
  dbf.Open();
  EXPECT_TRUE(host_.messages.empty());
  EXPECT_TRUE(dbf.OpenDiagnostics().empty());
  ASSERT_EQ(dbf.FieldCount(), 9);  // _NullFlags stays hidden
  EXPECT_EQ(dbf.LookupField("PRICE").DataType(), TFieldType::ftCurrency);
  EXPECT_EQ(dbf.LookupField("STAMP").DataType(), TFieldType::ftDateTime);
  EXPECT_EQ(
      Texts(dbf),
      (std::vector<std::vector<std::string>>{
          {"Anna", "-42", "2.5", "12.3456", "2024-01-01 12:34:56", "ab", "memo text", "", "True"},
          {"Bert", "7", "-0.25", "-0.0005", "", "", "", "", ""},
          {"Cleo", "0", "0", "0", "2024-01-01", "vwxyz", "", "", "False"}}));
  dbf.First();
  EXPECT_TRUE(dbf.LookupField("PRICE").VariantValue().IsCurrency());
  EXPECT_EQ(dbf.LookupField("PRICE").VariantValue().CurrencyValue(), 123456);
  EXPECT_EQ(dbf.LookupField("NOTE").DisplayText(), "(MEMO)");
  EXPECT_EQ(dbf.LookupField("PIC").DisplayText(), "(Blob)");
  dbf.Next();
  EXPECT_TRUE(dbf.LookupField("CODE").IsNull());
  EXPECT_TRUE(dbf.LookupField("OK").VariantValue().IsNull());
  EXPECT_TRUE(dbf.LookupField("STAMP").IsNull());
}

TEST_F(ForeignTableTest, BinaryFieldsOrderByTheirValuesWithNullsFirst) {
  WriteFile("vfp.fpt", FptBytes(64, {{8, "memo text"}}));
  ForeignImage image = VisualFoxProImage();
  // A fourth record: a larger count, a negative rate and price, no date-time.
  std::string dora = image.records[1];
  dora.replace(1, 4, "Dora");
  dora.replace(7, 4, Le(100000, 4));
  image.records.push_back(dora);
  TDbf dbf;
  dbf.SetTableName(WriteFile("vfp.dbf", image.Bytes()));
  dbf.Open();
  auto names = [&](const std::vector<std::string>& keys, bool descending) {
    dbf.SetOrder(keys, descending);
    std::string joined;
    for (dbf.First(); !dbf.AtEnd(); dbf.Next()) {
      joined += (joined.empty() ? "" : " ") + dbf.LookupField("NAME").TextValue();
    }
    return joined;
  };
  // Little-endian integers, doubles and currency by value, not by their bytes.
  EXPECT_EQ(names({"COUNT"}, false), "Anna Cleo Bert Dora");
  EXPECT_EQ(names({"COUNT"}, true), "Dora Bert Cleo Anna");
  EXPECT_EQ(names({"RATE"}, false), "Bert Dora Cleo Anna");
  EXPECT_EQ(names({"PRICE"}, false), "Bert Dora Cleo Anna");
  // Empty date-times and null-flagged fields are null; equal keys keep file order.
  EXPECT_EQ(names({"STAMP"}, false), "Bert Dora Cleo Anna");
  EXPECT_EQ(names({"CODE"}, false), "Bert Dora Anna Cleo");
  EXPECT_EQ(names({"OK", "COUNT"}, false), "Bert Dora Cleo Anna");
  EXPECT_THROW_MSG(dbf.SetOrder({"PIC"}), EDatabaseError, "Cannot order by memo field 'pic'");
  dbf.Close();

  // dBase 7 stores numbers in an order of their own bytes; blank ones are null.
  ForeignImage seven;
  seven.version = 0x04;
  seven.dbase7 = true;
  seven.fields = {{"NAME", 'C', 3}, {"SCORE", 'O', 8}, {"N", 'I', 4}};
  auto sortable = [](double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, 8);
    bits = value >= 0 ? bits | 0x8000000000000000ULL : ~bits;
    return Be(bits, 8);
  };
  seven.records = {
      " big" + sortable(1e6) + Be(0x80000005, 4), " neg" + sortable(-2.5) + Be(0x7FFFFFFE, 4),
      " nil" + std::string(8, '\0') + Be(0x80000000, 4), " one" + sortable(1) + Be(0x80000001, 4)};
  dbf.SetTableName(WriteFile("seven.dbf", seven.Bytes()));
  dbf.Open();
  EXPECT_EQ(names({"SCORE"}, false), "nil neg one big");
  EXPECT_EQ(names({"N"}, false), "neg nil one big");
}

TEST_F(ForeignTableTest, VisualFoxProEditsWritableFieldsAndRefusesTheOthers) {
  std::string fpt = WriteFile("vfp.fpt", FptBytes(64, {{8, "memo text"}}));
  std::string path = WriteFile("vfp.dbf", VisualFoxProImage().Bytes());
  TDbf dbf;
  dbf.SetTableName(path);
  dbf.Open();
  dbf.Next();  // Bert: OK is null by its flag
  dbf.Edit();
  EXPECT_THROW_MSG(dbf.LookupField("COUNT").SetTextValue("8"), EDatabaseError,
                   "Field 'COUNT' cannot be modified");
  EXPECT_THROW_MSG(dbf.LookupField("CODE").SetVariantValue(Variant("x")), EDatabaseError,
                   "Field 'CODE' cannot be modified");
  dbf.LookupField("OK").SetTextValue("True");
  dbf.LookupField("NOTE").SetTextValue(std::string(100, 'm'));
  dbf.Post();
  dbf.Insert();
  dbf.LookupField("NAME").SetTextValue("Dora");
  dbf.Post();
  dbf.Close();

  TDbf again;
  again.SetTableName(path);
  again.SetReadOnly(true);
  again.Open();
  auto rows = Texts(again);
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[1][8], "True");  // the null flag was cleared with the write
  EXPECT_EQ(rows[1][6], std::string(100, 'm'));
  EXPECT_EQ(rows[0][6], "memo text");
  // The appended record has zero binary fields and null flags, not spaces.
  EXPECT_EQ(rows[3], (std::vector<std::string>{"Dora", "0", "0", "0", "", "", "", "", ""}));
  // The new memo went after the old one, and the header says where the next one goes.
  std::string bytes = ReadBytes(fpt);
  EXPECT_EQ(bytes.substr(9 * 64, 8), Be(1, 4) + Be(100, 4));
  EXPECT_EQ(bytes.substr(0, 4), Be(9 + 2, 4));
}

TEST_F(ForeignTableTest, FoxProTwoMemoBlocksAreDecimalAndLongCharacterFieldsRead) {
  WriteFile("FOX.FPT", FptBytes(512, {{1, "fox memo"}}));
  ForeignImage image;
  image.version = 0xF5;
  image.fields = {{"LONG", 'C', 300 & 0xFF, 300 >> 8}, {"NOTE", 'M', 10}};
  image.records = {" " + std::string(299, 'x') + "y" + "         1"};
  TDbf dbf;
  dbf.SetTableName(WriteFile("FOX.DBF", image.Bytes()));
  dbf.Open();
  EXPECT_TRUE(host_.messages.empty());
  EXPECT_TRUE(dbf.OpenDiagnostics().empty());
  EXPECT_EQ(dbf.LookupField("LONG").Size(), 300);
  EXPECT_EQ(dbf.LookupField("LONG").TextValue(), std::string(299, 'x') + "y");
  EXPECT_EQ(dbf.LookupField("NOTE").TextValue(), "fox memo");
}

// ---- dBase 7 ----

TEST_F(ForeignTableTest, DbaseSevenDescriptorsAndTypesRead) {
  ForeignImage image;
  image.version = 0x04;
  image.dbase7 = true;
  image.trailing = 48;  // the field properties area
  image.fields = {{"A_RATHER_LONG_FIELD_NAME_OF_32CH", 'C', 3},
                  {"ID", '+', 4},
                  {"SCORE", 'O', 8},
                  {"N", 'I', 4},
                  {"WHEN", '@', 8},
                  {"OK", 'L', 1}};
  auto sortableDouble = [](double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, 8);
    bits = value >= 0 ? bits | 0x8000000000000000ULL : ~bits;
    return Be(bits, 8);
  };
  // 2024-01-01 12:00 is 738885.5 days after 0001-01-01; the timestamp counts from day 1.
  const double ms = (738886.0 + 0.5) * 86400000.0;
  image.records = {" abc" + Be(0x80000001, 4) + sortableDouble(-1.5) + Be(0x7FFFFFFF, 4) +
                       sortableDouble(ms) + "Y",
                   " def" + std::string(4, '\0') + std::string(8, '\0') + Be(0x80000000, 4) +
                       std::string(8, '\0') + "?",
                   // A timestamp before year 1 (from a hostile-test reproducer) shows its bytes.
                   " ghi" + Be(0x80000002, 4) + sortableDouble(2) + Be(0x80000003, 4) +
                       std::string("\x42\xCC\0\0\0\0\0\0", 8) + "N"};
  TDbf dbf;
  dbf.SetTableName(WriteFile("seven.dbf", image.Bytes()));
  dbf.Open();
  EXPECT_TRUE(host_.messages.empty());
  EXPECT_TRUE(dbf.OpenDiagnostics().empty());
  ASSERT_EQ(dbf.FieldCount(), 6);
  EXPECT_EQ(dbf.Fields(0).FieldName(), "A_RATHER_LONG_FIELD_NAME_OF_32CH");
  EXPECT_EQ(Texts(dbf), (std::vector<std::vector<std::string>>{
                            {"abc", "1", "-1.5", "-1", "2024-01-01 12:00:00", "True"},
                            {"def", "", "", "0", "", ""},
                            {"ghi", "2", "2", "3", "0x42CC000000000000", "False"}}));
}

// ---- code pages ----

TEST_F(ForeignTableTest, LanguageByteAndCpgFileNameThePageOfTheText) {
  ForeignImage image;
  image.version = 0x03;
  image.language = 0x65;  // 866
  image.fields = {{"NAME", 'C', 4}};
  image.records = {" \x80\xAD\xAD\xA0"};  // "Анна" in 866
  std::string path = WriteFile("ru.dbf", image.Bytes());
  auto session = NewTableCodePages(866, 1251);
  ScopedCodePages scoped(*session);
  TDbf dbf;
  dbf.SetTableName(path);
  dbf.Open();
  EXPECT_EQ(dbf.DbfFile()->CodePageDescription(), "866 (language byte 0x65)");
  EXPECT_EQ(dbf.LookupField("NAME").TextValue(), "\xC0\xED\xED\xE0");  // in 1251
  dbf.Close();

  // A .cpg file wins over the byte; choosing a page wins over both.
  WriteBytes(folder_.File("ru.cpg"), "1251\r\n");
  dbf.Open();
  EXPECT_EQ(dbf.DbfFile()->CodePageDescription(), "1251 (.cpg file)");
  EXPECT_EQ(dbf.LookupField("NAME").TextValue(), "\x80\xAD\xAD\xA0");
  dbf.SetCodePage(866);
  EXPECT_EQ(dbf.DbfFile()->CodePageDescription(), "866 (chosen)");
  EXPECT_EQ(dbf.LookupField("NAME").TextValue(), "\xC0\xED\xED\xE0");
  EXPECT_THROW_MSG(dbf.SetCodePage(4242), Exception, "Code page 4242 is not available");

  // The tables this system makes name the OEM page their text is stored in.
  std::string own = MakeTable("own", {{"NAME", TFieldType::ftString, 4}});
  TDbf mine;
  mine.SetTableName(own);
  mine.Open();
  EXPECT_EQ(mine.DbfFile()->CodePage(), 866);
  EXPECT_EQ(mine.DbfFile()->CodePageDescription(), "866 (language byte 0x26)");
}

TEST(TableCodePage, CpgTextsAndLanguageBytesNameTheirPages) {
  const std::vector<std::pair<std::string, int>> texts = {
      {"UTF-8", 65001},    {"utf8\r\n", 65001},
      {"1251", 1251},      {"CP1252", 1252},
      {"cp 866", 866},     {"Windows-1250", 1250},
      {"ANSI 1251", 1251}, {"ISO-8859-5", 28595},
      {"88591", 28591},    {"", 0},
      {"gibberish", 0},    {"99999", 0}};
  for (const auto& [text, page] : texts) EXPECT_EQ(CodePageOfCpgText(text), page) << text;
  EXPECT_EQ(CodePageOfLanguageByte(0x01), 437);
  EXPECT_EQ(CodePageOfLanguageByte(0x57), 1252);
  EXPECT_EQ(CodePageOfLanguageByte(0x7A), 936);
  EXPECT_EQ(CodePageOfLanguageByte(0x00), 0);
  EXPECT_EQ(CodePageOfLanguageByte(0x58), 0);  // what earlier versions wrote: OEM text
}

TEST_F(ForeignTableTest, UnicodeTextReadsInAUtf8SessionAndWritesCutOnCharacters) {
  ForeignImage image;
  image.version = 0x03;
  image.language = 0x00;
  image.fields = {{"NAME", 'C', 7}};
  image.records = {" \xE6\x97\xA5\xE6\x9C\xAC "};  // "日本" in UTF-8
  std::string path = WriteFile("jp.dbf", image.Bytes());
  WriteBytes(folder_.File("jp.cpg"), "UTF-8");
  EXPECT_EQ(SuitableAnsiPage(65001, 1252), 65001);
  EXPECT_EQ(SuitableAnsiPage(866, 1252), 1251);
  EXPECT_EQ(SuitableAnsiPage(437, 1252), 1252);
  auto session = NewTableCodePages(437, 65001);
  ScopedCodePages scoped(*session);
  TDbf dbf;
  dbf.SetTableName(path);
  dbf.Open();
  EXPECT_EQ(dbf.LookupField("NAME").TextValue(), "\xE6\x97\xA5\xE6\x9C\xAC");
  EXPECT_EQ(dbf.LookupField("NAME").VariantValue(), Variant("\xE6\x97\xA5\xE6\x9C\xAC"));
  dbf.Edit();
  // Three characters of three bytes each: the third does not fit the 7 bytes whole.
  dbf.LookupField("NAME").SetTextValue("\xE4\xB8\xAD\xE6\x96\x87\xE5\xAD\x97");
  dbf.Post();
  dbf.Close();
  EXPECT_EQ(ReadBytes(path).substr(32 + 32 + 1 + 1, 7), "\xE4\xB8\xAD\xE6\x96\x87 ");
}

}  // namespace
}  // namespace tavlo
