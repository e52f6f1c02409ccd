// The "Form" page through the real main window: form files loaded and saved, the designer's
// palette, placing and selecting controls, the selection frame, the properties window and
// the data-bound controls of a form.
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>

#include "workspace/formfile.h"
#include "app/data/dbcontrols.h"
#include "app/data/dbnavigator.h"
#include "app/designer/formarea.h"
#include "app/designer/formcontrols.h"
#include "app/designer/palette.h"
#include "app/designer/sizercontrol.h"
#include "app/dialogs/propertiesf.h"
#include "app/pages/formpage.h"
#include "app/tavlof.h"
#include "dbf/fields.h"
#include "guifixture.h"
#include "platform/desktophost.h"
#include "text/qelstrings.h"

using namespace tavlo;
using namespace tavlo::testsupport;

namespace {

// Besides the shared host's: answers the input box and the font dialog as told.
class FormHost : public RecordingHost {
 public:
  std::optional<std::string> inputAnswer;
  std::string inputCaption, inputPrompt;
  std::optional<std::string> InputBox(const std::string& caption, const std::string& prompt,
                                      const std::string&) override {
    inputCaption = caption;
    inputPrompt = prompt;
    return inputAnswer;
  }
  std::optional<FontChoice> fontAnswer;
  std::optional<FontChoice> FontDialog(const FontChoice&) override { return fontAnswer; }
};

void MakeTable(const std::string& path, bool withBoolean = true) {
  TFieldDefs fields = {{"NAME", TFieldType::ftString, 20, false},
                       {"AGE", TFieldType::ftSmallint, 0, false},
                       {"NOTES", TFieldType::ftMemo, 0, false}};
  std::vector<std::vector<std::string>> rows = {{"Anna", "30", "Note of Anna"},
                                                {"Boris", "31", "Note of Boris"},
                                                {"Cleo", "32", "Note of Cleo"}};
  if (withBoolean) {
    fields.push_back({"ACTIVE", TFieldType::ftBoolean, 0, false});
    for (std::size_t i = 0; i < rows.size(); ++i) rows[i].push_back(i == 0 ? "True" : "False");
  }
  CreateTable(path, fields, rows);
}

std::string ReadFile(const std::string& path) {
  QFile file(QString::fromStdString(path));
  if (!file.open(QIODevice::ReadOnly)) return "<missing>";
  return file.readAll().toStdString();
}

void WriteFile(const std::string& path, const std::string& text) {
  QFile file(QString::fromStdString(path));
  QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  file.write(text.data(), static_cast<qint64>(text.size()));
}

std::string Line(const std::string& kind, int left, int top, int width, int height,
                 const std::string& rest) {
  return "control=\"" + kind + "\" left=\"" + std::to_string(left) + "\" top=\"" +
         std::to_string(top) + "\" width=\"" + std::to_string(width) + "\" height=\"" +
         std::to_string(height) + "\" " + rest;
}

}  // namespace

class FormPageTest : public GuiTest<FormHost> {
  Q_OBJECT

 private:
  std::string table_;

  std::unique_ptr<TTavloF> Start(const QStringList& arguments = {}) {
    auto window = NewWindow(arguments);
    window->book->setCurrentWidget(window->pageForm);
    return window;
  }
  // The form's controls (the frame left out), in creation order.
  static QList<QWidget*> Controls(TFormPage& page) {
    QList<QWidget*> controls;
    for (QWidget* widget : page.FormWidgets())
      if (FormControlKindOf(widget)) controls.push_back(widget);
    return controls;
  }
  static void ClickArea(TFormPage& page, QPoint at) {
    QTest::mouseClick(page.formArea, Qt::LeftButton, {}, at);
  }

 private slots:
  void init() {
    SetUpWorkspace({"tables", "forms"});
    table_ = Folder() + "tables/people.dbf";
    MakeTable(table_);
  }
  void cleanup() { TearDownWorkspace(); }

  void demoFormOpensWithItsTableAndSavesTheSameLines() {
    const std::string demo = TAVLO_SOURCE_DIR "/demo/";
    QVERIFY(QFile::copy(QString::fromStdString(demo + "tables/clients.dbf"),
                        QString::fromStdString(Folder() + "tables/clients.dbf")));
    QVERIFY(QFile::copy(QString::fromStdString(demo + "tables/clients.dbt"),
                        QString::fromStdString(Folder() + "tables/clients.dbt")));
    QVERIFY(QFile::copy(QString::fromStdString(demo + "forms/clients.dfrm"),
                        QString::fromStdString(Folder() + "forms/clients.dfrm")));
    auto window = Start({QString::fromStdString(Folder() + "tables/clients.dbf")});
    TFormPage& page = *window->pageForm;
    QCOMPARE(page.formFile, Folder() + "forms/clients.dfrm");
    const QList<QWidget*> controls = Controls(page);
    QCOMPARE(controls.size(), 18);
    QCOMPARE(static_cast<QLabel*>(controls[0])->text(), QString("Name"));
    auto* name = qobject_cast<TDBEdit*>(controls[1]);
    QVERIFY(name != nullptr);
    QCOMPARE(name->text().toStdString(), window->Dbf1.FieldByName("NAME").TextValue());
    QVERIFY(!name->text().isEmpty());
    QVERIFY(name->font().bold());
    QVERIFY(host_->messages.empty());

    // Saved elsewhere: the first line names the open table, every other line is as stored.
    page.formFile = Folder() + "forms/copy.dfrm";
    page.SaveForm();
    const std::vector<std::string> stored = SplitLines(ReadFile(Folder() + "forms/clients.dfrm"));
    const std::string saved = ReadFile(Folder() + "forms/copy.dfrm");
    const std::vector<std::string> lines = SplitLines(saved);
    QCOMPARE(lines.size(), stored.size());
    QCOMPARE(lines[0], "filename=\"" + Folder() + "tables/clients.dbf\"");
    for (std::size_t i = 1; i < lines.size(); ++i) QCOMPARE(lines[i], stored[i]);
    QCOMPARE(saved.substr(saved.size() - 2), std::string("\r\n"));
  }

  void loadingFollowsTheFileRules() {
    auto window = Start();
    TFormPage& page = *window->pageForm;
    // Only the filename line: nothing shown, no table opened.
    const std::string bare = Folder() + "forms/bare.dfrm";
    WriteFile(bare, "filename=\"" + table_ + "\"\r\n");
    page.LoadForm(bare);
    QCOMPARE(page.formFile, bare);
    QVERIFY(window->currentTable.empty());
    QVERIFY(Controls(page).isEmpty());

    // A moved table is found in tables; each odd line takes its rule (LF and CR ends too).
    const std::string odd = Folder() + "forms/odd.dfrm";
    WriteFile(
        odd, "filename=\"/gone/away/people.dbf\"\n" + Line("edit", 1, 1, 50, 20, "field=\"\"") +
                 "\r\n" + Line("checkbox", 10, 40, 20, 20, "field=\"ACTIVE\"") + "\r" +
                 Line("label", 10, 70, 40, 17, "caption=\"A\" fontcolor=\"purple\"") + "\n" +
                 Line("label", 10, 90, 40, 17, "caption=\"B\" fontcolor=\"clPurple\"") + "\n" +
                 Line("label", 10, 110, 40, 17,
                      "caption=\"C\" fontcolor=\"$00800080\" fontbold=\"Yes\" "
                      "fontitalic=\"yes\" fontsize=\"big\"") +
                 "\n\n" + Line("Edit", 1, 130, 50, 20, "field=\"NAME\"") + "\n" +
                 Line("edit", 1, 150, 77, 21, "field=\"name\" fontname=\"Serif\" fontsize=\"12\""));
    page.LoadForm(odd);
    QCOMPARE(window->currentTable, table_);
    QVERIFY(host_->messages.empty());
    const QList<QWidget*> controls = Controls(page);
    QCOMPARE(controls.size(), 5);
    auto* box = qobject_cast<TDBCheckBox*>(controls[0]);
    QVERIFY(box != nullptr);
    QVERIFY(box->text().isEmpty());
    QVERIFY(box->isChecked());
    QCOMPARE(FormControlColor(controls[1]), clBlack);
    QCOMPARE(FormControlColor(controls[2]), clPurple);
    QCOMPARE(FormControlColor(controls[3]), clPurple);
    QCOMPARE(controls[3]->palette().color(QPalette::WindowText), QColor(0x80, 0, 0x80));
    QVERIFY(!controls[3]->font().bold());
    QVERIFY(controls[3]->font().italic());
    QCOMPARE(controls[3]->font().pointSize(), 8);
    auto* edit = qobject_cast<TDBEdit*>(controls[4]);
    QVERIFY(edit != nullptr);
    QCOMPARE(edit->geometry(), QRect(1, 150, 77, 21));
    QCOMPARE(edit->font().pointSize(), 12);
    QCOMPARE(edit->text(), QString("Anna"));
    QVERIFY(edit->isEnabled());

    // A field the table lacks: the message, and the lines after it are not read; the control
    // keeps its field name, so saving loses nothing.
    const std::string missing = Folder() + "forms/missing.dfrm";
    WriteFile(missing, "filename=\"" + table_ + "\"\r\n" +
                           Line("edit", 1, 1, 50, 20, "field=\"NOPE\"") + "\r\n" +
                           Line("edit", 1, 30, 50, 20, "field=\"NAME\"") + "\r\n");
    page.LoadForm(missing);
    QCOMPARE(host_->messages.size(), size_t(1));
    QCOMPARE(host_->messages[0], std::string("Field 'NOPE' not found"));
    QCOMPARE(Controls(page).size(), 1);
    QCOMPARE(FormControlField(Controls(page)[0]), std::string("NOPE"));
    QVERIFY(!Controls(page)[0]->isEnabled());

    // A table found nowhere: the area stays empty, no message.
    WriteFile(missing, "filename=\"/gone/nowhere.dbf\"\r\n" +
                           Line("edit", 1, 1, 50, 20, "field=\"NAME\"") + "\r\n");
    page.LoadForm(missing);
    QVERIFY(Controls(page).isEmpty());
    QCOMPARE(host_->messages.size(), size_t(1));
  }

  void savingFollowsTheFileRules() {
    auto window = Start();
    TFormPage& page = *window->pageForm;
    page.SaveForm();
    QCOMPARE(host_->messages, std::vector<std::string>{"FormFile not defined"});
    host_->inputAnswer = "orders.txt";
    page.btnnewformClick();
    QCOMPARE(host_->inputCaption, std::string("Tavlo forms"));
    QCOMPARE(host_->inputPrompt, std::string("Enter form name"));
    QCOMPARE(page.formFile, Folder() + "forms/orders.dfrm");
    QVERIFY(page.designMode);
    QVERIFY(page.pnlPalette->isVisible());
    // With no table open, a placed control is not saved and nothing is said.
    page.SelectTool(1);
    ClickArea(page, QPoint(20, 20));
    page.SaveForm();
    QVERIFY(!QFile::exists(QString::fromStdString(page.formFile)));
    QCOMPARE(host_->messages.size(), size_t(1));

    window->OpenTable(table_, false);
    // No controls: nothing written either.
    page.ClearFormArea();
    page.SaveForm();
    QVERIFY(!QFile::exists(QString::fromStdString(page.formFile)));
    // The selection frame is written as an empty line, which loading skips.
    ClickArea(page, QPoint(20, 20));
    QVERIFY(page.Sizer() != nullptr);
    page.SaveForm();
    std::vector<std::string> lines = SplitLines(ReadFile(page.formFile));
    QCOMPARE(lines.size(), size_t(3));
    QVERIFY(lines[1].rfind("control=\"label\"", 0) == 0);
    QCOMPARE(lines[2], std::string());
    page.LoadForm(page.formFile);
    QCOMPARE(Controls(page).size(), 1);
    QCOMPARE(page.FormWidgets().size(), 1);
    QVERIFY(!page.designMode);

    // A name that exists: the message, the form stays closed.
    page.btnnewformClick();
    QCOMPARE(host_->messages.back(), std::string("A form named orders.txt allready exists."));
    QVERIFY(page.formFile.empty());
    QVERIFY(Controls(page).isEmpty());
  }

  void paletteToolsPlaceControlsWithTheirDefaults() {
    auto window = Start();
    TFormPage& page = *window->pageForm;
    // The edit tool with no table open: the properties window stays as it was, list empty.
    page.btndesignClick();
    page.SelectTool(2);
    ClickArea(page, QPoint(5, 5));
    QCOMPARE(Controls(page).size(), 1);
    QVERIFY(!window->PropertiesF->isVisible());
    QCOMPARE(window->PropertiesF->ListBox1->count(), 0);
    page.ClearFormArea();

    window->OpenTable(table_, false);
    page.SelectTool(0);
    ClickArea(page, QPoint(10, 10));
    QVERIFY(Controls(page).isEmpty());
    page.SelectTool(1);
    for (int i = 0; i < 3; ++i) ClickArea(page, QPoint(10, 10 + 30 * i));
    QList<QWidget*> controls = Controls(page);
    QCOMPARE(controls.size(), 3);
    for (QWidget* control : controls) {
      QCOMPARE(static_cast<QLabel*>(control)->text(), QString("Label"));
      QCOMPARE(control->size(), control->sizeHint());
    }
    QCOMPARE(controls[2]->pos(), QPoint(10, 70));
    // A click on a placed control selects it and places nothing, whatever the button.
    QTest::mouseClick(controls[0], Qt::RightButton, {}, QPoint(2, 2));
    QCOMPARE(Controls(page).size(), 3);
    QCOMPARE(page.selectedControl.data(), controls[0]);
    QVERIFY(window->PropertiesF->isVisible());
    QVERIFY(window->PropertiesF->CaptionPageVisible());
    QVERIFY(!window->PropertiesF->FieldsPageVisible());

    page.SelectTool(2);
    ClickArea(page, QPoint(100, 10));
    QWidget* edit = Controls(page).back();
    QCOMPARE(edit->geometry(), QRect(100, 10, 121, edit->sizeHint().height()));
    QStringList offered;
    for (int i = 0; i < window->PropertiesF->ListBox1->count(); ++i)
      offered << window->PropertiesF->ListBox1->item(i)->text();
    QCOMPARE(offered, QStringList({"NAME", "AGE"}));
    QVERIFY(window->PropertiesF->FieldsPageVisible());
    QVERIFY(!window->PropertiesF->CaptionPageVisible());

    page.SelectTool(3);
    ClickArea(page, QPoint(100, 50));
    QWidget* box = Controls(page).back();
    QCOMPARE(box->size(), QSize(97, 17));
    QCOMPARE(static_cast<QCheckBox*>(box)->text(), QString("checkbox"));
    QCOMPARE(window->PropertiesF->ListBox1->count(), 1);
    page.SelectTool(4);
    ClickArea(page, QPoint(100, 80));
    QCOMPARE(Controls(page).back()->size(), QSize(185, 89));
    QCOMPARE(page.paletteMode, 4);

    // A check box on a table without boolean fields hides the properties window.
    const std::string plain = Folder() + "tables/plain.dbf";
    MakeTable(plain, false);
    window->OpenTable(plain, false);
    QVERIFY(window->PropertiesF->isVisible());
    page.SelectTool(3);
    ClickArea(page, QPoint(300, 10));
    QVERIFY(!window->PropertiesF->isVisible());
  }

  void sizeButtonsMarkAndDelete() {
    auto window = Start();
    TFormPage& page = *window->pageForm;
    window->OpenTable(table_, false);
    page.btndesignClick();
    page.SelectTool(4);
    ClickArea(page, QPoint(30, 40));
    QWidget* memo = Controls(page).back();
    const QRect frame = page.Sizer()->geometry();
    // Nothing marked yet: width 0; the frame stays where it was.
    page.btnsizewidthClick();
    QCOMPARE(memo->width(), 0);
    QCOMPARE(page.Sizer()->geometry(), frame);
    page.SelectTool(1);
    ClickArea(page, QPoint(250, 5));
    QWidget* label = Controls(page).back();
    page.btnmarksizeClick();
    QCOMPARE(page.markLeft, 250);
    page.AttachSizer(memo);
    page.btnsizeleftClick();
    page.btnsizetopClick();
    page.btnsizeheightClick();
    QCOMPARE(memo->geometry(), QRect(250, 5, 0, label->height()));
    page.btndeleteClick();
    QCOMPARE(Controls(page).size(), 1);
    QVERIFY(page.selectedControl == nullptr);
    QVERIFY(page.Sizer() == nullptr);
    page.btnsizewidthClick();  // nothing selected: nothing happens
    QCOMPARE(label->pos(), QPoint(250, 5));
  }

  void selectionFrameMovesAndResizesByMouseAndKeys() {
    auto window = Start();
    TFormPage& page = *window->pageForm;
    window->OpenTable(table_, false);
    page.btndesignClick();
    page.SelectTool(4);
    ClickArea(page, QPoint(40, 40));
    page.SelectTool(0);
    QWidget* memo = Controls(page).back();
    SizerControl* sizer = page.Sizer();
    QVERIFY(sizer != nullptr);
    QCOMPARE(sizer->geometry(), QRect(38, 38, 189, 93));
    // Handles for W = 189, H = 93; where two overlap the later one wins.
    QCOMPARE(sizer->Handles()[0], QRect(0, 0, 5, 5));
    QCOMPARE(sizer->Handles()[1], QRect(91, 0, 5, 5));
    QCOMPARE(sizer->Handles()[3], QRect(184, 43, 5, 5));
    QCOMPARE(sizer->Handles()[4], QRect(184, 88, 5, 5));
    QCOMPARE(sizer->HitTest(QPoint(2, 2)), SizerControl::Hit::TopLeft);
    QCOMPARE(sizer->HitTest(QPoint(2, 45)), SizerControl::Hit::Left);
    QCOMPARE(sizer->HitTest(QPoint(50, 50)), SizerControl::Hit::Move);

    // Drag the bottom-right handle by (30, 20).
    QTest::mousePress(sizer, Qt::LeftButton, {}, QPoint(186, 90));
    QTest::mouseMove(sizer, QPoint(216, 110));
    QTest::mouseRelease(sizer, Qt::LeftButton, {}, QPoint(216, 110));
    QCOMPARE(memo->geometry(), QRect(40, 40, 215, 109));
    // Drag the left handle by -10: the left border moves, the right stays.
    QTest::mousePress(sizer, Qt::LeftButton, {}, QPoint(2, sizer->height() / 2));
    QTest::mouseRelease(sizer, Qt::LeftButton, {}, QPoint(-8, sizer->height() / 2));
    QCOMPARE(memo->geometry(), QRect(30, 40, 225, 109));
    // Drag inside: a move.
    QTest::mousePress(sizer, Qt::LeftButton, {}, QPoint(60, 50));
    QTest::mouseRelease(sizer, Qt::LeftButton, {}, QPoint(65, 47));
    QCOMPARE(memo->geometry(), QRect(35, 37, 225, 109));
    QCOMPARE(sizer->geometry(), memo->geometry().adjusted(-2, -2, 2, 2));
    // A resize can not turn the control inside out.
    QTest::mousePress(sizer, Qt::LeftButton, {}, QPoint(2, 2));
    QTest::mouseRelease(sizer, Qt::LeftButton, {}, QPoint(900, 900));
    QCOMPARE(memo->size(), QSize(0, 0));

    // Keys: arrows move by a pixel, Shift+arrows resize, Delete deletes.
    QTest::keyClick(sizer, Qt::Key_Right, Qt::ShiftModifier);
    QTest::keyClick(sizer, Qt::Key_Down, Qt::ShiftModifier);
    QTest::keyClick(sizer, Qt::Key_Left);
    QTest::keyClick(sizer, Qt::Key_Up);
    const QRect moved = memo->geometry();
    QCOMPARE(moved.size(), QSize(1, 1));
    QCOMPARE(sizer->geometry(), moved.adjusted(-2, -2, 2, 2));
    QTest::keyClick(sizer, Qt::Key_Delete);
    QVERIFY(Controls(page).isEmpty());

    // A press on a placed control selects it and goes on as a drag; cursor shapes tell.
    page.SelectTool(2);
    ClickArea(page, QPoint(10, 10));
    page.SelectTool(0);
    QWidget* edit = Controls(page).back();
    delete page.Sizer();
    QVERIFY(page.Sizer() == nullptr);
    QTest::mousePress(edit, Qt::LeftButton, {}, QPoint(5, 5));
    QVERIFY(page.Sizer() != nullptr);
    QCOMPARE(page.selectedControl.data(), edit);
    QCOMPARE(page.Sizer()->cursor().shape(), Qt::SizeAllCursor);
    QTest::mouseRelease(page.Sizer(), Qt::LeftButton, {}, QPoint(20, 9));
    QCOMPARE(edit->pos(), QPoint(23, 12));
    QTest::mouseMove(page.Sizer(), QPoint(1, 1));
    QCOMPARE(page.Sizer()->cursor().shape(), Qt::SizeFDiagCursor);
  }

  void propertiesWindowBindsRenamesAndSetsFonts() {
    auto window = Start();
    TFormPage& page = *window->pageForm;
    window->OpenTable(table_, false);
    page.btndesignClick();
    page.SelectTool(2);
    ClickArea(page, QPoint(100, 10));
    auto* edit = qobject_cast<TDBEdit*>(Controls(page).back());
    TPropertiesF& properties = *window->PropertiesF;
    QCOMPARE(properties.windowTitle(), QString("Properties"));
    QVERIFY(!edit->isEnabled());
    emit properties.FieldClicked("AGE");
    QCOMPARE(edit->DataField(), std::string("AGE"));
    QCOMPARE(edit->text(), QString("30"));
    // Selecting it again finds its field in the list without regard to case.
    edit->SetDataField("age");
    page.AttachSizer(edit);
    QCOMPARE(properties.ListBox1->currentItem()->text(), QString("AGE"));

    page.SelectTool(1);
    ClickArea(page, QPoint(10, 10));
    auto* label = static_cast<QLabel*>(Controls(page).back());
    QCOMPARE(properties.txtcaption->text(), QString("Label"));
    properties.txtcaption->setText("Age of the person");
    QCOMPARE(label->text(), QString("Age of the person"));
    QCOMPARE(label->size(), label->sizeHint());

    FontChoice chosen;
    chosen.name = "Serif";
    chosen.size = 14;
    chosen.color = 0x0000FF;
    chosen.bold = true;
    host_->fontAnswer = chosen;
    emit properties.FontClicked();
    QCOMPARE(label->font().pointSize(), 14);
    QVERIFY(label->font().bold());
    QCOMPARE(FormControlColor(label), TColor{0x0000FF});
    QCOMPARE(properties.btnfont->font().pointSize(), 14);
    QCOMPARE(label->size(), label->sizeHint());

    // Design mode off: palette and properties hidden, the controls go on working.
    page.btndesignClick();
    QVERIFY(!page.pnlPalette->isVisible());
    QVERIFY(!properties.isVisible());
    QVERIFY(page.Sizer() == nullptr);
    QVERIFY(edit->isEnabled());
  }

  void boundControlsEditAndRebindByName() {
    auto window = Start();
    TFormPage& page = *window->pageForm;
    const std::string form = Folder() + "forms/people.dfrm";
    WriteFile(form, "filename=\"" + table_ + "\"\r\n" +
                        Line("edit", 1, 1, 80, 22, "field=\"NAME\"") + "\r\n" +
                        Line("edit", 1, 30, 80, 22, "field=\"AGE\"") + "\r\n" +
                        Line("memo", 1, 60, 80, 50, "field=\"NOTES\"") + "\r\n" +
                        Line("checkbox", 1, 120, 80, 22, "field=\"ACTIVE\"") + "\r\n");
    window->OpenTable(table_, true);
    QCOMPARE(page.formFile, form);
    QList<QWidget*> controls = Controls(page);
    auto* name = qobject_cast<TDBEdit*>(controls[0]);
    auto* notes = qobject_cast<TDBMemo*>(controls[2]);
    auto* active = qobject_cast<TDBCheckBox*>(controls[3]);
    QCOMPARE(notes->toPlainText(), QString("Note of Anna"));
    QVERIFY(active->isChecked());
    // A press outside design mode is the control's own: typing edits the record, and the
    // navigator's move stores it.
    page.btndesignClick();
    page.btndesignClick();
    QVERIFY(!page.designMode);
    name->setFocus();
    name->selectAll();
    QTest::keyClicks(name, "Zora");
    window->DBNavigator1->BtnClick(NavigateButton::nbNext);
    QCOMPARE(name->text(), QString("Boris"));
    {
      TDbf reader;
      reader.SetTableName(table_);
      reader.Open();
      QCOMPARE(reader.FieldByName("NAME").TextValue(), std::string("Zora"));
      reader.Close();
    }
    // Another table without NOTES and ACTIVE, opened without its form (as a form opens its
    // own table): the controls stay; those show nothing and are disabled, quietly. (Opened
    // with its form, the table would clear this one: anotherTableBringsItsOwnFormOrNone.)
    const std::string other = Folder() + "other.dbf";
    {
      TDbf table;
      table.FieldDefs() = {{"name", TFieldType::ftString, 10, false}};
      table.SetTableName(other);
      table.CreateTableFile();
      table.Open();
      table.Insert();
      table.FieldByName("name").SetTextValue("Xena");
      table.Post();
      table.Close();
    }
    window->OpenTable(other, false);
    QCOMPARE(Controls(page).size(), 4);
    QCOMPARE(name->text(), QString("Xena"));
    QVERIFY(name->isEnabled());
    QVERIFY(notes->toPlainText().isEmpty());
    QVERIFY(!notes->isEnabled());
    QVERIFY(!active->isEnabled());
    QVERIFY(host_->messages.empty());
    // Closing the table closes the form.
    window->CloseTable();
    QVERIFY(Controls(page).isEmpty());
    QVERIFY(page.formFile.empty());
  }

  void designedFormSavesAndReopensTheSame() {
    auto window = Start();
    TFormPage& page = *window->pageForm;
    window->OpenTable(table_, false);
    host_->inputAnswer = "card";
    page.btnnewformClick();
    TPropertiesF& properties = *window->PropertiesF;
    const struct {
      int tool;
      QPoint at;
      const char* field;
    } steps[] = {{1, {10, 10}, nullptr},
                 {2, {80, 10}, "NAME"},
                 {4, {80, 40}, "NOTES"},
                 {3, {80, 140}, "ACTIVE"}};
    for (const auto& step : steps) {
      page.SelectTool(step.tool);
      ClickArea(page, step.at);
      if (step.field != nullptr)
        emit properties.FieldClicked(step.field);
      else
        properties.txtcaption->setText("Name");
    }
    page.btndesignClick();  // the frame goes with design mode
    page.SaveForm();
    const std::string saved = ReadFile(Folder() + "forms/card.dfrm");
    page.btncloseformClick();
    QVERIFY(Controls(page).isEmpty());
    page.LoadForm(Folder() + "forms/card.dfrm");
    QCOMPARE(Controls(page).size(), 4);
    QCOMPARE(static_cast<QLabel*>(Controls(page)[0])->text(), QString("Name"));
    page.SaveForm();
    const std::vector<std::string> first = SplitLines(saved);
    const std::vector<std::string> again = SplitLines(ReadFile(Folder() + "forms/card.dfrm"));
    QCOMPARE(again.size(), first.size());
    for (std::size_t i = 0; i < first.size(); ++i) QCOMPARE(again[i], first[i]);
    QVERIFY(host_->messages.empty());
  }

  // A table without a form of its own shows no form, not the one of the table before (whose
  // controls would show fields the new table lacks); a table with one shows it.
  void anotherTableBringsItsOwnFormOrNone() {
    const std::string other = Folder() + "tables/towns.dbf";
    CreateTable(other, {{"TOWN", TFieldType::ftString, 15, false}}, {{"Oslo"}});
    WriteFile(Folder() + "forms/people.dfrm",
              "filename=\"" + table_ + "\"\r\n" +
                  Line("edit", 8, 8, 121, 21, "field=\"NAME\" fontname=\"MS Sans Serif\"") +
                  "\r\n");
    auto window = Start();
    TFormPage& page = *window->pageForm;
    window->OpenTable(table_, true);
    QCOMPARE(page.formFile, Folder() + "forms/people.dfrm");
    QCOMPARE(Controls(page).size(), 1);
    host_->openAnswer = other;
    window->pageTable->btnopenClick();
    QCOMPARE(window->currentTable, other);
    QVERIFY(Controls(page).isEmpty());
    QVERIFY(page.formFile.empty());
    QVERIFY(host_->messages.empty());
    QVERIFY(host_->questions.empty());
    window->OpenTable(table_, true);
    QCOMPARE(Controls(page).size(), 1);
    QCOMPARE(qobject_cast<TDBEdit*>(Controls(page)[0])->text(), QString("Anna"));
  }

  // A form being designed is not dropped for another table without a word: Cancel keeps
  // table and form, Yes saves the form first, No lets it go.
  void openingAnotherTableAsksAboutAnUnsavedForm() {
    const std::string other = Folder() + "tables/towns.dbf";
    CreateTable(other, {{"TOWN", TFieldType::ftString, 15, false}}, {{"Oslo"}});
    auto window = Start();
    TFormPage& page = *window->pageForm;
    window->OpenTable(table_, false);
    host_->inputAnswer = "card";
    page.btnnewformClick();
    page.SelectTool(1);
    ClickArea(page, QPoint(10, 10));
    host_->answer = Answer::Cancel;
    window->OpenTable(other, true);
    QCOMPARE(host_->questions, std::vector<std::string>{"Save changes to the form card.dfrm?"});
    QCOMPARE(window->currentTable, table_);
    QCOMPARE(Controls(page).size(), 1);
    host_->answer = Answer::Yes;
    window->OpenTable(other, true);
    QCOMPARE(window->currentTable, other);
    QVERIFY(Controls(page).isEmpty());
    std::vector<std::string> lines = SplitLines(ReadFile(Folder() + "forms/card.dfrm"));
    QVERIFY(lines.size() >= 2);
    QCOMPARE(lines[0], "filename=\"" + table_ + "\"");
    QVERIFY(lines[1].rfind("control=\"label\"", 0) == 0);
    // A form saved or loaded as it stands is not asked about.
    host_->questions.clear();
    page.LoadForm(Folder() + "forms/card.dfrm");
    QCOMPARE(window->currentTable, table_);
    window->OpenTable(other, true);
    QVERIFY(host_->questions.empty());
    QVERIFY(Controls(page).isEmpty());
    // No: the design goes.
    host_->inputAnswer = "sketch";
    page.btnnewformClick();
    page.SelectTool(1);
    ClickArea(page, QPoint(10, 10));
    host_->answer = Answer::No;
    window->OpenTable(table_, true);
    QCOMPARE(host_->questions, std::vector<std::string>{"Save changes to the form sketch.dfrm?"});
    QCOMPARE(window->currentTable, table_);
    QVERIFY(!QFile::exists(QString::fromStdString(Folder() + "forms/sketch.dfrm")));
  }

  // "New Form" refuses a name in use; a form saved under that name since is replaced only
  // when the user says so.
  void savingANewFormAsksBeforeReplacingAnotherFile() {
    auto window = Start();
    TFormPage& page = *window->pageForm;
    window->OpenTable(table_, false);
    host_->inputAnswer = "card";
    page.btnnewformClick();
    page.SelectTool(1);
    ClickArea(page, QPoint(10, 10));
    const std::string path = Folder() + "forms/card.dfrm";
    WriteFile(path, "saved by another window\r\n");
    host_->answer = Answer::No;
    QVERIFY(!page.SaveForm());
    QCOMPARE(host_->questions,
             std::vector<std::string>{"card.dfrm already exists. Do you want to replace it?"});
    QCOMPARE(ReadFile(path), std::string("saved by another window\r\n"));
    host_->answer = Answer::Yes;
    QVERIFY(page.SaveForm());
    QVERIFY(SplitLines(ReadFile(path)).at(1).rfind("control=\"label\"", 0) == 0);
    // Once saved, it is this form's file: saved again without a question.
    host_->questions.clear();
    QVERIFY(page.SaveForm());
    QVERIFY(host_->questions.empty());
  }
};

QTEST_MAIN(FormPageTest)
#include "formpage_test.moc"
