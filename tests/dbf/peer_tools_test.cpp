// Tables the cursor writes read the same in dbview and GDAL's ogrinfo, and a table that
// ogr2ogr writes reads the same through the cursor.
#include <cstdio>

#include "cursor_fixture.h"

namespace tavlo::cursortest {
namespace {

using PeerToolsTest = CursorTest;

std::string RunCommand(const std::string& command) {
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return "popen failed";
  std::string output;
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
  pclose(pipe);
  return output;
}

bool HaveTool(const char* path) {
  return access(path, X_OK) == 0;
}

// Only the lines of ogrinfo that carry field values, in order.
std::string FieldLines(const std::string& ogrOutput) {
  std::string lines;
  std::size_t start = 0;
  while (start < ogrOutput.size()) {
    std::size_t end = ogrOutput.find('\n', start);
    if (end == std::string::npos) end = ogrOutput.size();
    std::string line = ogrOutput.substr(start, end - start);
    if (line.rfind("  ", 0) == 0 && line.find(" = ") != std::string::npos) lines += line + "\n";
    start = end + 1;
  }
  return lines;
}

TEST_F(PeerToolsTest, DbviewAndOgrinfoReadWhatTheCursorWrote) {
  if (!HaveTool("/usr/bin/dbview") || !HaveTool("/usr/bin/ogrinfo")) {
    GTEST_SKIP() << "dbview or ogrinfo missing";
  }
  std::string path = MakeTable("people.dbf", {{"NAME", TFieldType::ftString, 12},
                                              {"AGE", TFieldType::ftSmallint, 0},
                                              {"PRICE", TFieldType::ftFloat, 0},
                                              {"ACTIVE", TFieldType::ftBoolean, 0},
                                              {"BORN", TFieldType::ftDate, 0}});
  {
    TDbf dbf;
    dbf.SetTableName(path);
    dbf.Open();
    const char* rows[][5] = {{"Ann", "42", "3.25", "t", "2024/02/29"},
                             {"Bob", "7", "-0.5", "f", "1985/01/01"},
                             {"Cid", "99", "1000", "t", "2000/12/31"}};
    for (const auto& row : rows) {
      dbf.Insert();
      for (int i = 0; i < 5; ++i) dbf.Fields(i).SetTextValue(row[i]);
      dbf.Post();
    }
    dbf.First();
    dbf.Next();
    dbf.Delete();  // Bob: peers must see the deletion flag
    dbf.Close();
  }
  // dbview's terse form shows the raw field texts of every record that is not deleted.
  EXPECT_EQ(RunCommand("/usr/bin/dbview -b -t '" + path + "'"),
            "Ann:42:3.2500:T:20240229:\nCid:99:1000.0000:T:20001231:\n");

  std::string ogr = FieldLines(RunCommand("/usr/bin/ogrinfo -al -q '" + path + "'"));
  EXPECT_NE(ogr.find("NAME (String) = Ann\n"), std::string::npos) << ogr;
  EXPECT_NE(ogr.find("AGE (Integer) = 42\n"), std::string::npos) << ogr;
  EXPECT_NE(ogr.find("BORN (Date) = 2024/02/29\n"), std::string::npos) << ogr;
  EXPECT_NE(ogr.find("NAME (String) = Cid\n"), std::string::npos) << ogr;
  EXPECT_NE(ogr.find("BORN (Date) = 2000/12/31\n"), std::string::npos) << ogr;
  // GDAL skips deleted records.
  EXPECT_EQ(ogr.find("= Bob"), std::string::npos) << ogr;
}

TEST_F(PeerToolsTest, TablesWrittenByOgr2ogrReadThroughTheCursor) {
  if (!HaveTool("/usr/bin/ogr2ogr")) GTEST_SKIP() << "ogr2ogr missing";
  std::string csv = folder_.File("cities.csv");
  WriteBytes(csv, "CITY,PEOPLE,AREA\nParis,2102650,105.4\nOslo,709037,454.0\n");
  std::string csvt = folder_.File("cities.csvt");
  WriteBytes(csvt, "String(15),Integer(9),Real(8.1)\n");
  std::string table = folder_.File("cities.dbf");
  std::string output =
      RunCommand("/usr/bin/ogr2ogr -f 'ESRI Shapefile' '" + table + "' '" + csv + "'");
  ASSERT_TRUE(std::filesystem::exists(table)) << output;

  TDbf dbf;
  dbf.SetTableName(table);
  dbf.SetReadOnly(true);
  dbf.Open();
  ASSERT_EQ(dbf.RecordCount(), 2);
  dbf.First();
  EXPECT_EQ(dbf.LookupField("city").TextValue(), "Paris");
  EXPECT_EQ(dbf.LookupField("PEOPLE").VariantValue().ToInteger(), 2102650);
  EXPECT_DOUBLE_EQ(dbf.LookupField("AREA").VariantValue().ToReal(), 105.4);
  dbf.Next();
  EXPECT_EQ(dbf.LookupField("CITY").TextValue(), "Oslo");
  EXPECT_DOUBLE_EQ(dbf.LookupField("AREA").VariantValue().ToReal(), 454.0);
  dbf.Close();
}

}  // namespace
}  // namespace tavlo::cursortest
