// The grid over a large table: it learns records lazily in chunks as the view asks, never the
// whole table up front; "Last" learns up to the last record and shows it; deleted records are
// never shown; the decoded-row cache stays bounded while scrolling.
#include <QFile>
#include <QScrollBar>
#include <QTest>

#include "app/data/dbgrid.h"
#include "app/data/dbnavigator.h"
#include "app/host/qtdesktophost.h"
#include "app/pages/formpage.h"
#include "app/pages/tablepage.h"
#include "app/tavlof.h"
#include "dbf/fields.h"
#include "guifixture.h"
#include "platform/desktophost.h"

using namespace tavlo;
using namespace tavlo::testsupport;

namespace {

constexpr int kRecords = 50000;

// A dBase III table of one C(8) field; every 10th record is deleted.
void WriteTable(const QString& path) {
  QByteArray data;
  const int headerSize = 32 + 32 + 1;
  const int recordSize = 1 + 8;
  QByteArray header(32, '\0');
  header[0] = 0x03;
  header[1] = 124;
  header[2] = 1;
  header[3] = 1;
  for (int i = 0; i < 4; ++i) header[4 + i] = static_cast<char>((kRecords >> (8 * i)) & 0xFF);
  header[8] = static_cast<char>(headerSize & 0xFF);
  header[9] = static_cast<char>(headerSize >> 8);
  header[10] = static_cast<char>(recordSize);
  data += header;
  QByteArray field(32, '\0');
  field.replace(0, 2, "ID");
  field[11] = 'C';
  field[16] = 8;
  data += field;
  data += '\r';
  for (int i = 0; i < kRecords; ++i) {
    data += (i % 10 == 9) ? '*' : ' ';
    data += QByteArray::number(i).leftJustified(8, ' ');
  }
  data += '\x1A';
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write(data);
}

}  // namespace

class GridScaleTest : public GuiTest<> {
  Q_OBJECT

 private slots:
  void init() { SetUpWorkspace({"tables"}); }
  void cleanup() { TearDownWorkspace(); }

  void learnsLazilyAndFollowsTheCursor() {
    const QString table = Path("tables/big.dbf");
    WriteTable(table);
    std::unique_ptr<TTavloF> created = NewWindow();
    TTavloF& window = *created;
    window.resize(800, 600);
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.OpenTable(ToAnsi(table), true);
    QCoreApplication::processEvents();
    GridModel* model = window.pageTable->DBGrid1->Model();
    const int visible = kRecords - kRecords / 10;
    QVERIFY(model->rowCount() > 0);
    QVERIFY2(model->rowCount() <= 4 * GridModel::kChunk, "learned more than the first screen");
    QCOMPARE(model->data(model->index(9, 0), Qt::DisplayRole).toString(), QString("10"));

    window.DBNavigator1->BtnClick(NavigateButton::nbLast);
    QCOMPARE(model->rowCount(), visible);
    QCOMPARE(model->CurrentRow(), visible - 1);
    QCOMPARE(model->data(model->index(visible - 1, 0), Qt::DisplayRole).toString(),
             QString::number(kRecords - 2));
    QCOMPARE(window.pageTable->DBGrid1->currentIndex().row(), visible - 1);

    // Scrolling through the whole table keeps only a bounded number of decoded rows.
    QScrollBar* bar = window.pageTable->DBGrid1->verticalScrollBar();
    for (int value = 0; value <= bar->maximum(); value += std::max(bar->maximum() / 50, 1)) {
      bar->setValue(value);
      QCoreApplication::processEvents();
    }
    QVERIFY(model->Cache().CachedRows() <= 1024);

    // Selecting a row far up moves the cursor there.
    window.pageTable->DBGrid1->setCurrentIndex(model->index(100, 0));
    QCOMPARE(window.Dbf1.FieldByName("ID").TextValue(), std::string("111"));
    QVERIFY(host_->messages.empty());
  }

  void filteredCountIsLearnedWhileIdle() {
    const QString table = Path("tables/big.dbf");
    WriteTable(table);
    std::unique_ptr<TTavloF> window = NewWindow();
    window->resize(800, 600);
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    window->OpenTable(ToAnsi(table), true);
    // IDs that begin with 1: 1, 10-19, ..., 10000-19999 = 11111, of which 1111 end in 9
    // and are deleted.
    window->pageForm->txtfilter->setText(">ID.get 1 left '1' =");
    window->pageForm->btnfilterClick();
    GridModel* model = window->pageTable->DBGrid1->Model();
    QVERIFY2(model->rowCount() < 10000, "the filter learned every row up front");
    QVERIFY(window->pnlCounts->text().endsWith("+ shown, 50000 in table, 5000 deleted"));
    QTRY_COMPARE(window->pnlCounts->text(), QString("10000 shown, 50000 in table, 5000 deleted"));
    // Counting does not show the rows: the view still learns them as it scrolls.
    QVERIFY(model->rowCount() < 10000);
    window->DBNavigator1->BtnClick(NavigateButton::nbLast);
    QCOMPARE(model->rowCount(), 10000);
    QCOMPARE(window->Dbf1.FieldByName("ID").TextValue(), std::string("19998"));

    // A filter that fails on a record later in the table: the count stops short of it and
    // says so by its "+", without a message; the grid reports the failure when it gets there.
    window->pageForm->txtfilter->setText(">ID.get '40000' = if 'x' else 1 endif");
    window->pageForm->btnfilterClick();
    QTest::qWait(300);
    QVERIFY(host_->messages.empty());
    QVERIFY(window->pnlCounts->text().contains("+ shown"));
  }
};

QTEST_MAIN(GridScaleTest)
#include "gridscale_test.moc"
