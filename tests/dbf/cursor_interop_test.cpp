// Tables created and then changed through the cursor (appended, edited, deleted records,
// memos) read back with the right types and values in dbfread and python3-dbf.
#include <cstdio>

#include "cursor_fixture.h"

namespace tavlo::cursortest {
namespace {

using CursorInteropTest = CursorTest;

constexpr const char* kPython = "/usr/bin/python3";

// Runs a Python script and returns what it printed.
std::string RunPython(const std::string& scriptPath) {
  std::string command = std::string(kPython) + " " + scriptPath + " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return "popen failed";
  std::string output;
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
  pclose(pipe);
  return output;
}

TEST_F(CursorInteropTest, PeersReadWhatTheCursorWrote) {
  if (access(kPython, X_OK) != 0) GTEST_SKIP() << "no " << kPython;
  std::string path = MakeTable("mixed.dbf", {{"NAME", TFieldType::ftString, 12},
                                             {"SMALL", TFieldType::ftSmallint, 0},
                                             {"COUNT", TFieldType::ftInteger, 0},
                                             {"BIG", TFieldType::ftLargeint, 0},
                                             {"PRICE", TFieldType::ftFloat, 0},
                                             {"ACTIVE", TFieldType::ftBoolean, 0},
                                             {"BORN", TFieldType::ftDate, 0},
                                             {"NOTE", TFieldType::ftMemo, 0}});
  {
    TDbf dbf;
    dbf.SetTableName(path);
    dbf.Open();
    const char* rows[][8] = {
        {"Ann", "-32768", "2147483647", "9000000000000000000", "3.25", "t", "2024/02/29",
         "first memo"},
        {"Bob", "12", "-5", "-1", "-0.5", "FALSE", "1985/01/01", "to be deleted"},
        {"Cid", "", "", "", "", "", "", ""},
    };
    for (const auto& row : rows) {
      dbf.Insert();
      // An empty memo text is stored as block 0, which python3-dbf cannot read: leave the
      // memo of the blank record null instead.
      for (int i = 0; i < 8; ++i) {
        if (i < 7 || row[i][0] != '\0') dbf.Fields(i).SetTextValue(row[i]);
      }
      dbf.Post();
    }
    dbf.First();
    dbf.Edit();
    dbf.LookupField("NOTE").SetTextValue(std::string(600, 'x'));  // moves to new blocks
    dbf.LookupField("COUNT").SetTextValue("7");
    dbf.Post();
    dbf.Next();
    dbf.Delete();
    dbf.Close();
  }
  std::string script = folder_.File("check.py");
  WriteBytes(script, R"(
import datetime, dbf, dbfread
path = ")" + path + R"("
for r in dbfread.DBF(path, load=True).records:
    print("dbfread", r["NAME"], r["SMALL"], r["COUNT"], r["BIG"], r["PRICE"], r["ACTIVE"],
          r["BORN"], len(r["NOTE"] or ""), (r["NOTE"] or "")[:3])
print("deleted", [r["NAME"] for r in dbfread.DBF(path, load=True).deleted])
t = dbf.Table(path)
t.open(dbf.READ_ONLY)
print("types", t.structure())
for r in t:
    print("dbf", r.name.strip(), dbf.is_deleted(r), r.small, r.count, r.active, r.born,
          len(r.note))
t.close()
)");
  std::string output = RunPython(script);
  std::string expected =
      "dbfread Ann -32768 7 9000000000000000000 3.25 True 2024-02-29 600 xxx\n"
      "dbfread Cid None None None None None None 0 \n"
      "deleted ['Bob']\n"
      "types ['name C(12)', 'small N(6,0)', 'count N(11,0)', 'big N(20,0)', 'price N(20,4)', "
      "'active L', 'born D', 'note M']\n"
      "dbf Ann False -32768 7 True 2024-02-29 600\n"
      "dbf Bob True 12 -5 False 1985-01-01 13\n"
      "dbf Cid False None None None None 0\n";
  EXPECT_EQ(output, expected);
}

}  // namespace
}  // namespace tavlo::cursortest
