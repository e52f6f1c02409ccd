// Changing records through the cursor: insert, edit, post on move, cancel, delete, the
// read-only refusals, memo values and what reaches the file.
#include "cursor_fixture.h"

namespace tavlo::cursortest {
namespace {

using CursorEditingTest = CursorTest;

std::uint32_t HeaderCount(const std::string& bytes) {
  return static_cast<unsigned char>(bytes[4]) | (static_cast<unsigned char>(bytes[5]) << 8) |
         (static_cast<unsigned char>(bytes[6]) << 16) |
         (static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[7])) << 24);
}

TEST_F(CursorEditingTest, InsertedRecordIsStoredLastAndShown) {
  std::string path = MakePeople({"Ann", "Bob", "Cid", "Dan", "Eve"});
  TDbf dbf;
  dbf.SetTableName(path);
  dbf.Open();
  dbf.Next();
  dbf.Next();
  dbf.Insert();
  EXPECT_EQ(dbf.State(), TDataSetState::dsInsert);
  EXPECT_TRUE(dbf.LookupField("NAME").IsNull());
  dbf.LookupField("NAME").SetTextValue("Fay");
  dbf.Post();
  EXPECT_EQ(dbf.State(), TDataSetState::dsBrowse);
  EXPECT_EQ(dbf.RecordNumber(), 6);
  EXPECT_EQ(dbf.LookupField("NAME").TextValue(), "Fay");
  EXPECT_EQ(dbf.RecordCount(), 6);
  EXPECT_EQ(Walk(dbf).back(), "Fay");
}

TEST_F(CursorEditingTest, MovingStoresChangedRecordsAndDropsUnchangedOnes) {
  std::string path = MakePeople({"Ann", "Bob"});
  TDbf dbf;
  dbf.SetTableName(path);
  dbf.Open();
  dbf.Insert();  // nothing typed: a move drops it
  dbf.First();
  EXPECT_EQ(dbf.RecordCount(), 2);
  dbf.Edit();
  dbf.LookupField("AGE").SetTextValue("99");
  dbf.Next();  // stores the edit
  EXPECT_EQ(dbf.State(), TDataSetState::dsBrowse);
  dbf.Close();
  dbf.Open();
  EXPECT_EQ(dbf.LookupField("AGE").TextValue(), "99");
  EXPECT_EQ(dbf.RecordCount(), 2);
}

TEST_F(CursorEditingTest, CancelRereadsTheRecordAndReturnsFromAnInsert) {
  std::string path = MakePeople({"Ann", "Bob"});
  TDbf dbf;
  dbf.SetTableName(path);
  dbf.Open();
  dbf.Next();
  dbf.Edit();
  dbf.LookupField("NAME").SetTextValue("Zed");
  EXPECT_TRUE(dbf.Modified());
  dbf.Cancel();
  EXPECT_EQ(dbf.LookupField("NAME").TextValue(), "Bob");
  dbf.Insert();
  dbf.LookupField("NAME").SetTextValue("New");
  dbf.Cancel();
  EXPECT_EQ(dbf.LookupField("NAME").TextValue(), "Bob");
  EXPECT_EQ(dbf.RecordCount(), 2);
  dbf.Insert();
  dbf.Delete();  // during an insert, Delete cancels it
  EXPECT_EQ(dbf.LookupField("NAME").TextValue(), "Bob");
  EXPECT_EQ(dbf.RecordCount(), 2);
}

TEST_F(CursorEditingTest, EditOnAnEmptyTableStartsAnInsert) {
  std::string path = MakePeople({});
  TDbf dbf;
  dbf.SetTableName(path);
  dbf.Open();
  dbf.Edit();
  EXPECT_EQ(dbf.State(), TDataSetState::dsInsert);
  dbf.LookupField("NAME").SetTextValue("Ann");
  dbf.Post();
  EXPECT_FALSE(dbf.IsEmpty());
  dbf.Cancel();  // nothing pending: nothing happens
  EXPECT_EQ(dbf.LookupField("NAME").TextValue(), "Ann");
}

TEST_F(CursorEditingTest, ClosingDuringAnInsertStoresNothing) {
  std::string path = MakePeople({"Ann"});
  std::string before = ReadBytes(path);
  {
    TDbf dbf;
    dbf.SetTableName(path);
    dbf.Open();
    dbf.Insert();
    dbf.LookupField("NAME").SetTextValue("Lost");
    dbf.Close();
  }
  std::string after = ReadBytes(path);
  EXPECT_EQ(after.size(), before.size());
  EXPECT_EQ(after.substr(4), before.substr(4));  // only the date may differ
}

TEST_F(CursorEditingTest, DeleteMovesToANeighbourAndKeepsTheRecordInTheFile) {
  std::string path = MakePeople({"Ann", "Bob", "Cid"});
  TDbf dbf;
  dbf.SetTableName(path);
  dbf.Open();
  dbf.Next();
  dbf.Delete();
  EXPECT_EQ(dbf.LookupField("NAME").TextValue(), "Cid");
  dbf.Delete();  // the last visible record: back to the previous one
  EXPECT_EQ(dbf.LookupField("NAME").TextValue(), "Ann");
  EXPECT_EQ(dbf.RecordCount(), 3);
  dbf.Delete();
  EXPECT_TRUE(dbf.IsEmpty());
  dbf.Close();
  std::string bytes = ReadBytes(path);
  EXPECT_EQ(HeaderCount(bytes), 3u);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(bytes[97 + 22 * i], '*') << i;  // header 97, records 22
  EXPECT_EQ(bytes.substr(97 + 22 + 1, 3), "Bob");
}

TEST_F(CursorEditingTest, DeletingDuringAnEditKeepsTheFieldsAsStored) {
  std::string path = MakePeople({"Ann", "Bob"});
  TDbf dbf;
  dbf.SetTableName(path);
  dbf.Open();
  dbf.Edit();
  dbf.LookupField("NAME").SetTextValue("Unposted");
  dbf.Delete();
  dbf.SetShowDeleted(true);
  dbf.First();
  EXPECT_TRUE(dbf.IsDeleted());
  EXPECT_EQ(dbf.LookupField("NAME").TextValue(), "Ann");
}

TEST_F(CursorEditingTest, PostingAShownDeletedRecordUndeletesIt) {
  std::string path = MakePeople({"Ann", "Bob"});
  SetFlagInFile(path, 0, '*');
  TDbf dbf;
  dbf.SetTableName(path);
  dbf.SetShowDeleted(true);
  dbf.Open();
  EXPECT_TRUE(dbf.IsDeleted());
  dbf.Edit();
  dbf.LookupField("AGE").SetTextValue("11");
  dbf.Post();
  EXPECT_FALSE(dbf.IsDeleted());
  dbf.SetShowDeleted(false);
  EXPECT_EQ(Walk(dbf), (std::vector<std::string>{"Ann", "Bob"}));
}

TEST_F(CursorEditingTest, WritesOutsideEditModeFail) {
  std::string path = MakePeople({"Ann"});
  TDbf dbf;
  dbf.SetTableName(path);
  dbf.Open();
  const std::string notEditing = "Dataset not in edit or insert mode";
  EXPECT_THROW_MSG(dbf.LookupField("NAME").SetTextValue("x"), EDatabaseError, notEditing);
  EXPECT_THROW_MSG(dbf.LookupField("AGE").Clear(), EDatabaseError, notEditing);
  EXPECT_THROW_MSG(dbf.Post(), EDatabaseError, notEditing);
}

TEST_F(CursorEditingTest, RejectedValueLeavesTheRecordAsItWas) {
  std::string path = MakePeople({"Ann"});
  TDbf dbf;
  dbf.SetTableName(path);
  dbf.Open();
  dbf.Edit();
  EXPECT_THROW_MSG(dbf.LookupField("AGE").SetTextValue("abc"), EDatabaseError,
                   "'abc' is not a valid integer value for field 'AGE'");
  EXPECT_FALSE(dbf.Modified());
  EXPECT_EQ(dbf.LookupField("AGE").TextValue(), "10");
  dbf.LookupField("AGE").SetVariantValue(Variant(42));
  dbf.LookupField("NAME").SetVariantValue(Variant::Null());
  dbf.Post();
  EXPECT_EQ(dbf.LookupField("AGE").VariantValue(), Variant(42));
  EXPECT_TRUE(dbf.LookupField("NAME").IsNull());
}

TEST_F(CursorEditingTest, ReadOnlyCursorRefusesChangesAndWritesNothing) {
  std::string path = MakePeople({"Ann"});
  std::string before = ReadBytes(path);
  TDbf dbf;
  dbf.SetTableName(path);
  dbf.SetReadOnly(true);
  dbf.Open();
  const std::string refused = "Cannot modify a read-only dataset";
  EXPECT_THROW_MSG(dbf.Insert(), EDatabaseError, refused);
  EXPECT_THROW_MSG(dbf.Edit(), EDatabaseError, refused);
  EXPECT_THROW_MSG(dbf.Delete(), EDatabaseError, refused);
  EXPECT_EQ(dbf.State(), TDataSetState::dsBrowse);
  EXPECT_EQ(dbf.LookupField("NAME").TextValue(), "Ann");
  dbf.Close();
  EXPECT_EQ(ReadBytes(path), before);
}

TEST_F(CursorEditingTest, ClosingWritesTheHeaderCountAndOneEndMarker) {
  std::string path = MakePeople({"Ann", "Bob"});
  std::string bytes = ReadBytes(path);
  // header 97 + 2 records of 22 bytes + the end marker
  ASSERT_EQ(bytes.size(), 97u + 2 * 22 + 1);
  EXPECT_EQ(HeaderCount(bytes), 2u);
  EXPECT_EQ(bytes.back(), '\x1A');
  EXPECT_EQ(bytes.substr(97, 22), " Ann                10");
}

TEST_F(CursorEditingTest, MemoValuesAreStoredReadAndShown) {
  std::string path =
      MakeTable("notes.dbf", {{"TITLE", TFieldType::ftString, 8}, {"NOTE", TFieldType::ftMemo, 0}});
  TDbf dbf;
  dbf.SetTableName(path);
  dbf.Open();
  TField& note = dbf.LookupField("NOTE");
  dbf.Insert();
  EXPECT_EQ(note.DisplayText(), "(Memo)");
  note.SetTextValue("Hello");
  EXPECT_EQ(note.DisplayText(), "(MEMO)");
  dbf.Post();
  dbf.Insert();
  note.SetTextValue("");  // the empty memo: block 0, not null
  dbf.Post();
  dbf.Close();

  std::string memo = ReadBytes(folder_.File("notes.dbt"));
  ASSERT_GE(memo.size(), 519u);
  EXPECT_EQ(memo.substr(512, 7), "Hello\x1A\x1A");
  std::string data = ReadBytes(path);
  EXPECT_EQ(data.substr(97 + 1 + 8, 10), "         1");
  EXPECT_EQ(data.substr(97 + 19 + 1 + 8, 10), "         0");

  dbf.Open();
  TField& reopened = dbf.LookupField("NOTE");
  EXPECT_EQ(reopened.TextValue(), "Hello");
  EXPECT_EQ(reopened.VariantValue(), Variant("Hello"));
  auto stream = dbf.CreateBlobStream(reopened, TMyBlobFile::Mode::Read);
  EXPECT_EQ(stream->Data(), "Hello");
  dbf.Next();
  EXPECT_FALSE(reopened.IsNull());
  EXPECT_EQ(reopened.TextValue(), "");
  EXPECT_EQ(reopened.DisplayText(), "(MEMO)");
  EXPECT_THROW_MSG(dbf.CreateBlobStream(reopened, TMyBlobFile::Mode::Write), EDatabaseError,
                   "Dataset not in edit or insert mode");
  dbf.Edit();
  auto writer = dbf.CreateBlobStream(reopened, TMyBlobFile::Mode::Write);
  const std::string text = "Written through a stream";
  writer->Write(text.data(), text.size());
  writer->Close();
  EXPECT_TRUE(dbf.Modified());
  dbf.Post();
  EXPECT_EQ(reopened.TextValue(), text);
}

TEST_F(CursorEditingTest, FilterSeesTheMemoOfTheRecordUnderTest) {
  std::string path = MakeTable("notes.dbf", {{"NOTE", TFieldType::ftMemo, 0}});
  TDbf dbf;
  dbf.SetTableName(path);
  dbf.Open();
  for (const char* text : {"keep me", "drop me", "keep too"}) {
    dbf.Insert();
    dbf.LookupField("NOTE").SetTextValue(text);
    dbf.Post();
  }
  dbf.OnFilterRecord = [](TDbf& table, bool& accept) {
    accept = table.LookupField("NOTE").TextValue().rfind("keep", 0) == 0;
  };
  dbf.SetFiltered(true);
  std::vector<std::string> shown;
  for (dbf.First(); !dbf.AtEnd(); dbf.Next()) shown.push_back(dbf.LookupField("NOTE").TextValue());
  EXPECT_EQ(shown, (std::vector<std::string>{"keep me", "keep too"}));
}

TEST_F(CursorEditingTest, MemoTextWithoutAMemoFileIsRefused) {
  std::string path = MakeTable("notes.dbf", {{"NOTE", TFieldType::ftMemo, 0}});
  std::filesystem::remove(folder_.File("notes.dbt"));
  TDbf dbf;
  dbf.SetTableName(path);
  dbf.Open();
  EXPECT_EQ(dbf.MemoFile(), nullptr);
  dbf.Insert();
  EXPECT_THROW_MSG(dbf.LookupField("NOTE").SetTextValue("text"), EDatabaseError,
                   "Memo file missing for field 'NOTE'");
  dbf.LookupField("NOTE").SetTextValue("");
  dbf.Post();
  EXPECT_EQ(dbf.LookupField("NOTE").TextValue(), "");
  dbf.Close();
  EXPECT_FALSE(std::filesystem::exists(folder_.File("notes.dbt")));
}

}  // namespace
}  // namespace tavlo::cursortest
