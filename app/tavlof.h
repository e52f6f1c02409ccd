// TTavloF: the main window. It owns, for its whole life, the table cursor Dbf1, the data
// source DataSource1 of the grid, the navigator and the form controls, the script component
// qelScript1, the settings store ini, the file chooser and the properties window. It runs the
// start-up (FormCreate, FormShow) and shut-down (FormDestroy) sequences and every button of
// its pages. Failures end the handler that met them, with their message in a message box
// shown through the desktop host; the window stays usable.
#pragma once

#include <QLineEdit>
#include <QMainWindow>
#include <QTabWidget>
#include <QToolButton>
#include <functional>
#include <memory>
#include <string>

#include "app/core/formplacement.h"
#include "app/core/recordfilter.h"
#include "app/datasource.h"
#include "dbf/tdbf.h"
#include "script/qelscript.h"

namespace tavlo {

class TDBGrid;
class TDBNavigator;
class TFormSelectF;
class TPropertiesF;
class THelpWindow;
class TLinkLabel;

class TTavloF : public QMainWindow {
  Q_OBJECT
 public:
  // executablePath decides exeFolder and the settings file; arguments are the command-line
  // arguments after the program name. Runs FormCreate, then creates the file chooser and the
  // properties window.
  TTavloF(const QString& executablePath, const QStringList& arguments, QWidget* parent = nullptr);
  ~TTavloF() noexcept override;

  // Workspace and window state.
  std::string exeFolder;
  std::string lastFile;
  std::string currentTable;
  std::string formFile;
  bool designMode = false;
  int paletteMode = 0;
  std::string editorOpenFolder;
  std::string editorSaveFolder;

  // Owned components.
  TDbf Dbf1;
  TDataSource DataSource1;
  TqelScript qelScript1;
  FormPlacementStore ini;
  // Owns Dbf1's OnFilterRecord (NewFilterRecord) and qelScript1's onGetVariable
  // (qelScript1GetVariable).
  TRecordFilter RecordFilter1;

  // Operations used by the pages.
  void OpenTable(const std::string& path, bool withForm);
  void CloseTable();
  void OpenMatchingForm(const std::string& tablePath);
  // The form file that matches a table: its file name with ".dfrm" in the forms folder.
  std::string MatchingFormPath(const std::string& tablePath) const;
  // Closes the form in use: no form file, an empty form area.
  void CloseForm();
  // Loads a form file; set by the form page. Without it, matching forms are found but not
  // loaded.
  std::function<void(const std::string& formPath)> LoadForm;
  // Saves the placement, then "lastfile"; a refused write stops the rest and is shown.
  void FormDestroy();
  void ShowError(const std::string& message);

  // Button handlers.
  void btnopenClick();
  void btncloseClick();
  void btnfilterClick();
  void btnshowallClick();
  void btnhelpClick();
  void viewerHotSpotCovered(const QString& target);

  // Widgets, for the pages of the other parts and for the tests.
  QTabWidget* book = nullptr;
  QWidget* pageTable = nullptr;
  QWidget* pageForm = nullptr;
  QWidget* pageDesigner = nullptr;
  QWidget* pageReport = nullptr;
  QWidget* pageEditor = nullptr;
  TDBGrid* DBGrid1 = nullptr;
  TDBNavigator* DBNavigator1 = nullptr;
  QToolButton* btnopen = nullptr;
  QToolButton* btnclose = nullptr;
  QToolButton* btnfilter = nullptr;
  QToolButton* btnshowall = nullptr;
  QToolButton* btnhelp = nullptr;
  QLineEdit* txtfilter = nullptr;
  QWidget* pnlPalette = nullptr;
  QWidget* formArea = nullptr;
  TLinkLabel* lblLink = nullptr;
  TFormSelectF* FormSelectF = nullptr;
  TPropertiesF* PropertiesF = nullptr;
  THelpWindow* HelpWindow = nullptr;

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void FormCreate();
  void FormShow();
  void BuildTablePage();
  void BuildFormPage();
  QWidget* BuildFooter();
  void ClearFormArea();
  // Runs a handler body; an exception's message goes to a message box.
  void Guard(const std::function<void()>& body);

  QStringList arguments_;
  bool shown_ = false;
  bool destroyed_ = false;
};

}  // namespace tavlo
