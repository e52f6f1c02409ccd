// The Qt desktop host: filter texts in the engine's "description|pattern" form become Qt
// filters, texts cross the code-page boundary both ways, and the clipboard round-trips.
#include <QTest>

#include "app/host/qtdesktophost.h"
#include "platform/codepage.h"

using namespace tavlo;

class DesktopHostTest : public QObject {
  Q_OBJECT

 private slots:
  void convertsFilterPairs() {
    QCOMPARE(QtFilterFromPairs("Dbase files (*.dbf)|*.dbf"),
             QString("Dbase files (*.dbf)"));
    QCOMPARE(QtFilterFromPairs("Report Templates|*.drpt|HTML Files|*.htm;*.html"),
             QString("Report Templates (*.drpt);;HTML Files (*.htm *.html)"));
    QCOMPARE(QtFilterFromPairs(""), QString());
    QCOMPARE(QtFilterFromPairs("dangling"), QString());
  }

  void textsCrossTheCodePage() {
    const auto pages = NewTableCodePages(866, 1251);
    ScopedCodePages scoped(*pages);
    const std::string ansi = "\xCF\xF0\xE8\xE2\xE5\xF2";  // "Привет" in Windows-1251
    QCOMPARE(FromAnsi(ansi), QString::fromUtf8("Привет"));
    QCOMPARE(ToAnsi(QString::fromUtf8("Привет")), ansi);
    QCOMPARE(ToAnsi(QString::fromUtf8("a€b")).size(), size_t(3));
  }

  void clipboardRoundTrips() {
    QtDesktopHost host;
    host.SetClipboardText("tavlo clipboard");
    QCOMPARE(host.ClipboardText(), std::string("tavlo clipboard"));
  }
};

QTEST_MAIN(DesktopHostTest)
#include "desktophost_test.moc"
