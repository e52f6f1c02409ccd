// The Qt desktop host: filter texts in the engine's "description|pattern" form become Qt
// filters, texts cross the code-page boundary both ways, the clipboard round-trips, and the
// save dialog asks before it returns a file that exists.
#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "app/host/qtdesktophost.h"
#include "platform/codepage.h"

using namespace tavlo;

class DesktopHostTest : public QObject {
  Q_OBJECT

 private slots:
  void convertsFilterPairs() {
    QCOMPARE(QtFilterFromPairs("Dbase files (*.dbf)|*.dbf"), QString("Dbase files (*.dbf)"));
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

  // The program asks itself only about names it makes of the dialog's answer: the name the
  // dialog returns must have been asked about by the dialog. No keeps the dialog open.
  void saveDialogAsksBeforeReturningAFileThatExists() {
    QTemporaryDir dir;
    const QString path = dir.path() + "/list.drpt";
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("kept");
    file.close();
    QtDesktopHost host;
    QString question;
    bool stayedOpen = false;
    QTimer::singleShot(0, [&] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      if (dialog == nullptr) return;
      dialog->selectFile(path);
      QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) return;
        question = box->text();
        box->button(QMessageBox::No)->click();
      });
      static_cast<QDialog*>(dialog)->accept();  // the OK button, as a user presses it
      stayedOpen = dialog->isVisible();
      dialog->reject();
    });
    const std::optional<std::string> chosen = host.SaveFileDialog(
        "Save Report Template", "Report Templates|*.drpt", dir.path().toStdString(), "");
    QVERIFY2(question.contains("already exists"), qPrintable(question));
    QVERIFY(stayedOpen);
    QVERIFY(!chosen);
  }
};

QTEST_MAIN(DesktopHostTest)
#include "desktophost_test.moc"
