// The dataset layer as its observers see it: data-link notifications, the update-data call
// before a post, the dataset events and the post-error event's retry and abort.
#include "cursor_fixture.h"
#include "dbf/datalink.h"

namespace tavlo::cursortest {
namespace {

using DataSetLinksTest = CursorTest;

class RecordingLink : public TDataLink {
 public:
  std::vector<std::string> events;
  std::function<void()> onUpdate;
  void ActiveChanged() override { events.push_back("active"); }
  void DataSetChanged() override { events.push_back("changed"); }
  void DataSetScrolled(int distance) override {
    events.push_back("scrolled " + std::to_string(distance));
  }
  void RecordChanged(TField* field) override {
    events.push_back("record " + (field != nullptr ? field->FieldName() : std::string("-")));
  }
  void StateChanged() override { events.push_back("state"); }
  void UpdateData() override {
    events.push_back("update");
    if (onUpdate) onUpdate();
  }
};

TEST_F(DataSetLinksTest, LinksHearOpeningMovesEditsAndClosing) {
  std::string path = MakePeople({"Ann", "Bob"});
  TDbf dbf;
  dbf.SetTableName(path);
  RecordingLink link;
  link.SetDataSet(&dbf);
  dbf.Open();
  dbf.Next();
  dbf.Prior();
  dbf.Edit();
  dbf.LookupField("AGE").SetTextValue("5");
  dbf.Post();
  dbf.Close();
  EXPECT_EQ(link.events, (std::vector<std::string>{"state", "active", "scrolled 1", "scrolled -1",
                                                   "state", "record -", "record AGE", "update",
                                                   "state", "changed", "state", "active"}));
}

// A walk over every record (a report, an export) with the controls disabled tells the links
// nothing per record, and once at the end that the records shown changed.
TEST_F(DataSetLinksTest, DisabledControlsHearOneChangeAtTheEnd) {
  std::string path = MakePeople({"Ann", "Bob", "Cid"});
  TDbf dbf;
  dbf.SetTableName(path);
  RecordingLink link;
  link.SetDataSet(&dbf);
  dbf.Open();
  link.events.clear();
  dbf.DisableControls();
  dbf.DisableControls();  // nested, as a walk inside a walk
  for (dbf.First(); !dbf.AtEnd(); dbf.Next()) {
  }
  dbf.Edit();
  dbf.LookupField("AGE").SetTextValue("7");
  dbf.Post();  // the controls still write their pending edits
  dbf.EnableControls();
  EXPECT_EQ(link.events, (std::vector<std::string>{"update"}));
  dbf.EnableControls();
  EXPECT_EQ(link.events, (std::vector<std::string>{"update", "changed", "state"}));
  EXPECT_FALSE(dbf.ControlsDisabled());
  dbf.EnableControls();  // one too many changes nothing
  EXPECT_EQ(link.events.size(), 3u);
  dbf.First();
  EXPECT_EQ(link.events.size(), 4u);  // heard again
  dbf.Close();
}

TEST_F(DataSetLinksTest, UpdateDataLetsControlsWritePendingEditsBeforeAMove) {
  std::string path = MakePeople({"Ann", "Bob"});
  TDbf dbf;
  dbf.SetTableName(path);
  RecordingLink control;
  control.SetDataSet(&dbf);
  dbf.Open();
  dbf.Edit();
  // The control holds typed text that reaches the field only when asked.
  control.onUpdate = [&dbf] {
    if (dbf.LookupField("NAME").TextValue() == "Ann") dbf.LookupField("NAME").SetTextValue("Amy");
  };
  dbf.Next();  // not modified before the update: the update makes it a post
  control.onUpdate = nullptr;
  dbf.First();
  EXPECT_EQ(dbf.LookupField("NAME").TextValue(), "Amy");
}

TEST_F(DataSetLinksTest, DestroyedLinkAndDestroyedDataSetForgetEachOther) {
  std::string path = MakePeople({"Ann"});
  auto link = std::make_unique<RecordingLink>();
  {
    TDbf dbf;
    dbf.SetTableName(path);
    link->SetDataSet(&dbf);
    {
      RecordingLink shortLived;
      shortLived.SetDataSet(&dbf);
    }
    dbf.Open();
    EXPECT_EQ(link->DataSet(), &dbf);
  }
  EXPECT_EQ(link->DataSet(), nullptr);
  link.reset();
}

TEST_F(DataSetLinksTest, EventsRunInOrderAroundOperations) {
  std::string path = MakePeople({"Ann", "Bob"});
  TDbf dbf;
  dbf.SetTableName(path);
  std::vector<std::string> order;
  auto note = [&order](const char* name) {
    return [&order, name](TDataSet&) { order.push_back(name); };
  };
  dbf.BeforeOpen = note("BeforeOpen");
  dbf.AfterOpen = note("AfterOpen");
  dbf.BeforeInsert = note("BeforeInsert");
  dbf.OnNewRecord = note("OnNewRecord");
  dbf.AfterInsert = note("AfterInsert");
  dbf.BeforePost = note("BeforePost");
  dbf.AfterPost = note("AfterPost");
  dbf.BeforeDelete = note("BeforeDelete");
  dbf.AfterDelete = note("AfterDelete");
  dbf.BeforeClose = note("BeforeClose");
  dbf.AfterClose = note("AfterClose");
  dbf.Open();
  dbf.Insert();
  dbf.LookupField("NAME").SetTextValue("Cid");
  dbf.Post();
  dbf.Delete();
  dbf.Close();
  EXPECT_EQ(order,
            (std::vector<std::string>{"BeforeOpen", "AfterOpen", "BeforeInsert", "OnNewRecord",
                                      "AfterInsert", "BeforePost", "AfterPost", "BeforeDelete",
                                      "AfterDelete", "BeforeClose", "AfterClose"}));
}

// A cursor whose storage refuses the first posts, as a full disk would.
class FlakyDbf : public TDbf {
 public:
  int refusals = 0;

 protected:
  void InternalPost() override {
    if (refusals > 0) {
      --refusals;
      throw EWriteError();
    }
    TDbf::InternalPost();
  }
};

TEST_F(DataSetLinksTest, PostErrorEventDecidesBetweenFailRetryAndAbort) {
  std::string path = MakePeople({"Ann"});
  FlakyDbf dbf;
  dbf.SetTableName(path);
  dbf.Open();
  dbf.Edit();
  dbf.LookupField("AGE").SetTextValue("1");

  dbf.refusals = 1;  // no event: the failure reaches the caller, the edit stays pending
  EXPECT_THROW_MSG(dbf.Post(), EWriteError, "Stream write error");
  EXPECT_EQ(dbf.State(), TDataSetState::dsEdit);
  EXPECT_EQ(dbf.LookupField("AGE").TextValue(), "1");

  std::vector<std::string> seen;
  TDataAction answer = TDataAction::daRetry;
  dbf.OnPostError = [&](TDataSet&, const Exception& error, TDataAction& action) {
    seen.push_back(error.what());
    action = answer;
  };
  dbf.refusals = 2;
  dbf.Post();  // retried twice, then stored
  EXPECT_EQ(seen.size(), 2u);
  EXPECT_EQ(dbf.State(), TDataSetState::dsBrowse);

  dbf.Edit();
  dbf.LookupField("AGE").SetTextValue("2");
  answer = TDataAction::daAbort;
  dbf.refusals = 1;
  EXPECT_THROW(dbf.Post(), EAbort);
  EXPECT_EQ(dbf.State(), TDataSetState::dsEdit);
  dbf.Cancel();
  EXPECT_EQ(dbf.LookupField("AGE").TextValue(), "1");
}

}  // namespace
}  // namespace tavlo::cursortest
