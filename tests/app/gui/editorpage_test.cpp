// The "Editor" page through the real window: loading and saving lines (CR LF written), the
// start folders of its dialogs, report templates, the starter template, files that cannot
// be read or written, the colour insertion as one undoable step, Tab, find, the modified
// mark and the HTML highlighting.
#include <Qsci/qscilexerhtml.h>
#include <QApplication>
#include <QFile>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

#include "app/dialogs/formselectf.h"
#include "app/dialogs/websafe.h"
#include "app/dialogs/websafef.h"
#include "app/pages/editorpage.h"
#include "app/startup.h"
#include "app/tavlof.h"
#include "platform/desktophost.h"
#include "text/qelstrings.h"

using namespace tavlo;

namespace {

// Answers the open and save dialogs as told and records how they were asked.
class RecordingHost : public SilentDesktopHost {
 public:
  std::optional<std::string> openAnswer, saveAnswer;
  std::string openFilter, openFolder, saveFilter, saveFolder, saveExtension;
  int dialogs = 0;
  std::optional<std::string> OpenFileDialog(const std::string&, const std::string& filter,
                                            const std::string& folder) override {
    ++dialogs;
    openFilter = filter;
    openFolder = folder;
    return openAnswer;
  }
  std::optional<std::string> SaveFileDialog(const std::string&, const std::string& filter,
                                            const std::string& folder,
                                            const std::string& extension) override {
    ++dialogs;
    saveFilter = filter;
    saveFolder = folder;
    saveExtension = extension;
    return saveAnswer;
  }
};

}  // namespace

class EditorPageTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<QTemporaryDir> dir_;
  std::unique_ptr<RecordingHost> host_;
  std::unique_ptr<ScopedDesktopHost> scopedHost_;
  std::unique_ptr<TTavloF> window_;

  std::string Folder() const { return dir_->path().toStdString() + "/"; }
  TEditorPage& Page() { return *window_->pageEditor; }
  TTemplateEditor& Editor() { return *window_->pageEditor->editor; }
  QString TabText() { return window_->book->tabText(window_->book->indexOf(&Page())); }
  // The picker run by "Select websafe color", with action done in its window.
  void PickColor(const std::function<void(TwebsafeF&)>& action) {
    TwebsafeF* dialog = window_->qelWebSafe1->Dialog();
    QTimer::singleShot(0, dialog, [dialog, action] {
      if (dialog->isVisible()) action(*dialog);
      if (dialog->isVisible()) dialog->close();
    });
    Page().btncolor->click();
  }

 private slots:
  void init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QDir(dir_->path()).mkpath("reports");
    QDir(dir_->path()).mkpath("other");
    host_ = std::make_unique<RecordingHost>();
    scopedHost_ = std::make_unique<ScopedDesktopHost>(*host_);
    window_ = CreateMainWindow(dir_->path() + "/tavlo", {});
    window_->show();
    window_->book->setCurrentWidget(&Page());
  }
  void cleanup() {
    window_.reset();
    scopedHost_.reset();
    host_.reset();
    dir_.reset();
  }

  void opensAndSavesLinesWithCrLf() {
    const std::string source = Folder() + "other/page.html";
    SaveStringToFile(source, "<p>one</p>\r\ntwo\nthree\rfour");
    host_->openAnswer = source;
    Page().btnopen->click();
    QCOMPARE(host_->openFilter, std::string());
    QCOMPARE(host_->openFolder, Folder());
    QCOMPARE(Page().editorOpenFolder, Folder() + "other/");
    QCOMPARE(Editor().text(), QString("<p>one</p>\ntwo\nthree\nfour"));
    QCOMPARE(Page().FileName(), source);
    QVERIFY(!Page().Modified());
    QCOMPARE(TabText(), QString("Editor"));

    const std::string target = Folder() + "reports/copy";
    host_->saveAnswer = target;
    Page().btnsave->click();
    QCOMPARE(host_->saveFolder, Folder());
    QCOMPARE(host_->saveFilter, std::string());
    QCOMPARE(host_->saveExtension, std::string());
    QCOMPARE(Page().editorSaveFolder, Folder() + "reports/");
    QCOMPARE(LoadFileToString(target), std::string("<p>one</p>\r\ntwo\r\nthree\r\nfour\r\n"));
    // The next dialogs start in the folders last chosen.
    host_->openAnswer.reset();
    Page().btnopen->click();
    QCOMPARE(host_->openFolder, Folder() + "other/");
    host_->saveAnswer.reset();
    Page().btnsave->click();
    QCOMPARE(host_->saveFolder, Folder() + "reports/");
    // A text ending in a line break is not given an empty last line.
    Editor().setText("a\n\nb\n");
    host_->saveAnswer = target;
    Page().btnsave->click();
    QCOMPARE(LoadFileToString(target), std::string("a\r\n\r\nb\r\n"));
    QVERIFY(host_->messages.empty());
  }

  void unreadableAndUnwritableFilesKeepTheText() {
    Editor().setText("keep me");
    host_->openAnswer = Folder() + "other/missing.html";
    Page().btnopen->click();
    QCOMPARE(host_->messages,
             (std::vector<std::string>{"Cannot open file " + Folder() + "other/missing.html"}));
    QCOMPARE(Editor().text(), QString("keep me"));
    host_->messages.clear();
    host_->saveAnswer = Folder() + "nofolder/out.html";
    Page().btnsave->click();
    QCOMPARE(host_->messages,
             (std::vector<std::string>{"Cannot create file " + Folder() + "nofolder/out.html"}));
    QCOMPARE(Editor().text(), QString("keep me"));
    QVERIFY(Page().Modified());
  }

  void reportTemplatesAreSavedAsDrpt() {
    Editor().setText("<record>[[NAME]]</record>");
    host_->saveAnswer = Folder() + "reports/list.txt";
    Page().btnsavetemplate->click();
    QCOMPARE(host_->saveFilter, std::string("Report Templates|*.drpt"));
    QVERIFY(!QFile::exists(QString::fromStdString(Folder() + "reports/list.txt")));
    QCOMPARE(LoadFileToString(Folder() + "reports/list.drpt"),
             std::string("<record>[[NAME]]</record>\r\n"));
    QCOMPARE(Page().FileName(), Folder() + "reports/list.drpt");

    // "Open Report Template" lists the templates of reports/ in the file chooser.
    SaveStringToFile(Folder() + "reports/other.drpt", "<b>x</b>\r\n");
    TFormSelectF* chooser = window_->FormSelectF;
    QTimer::singleShot(0, chooser, [chooser] {
      QCOMPARE(chooser->windowTitle(), QString("Select Report"));
      QCOMPARE(chooser->Files()->count(), 2);
      QListWidgetItem* item = chooser->Files()->findItems("other.drpt", Qt::MatchExactly)[0];
      QTest::mouseClick(chooser->Files()->viewport(), Qt::LeftButton, {},
                        chooser->Files()->visualItemRect(item).center());
    });
    Page().btnopentemplate->click();
    QCOMPARE(Editor().text(), QString("<b>x</b>\n"));
    QCOMPARE(Page().FileName(), Folder() + "reports/other.drpt");
  }

  void newReportStartsFromTheTemplate() {
    Editor().setText("unchanged");
    Page().btnnewreport->click();
    QCOMPARE(host_->messages, (std::vector<std::string>{"Can not find template " + Folder() +
                                                        "reports/template.html"}));
    QCOMPARE(Editor().text(), QString("unchanged"));
    SaveStringToFile(Folder() + "reports/template.html", "<html>\r\n</html>\r\n");
    Page().btnnewreport->click();
    QCOMPARE(Editor().text(), QString("<html>\n</html>\n"));
    // Not tied to template.html: saving asks for a name.
    QCOMPARE(Page().FileName(), std::string());
    // The load is one step back to the earlier text.
    Editor().undo();
    QCOMPARE(Editor().text(), QString("unchanged"));
  }

  void colourIsInsertedAsOneUndoableStep() {
    Editor().setText("<font >text</font>");
    Editor().setCursorPosition(0, 6);
    PickColor([](TwebsafeF& dialog) {
      dialog.Image1MouseUp(16, 0);
      dialog.btnOK->click();
    });
    QCOMPARE(Editor().text(), QString("<font color=\"#000033\">text</font>"));
    Editor().undo();
    QCOMPARE(Editor().text(), QString("<font >text</font>"));
    // A selection is replaced; cancelling changes nothing.
    Editor().setSelection(0, 7, 0, 11);
    PickColor([](TwebsafeF& dialog) { dialog.btnOK->click(); });
    QCOMPARE(Editor().text(), QString("<font >color=\"#000033\"</font>"));
    PickColor([](TwebsafeF& dialog) {
      dialog.Image1MouseUp(0, 16);
      dialog.btnCancel->click();
    });
    QCOMPARE(Editor().text(), QString("<font >color=\"#000033\"</font>"));
    Editor().undo();
    QCOMPARE(Editor().text(), QString("<font >text</font>"));
    QVERIFY(host_->messages.empty());
  }

  void undoesTenStepsAndTabMovesTheFocus() {
    QApplication::setActiveWindow(window_.get());
    Editor().setFocus();
    QTRY_VERIFY(Editor().hasFocus());
    for (int i = 0; i < 12; ++i) {
      QTest::keyClicks(&Editor(), "ab");
      QTest::keyClick(&Editor(), Qt::Key_Return);
    }
    const QString typed = Editor().text();
    QTest::keyClick(&Editor(), Qt::Key_Tab);
    QCOMPARE(Editor().text(), typed);
    QVERIFY(!Editor().hasFocus());
    for (int i = 0; i < 12 * 3; ++i) Editor().undo();
    QCOMPARE(Editor().text(), QString());
  }

  void marksTheTextChangedSinceOpenedOrSaved() {
    QCOMPARE(TabText(), QString("Editor"));
    Editor().setText("x");
    QCOMPARE(TabText(), QString("Editor *"));
    QVERIFY(Page().lblFile->text().contains("modified"));
    host_->saveAnswer = Folder() + "other/x.html";
    Page().btnsave->click();
    QCOMPARE(TabText(), QString("Editor"));
    QVERIFY(!Page().lblFile->text().contains("modified"));
    QVERIFY(Page().lblFile->text().contains("x.html"));
    Editor().insertAt("y", 0, 1);
    QCOMPARE(TabText(), QString("Editor *"));
    Editor().undo();
    QCOMPARE(TabText(), QString("Editor"));
  }

  void findsTextAndFindsNextWithF3() {
    QApplication::setActiveWindow(window_.get());
    Editor().setText("<td>one</td>\n<TD>two</TD>\n");
    Editor().setFocus();
    QTest::keyClick(&Editor(), Qt::Key_F, Qt::ControlModifier);
    QTRY_VERIFY(Page().txtfind->hasFocus());
    QTest::keyClicks(Page().txtfind, "td");
    QTest::keyClick(Page().txtfind, Qt::Key_Return);
    int line, index, lineTo, indexTo;
    Editor().getSelection(&line, &index, &lineTo, &indexTo);
    QCOMPARE(QList<int>({line, index, indexTo}), QList<int>({0, 1, 3}));
    QTest::keyClick(&Editor(), Qt::Key_F3);
    Editor().getSelection(&line, &index, &lineTo, &indexTo);
    QCOMPARE(QList<int>({line, index, indexTo}), QList<int>({0, 9, 11}));
    QTest::keyClick(&Editor(), Qt::Key_F3);
    Editor().getSelection(&line, &index, &lineTo, &indexTo);
    QCOMPARE(QList<int>({line, index}), QList<int>({1, 1}));
    Page().txtfind->setText("absent");
    QVERIFY(!Page().FindNext());
    QCOMPARE(window_->statusBar()->currentMessage(), QString("Cannot find \"absent\""));
    QCOMPARE(Editor().text(), QString("<td>one</td>\n<TD>two</TD>\n"));
  }

  void highlightsHtml() {
    Editor().setText("<p class=\"x\">&amp;<zz>");
    auto* lexer = qobject_cast<QsciLexerHTML*>(Editor().lexer());
    QVERIFY(lexer != nullptr);
    Editor().recolor();
    auto styleAt = [this](int position) {
      return static_cast<int>(Editor().SendScintilla(QsciScintillaBase::SCI_GETSTYLEAT,
                                                     static_cast<unsigned long>(position)));
    };
    QCOMPARE(styleAt(1), int(QsciLexerHTML::Tag));
    QCOMPARE(styleAt(3), int(QsciLexerHTML::Attribute));
    QCOMPARE(styleAt(10), int(QsciLexerHTML::HTMLDoubleQuotedString));
    QCOMPARE(styleAt(13), int(QsciLexerHTML::Entity));
    QCOMPARE(styleAt(19), int(QsciLexerHTML::UnknownTag));
    QCOMPARE(lexer->color(QsciLexerHTML::Tag), QColor(0x80, 0x00, 0xFF));
    QVERIFY(lexer->font(QsciLexerHTML::Tag).bold());
    QCOMPARE(QFontInfo(lexer->font(QsciLexerHTML::Default)).pixelSize(), 17);
    // The editor draws its lines in that size (it reads a font's size in points only).
    const long lineHeight = Editor().SendScintilla(QsciScintillaBase::SCI_TEXTHEIGHT, 0UL);
    QVERIFY2(lineHeight >= 17 && lineHeight <= 26, QByteArray::number(int(lineHeight)));
  }
};

QTEST_MAIN(EditorPageTest)
#include "editorpage_test.moc"
