// The "Report" page in the main window as the program builds it: "Open Report" writes
// report.html from the chosen template and the open table's (filtered) records and shows it;
// "Open HTML" shows a file without regenerating anything; every failure keeps the page shown;
// the display's settings, relative images, the link under the pointer in the status bar and
// links opened through the desktop; the print preview with its pages, navigation, printing
// to PDF (read back with pdftotext) and a cancelled preparation that shows nothing.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QMouseEvent>
#include <QPointer>
#include <QPrintPreviewWidget>
#include <QProcess>
#include <QProgressDialog>
#include <QStatusBar>
#include <QTest>
#include <QTextBlock>
#include <QTimer>

#include "app/data/dbgrid.h"
#include "app/data/gridmodel.h"
#include "app/dialogs/formselectf.h"
#include "app/dialogs/printpreviewf.h"
#include "app/pages/reportpage.h"
#include "app/pages/reportviewer.h"
#include "app/pages/tablepage.h"
#include "app/tavlof.h"
#include "dbf/fields.h"
#include "guifixture.h"
#include "platform/desktophost.h"

using namespace tavlo;
using namespace tavlo::testsupport;

namespace {

// Besides the shared host's: keeps what the desktop is asked to open, as if it opened it.
class ReportHost : public RecordingHost {
 public:
  std::vector<std::string> opened;
  bool ShellOpen(const std::string& target, const std::string&, const std::string&) override {
    opened.push_back(target);
    return true;
  }
};

void MakeTable(const std::string& path, int records) {
  const char* names[] = {"Anna", "Boris", "Cleo", "Dora", "Emil"};
  const char* cities[] = {"Paris", "London", "Paris", "Berlin", "Rome"};
  std::vector<std::vector<std::string>> rows;
  for (int i = 0; i < records; ++i)
    rows.push_back({i < 5 ? names[i] : "Name" + std::to_string(i), cities[i % 5]});
  CreateTable(
      path, {{"NAME", TFieldType::ftString, 20, false}, {"CITY", TFieldType::ftString, 15, false}},
      rows);
}

void WriteFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  file.write(bytes);
}

QByteArray ReadFile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return "<missing>";
  return file.readAll();
}

const QByteArray kTemplate =
    "<reportheader><html><body><h1>People</h1><table border=\"1\"></reportheader>\r\n"
    "<recordheader><tr></recordheader>\r\n"
    "<record><td>[[NAME]]</td><td>[[city]]</td></record>\r\n"
    "<recordfooter></tr>\r\n</recordfooter>\r\n"
    "<reportfooter></table></body></html></reportfooter>\r\n";

// Where the text first appears in the display, in viewport coordinates.
QPoint PointOf(THtmlViewer& viewer, const QString& text) {
  const QTextCursor found = viewer.document()->find(text);
  QTextCursor at(viewer.document());
  at.setPosition(found.selectionStart() + 1);
  return viewer.cursorRect(at).center();
}

void MoveMouse(QWidget* target, QPoint point) {
  QMouseEvent move(QEvent::MouseMove, point, target->mapToGlobal(point), Qt::NoButton, Qt::NoButton,
                   Qt::NoModifier);
  QApplication::sendEvent(target, &move);
}

QString PdfText(const QString& pdf) {
  QProcess process;
  process.start("pdftotext", {"-layout", pdf, "-"});
  if (!process.waitForFinished(30000)) return "<pdftotext failed>";
  return QString::fromUtf8(process.readAllStandardOutput());
}

}  // namespace

class ReportPageTest : public GuiTest<ReportHost> {
  Q_OBJECT

 private:
  std::string table_;

  std::unique_ptr<TTavloF> Start() {
    auto window = NewWindow();
    window->OpenTable(table_, false);
    return window;
  }
  // "Open Report" with the chooser answering templateName.
  static void OpenReport(TTavloF& window, const QString& templateName) {
    TFormSelectF* chooser = window.FormSelectF;
    QTimer::singleShot(0, chooser, [chooser, templateName] {
      if (!ClickChooserItem(*chooser, templateName)) chooser->reject();
    });
    window.pageReport->btnopenreportClick();
  }

 private slots:
  void init() {
    SetUpWorkspace({"tables", "forms", "reports"});
    table_ = Folder() + "tables/people.dbf";
    MakeTable(table_, 5);
    WriteFile(Path("reports/people.drpt"), kTemplate);
    TReportPage::ProgressDelayMs = 500;
    TPrintPreviewF::ProgressDelayMs = 400;
  }
  void cleanup() { TearDownWorkspace(); }

  void openReportWritesReportHtmlOfTheFilteredRecordsAndShowsIt() {
    auto window = Start();
    TReportPage& page = *window->pageReport;
    QVERIFY(page.btnopenreport->toolTip().startsWith("Open Report"));
    OpenReport(*window, "people.drpt");
    QCOMPARE(window->FormSelectF->windowTitle(), QString("Select Report"));
    const QByteArray written = ReadFile(Path("reports/report.html"));
    QVERIFY(written.startsWith("<html><body><h1>People</h1><table border=\"1\"><tr>"));
    QVERIFY(written.contains("<td>Anna</td><td>Paris</td></tr>\r\n<tr><td>Boris</td>"));
    QVERIFY(written.endsWith("</table></body></html>"));
    QCOMPARE(page.viewer->FileName(), Folder() + "reports/report.html");
    QVERIFY(page.viewer->toPlainText().contains("Emil"));
    QVERIFY(host_->messages.empty());
    // The cursor was walked to its end; the grid learnt all the records again afterwards.
    QVERIFY(window->Dbf1.AtEnd());
    QCOMPARE(GridRows(*window), 5);

    window->RecordFilter1.Filter(window->currentTable, ">CITY.get 'Paris' =");
    OpenReport(*window, "people.drpt");
    const QString shown = page.viewer->toPlainText();
    QVERIFY(shown.contains("Anna") && shown.contains("Cleo"));
    QVERIFY(!shown.contains("Boris"));
    QCOMPARE(ReadFile(Path("reports/report.html")).count("<tr>"), 2);
    QCOMPARE(GridRows(*window), 2);
    QVERIFY(host_->messages.empty());
  }

  void openHtmlShowsAnEarlierReportWithoutRegeneratingIt() {
    auto window = Start();
    TReportPage& page = *window->pageReport;
    const QByteArray earlier = "<html><body><p>Report of last week</p></body></html>";
    WriteFile(Path("reports/report.html"), earlier);
    host_->openAnswer = Folder() + "reports/report.html";
    page.btnopenhtmlClick();
    QCOMPARE(host_->openFilter, std::string("HTML Files|*.htm*"));
    QCOMPARE(host_->openFolder, Folder() + "reports");
    QCOMPARE(page.viewer->toPlainText(), QString("Report of last week"));
    QCOMPARE(ReadFile(Path("reports/report.html")), earlier);
    // The cursor was not walked.
    QCOMPARE(window->Dbf1.RecordNumber(), 1);
    host_->openAnswer.reset();
    page.btnopenhtmlClick();
    QCOMPARE(page.viewer->toPlainText(), QString("Report of last week"));
    QVERIFY(host_->messages.empty());
  }

  void failuresKeepThePageShown() {
    auto window = Start();
    TReportPage& page = *window->pageReport;
    WriteFile(Path("reports/shown.html"), "<p>Shown before</p>");
    QVERIFY(page.ShowFile(Folder() + "reports/shown.html"));
    auto unchanged = [&] { return page.viewer->toPlainText() == "Shown before"; };

    // A display that cannot open the file.
    QVERIFY(!page.ShowFile(Folder() + "reports/gone.html"));
    QVERIFY2(
        host_->messages.back().rfind("Cannot open file " + Folder() + "reports/gone.html", 0) == 0,
        host_->messages.back().c_str());
    QVERIFY(unchanged());
    // A template that cannot be read.
    QVERIFY(!page.MakeReport(Folder() + "reports/gone.drpt"));
    QVERIFY2(
        host_->messages.back().rfind("Cannot open file " + Folder() + "reports/gone.drpt", 0) == 0,
        host_->messages.back().c_str());
    QVERIFY(unchanged());
    QCOMPARE(ReadFile(Path("reports/report.html")), QByteArray("<missing>"));
    // No record body, or no record accepted: nothing written, no message.
    const std::size_t messages = host_->messages.size();
    WriteFile(Path("reports/nobody.drpt"), "<record>[[NAME]]");
    QVERIFY(!page.MakeReport(Folder() + "reports/nobody.drpt"));
    window->RecordFilter1.Filter(window->currentTable, "0");
    QVERIFY(!page.MakeReport(Folder() + "reports/people.drpt"));
    QCOMPARE(host_->messages.size(), messages);
    QCOMPARE(ReadFile(Path("reports/report.html")), QByteArray("<missing>"));
    QVERIFY(unchanged());
    window->RecordFilter1.ShowAll();
    // report.html that cannot be written: the reports folder is a file now.
    QDir(Path("reports")).rename(Path("reports"), Path("reports.away"));
    WriteFile(Path("reports"), "not a folder");
    QVERIFY(!page.MakeReport(Folder() + "reports.away/people.drpt"));
    QVERIFY2(host_->messages.back().rfind("Cannot create file " + Folder() + "reports/report.html",
                                          0) == 0,
             host_->messages.back().c_str());
    QVERIFY(unchanged());
    // No table open: nothing happens at all.
    window->CloseTable();
    const std::size_t before = host_->messages.size();
    QVERIFY(!page.MakeReport(Folder() + "reports.away/people.drpt"));
    QCOMPARE(host_->messages.size(), before);
    QVERIFY(unchanged());
  }

  void cancelledReportWritesNothing() {
    MakeTable(Folder() + "tables/many.dbf", 4000);
    auto window = Start();
    window->OpenTable(Folder() + "tables/many.dbf", false);
    TReportPage& page = *window->pageReport;
    WriteFile(Path("reports/shown.html"), "<p>Shown before</p>");
    QVERIFY(page.ShowFile(Folder() + "reports/shown.html"));
    TReportPage::ProgressDelayMs = 0;
    bool sawProgress = false;
    QTimer::singleShot(0, window.get(), [&] {
      auto* progress = window->findChild<QProgressDialog*>("ReportProgress");
      sawProgress = progress != nullptr;
      if (progress != nullptr) progress->cancel();
    });
    QVERIFY(!page.MakeReport(Folder() + "reports/people.drpt"));
    QVERIFY(sawProgress);
    QCOMPARE(ReadFile(Path("reports/report.html")), QByteArray("<missing>"));
    QCOMPARE(page.viewer->toPlainText(), QString("Shown before"));
    QVERIFY(host_->messages.empty());
    QVERIFY(GridRows(*window) > 0);
  }

  void displaySettingsAndRelativeImages() {
    auto window = Start();
    THtmlViewer& viewer = *window->pageReport->viewer;
    QCOMPARE(viewer.document()->defaultFont().family(), QString("Times New Roman"));
    QVERIFY(!viewer.openLinks());
    QVERIFY(viewer.textInteractionFlags() & Qt::TextSelectableByMouse);
    QCOMPARE(viewer.palette().color(QPalette::Base), QColor(Qt::white));

    QDir(dir_->path()).mkpath("reports/img");
    QImage picture(8, 6, QImage::Format_RGB32);
    picture.fill(Qt::red);
    QVERIFY(picture.save(Path("reports/img/dot.jpg"), "JPEG"));
    WriteFile(Path("reports/pictures.html"),
              "<p><img src=\"img/dot.jpg\"></p><pre>fixed</pre><p>caf\xe9</p>");
    QVERIFY(window->pageReport->ShowFile(Folder() + "reports/pictures.html"));
    const QVariant image =
        viewer.document()->resource(QTextDocument::ImageResource, QUrl("img/dot.jpg"));
    QVERIFY(image.isValid());
    QCOMPARE(image.value<QImage>().size(), QSize(8, 6));
    // Preformatted text in "Courier New"; page bytes without a charset read as ANSI.
    const QTextCursor fixed = viewer.document()->find("fixed");
    QVERIFY(fixed.charFormat().fontFamilies().toStringList().contains("Courier New"));
    QVERIFY(viewer.toPlainText().contains(QString::fromUtf8("caf\xc3\xa9")));
    // A page that names its own character set is read in it.
    WriteFile(Path("reports/utf8.html"),
              "<html><head><meta charset=\"utf-8\"></head><body>caf\xc3\xa9</body></html>");
    QVERIFY(window->pageReport->ShowFile(Folder() + "reports/utf8.html"));
    QCOMPARE(viewer.toPlainText().trimmed(), QString::fromUtf8("caf\xc3\xa9"));
    QVERIFY(!viewer.Shortened());
  }

  void longFilesShowTheirBeginningWithALinkToTheWhole() {
    auto window = Start();
    THtmlViewer& viewer = *window->pageReport->viewer;
    QByteArray rows;
    for (int i = 0; i < 2000; ++i) rows += "<tr><td>row " + QByteArray::number(i) + "</td></tr>\n";
    WriteFile(Path("reports/long.html"), "<table>" + rows + "</table>");
    const std::int64_t shown = THtmlViewer::ShownBytes;
    THtmlViewer::ShownBytes = 1000;
    const bool loaded = window->pageReport->ShowFile(Folder() + "reports/long.html");
    THtmlViewer::ShownBytes = shown;
    QVERIFY(loaded);
    QVERIFY(viewer.Shortened());
    const QString text = viewer.toPlainText();
    QVERIFY(text.contains("row 1\n") && !text.contains("row 1999"));
    QVERIFY(text.contains("The display shows the first 1 KB of long.html"));
    QVERIFY(viewer.toHtml().contains("href=\"file://" + Path("reports/long.html")));
    QVERIFY(window->pageReport->ShowFile(Folder() + "reports/long.html"));
    QVERIFY(!viewer.Shortened());
    QVERIFY(viewer.toPlainText().contains("row 1999"));
  }

  void linkUnderThePointerSetsAndClearsTheStatusBar() {
    auto window = Start();
    window->book->setCurrentWidget(window->pageReport);
    THtmlViewer& viewer = *window->pageReport->viewer;
    WriteFile(Path("reports/links.html"),
              "<p>Plain words here</p><p><a href=\"other.html\">Other page</a></p>"
              "<p><a href=\"https://example.com/x\">Outside</a></p>");
    QVERIFY(window->pageReport->ShowFile(Folder() + "reports/links.html"));
    QApplication::processEvents();
    QWidget* surface = viewer.viewport();
    MoveMouse(surface, PointOf(viewer, "Other page"));
    QCOMPARE(window->pnlHotSpot->text(), QString("other.html"));
    MoveMouse(surface, PointOf(viewer, "Plain words"));
    QCOMPARE(window->pnlHotSpot->text(), QString());
    MoveMouse(surface, PointOf(viewer, "Outside"));
    QCOMPARE(window->pnlHotSpot->text(), QString("https://example.com/x"));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(surface, &leave);
    QCOMPARE(window->pnlHotSpot->text(), QString());

    // Clicks go to the desktop, relative targets resolved against the page's folder; the
    // display stays on its page.
    QTest::mouseClick(surface, Qt::LeftButton, {}, PointOf(viewer, "Other page"));
    QTest::mouseClick(surface, Qt::LeftButton, {}, PointOf(viewer, "Outside"));
    QCOMPARE(host_->opened,
             (std::vector<std::string>{Folder() + "reports/other.html", "https://example.com/x"}));
    QVERIFY(viewer.toPlainText().contains("Plain words"));
    QVERIFY(!viewer.isBackwardAvailable());
  }

  void printPreviewShowsPagesAndPrintsToPdf() {
    MakeTable(Folder() + "tables/many.dbf", 300);
    auto window = Start();
    window->OpenTable(Folder() + "tables/many.dbf", false);
    TReportPage& page = *window->pageReport;
    QVERIFY(page.MakeReport(Folder() + "reports/people.drpt"));
    const QString before = page.viewer->toPlainText();
    const QString pdf = Path("printed.pdf");
    // The window must be shown before anything below looks at it.
    TPrintPreviewF::ProgressDelayMs = 1000000;
    QPointer<TPrintPreviewF> seen;
    int pages = 0;
    int afterNext = 0;
    bool navigation = false;
    QTimer::singleShot(0, window.get(), [&] {
      seen = window->findChild<TPrintPreviewF*>("PrintPreviewF");
      if (seen == nullptr) return;
      pages = seen->PageCount();
      seen->btnnext->click();
      afterNext = seen->CurrentPage();
      navigation = seen->btnprior->isEnabled() && seen->btnfirst->isEnabled() &&
                   seen->lblpage->text() == QString("Page 2 of %1").arg(pages);
      seen->btnlast->click();
      navigation = navigation && seen->CurrentPage() == pages && !seen->btnnext->isEnabled();
      seen->ChoosePrinter = [&pdf](QPrinter& printer, QWidget*) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        return true;
      };
      seen->btnprint->click();
      seen->btnclose->click();
    });
    page.btnpreviewClick();
    QVERIFY(pages >= 3);
    QCOMPARE(afterNext, 2);
    QVERIFY(navigation);
    QVERIFY(seen.isNull());  // freed when it closed
    const QString text = PdfText(pdf);
    QVERIFY2(text.contains("People") && text.contains("Anna") && text.contains("Name299"),
             qPrintable(text.left(300)));
    QCOMPARE(page.viewer->toPlainText(), before);
  }

  void cancelledPreviewPreparationShowsNothing() {
    MakeTable(Folder() + "tables/many.dbf", 300);
    auto window = Start();
    window->OpenTable(Folder() + "tables/many.dbf", false);
    TReportPage& page = *window->pageReport;
    QVERIFY(page.MakeReport(Folder() + "reports/people.drpt"));
    const QString before = page.viewer->toPlainText();
    TPrintPreviewF::ProgressDelayMs = 0;
    bool cancelled = false;
    QTimer::singleShot(0, window.get(), [&] {
      for (auto* progress : window->findChildren<QProgressDialog*>("PrintProgress")) {
        progress->cancel();
        cancelled = true;
      }
    });
    // A preview shown by mistake is closed after a while, and the test fails below.
    bool shown = false;
    QTimer safety;
    safety.setInterval(200);
    QObject::connect(&safety, &QTimer::timeout, window.get(), [&] {
      if (auto* preview = window->findChild<TPrintPreviewF*>(); preview && preview->isVisible()) {
        shown = true;
        preview->reject();
      }
    });
    safety.start();
    page.btnpreviewClick();
    QVERIFY(!shown);
    QVERIFY(cancelled);
    QVERIFY(window->findChild<TPrintPreviewF*>() == nullptr);
    QCOMPARE(page.viewer->toPlainText(), before);
    QVERIFY(host_->messages.empty());
  }
};

QTEST_MAIN(ReportPageTest)
#include "reportpage_test.moc"
