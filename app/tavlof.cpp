// The main window's shell: the page control, the footer, start-up and shut-down, opening and
// closing tables, and the help button.
#include "app/tavlof.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QStatusBar>
#include <QVBoxLayout>

#include "app/data/dbgrid.h"
#include "app/data/dbnavigator.h"
#include "app/data/gridmodel.h"
#include "app/dialogs/formselectf.h"
#include "app/dialogs/helpwindow.h"
#include "app/dialogs/propertiesf.h"
#include "app/dialogs/websafe.h"
#include "app/host/qtdesktophost.h"
#include "app/pages/designerpage.h"
#include "app/pages/editorpage.h"
#include "app/pages/formpage.h"
#include "app/pages/reportpage.h"
#include "app/pages/tablepage.h"
#include "app/widgets/buttonpanel.h"
#include "app/widgets/icons.h"
#include "app/widgets/linklabel.h"
#include "app/widgets/windowplacement.h"
#include "platform/codepage.h"
#include "platform/desktophost.h"
#include "platform/errors.h"
#include "platform/filenames.h"
#include "platform/filesystem.h"
#include "platform/textcodec.h"
#include "tavloversion.h"
#include "workspace/tableindexsettings.h"

namespace tavlo {

namespace {
constexpr const char* kProgramCaption = "Tavlo " TAVLO_VERSION_MAJOR;
}  // namespace

const QKeySequence TTavloF::kFilterKey(Qt::CTRL | Qt::SHIFT | Qt::Key_F);
const QKeySequence TTavloF::kShowAllKey(Qt::CTRL | Qt::SHIFT | Qt::Key_A);

// Follows the cursor for the status bar and the caption.
class TTavloF::StateLink : public TDataLink {
 public:
  explicit StateLink(TTavloF& owner) : owner_(owner) {}
  void ActiveChanged() override { owner_.UpdateTableState(); }
  void DataSetChanged() override { owner_.UpdateTableState(); }
  void DataSetScrolled(int) override { owner_.UpdateTableState(); }
  void StateChanged() override { owner_.UpdateTableState(); }

 private:
  TTavloF& owner_;
};

TTavloF::TTavloF(const QString& executablePath, const QStringList& arguments, QWidget* parent)
    : QMainWindow(parent),
      workspace(ToAnsi(QFileInfo(executablePath).absolutePath())),
      DataSource1(&Dbf1),
      ini(SettingsFilePath(ToAnsi(QFileInfo(executablePath).absoluteFilePath()))),
      RecordFilter1(Dbf1, qelScript1),
      arguments_(arguments) {
  setObjectName("TavloF");
  setWindowTitle(kProgramCaption);

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
  connect(pageReport, &TReportPage::hotSpotCovered, this, &TTavloF::viewerHotSpotCovered);
  book->addTab(pageReport, "Report");
  pageEditor = new TEditorPage(*this);
  book->addTab(pageEditor, "Editor");
  layout->addWidget(BuildFooter());
  setCentralWidget(central);
  AddFilterShortcuts();
  statusBar()->setObjectName("StatusBar1");
  statusBar()->setSizeGripEnabled(true);
  pnlRecord = new QLabel(statusBar());
  pnlRecord->setObjectName("pnlRecord");
  pnlRecord->setMinimumWidth(150);
  pnlFilter = new QLabel(statusBar());
  pnlFilter->setObjectName("pnlFilter");
  pnlFilter->setTextFormat(Qt::PlainText);
  pnlHotSpot = new QLabel(statusBar());
  pnlHotSpot->setObjectName("pnlHotSpot");
  pnlHotSpot->setTextFormat(Qt::PlainText);
  pnlCounts = new QLabel(statusBar());
  pnlCounts->setObjectName("pnlCounts");
  // Room between the panels, so that long numbers never run one text into the next.
  for (QLabel* panel : {pnlRecord, pnlCounts, pnlFilter, pnlHotSpot}) {
    panel->setContentsMargins(4, 0, 8, 0);
  }
  statusBar()->addWidget(pnlRecord);
  statusBar()->addWidget(pnlCounts);
  statusBar()->addWidget(pnlFilter);
  statusBar()->addWidget(pnlHotSpot, 1);
  countTimer_ = new QTimer(this);
  countTimer_->setInterval(0);
  connect(countTimer_, &QTimer::timeout, this, [this] { CountShownRows(); });
  stateLink_ = std::make_unique<StateLink>(*this);
  stateLink_->SetDataSet(&Dbf1);

  // The designed placement (drawn at 120 pixels per inch); never smaller than designed.
  const double scale = std::max(logicalDpiX() / 120.0, 1.0);
  setGeometry(static_cast<int>(74 * scale), static_cast<int>(86 * scale),
              static_cast<int>(793 * scale), static_cast<int>(533 * scale));

  FormCreate();
  FormSelectF = new TFormSelectF(this);
  PropertiesF = new TPropertiesF(ini, this);
  HelpWindow = new THelpWindow(this);
  qelWebSafe1 = new TqelWebSafe(this);
}

TTavloF::~TTavloF() noexcept {
  // A pending insert or edit is dropped, as closing the cursor does.
  try {
    if (Dbf1.Active()) Dbf1.Close();
  } catch (...) {
  }
  // Widgets that hold data links go before the cursor does.
  stateLink_.reset();
  delete takeCentralWidget();
}

void TTavloF::AddFilterShortcuts() {
  // Window-wide, so that a filter is switched on and off from every page.
  const auto add = [this](QToolButton* button, const QString& hint, const QKeySequence& key,
                          void (TFormPage::*handler)()) {
    auto* action = new QAction(hint, this);
    action->setObjectName("act" + button->objectName());
    action->setShortcut(key);
    action->setShortcutContext(Qt::WindowShortcut);
    connect(action, &QAction::triggered, pageForm, handler);
    addAction(action);
    button->setToolTip(HintWithShortcut(hint, key));
  };
  add(pageForm->btnfilter, "Filter", kFilterKey, &TFormPage::btnfilterClick);
  add(pageForm->btnshowall, "Show all", kShowAllKey, &TFormPage::btnshowallClick);
}

QWidget* TTavloF::BuildFooter() {
  auto* footer = new QFrame;
  footer->setObjectName("pnlFooter");
  auto* layout = new QHBoxLayout(footer);
  layout->setContentsMargins(2, 0, 2, 0);
  DBNavigator1 = new TDBNavigator(footer);
  DBNavigator1->SetDataSource(&DataSource1);
  const std::pair<NavigateButton, QKeySequence> keys[] = {
      {NavigateButton::nbFirst, QKeySequence(Qt::CTRL | Qt::Key_Home)},
      {NavigateButton::nbPrior, QKeySequence(Qt::CTRL | Qt::Key_PageUp)},
      {NavigateButton::nbNext, QKeySequence(Qt::CTRL | Qt::Key_PageDown)},
      {NavigateButton::nbLast, QKeySequence(Qt::CTRL | Qt::Key_End)},
      {NavigateButton::nbInsert, QKeySequence(Qt::CTRL | Qt::Key_Insert)},
      {NavigateButton::nbDelete, QKeySequence(Qt::CTRL | Qt::Key_Delete)},
      {NavigateButton::nbEdit, QKeySequence(Qt::Key_F2)},
      {NavigateButton::nbPost, QKeySequence(Qt::CTRL | Qt::Key_Return)},
      {NavigateButton::nbCancel, QKeySequence(Qt::CTRL | Qt::Key_Backspace)},
      {NavigateButton::nbRefresh, QKeySequence(Qt::Key_F5)},
  };
  for (const auto& [which, key] : keys) {
    QToolButton* button = DBNavigator1->Button(which);
    SetButtonShortcut(button, button->toolTip(), key);
  }
  connect(DBNavigator1->Button(NavigateButton::nbRefresh), &QToolButton::clicked, this,
          [this] { pageTable->DBGrid1->Model()->Reload(); });
  layout->addWidget(DBNavigator1);
  layout->addStretch(1);
  lblLink = new TLinkLabel(footer);
  lblLink->setObjectName("lblLink");
  lblLink->setText("Workspace folder");
  lblLink->UrlOrEmail = FromAnsi(workspace.Root());
  lblLink->setToolTip(FromAnsi(workspace.Root()));
  layout->addWidget(lblLink);
  layout->addSpacing(8);
  btnhelp = new QToolButton(footer);
  btnhelp->setObjectName("btnhelp");
  btnhelp->setToolTip("Help");
  btnhelp->setAccessibleName("Help");
  btnhelp->setIcon(TavloIcon("help-browser", IconShape::Help));
  btnhelp->setIconSize(QSize(20, 20));
  btnhelp->setAutoRaise(true);
  SetButtonShortcut(btnhelp, "Help", QKeySequence::HelpContents);
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
  Host().ShowError(message);
}

// ---- Start-up and shut-down --------------------------------------------------------------

void TTavloF::FormCreate() {
  Guard([this] { LoadWidgetPlacement(*this, ini, "TavloF"); });
  lastFile.clear();
  currentTable.clear();
  Guard([this] { ini.ReadString("Settings", "lastfile", lastFile); });
  if (!lastFile.empty() && Files().FileExists(lastFile)) {
    OpenTable(lastFile, true);
    if (!Dbf1.Active()) failedAtStart_ = lastFile;
  }
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
  const std::string path = ToAnsi(argument.absoluteFilePath());
  // The table named again on the command line has just failed to open, and said why.
  if (path == failedAtStart_) return;
  OpenTable(path, true);
}

void TTavloF::closeEvent(QCloseEvent* event) {
  if (!destroyed_ && !(ConfirmPendingEdit() && ConfirmEditorText())) {
    event->ignore();
    return;
  }
  FormDestroy();
  QMainWindow::closeEvent(event);
}

bool TTavloF::ConfirmEditorText() {
  if (!pageEditor->Modified()) return true;
  // The question names a file; the page shows which text it means.
  book->setCurrentWidget(pageEditor);
  return pageEditor->ConfirmSaveText();
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
  if (!ConfirmPendingEdit()) return;
  // The form shown belongs to the table open: another table brings its own form or none, so
  // that no form shows fields of a table that is no longer open.
  const bool otherTable = path != currentTable;
  const bool matchingForm = withForm && Files().FileExists(MatchingFormPath(path));
  const bool formGoes = withForm && (otherTable || matchingForm);
  if (formGoes && !pageForm->ConfirmFormChanges()) return;
  Guard([&] {
    if (Dbf1.Active()) Dbf1.Close();
    if (formGoes && !matchingForm) pageForm->CloseForm();
    // A filter names the fields of the table it was typed for; on another table it would
    // fail or, worse, pass records for reasons of its own. Reopening the same table keeps it.
    if (path != lastFile) Dbf1.SetFiltered(false);
    lastFile = path;
    currentTable = path;
    Dbf1.SetTableName(path);
    Dbf1.SetIndexFiles(RememberedIndexFiles(ini, path));
    // What the opening corrected is shown once the table is open and read in its page, and
    // before the failure when it fails.
    std::string pageFailure;
    ShowMessagesAfter(
        [&] {
          try {
            Dbf1.Open();
          } catch (const EFShareError& error) {
            throw EFShareError(std::string(error.what()) + "\n" + ExtractFileName(path) +
                               " is open in another program");
          }
          pageFailure = UseTableCodePage();
        },
        Dbf1.OpenDiagnostics());
    if (!pageFailure.empty()) ShowError(pageFailure);
    if (withForm) OpenMatchingForm(path);
  });
}

std::string TTavloF::UseTableCodePage() {
  // Text the locale's ANSI page cannot show (a Cyrillic table under a Western locale, UTF-8)
  // is shown through a session page that holds it; the controls then read it afresh.
  const int page = SuitableAnsiPage(Dbf1.DbfFile()->CodePage(), DefaultAnsiCodePage());
  if (page == CurrentCodePages().AnsiCodePage()) return std::string();
  std::string failure;
  ChangeRecordSet([&] {
    try {
      UseSessionAnsiCodePage(page);
    } catch (const std::exception& error) {
      failure = error.what();
    }
  });
  return failure;
}

void TTavloF::AttachIndexFile(const std::string& path) {
  Dbf1.AttachIndexFile(path);
  RememberIndexFiles(ini, currentTable, Dbf1.IndexFiles());
}

void TTavloF::CloseTable() {
  if (!ConfirmPendingEdit()) return;
  Guard([this] {
    Dbf1.Close();
    Dbf1.SetTableName("");
    currentTable.clear();
    pageForm->CloseForm();
  });
}

bool TTavloF::ConfirmPendingEdit() {
  if (!Dbf1.Active()) return true;
  const auto editing = [this] { return IsEditing(Dbf1.State()); };
  if (!editing()) return true;
  // A cell or an edit box may still hold typed text: it belongs to the record too.
  try {
    Dbf1.UpdateRecord();
  } catch (const EAbort&) {
    return false;  // the control has shown why it could not store its text
  } catch (const std::exception& error) {
    ShowError(error.what());
    return false;
  }
  if (!Dbf1.Modified()) {
    Guard([this] { Dbf1.Cancel(); });
    return !editing();
  }
  switch (Host().Ask("Save changes to the current record?", true)) {
    case Answer::Yes: {
      bool posted = false;
      Guard([&] {
        Dbf1.Post();
        posted = true;
      });
      return posted;
    }
    case Answer::No: {
      Guard([this] { Dbf1.Cancel(); });
      return !editing();
    }
    case Answer::Cancel:
      break;
  }
  return false;
}

std::string TTavloF::MatchingFormPath(const std::string& tablePath) const {
  return workspace.FormFile(ChangeFileExt(ExtractFileName(tablePath), ".dfrm"));
}

void TTavloF::OpenMatchingForm(const std::string& tablePath) {
  const std::string formPath = MatchingFormPath(tablePath);
  if (!Files().FileExists(formPath)) return;
  pageForm->LoadForm(formPath);
}

bool TTavloF::ChangeRecordSet(const std::function<void()>& change) {
  GridModel* model = pageTable->DBGrid1->Model();
  model->Reload(false);
  bool changed = false;
  // The navigator and the form controls stay quiet too: a report walks every record.
  Dbf1.DisableControls();
  Guard([&] {
    change();
    changed = true;
  });
  Dbf1.EnableControls();
  // A refused change leaves the record set as it was: the grid shows it again either way.
  model->Reload();
  return changed;
}

// ---- Footer and status bar ---------------------------------------------------------------

void TTavloF::btnhelpClick() {
  const std::string helpFile = workspace.HelpFile();
  if (!HelpWindow->ShowTopic(FromAnsi(helpFile), "Tavlo"))
    ShowError("Cannot open file " + helpFile);
}

void TTavloF::viewerHotSpotCovered(const QString& target) {
  ShowStatus(ToAnsi(target));
}

void TTavloF::ShowStatus(const std::string& text) {
  pnlHotSpot->setText(FromAnsi(text));
}

void TTavloF::CountShownRows() {
  // Slices short enough that typing and scrolling stay smooth; while a record is edited or
  // the grid is quiet, only a look now and then.
  constexpr int kSliceMilliseconds = 30;
  constexpr int kPausedMilliseconds = 200;
  GridModel* model = pageTable->DBGrid1->Model();
  if (!Dbf1.Active() || !(Dbf1.Filtered() && Dbf1.OnFilterRecord) || !model->LearningPending()) {
    countTimer_->stop();
    UpdateTableState();
    return;
  }
  if (!model->CanLearnAhead()) {
    countTimer_->setInterval(kPausedMilliseconds);
    return;
  }
  countTimer_->setInterval(0);
  model->LearnAhead(kSliceMilliseconds);
  UpdateTableState();
}

void TTavloF::UpdateTableState() {
  if (!Dbf1.Active()) {
    pnlRecord->clear();
    pnlCounts->clear();
    pnlFilter->clear();
    setWindowTitle(kProgramCaption);
    return;
  }
  const int count = Dbf1.RecordCount();
  QString record;
  if (Dbf1.State() == TDataSetState::dsInsert) {
    record = QString("New record (%1 in table)").arg(count);
  } else if (Dbf1.IsEmpty()) {
    record = QString("No record shown (%1 in table)").arg(count);
  } else {
    record = QString("Record %1 of %2").arg(Dbf1.Bookmark() + 1).arg(count);
  }
  pnlRecord->setText(record);
  // Shown records are known without a scan unless a filter decides; then once the grid has
  // seen every record.
  const int deleted = Dbf1.DeletedCount();
  const GridModel* model = pageTable->DBGrid1->Model();
  QString shown;
  if (!(Dbf1.Filtered() && Dbf1.OnFilterRecord)) {
    shown = QString::number(Dbf1.ShowDeleted() ? count : count - deleted);
  } else if (model->Cache().Complete()) {
    shown = QString::number(model->Cache().KnownRows());
  } else {
    // Counted while the program is idle; what is known so far meanwhile.
    shown = QString("%1+").arg(model->Cache().KnownRows());
    if (model->LearningPending() && !countTimer_->isActive()) countTimer_->start();
  }
  pnlCounts->setText(
      QString("%1 shown, %2 in table, %3 deleted").arg(shown).arg(count).arg(deleted));
  pnlFilter->setText(Dbf1.Filtered() ? "Filter: " + FromAnsi(RecordFilter1.AppliedText())
                                     : QString());
  setWindowTitle(FromAnsi(ExtractFileName(Dbf1.TableName())) + " - " + kProgramCaption);
}

}  // namespace tavlo
