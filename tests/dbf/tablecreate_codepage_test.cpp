// The language byte of a created table names the page its text is stored in, so that every
// reader (this one on another machine, dbfread, python3-dbf) reads its accented letters right;
// tables marked 0x58 by earlier versions keep being read in the OEM page of the locale.
#include <cstdio>
#include <memory>

#include "cursor_fixture.h"
#include "dbf/dbffile.h"
#include "dbf/tablecodepage.h"
#include "platform/codepage.h"
#include "platform/textcodec.h"

namespace tavlo::cursortest {
namespace {

// "Zoë Müller" in page 1252 (the session's ANSI page) and in page 437 (as stored).
const std::string kAnsiName = "Zo\xEB M\xFCller";
const std::string kOem437Name = "Zo\x89 M\x81ller";

class CreatedTableCodePageTest : public CursorTest {
 protected:
  // Creates people.dbf (NAME C20, NOTE memo) with the session's code pages and stores the
  // name in one record and in its memo.
  std::string MakeZoe() {
    const std::string path = MakeTable(
        "people.dbf", {{"NAME", TFieldType::ftString, 20}, {"NOTE", TFieldType::ftMemo, 0}});
    TDbf dbf;
    dbf.SetTableName(path);
    dbf.Open();
    dbf.Insert();
    dbf.LookupField("NAME").SetTextValue(kAnsiName);
    dbf.LookupField("NOTE").SetTextValue(kAnsiName);
    dbf.Post();
    dbf.Close();
    return path;
  }
  std::string NameRead(const std::string& path) {
    TDbf dbf;
    dbf.SetTableName(path);
    dbf.SetReadOnly(true);
    dbf.Open();
    return dbf.LookupField("NAME").TextValue();
  }
};

TEST_F(CreatedTableCodePageTest, TheLanguageByteNamesTheOemPageOfTheSession) {
  const struct {
    int oem, ansi;
    unsigned char byte;
  } cases[] = {{437, 1252, 0x01}, {850, 1252, 0x02}, {866, 1251, 0x26}, {852, 1250, 0x64}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.oem);
    const std::unique_ptr<CodePages> pages = NewTableCodePages(c.oem, c.ansi);
    ScopedCodePages session(*pages);
    const std::string path = MakeTable("t.dbf", {{"NAME", TFieldType::ftString, 5}});
    EXPECT_EQ(static_cast<unsigned char>(ReadBytes(path)[29]), c.byte);
    EXPECT_EQ(CodePageOfLanguageByte(c.byte), c.oem);
  }
  // Every byte written names its page when read back, and 0x58 is never written.
  for (int page : {437, 737, 850, 852, 857,  860,  861,  863,  865,  866,  874,
                   932, 936, 949, 950, 1250, 1251, 1252, 1253, 1254, 1255, 1256}) {
    SCOPED_TRACE(page);
    const std::uint8_t byte = LanguageByteOfCodePage(page);
    EXPECT_NE(byte, 0x00);
    EXPECT_NE(byte, 0x58);
    EXPECT_EQ(CodePageOfLanguageByte(byte), page);
  }
  // A page no byte names gets 0x00, which names none: it is read in the OEM page as before.
  EXPECT_EQ(LanguageByteOfCodePage(1257), 0x00);
  EXPECT_EQ(LanguageByteOfCodePage(65001), 0x00);
}

TEST_F(CreatedTableCodePageTest, TextIsStoredInThePageTheByteNamesAndReadsBackElsewhere) {
  const std::unique_ptr<CodePages> english = NewTableCodePages(437, 1252);
  std::string path;
  {
    ScopedCodePages session(*english);
    path = MakeZoe();
    EXPECT_EQ(NameRead(path), kAnsiName);
  }
  const std::string bytes = ReadBytes(path);
  const std::size_t record = static_cast<std::size_t>(bytes[8] & 0xFF) | (bytes[9] & 0xFF) << 8;
  EXPECT_EQ(bytes.substr(record + 1, kOem437Name.size()), kOem437Name);
  // The memo is in the table's page too, as every other reader expects.
  EXPECT_NE(ReadBytes(folder_.File("people.dbt")).find(kOem437Name), std::string::npos);

  // On a machine whose OEM page is 866 the table still reads as 437 (a table that named no
  // page would read "ZoЙ MБller" there). The session is UTF-8, so the text is exact.
  const std::unique_ptr<CodePages> russian = NewTableCodePages(866, kUtf8CodePage);
  ScopedCodePages session(*russian);
  const std::string utf8Name = "Zo\xC3\xAB M\xC3\xBCller";
  EXPECT_EQ(NameRead(path), utf8Name);
  TDbf dbf;
  dbf.SetTableName(path);
  dbf.SetReadOnly(true);
  dbf.Open();
  EXPECT_EQ(dbf.LookupField("NOTE").TextValue(), utf8Name);
  EXPECT_EQ(dbf.DbfFile()->CodePageDescription(), "437 (language byte 0x01)");
}

TEST_F(CreatedTableCodePageTest, TablesMarked0x58ByEarlierVersionsReadAsBefore) {
  // What an earlier version made: the same file with 0x58, its text in the OEM page and its
  // memo bytes untranslated.
  const std::unique_ptr<CodePages> english = NewTableCodePages(437, 1252);
  ScopedCodePages session(*english);
  const std::string path = MakeTable("old.dbf", {{"NAME", TFieldType::ftString, 20}});
  std::string bytes = ReadBytes(path);
  bytes[29] = '\x58';
  bytes.pop_back();  // the end marker
  bytes += " " + kOem437Name + std::string(20 - kOem437Name.size(), ' ') + "\x1A";
  bytes[4] = 1;
  WriteBytes(path, bytes);
  EXPECT_EQ(NameRead(path), kAnsiName);
  TDbf dbf;
  dbf.SetTableName(path);
  dbf.SetReadOnly(true);
  dbf.Open();
  EXPECT_EQ(dbf.DbfFile()->CodePage(), 0);
  EXPECT_EQ(dbf.DbfFile()->CodePageDescription(),
            "437 (OEM page of the locale; the table names none)");
}

// Runs a Python script and returns what it printed.
std::string RunPython(const std::string& scriptPath) {
  const std::string command = "/usr/bin/python3 " + scriptPath + " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return "popen failed";
  std::string output;
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
  pclose(pipe);
  return output;
}

TEST_F(CreatedTableCodePageTest, PeersReadTheAccentedLettersOfACreatedTable) {
  if (access("/usr/bin/python3", X_OK) != 0) GTEST_SKIP() << "no /usr/bin/python3";
  const std::string probe = folder_.File("probe.py");
  WriteBytes(probe, "import dbf, dbfread\nprint('ok')\n");
  if (RunPython(probe) != "ok\n") GTEST_SKIP() << "dbfread or python3-dbf is not installed";

  const std::unique_ptr<CodePages> english = NewTableCodePages(437, 1252);
  ScopedCodePages session(*english);
  const std::string path = MakeZoe();
  const std::string script = folder_.File("check.py");
  WriteBytes(script, R"(
import dbf, dbfread
path = ")" + path + R"("
for r in dbfread.DBF(path):
    print("dbfread", ascii(r["NAME"]), ascii(r["NOTE"]))
t = dbf.Table(path)
t.open(dbf.READ_ONLY)
for r in t:
    print("dbf", ascii(r.name.strip()), ascii(r.note))
t.close()
)");
  EXPECT_EQ(RunPython(script),
            "dbfread 'Zo\\xeb M\\xfcller' 'Zo\\xeb M\\xfcller'\n"
            "dbf 'Zo\\xeb M\\xfcller' 'Zo\\xeb M\\xfcller'\n");
}

}  // namespace
}  // namespace tavlo::cursortest
