// TTavloF: the main window, a shell around five pages. It owns, for its whole life, the table
// cursor Dbf1, the data source DataSource1 of the grid, the navigator and the form controls,
// the script component qelScript1 with the record filter, the settings store ini, the file
// chooser and the properties window; it holds the page control, the footer with the navigator
// and the status bar. It runs start-up (FormCreate, FormShow) and shut-down (FormDestroy) and
// the table operations the pages ask for through TPageHost. Failures end the handler that met
// them, with their message in a message box shown through the desktop host; the window stays
// usable.
#pragma once

#include <QKeySequence>
#include <QLabel>
#include <QMainWindow>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <functional>
#include <memory>
#include <string>

#include "app/data/datasource.h"
#include "app/pages/pagehost.h"
#include "dbf/tdbf.h"
#include "query/recordfilter.h"
#include "script/qelscript.h"
#include "workspace/formplacement.h"
#include "workspace/workspacefolders.h"

namespace tavlo {

class TDBNavigator;
class TFormSelectF;
class TPropertiesF;
class TqelWebSafe;
class THelpWindow;
class TLinkLabel;
class TTablePage;
class TFormPage;
class TDesignerPage;
class TReportPage;
class TEditorPage;

class TTavloF : public QMainWindow, public TPageHost {
  Q_OBJECT
 public:
  // executablePath decides the workspace and the settings file; arguments are the command-line
  // arguments after the program name. Runs FormCreate, then creates the file chooser and the
  // properties window. The script words must be registered before (see startup.h).
  TTavloF(const QString& executablePath, const QStringList& arguments, QWidget* parent = nullptr);
  ~TTavloF() noexcept override;

  // Workspace state.
  TWorkspaceFolders workspace;
  std::string lastFile;
  std::string currentTable;

  // Owned components.
  TDbf Dbf1;
  TDataSource DataSource1;
  TqelScript qelScript1;
  FormPlacementStore ini;
  // Owns Dbf1's OnFilterRecord (NewFilterRecord) and qelScript1's onGetVariable
  // (qelScript1GetVariable).
  TRecordFilter RecordFilter1;

  // TPageHost.
  TDbf& Cursor() override { return Dbf1; }
  TDataSource& Data() override { return DataSource1; }
  TqelScript& Script() override { return qelScript1; }
  TRecordFilter& Filter() override { return RecordFilter1; }
  const FormPlacementStore& Settings() const override { return ini; }
  TFormSelectF& FileChooser() override { return *FormSelectF; }
  TPropertiesF& Properties() override { return *PropertiesF; }
  TqelWebSafe& WebSafe() override { return *qelWebSafe1; }
  const TWorkspaceFolders& Workspace() const override { return workspace; }
  const std::string& CurrentTable() const override { return currentTable; }
  const std::string& LastFile() const override { return lastFile; }
  void OpenTable(const std::string& path, bool withForm) override;
  void CloseTable() override;
  bool ConfirmPendingEdit() override;
  bool ChangeRecordSet(const std::function<void()>& change) override;
  void AttachIndexFile(const std::string& path) override;
  void ShowError(const std::string& message) override;
  void ShowStatus(const std::string& text) override;

  // Makes the session's ANSI page one that shows the open table's text (see
  // SuitableAnsiPage), the records learned afresh through ChangeRecordSet; the failure's
  // message, or "" when the page is in use.
  std::string UseTableCodePage();
  void OpenMatchingForm(const std::string& tablePath);
  // The form file that matches a table: its file name with ".dfrm" in the forms folder.
  std::string MatchingFormPath(const std::string& tablePath) const;
  // Saves the placement, then "lastfile"; a refused write stops the rest and is shown.
  void FormDestroy();

  // The window-wide shortcuts of the "Filter" and "Show all" buttons of the "Form" page.
  static const QKeySequence kFilterKey;
  static const QKeySequence kShowAllKey;

  void btnhelpClick();
  void viewerHotSpotCovered(const QString& target);
  // Brings the status bar's table panels and the window caption in line with the cursor.
  void UpdateTableState();

  // The pages and the shell's widgets, for the pages' owners and the tests.
  QTabWidget* book = nullptr;
  TTablePage* pageTable = nullptr;
  TFormPage* pageForm = nullptr;
  TDesignerPage* pageDesigner = nullptr;
  TReportPage* pageReport = nullptr;
  TEditorPage* pageEditor = nullptr;
  TDBNavigator* DBNavigator1 = nullptr;
  QToolButton* btnhelp = nullptr;
  TLinkLabel* lblLink = nullptr;
  // The status bar's panels: the table's state (record number and count), the filter in
  // force, and the hot-spot text of the HTML display.
  QLabel* pnlRecord = nullptr;
  QLabel* pnlFilter = nullptr;
  QLabel* pnlCounts = nullptr;  // records shown, in the table, deleted
  QLabel* pnlHotSpot = nullptr;
  TFormSelectF* FormSelectF = nullptr;
  TPropertiesF* PropertiesF = nullptr;
  THelpWindow* HelpWindow = nullptr;
  TqelWebSafe* qelWebSafe1 = nullptr;

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void FormCreate();
  void FormShow();
  QWidget* BuildFooter();
  void AddFilterShortcuts();
  // Before the window closes: the Editor page's unsaved text is saved, dropped or kept as the
  // user answers; false keeps the window open.
  bool ConfirmEditorText();
  // Runs a handler body; an exception's message goes to a message box.
  void Guard(const std::function<void()>& body);

  // Counts the rows a filter shows a slice at a time while the program is idle.
  void CountShownRows();

  class StateLink;
  std::unique_ptr<StateLink> stateLink_;
  QTimer* countTimer_ = nullptr;
  QStringList arguments_;
  bool shown_ = false;
  bool destroyed_ = false;
  std::string failedAtStart_;  // the last table, when reopening it at start-up failed
};

}  // namespace tavlo
