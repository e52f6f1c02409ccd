// Regressions found by the fuzz targets: damaged table files that once made the cursor read
// or write outside its buffers. Run them under the sanitizer build to see the faults.
#include <gtest/gtest.h>

#include "cursor_fixture.h"

namespace tavlo::cursortest {
namespace {

class FuzzRegressionTest : public CursorTest {};

// A header with record size 0: the record buffers still hold the deletion flag, so testing
// for deletion stays inside them; the table opens read-only (an insert once said it was
// posted and stored nothing), and closing writes no header and no end marker, which would
// land on the first record's deletion flag.
TEST_F(FuzzRegressionTest, RecordSizeZeroInHeaderKeepsFlagInsideBuffer) {
  const std::string path = MakePeople({"Ann", "Bob"});
  std::string bytes = ReadBytes(path);
  bytes[10] = 0;
  bytes[11] = 0;
  WriteBytes(path, bytes);

  TDbf dbf;
  dbf.SetTableName(path);
  dbf.Open();
  ASSERT_FALSE(dbf.OpenDiagnostics().empty());
  EXPECT_EQ(dbf.OpenDiagnostics().back(),
            "Invalid Record Size,\rRecord Size in Hdr : 0\rExpected : 22\r"
            "The table opens read-only until it is repaired.");
  EXPECT_TRUE(dbf.IsEmpty());
  EXPECT_TRUE(dbf.ReadOnly());
  EXPECT_FALSE(dbf.IsDeleted());
  EXPECT_THROW_MSG(dbf.Insert(), EDatabaseError,
                   "Cannot modify the table until it is repaired: Invalid Record Size, Record "
                   "Size in Hdr : 0, Expected : 22");
  dbf.Close();
  EXPECT_EQ(ReadBytes(path), bytes);
}

// A memo header whose next-free block lies far past the end of the memo file: the next memo
// still goes right after the last one instead of leaving a hole of many gigabytes.
TEST_F(FuzzRegressionTest, NextFreeBlockPastTheEndAppendsAtTheEnd) {
  const std::string path =
      MakeTable("notes.dbf", {{"NAME", TFieldType::ftString, 10}, {"NOTE", TFieldType::ftMemo, 0}});
  const std::string memoPath = folder_.File("notes.dbt");
  {
    TDbf dbf;
    dbf.SetTableName(path);
    dbf.Open();
    dbf.Insert();
    dbf.LookupField("NAME").SetTextValue("Ann");
    dbf.LookupField("NOTE").SetTextValue("first");
    dbf.Post();
    dbf.Close();
  }
  std::string memo = ReadBytes(memoPath);
  memo[0] = '\x00';
  memo[1] = '\xFF';
  memo[2] = '\xFF';
  memo[3] = '\x7F';  // next free block 0x7FFFFF00
  WriteBytes(memoPath, memo);
  {
    TDbf dbf;
    dbf.SetTableName(path);
    dbf.Open();
    dbf.Edit();
    dbf.LookupField("NOTE").SetTextValue(std::string(700, 'y'));
    dbf.Post();
    dbf.Close();
  }
  EXPECT_LT(std::filesystem::file_size(memoPath), 4096u);
  TDbf dbf;
  dbf.SetTableName(path);
  dbf.Open();
  EXPECT_EQ(dbf.LookupField("NOTE").TextValue(), std::string(700, 'y'));
  dbf.Close();
}

}  // namespace
}  // namespace tavlo::cursortest
