// The "Editor" page and its template editor.
#include "app/pages/editorpage.h"

#include <Qsci/qscilexerhtml.h>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QPainter>
#include <QScreen>
#include <QShortcut>
#include <QTabWidget>
#include <QVBoxLayout>
#include <optional>

#include "app/dialogs/formselectf.h"
#include "app/dialogs/websafe.h"
#include "app/host/qtdesktophost.h"
#include "app/host/savedialog.h"
#include "app/pages/pagehost.h"
#include "app/widgets/buttonpanel.h"
#include "platform/asciitext.h"
#include "platform/desktophost.h"
#include "platform/filenames.h"
#include "platform/filesystem.h"
#include "text/qelstrings.h"
#include "workspace/workspacefolders.h"

namespace tavlo {

namespace {

// What the page shows for a report begun from the starter template and not saved yet.
constexpr const char* kNewReport = "New report";
// What it shows, and the question names, for a text that has no name yet.
constexpr const char* kUntitled = "Untitled";

// Courier New, 17 pixels high; the font matcher stands in a metric twin where it is missing.
// The editor sizes its styles in points only, so the height is turned into points here.
QFont EditorFont(bool bold) {
  QFont font("Courier New");
  font.setStyleHint(QFont::TypeWriter);
  const QScreen* screen = QGuiApplication::primaryScreen();
  const double dpi = screen != nullptr ? screen->logicalDotsPerInchY() : 96.0;
  font.setPointSizeF(17.0 * 72.0 / dpi);
  font.setBold(bold);
  return font;
}

void StyleRange(QsciLexerHTML& lexer, int first, int last, const QColor& ink, const QColor& paper) {
  for (int style = first; style <= last; ++style) {
    lexer.setColor(ink, style);
    lexer.setPaper(paper, style);
  }
}

QsciLexerHTML* NewHtmlLexer(QObject* parent) {
  auto* lexer = new QsciLexerHTML(parent);
  lexer->setDefaultFont(EditorFont(false));
  lexer->setFont(EditorFont(false), -1);
  lexer->setDefaultPaper(Qt::white);
  lexer->setPaper(Qt::white, -1);
  const QFont bold = EditorFont(true);
  const QColor tagInk(0x80, 0x00, 0xFF);
  const QColor valueInk(0x00, 0x80, 0xFF);
  lexer->setColor(tagInk, QsciLexerHTML::Tag);
  lexer->setFont(bold, QsciLexerHTML::Tag);
  lexer->setColor(tagInk, QsciLexerHTML::XMLTagEnd);
  lexer->setFont(bold, QsciLexerHTML::XMLTagEnd);
  lexer->setColor(Qt::red, QsciLexerHTML::UnknownTag);
  lexer->setFont(bold, QsciLexerHTML::UnknownTag);
  // Attribute names are the identifiers of a tag; the signs between them its symbols.
  for (int style :
       {QsciLexerHTML::Attribute, QsciLexerHTML::UnknownAttribute, QsciLexerHTML::OtherInTag}) {
    lexer->setColor(Qt::black, style);
    lexer->setFont(bold, style);
  }
  for (int style : {QsciLexerHTML::HTMLDoubleQuotedString, QsciLexerHTML::HTMLSingleQuotedString,
                    QsciLexerHTML::HTMLValue, QsciLexerHTML::HTMLNumber}) {
    lexer->setColor(valueInk, style);
  }
  lexer->setColor(QColor(0x00, 0xFF, 0x00), QsciLexerHTML::Entity);
  lexer->setFont(bold, QsciLexerHTML::Entity);
  // Server-script blocks (<% %>, <? ?>) and everything inside them: black on yellow.
  const QColor yellow(0xFF, 0xFF, 0x00);
  StyleRange(*lexer, QsciLexerHTML::ASPAtStart, QsciLexerHTML::ASPStart, Qt::black, yellow);
  StyleRange(*lexer, QsciLexerHTML::PHPStart, QsciLexerHTML::PHPStart, Qt::black, yellow);
  StyleRange(*lexer, QsciLexerHTML::ASPXCComment, QsciLexerHTML::ASPXCComment, Qt::black, yellow);
  StyleRange(*lexer, QsciLexerHTML::ASPJavaScriptStart, QsciLexerHTML::ASPJavaScriptRegex,
             Qt::black, yellow);
  StyleRange(*lexer, QsciLexerHTML::ASPVBScriptStart, QsciLexerHTML::ASPVBScriptUnclosedString,
             Qt::black, yellow);
  StyleRange(*lexer, QsciLexerHTML::ASPPythonStart, QsciLexerHTML::ASPPythonIdentifier, Qt::black,
             yellow);
  StyleRange(*lexer, QsciLexerHTML::PHPDefault, QsciLexerHTML::PHPOperator, Qt::black, yellow);
  lexer->setCaseSensitiveTags(false);
  return lexer;
}

// The colour button's icon: a few cells of the web-safe palette.
QIcon PaletteIcon() {
  QPixmap pixmap(24, 24);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  const QColor cells[] = {
      QColor(0xCC, 0x00, 0x00), QColor(0xFF, 0xCC, 0x00), QColor(0x33, 0x99, 0x00),
      QColor(0x00, 0x66, 0xCC), QColor(0x66, 0x33, 0x99), QColor(0xFF, 0x66, 0x99),
      QColor(0x00, 0x99, 0x99), QColor(0x33, 0x33, 0x33), QColor(0xFF, 0xFF, 0xFF)};
  for (int i = 0; i < 9; ++i) {
    const QRect cell(3 + (i % 3) * 6, 3 + (i / 3) * 6, 6, 6);
    painter.fillRect(cell, cells[i]);
  }
  painter.setPen(QColor(0x55, 0x57, 0x53));
  painter.drawRect(QRect(2, 2, 19, 19));
  return QIcon(pixmap);
}

}  // namespace

// ---- TTemplateEditor -----------------------------------------------------------------------

TTemplateEditor::TTemplateEditor(QWidget* parent) : QsciScintilla(parent) {
  setObjectName("editor");
  setUtf8(true);
  setEolMode(QsciScintilla::EolUnix);
  setLexer(NewHtmlLexer(this));
  setFont(EditorFont(false));
  setMarginType(0, QsciScintilla::NumberMargin);
  setMarginLineNumbers(0, true);
  setMarginsFont(EditorFont(false));
  setMarginWidth(0, QFontMetrics(EditorFont(false)).horizontalAdvance("0000") + 10);
  setMarginWidth(1, 0);
  setMarginsBackgroundColor(QColor(0xee, 0xee, 0xec));
  setMarginsForegroundColor(QColor(0x88, 0x8a, 0x85));
  setCaretLineVisible(true);
  setCaretLineBackgroundColor(QColor(0xf4, 0xf6, 0xfa));
  setBraceMatching(QsciScintilla::NoBraceMatch);
  setIndentationsUseTabs(false);
  setTabWidth(2);
  setWrapMode(QsciScintilla::WrapNone);
  // The horizontal scroll bar follows the longest line instead of a fixed 2000 pixels.
  SendScintilla(SCI_SETSCROLLWIDTH, 1);
  SendScintilla(SCI_SETSCROLLWIDTHTRACKING, 1);
  setAccessibleName("Template editor");
}

bool TTemplateEditor::focusNextPrevChild(bool next) {
  // The editor would keep the Tab key for itself; here it moves on like in any form.
  return QWidget::focusNextPrevChild(next);
}

void TTemplateEditor::LoadLines(const std::string& path) {
  const std::string text = CrLinesToLf(LoadFileToString(path));
  // One undoable replacement (setText would forget the history), so an open over unsaved
  // work can be taken back.
  beginUndoAction();
  selectAll();
  replaceSelectedText(FromAnsi(text));
  endUndoAction();
  setModified(false);
  setCursorPosition(0, 0);
}

void TTemplateEditor::SaveLines(const std::string& path) const {
  const std::string text = ToAnsi(this->text());
  std::string bytes;
  bytes.reserve(text.size() + text.size() / 16);
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    // Text pasted from elsewhere may still hold CR of its own line ends.
    if (!line.empty() && line.back() == '\r') line.pop_back();
    bytes += line;
    bytes += "\r\n";
    start = end + 1;
  }
  SaveStringToFile(path, bytes);
}

void TTemplateEditor::InsertAtCaret(const QString& text) {
  beginUndoAction();
  replaceSelectedText(text);
  endUndoAction();
}

// ---- TEditorPage ---------------------------------------------------------------------------

TEditorPage::TEditorPage(TPageHost& host, QWidget* parent) : QWidget(parent), host_(host) {
  setObjectName("pageEditor");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->setSpacing(2);
  auto* panel = new ButtonPanel(this);
  panel->setObjectName("pnlEditorButtons");
  btnopen = panel->AddButton("btneditoropen", "Open", "document-open", IconShape::Open,
                             QKeySequence::Open);
  btnsave = panel->AddButton("btneditorsave", "Save", "document-save", IconShape::Save,
                             QKeySequence::Save);
  panel->AddSeparator();
  btnnewreport = panel->AddButton("btnnewreport", "New report", "document-new", IconShape::New,
                                  QKeySequence::New);
  btnopentemplate =
      panel->AddButton("btnopentemplate", "Open Report Template", "text-html", IconShape::Report);
  btnsavetemplate =
      panel->AddButton("btnsavetemplate", "Save Report Template", "document-save-as",
                       IconShape::Save, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
  panel->AddSeparator();
  btncolor = panel->AddButton("btncolor", "Select websafe color", "color-picker", IconShape::Color,
                              QKeySequence(Qt::CTRL | Qt::Key_K));
  btncolor->setIcon(PaletteIcon());
  panel->AddSeparator();
  lblFile = new QLabel(panel);
  lblFile->setObjectName("lblFile");
  lblFile->setTextFormat(Qt::PlainText);
  panel->AddWidget(lblFile, 1);
  auto* findLabel = new QLabel("Find:", panel);
  panel->AddWidget(findLabel);
  txtfind = new QLineEdit(panel);
  txtfind->setObjectName("txtfind");
  txtfind->setClearButtonEnabled(true);
  txtfind->setPlaceholderText("Ctrl+F, then F3");
  txtfind->setMinimumWidth(180);
  findLabel->setBuddy(txtfind);
  panel->AddWidget(txtfind);
  layout->addWidget(panel);

  editor = new TTemplateEditor(this);
  layout->addWidget(editor, 1);

  connect(btnopen, &QToolButton::clicked, this, &TEditorPage::btnopenClick);
  connect(btnsave, &QToolButton::clicked, this, &TEditorPage::btnsaveClick);
  connect(btnnewreport, &QToolButton::clicked, this, &TEditorPage::btnnewreportClick);
  connect(btnopentemplate, &QToolButton::clicked, this, &TEditorPage::btnopentemplateClick);
  connect(btnsavetemplate, &QToolButton::clicked, this, &TEditorPage::btnsavetemplateClick);
  connect(btncolor, &QToolButton::clicked, this, &TEditorPage::btncolorClick);
  connect(txtfind, &QLineEdit::returnPressed, this, &TEditorPage::FindNext);
  connect(editor, &QsciScintilla::modificationChanged, this, &TEditorPage::ShowFileState);
  // Page-wide keys: they work from the editor and from the find box, never on other pages.
  auto* find = new QShortcut(QKeySequence::Find, this);
  find->setContext(Qt::WidgetWithChildrenShortcut);
  connect(find, &QShortcut::activated, this, &TEditorPage::FindText);
  auto* findNext = new QShortcut(QKeySequence(Qt::Key_F3), this);
  findNext->setContext(Qt::WidgetWithChildrenShortcut);
  connect(findNext, &QShortcut::activated, this, &TEditorPage::FindNext);
  ShowFileState();
}

void TEditorPage::ShowFileState() {
  const bool modified = editor->isModified();
  QString shown = FromAnsi(fileShown_.empty() ? kUntitled : fileShown_);
  if (modified) shown += "  \u2022 modified";
  lblFile->setText(shown);
  lblFile->setToolTip(FromAnsi(fileName_));
  // The tab of this page carries the mark too, so it shows from the other pages.
  for (QWidget* up = parentWidget(); up != nullptr; up = up->parentWidget()) {
    if (auto* book = qobject_cast<QTabWidget*>(up)) {
      const int index = book->indexOf(this);
      if (index >= 0) book->setTabText(index, modified ? "Editor *" : "Editor");
      break;
    }
  }
}

bool TEditorPage::Load(const std::string& path, const std::string& fileShown) {
  try {
    editor->LoadLines(path);
  } catch (const std::exception& error) {
    host_.ShowError(error.what());
    return false;
  }
  fileName_ = fileShown.empty() ? path : "";
  fileShown_ = fileShown.empty() ? ExtractFileName(path) : fileShown;
  ShowFileState();
  return true;
}

bool TEditorPage::Save(const std::string& path) {
  try {
    editor->SaveLines(path);
  } catch (const std::exception& error) {
    host_.ShowError(error.what());
    return false;
  }
  fileName_ = path;
  fileShown_ = ExtractFileName(path);
  editor->setModified(false);
  ShowFileState();
  host_.ShowStatus("Saved " + path);
  return true;
}

bool TEditorPage::SaveAs() {
  if (editorSaveFolder.empty()) editorSaveFolder = host_.Workspace().Root();
  SaveDialogRequest request;
  request.title = "Save";
  request.folder = editorSaveFolder;
  request.opened = fileName_;
  const std::optional<std::string> chosen = ChooseSaveFile(request);
  if (!chosen) return false;
  editorSaveFolder = ExtractFilePath(*chosen);
  return Save(*chosen);
}

bool TEditorPage::SaveTemplateAs() {
  SaveDialogRequest request;
  request.title = "Save Report Template";
  request.filter = "Report Templates|*.drpt";
  request.folder = host_.Workspace().ReportsFolder();
  // Whatever extension is typed, a template is a .drpt: the file replaced may not be the one
  // the dialog asked about.
  request.forcedExtension = ".drpt";
  request.opened = fileName_;
  const std::optional<std::string> chosen = ChooseSaveFile(request);
  if (!chosen) return false;
  return Save(*chosen);
}

bool TEditorPage::ConfirmSaveText() {
  if (!Modified()) return true;
  const std::string name = fileShown_.empty() ? kUntitled : fileShown_;
  switch (Host().Ask("Save changes to " + name + "?", true)) {
    case Answer::Yes:
      if (!fileName_.empty()) return Save(fileName_);
      // A new report was begun as a template: it is saved as one.
      return fileShown_ == kNewReport ? SaveTemplateAs() : SaveAs();
    case Answer::No:
      return true;
    case Answer::Cancel:
      break;
  }
  return false;
}

void TEditorPage::btnopenClick() {
  if (!ConfirmSaveText()) return;
  if (editorOpenFolder.empty()) editorOpenFolder = host_.Workspace().Root();
  const std::optional<std::string> chosen = Host().OpenFileDialog("Open", "", editorOpenFolder);
  if (!chosen) return;
  editorOpenFolder = ExtractFilePath(*chosen);
  Load(*chosen, "");
}

void TEditorPage::btnsaveClick() {
  SaveAs();
}

void TEditorPage::btnnewreportClick() {
  const std::string path = host_.Workspace().ReportFile("template.html");
  if (!Files().FileExists(path)) {
    host_.ShowError("Can not find template " + path);
    return;
  }
  if (!ConfirmSaveText()) return;
  // A new report has no file of its own yet: saving it asks for a name.
  Load(path, kNewReport);
}

void TEditorPage::btnopentemplateClick() {
  if (!ConfirmSaveText()) return;
  const std::optional<std::string> chosen =
      host_.FileChooser().ChooseFile(host_.Workspace().ReportsFolder(), "*.drpt", "Select Report");
  if (!chosen || !Files().FileExists(*chosen)) return;
  Load(*chosen, "");
}

void TEditorPage::btnsavetemplateClick() {
  SaveTemplateAs();
}

void TEditorPage::btncolorClick() {
  TqelWebSafe& picker = host_.WebSafe();
  if (!picker.Execute()) return;
  editor->InsertAtCaret("color=\"" + FromAnsi(picker.ColorText) + "\"");
  editor->setFocus();
}

void TEditorPage::FindText() {
  txtfind->setFocus();
  txtfind->selectAll();
}

bool TEditorPage::FindNext() {
  const QString wanted = txtfind->text();
  if (wanted.isEmpty()) {
    FindText();
    return false;
  }
  // From the caret (the end of the last match) on, without regard to case, wrapping round.
  const bool found = editor->findFirst(wanted, false, false, false, true, true);
  // The focus stays where it was: Enter in the find box must never type over the match.
  host_.ShowStatus(found ? std::string() : "Cannot find \"" + ToAnsi(wanted) + "\"");
  return found;
}

}  // namespace tavlo
