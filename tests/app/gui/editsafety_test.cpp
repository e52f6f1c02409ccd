// Editing that never loses or damages a user's work, driven through the real window: a
// filtered view that shows nothing refuses every change, a pending edit is asked about before
// the table closes or the window ends, a cell text the field refuses keeps its editor open and
// stores nothing, a cell takes no more than its field holds, memos round-trip through the memo
// editor, and the status bar and caption say what is open. What reached the disk is read back
// with tavlo-cli, as another program sees it while the window still holds the table.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <fstream>
#include <iterator>

#include "workspace/inifile.h"
#include "app/data/dbgrid.h"
#include "app/data/dbnavigator.h"
#include "app/dialogs/memoeditf.h"
#include "app/pages/formpage.h"
#include "app/pages/tablepage.h"
#include "app/tavlof.h"
#include "dbf/fields.h"
#include "guifixture.h"
#include "platform/desktophost.h"

using namespace tavlo;
using namespace tavlo::testsupport;

namespace {

constexpr int kName = 0, kCity = 1, kOrders = 2, kNotes = 4;

void MakeTable(const std::string& path) {
  CreateTable(path,
              {{"NAME", TFieldType::ftString, 8, false},
               {"CITY", TFieldType::ftString, 10, false},
               {"ORDERS", TFieldType::ftInteger, 0, false},
               {"ACTIVE", TFieldType::ftBoolean, 0, false},
               {"NOTES", TFieldType::ftMemo, 0, false}},
              {{"Anna", "Paris", "1", "True", "Note of Anna"},
               {"Boris", "Paris", "2", "True", "Note of Boris"},
               {"Cleo", "Paris", "3", "True", "Note of Cleo"}});
}

std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The table as tavlo-cli dumps it (CSV, a header line first), read by another process.
QStringList Dump(const std::string& path) {
  QProcess cli;
  cli.start(TAVLO_CLI, {"dump", QString::fromStdString(path)});
  cli.waitForFinished(20000);
  const QString out = QString::fromUtf8(cli.readAllStandardOutput());
  QStringList lines = out.split("\r\n", Qt::SkipEmptyParts);
  const QString errors = QString::fromUtf8(cli.readAllStandardError());
  if (!errors.isEmpty()) lines.prepend("stderr: " + errors);
  return lines;
}

}  // namespace

class EditSafetyTest : public GuiTest<> {
  Q_OBJECT

 private:
  std::string table_;

  std::unique_ptr<TTavloF> Start(const QStringList& arguments = {}) {
    auto window = NewWindow(arguments);
    window->DBNavigator1->ConfirmDelete = false;
    if (arguments.isEmpty()) window->OpenTable(table_, false);
    return window;
  }
  static TDBGrid* Grid(TTavloF& window) { return window.pageTable->DBGrid1; }
  // Opens the editor of a cell by typing its first character, as a user does.
  static QLineEdit* TypeInto(TTavloF& window, int row, int column, const QString& text) {
    TDBGrid* grid = Grid(window);
    grid->setFocus();
    grid->setCurrentIndex(grid->Model()->index(row, column));
    QTest::keyClick(grid, text.at(0).toLatin1());
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    if (editor == nullptr || !grid->isAncestorOf(editor)) return nullptr;
    QTest::keyClicks(editor, text.mid(1));
    return editor;
  }

 private slots:
  void init() {
    SetUpWorkspace();
    table_ = Folder() + "orders.dbf";
    MakeTable(table_);
  }
  void cleanup() { TearDownWorkspace(); }

  // A filter that accepts nothing leaves nothing to delete, edit or post; one that fails is
  // taken back (the grid shows every record again) and changes nothing either.
  void emptyFilteredViewChangesNothing() {
    auto window = Start();
    const std::string before = FileBytes(table_);
    TDBNavigator* nav = window->DBNavigator1;
    window->pageForm->txtfilter->setText(">TOWN.get 'Paris' =");
    window->pageForm->btnfilterClick();
    QVERIFY(!window->Dbf1.Filtered());
    QVERIFY(!window->Dbf1.IsEmpty());
    QCOMPARE(host_->messages.size(), size_t(1));
    QVERIFY(FileBytes(table_) == before);
    window->pageForm->txtfilter->setText(">CITY.get 'Rome' =");
    window->pageForm->btnfilterClick();
    QVERIFY(window->Dbf1.IsEmpty());
    QVERIFY(!nav->Button(NavigateButton::nbDelete)->isEnabled());
    QVERIFY(!nav->Button(NavigateButton::nbEdit)->isEnabled());
    QVERIFY(!nav->Button(NavigateButton::nbPost)->isEnabled());
    host_->messages.clear();
    nav->BtnClick(NavigateButton::nbDelete);
    nav->BtnClick(NavigateButton::nbDelete);
    nav->BtnClick(NavigateButton::nbEdit);
    QCOMPARE(host_->messages.size(), size_t(3));
    QCOMPARE(host_->messages[0], std::string("Cannot perform this operation on an empty dataset"));
    QCOMPARE(window->Dbf1.State(), TDataSetState::dsBrowse);
    window->pageForm->btnshowallClick();
    QCOMPARE(Dump(table_).size(), 4);
    QVERIFY(FileBytes(table_) == before);
  }

  // "Close database" with a typed value: Cancel keeps it, No drops it, Yes stores it.
  void closingAsksAboutAPendingEdit() {
    auto window = Start();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QVERIFY(TypeInto(*window, 0, kCity, "Lyon") != nullptr);
    host_->answer = Answer::Cancel;
    window->pageTable->btncloseClick();
    QCOMPARE(host_->questions, std::vector<std::string>{"Save changes to the current record?"});
    QVERIFY(window->Dbf1.Active());
    QCOMPARE(window->Dbf1.State(), TDataSetState::dsEdit);
    QCOMPARE(window->Dbf1.FieldByName("CITY").TextValue(), std::string("Lyon"));

    host_->answer = Answer::No;
    window->pageTable->btncloseClick();
    QVERIFY(!window->Dbf1.Active());
    QCOMPARE(Dump(table_).at(1), QString("Anna,Paris,1,True,Note of Anna"));

    window->OpenTable(table_, false);
    QVERIFY(TypeInto(*window, 1, kCity, "Oslo") != nullptr);
    host_->answer = Answer::Yes;
    // Opening a table (here the same one again) settles the edit first.
    window->OpenTable(table_, false);
    QCOMPARE(host_->questions.size(), size_t(3));
    QVERIFY(window->Dbf1.Active());
    QCOMPARE(Dump(table_).at(2), QString("Boris,Oslo,2,True,Note of Boris"));
    QVERIFY(host_->errors.empty());
  }

  // Closing the window: Cancel keeps it open with the edit; Yes posts and lets it close.
  void closingTheWindowAsksAboutAPendingEdit() {
    auto window = Start();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QVERIFY(TypeInto(*window, 2, kName, "Cora") != nullptr);
    host_->answer = Answer::Cancel;
    QVERIFY(!window->close());
    QVERIFY(window->isVisible());
    QCOMPARE(window->Dbf1.State(), TDataSetState::dsEdit);
    host_->answer = Answer::Yes;
    QVERIFY(window->close());
    QCOMPARE(Dump(table_).at(3), QString("Cora,Paris,3,True,Note of Cleo"));
    // An edit that changed nothing is dropped without a question.
    window = Start();
    host_->questions.clear();
    window->Dbf1.Edit();
    QVERIFY(window->close());
    QVERIFY(host_->questions.empty());
  }

  // Naples, then x1 into an integer, then Down: the editor keeps x1, the cursor stays and
  // nothing reaches the file until the value is corrected.
  void refusedCellTextKeepsItsEditor() {
    auto window = Start();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    TDBGrid* grid = Grid(*window);
    QLineEdit* city = TypeInto(*window, 0, kCity, "Naples");
    QVERIFY(city != nullptr);
    QTest::keyClick(city, Qt::Key_Tab);
    QCOMPARE(grid->currentIndex().column(), kOrders);
    auto* orders = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    QVERIFY(orders != nullptr && grid->isAncestorOf(orders));
    orders->selectAll();
    QTest::keyClicks(orders, "x1");
    QTest::keyClick(orders, Qt::Key_Down);
    QCOMPARE(host_->messages,
             std::vector<std::string>{"'x1' is not a valid integer value for field 'ORDERS'"});
    QVERIFY(grid->CellEditorOpen());
    QCOMPARE(grid->currentIndex().row(), 0);
    QCOMPARE(grid->selectionModel()->selectedIndexes(), QModelIndexList{grid->currentIndex()});
    QCOMPARE(window->Dbf1.RecordNumber(), 1);
    orders = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    QVERIFY(orders != nullptr && grid->isAncestorOf(orders));
    QCOMPARE(orders->text(), QString("x1"));
    QCOMPARE(Dump(table_).at(1), QString("Anna,Paris,1,True,Note of Anna"));
    // The navigator's Next and Post stop at the same text.
    window->DBNavigator1->BtnClick(NavigateButton::nbNext);
    window->DBNavigator1->BtnClick(NavigateButton::nbPost);
    QCOMPARE(host_->messages.size(), size_t(3));
    QCOMPARE(window->Dbf1.RecordNumber(), 1);
    QCOMPARE(Dump(table_).at(1), QString("Anna,Paris,1,True,Note of Anna"));
    // Corrected, it goes in with the rest of the row.
    orders = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    QVERIFY(orders != nullptr);
    orders->setText("12");
    QTest::keyClick(orders, Qt::Key_Down);
    QCOMPARE(window->Dbf1.RecordNumber(), 2);
    QCOMPARE(Dump(table_).at(1), QString("Anna,Naples,12,True,Note of Anna"));
  }

  // A character cell takes no more than the field holds, typed or set.
  void cellTakesNoMoreThanItsField() {
    auto window = Start();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QLineEdit* name = TypeInto(*window, 0, kName, "Maximilian");
    QVERIFY(name != nullptr);
    QCOMPARE(name->maxLength(), 8);
    QCOMPARE(name->text(), QString("Maximili"));
    QTest::keyClick(name, Qt::Key_Escape);
    window->Dbf1.Cancel();
    GridModel* model = Grid(*window)->Model();
    QVERIFY(!model->setData(model->index(0, kName), "Maximilian", Qt::EditRole));
    QCOMPARE(host_->messages.size(), size_t(1));
    QCOMPARE(host_->messages[0],
             std::string("'Maximilian' is longer than the 8 characters of field 'NAME'"));
    QCOMPARE(window->Dbf1.FieldByName("NAME").TextValue(), std::string("Anna"));
  }

  // F2 on a memo cell opens the memo editor; OK stores its text, Cancel nothing.
  void memoEditorRoundTrip() {
    auto window = Start();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    TDBGrid* grid = Grid(*window);
    grid->setFocus();
    grid->setCurrentIndex(grid->Model()->index(1, kNotes));
    QString shown;
    auto answer = [&shown](const QString& text, bool ok) {
      QTimer::singleShot(0, [&shown, text, ok] {
        auto* dialog = qobject_cast<TMemoEditF*>(QApplication::activeModalWidget());
        if (dialog == nullptr) return;
        shown = dialog->Memo()->toPlainText();
        dialog->Memo()->setPlainText(text);
        if (ok)
          dialog->accept();
        else
          dialog->reject();
      });
    };
    answer("ignored", false);
    QTest::keyClick(grid, Qt::Key_F2);
    QCOMPARE(shown, QString("Note of Boris"));
    QCOMPARE(window->Dbf1.State(), TDataSetState::dsBrowse);
    answer("First line\nsecond line", true);
    QTest::keyClick(grid, Qt::Key_F2);
    QCOMPARE(window->Dbf1.State(), TDataSetState::dsEdit);
    window->DBNavigator1->BtnClick(NavigateButton::nbPost);
    TDbf check;
    check.SetTableName(table_);
    check.SetReadOnly(true);
    check.Open();
    check.Next();
    QCOMPARE(check.FieldByName("NOTES").TextValue(), std::string("First line\r\nsecond line"));
    QVERIFY(host_->messages.empty());
  }

  // The status bar names the record, the count and the filter; the caption the table.
  void statusBarAndCaptionShowTheTable() {
    auto window = Start();
    QCOMPARE(window->windowTitle(), QString("orders.dbf - Tavlo 3"));
    QVERIFY(!window->pageTable->btnopen->icon().isNull());
    QCOMPARE(window->pnlRecord->text(), QString("Record 1 of 3"));
    QVERIFY(window->pnlFilter->text().isEmpty());
    window->DBNavigator1->BtnClick(NavigateButton::nbLast);
    QCOMPARE(window->pnlRecord->text(), QString("Record 3 of 3"));
    window->DBNavigator1->BtnClick(NavigateButton::nbInsert);
    QCOMPARE(window->pnlRecord->text(), QString("New record (3 in table)"));
    window->DBNavigator1->BtnClick(NavigateButton::nbCancel);
    // The filter shortcut works from the "Table" page.
    window->book->setCurrentWidget(window->pageTable);
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    window->pageForm->txtfilter->setText(">ORDERS.get 2 >=");
    QTest::keySequence(window.get(), TTavloF::kFilterKey);
    QCOMPARE(window->pnlFilter->text(), QString("Filter: >ORDERS.get 2 >="));
    QCOMPARE(window->pnlRecord->text(), QString("Record 2 of 3"));
    // A script that does not compile leaves the filter in force, and says which.
    window->pageForm->txtfilter->setText(">ORDERS.get nosuchword");
    window->pageForm->btnfilterClick();
    QCOMPARE(host_->messages.size(), size_t(1));
    QCOMPARE(window->pnlFilter->text(), QString("Filter: >ORDERS.get 2 >="));
    window->DBNavigator1->BtnClick(NavigateButton::nbRefresh);
    QCOMPARE(host_->messages.size(), size_t(1));
    QCOMPARE(window->pnlRecord->text(), QString("Record 2 of 3"));
    QTest::keySequence(window.get(), TTavloF::kShowAllKey);
    QVERIFY(window->pnlFilter->text().isEmpty());
    QCOMPARE(window->pnlRecord->text(), QString("Record 1 of 3"));
    window->viewerHotSpotCovered("file:///x/report.html#top");
    QCOMPARE(window->pnlHotSpot->text(), QString("file:///x/report.html#top"));
    QCOMPARE(window->pnlRecord->text(), QString("Record 1 of 3"));
    window->CloseTable();
    QCOMPARE(window->windowTitle(), QString("Tavlo 3"));
    QVERIFY(window->pnlRecord->text().isEmpty());
  }

  // A table another program writes is named as such, in one message, also when start-up
  // meets it twice (the last table, named again on the command line).
  void tableHeldElsewhereIsReportedOnce() {
    int ready[2];
    QCOMPARE(pipe(ready), 0);
    const pid_t child = fork();
    QVERIFY(child >= 0);
    if (child == 0) {
      close(ready[0]);
      TDbf holder;
      holder.SetTableName(table_);
      holder.Open();
      char byte = 'r';
      if (write(ready[1], &byte, 1) != 1) _exit(1);
      for (;;) pause();
    }
    close(ready[1]);
    char byte;
    QCOMPARE(read(ready[0], &byte, 1), ssize_t(1));
    close(ready[0]);
    IniFile(dir_->path().toStdString() + "/tavlo.ini").WriteString("Settings", "lastfile", table_);
    auto window = Start({QString::fromStdString(table_)});
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    QCOMPARE(host_->errors.size(), size_t(1));
    QCOMPARE(host_->messages.size(), size_t(1));
    QCOMPARE(host_->errors[0],
             "Cannot open file " + table_ +
                 ": the file is in use by another program\norders.dbf is open in another program");
  }
};

QTEST_MAIN(EditSafetyTest)
#include "editsafety_test.moc"
