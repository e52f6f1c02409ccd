// The grid's user features through the real main window: a title click orders the table
// (ascending, descending, physical) and the navigator follows; "Show deleted" shows deleted
// records dimmed and marked and "Recall" (Ctrl+R) writes the flag back; the find bar finds
// next and previous in the grid's order and says "Not found"; Ctrl+C copies a rectangle of
// display texts; a memo cell's tooltip previews its text.
#include <QApplication>
#include <QClipboard>
#include <QColor>
#include <QFile>
#include <QHeaderView>
#include <QTest>

#include "app/data/dbgrid.h"
#include "app/data/dbnavigator.h"
#include "app/host/qtdesktophost.h"
#include "app/pages/tablepage.h"
#include "app/tavlof.h"
#include "dbf/fields.h"
#include "guifixture.h"
#include "platform/desktophost.h"

using namespace tavlo;
using namespace tavlo::testsupport;

namespace {

// people.dbf: NAME C(8), AGE N(3), NOTE M; "Dan" (record 4) deleted.
void WriteTable(const QString& folder) {
  TDbf dbf;
  dbf.SetTableName(ToAnsi(folder + "/people.dbf"));
  dbf.FieldDefs() = {{"NAME", TFieldType::ftString, 8},
                     {"AGE", TFieldType::ftInteger, 0},
                     {"NOTE", TFieldType::ftMemo, 0}};
  dbf.CreateTableFile();
  dbf.Open();
  const char* names[] = {"eve", "Bob", "Cid", "Dan", "Ann"};
  const char* ages[] = {"30", "25", "41", "50", "25"};
  for (int i = 0; i < 5; ++i) {
    dbf.Insert();
    dbf.LookupField("NAME").SetTextValue(names[i]);
    dbf.LookupField("AGE").SetTextValue(ages[i]);
    if (i == 1) dbf.LookupField("NOTE").SetTextValue(std::string(400, 'x'));
    dbf.Post();
  }
  dbf.GotoBookmark(3);
  dbf.Delete();
  dbf.Close();
}

}  // namespace

class GridFeaturesTest : public GuiTest<> {
  Q_OBJECT

  QStringList Column(int column) {
    GridModel* model = window_->pageTable->DBGrid1->Model();
    model->FetchAll();
    QStringList texts;
    for (int row = 0; row < model->rowCount(); ++row)
      texts << model->data(model->index(row, column), Qt::DisplayRole).toString();
    return texts;
  }
  QString Current() { return FromAnsi(window_->Cursor().LookupField("NAME").TextValue()); }

 private slots:
  void init() {
    SetUpWorkspace({"tables"});
    WriteTable(dir_->path() + "/tables");
    window_ = NewWindow();
    window_->resize(900, 600);
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    window_->OpenTable(ToAnsi(dir_->path() + "/tables/people.dbf"), true);
  }
  void cleanup() { TearDownWorkspace(); }

  void titleClickOrdersAndNavigatorFollows() {
    TTablePage& page = *window_->pageTable;
    QHeaderView* header = page.DBGrid1->horizontalHeader();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(0) + 5, header->height() / 2));
    QCOMPARE(Column(0), (QStringList{"Ann", "Bob", "Cid", "eve"}));
    QVERIFY(header->isSortIndicatorShown());
    QCOMPARE(header->sortIndicatorOrder(), Qt::AscendingOrder);
    window_->Cursor().First();
    window_->Cursor().Next();
    QCOMPARE(Current(), QString("Bob"));
    page.TitleClick(0);
    QCOMPARE(Column(0), (QStringList{"eve", "Cid", "Bob", "Ann"}));
    QCOMPARE(header->sortIndicatorOrder(), Qt::DescendingOrder);
    page.TitleClick(1);  // AGE: equal ages keep file order
    QCOMPARE(Column(0), (QStringList{"Bob", "Ann", "eve", "Cid"}));
    // Editing a key moves the record; the grid shows the new order.
    window_->Cursor().First();
    window_->Cursor().Edit();
    window_->Cursor().LookupField("AGE").SetTextValue("99");
    window_->Cursor().Post();
    QCOMPARE(Column(0), (QStringList{"Ann", "eve", "Cid", "Bob"}));
    QCOMPARE(page.DBGrid1->Model()->CurrentRow(), 3);
    page.TitleClick(1);
    page.TitleClick(1);  // third click: physical order
    QVERIFY(!window_->Cursor().Ordered());
    QVERIFY(!header->isSortIndicatorShown());
    QCOMPARE(Column(0), (QStringList{"eve", "Bob", "Cid", "Ann"}));
    page.TitleClick(0);
    window_->CloseTable();
    window_->OpenTable(ToAnsi(dir_->path() + "/tables/people.dbf"), true);
    QVERIFY(!window_->Cursor().Ordered());
  }

  void showDeletedDimsAndRecallWrites() {
    TTablePage& page = *window_->pageTable;
    GridModel* model = page.DBGrid1->Model();
    QCOMPARE(Column(0).size(), 4);
    QCOMPARE(window_->pnlCounts->text(), QString("4 shown, 5 in table, 1 deleted"));
    page.chkdeleted->click();
    QCOMPARE(window_->pnlCounts->text(), QString("5 shown, 5 in table, 1 deleted"));
    QCOMPARE(Column(0), (QStringList{"eve", "Bob", "Cid", "Dan", "Ann"}));
    QCOMPARE(model->data(model->index(3, 0), Qt::ForegroundRole).value<QColor>(), QColor(Qt::gray));
    QVERIFY(!model->data(model->index(2, 0), Qt::ForegroundRole).isValid());
    QVERIFY(model->headerData(3, Qt::Vertical, Qt::DisplayRole).toString().contains(QChar(0x2715)));
    window_->Cursor().GotoBookmark(3);
    QVERIFY(window_->Cursor().IsDeleted());
    window_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window_.get()));
    page.DBGrid1->setFocus();
    QTest::keySequence(window_.get(), QKeySequence(Qt::CTRL | Qt::Key_R));
    QTRY_VERIFY(!window_->Cursor().IsDeleted());  // a shortcut clicks its button animated
    QCOMPARE(window_->pnlCounts->text(), QString("5 shown, 5 in table, 0 deleted"));
    QVERIFY(!model->data(model->index(3, 0), Qt::ForegroundRole).isValid());
    page.chkdeleted->click();
    QCOMPARE(Column(0).size(), 5);  // Dan is live again, on disk
    QFile file(dir_->path() + "/tables/people.dbf");
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    const int headerSize =
        static_cast<unsigned char>(bytes[8]) | (static_cast<unsigned char>(bytes[9]) << 8);
    const int recordSize =
        static_cast<unsigned char>(bytes[10]) | (static_cast<unsigned char>(bytes[11]) << 8);
    QCOMPARE(bytes[headerSize + 3 * recordSize], ' ');
  }

  void findNextPreviousAndNotFound() {
    TTablePage& page = *window_->pageTable;
    page.ShowFindBar();
    QVERIFY(page.findBar->isVisible());
    page.txtfind->setText("n");
    page.cbfindwhere->setCurrentIndex(0);  // the current column, NAME
    window_->Cursor().First();             // the search starts after the current record
    QVERIFY(page.FindNext());
    QCOMPARE(Current(), QString("Ann"));  // Dan deleted, hidden
    QVERIFY(!page.FindNext());
    QCOMPARE(page.lblfind->text(), QString("Not found"));
    QCOMPARE(Current(), QString("Ann"));  // no wrap
    page.txtfind->setText("E");
    QVERIFY(page.lblfind->text().isEmpty());
    QVERIFY(page.FindNext(true));  // previous, without case
    QCOMPARE(Current(), QString("eve"));
    page.chkmatchcase->setChecked(true);
    window_->Cursor().Last();
    QVERIFY(!page.FindNext(true));
    page.chkmatchcase->setChecked(false);
    page.chkwholefield->setChecked(true);
    page.txtfind->setText("bob");
    window_->Cursor().First();
    QVERIFY(page.FindNext());
    QCOMPARE(Current(), QString("Bob"));
    page.cbfindwhere->setCurrentIndex(1);  // all columns: "(MEMO)" holds an e too
    page.txtfind->setText("e");
    page.chkwholefield->setChecked(false);
    window_->Cursor().First();
    QVERIFY(page.FindNext());
    QCOMPARE(Current(), QString("Bob"));
    page.chkwholefield->setChecked(true);
    page.txtfind->setText("41");  // the AGE of Cid
    QVERIFY(page.FindNext());
    QCOMPARE(Current(), QString("Cid"));
    // With the order on, "next" is the next in the grid's order.
    page.TitleClick(0);
    window_->Cursor().First();  // Ann
    page.cbfindwhere->setCurrentIndex(0);
    page.chkwholefield->setChecked(false);
    page.txtfind->setText("e");
    QVERIFY(page.FindNext());
    QCOMPARE(Current(), QString("eve"));
  }

  void copiesARectangleAndPreviewsMemos() {
    TDBGrid* grid = window_->pageTable->DBGrid1;
    GridModel* model = grid->Model();
    model->FetchAll();
    grid->selectionModel()->select(QItemSelection(model->index(1, 0), model->index(3, 1)),
                                   QItemSelectionModel::ClearAndSelect);
    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), QString("Bob\t25\nCid\t41\nAnn\t25\n"));
    grid->selectAll();
    QVERIFY(grid->SelectionText().startsWith("NAME\tAGE\tNOTE\neve\t30\t(Memo)\n"));
    const QString tip = model->data(model->index(1, 2), Qt::ToolTipRole).toString();
    QCOMPARE(tip, QString(300, 'x') + QChar(0x2026));
    QVERIFY(!model->data(model->index(0, 2), Qt::ToolTipRole).isValid());
  }
};

QTEST_MAIN(GridFeaturesTest)
#include "gridfeatures_test.moc"
