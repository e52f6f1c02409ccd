// Key expressions on a Visual FoxPro table of every kind of field: the keys each format stores
// for an expression (one data table), FOR verdicts, the words refused with their reasons, the
// tags that cannot hold an expression's keys, evaluation failures and the case tables.
#include <gtest/gtest.h>

#include <cstring>

#include "cursor_fixture.h"
#include "dbf/dbffile.h"
#include "dbf/keyencode.h"
#include "foreign_tables_fixture.h"

namespace tavlo {
namespace {

using namespace cursortest;
using namespace foreigntest;

std::string Hex(std::string_view bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += kDigits[c >> 4];
    out += kDigits[c & 15];
  }
  return out;
}

std::string HexOf(std::string_view text) {
  return Hex(text);
}

std::string Double(double value) {
  std::string out(8, '\0');
  std::memcpy(out.data(), &value, 8);
  return out;
}

// NAME C(8), CITY C(6) nullable, QTY N(7,2), CNT I, PRICE Y, RATE B, DAY D, STAMP T, OK L in
// code page 1252. Record 1: "Müller", "Köln", 12.50, -42, 12.3456, 2.5, 2024-01-31,
// 2024-01-01 12:00, .T.; record 2 (deleted): "ab", null, -3.25, 7, -5, -0.25, empty, empty,
// .F.; record 3: "   pad", "Wien", 0, 0, 0, 0, 1999-12-31, 2000-01-01 00:00, blank.
ForeignImage KeyTableImage() {
  ForeignImage image;
  image.version = 0x30;
  image.language = 0x03;
  image.backlink = 263;
  image.fields = {{"NAME", 'C', 8},     {"CITY", 'C', 6, 0, 0x02},
                  {"QTY", 'N', 7, 2},   {"CNT", 'I', 4},
                  {"PRICE", 'Y', 8, 4}, {"RATE", 'B', 8, 2},
                  {"DAY", 'D', 8},      {"STAMP", 'T', 8},
                  {"OK", 'L', 1},       {"_NullFlags", '0', 1, 0, 0x05}};
  auto record = [](char flag, const std::string& name, const std::string& city,
                   const std::string& qty, std::int32_t count, std::int64_t price, double rate,
                   const std::string& day, std::int32_t julian, std::int32_t ms, char ok,
                   char nulls) {
    return std::string(1, flag) + name + city + qty + Le(static_cast<std::uint32_t>(count), 4) +
           Le(static_cast<std::uint64_t>(price), 8) + Double(rate) + day +
           Le(static_cast<std::uint32_t>(julian), 4) + Le(static_cast<std::uint32_t>(ms), 4) + ok +
           nulls;
  };
  image.records = {
      record(' ', "M\xFCller  ", "K\xF6ln  ", "  12.50", -42, 123456, 2.5, "20240131", 2460311,
             43200000, 'T', 0),
      record('*', "ab      ", "      ", "  -3.25", 7, -50000, -0.25, "        ", 0, 0, 'F', 1),
      record(' ', "   pad  ", "Wien  ", "      0", 0, 0, 0, "19991231", 2451545, 0, ' ', 0)};
  return image;
}

class KeyExprTest : public CursorTest {
 protected:
  void SetUp() override {
    const std::string path = WriteFile("key-table.dbf", KeyTableImage().Bytes());
    table_.SetTableName(path);
    table_.SetReadOnly(true);
    table_.SetShowDeleted(true);
    table_.Open();
    fields_ = KeyExprTableOf(*table_.DbfFile(), table_.Layout());
    for (std::int64_t i = 0; i < table_.DbfFile()->RecordCount(); ++i) {
      std::string bytes(static_cast<std::size_t>(table_.DbfFile()->RecordSize()), ' ');
      table_.DbfFile()->ReadRecord(i, bytes.data());
      records_.push_back(bytes);
    }
  }
  void TearDown() override { table_.Close(); }

  const std::uint8_t* Record(int number) const {
    return reinterpret_cast<const std::uint8_t*>(
        records_[static_cast<std::size_t>(number - 1)].data());
  }

  // A tag of format whose header calls for keys of type (as its writer would have made it).
  static TIndexTag TagFor(TIndexFormat format, const std::string& expression,
                          const TKeyType& type) {
    TIndexTag tag;
    tag.keyExpression = expression;
    tag.nullMarker = format == TIndexFormat::Cdx && type.nullable;
    int length = 8;
    switch (type.kind) {
      case TKeyKind::Character:
        length = type.length;
        break;
      case TKeyKind::Numeric:
        length = format == TIndexFormat::Mdx ? 12 : 8;
        if (format == TIndexFormat::Cdx && type.integer) length = 4;
        if (format == TIndexFormat::Ntx) {
          length = type.length > 0 ? type.length : 10;
          tag.keyDecimals = type.length > 0 ? type.decimals : 0;
        }
        break;
      case TKeyKind::Logical:
        length = 1;
        break;
      default:
        break;
    }
    tag.keyLength = length + (tag.nullMarker ? 1 : 0);
    if (format == TIndexFormat::Mdx || format == TIndexFormat::Ndx) {
      tag.keyType = type.kind == TKeyKind::Character ? TIndexKeyType::Character
                    : type.kind == TKeyKind::Date && format == TIndexFormat::Mdx
                        ? TIndexKeyType::Date
                        : TIndexKeyType::Numeric;
    }
    return tag;
  }

  // The key of expression on record in a tag of format made for it, in hexadecimal; "-" when
  // the format cannot hold such keys, "failed: why" when the record gives none.
  std::string KeyHex(TIndexFormat format, const std::string& expression, int record) {
    const TKeyExpression compiled = TKeyExpression::Compile(expression, fields_);
    try {
      TTagKey key = TTagKey::Compile(format, TagFor(format, expression, compiled.Type()), fields_);
      std::string bytes;
      if (key.KeyOf(Record(record), static_cast<std::uint32_t>(record), bytes) !=
          TTagKey::Outcome::Key) {
        return "failed: " + key.Failure();
      }
      EXPECT_EQ(bytes.size(), static_cast<std::size_t>(key.Encoding().length)) << expression;
      return Hex(bytes);
    } catch (const EKeyExprNotUnderstood&) {
      return "-";
    }
  }

  bool Accepts(const std::string& expression, int record) {
    TKeyExpression compiled = TKeyExpression::Compile(expression, fields_);
    return compiled.Accepts(Record(record), static_cast<std::uint32_t>(record));
  }

  TDbf table_;
  TKeyExprTable fields_;
  std::vector<std::string> records_;
};

// One row: an expression, the record it is evaluated on, and the key bytes each format
// stores for it (hexadecimal; "-" where the format holds no such keys). Character keys are the
// same bytes in every format; CDX puts a null marker before those of nullable expressions.
struct KeyRow {
  const char* expression;
  int record;
  std::string cdx, mdx, ndx, ntx;
};

std::string Same(const char* text) {
  return HexOf(text);
}

TEST_F(KeyExprTest, EachFormatStoresTheKeysOfAnExpressionAsItsWritersDo) {
  const std::vector<KeyRow> rows = {
      // Texts: fields as stored, case, trimming, parts, padding.
      {"NAME", 1, Same("M\xFCller  "), Same("M\xFCller  "), Same("M\xFCller  "),
       Same("M\xFCller  ")},
      {"upper(name)", 1, Same("M\xDCLLER  "), Same("M\xDCLLER  "), Same("M\xDCLLER  "),
       Same("M\xDCLLER  ")},
      {"LOWER(NAME)", 1, Same("m\xFCller  "), Same("m\xFCller  "), Same("m\xFCller  "),
       Same("m\xFCller  ")},
      {"TRIM(NAME)+\"|\"", 3, Same("   pad|  "), Same("   pad|  "), Same("   pad|  "),
       Same("   pad|  ")},
      {"LTRIM(NAME)+'|'", 3, Same("pad  |   "), Same("pad  |   "), Same("pad  |   "),
       Same("pad  |   ")},
      {"ALLTRIM(NAME)+[|]", 3, Same("pad|     "), Same("pad|     "), Same("pad|     "),
       Same("pad|     ")},
      {"NAME-\"|\"", 3, Same("   pad|  "), Same("   pad|  "), Same("   pad|  "), Same("   pad|  ")},
      {"LEFT(NAME,3)+RIGHT(NAME,3)", 1, Same("M\xFClr  "), Same("M\xFClr  "), Same("M\xFClr  "),
       Same("M\xFClr  ")},
      {"SUBSTR(NAME,2,3)", 1, Same("\xFCll"), Same("\xFCll"), Same("\xFCll"), Same("\xFCll")},
      {"SUBSTR(NAME,4)", 3, Same("pad  "), Same("pad  "), Same("pad  "), Same("pad  ")},
      {"PADL(TRIM(NAME),10,\"*\")", 3, Same("****   pad"), Same("****   pad"), Same("****   pad"),
       Same("****   pad")},
      {"PADC('ab',6,'-')+PADR(NAME,3)", 1, Same("--ab--M\xFCl"), Same("--ab--M\xFCl"),
       Same("--ab--M\xFCl"), Same("--ab--M\xFCl")},
      // STR: right-aligned, rounded halves away from zero, asterisks when it does not fit.
      {"STR(QTY,8,2)+STR(QTY)", 2, Same("   -3.25        -3"), Same("   -3.25        -3"),
       Same("   -3.25        -3"), Same("   -3.25        -3")},
      {"STR(QTY)+STR(QTY,3,1)+STR(2.675,5,2)", 1, Same("        13*** 2.68"),
       Same("        13*** 2.68"), Same("        13*** 2.68"), Same("        13*** 2.68")},
      {"STR(CNT)+STR(RECNO(),4)+IIF(DELETED(),'D','-')", 2, Same("         7   2D"),
       Same("         7   2D"), Same("         7   2D"), Same("         7   2D")},
      // Dates as texts.
      {"DTOS(DAY)+DTOC(DAY)+DTOC(DAY,1)+DTOS(STAMP)", 1, Same("2024013101/31/242024013120240101"),
       Same("2024013101/31/242024013120240101"), Same("2024013101/31/242024013120240101"),
       Same("2024013101/31/242024013120240101")},
      {"DTOS(DAY)+DTOC(DAY)", 2, Same("          /  /  "), Same("          /  /  "),
       Same("          /  /  "), Same("          /  /  ")},
      // Days beyond the calendar have no date text.
      {"DTOS(DAY+3000000)+STR(YEAR(DAY-800000))", 1, Same("                 0"),
       Same("                 0"), Same("                 0"), Same("                 0")},
      // BINTOC: big-endian with the sign bit flipped.
      {"BINTOC(CNT,2)+BINTOC(CNT)+BINTOC(VAL(' 5x'),1)", 1, "7fd67fffffd685", "7fd67fffffd685",
       "7fd67fffffd685", "7fd67fffffd685"},
      {"IIF(OK,'yes','no')", 2, Same("no "), Same("no "), Same("no "), Same("no ")},
      {"NVL(CITY,'none')", 2, Same("none  "), Same("none  "), Same("none  "), Same("none  ")},
      // A nullable text: CDX marks it, the other formats have no key for a null.
      {"CITY", 1, "80" + HexOf("K\xF6ln  "), Same("K\xF6ln  "), Same("K\xF6ln  "),
       Same("K\xF6ln  ")},
      {"CITY", 2, "00000000000000",
       "failed: the value is null, and the tag's keys have no null marker",
       "failed: the value is null, and the tag's keys have no null marker",
       "failed: the value is null, and the tag's keys have no null marker"},
      {"UPPER(CITY)+NAME", 2, std::string(30, '0'),
       "failed: the value is null, and the tag's keys have no null marker",
       "failed: the value is null, and the tag's keys have no null marker",
       "failed: the value is null, and the tag's keys have no null marker"},
      // Numbers: CDX sortable doubles (4-byte integers for I fields), MDX BCD, NDX doubles,
      // NTX text of the field's width and decimals (mirrored when negative).
      {"QTY", 1, "c029000000000000", "361112500000000000000000", "0000000000002940",
       HexOf("0012.50")},
      {"QTY", 2, "3ff5ffffffffffff", "359132500000000000000000", "0000000000000ac0",
       HexOf(",,,).*'")},
      {"QTY", 3, "8000000000000000", "340100000000000000000000", "0000000000000000",
       HexOf("0000.00")},
      {"CNT", 1, "7fffffd6", "368942000000000000000000", "00000000000045c0", HexOf(",,,,,,,,(*")},
      {"QTY*2+1", 1, "c03a000000000000", "360926000000000000000000", "0000000000003a40",
       HexOf("0000000026")},
      {"-QTY", 2, "c00a000000000000", "351132500000000000000000", "0000000000000a40",
       HexOf("0000000003")},
      {"PRICE", 1, "c028b0f27bb2fec5", "361912345600000000000000", "c5feb27bf2b02840",
       HexOf("0000000012")},
      // -0.25 rounds to 0 in an NTX key of no decimals: no mirrored digits.
      {"RATE", 2, "402fffffffffffff", "348925000000000000000000", "000000000000d0bf",
       HexOf("0000000000")},
      {"VAL(' 12.5kg')+VAL('-7')-10.5", 1, "3febffffffffffff", "358950000000000000000000",
       "00000000000014c0", HexOf(",,,,,,,,,'")},
      {"YEAR(DAY)*10000+MONTH(DAY)*100+DAY(DAY)", 1, "c1734d7030000000", "3c2120240131000000000000",
       "00000030704d7341", HexOf("0020240131")},
      {"(DAY-{^2024-01-01})+QTY%5+(-7%3)-2.5", 1, "c040000000000000", "360932000000000000000000",
       "0000000000004040", HexOf("0000000032")},
      // Dates: Julian days, as sortable (CDX) or little-endian (MDX, NDX) doubles; NTX text.
      {"DAY", 1, "c142c55a80000000", "000000805ac54241", "000000805ac54241", HexOf("20240131")},
      {"DAY", 2, "8000000000000000", "0000000000000000", "0000000000000000", HexOf("        ")},
      {"DAY+1", 1, "c142c55b00000000", "000000005bc54241", "000000005bc54241", HexOf("20240201")},
      {"CTOD('02/29/24')", 1, "c1427e1280000000", "00000080127e4241", "00000080127e4241",
       HexOf("19240229")},
      {"DAY+3000000", 1, "c154d45d40000000", "000000405dd45441", "000000405dd45441",
       "failed: the value has no key in this tag's form"},
      {"CTOD(' 12-31-2023 ')", 1, "c142c54b00000000", "000000004bc54241", "000000004bc54241",
       HexOf("20231231")},
      // Date-times: CDX only, the time as the fraction of the day.
      {"STAMP", 1, "c142c54bc0000000", "-", "-", "-"},
      {"STAMP+3600", 1, "c142c54bc5555555", "-", "-", "-"},
      // Logicals: CDX and NTX only.
      {"OK", 1, HexOf("T"), "-", "-", HexOf("T")},
      {"OK", 3, HexOf("F"), "-", "-", HexOf("F")},
      {"QTY > 10 .AND. !DELETED()", 2, HexOf("F"), "-", "-", HexOf("F")},
  };
  for (const KeyRow& row : rows) {
    SCOPED_TRACE(std::string(row.expression) + " on record " + std::to_string(row.record));
    EXPECT_EQ(KeyHex(TIndexFormat::Cdx, row.expression, row.record), row.cdx);
    EXPECT_EQ(KeyHex(TIndexFormat::Mdx, row.expression, row.record), row.mdx);
    EXPECT_EQ(KeyHex(TIndexFormat::Ndx, row.expression, row.record), row.ndx);
    EXPECT_EQ(KeyHex(TIndexFormat::Ntx, row.expression, row.record), row.ntx);
  }
}

TEST_F(KeyExprTest, ForExpressionsAcceptWhatXBaseComparisonsAndLogicSay) {
  struct Verdict {
    const char* expression;
    int record;
    bool accepted;
  };
  for (const Verdict& v : std::vector<Verdict>{
           {".NOT.DELETED()", 1, true},
           {"!Deleted()", 2, false},
           {"NAME = \"M\xFC\"", 1, true},  // = compares as far as the right side goes
           {"NAME = \"M\xFCller   x\"", 1, false},
           {"'ab' = NAME", 2, true},  // a shorter left side counts as filled with blanks
           {"NAME == 'ab'", 2, false},
           {"TRIM(NAME) == 'ab'", 2, true},
           {"UPPER(NAME) = 'M\xDC'", 1, true},
           {"NAME <> 'ab' .OR. NAME # 'ab' .OR. NAME != 'ab'", 2, false},
           {"NAME < 'ab ' .AND. NAME >= 'M'", 1, true},
           {"'ll' $ NAME", 1, true},
           {"'' $ NAME", 1, false},
           {"CITY = 'K'", 2, false},  // null is no verdict
           {".NOT. (CITY = 'x')", 2, false},
           {"ISNULL(CITY)", 2, true},
           {"ISNULL(CITY) .OR. CITY = 'x'", 2, true},
           {"ISNULL(CITY) .AND. CITY = 'x'", 2, false},
           {"EMPTY(CITY)", 2, false},
           {"EMPTY(DAY) .AND. EMPTY(STAMP) .AND. EMPTY(QTY - QTY) .AND. EMPTY(.F.)", 2, true},
           {"EMPTY('  ')", 1, true},
           {"IIF(ISNULL(CITY), .T., .F.)", 2, true},
           {"DAY < {^2024-02-01} .AND. DAY >= {^2024-01-31}", 1, true},
           {"DAY = {}", 2, true},
           {"QTY <> 12.5", 1, false},
           {"QTY = 12.5 .AND. CNT = -42 .AND. PRICE > 12.3 .AND. RATE = 2.5", 1, true},
           {"OK = .T. .AND. .NOT. OK = .F.", 1, true},
           {"YEAR(STAMP) = 2024 .AND. DAY(STAMP) = 1 .AND. STAMP - STAMP = 0", 1, true},
           {"key_table->name = 'ab' .AND. FIELD->Cnt = 7", 2, true},
       }) {
    SCOPED_TRACE(v.expression);
    EXPECT_EQ(Accepts(v.expression, v.record), v.accepted);
  }
}

TEST_F(KeyExprTest, WordsOutsideTheUnderstoodOnesAreRefusedWithTheWordAndWhy) {
  struct Refusal {
    std::string expression;
    std::string word;
    const char* reason;
  };
  const std::string deep = std::string(70, '(') + "1" + std::string(70, ')');
  std::string longSum = "1";
  for (int i = 0; i < 1100; ++i) longSum += "+1";
  for (const Refusal& r : std::vector<Refusal>{
           {"UPPE(NAME)", "UPPE", "the function UPPE() is not understood"},
           {"SUBS(NAME,1,2)", "SUBS", "the function SUBS() is not understood"},
           {"NOSUCH", "NOSUCH", "the table has no field NOSUCH"},
           {"OTHER->NAME", "OTHER", "OTHER-> names another table than this one (KEY_TABLE)"},
           {"M->NAME", "M", "names another table"},
           {"NAME + QTY", "+", "\"+\" cannot join a text and a number"},
           {"DAY * 2", "*", "cannot join a date and a number"},
           {"NAME @ 2", "@", "the character \"@\" is not understood"},
           {"NAME + \"abc", "\"abc", "has no closing \""},
           {"STR(QTY, CNT)", "STR", "STR()'s length must be a whole number from 1 to 255"},
           {"STR(QTY, 10, 19)", "STR", "decimals must be a whole number from 0 to 18"},
           {"SUBSTR(NAME, 0)", "SUBSTR", "SUBSTR()'s start 0 lies before the text"},
           {"NAME)", ")", "\")\" follows a complete expression"},
           {"UPPER(NAME", "", "the expression ends where \",\" or \")\" is expected"},
           {"NAME +", "", "the expression ends where a value is expected"},
           {"LEFT(NAME)", "LEFT", "LEFT() takes 2 arguments, not 1"},
           {"UPPER(NAME, 1)", "UPPER", "UPPER() takes 1 argument, not 2"},
           {".X.", ".X.", "\".X.\" is not understood"},
           {"{01/01/2020}", "{01/01/2020}", "only {^YYYY-MM-DD} and {} are"},
           {"{^2021-02-29}", "{^2021-02-29}", "is not understood"},
           {"IIF(OK, 1, 'a')", "IIF", "IIF() cannot give a number or a text"},
           {"IIF(NAME, 1, 2)", "IIF", "IIF() cannot take a text as its argument 1"},
           {".NOT. NAME", ".NOT.", "\".NOT.\" needs a logical, not a text"},
           {"NAME .AND. OK", ".AND.", "joins logicals, not a text and a logical"},
           {"DTOC(DAY, 2)", "DTOC", "second argument must be a whole number from 1 to 1"},
           {"BINTOC(CNT, 3)", "BINTOC", "BINTOC()'s size must be 1, 2 or 4"},
           {"PADR(NAME, CNT)", "PADR", "PADR()'s length must be a whole number"},
           {"PADR(NAME, 4, '--')", "PADR", "filler must be one character"},
           {"NAME = 1", "=", "\"=\" cannot compare a text with a number"},
           {"OK < .T.", "<", "cannot compare a logical with a logical"},
           {"QTY $ QTY", "$", "cannot compare a number with a number"},
           {"-NAME", "-", "\"-\" needs a number, not a text"},
           {"_NullFlags", "_NullFlags", "the table has no field _NullFlags"},  // a system field
           {"PADR(NAME, 40000) + PADR(NAME, 40000)", "+", "longer than 65535 characters"},
           {deep, "(", "nested deeper than 64 levels"},
           {longSum, "+", "the expression has more than 1024 parts"},
           {"QTY > 1" + std::string(400, '0'), "1" + std::string(400, '0'), "is too large"},
       }) {
    SCOPED_TRACE(r.expression);
    try {
      TKeyExpression::Compile(r.expression, fields_);
      ADD_FAILURE() << "understood";
    } catch (const EKeyExprNotUnderstood& refusal) {
      EXPECT_EQ(refusal.Word(), r.word);
      EXPECT_NE(std::string(refusal.what()).find(r.reason), std::string::npos) << refusal.what();
      EXPECT_EQ(r.expression.substr(refusal.Position(), refusal.Word().size()), refusal.Word());
    }
  }
}

TEST_F(KeyExprTest, TypesAreKnownWhenCompiled) {
  struct Typed {
    const char* expression;
    char kind;
    int length;
    bool variable;
    bool nullable;
  };
  for (const Typed& t : std::vector<Typed>{
           {"NAME", 'C', 8, false, false},
           {"CITY + NAME", 'C', 14, false, true},
           {"TRIM(NAME) + NAME", 'C', 16, true, false},
           {"SUBSTR(NAME, 3)", 'C', 6, false, false},
           {"SUBSTR(NAME, 3, 10)", 'C', 6, false, false},
           {"SUBSTR(NAME, CNT, 2)", 'C', 2, true, false},
           {"LEFT(NAME, 20)", 'C', 8, false, false},
           {"STR(QTY, 12, 3)", 'C', 12, false, false},
           {"IIF(OK, NAME, 'x')", 'C', 8, true, false},
           {"NVL(CITY, NAME)", 'C', 8, true, false},
           {"EMPTY(CITY)", 'L', 0, false, false},
           {"QTY", 'N', 7, false, false},
           {"DAY + 1", 'D', 0, false, false},
           {"DAY - DAY", 'N', 0, false, false},
           {"STAMP", 'T', 0, false, false},
       }) {
    SCOPED_TRACE(t.expression);
    const TKeyType type = TKeyExpression::Compile(t.expression, fields_).Type();
    EXPECT_EQ(KeyKindLetter(type.kind), t.kind);
    if (type.kind == TKeyKind::Character || t.length > 0) {
      EXPECT_EQ(type.length, t.length);
    }
    EXPECT_EQ(type.variable, t.variable);
    EXPECT_EQ(type.nullable, t.nullable);
  }
  EXPECT_TRUE(TKeyExpression::Compile("CNT", fields_).Type().integer);
  EXPECT_FALSE(TKeyExpression::Compile("-CNT", fields_).Type().integer);
  EXPECT_EQ(TKeyExpression::Compile("QTY", fields_).Type().decimals, 2);
}

TEST_F(KeyExprTest, ARecordThatGivesNoValueFailsWithTheReason) {
  struct Failure {
    const char* expression;
    int record;
    const char* reason;
    int good;  // a record it evaluates on
  };
  for (const Failure& f : std::vector<Failure>{
           {"SUBSTR(NAME, CNT)", 1, "SUBSTR()'s start lies before the text", 2},
           {"QTY / (CNT - 7)", 2, "division by zero", 3},
           {"QTY % (CNT - 7)", 2, "division by zero", 3},
           {"BINTOC(PRICE * 100, 1)", 1, "BINTOC()'s number does not fit 1 bytes", 3},
       }) {
    SCOPED_TRACE(f.expression);
    TKeyExpression expression = TKeyExpression::Compile(f.expression, fields_);
    EXPECT_FALSE(expression.Evaluate(Record(f.record), static_cast<std::uint32_t>(f.record)));
    EXPECT_EQ(expression.Failure(), f.reason);
    // The next record evaluates again.
    EXPECT_TRUE(expression.Evaluate(Record(f.good), static_cast<std::uint32_t>(f.good)));
    EXPECT_EQ(expression.Failure(), "");
  }
}

// A walk over millions of records must not allocate per record: each node keeps its value
// ready at its greatest length.
TEST_F(KeyExprTest, EvaluationKeepsItsValueWhereItWas) {
  for (const char* text :
       {"UPPER(NAME) + TRIM(NAME) - 'x'", "STR(QTY, 12, 2)", "PADL(ALLTRIM(NAME), 30, '.')",
        "NVL(CITY, NAME)", "IIF(OK, NAME, DTOS(DAY))", "SUBSTR(NAME + NAME, 3)"}) {
    SCOPED_TRACE(text);
    TKeyExpression expression = TKeyExpression::Compile(text, fields_);
    ASSERT_TRUE(expression.Evaluate(Record(1), 1));
    const char* where = expression.Value().text.data();
    for (int record : {2, 3, 1, 2}) {
      ASSERT_TRUE(expression.Evaluate(Record(record), static_cast<std::uint32_t>(record)));
      EXPECT_EQ(expression.Value().text.data(), where);
    }
    // A copy evaluates on its own.
    TKeyExpression copy = expression;
    ASSERT_TRUE(copy.Evaluate(Record(3), 3));
    ASSERT_TRUE(expression.Evaluate(Record(1), 1));
    EXPECT_NE(copy.Value().text, expression.Value().text);
  }
}

TEST_F(KeyExprTest, TagsThatCannotHoldTheKeysOfTheirExpressionAreNotUnderstood) {
  struct Mismatch {
    TIndexFormat format;
    const char* expression;
    int keyLength;
    TIndexKeyType recorded;
    int decimals;
    const char* collation;
    bool nullMarker;
    const char* reason;
  };
  for (const Mismatch& m : std::vector<Mismatch>{
           {TIndexFormat::Cdx, "NAME", 8, TIndexKeyType::Unknown, 0, "GENERAL", false,
            "the tag's keys are in the GENERAL collation; only MACHINE (byte order) is "
            "understood"},
           {TIndexFormat::Cdx, "NAME", 10, TIndexKeyType::Unknown, 0, "", false,
            "the expression gives text keys of 8 bytes, the tag's hold 10"},
           {TIndexFormat::Cdx, "NAME", 9, TIndexKeyType::Unknown, 0, "", true,
            "the tag's keys have a null marker, but the expression cannot be null"},
           {TIndexFormat::Cdx, "QTY", 4, TIndexKeyType::Unknown, 0, "", false,
            "the expression gives numeric keys of 8 bytes, the tag's hold 4"},
           {TIndexFormat::Mdx, "NAME", 8, TIndexKeyType::Numeric, 0, "", false,
            "the tag holds numeric keys, the expression gives text values"},
           {TIndexFormat::Mdx, "STAMP", 8, TIndexKeyType::Date, 0, "", false,
            "date-time keys are not understood in MDX files"},
           {TIndexFormat::Ndx, "OK", 1, TIndexKeyType::Character, 0, "", false,
            "logical keys are not understood in NDX files"},
           {TIndexFormat::Ndx, "DAY", 8, TIndexKeyType::Numeric, 0, "", false, ""},
           {TIndexFormat::Ntx, "OK", 1, TIndexKeyType::Unknown, 0, "", false, ""},
           {TIndexFormat::Ntx, "QTY", 7, TIndexKeyType::Unknown, 0, "", false,
            "the tag's numbers have 0 decimals, the expression's 2"},
           {TIndexFormat::Ntx, "QTY", 8, TIndexKeyType::Unknown, 2, "", false,
            "the expression gives numeric keys of 7 bytes, the tag's hold 8"},
       }) {
    SCOPED_TRACE(m.expression);
    TIndexTag tag;
    tag.keyExpression = m.expression;
    tag.keyLength = m.keyLength;
    tag.keyType = m.recorded;
    tag.keyDecimals = m.decimals;
    tag.collation = m.collation;
    tag.nullMarker = m.nullMarker;
    try {
      TTagKey::Compile(m.format, tag, fields_);
      EXPECT_STREQ(m.reason, "") << "understood";
    } catch (const EKeyExprNotUnderstood& refusal) {
      EXPECT_EQ(refusal.Word(), "");
      EXPECT_STREQ(refusal.what(), m.reason);
    }
  }
  // A FOR expression is compiled with the key and must give a logical.
  TIndexTag tag;
  tag.keyExpression = "NAME";
  tag.keyLength = 8;
  tag.forExpression = "QTY";
  EXPECT_THROW(TTagKey::Compile(TIndexFormat::Cdx, tag, fields_), EKeyExprNotUnderstood);
  tag.forExpression = "NOPE > 1";
  try {
    TTagKey::Compile(TIndexFormat::Cdx, tag, fields_);
    ADD_FAILURE();
  } catch (const EKeyExprNotUnderstood& refusal) {
    EXPECT_EQ(refusal.Word(), "NOPE");
    EXPECT_STREQ(refusal.what(), "the FOR expression: the table has no field NOPE");
  }
  tag.forExpression = "!DELETED()";
  TTagKey key = TTagKey::Compile(TIndexFormat::Cdx, tag, fields_);
  std::string bytes;
  EXPECT_EQ(key.KeyOf(Record(2), 2, bytes), TTagKey::Outcome::Excluded);
  EXPECT_EQ(key.KeyOf(Record(1), 1, bytes), TTagKey::Outcome::Key);
  EXPECT_EQ(bytes, "M\xFCller  ");
}

TEST(KeyExprCase, CaseTablesFollowTheLettersOfTheCodePage) {
  std::array<unsigned char, 256> upper{}, lower{};
  ASSERT_TRUE(CaseTablesOfCodePage(1252, upper, lower));
  EXPECT_EQ(upper['a'], 'A');
  EXPECT_EQ(upper[0xE9], 0xC9);  // é
  EXPECT_EQ(upper[0xFF], 0x9F);  // ÿ to Ÿ
  EXPECT_EQ(upper[0x9A], 0x8A);  // š
  EXPECT_EQ(upper[0xDF], 0xDF);  // ß has no capital of its own
  EXPECT_EQ(upper[0xF7], 0xF7);  // ÷
  EXPECT_EQ(lower[0xC9], 0xE9);
  EXPECT_EQ(lower['Z'], 'z');
  ASSERT_TRUE(CaseTablesOfCodePage(866, upper, lower));
  EXPECT_EQ(upper[0xA0], 0x80);  // а
  EXPECT_EQ(upper[0xEF], 0x9F);  // я
  EXPECT_EQ(upper[0xF1], 0xF0);  // ё
  EXPECT_EQ(lower[0x80], 0xA0);
  ASSERT_TRUE(CaseTablesOfCodePage(437, upper, lower));
  EXPECT_EQ(upper[0x84], 0x8E);  // ä
  EXPECT_EQ(upper[0x82], 0x90);  // é
  EXPECT_EQ(upper[0x85], 0x85);  // à: 437 has no À
  // Two-byte pages change a-z only.
  EXPECT_FALSE(CaseTablesOfCodePage(936, upper, lower));
  EXPECT_EQ(upper['q'], 'Q');
  EXPECT_EQ(upper[0xE9], 0xE9);
}

// Names longer than 10 characters: the long names of a database container, cut to 10 in the
// table, unless another field starts with the same 9 characters.
TEST_F(KeyExprTest, LongNamesStandForTheFieldOfTheirFirstTenCharacters) {
  ForeignImage image;
  image.version = 0x03;
  image.fields = {{"CONTACT_TY", 'C', 3}, {"COMPANYNAM", 'C', 4}, {"COMPANYNA2", 'C', 2}};
  image.records = {" abcwxyzpq"};
  TDbf table;
  table.SetTableName(WriteFile("long.dbf", image.Bytes()));
  table.SetReadOnly(true);
  table.Open();
  const TKeyExprTable fields = KeyExprTableOf(*table.DbfFile(), table.Layout());
  TKeyExpression found = TKeyExpression::Compile("contact_type_id + contact_ty", fields);
  ASSERT_TRUE(found.Evaluate(reinterpret_cast<const std::uint8_t*>(" abcwxyzpq"), 1));
  EXPECT_EQ(found.Value().text, "abcabc");
  try {
    TKeyExpression::Compile("companyname", fields);
    ADD_FAILURE();
  } catch (const EKeyExprNotUnderstood& refusal) {
    EXPECT_EQ(refusal.Word(), "companyname");
  }
  EXPECT_EQ(TKeyExpression::Compile("companynam", fields).Type().length, 4);
  EXPECT_EQ(fields.alias, "LONG");
  table.Close();
}

// A code page of two-byte characters has no byte-wise case change.
TEST_F(KeyExprTest, CaseIsNotChangedInPagesOfTwoByteCharacters) {
  ForeignImage image;
  image.version = 0x03;
  image.language = 0x7A;  // 936
  image.fields = {{"NAME", 'C', 4}};
  image.records = {" \xB0\xA1" "ab"};
  TDbf table;
  table.SetTableName(WriteFile("gbk.dbf", image.Bytes()));
  table.SetReadOnly(true);
  table.Open();
  const TKeyExprTable fields = KeyExprTableOf(*table.DbfFile(), table.Layout());
  EXPECT_FALSE(fields.caseMapped);
  try {
    TKeyExpression::Compile("LOWER(NAME)", fields);
    ADD_FAILURE();
  } catch (const EKeyExprNotUnderstood& refusal) {
    EXPECT_EQ(refusal.Word(), "LOWER");
    EXPECT_NE(std::string(refusal.what()).find("code page 936"), std::string::npos);
  }
  EXPECT_EQ(TKeyExpression::Compile("NAME", fields).Type().length, 4);
  table.Close();
}

}  // namespace
}  // namespace tavlo
