// Tests of the data file: opening checks, descriptors, record access, header writes, the
// registry and the index file, all through real files.
#include <gtest/gtest.h>

#include <cstring>

#include "dbf/dbferrors.h"
#include "dbf/dbffile.h"
#include "dbf/indexfile.h"
#include "platform/asciitext.h"
#include "platform/clock.h"
#include "platform/codepage.h"
#include "platform/regional.h"
#include "tablefiles_testutil.h"

namespace tavlo {
namespace {

using namespace tablefiles_test;

class DbfFileTest : public ::testing::Test {
 protected:
  ScratchFolder folder;
  RecordingHost host;
  ScopedDesktopHost scopedHost{host};
  std::string path = folder.File("people.dbf");

  // Opens path, keeping the object alive until the end of the test.
  TDbfFile& Open(OpenMode mode = OpenMode::ReadWrite) {
    files_.push_back(new TDbfFile(path, mode));
    return *files_.back();
  }
  void TearDown() override {
    for (TDbfFile* file : files_) TPagedFile::Release(file);
  }

 private:
  std::vector<TDbfFile*> files_;
};

DbfImage TwoFieldImage() {
  DbfImage image;
  image.fields = {{"NAME", 'C', 5}, {"AGE", 'N', 3}};
  image.records = {" Anna  31", "*Boris 42", " Clara  7"};
  return image;
}

TEST_F(DbfFileTest, ReadsDescriptorsIntoFieldDefinitionsAndLayout) {
  DbfImage image;
  image.fields = {{"NAME", 'C', 20},  {"N6", 'N', 6},         {"N7", 'N', 7},
                  {"N11", 'N', 11},   {"N12", 'N', 12},       {"PRICE", 'N', 10, 2},
                  {"RATE", 'F', 8},   {"OK", 'L', 1},         {"BORN", 'D', 8},
                  {"NOTES", 'M', 10}, {"TIMESTAMP", 'T', 8},  {"COUNT", 'I', 4},
                  {"PIC", 'B', 10},   {"ABCDEFGHIJ", 'C', 2}, {"ABCDEFGHIJK", 'C', 1}};
  WriteBytes(path, image.Bytes());
  TDbfFile& file = Open();
  TFieldDefs defs;
  file.LoadFieldList(defs);
  using T = TFieldType;
  const std::vector<T> expected = {T::ftString,   T::ftSmallint, T::ftInteger, T::ftInteger,
                                   T::ftLargeint, T::ftFloat,    T::ftFloat,   T::ftBoolean,
                                   T::ftDate,     T::ftMemo,     T::ftString,  T::ftString,
                                   T::ftString,   T::ftString,   T::ftString};
  ASSERT_EQ(defs.size(), expected.size());
  ASSERT_EQ(file.FieldCount(), static_cast<int>(expected.size()));
  int offset = 1;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(image.fields[i].name);
    EXPECT_EQ(defs[i].dataType, expected[i]);
    EXPECT_EQ(defs[i].name, image.fields[i].name.substr(0, 11));
    EXPECT_FALSE(defs[i].required);
    EXPECT_EQ(defs[i].size, expected[i] == T::ftString ? image.fields[i].length : 0);
    const TMyFieldInfo& info = file.FieldInfo(static_cast<int>(i));
    EXPECT_EQ(info.offset, offset);
    EXPECT_EQ(info.length, image.fields[i].length);
    EXPECT_EQ(info.decimals, image.fields[i].decimals);
    offset += info.length;
  }
  EXPECT_EQ(file.FieldInfo(0).name, "name");
  EXPECT_EQ(file.FieldInfo(13).name, "abcdefghij");   // ten letters and a NUL
  EXPECT_EQ(file.FieldInfo(14).name, "abcdefghijk");  // the whole area, no NUL
  EXPECT_TRUE(file.TakeOpenDiagnostics().empty());
  EXPECT_TRUE(host.messages.empty());
}

TEST_F(DbfFileTest, DescriptorCountComesFromTheHeaderSize) {
  // Header size 97 gives two descriptors at levels 0 and 1, the terminator not counting.
  for (std::uint8_t version : {std::uint8_t{0x03}, std::uint8_t{0x04}, std::uint8_t{0x8B}}) {
    DbfImage image = TwoFieldImage();
    image.version = version;
    WriteBytes(path, image.Bytes());
    TDbfFile file(path, OpenMode::ReadOnly);
    EXPECT_EQ(file.HeaderSize(), 97);
    EXPECT_EQ(file.Level(), version == 0x03 ? 0 : 1);
    TFieldDefs defs;
    file.LoadFieldList(defs);
    EXPECT_EQ(defs.size(), 2u);
  }
}

TEST_F(DbfFileTest, TableLevelFollowsTheVersionByte) {
  EXPECT_EQ(TDbfFile::LevelOfVersion(0x03), 0);
  EXPECT_EQ(TDbfFile::LevelOfVersion(0x83), 0);
  for (int v : {0x04, 0x7B, 0x8B, 0x8E, 0x30, 0xF5, 0x00}) {
    EXPECT_EQ(TDbfFile::LevelOfVersion(static_cast<std::uint8_t>(v)), 1) << v;
  }
  EXPECT_EQ(TDbfFile::LevelOfVersion(0x05), 2);
}

TEST_F(DbfFileTest, LevelTwoUsesWideDescriptorsAndZeroesItsSecondArea) {
  DbfImage image = TwoFieldImage();
  image.version = 0x05;
  image.fields[0].name = "A_VERY_LONG_FIELD_NAME_OF_LEVEL2";  // fills all 32 bytes
  std::string bytes = image.Bytes();
  bytes[40] = 'x';  // something in the second header area
  WriteBytes(path, bytes);
  {
    TDbfFile& file = Open();
    EXPECT_EQ(file.Level(), 2);
    TFieldDefs defs;
    file.LoadFieldList(defs);
    ASSERT_EQ(defs.size(), 2u);
    EXPECT_EQ(defs[0].name, "A_VERY_LONG_FIELD_NAME_OF_LEVEL2");
    EXPECT_EQ(defs[1].dataType, TFieldType::ftSmallint);
    file.FlushHeader();
  }
  std::string after = ReadBytes(path);
  EXPECT_EQ(after.substr(32, 36), std::string(36, '\0'));
  EXPECT_EQ(after.substr(68), bytes.substr(68));
}

TEST_F(DbfFileTest, RecordCountDisagreementIsReportedAndCorrectedInMemoryOnly) {
  DbfImage image = TwoFieldImage();
  image.records.assign(12, " Anna  31");
  image.recordCount = 10;
  image.endMarker = false;
  const std::string bytes = image.Bytes();
  WriteBytes(path, bytes);
  TDbfFile& file = Open();
  // Said by the caller: the file layer shows nothing and hands the text over once.
  const std::vector<std::string> diagnostics = file.TakeOpenDiagnostics();
  EXPECT_TRUE(host.messages.empty());
  EXPECT_TRUE(file.TakeOpenDiagnostics().empty());
  ASSERT_EQ(diagnostics.size(), 1u);
  EXPECT_EQ(diagnostics[0], "Invalid Record Count,\rRecordCount in Hdr : 10\rexpected : 12");
  EXPECT_EQ(file.HeaderRecordCount(), 12u);
  EXPECT_EQ(ReadBytes(path), bytes);
}

TEST_F(DbfFileTest, RecordCountCountsWholeRecordsOnly) {
  // Header 97, record size 10: 127 bytes hold 3 records, a trailing 0x1A changes nothing,
  // a file of just the header holds none.
  DbfImage image;
  image.fields = {{"A", 'C', 4}, {"B", 'C', 5}};
  image.records = {" aaaabbbbb", " aaaabbbbb", " aaaabbbbb"};
  image.endMarker = false;
  auto count = [&] {
    WriteBytes(path, image.Bytes());
    TDbfFile file(path, OpenMode::ReadOnly);
    EXPECT_TRUE(file.TakeOpenDiagnostics().empty());
    return file.RecordCount();
  };
  EXPECT_EQ(count(), 3);
  image.endMarker = true;
  EXPECT_EQ(count(), 3);
  image.records.clear();
  image.endMarker = false;
  EXPECT_EQ(count(), 0);
  EXPECT_TRUE(host.messages.empty());
}

TEST_F(DbfFileTest, RecordSizeDisagreementIsReportedAndFieldsStayInsideTheRecord) {
  // The header claims 7-byte records while the fields need 9: records stay 7 bytes apart,
  // the cut-off field reads as far as it goes and refuses writes.
  DbfImage image = TwoFieldImage();
  image.recordSize = 7;
  image.records = {" Anna 3", " Bob  4"};
  const std::string bytes = image.Bytes();
  WriteBytes(path, bytes);
  TDbfFile& file = Open();
  TFieldDefs defs;
  file.LoadFieldList(defs);
  const std::vector<std::string> diagnostics = file.TakeOpenDiagnostics();
  EXPECT_TRUE(host.messages.empty());
  ASSERT_EQ(diagnostics.size(), 1u);
  EXPECT_EQ(diagnostics[0],
            "Invalid Record Size,\rRecord Size in Hdr : 7\rExpected : 9\r"
            "The table opens read-only until it is repaired.");
  EXPECT_EQ(file.LayoutCorrection(), "Invalid Record Size,\rRecord Size in Hdr : 7\rExpected : 9");
  EXPECT_EQ(file.RecordSize(), 7);
  EXPECT_EQ(file.HeaderRecordSize(), 7);
  EXPECT_EQ(file.FieldsRecordSize(), 9);
  EXPECT_EQ(file.FieldInfo(1).available, 1);

  std::vector<std::uint8_t> record(7);
  file.ReadRecord(1, record.data());
  std::int16_t age = 0;
  EXPECT_TRUE(file.DecodeField(1, TFieldType::ftSmallint, &age, record.data()));
  EXPECT_EQ(age, 4);
  std::int16_t value = 5;
  std::vector<std::uint8_t> before = record;
  EXPECT_THROW_MSG(file.EncodeField(1, TFieldType::ftSmallint, record.data(), &value),
                   EDatabaseError, "Field 'age' does not fit in the record size of the table");
  EXPECT_EQ(record, before);

  // Neither the header (a size that would move every record) nor an end marker inside the
  // records is written, nor an appended record.
  file.FlushHeader();
  file.WriteHeaderAfterAppend();
  EXPECT_THROW(file.WriteAppendedRecord(2, " Cleo 5"), EWriteError);
  EXPECT_EQ(ReadBytes(path), bytes);
}

TEST_F(DbfFileTest, DamagedFilesFailWithTheirMessageAndStayUnchanged) {
  struct Case {
    const char* what;
    std::string bytes;
    std::string message;
  };
  DbfImage image = TwoFieldImage();
  const std::string good = image.Bytes();
  // The message says which file and what is wrong with it.
  std::vector<Case> cases = {
      {"empty", "",
       "Stream read error: " + path +
           ": the file is 0 bytes long, shorter than a table header (32 bytes)"},
      {"shorter than the header", good.substr(0, 20),
       "Stream read error: " + path +
           ": the file is 20 bytes long, shorter than a table header (32 bytes)"},
      {"ends inside the descriptors", good.substr(0, 70),
       "Stream read error: " + path + ": the file ends inside its 2 field descriptors"},
  };
  std::string noFields = good;
  noFields[8] = 33;  // header size 33: (33 - 32) div 32 = 0 descriptors
  noFields[9] = 0;
  cases.push_back(
      {"no descriptor", noFields, "Invalid field count : 0 (must be between 1 and 255)"});
  std::string tooMany = good;
  tooMany[96] = ' ';  // no terminator: the header size alone gives the count
  const int size256 = 32 + 32 * 256 + 1;
  tooMany[8] = static_cast<char>(size256 & 0xFF);
  tooMany[9] = static_cast<char>(size256 >> 8);
  tooMany.resize(size256 + 10, ' ');
  cases.push_back(
      {"256 descriptors", tooMany, "Invalid field count : 256 (must be between 1 and 255)"});
  std::string negative = good;
  negative[8] = 0;
  negative[9] = 0;
  cases.push_back(
      {"header size 0", negative, "Invalid field count : -1 (must be between 1 and 255)"});

  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteBytes(path, c.bytes);
    try {
      TDbfFile* file = new TDbfFile(path, OpenMode::ReadWrite);
      TFieldDefs defs;
      try {
        file->LoadFieldList(defs);
        ADD_FAILURE() << "opened";
      } catch (const Exception& e) {
        EXPECT_EQ(std::string(e.what()), c.message);
      }
      TPagedFile::Release(file);  // a failed opening releases without a header write
    } catch (const EReadError& e) {
      EXPECT_EQ(std::string(e.what()), c.message);
    }
    EXPECT_EQ(ReadBytes(path), c.bytes);
    EXPECT_EQ(FileRegistry::Instance().Find(LowerAscii(path)), nullptr);
  }
}

TEST_F(DbfFileTest, RecordSizesOfZeroOrBeyondTheFileGiveNoRecords) {
  for (int size : {0, 5000}) {
    DbfImage image = TwoFieldImage();
    image.recordSize = size;
    image.recordCount = 3;
    WriteBytes(path, image.Bytes());
    TDbfFile& file = Open(OpenMode::ReadOnly);
    EXPECT_EQ(file.RecordCount(), 0);
    EXPECT_EQ(file.HeaderRecordCount(), 0u);
    const std::vector<std::string> diagnostics = file.TakeOpenDiagnostics();
    ASSERT_FALSE(diagnostics.empty());
    EXPECT_EQ(diagnostics[0], "Invalid Record Count,\rRecordCount in Hdr : 3\rexpected : 0");
    std::uint8_t buffer[16];
    std::memset(buffer, '#', sizeof buffer);
    if (size == 0) {
      EXPECT_EQ(file.ReadRecord(0, buffer), 0u);
    }
  }
}

TEST_F(DbfFileTest, ReadingAtTheEndOfTheFileFillsOnlyWhatIsThere) {
  DbfImage image = TwoFieldImage();
  image.endMarker = false;
  std::string bytes = image.Bytes();
  bytes.resize(bytes.size() - 4);  // the last record is cut short
  WriteBytes(path, bytes);
  TDbfFile& file = Open(OpenMode::ReadOnly);
  std::vector<std::uint8_t> buffer(9, '#');
  EXPECT_EQ(file.ReadRecord(2, buffer.data()), 5u);
  EXPECT_EQ(std::string(buffer.begin(), buffer.end()), " Clar####");
}

TEST_F(DbfFileTest, FlushHeaderDatesTheHeaderAndMarksTheEnd) {
  DbfImage image = TwoFieldImage();
  image.endMarker = false;
  const std::string bytes = image.Bytes();
  WriteBytes(path, bytes);
  TDbfFile& file = Open();
  TFieldDefs defs;
  file.LoadFieldList(defs);
  // Append two records the way the cursor does.
  for (const char* text : {" Dora  50", " Emil  61"}) {
    std::uint32_t index = file.HeaderRecordCount();
    file.SetHeaderRecordCount(index + 1);
    file.WriteRecord(index, text);
  }
  file.FlushHeader();
  int year = 0, month = 0, day = 0;
  DecodeDate(LocalNow(), year, month, day);
  std::string after = ReadBytes(path);
  ASSERT_EQ(after.size(), bytes.size() + 2 * 9 + 1);
  EXPECT_EQ(static_cast<unsigned char>(after[1]), (year - 1900) % 256);
  EXPECT_EQ(after[2], month);
  EXPECT_EQ(after[3], day);
  EXPECT_EQ(after[4], 5);  // record count
  EXPECT_EQ(after.substr(0, 1), bytes.substr(0, 1));
  EXPECT_EQ(after.substr(4 + 4, 24), bytes.substr(8, 24));  // sizes, reserved, language
  EXPECT_EQ(after.substr(97 + 3 * 9, 18), " Dora  50 Emil  61");
  EXPECT_EQ(after.back(), '\x1A');
}

TEST_F(DbfFileTest, FlushHeaderTakesTheRecordCountFromTheFileSize) {
  DbfImage image = TwoFieldImage();
  image.endMarker = false;
  WriteBytes(path, image.Bytes());
  TDbfFile& file = Open();
  file.SetHeaderRecordCount(7);  // the in-memory count is written, then refreshed
  file.FlushHeader();
  EXPECT_EQ(file.HeaderRecordCount(), 3u);
  std::string after = ReadBytes(path);
  EXPECT_EQ(after[4], 7);
  EXPECT_EQ(after.size(), 97u + 27 + 1);
}

TEST_F(DbfFileTest, WritesThatCannotCompleteRaiseStreamWriteError) {
  DbfImage image = TwoFieldImage();
  WriteBytes(path, image.Bytes());
  FullDiskFileSystem full;
  ScopedFileSystem scopedFiles(full);
  TDbfFile& file = Open();
  full.writeBudget = 4;
  EXPECT_THROW_MSG(file.WriteRecord(3, " Dora  50"), EWriteError, "Stream write error");
  full.writeBudget = 10;
  EXPECT_THROW_MSG(file.FlushHeader(), EWriteError, "Stream write error");
}

TEST_F(DbfFileTest, CreateModeStartsTheHeaderOfANewTable) {
  const std::unique_ptr<CodePages> pages = NewTableCodePages(850, 1252);
  ScopedCodePages session(*pages);
  TDbfFile& file = Open(OpenMode::Create);
  EXPECT_EQ(file.VersionByte(), 0x03);
  EXPECT_EQ(file.LanguageByte(), 0x02);  // page 850, the OEM page its text is stored in
  EXPECT_EQ(file.Level(), 0);
  EXPECT_EQ(file.HeaderSize(), 0);
  EXPECT_EQ(file.RecordSize(), 0);
  EXPECT_EQ(ReadBytes(path), "");
}

TEST_F(DbfFileTest, RecordViewShowsTheRecordsAsTheyAreWritten) {
  DbfImage image = TwoFieldImage();
  image.endMarker = false;
  WriteBytes(path, image.Bytes());
  TDbfFile& file = Open();
  std::vector<std::uint8_t> buffer(9);
  for (int i = 0; i < 3; ++i) {
    file.ReadRecord(i, buffer.data());
    const std::uint8_t* view = file.RecordView(i);
    if (view != nullptr) {
      EXPECT_EQ(std::memcmp(view, buffer.data(), 9), 0) << i;
    }
  }
  EXPECT_EQ(file.RecordView(3), nullptr);
  file.WriteRecord(3, " Dora  50");
  file.WriteRecord(0, " Zed   99");
  const std::uint8_t* first = file.RecordView(0);
  if (first != nullptr) {
    EXPECT_EQ(std::memcmp(first, " Zed   99", 9), 0);
  }
  const std::uint8_t* appended = file.RecordView(3);
  if (appended != nullptr) {
    EXPECT_EQ(std::memcmp(appended, " Dora  50", 9), 0);
  }
}

TEST_F(DbfFileTest, RegistrySharesOneObjectPerPathUntilTheLastRelease) {
  WriteBytes(path, TwoFieldImage().Bytes());
  const std::size_t before = FileRegistry::Instance().Count();
  TDbfFile* first = new TDbfFile(path, OpenMode::ReadWrite);
  EXPECT_EQ(FileRegistry::Instance().Count(), before + 1);
  std::string upper = path;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  TPagedFile* second = TPagedFile::Lookup(upper);
  EXPECT_EQ(second, first);
  EXPECT_EQ(first->UseCount(), 2);
  TPagedFile::Release(second);
  EXPECT_EQ(TPagedFile::Lookup(path), first);
  TPagedFile::Release(first);
  TPagedFile::Release(first);
  EXPECT_EQ(TPagedFile::Lookup(path), nullptr);
  EXPECT_EQ(FileRegistry::Instance().Count(), before);
  EXPECT_EQ(TPagedFile::Lookup(""), nullptr);
}

TEST_F(DbfFileTest, IndexFileIsReadOnlyWhenItsExtensionIsExactlyMdx) {
  std::string index(600, '\0');
  for (int i = 0; i < 48; ++i) index[i] = static_cast<char>(i + 1);
  const std::string mdx = folder.File("people.mdx");
  const std::string upper = folder.File("other.MDX");
  WriteBytes(mdx, index);
  WriteBytes(upper, index);
  TIndexFile* file = new TIndexFile(mdx, OpenMode::ReadWrite);
  EXPECT_TRUE(file->IsIndex());
  EXPECT_EQ(file->RecordSize(), 512);
  EXPECT_EQ(file->HeaderSize(), 0);
  EXPECT_EQ(file->Header()[47], 48);
  TIndexFile* other = new TIndexFile(upper, OpenMode::ReadOnly);
  EXPECT_FALSE(other->IsIndex());
  EXPECT_EQ(other->Header()[0], 0);
  TPagedFile::Release(file);
  TPagedFile::Release(other);
  EXPECT_EQ(ReadBytes(mdx), index);
  EXPECT_THROW_MSG(TIndexFile(folder.File("none.mdx"), OpenMode::ReadOnly), EFOpenError,
                   "Cannot open file " + folder.File("none.mdx") + ": No such file or directory");
}

}  // namespace
}  // namespace tavlo
