// What the opening checks corrected comes back to the cursor's caller: the exact texts, in the
// order found, also when the opening fails after them, and nothing through the desktop host.
#include "cursor_fixture.h"

#include "dbf/dbferrors.h"

namespace tavlo::cursortest {
namespace {

using CursorDiagnosticsTest = CursorTest;

const char* const kCount = "Invalid Record Count,\rRecordCount in Hdr : 7\rexpected : 2";
const char* const kSize =
    "Invalid Record Size,\rRecord Size in Hdr : 30\rExpected : 22\r"
    "The table opens read-only until it is repaired.";

// people.dbf (NAME C(10), AGE N(11): 22 bytes a record) with its two records padded to 30
// bytes and a header that says 7 records of 30 bytes; its bytes.
std::string Damage(const std::string& path) {
  std::string bytes = ReadBytes(path);
  const std::size_t header =
      static_cast<unsigned char>(bytes[8]) | static_cast<unsigned char>(bytes[9]) << 8;
  const std::string records = bytes.substr(header, 2 * 22);
  bytes.resize(header);
  for (std::size_t i = 0; i < 2; ++i) bytes += records.substr(i * 22, 22) + std::string(8, ' ');
  bytes += '\x1A';
  bytes[4] = 7;
  bytes[10] = 30;
  WriteBytes(path, bytes);
  return bytes;
}

TEST_F(CursorDiagnosticsTest, OpeningChecksComeBackInOrderAndShowNothing) {
  const std::string path = MakePeople({"Ann", "Bob"});
  const std::string bytes = Damage(path);
  TDbf dbf;
  dbf.SetTableName(path);
  dbf.Open();
  EXPECT_EQ(dbf.OpenDiagnostics(), (std::vector<std::string>{kCount, kSize}));
  EXPECT_TRUE(host_.messages.empty()) << host_.messages.front();
  EXPECT_EQ(Walk(dbf), (std::vector<std::string>{"Ann", "Bob"}));

  // A second cursor shares the file the first holds: its header was checked (and the count
  // corrected) when the first opened it, so only the field list's check comes back.
  TDbf second;
  second.SetTableName(path);
  second.SetReadOnly(true);
  second.Open();
  EXPECT_EQ(second.OpenDiagnostics(), std::vector<std::string>{kSize});
  second.Close();

  // Kept after closing, until the next opening starts; a sound table brings none.
  dbf.Close();
  EXPECT_EQ(dbf.OpenDiagnostics().size(), 2u);
  dbf.SetTableName(MakePeople({"Cy"}, "sound.dbf"));
  dbf.Open();
  EXPECT_TRUE(dbf.OpenDiagnostics().empty());
  dbf.Close();

  // Reading the field definitions of a closed cursor makes the same checks.
  dbf.SetTableName(path);
  dbf.UpdateFieldDefs();
  EXPECT_EQ(dbf.OpenDiagnostics(), (std::vector<std::string>{kCount, kSize}));
  EXPECT_TRUE(host_.messages.empty());
  EXPECT_EQ(ReadBytes(path), bytes);
}

TEST_F(CursorDiagnosticsTest, CountCorrectedBeforeAFailedOpeningIsKept) {
  // A header whose size leaves no room for a descriptor: the count is corrected, then the
  // field list fails. The caller shows the correction before the failure.
  std::string bytes(32, '\0');
  bytes[0] = 0x03;
  bytes[4] = 7;
  bytes[8] = 33;
  bytes[10] = 12;
  bytes += '\r' + std::string(24, ' ');
  const std::string path = WriteFile("nofields.dbf", bytes);
  TDbf dbf;
  dbf.SetTableName(path);
  EXPECT_THROW_MSG(dbf.Open(), EBinaryDataSetError,
                   "Invalid field count : 0 (must be between 1 and 255)");
  EXPECT_FALSE(dbf.Active());
  EXPECT_EQ(
      dbf.OpenDiagnostics(),
      std::vector<std::string>{"Invalid Record Count,\rRecordCount in Hdr : 7\rexpected : 2"});
  EXPECT_TRUE(host_.messages.empty());
  EXPECT_EQ(ReadBytes(path), bytes);
}

}  // namespace
}  // namespace tavlo::cursortest
