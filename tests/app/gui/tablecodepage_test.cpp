// The "Table" page with a table other programs write: it names the code page in use and where
// it comes from, shows Cyrillic text of a 1251 table whatever the locale, reads the table in
// another page when one is chosen (the dialog previews it first), and the grid greys the
// fields Tavlo does not write and refuses to edit them.
#include <QFile>
#include <QListWidget>
#include <QTableWidget>
#include <QTest>

#include "app/data/dbgrid.h"
#include "app/data/gridmodel.h"
#include "app/pages/codepagedialog.h"
#include "app/pages/tablepage.h"
#include "app/tavlof.h"
#include "dbf/tdbf.h"
#include "guifixture.h"
#include "platform/desktophost.h"

using namespace tavlo;
using namespace tavlo::testsupport;

namespace {

// A Visual FoxPro table in page 1251 (language byte 0xC9): NAME C(4) holding "Анна", COUNT I.
void WriteTable(const QString& path) {
  QByteArray data(32, '\0');
  const int headerSize = 32 + 2 * 32 + 1 + 263;
  data[0] = 0x30;
  data[4] = 1;
  data[8] = static_cast<char>(headerSize & 0xFF);
  data[9] = static_cast<char>(headerSize >> 8);
  data[10] = 1 + 4 + 4;
  data[29] = static_cast<char>(0xC9);
  QByteArray name(32, '\0');
  name.replace(0, 4, "NAME");
  name[11] = 'C';
  name[16] = 4;
  QByteArray count(32, '\0');
  count.replace(0, 5, "COUNT");
  count[11] = 'I';
  count[12] = 5;
  count[16] = 4;
  data += name + count + '\r' + QByteArray(263, '\0');
  data += QByteArray(" \xC0\xED\xED\xE0", 5) + QByteArray("\x07\x00\x00\x00", 4) + '\x1A';
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write(data);
}

}  // namespace

class TableCodePageTest : public GuiTest<> {
  Q_OBJECT

 private slots:
  void init() { SetUpWorkspace(); }
  void cleanup() { TearDownWorkspace(); }

  void showsChoosesAndGreys() {
    const QString table = Path("ru.dbf");
    WriteTable(table);
    std::unique_ptr<TTavloF> window = NewWindow();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    window->OpenTable(table.toStdString(), true);
    QCoreApplication::processEvents();
    TTablePage& page = *window->pageTable;
    QCOMPARE(page.lblCodePage->text(), QString("Code page: 1251 (language byte 0xC9)"));
    QVERIFY(page.btncodepage->isEnabled());
    GridModel* model = page.DBGrid1->Model();
    QCOMPARE(model->data(model->index(0, 0), Qt::DisplayRole).toString(),
             QString::fromUtf8("Анна"));
    // COUNT is an I field: read only, grey, with a tooltip.
    QVERIFY(model->flags(model->index(0, 0)) & Qt::ItemIsEditable);
    QVERIFY(!(model->flags(model->index(0, 1)) & Qt::ItemIsEditable));
    QCOMPARE(model->data(model->index(0, 1), Qt::DisplayRole).toString(), QString("7"));
    QVERIFY(!model->data(model->index(0, 1), Qt::ToolTipRole).toString().isEmpty());
    QVERIFY(model->data(model->index(0, 1), Qt::ForegroundRole).isValid());

    // The dialog previews the first record in the page selected.
    TCodePageDialog dialog(window->Dbf1, 0);
    const auto pages = OfferedCodePages();
    const int row866 = static_cast<int>(std::find(pages.begin(), pages.end(), 866) - pages.begin());
    dialog.lstPages->setCurrentRow(row866);
    QCOMPARE(dialog.ChosenPage(), 866);
    QCOMPARE(dialog.grdPreview->item(0, 0)->text(), QString::fromUtf8("└ээр"));
    dialog.lstPages->setCurrentRow(0);
    QCOMPARE(dialog.grdPreview->item(0, 0)->text(), QString::fromUtf8("Анна"));

    page.UseCodePage(1252);
    QCOMPARE(page.lblCodePage->text(), QString("Code page: 1252 (chosen)"));
    QCOMPARE(model->data(model->index(0, 0), Qt::DisplayRole).toString(),
             QString::fromUtf8("Àííà"));
    window->CloseTable();
    QCOMPARE(page.lblCodePage->text(), QString());
  }
};

QTEST_MAIN(TableCodePageTest)
#include "tablecodepage_test.moc"
