// The cursor's walk over a table: hidden deleted records, the filter callback, bookmarks,
// the random-access reads of views, opening failures and the table paths.
#include <sys/stat.h>

#include "cursor_fixture.h"
#include "dbf/indexfile.h"
#include "platform/asciitext.h"

namespace tavlo::cursortest {
namespace {

using CursorNavigationTest = CursorTest;

TEST_F(CursorNavigationTest, EmptyTableIsAtStartAndAtEndWithNullFields) {
  std::string path = MakePeople({});
  TDbf dbf;
  dbf.SetTableName(path);
  dbf.Open();
  dbf.First();
  EXPECT_TRUE(dbf.AtStart());
  EXPECT_TRUE(dbf.AtEnd());
  EXPECT_TRUE(dbf.IsEmpty());
  EXPECT_TRUE(dbf.LookupField("NAME").IsNull());
  EXPECT_EQ(dbf.LookupField("AGE").TextValue(), "");
  EXPECT_TRUE(dbf.LookupField("AGE").VariantValue().IsNull());
  dbf.Next();
  dbf.Prior();
  dbf.Last();
  EXPECT_TRUE(dbf.AtStart() && dbf.AtEnd());
  EXPECT_EQ(dbf.RecordCount(), 0);
  EXPECT_THROW_MSG(dbf.Delete(), EDatabaseError,
                   "Cannot perform this operation on an empty dataset");
}

TEST_F(CursorNavigationTest, WalksVisibleRecordsBothWays) {
  std::string path = MakePeople({"Ann", "Bob", "Cid", "Dan", "Eve"});
  SetFlagInFile(path, 1, '*');
  SetFlagInFile(path, 3, '*');  // damaged flags are read as live: deletionflag_test.cpp
  TDbf dbf;
  dbf.SetTableName(path);
  dbf.Open();
  EXPECT_EQ(Walk(dbf), (std::vector<std::string>{"Ann", "Cid", "Eve"}));
  EXPECT_EQ(dbf.RecordCount(), 5);

  dbf.Last();
  EXPECT_TRUE(dbf.AtEnd());
  EXPECT_EQ(dbf.LookupField("NAME").TextValue(), "Eve");
  EXPECT_EQ(dbf.RecordNumber(), 5);
  dbf.Prior();
  EXPECT_EQ(dbf.LookupField("NAME").TextValue(), "Cid");
  EXPECT_EQ(dbf.RecordNumber(), 3);
  dbf.Prior();
  dbf.Prior();  // nothing before Ann
  EXPECT_TRUE(dbf.AtStart());
  EXPECT_EQ(dbf.LookupField("NAME").TextValue(), "Ann");
  EXPECT_EQ(dbf.LookupField("AGE").VariantValue(), Variant(10));

  dbf.SetShowDeleted(true);  // takes effect at the next fetch
  EXPECT_EQ(Walk(dbf), (std::vector<std::string>{"Ann", "Bob", "Cid", "Dan", "Eve"}));
}

TEST_F(CursorNavigationTest, AllDeletedShowsNothingButCountsEverything) {
  std::string path = MakePeople({"Ann", "Bob"});
  SetFlagInFile(path, 0, '*');
  SetFlagInFile(path, 1, '*');
  TDbf dbf;
  dbf.SetTableName(path);
  dbf.Open();
  EXPECT_TRUE(dbf.IsEmpty());
  EXPECT_TRUE(dbf.AtEnd());
  EXPECT_EQ(dbf.RecordCount(), 2);
}

TEST_F(CursorNavigationTest, FilterReadsTheRecordUnderTest) {
  std::string path = MakePeople({"Ann", "Bob", "Cid", "Dan"});
  TDbf dbf;
  dbf.SetTableName(path);
  dbf.Open();
  dbf.Next();  // Bob is shown while the filter tests the others
  std::vector<std::string> seen;
  dbf.OnFilterRecord = [&seen](TDbf& table, bool& accept) {
    EXPECT_EQ(table.State(), TDataSetState::dsFilter);
    seen.push_back(table.LookupField("NAME").TextValue());
    accept = table.LookupField("AGE").VariantValue().ToInteger() % 20 == 0;
  };
  dbf.SetFiltered(true);
  EXPECT_EQ(Walk(dbf), (std::vector<std::string>{"Bob", "Dan"}));
  EXPECT_EQ(seen, (std::vector<std::string>{"Ann", "Bob", "Cid", "Dan"}));
  EXPECT_EQ(dbf.State(), TDataSetState::dsBrowse);

  dbf.OnFilterRecord = [](TDbf&, bool& accept) { accept = false; };
  dbf.First();
  EXPECT_TRUE(dbf.IsEmpty());
  EXPECT_TRUE(dbf.AtStart() && dbf.AtEnd());

  dbf.OnFilterRecord = nullptr;  // Filtered without a callback filters nothing
  EXPECT_EQ(Walk(dbf).size(), 4u);
}

TEST_F(CursorNavigationTest, FilterFailureLeavesTheCursorUsable) {
  std::string path = MakePeople({"Ann", "Bob"});
  TDbf dbf;
  dbf.SetTableName(path);
  dbf.Open();
  dbf.OnFilterRecord = [](TDbf&, bool&) { throw EDatabaseError("filter broke"); };
  dbf.SetFiltered(true);
  EXPECT_THROW_MSG(dbf.First(), EDatabaseError, "filter broke");
  EXPECT_EQ(dbf.State(), TDataSetState::dsBrowse);
  dbf.SetFiltered(false);
  EXPECT_EQ(Walk(dbf).size(), 2u);
}

TEST_F(CursorNavigationTest, BookmarksReturnToRecordsAndRejectOutsideTheFile) {
  std::string path = MakePeople({"Ann", "Bob", "Cid", "Dan", "Eve", "Fay", "Gus"});
  TDbf dbf;
  dbf.SetTableName(path);
  dbf.Open();
  dbf.Next();
  dbf.Next();
  TBookmark mark = dbf.Bookmark();
  EXPECT_EQ(mark, 2);
  dbf.Last();
  dbf.GotoBookmark(mark);
  EXPECT_EQ(dbf.LookupField("NAME").TextValue(), "Cid");
  EXPECT_THROW_MSG(dbf.GotoBookmark(7), EBinaryDataSetError, "Bookmark 7 not found");
  EXPECT_THROW_MSG(dbf.GotoBookmark(-1), EBinaryDataSetError, "Bookmark -1 not found");
  EXPECT_EQ(dbf.LookupField("NAME").TextValue(), "Cid");
}

TEST_F(CursorNavigationTest, RandomAccessReadsDoNotMoveTheCursor) {
  std::string path = MakePeople({"Ann", "Bob", "Cid"});
  SetFlagInFile(path, 1, '*');
  TDbf dbf;
  dbf.SetTableName(path);
  dbf.Open();
  TRecordBuffer buffer = dbf.NewRecordBuffer();
  TField& name = dbf.LookupField("NAME");
  TField& age = dbf.LookupField("AGE");
  EXPECT_TRUE(dbf.ReadRecordAt(2, buffer));
  EXPECT_EQ(dbf.DisplayTextAt(name, buffer), "Cid");
  EXPECT_EQ(age.TextValueIn(buffer), "30");
  EXPECT_EQ(TDbf::RecordIndexOf(buffer), 2);
  EXPECT_FALSE(dbf.ReadRecordAt(1, buffer));  // deleted
  EXPECT_EQ(name.DisplayTextIn(buffer), "Bob");

  std::vector<std::string> tested;
  dbf.OnFilterRecord = [&](TDbf&, bool& accept) {
    tested.push_back(name.TextValue());
    accept = name.TextValue() != "Ann";
  };
  dbf.SetFiltered(true);
  EXPECT_FALSE(dbf.ReadRecordAt(0, buffer));
  EXPECT_TRUE(dbf.ReadRecordAt(2, buffer));
  EXPECT_EQ(tested, (std::vector<std::string>{"Ann", "Cid"}));
  // The shown record is still the first one.
  EXPECT_EQ(name.TextValue(), "Ann");
  EXPECT_EQ(dbf.RecordNumber(), 1);
  EXPECT_THROW_MSG(dbf.ReadRecordAt(3, buffer), EBinaryDataSetError, "Bookmark 3 not found");
}

TEST_F(CursorNavigationTest, ClosedCursorAndUnknownFieldsFail) {
  std::string path = MakePeople({"Ann"});
  TDbf dbf;
  dbf.SetTableName(path);
  const std::string closed = "Cannot perform this operation on a closed dataset";
  EXPECT_THROW_MSG(dbf.First(), EDatabaseError, closed);
  EXPECT_THROW_MSG(dbf.Next(), EDatabaseError, closed);
  EXPECT_THROW_MSG(dbf.Insert(), EDatabaseError, closed);
  EXPECT_THROW_MSG(dbf.Post(), EDatabaseError, closed);
  EXPECT_THROW_MSG(dbf.Delete(), EDatabaseError, closed);
  dbf.Open();
  EXPECT_THROW_MSG(dbf.LookupField("CITY"), EDatabaseError, "Field 'CITY' not found");
  EXPECT_EQ(&dbf.LookupField("name"), &dbf.Fields(0));
  EXPECT_THROW_MSG(dbf.SetTableName("other.dbf"), EDatabaseError,
                   "Cannot perform this operation on an open dataset");
}

TEST_F(CursorNavigationTest, MissingTableFailsAndLeavesTheCursorClosed) {
  TDbf dbf;
  dbf.SetTableName(folder_.File("nothing"));
  EXPECT_THROW_MSG(dbf.Open(), EBinaryDataSetError,
                   "Open: Table file not found : " + folder_.File("nothing.dbf"));
  EXPECT_FALSE(dbf.Active());
  EXPECT_EQ(dbf.DbfFile(), nullptr);
  // A folder or a pipe under the table's name is said for what it is.
  std::filesystem::create_directory(folder_.File("folder.dbf"));
  dbf.SetTableName(folder_.File("folder.dbf"));
  EXPECT_THROW_MSG(
      dbf.Open(), EBinaryDataSetError,
      "Open: Table file not found : " + folder_.File("folder.dbf") + " (it is a folder)");
  ASSERT_EQ(::mkfifo(folder_.File("pipe.dbf").c_str(), 0600), 0);
  dbf.SetTableName(folder_.File("pipe.dbf"));
  EXPECT_THROW_MSG(
      dbf.Open(), EBinaryDataSetError,
      "Open: Table file not found : " + folder_.File("pipe.dbf") + " (it is not a regular file)");
}

TEST_F(CursorNavigationTest, FailedOpenWritesNothingBack) {
  // Header size 32: no descriptors, so the field count check stops the opening.
  std::string bytes(32, '\0');
  bytes[0] = 3;
  bytes[8] = 32;
  bytes[10] = 1;
  bytes += " ";
  WriteBytes(folder_.File("bad.dbf"), bytes);
  TDbf dbf;
  dbf.SetTableName(folder_.File("bad.dbf"));
  EXPECT_THROW_MSG(dbf.Open(), EBinaryDataSetError,
                   "Invalid field count : 0 (must be between 1 and 255)");
  EXPECT_FALSE(dbf.Active());
  EXPECT_EQ(ReadBytes(folder_.File("bad.dbf")), bytes);
  EXPECT_EQ(FileRegistry::Instance().Find(LowerAscii(folder_.File("bad.dbf"))), nullptr);
}

TEST_F(CursorNavigationTest, IndexFileIsAttachedButNeverTouched) {
  std::string path = MakePeople({"Bob", "Ann"});
  std::string index(1024, 'x');
  WriteBytes(folder_.File("people.mdx"), index);
  TDbf dbf;
  dbf.SetTableName(path);
  dbf.Open();
  ASSERT_NE(dbf.IndexFile(), nullptr);
  EXPECT_EQ(Walk(dbf), (std::vector<std::string>{"Bob", "Ann"}));  // physical order
  dbf.Insert();
  dbf.LookupField("NAME").SetTextValue("Cid");
  dbf.Post();
  dbf.Close();
  EXPECT_EQ(ReadBytes(folder_.File("people.mdx")), index);
}

TEST_F(CursorNavigationTest, TwoCursorsOnOneTableShareItsFiles) {
  std::string path = MakePeople({"Ann"});
  TDbf first;
  TDbf second;
  first.SetTableName(path);
  second.SetTableName(path);
  first.Open();
  second.Open();
  EXPECT_EQ(first.DbfFile(), second.DbfFile());
  EXPECT_EQ(first.DbfFile()->UseCount(), 2);
  first.Close();
  EXPECT_EQ(second.LookupField("NAME").TextValue(), "Ann");
  second.Close();
}

TEST_F(CursorNavigationTest, TablePathsFollowTheFolderRules) {
  TDbf dbf;
  dbf.SetTableName("C:\\data\\people");
  EXPECT_EQ(dbf.DataFilePath(), "C:\\data\\people.dbf");
  dbf.SetTableName("\\\\server\\share\\t.DBF");
  EXPECT_EQ(dbf.DataFilePath(), "\\\\server\\share\\t.dbf");
  dbf.SetTableName("/srv/tables/people.txt");
  EXPECT_EQ(dbf.DataFilePath(), "/srv/tables/people.dbf");

  dbf.SetTableName("people.dbf");  // RunTimePath "." is the executable's folder
  EXPECT_EQ(dbf.ResolveTableFolder(), ExecutableFolder());
  EXPECT_EQ(dbf.DataFilePath(), ExecutableFolder() + "people.dbf");
  dbf.SetRunTimePath("  /srv/a/../tables  ");
  EXPECT_EQ(dbf.ResolveTableFolder(), "/srv/tables/");
  dbf.SetRunTimePath("D:\\tables");
  EXPECT_EQ(dbf.ResolveTableFolder(), "D:\\tables\\");
  EXPECT_EQ(dbf.DataFilePath(), "D:\\tables\\people.dbf");
  dbf.SetRunTimePath("sub/./dir");
  EXPECT_EQ(dbf.ResolveTableFolder(), ExecutableFolder() + "sub/dir/");
  EXPECT_EQ(TDbf::ComponentInfo(), "TDbf V3.6");
}

}  // namespace
}  // namespace tavlo::cursortest
