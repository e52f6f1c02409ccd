// The cursor and the layout a header states: a table whose record size disagrees with its
// fields opens read-only and is left byte for byte, a dBase 7 table without terminator is
// read as dBase 7, and every append leaves the end marker after the last whole record.
#include <cstring>
#include <tuple>

#include "cursor_fixture.h"

#include "dbf/dbferrors.h"
#include "dbf/dbffile.h"

namespace tavlo::cursortest {
namespace {

using CursorLayoutTest = CursorTest;

std::string Le16(int value) {
  return {static_cast<char>(value & 0xFF), static_cast<char>(value >> 8)};
}

// NAME C(10), AGE N(5), BORN D, OK L in records of `recordSize` bytes, padded with "PADPA..."
// (a record size larger than the fields, as a hostile-test reproducer has it).
std::string PaddedTable(int recordSize, const std::vector<std::string>& fields) {
  std::string out(32, '\0');
  out[0] = 0x03;
  out[4] = static_cast<char>(fields.size());
  const int headerSize = 32 + 4 * 32 + 1;
  out.replace(8, 2, Le16(headerSize));
  out.replace(10, 2, Le16(recordSize));
  const struct {
    const char* name;
    char type;
    int length;
  } descriptors[] = {{"NAME", 'C', 10}, {"AGE", 'N', 5}, {"BORN", 'D', 8}, {"OK", 'L', 1}};
  for (const auto& d : descriptors) {
    std::string descriptor(32, '\0');
    descriptor.replace(0, std::strlen(d.name), d.name);
    descriptor[11] = d.type;
    descriptor[16] = static_cast<char>(d.length);
    out += descriptor;
  }
  out += '\r';
  for (const std::string& f : fields) {
    std::string record = f;
    for (std::size_t i = 0; record.size() < static_cast<std::size_t>(recordSize); ++i)
      record += "PADPA"[i % 5];
    out += record;
  }
  return out + '\x1A';
}

TEST_F(CursorLayoutTest, DisagreeingRecordSizeOpensReadOnlyAndWritesNothing) {
  // 30-byte records for 25 bytes of fields: once an append wrote the header with 25, which
  // misplaced every record after the first for every reader; and 10-byte records for 25
  // bytes of fields, where even a refused insert rewrote the header at closing.
  for (int recordSize : {30, 10}) {
    SCOPED_TRACE(recordSize);
    const std::string path = WriteFile(
        "padded.dbf",
        PaddedTable(recordSize, {" ann       41   19800102T", " bob        7   20001231F"}));
    const std::string before = ReadBytes(path);
    TDbf dbf;
    dbf.SetTableName(path);
    dbf.Open();
    const std::string correction =
        "Invalid Record Size,\rRecord Size in Hdr : " + std::to_string(recordSize) +
        "\rExpected : 25";
    ASSERT_FALSE(dbf.OpenDiagnostics().empty());
    EXPECT_EQ(dbf.OpenDiagnostics().back(),
              correction + "\rThe table opens read-only until it is repaired.");
    EXPECT_TRUE(dbf.ReadOnly());
    if (recordSize == 30) {
      EXPECT_EQ(Walk(dbf), (std::vector<std::string>{"ann", "bob"}));
    }
    const std::string refusal =
        "Cannot modify the table until it is repaired: Invalid Record "
        "Size, Record Size in Hdr : " +
        std::to_string(recordSize) + ", Expected : 25";
    EXPECT_THROW_MSG(dbf.Insert(), EDatabaseError, refusal);
    dbf.First();
    EXPECT_THROW_MSG(dbf.Edit(), EDatabaseError, refusal);
    EXPECT_THROW_MSG(dbf.Delete(), EDatabaseError, refusal);
    dbf.Close();
    EXPECT_EQ(ReadBytes(path), before);
    host_.messages.clear();
  }
}

TEST_F(CursorLayoutTest, DbaseSevenWithoutTerminatorKeepsItsRecordSize) {
  // Version 0x04, 48-byte descriptors filling the header exactly, no terminator: read the
  // older way the descriptors added up to a record size of 1, which an append then wrote.
  std::string bytes(32, '\0');
  bytes[0] = 0x04;
  bytes[4] = 1;
  const int headerSize = 68 + 2 * 48, recordSize = 1 + 10 + 4;
  bytes.replace(8, 2, Le16(headerSize));
  bytes.replace(10, 2, Le16(recordSize));
  bytes.append(36, '\0');
  for (const auto& [name, type, length] :
       {std::tuple<const char*, char, int>{"NAME", 'C', 10}, {"AUTO", '+', 4}}) {
    std::string descriptor(48, '\0');
    descriptor.replace(0, std::strlen(name), name);
    descriptor[32] = type;
    descriptor[33] = static_cast<char>(length);
    bytes += descriptor;
  }
  bytes += " hello     " + std::string("\x80\0\0\x01", 4) + "\x1A";
  const std::string path = WriteFile("d7.dbf", bytes);
  TDbf dbf;
  dbf.SetTableName(path);
  dbf.Open();
  EXPECT_TRUE(host_.messages.empty()) << host_.messages.front();
  EXPECT_TRUE(dbf.OpenDiagnostics().empty()) << dbf.OpenDiagnostics().front();
  EXPECT_EQ(dbf.DbfFile()->Format(), TableFormat::dBase7);
  ASSERT_EQ(dbf.FieldCount(), 2);
  EXPECT_EQ(Walk(dbf), (std::vector<std::string>{"hello"}));
  dbf.Insert();
  dbf.LookupField("NAME").SetTextValue("zed");
  dbf.Post();
  dbf.Close();
  const std::string after = ReadBytes(path);
  EXPECT_EQ(after.substr(8, 4), bytes.substr(8, 4));  // header and record size as stored
  ASSERT_EQ(after.size(), static_cast<std::size_t>(headerSize + 2 * recordSize + 1));
  EXPECT_EQ(after.substr(headerSize + recordSize, 11), " zed       ");
  EXPECT_EQ(after.back(), '\x1A');
}

TEST_F(CursorLayoutTest, EveryAppendEndsTheFileWithTheMarker) {
  // A process killed after any post must leave the marker after the last whole record, not
  // only a process that closes the table.
  const std::string path = MakePeople({"Ann"});
  TDbf dbf;
  dbf.SetTableName(path);
  dbf.Open();
  const int recordSize = dbf.DbfFile()->RecordSize();
  const int headerSize = dbf.DbfFile()->HeaderSize();
  for (int i = 0; i < 3; ++i) {
    dbf.Insert();
    dbf.LookupField("NAME").SetTextValue("N" + std::to_string(i));
    dbf.Post();
    const std::string now = ReadBytes(path);
    ASSERT_EQ(now.size(), static_cast<std::size_t>(headerSize + (i + 2) * recordSize + 1));
    EXPECT_EQ(now.back(), '\x1A') << "after append " << i;
    EXPECT_EQ(static_cast<int>(now[4]), i + 2);
  }
  dbf.Close();
}

}  // namespace
}  // namespace tavlo::cursortest
