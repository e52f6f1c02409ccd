// A filtered view that shows no record: every change is refused by the cursor itself and the
// file stays byte for byte as it was, whether the filter accepts nothing or fails.
#include <stdexcept>

#include "cursor_fixture.h"

namespace tavlo::cursortest {
namespace {

using CursorEmptyViewTest = CursorTest;

// Every change the cursor offers, tried on a view that shows nothing.
void ExpectEveryChangeRefused(TDbf& dbf) {
  EXPECT_TRUE(dbf.IsEmpty());
  EXPECT_THROW_MSG(dbf.Delete(), EDatabaseError,
                   "Cannot perform this operation on an empty dataset");
  EXPECT_THROW_MSG(dbf.Edit(), EDatabaseError, "Cannot perform this operation on an empty dataset");
  EXPECT_EQ(dbf.State(), TDataSetState::dsBrowse);
  EXPECT_THROW_MSG(dbf.Post(), EDatabaseError, "Dataset not in edit or insert mode");
  EXPECT_THROW_MSG(dbf.LookupField("NAME").SetTextValue("X"), EDatabaseError,
                   "Dataset not in edit or insert mode");
}

TEST_F(CursorEmptyViewTest, FilterAcceptingNothingRefusesEveryChange) {
  std::string path = MakePeople({"Ann", "Bob", "Cid"});
  const std::string before = ReadBytes(path);
  {
    TDbf dbf;
    dbf.SetTableName(path);
    dbf.Open();
    dbf.OnFilterRecord = [](TDbf&, bool& accept) { accept = false; };
    dbf.SetFiltered(true);
    dbf.First();
    ExpectEveryChangeRefused(dbf);
    dbf.Last();
    ExpectEveryChangeRefused(dbf);
  }
  EXPECT_EQ(ReadBytes(path), before);
}

TEST_F(CursorEmptyViewTest, FailingFilterLeavesNoRecordToChange) {
  std::string path = MakePeople({"Ann", "Bob", "Cid"});
  const std::string before = ReadBytes(path);
  {
    TDbf dbf;
    dbf.SetTableName(path);
    dbf.Open();
    ASSERT_EQ(dbf.LookupField("NAME").TextValue(), "Ann");
    dbf.OnFilterRecord = [](TDbf&, bool&) {
      throw EDatabaseError("The field TOWN is not found in this collection");
    };
    dbf.SetFiltered(true);
    // The record shown before the filter was never accepted by it: it must not stay open to
    // Delete and Edit.
    EXPECT_THROW_MSG(dbf.First(), EDatabaseError, "The field TOWN is not found in this collection");
    ExpectEveryChangeRefused(dbf);
    EXPECT_EQ(dbf.LookupField("NAME").TextValue(), "");
    EXPECT_THROW(dbf.Last(), EDatabaseError);
    ExpectEveryChangeRefused(dbf);
  }
  EXPECT_EQ(ReadBytes(path), before);
}

TEST_F(CursorEmptyViewTest, FilterFailingAfterAPostShowsNothing) {
  std::string path = MakePeople({"Ann", "Bob"});
  TDbf dbf;
  dbf.SetTableName(path);
  dbf.Open();
  bool fail = false;
  dbf.OnFilterRecord = [&fail](TDbf&, bool&) {
    if (fail) throw EDatabaseError("filter failed");
  };
  dbf.SetFiltered(true);
  dbf.First();
  dbf.Edit();
  dbf.LookupField("NAME").SetTextValue("Amy");
  fail = true;
  EXPECT_THROW(dbf.Post(), EDatabaseError);
  fail = false;
  EXPECT_TRUE(dbf.IsEmpty());
  EXPECT_THROW_MSG(dbf.Delete(), EDatabaseError,
                   "Cannot perform this operation on an empty dataset");
  EXPECT_EQ(Walk(dbf), (std::vector<std::string>{"Amy", "Bob"}));
}

TEST_F(CursorEmptyViewTest, EditOnAnEmptyUnfilteredTableStillStartsAnInsert) {
  std::string path = MakePeople({});
  TDbf dbf;
  dbf.SetTableName(path);
  dbf.Open();
  dbf.Edit();
  EXPECT_EQ(dbf.State(), TDataSetState::dsInsert);
  dbf.Cancel();
}

}  // namespace
}  // namespace tavlo::cursortest
