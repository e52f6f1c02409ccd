// Tests of the field views: text, display and variant values, their setters and messages,
// the code page translation of character fields and the regional settings.
#include <gtest/gtest.h>

#include <cstring>

#include "dbf/dbferrors.h"
#include "dbf/fieldcodec.h"
#include "dbf/fieldconvert.h"
#include "platform/codepage.h"
#include "platform/regional.h"
#include "tablefiles_testutil.h"

namespace tavlo {
namespace {

using namespace tablefiles_test;

// OEM 0x80 is ANSI 0xC7 (C with cedilla); every other byte is itself.
class CedillaCodePages : public CodePages {
 public:
  int OemCodePage() const override { return 437; }
  int AnsiCodePage() const override { return 1252; }
  void OemToAnsi(const char* from, char* to, std::size_t size) const override {
    for (std::size_t i = 0; i < size; ++i) to[i] = from[i] == '\x80' ? '\xC7' : from[i];
  }
  void AnsiToOem(const char* from, char* to, std::size_t size) const override {
    for (std::size_t i = 0; i < size; ++i) to[i] = from[i] == '\xC7' ? '\x80' : from[i];
  }
  std::string AnsiToUtf8(const std::string& text) const override { return text; }
  std::string Utf8ToAnsi(const std::string& text) const override { return text; }
};

RegionalSettings GermanSettings() {
  RegionalSettings s;
  s.decimalSeparator = ',';
  s.thousandSeparator = '.';
  s.dateSeparator = '.';
  s.shortDateFormat = "dd/mm/yyyy";
  return s;
}

class FieldConvertTest : public ::testing::Test {
 protected:
  enum { kName, kAge, kBig, kHuge, kPrice, kOk, kBorn, kNotes };

  void SetUp() override {
    DbfImage image;
    image.language = 0x58;  // names no page: OEM text, as in the tables this system makes
    image.fields = {{"NAME", 'C', 5},      {"AGE", 'N', 6}, {"BIG", 'N', 11}, {"HUGE", 'N', 20},
                    {"PRICE", 'N', 10, 2}, {"OK", 'L', 1},  {"BORN", 'D', 8}, {"NOTES", 'M', 10}};
    WriteBytes(path, image.Bytes());
    file = new TDbfFile(path, OpenMode::ReadOnly);
    file->LoadFieldList(defs);
    record.assign(static_cast<std::size_t>(file->RecordSize()), ' ');
  }
  void TearDown() override { TPagedFile::Release(file); }

  FieldSlot Slot(int index) { return FieldSlot{*file, index, defs[index].name}; }
  void Store(int index, const std::string& bytes) {
    const TMyFieldInfo& info = file->FieldInfo(index);
    ASSERT_EQ(bytes.size(), static_cast<std::size_t>(info.length));
    std::memcpy(record.data() + info.offset, bytes.data(), bytes.size());
  }
  std::string Stored(int index) {
    const TMyFieldInfo& info = file->FieldInfo(index);
    return std::string(reinterpret_cast<const char*>(record.data()) + info.offset,
                       static_cast<std::size_t>(info.length));
  }
  std::string Text(int index) { return FieldTextValue(Slot(index), record.data()); }
  void SetText(int index, const std::string& text) {
    SetFieldTextValue(Slot(index), record.data(), text);
  }

  ScratchFolder folder;
  std::string path = folder.File("values.dbf");
  TDbfFile* file = nullptr;
  TFieldDefs defs;
  std::vector<std::uint8_t> record;
  CedillaCodePages cedilla;
  ScopedCodePages scopedPages{cedilla};
};

TEST_F(FieldConvertTest, NullFieldsReadAsEmptyTextAndNullVariant) {
  for (int i = kName; i <= kBorn; ++i) {
    EXPECT_TRUE(FieldIsNull(Slot(i), record.data()));
    EXPECT_EQ(Text(i), "");
    EXPECT_TRUE(FieldVariantValue(Slot(i), record.data()).IsNull());
  }
  EXPECT_EQ(FieldDisplayText(Slot(kNotes), record.data()), "(Memo)");
  Store(kNotes, "         0");  // an empty memo is not null
  EXPECT_FALSE(FieldIsNull(Slot(kNotes), record.data()));
  EXPECT_EQ(FieldDisplayText(Slot(kNotes), record.data()), "(MEMO)");
}

TEST_F(FieldConvertTest, TextValuesFollowTheRegionalSettings) {
  Store(kName,
        "\x80"
        "a   ");
  Store(kAge, "    42");
  Store(kPrice, "    123.45");
  Store(kOk, "t");
  Store(kBorn, "20240229");
  EXPECT_EQ(Text(kName),
            "\xC7"
            "a");
  EXPECT_EQ(Text(kAge), "42");
  EXPECT_EQ(Text(kPrice), "123.45");
  EXPECT_EQ(Text(kOk), "True");
  EXPECT_EQ(FieldVariantValue(Slot(kName), record.data()), Variant(std::string("\xC7"
                                                                               "a")));
  EXPECT_EQ(FieldVariantValue(Slot(kAge), record.data()), Variant(42));
  EXPECT_EQ(FieldVariantValue(Slot(kPrice), record.data()), Variant(123.45));
  EXPECT_EQ(FieldVariantValue(Slot(kOk), record.data()), Variant(true));
  EXPECT_EQ(FieldVariantValue(Slot(kBorn), record.data()), Variant::Date(45351));

  ScopedRegionalSettings german(GermanSettings());
  EXPECT_EQ(Text(kPrice), "123,45");
  EXPECT_EQ(Text(kBorn), "29.02.2024");
}

// A stored date that is no calendar date shows as it is stored, in every date format (with
// month names a made-up zero date read "00--0000"), and has no date value.
TEST_F(FieldConvertTest, StoredTextThatIsNoDateShowsAsStored) {
  RegionalSettings named = GermanSettings();
  named.shortDateFormat = "dd-mmm-yyyy";
  named.dateSeparator = '-';
  for (const RegionalSettings& settings : {GermanSettings(), named}) {
    SCOPED_TRACE(settings.shortDateFormat);
    ScopedRegionalSettings scoped(settings);
    for (const char* stored : {"20230229", "abcdefgh", "99991399"}) {
      Store(kBorn, stored);
      EXPECT_EQ(Text(kBorn), stored);
      EXPECT_EQ(FieldDisplayText(Slot(kBorn), record.data()), stored);
      EXPECT_TRUE(FieldVariantValue(Slot(kBorn), record.data()).IsNull());
    }
    Store(kBorn, "00000000");  // what several programs write for no date
    EXPECT_EQ(Text(kBorn), "");
  }
}

TEST_F(FieldConvertTest, StoredNumbersBeyondTheTypeShowTheirTrueValue) {
  Store(kAge, " 90210");  // a smallint field holding more than 16 bits
  Store(kBig, "99999999999");
  Store(kHuge, "99999999999999999999");  // beyond 64 bits
  EXPECT_EQ(Text(kAge), "90210");
  EXPECT_EQ(FieldVariantValue(Slot(kAge), record.data()), Variant(90210));
  EXPECT_EQ(Text(kBig), "99999999999");
  EXPECT_EQ(FieldVariantValue(Slot(kBig), record.data()), Variant(99999999999.0));
  EXPECT_EQ(Text(kHuge), "");
  EXPECT_TRUE(FieldVariantValue(Slot(kHuge), record.data()).IsNull());
  Store(kBig, "        abc");
  EXPECT_EQ(Text(kBig), "0");
}

TEST_F(FieldConvertTest, SettingTextParsesEncodesAndTranslates) {
  SetText(kName,
          "\xC7"
          "bcdefg");
  EXPECT_EQ(Stored(kName),
            "\x80"
            "bcde");
  SetText(kAge, "-32768");
  EXPECT_EQ(Stored(kAge), "-32768");
  SetText(kHuge, "-9223372036854775808");
  EXPECT_EQ(Stored(kHuge), "-9223372036854775808");
  SetText(kPrice, "123.456");
  EXPECT_EQ(Stored(kPrice), "    123.46");
  SetText(kBorn, "02/29/2024");
  EXPECT_EQ(Stored(kBorn), "20240229");
  SetText(kAge, "");
  EXPECT_EQ(Stored(kAge), "      ");
  {
    ScopedRegionalSettings german(GermanSettings());
    SetText(kPrice, "0,5");
    EXPECT_EQ(Stored(kPrice), "      0.50");
    SetText(kBorn, "01.03.2024");
    EXPECT_EQ(Stored(kBorn), "20240301");
  }
  for (const char* falseText : {"f", "FAL", "false"}) {
    SetText(kOk, falseText);
    EXPECT_EQ(Stored(kOk), "F") << falseText;
  }
  for (const char* trueText : {"t", "TRUE", "tr"}) {
    SetText(kOk, trueText);
    EXPECT_EQ(Stored(kOk), "T") << trueText;
  }
}

TEST_F(FieldConvertTest, RejectedTextLeavesTheRecordAsItWas) {
  Store(kAge, "    42");
  Store(kPrice, "      1.00");
  Store(kOk, "T");
  Store(kBorn, "20000101");
  const std::vector<std::uint8_t> before = record;
  EXPECT_THROW_MSG(SetText(kAge, "4x"), EDatabaseError,
                   "'4x' is not a valid integer value for field 'AGE'");
  EXPECT_THROW_MSG(SetText(kAge, "40000"), EDatabaseError,
                   "40000 is not a valid value for field 'AGE'. The allowed range is -32768 to "
                   "32767");
  EXPECT_THROW_MSG(SetText(kBig, "3000000000"), EDatabaseError,
                   "'3000000000' is not a valid integer value for field 'BIG'");
  EXPECT_THROW_MSG(SetText(kPrice, "1.2.3"), EDatabaseError,
                   "'1.2.3' is not a valid floating point value for field 'PRICE'");
  EXPECT_THROW_MSG(SetText(kPrice, "12345678901.5"), EFieldToLongError,
                   "Fielddata too long :15 (must be between 1 and 10).");
  EXPECT_THROW_MSG(SetText(kOk, "yes"), EDatabaseError,
                   "'yes' is not a valid boolean value for field 'OK'");
  EXPECT_THROW_MSG(SetText(kOk, "falsey"), EDatabaseError,
                   "'falsey' is not a valid boolean value for field 'OK'");
  EXPECT_THROW_MSG(SetText(kBorn, "31/31/2024"), EConvertError, "'31/31/2024' is not a valid date");
  EXPECT_EQ(record, before);
}

TEST_F(FieldConvertTest, VariantsConvertToTheFieldTypeOrAreRefused) {
  auto set = [&](int index, const Variant& value) {
    SetFieldVariantValue(Slot(index), record.data(), value);
  };
  set(kAge, Variant(std::string("12")));
  EXPECT_EQ(Stored(kAge), "    12");
  set(kAge, Variant(2.5));  // rounds half to even
  EXPECT_EQ(Stored(kAge), "     2");
  set(kHuge, Variant(1e15));
  EXPECT_EQ(Stored(kHuge), "    1000000000000000");
  set(kPrice, Variant(7));
  EXPECT_EQ(Stored(kPrice), "      7.00");
  set(kOk, Variant(false));
  EXPECT_EQ(Stored(kOk), "F");
  set(kBorn, Variant::Date(45351.9));
  EXPECT_EQ(Stored(kBorn), "20240229");
  set(kName, Variant(true));
  EXPECT_EQ(Stored(kName), "True ");
  set(kName, Variant::Null());
  EXPECT_EQ(Stored(kName), "     ");

  const std::vector<std::uint8_t> before = record;
  EXPECT_THROW_MSG(set(kAge, Variant(std::string("abc"))), EDatabaseError,
                   "Invalid value for field 'AGE'");
  EXPECT_THROW_MSG(set(kBorn, Variant(std::string("no date"))), EDatabaseError,
                   "Invalid value for field 'BORN'");
  EXPECT_THROW_MSG(set(kPrice, Variant::Other()), EDatabaseError,
                   "Invalid value for field 'PRICE'");
  EXPECT_THROW_MSG(set(kAge, Variant(1e10)), EDatabaseError,
                   "10000000000 is not a valid value for field 'AGE'. The allowed range is "
                   "-32768 to 32767");
  EXPECT_EQ(record, before);
}

TEST(FieldConvertText, BooleanTextsArePrefixesOfFalseOrTrue) {
  bool value = true;
  EXPECT_TRUE(ParseBooleanText("F", value));
  EXPECT_FALSE(value);
  EXPECT_TRUE(ParseBooleanText("tRu", value));
  EXPECT_TRUE(value);
  EXPECT_FALSE(ParseBooleanText("", value));
  EXPECT_FALSE(ParseBooleanText("Y", value));
  EXPECT_FALSE(ParseBooleanText("truer", value));
}

}  // namespace
}  // namespace tavlo
