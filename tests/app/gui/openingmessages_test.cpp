// What an opening corrects and goes on with ("Invalid Record Count,", "Invalid Record Size,")
// reaches the user as message boxes of the program's own desktop host, in the order found,
// when the table opens: from the command line at start-up, from the shell's OpenTable, before
// the error of an opening that then fails, and before the "Table information" window.
#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include "app/host/qtdesktophost.h"
#include "app/pages/tablemaintenance.h"
#include "app/pages/tablepage.h"
#include "app/tavlof.h"
#include "guifixture.h"

using namespace tavlo;
using namespace tavlo::testsupport;

namespace {

// A dBase table NAME C(10) holding Anna and Boris, whose header says `count` records of
// `recordSize` bytes (the records padded to that size); headerSize 33 leaves no room for the
// descriptor.
void WriteTable(const QString& path, int count, int recordSize, int headerSize = 65) {
  QByteArray data(32, '\0');
  data[0] = 0x03;
  data[4] = static_cast<char>(count);
  data[8] = static_cast<char>(headerSize);
  data[10] = static_cast<char>(recordSize);
  if (headerSize == 65) {
    QByteArray name(32, '\0');
    name.replace(0, 4, "NAME");
    name[11] = 'C';
    name[16] = 10;
    data += name;
  }
  data += '\r';
  for (const char* record : {" Anna      ", " Boris     "})
    data += QByteArray(record).leftJustified(headerSize == 65 ? recordSize : 11, ' ');
  data += '\x1A';
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write(data);
}

}  // namespace

// The program's own host: every message box is real. Each box shown is read and closed as a
// user closes it, with what the window showed at that moment.
class OpeningMessagesTest : public GuiTest<QtDesktopHost> {
  Q_OBJECT

  struct Box {
    QString title, text;
    QMessageBox::Icon icon;
    bool tableOpen;
  };
  std::vector<Box> boxes_;
  std::vector<QString> windows_;  // other modal windows (the table information)
  QTimer watcher_;
  TTavloF* window_ = nullptr;

  void Watch() {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr) return;
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
      boxes_.push_back({box->windowTitle(), box->text(), box->icon(),
                        window_ != nullptr && window_->Dbf1.Active()});
      box->accept();
    } else if (auto* dialog = qobject_cast<QDialog*>(modal)) {
      windows_.push_back(dialog->windowTitle());
      dialog->reject();
    }
  }

  static QString CountText(int stated) {
    return QString("Invalid Record Count,\nRecordCount in Hdr : %1\nexpected : 2").arg(stated);
  }

 private slots:
  void init() {
    SetUpWorkspace({"tables"});
    boxes_.clear();
    windows_.clear();
    window_ = nullptr;
    watcher_.setInterval(5);
    connect(&watcher_, &QTimer::timeout, this, &OpeningMessagesTest::Watch, Qt::UniqueConnection);
    watcher_.start();
  }
  void cleanup() {
    watcher_.stop();
    TearDownWorkspace();
  }

  void tableNamedAtStartUpShowsItsCorrection() {
    const QString table = Path("tables/count.dbf");
    WriteTable(table, 7, 11);
    std::unique_ptr<TTavloF> window = NewWindow({table});
    QVERIFY(window->Dbf1.Active());
    QCOMPARE(boxes_.size(), size_t(1));
    QCOMPARE(boxes_[0].text, CountText(7));
    QCOMPARE(boxes_[0].title, QApplication::applicationName());
    QCOMPARE(boxes_[0].icon, QMessageBox::Information);
    // The grid shows the records the file holds, the header corrected in memory only.
    QCOMPARE(GridRows(*window), 2);
    QFile file(table);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(static_cast<int>(file.read(5)[4]), 7);
  }

  void eachCorrectionIsABoxOnceTheTableIsOpen() {
    const QString table = Path("tables/both.dbf");
    WriteTable(table, 9, 15);
    std::unique_ptr<TTavloF> window = NewWindow();
    window_ = window.get();
    window->OpenTable(table.toStdString(), true);
    QCOMPARE(boxes_.size(), size_t(2));
    QCOMPARE(boxes_[0].text, CountText(9));
    QCOMPARE(boxes_[1].text,
             QString("Invalid Record Size,\nRecord Size in Hdr : 15\nExpected : 11\n"
                     "The table opens read-only until it is repaired."));
    QVERIFY(boxes_[0].tableOpen && boxes_[1].tableOpen);
    QVERIFY(window->Dbf1.ReadOnly());
    QCOMPARE(GridRows(*window), 2);

    // Reopening checks again; "Table information" says the same before its window.
    boxes_.clear();
    window->OpenTable(table.toStdString(), true);
    QCOMPARE(boxes_.size(), size_t(2));
    boxes_.clear();
    window->pageTable->maintenance->btninfoClick();
    QCOMPARE(boxes_.size(), size_t(2));
    QCOMPARE(boxes_[0].text, CountText(9));
    QCOMPARE(windows_, std::vector<QString>{"Table information - both.dbf"});
  }

  void correctionComesBeforeTheFailureOfTheOpening() {
    const QString table = Path("tables/nofields.dbf");
    WriteTable(table, 7, 11, 33);
    std::unique_ptr<TTavloF> window = NewWindow();
    window_ = window.get();
    window->OpenTable(table.toStdString(), true);
    QVERIFY(!window->Dbf1.Active());
    QCOMPARE(boxes_.size(), size_t(2));
    QCOMPARE(boxes_[0].text, CountText(7));
    QCOMPARE(boxes_[0].icon, QMessageBox::Information);
    QCOMPARE(boxes_[1].text, QString("Invalid field count : 0 (must be between 1 and 255)"));
    QCOMPARE(boxes_[1].icon, QMessageBox::Critical);
  }
};

QTEST_MAIN(OpeningMessagesTest)
#include "openingmessages_test.moc"
