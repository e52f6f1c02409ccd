// The main window's shell: the page control, the footer, start-up and shut-down, opening and
// closing tables, and the help button.
#include "app/tavlof.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QStatusBar>
#include <QVBoxLayout>

#include "app/widgets/buttonpanel.h"
#include "app/data/dbgrid.h"
#include "app/data/gridmodel.h"
#include "app/data/dbnavigator.h"
#include "app/dialogs/formselectf.h"
#include "app/dialogs/helpwindow.h"
#include "app/dialogs/propertiesf.h"
#include "app/host/qtdesktophost.h"
#include "app/pages/designerpage.h"
#include "app/pages/editorpage.h"
#include "app/pages/formpage.h"
#include "app/pages/reportpage.h"
#include "app/pages/tablepage.h"
#include "app/widgets/icons.h"
#include "app/widgets/linklabel.h"
#include "app/widgets/windowplacement.h"
#include "platform/desktophost.h"
#include "platform/filenames.h"
#include "platform/filesystem.h"

namespace tavlo {

TTavloF::TTavloF(const QString& executablePath, const QStringList& arguments, QWidget* parent)
    : QMainWindow(parent),
      DataSource1(&Dbf1),
      ini(SettingsFilePath(ToAnsi(QFileInfo(executablePath).absoluteFilePath()))),
      RecordFilter1(Dbf1, qelScript1),
      arguments_(arguments) {
  setObjectName("TavloF");
  setWindowTitle("Tavlo 3");
  exeFolder = ToAnsi(QFileInfo(executablePath).absolutePath());
  if (exeFolder.empty() || exeFolder.back() != '/') exeFolder += '/';

  Dbf1.SetRunTimePath(".");
  Dbf1.SetShowDeleted(false);
  DataSource1.OnError = [this](const std::string& message) { ShowError(message); };

  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(4, 4, 4, 0);
  layout->setSpacing(3);
  book = new QTabWidget(central);
  book->setObjectName("book");
  book->setDocumentMode(false);
  layout->addWidget(book, 1);
  pageTable = new TTablePage(*this);
  book->addTab(pageTable, "Table");
  pageForm = new TFormPage(*this);
  book->addTab(pageForm, "Form");
  pageDesigner = new TDesignerPage(*this);
  book->addTab(pageDesigner, "Table Designer");
  pageReport = new TReportPage(*this);
  book->addTab(pageReport, "Report");
  pageEditor = new TEditorPage(*this);
  book->addTab(pageEditor, "Editor");
  layout->addWidget(BuildFooter());
  setCentralWidget(central);
  statusBar()->setObjectName("StatusBar1");
  statusBar()->setSizeGripEnabled(true);

  // The designed placement (drawn at 120 pixels per inch); never smaller than designed.
  const double scale = std::max(logicalDpiX() / 120.0, 1.0);
  setGeometry(static_cast<int>(74 * scale), static_cast<int>(86 * scale),
              static_cast<int>(793 * scale), static_cast<int>(533 * scale));

  FormCreate();
  FormSelectF = new TFormSelectF(this);
  PropertiesF = new TPropertiesF(ini, this);
  HelpWindow = new THelpWindow(this);
}

TTavloF::~TTavloF() noexcept {
  // A pending insert or edit is dropped, as closing the cursor does.
  try {
    if (Dbf1.Active()) Dbf1.Close();
  } catch (...) {
  }
  // Widgets that hold data links go before the cursor does.
  delete takeCentralWidget();
}

QWidget* TTavloF::BuildFooter() {
  auto* footer = new QFrame;
  footer->setObjectName("pnlFooter");
  auto* layout = new QHBoxLayout(footer);
  layout->setContentsMargins(2, 0, 2, 0);
  DBNavigator1 = new TDBNavigator(footer);
  DBNavigator1->SetDataSource(&DataSource1);
  DBNavigator1->Button(NavigateButton::nbFirst)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Home));
  DBNavigator1->Button(NavigateButton::nbPrior)
      ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_PageUp));
  DBNavigator1->Button(NavigateButton::nbNext)
      ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_PageDown));
  DBNavigator1->Button(NavigateButton::nbLast)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_End));
  DBNavigator1->Button(NavigateButton::nbInsert)
      ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Insert));
  DBNavigator1->Button(NavigateButton::nbDelete)
      ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Delete));
  DBNavigator1->Button(NavigateButton::nbEdit)->setShortcut(QKeySequence(Qt::Key_F2));
  DBNavigator1->Button(NavigateButton::nbPost)
      ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Return));
  DBNavigator1->Button(NavigateButton::nbCancel)
      ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Backspace));
  DBNavigator1->Button(NavigateButton::nbRefresh)->setShortcut(QKeySequence(Qt::Key_F5));
  connect(DBNavigator1->Button(NavigateButton::nbRefresh), &QToolButton::clicked, this,
          [this] { pageTable->DBGrid1->Model()->Reload(); });
  layout->addWidget(DBNavigator1);
  layout->addStretch(1);
  lblLink = new TLinkLabel(footer);
  lblLink->setObjectName("lblLink");
  lblLink->setText("Workspace folder");
  lblLink->UrlOrEmail = FromAnsi(exeFolder);
  lblLink->setToolTip(FromAnsi(exeFolder));
  layout->addWidget(lblLink);
  layout->addSpacing(8);
  btnhelp = new QToolButton(footer);
  btnhelp->setObjectName("btnhelp");
  btnhelp->setToolTip("Help");
  btnhelp->setAccessibleName("Help");
  btnhelp->setIcon(TavloIcon("help-browser", IconShape::Help));
  btnhelp->setIconSize(QSize(20, 20));
  btnhelp->setAutoRaise(true);
  btnhelp->setShortcut(QKeySequence::HelpContents);
  connect(btnhelp, &QToolButton::clicked, this, &TTavloF::btnhelpClick);
  layout->addWidget(btnhelp);
  return footer;
}

void TTavloF::Guard(const std::function<void()>& body) {
  try {
    body();
  } catch (const EAbort&) {
  } catch (const std::exception& error) {
    ShowError(error.what());
  }
}

void TTavloF::ShowError(const std::string& message) {
  Host().ShowMessage(message);
}

// ---- Start-up and shut-down --------------------------------------------------------------

void TTavloF::FormCreate() {
  Guard([this] { LoadWidgetPlacement(*this, ini, "TavloF"); });
  lastFile.clear();
  currentTable.clear();
  Guard([this] { ini.ReadString("Settings", "lastfile", lastFile); });
  if (!lastFile.empty() && Files().FileExists(lastFile)) OpenTable(lastFile, true);
}

void TTavloF::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (shown_) return;
  shown_ = true;
  FormShow();
}

void TTavloF::FormShow() {
  if (arguments_.isEmpty()) return;
  const QFileInfo argument(arguments_.first());
  if (argument.suffix().toLower() != "dbf") return;
  // A relative argument names a file of the folder the program was started in, not one of
  // the table folder the cursor would resolve it against.
  OpenTable(ToAnsi(argument.absoluteFilePath()), true);
}

void TTavloF::closeEvent(QCloseEvent* event) {
  FormDestroy();
  QMainWindow::closeEvent(event);
}

void TTavloF::FormDestroy() {
  if (destroyed_) return;
  destroyed_ = true;
  Guard([this] {
    SaveWidgetPlacement(*this, ini, "TavloF");
    ini.WriteString("Settings", "lastfile", lastFile);
  });
  if (PropertiesF != nullptr) Guard([this] { PropertiesF->FormDestroy(); });
}

// ---- Tables ------------------------------------------------------------------------------

void TTavloF::OpenTable(const std::string& path, bool withForm) {
  if (path.empty() || !Files().FileExists(path)) return;
  Guard([&] {
    if (Dbf1.Active()) Dbf1.Close();
    lastFile = path;
    currentTable = path;
    Dbf1.SetTableName(path);
    Dbf1.Open();
    if (withForm) OpenMatchingForm(path);
  });
}

void TTavloF::CloseTable() {
  Guard([this] {
    Dbf1.Close();
    Dbf1.SetTableName("");
    currentTable.clear();
    pageForm->CloseForm();
  });
}

std::string TTavloF::MatchingFormPath(const std::string& tablePath) const {
  return exeFolder + "forms/" + ChangeFileExt(ExtractFileName(tablePath), ".dfrm");
}

void TTavloF::OpenMatchingForm(const std::string& tablePath) {
  const std::string formPath = MatchingFormPath(tablePath);
  if (!Files().FileExists(formPath)) return;
  if (pageForm->LoadForm) pageForm->LoadForm(formPath);
}

bool TTavloF::ChangeRecordSet(const std::function<void()>& change) {
  GridModel* model = pageTable->DBGrid1->Model();
  model->Reload(false);
  bool changed = false;
  Guard([&] {
    change();
    changed = true;
  });
  if (changed) model->Reload();
  return changed;
}

// ---- Footer and status bar ---------------------------------------------------------------

void TTavloF::btnhelpClick() {
  const std::string helpFile = exeFolder + "Tavlo.hlp";
  if (!HelpWindow->ShowTopic(FromAnsi(helpFile), "Tavlo"))
    ShowError("Cannot open file " + helpFile);
}

void TTavloF::viewerHotSpotCovered(const QString& target) {
  ShowStatus(ToAnsi(target));
}

void TTavloF::ShowStatus(const std::string& text) {
  if (text.empty())
    statusBar()->clearMessage();
  else
    statusBar()->showMessage(FromAnsi(text));
}

}  // namespace tavlo
