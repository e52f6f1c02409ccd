// The web-safe colour picker qelWebSafe1 of the real window: the palette's cells and colour
// texts, the pointer and release handling of the window, the slots kept between picks, and
// what Execute returns on "OK" and "Cancel".
#include <QTest>
#include <QTimer>
#include <functional>

#include "app/dialogs/websafe.h"
#include "app/dialogs/websafef.h"
#include "app/tavlof.h"
#include "guifixture.h"

using namespace tavlo;
using namespace tavlo::testsupport;

class WebSafeTest : public GuiTest<> {
  Q_OBJECT

 private:
  TqelWebSafe& Picker() { return *window_->qelWebSafe1; }
  TwebsafeF& Dialog() { return *Picker().Dialog(); }
  // Runs Execute with action done inside the shown window.
  bool Pick(const std::function<void(TwebsafeF&)>& action) {
    TwebsafeF* dialog = Picker().Dialog();
    QTimer::singleShot(0, dialog, [dialog, action] {
      if (dialog->isVisible()) action(*dialog);
      // A window the action left open is closed, as by its close box.
      if (dialog->isVisible()) dialog->close();
    });
    return Picker().Execute();
  }
  static std::string Text(const QColor& color) { return WebColorText(color); }

 private slots:
  void init() {
    SetUpWorkspace();
    window_ = NewWindow();
  }
  void cleanup() { TearDownWorkspace(); }

  void palettePointsHaveTheirCellColours() {
    const struct {
      int x, y;
      const char* text;
    } points[] = {
        {0, 0, "#000000"},
        {15, 15, "#000000"},
        {16, 0, "#000033"},
        {0, 16, "#0066CC"},
        {5 * 16, 0, "#0000FF"},
        {6 * 16, 0, "#003300"},
        {7 * 16 + 3, 13 * 16 + 2, "#FFFFFF"},  // cell 215, the last
        {8 * 16, 13 * 16, "#FFFFFF"},          // white area right of it
        {255, 223, "#FFFFFF"},
    };
    for (const auto& point : points) {
      QCOMPARE(Text(WebSafeCellColor(WebSafeCellAt(point.x, point.y))), std::string(point.text));
    }
    // Cell 100: red 2 x 51, green 4 x 51, blue 4 x 51.
    QCOMPARE(Text(WebSafeCellColor(100)), std::string("#66CCCC"));
    // The picture shows the same colours, and white where no cell lies.
    const QImage& picture = Dialog().Image1->Picture();
    QCOMPARE(picture.size(), QSize(256, 256));
    QCOMPARE(QColor(picture.pixel(16, 0)), QColor(0, 0, 0x33));
    QCOMPARE(QColor(picture.pixel(4 * 16 + 7, 6 * 16 + 9)), WebSafeCellColor(100));
    QCOMPARE(QColor(picture.pixel(9 * 16, 13 * 16 + 8)), QColor(Qt::white));
    QCOMPARE(QColor(picture.pixel(0, 240)), QColor(Qt::white));
    QCOMPARE(Dialog().Image1->size(), QSize(256, 224));
  }

  void pointerAndReleaseFillTheChosenSlot() {
    const bool ok = Pick([](TwebsafeF& dialog) {
      QCOMPARE(dialog.windowTitle(), QString("Websafe Colors"));
      QVERIFY(dialog.windowFlags() & Qt::WindowStaysOnTopHint);
      QCOMPARE(dialog.Label1->text(), QString("Color"));
      QVERIFY(dialog.RadioButton1->isChecked());
      QTest::mouseMove(dialog.Image1, QPoint(3, 20));
      QCOMPARE(dialog.Label1->text(), QString("#0066CC"));
      QCOMPARE(dialog.Shape4->Color(), QColor(0, 0x66, 0xCC));
      QCOMPARE(dialog.Edit1->text(), QString("#000000"));
      QTest::mouseRelease(dialog.Image1, Qt::RightButton, {}, QPoint(20, 3));
      QCOMPARE(dialog.Edit1->text(), QString("#000033"));
      QCOMPARE(dialog.Shape1->Color(), QColor(0, 0, 0x33));
      QCOMPARE(dialog.Edit2->text(), QString("#000000"));
      dialog.btnOK->click();
    });
    QVERIFY(ok);
    QCOMPARE(Picker().ColorText, std::string("#000033"));
    QCOMPARE(Picker().Color, QColor(0, 0, 0x33));
  }

  void cancelKeepsTheSlotsAndTheLastPick() {
    QVERIFY(Pick([](TwebsafeF& dialog) {
      dialog.Image1MouseUp(16 * 5, 0);
      dialog.btnOK->click();
    }));
    QCOMPARE(Picker().ColorText, std::string("#0000FF"));
    QVERIFY(!Pick([](TwebsafeF& dialog) {
      dialog.RadioButton2->click();
      QTest::mouseRelease(dialog.Image1, Qt::LeftButton, {}, QPoint(200, 215));
      dialog.btnCancel->click();
    }));
    QCOMPARE(Picker().ColorText, std::string("#0000FF"));
    QCOMPARE(Picker().Color, QColor(0, 0, 0xFF));
    // Closing by the window's close box also cancels.
    QVERIFY(!Pick([](TwebsafeF& dialog) {
      QVERIFY(dialog.RadioButton2->isChecked());
      QCOMPARE(dialog.Edit1->text(), QString("#0000FF"));
      QCOMPARE(dialog.Edit2->text(), QString("#FFFFFF"));
      QCOMPARE(dialog.Shape2->Color(), QColor(Qt::white));
      QCOMPARE(dialog.Edit3->text(), QString("#000000"));
    }));
    QCOMPARE(Picker().ColorText, std::string("#0000FF"));
    // "OK" now returns the second slot.
    QVERIFY(Pick([](TwebsafeF& dialog) { dialog.btnOK->click(); }));
    QCOMPARE(Picker().ColorText, std::string("#FFFFFF"));
  }

  void typedTextIsReturnedUncheckedWithTheSwatchColour() {
    QVERIFY(Pick([](TwebsafeF& dialog) {
      dialog.RadioButton3->click();
      dialog.Image1MouseUp(0, 16);
      dialog.Edit3->selectAll();
      QTest::keyClicks(dialog.Edit3, "#ABCDEF");
      dialog.btnOK->click();
    }));
    QCOMPARE(Picker().ColorText, std::string("#ABCDEF"));
    QCOMPARE(Picker().Color, QColor(0, 0x66, 0xCC));
    QVERIFY(Pick([](TwebsafeF& dialog) {
      dialog.Edit3->setText("not a colour");
      dialog.btnOK->click();
    }));
    QCOMPARE(Picker().ColorText, std::string("not a colour"));
  }
};

QTEST_MAIN(WebSafeTest)
#include "websafe_test.moc"
