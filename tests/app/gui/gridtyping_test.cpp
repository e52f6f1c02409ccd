// Keys typed in the grid at once after a click: the click and every key are queued as the
// window system queues them, before the event loop turns, and each is delivered when its
// turn comes (a mouse event to the widget under the pointer, a key to the focus widget). The
// text must reach the cell clicked, of the record clicked, and nothing else may change. What
// reached the disk is read back by a second cursor.
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QStyle>
#include <QTest>
#include <QWindow>

#include "app/data/dbgrid.h"
#include "app/data/dbnavigator.h"
#include "app/host/qtdesktophost.h"
#include "app/pages/tablepage.h"
#include "app/tavlof.h"
#include "dbf/fields.h"
#include "guifixture.h"

using namespace tavlo;
using namespace tavlo::testsupport;

namespace {

constexpr int kName = 0, kCity = 1;

const std::vector<std::string> kNames = {"Ann Ames", "Ed Ames", "Zack Ames"};

// Queues a press and a release of the left button at point of widget, as the window system
// does: QWidgetWindow hands them to the widget under the pointer when they are processed.
void PostClick(QWidget* widget, const QPoint& point) {
  QWindow* window = widget->window()->windowHandle();
  const QPointF local = widget->mapTo(widget->window(), QPointF(point));
  const QPointF global = widget->mapToGlobal(QPointF(point));
  QCoreApplication::postEvent(
      window, new QMouseEvent(QEvent::MouseButtonPress, local, local, global, Qt::LeftButton,
                              Qt::LeftButton, Qt::NoModifier));
  QCoreApplication::postEvent(
      window, new QMouseEvent(QEvent::MouseButtonRelease, local, local, global, Qt::LeftButton,
                              Qt::NoButton, Qt::NoModifier));
}

// Queues a press and a release of each character's key; they go to whichever widget has the
// focus when they are processed, not when they were queued.
void PostKeys(QWidget* top, const QString& text) {
  QWindow* window = top->windowHandle();
  for (const QChar c : text) {
    const int key = c == ' ' ? int(Qt::Key_Space) : int(c.toUpper().unicode());
    const Qt::KeyboardModifiers modifiers = c.isUpper() ? Qt::ShiftModifier : Qt::NoModifier;
    QCoreApplication::postEvent(window, new QKeyEvent(QEvent::KeyPress, key, modifiers, c));
    QCoreApplication::postEvent(window, new QKeyEvent(QEvent::KeyRelease, key, modifiers, c));
  }
}

}  // namespace

class GridTypingTest : public GuiTest<> {
  Q_OBJECT

 private:
  std::string table_;

  static TDBGrid* Grid(TTavloF& window) { return window.pageTable->DBGrid1; }

  std::unique_ptr<TTavloF> Start() {
    auto window = NewWindow();
    window->resize(900, 600);
    window->OpenTable(table_, false);
    return window;
  }

  // The click on cell (row, column) and the keys of text, all queued before any is processed;
  // then the events run and the record is posted.
  static void ClickAndType(TTavloF& window, int row, int column, const QString& text) {
    TDBGrid* grid = Grid(window);
    const QRect cell = grid->visualRect(grid->Model()->index(row, column));
    QVERIFY(cell.isValid());
    PostClick(grid->viewport(), cell.center());
    PostKeys(&window, text);
    QCoreApplication::processEvents();
    // Whatever the view still had waiting (a delayed editor) has its turn too.
    QTest::qWait(QApplication::doubleClickInterval() + 100);
    window.DBNavigator1->BtnClick(NavigateButton::nbPost);
  }

 private slots:
  void init() {
    SetUpWorkspace();
    table_ = Folder() + "people.dbf";
    CreateTable(
        table_,
        {{"NAME", TFieldType::ftString, 20, false}, {"CITY", TFieldType::ftString, 12, false}},
        {{kNames[0], "Oslo"}, {kNames[1], "Rome"}, {kNames[2], "Lima"}});
  }
  void cleanup() { TearDownWorkspace(); }

  // Append, click into the new row and type at once: the new record gets the whole text and
  // the record above keeps its own. The new row's current cell is already selected (the view
  // waited for a double-click and meanwhile searched the rows for the keys: "Z" found "Zack
  // Ames", which dropped the new record, and "oë Müller" went into Zack's), or another one.
  void keysTypedAtOnceGoToTheNewRow_data() {
    QTest::addColumn<int>("column");
    QTest::newRow("the selected cell") << kName;
    QTest::newRow("another cell") << kCity;
  }
  void keysTypedAtOnceGoToTheNewRow() {
    QFETCH(int, column);
    auto window = Start();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    TDBGrid* grid = Grid(*window);
    grid->setFocus();
    grid->setCurrentIndex(grid->Model()->index(0, kName));
    window->DBNavigator1->BtnClick(NavigateButton::nbInsert);
    QCOMPARE(grid->Model()->rowCount(), 4);
    QCOMPARE(grid->currentIndex(), grid->Model()->index(3, kName));
    QCoreApplication::processEvents();
    const QString typed = QString::fromUtf8("Zoë Müller");
    ClickAndType(*window, 3, column, typed);
    QVERIFY2(host_->messages.empty(), host_->messages.empty() ? "" : host_->messages[0].c_str());
    QCOMPARE(window->Dbf1.State(), TDataSetState::dsBrowse);
    QCOMPARE(window->Dbf1.RecordCount(), 4);
    TDbf disk;
    disk.SetTableName(table_);
    disk.SetReadOnly(true);
    disk.Open();
    const char* cities[] = {"Oslo", "Rome", "Lima", ""};
    for (int i = 0; i < 4; ++i) {
      disk.GotoBookmark(i);
      const std::string name =
          i < 3 ? kNames[std::size_t(i)] : (column == kName ? ToAnsi(typed) : std::string());
      const std::string city = i < 3 || column == kName ? cities[i] : ToAnsi(typed);
      QCOMPARE(FromAnsi(disk.FieldByName("NAME").TextValue()), FromAnsi(name));
      QCOMPARE(FromAnsi(disk.FieldByName("CITY").TextValue()), FromAnsi(city));
    }
  }

  // The same race on a record of the table: the text goes to the record clicked, which is not
  // the current one, and the current one is left as it was.
  void keysTypedAtOnceGoToTheRecordClicked() {
    auto window = Start();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    TDBGrid* grid = Grid(*window);
    grid->setFocus();
    grid->setCurrentIndex(grid->Model()->index(2, kName));
    QCoreApplication::processEvents();
    // Twice on the same cell: the second click lands on the selected cell. A key that opens
    // a cell's editor replaces the cell's text, as typing over a selection does.
    ClickAndType(*window, 1, kCity, "Bergen");
    QCOMPARE(window->Dbf1.FieldByName("CITY").TextValue(), std::string("Bergen"));
    const QModelIndex city = grid->Model()->index(1, kCity);
    grid->selectionModel()->select(city, QItemSelectionModel::ClearAndSelect);
    QCOMPARE(grid->currentIndex(), city);
    ClickAndType(*window, 1, kCity, "Nice");
    QVERIFY(host_->messages.empty());
    QCOMPARE(NamesOnDisk(table_), kNames);
    TDbf disk;
    disk.SetTableName(table_);
    disk.SetReadOnly(true);
    disk.Open();
    std::vector<std::string> cities;
    for (disk.First(); !disk.AtEnd(); disk.Next())
      cities.push_back(disk.FieldByName("CITY").TextValue());
    QCOMPARE(cities, (std::vector<std::string>{"Oslo", "Nice", "Lima"}));
  }

  // A click on a logical cell's check box toggles it, whether the cell was selected or not
  // (the selected cell's click no longer waits, and a check box is not an editor).
  void clickOnACheckBoxTogglesIt() {
    const std::string flags = Folder() + "flags.dbf";
    CreateTable(
        flags,
        {{"NAME", TFieldType::ftString, 10, false}, {"ACTIVE", TFieldType::ftBoolean, 0, false}},
        {{"Ann", "False"}});
    auto window = NewWindow();
    window->OpenTable(flags, false);
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    TDBGrid* grid = Grid(*window);
    const QModelIndex active = grid->Model()->index(0, 1);
    const QRect cell = grid->visualRect(active);
    // The check box stands at the left of the cell.
    const QPoint box(cell.left() + grid->style()->pixelMetric(QStyle::PM_IndicatorWidth) / 2 + 4,
                     cell.center().y());
    // Beside the box: the cell becomes current and selected, nothing toggles.
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, QPoint(cell.right() - 4, box.y()));
    QCOMPARE(grid->currentIndex(), active);
    QVERIFY(grid->selectionModel()->isSelected(active));
    QCOMPARE(grid->Model()->data(active, Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
    for (const Qt::CheckState expected : {Qt::Checked, Qt::Unchecked, Qt::Checked}) {
      QTest::qWait(QApplication::doubleClickInterval() + 100);
      QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, box);
      QCOMPARE(grid->Model()->data(active, Qt::CheckStateRole).toInt(), int(expected));
      QVERIFY(!grid->CellEditorOpen());
    }
    window->DBNavigator1->BtnClick(NavigateButton::nbPost);
    TDbf disk;
    disk.SetTableName(flags);
    disk.SetReadOnly(true);
    disk.Open();
    QCOMPARE(disk.FieldByName("ACTIVE").TextValue(), std::string("True"));
    QVERIFY(host_->messages.empty());
  }
};

QTEST_MAIN(GridTypingTest)
#include "gridtyping_test.moc"
