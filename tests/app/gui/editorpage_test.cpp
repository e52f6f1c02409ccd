// The "Editor" page through the real window: loading and saving lines (CR LF written), the
// start folders of its dialogs, report templates, the starter template, files that cannot
// be read or written, the colour insertion as one undoable step, Tab, find, the modified
// mark, the question before unsaved text is replaced or the window closes over it, and the
// HTML highlighting.
#include <Qsci/qscilexerhtml.h>
#include <QApplication>
#include <QFile>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <functional>

#include "app/dialogs/formselectf.h"
#include "app/dialogs/websafe.h"
#include "app/dialogs/websafef.h"
#include "app/pages/editorpage.h"
#include "app/tavlof.h"
#include "guifixture.h"
#include "platform/desktophost.h"
#include "text/qelstrings.h"

using namespace tavlo;

using namespace tavlo::testsupport;

class EditorPageTest : public GuiTest<> {
  Q_OBJECT

 private:
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
    SetUpWorkspace({"reports", "other"});
    window_ = NewWindow();
    window_->book->setCurrentWidget(&Page());
  }
  void cleanup() { TearDownWorkspace(); }

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
    host_->answer = Answer::No;
    host_->openAnswer = Folder() + "other/missing.html";
    Page().btnopen->click();
    // The file system's message, its reason after it.
    QCOMPARE(host_->messages.size(), size_t(1));
    QVERIFY2(
        host_->messages[0].rfind("Cannot open file " + Folder() + "other/missing.html: ", 0) == 0,
        host_->messages[0].c_str());
    QCOMPARE(Editor().text(), QString("keep me"));
    host_->messages.clear();
    host_->saveAnswer = Folder() + "nofolder/out.html";
    Page().btnsave->click();
    QCOMPARE(host_->messages.size(), size_t(1));
    QVERIFY2(
        host_->messages[0].rfind("Cannot create file " + Folder() + "nofolder/out.html: ", 0) == 0,
        host_->messages[0].c_str());
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
      QVERIFY(ClickChooserItem(*chooser, "other.drpt"));
    });
    Page().btnopentemplate->click();
    QCOMPARE(Editor().text(), QString("<b>x</b>\n"));
    QCOMPARE(Page().FileName(), Folder() + "reports/other.drpt");
  }

  // A template name typed without its extension (or with another) names a file the save
  // dialog never asked about: replacing it takes the user's Yes. The template the editor
  // opened is saved over without a question.
  void savingATemplateAsksBeforeReplacingAnotherOne() {
    const std::string list = Folder() + "reports/list.drpt";
    SaveStringToFile(list, "<record>old</record>\r\n");
    Editor().setText("<record>new</record>");
    host_->answer = Answer::No;
    for (const char* typed : {"reports/list", "reports/list.txt"}) {
      host_->questions.clear();
      host_->saveAnswer = Folder() + typed;
      Page().btnsavetemplate->click();
      QCOMPARE(host_->questions,
               std::vector<std::string>{"list.drpt already exists. Do you want to replace it?"});
      QCOMPARE(LoadFileToString(list), std::string("<record>old</record>\r\n"));
      QVERIFY(Page().Modified());
      QVERIFY(Page().FileName().empty());
    }
    host_->answer = Answer::Yes;
    host_->saveAnswer = Folder() + "reports/list";
    Page().btnsavetemplate->click();
    QCOMPARE(LoadFileToString(list), std::string("<record>new</record>\r\n"));
    QCOMPARE(Page().FileName(), list);
    host_->questions.clear();
    Editor().setText("<record>newer</record>");
    Page().btnsavetemplate->click();
    QVERIFY(host_->questions.empty());
    QCOMPARE(LoadFileToString(list), std::string("<record>newer</record>\r\n"));
    QVERIFY(host_->messages.empty());
  }

  void newReportStartsFromTheTemplate() {
    Editor().setText("unchanged");
    Page().btnnewreport->click();
    QCOMPARE(host_->messages, (std::vector<std::string>{"Can not find template " + Folder() +
                                                        "reports/template.html"}));
    QCOMPARE(Editor().text(), QString("unchanged"));
    SaveStringToFile(Folder() + "reports/template.html", "<html>\r\n</html>\r\n");
    host_->answer = Answer::No;
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

  // Each row: how the text began, the answer to "Save changes to ...?", the save dialog's
  // answer, then the question asked, whether the window closed and which file holds the text.
  void closingTheWindowAsksAboutUnsavedText_data() {
    QTest::addColumn<QString>("start");
    QTest::addColumn<bool>("typed");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("saveAs");
    QTest::addColumn<QString>("question");
    QTest::addColumn<bool>("closes");
    QTest::addColumn<QString>("written");
    const int yes = int(Answer::Yes), no = int(Answer::No), cancel = int(Answer::Cancel);
    QTest::newRow("unchanged") << "file" << false << cancel << ""
                               << "" << true << "";
    QTest::newRow("its file, Yes") << "file" << true << yes << ""
                                   << "Save changes to page.html?" << true << "other/page.html";
    QTest::newRow("its file, No") << "file" << true << no << ""
                                  << "Save changes to page.html?" << true << "";
    QTest::newRow("its file, Cancel") << "file" << true << cancel << ""
                                      << "Save changes to page.html?" << false << "";
    QTest::newRow("untitled, Yes") << "none" << true << yes << "other/new.html"
                                   << "Save changes to Untitled?" << true << "other/new.html";
    QTest::newRow("untitled, Yes, name not given") << "none" << true << yes << ""
                                                   << "Save changes to Untitled?" << false << "";
    QTest::newRow("untitled, Yes, save fails") << "none" << true << yes << "nofolder/new.html"
                                               << "Save changes to Untitled?" << false << "";
    QTest::newRow("new report, Yes")
        << "report" << true << yes << "reports/mine"
        << "Save changes to New report?" << true << "reports/mine.drpt";
  }
  void closingTheWindowAsksAboutUnsavedText() {
    QFETCH(QString, start);
    QFETCH(bool, typed);
    QFETCH(int, answer);
    QFETCH(QString, saveAs);
    QFETCH(QString, question);
    QFETCH(bool, closes);
    QFETCH(QString, written);
    const std::string page = Folder() + "other/page.html";
    SaveStringToFile(page, "old\r\n");
    if (start == "file") {
      host_->openAnswer = page;
      Page().btnopen->click();
    } else if (start == "report") {
      SaveStringToFile(Folder() + "reports/template.html", "<html>\r\n");
      Page().btnnewreport->click();
    }
    if (typed) Editor().setText("new\n");
    host_->answer = Answer(answer);
    if (!saveAs.isEmpty()) host_->saveAnswer = Folder() + saveAs.toStdString();
    window_->book->setCurrentIndex(0);

    QCOMPARE(window_->close(), closes);
    QCOMPARE(window_->isVisible(), !closes);
    const std::vector<std::string> asked = question.isEmpty()
                                               ? std::vector<std::string>{}
                                               : std::vector<std::string>{question.toStdString()};
    QCOMPARE(host_->questions, asked);
    // The page whose text is meant is shown while the question is asked.
    if (!asked.empty()) QCOMPARE(window_->book->currentWidget(), &Page());
    if (start == "report" && answer == int(Answer::Yes))
      QCOMPARE(host_->saveFilter, std::string("Report Templates|*.drpt"));
    if (!written.isEmpty())
      QCOMPARE(LoadFileToString(Folder() + written.toStdString()), std::string("new\r\n"));
    if (written != "other/page.html") QCOMPARE(LoadFileToString(page), std::string("old\r\n"));
    if (!closes) {
      QCOMPARE(Editor().text(), QString("new\n"));
      QVERIFY(Page().Modified());
    }
    if (saveAs.startsWith("nofolder")) {
      QCOMPARE(host_->messages.size(), size_t(1));
      QVERIFY2(host_->messages[0].rfind("Cannot create file " + Folder() + "nofolder/", 0) == 0,
               host_->messages[0].c_str());
    } else {
      QVERIFY(host_->messages.empty());
    }
  }

  void replacingUnsavedTextAsksFirst() {
    const std::string page = Folder() + "other/page.html";
    SaveStringToFile(page, "old\r\n");
    SaveStringToFile(Folder() + "reports/template.html", "<html>\r\n");
    SaveStringToFile(Folder() + "reports/list.drpt", "<record>\r\n");
    TFormSelectF* chooser = window_->FormSelectF;
    int chooserShown = 0;
    // "Open Report Template": the chooser, when it is shown, is counted and list.drpt picked.
    const auto openTemplate = [&] {
      QTimer::singleShot(0, chooser, [&] {
        if (!chooser->isVisible()) return;
        ++chooserShown;
        QVERIFY(ClickChooserItem(*chooser, "list.drpt"));
      });
      Page().btnopentemplate->click();
      QCoreApplication::processEvents();
    };

    // Cancel: no dialog opens and the text stays, whichever button asked.
    Editor().setText("typed");
    host_->openAnswer = page;
    Page().btnopen->click();
    Page().btnnewreport->click();
    openTemplate();
    QCOMPARE(host_->questions, std::vector<std::string>(3, "Save changes to Untitled?"));
    // The question names the text as the page does.
    QCOMPARE(Page().lblFile->text(), QString("Untitled  \u2022 modified"));
    QCOMPARE(host_->openDialogs + host_->saveDialogs, 0);
    QCOMPARE(chooserShown, 0);
    QCOMPARE(Editor().text(), QString("typed"));
    QVERIFY(Page().Modified());

    // No: the file is opened over the text (one undo still brings it back).
    host_->answer = Answer::No;
    Page().btnopen->click();
    QCOMPARE(Editor().text(), QString("old\n"));
    QCOMPARE(LoadFileToString(page), std::string("old\r\n"));
    Editor().undo();
    QCOMPARE(Editor().text(), QString("typed"));
    Editor().redo();

    // Yes: the text goes to its own file without a dialog, then the new report replaces it.
    Editor().setText("edited\n");
    host_->questions.clear();
    host_->answer = Answer::Yes;
    const int dialogs = host_->openDialogs + host_->saveDialogs;
    Page().btnnewreport->click();
    QCOMPARE(host_->questions, std::vector<std::string>{"Save changes to page.html?"});
    QCOMPARE(host_->openDialogs + host_->saveDialogs, dialogs);
    QCOMPARE(LoadFileToString(page), std::string("edited\r\n"));
    QCOMPARE(Editor().text(), QString("<html>\n"));

    // Yes on a new report saves it as a template before the chosen one is opened; a save
    // that is not made keeps the text and opens nothing.
    Editor().insertAt("mine", 0, 0);
    host_->questions.clear();
    host_->saveAnswer.reset();
    openTemplate();
    QCOMPARE(chooserShown, 0);
    QCOMPARE(Editor().text(), QString("mine<html>\n"));
    host_->saveAnswer = Folder() + "reports/mine";
    openTemplate();
    QCOMPARE(host_->questions, std::vector<std::string>(2, "Save changes to New report?"));
    QCOMPARE(host_->saveFilter, std::string("Report Templates|*.drpt"));
    QCOMPARE(LoadFileToString(Folder() + "reports/mine.drpt"), std::string("mine<html>\r\n"));
    QCOMPARE(chooserShown, 1);
    QCOMPARE(Editor().text(), QString("<record>\n"));
    QCOMPARE(Page().FileName(), Folder() + "reports/list.drpt");
    QVERIFY(host_->messages.empty());
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
    QCOMPARE(window_->pnlHotSpot->text(), QString("Cannot find \"absent\""));
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
