// The "Table Designer" page through the real window: the insert buttons, and "Create Table"
// with the save dialog answered by a recording desktop host — what is created, what is
// refused silently, what is reported, and what happens to the table that was open.
#include <QStatusBar>
#include <QTest>

#include "app/pages/designerpage.h"
#include "app/tavlof.h"
#include "dbf/tdbf.h"
#include "guifixture.h"
#include "platform/desktophost.h"
#include "platform/filesystem.h"

using namespace tavlo;
using namespace tavlo::testsupport;

namespace {

void MakeTable(const std::string& path) {
  CreateTable(path, {{"NAME", TFieldType::ftString, 20, false}});
}

struct FieldShape {
  std::string name;
  TFieldType type;
  int size;
};

std::vector<FieldShape> FieldsOnDisk(const std::string& path) {
  TDbf table;
  table.SetTableName(path);
  table.Open();
  std::vector<FieldShape> fields;
  for (const TFieldDef& definition : table.FieldDefs())
    fields.push_back({definition.name, definition.dataType, definition.size});
  table.Close();
  return fields;
}

}  // namespace

class DesignerPageTest : public GuiTest<> {
  Q_OBJECT

 private:
  std::string open_;

  TDesignerPage& Page() { return *window_->pageDesigner; }
  // Types the definition, answers the dialog with name and presses "Create Table".
  void Create(const QString& definition, const std::string& name) {
    Page().Memo1->setPlainText(definition);
    host_->saveAnswer = Folder() + "tables/" + name;
    Page().btncreate->click();
  }
  bool OpenTableStillOpen() { return window_->Dbf1.Active() && window_->currentTable == open_; }

 private slots:
  void init() {
    SetUpWorkspace({"tables"});
    open_ = Folder() + "tables/open.dbf";
    MakeTable(open_);
    window_ = NewWindow();
    window_->book->setCurrentWidget(window_->pageDesigner);
    window_->OpenTable(open_, true);
    QVERIFY(OpenTableStillOpen());
  }
  void cleanup() { TearDownWorkspace(); }

  void insertButtonsTypeTheirCaptionAtTheCaret() {
    std::vector<QString> captions;
    for (QPushButton* button : Page().insertButtons) captions.push_back(button->text());
    QCOMPARE(captions, (std::vector<QString>{"name=\"", "size=\"", "type=\"string\"",
                                             "type=\"integer\"", "type=\"boolean\"",
                                             "type=\"date\"", "type=\"float\"", "type=\"memo\""}));
    QPlainTextEdit* memo = Page().Memo1;
    memo->setPlainText("XY");
    QTextCursor caret = memo->textCursor();
    caret.setPosition(1);
    memo->setTextCursor(caret);
    Page().insertButtons[0]->click();
    QCOMPARE(memo->toPlainText(), QString("Xname=\"Y"));
    // A selection is replaced.
    caret.setPosition(0);
    caret.setPosition(1, QTextCursor::KeepAnchor);
    memo->setTextCursor(caret);
    Page().insertButtons[7]->click();
    QCOMPARE(memo->toPlainText(), QString("type=\"memo\"name=\"Y"));
  }

  void createsTheTableWithoutOpeningIt() {
    Create(
        "name=\"CITY\" type=\"string\" size=\"abc\"\n"
        "name=\"COUNT\" type=\"integer\" size=\"5\"\n"
        "NAME=\"OK\" type=\"boolean\"\n"
        "name=\"BORN\" type=\"date\"\n"
        "name=\"RATE\" type=\"float\"\n"
        "name=\"NOTES\" type=\"memo\"\n"
        "name=\"CODE\" type=\"string\" size=\"12\"\n",
        "new.txt");
    QCOMPARE(host_->saveDialogs, 1);
    QCOMPARE(host_->saveFilter, std::string("Dbase files (*.dbf)|*.dbf"));
    QCOMPARE(host_->saveExtension, std::string("dbf"));
    QVERIFY(host_->messages.empty());
    const std::string made = Folder() + "tables/new.dbf";
    QVERIFY(Files().FileExists(made));
    QVERIFY(!Files().FileExists(Folder() + "tables/new.txt"));
    QVERIFY(Files().FileExists(Folder() + "tables/new.dbt"));
    // The open table was closed; the new one is not opened.
    QVERIFY(!window_->Dbf1.Active());
    QVERIFY(window_->currentTable.empty());
    QVERIFY(window_->pnlHotSpot->text().contains(QString::fromStdString(made)));

    const std::vector<FieldShape> fields = FieldsOnDisk(made);
    QCOMPARE(fields.size(), size_t(7));
    QCOMPARE(fields[0].name, std::string("CITY"));
    QCOMPARE(fields[0].type, TFieldType::ftString);
    QCOMPARE(fields[0].size, 50);
    QCOMPARE(fields[1].name, std::string("COUNT"));
    QCOMPARE(fields[1].type, TFieldType::ftInteger);
    QCOMPARE(fields[2].name, std::string("OK"));
    QCOMPARE(fields[2].type, TFieldType::ftBoolean);
    QCOMPARE(fields[3].type, TFieldType::ftDate);
    QCOMPARE(fields[4].type, TFieldType::ftFloat);
    QCOMPARE(fields[5].type, TFieldType::ftMemo);
    QCOMPARE(fields[6].size, 12);

    // What was made opens with "Open database".
    window_->OpenTable(made, true);
    QVERIFY(window_->Dbf1.Active());
    QCOMPARE(window_->Dbf1.RecordCount(), 0);
  }

  void incompleteDefinitionsCreateNothingSilently() {
    const QString incomplete[] = {
        "name=\"A\" type=\"integer\"\n\nname=\"B\" type=\"integer\"",  // empty line between
        "name=\"A\" type=\"integer\"\n\n",                             // second break at end
        "name=\"A\"",                                                  // no type
        "type=\"integer\"",                                            // no name
        "name=\"A\" type=\"string\"",                                  // string without size
    };
    int attempt = 0;
    for (const QString& definition : incomplete) {
      const std::string name = "t" + std::to_string(++attempt) + ".dbf";
      window_->OpenTable(open_, true);
      Create(definition, name);
      QVERIFY2(!Files().FileExists(Folder() + "tables/" + name), name.c_str());
      QVERIFY(host_->messages.empty());
      // The open table was closed before the lines were read.
      QVERIFY(!window_->Dbf1.Active());
      QVERIFY(window_->Dbf1.FieldDefs().empty());
    }
    QCOMPARE(host_->saveDialogs, attempt);
    // The status bar, not a message box, says why.
    QCOMPARE(window_->pnlHotSpot->text(),
             QString("No table created: line 1 has no size"));
  }

  void refusedDefinitionsAreReported() {
    Create("name=\"A\" type=\"String\" size=\"5\"\n", "caps.dbf");
    QCOMPARE(host_->messages, (std::vector<std::string>{"Unknown field type 'String' in line 1"}));
    QVERIFY(!Files().FileExists(Folder() + "tables/caps.dbf"));
    host_->messages.clear();
    Create("name=\"City\" type=\"date\"\nname=\"CITY\" type=\"integer\"\n", "twice.dbf");
    QCOMPARE(host_->messages, (std::vector<std::string>{"A component named CITY already exists"}));
    QVERIFY(!Files().FileExists(Folder() + "tables/twice.dbf"));
    host_->messages.clear();
    Create("name=\"ELEVENCHARS\" type=\"date\"\n", "long.dbf");
    QCOMPARE(host_->messages.size(), size_t(1));
    QVERIFY(!Files().FileExists(Folder() + "tables/long.dbf"));
    // "~~" is a line break: a name that begins with it made a table that would not open.
    host_->messages.clear();
    Create("name=\"A\" type=\"string\" size=\"5\"\nname=\"~~B\" type=\"string\" size=\"5\"\n",
           "tilde.dbf");
    QCOMPARE(host_->messages,
             (std::vector<std::string>{
                 "Field name '\\x0D\\x0AB' may hold only letters A-Z, digits 0-9 and _, and must "
                 "begin with a letter (line 2; ~~ in a definition is read as a line break)"}));
    QVERIFY(!Files().FileExists(Folder() + "tables/tilde.dbf"));
    QVERIFY(!Files().FileExists(Folder() + "tables/tilde.dbt"));
  }

  void existingFileKeepsTheOpenTableOpen() {
    const std::string old = Folder() + "tables/old.dbf";
    MakeTable(old);
    Create("name=\"A\" type=\"integer\"\n", "old.dbf");
    QCOMPARE(host_->messages, (std::vector<std::string>{old + " allready exists"}));
    QVERIFY(OpenTableStillOpen());
    QCOMPARE(FieldsOnDisk(old)[0].name, std::string("NAME"));
    // A typed name with another extension finds the same table file.
    host_->messages.clear();
    Create("name=\"A\" type=\"integer\"\n", "old.txt");
    QCOMPARE(host_->messages, (std::vector<std::string>{old + " allready exists"}));
  }

  void nothingToCreateAsksNothing() {
    Create("", "empty.dbf");
    QCOMPARE(host_->saveDialogs, 0);
    host_->saveAnswer.reset();
    Page().Memo1->setPlainText("name=\"A\" type=\"integer\"");
    Page().btncreate->click();
    QCOMPARE(host_->saveDialogs, 1);
    QVERIFY(OpenTableStillOpen());
    QVERIFY(host_->messages.empty());
  }
};

QTEST_MAIN(DesignerPageTest)
#include "designerpage_test.moc"
