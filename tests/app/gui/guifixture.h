// What the GUI tests share: a scratch workspace folder that stands for the program's own
// folder, a desktop host that records what the program shows and answers its questions and
// file dialogs as told, the main window made by the program's start-up function, small
// tables made through the engine and read back by a second cursor, and the file chooser
// clicked as a user does. Header-only: every file here is a test executable of its own.
#pragma once

#include <QDir>
#include <QListWidget>
#include <QObject>
#include <QTemporaryDir>
#include <QTest>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/data/dbgrid.h"
#include "app/data/gridmodel.h"
#include "app/dialogs/formselectf.h"
#include "app/pages/tablepage.h"
#include "app/startup.h"
#include "app/tavlof.h"
#include "dbf/fields.h"
#include "dbf/tdbf.h"
#include "platform/desktophost.h"

namespace tavlo::testsupport {

// Keeps every message (errors also in `errors`) and every question; answers questions with
// `answer` and the file dialogs with openAnswer and saveAnswer (unset: cancelled), keeping
// how each dialog was asked. A question without Cancel cannot be answered Cancel: it gets
// No, as from the program's message box.
class RecordingHost : public SilentDesktopHost {
 public:
  Answer answer = Answer::Cancel;
  std::vector<std::string> questions;
  std::vector<std::string> errors;
  std::optional<std::string> openAnswer, saveAnswer;
  std::string openFilter, openFolder, saveFilter, saveFolder, saveExtension;
  int openDialogs = 0, saveDialogs = 0;

  void ShowError(const std::string& text) override {
    errors.push_back(text);
    ShowMessage(text);
  }
  Answer Ask(const std::string& text, bool withCancel) override {
    questions.push_back(text);
    return !withCancel && answer == Answer::Cancel ? Answer::No : answer;
  }
  std::optional<std::string> OpenFileDialog(const std::string&, const std::string& filter,
                                            const std::string& folder) override {
    ++openDialogs;
    openFilter = filter;
    openFolder = folder;
    return openAnswer;
  }
  std::optional<std::string> SaveFileDialog(const std::string&, const std::string& filter,
                                            const std::string& folder,
                                            const std::string& extension) override {
    ++saveDialogs;
    saveFilter = filter;
    saveFolder = folder;
    saveExtension = extension;
    return saveAnswer;
  }
};

// The base of a test class: SetUpWorkspace from init(), TearDownWorkspace from cleanup().
// Each test function gets a fresh folder and host; the window an executable in that folder
// would show is made by NewWindow (kept in window_ by a class that uses one per test).
template <class HostType = RecordingHost>
class GuiTest : public QObject {
 protected:
  std::unique_ptr<QTemporaryDir> dir_;
  std::unique_ptr<HostType> host_;
  std::unique_ptr<ScopedDesktopHost> scopedHost_;
  std::unique_ptr<TTavloF> window_;

  // A fresh, empty folder with the named sub-folders, and a fresh host in force.
  void SetUpWorkspace(std::initializer_list<const char*> folders = {}) {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    for (const char* folder : folders) QVERIFY(QDir(dir_->path()).mkpath(folder));
    host_ = std::make_unique<HostType>();
    scopedHost_ = std::make_unique<ScopedDesktopHost>(*host_);
  }
  // The window goes first: it may still talk to the host and hold files of the folder.
  void TearDownWorkspace() {
    window_.reset();
    scopedHost_.reset();
    host_.reset();
    dir_.reset();
  }

  // The workspace folder with a trailing "/", and a path in it.
  std::string Folder() const { return dir_->path().toStdString() + "/"; }
  QString Path(const QString& relative) const { return dir_->path() + "/" + relative; }

  // The main window as main() makes it for the program in the workspace folder, shown.
  std::unique_ptr<TTavloF> NewWindow(const QStringList& arguments = {}) const {
    std::unique_ptr<TTavloF> window = CreateMainWindow(Path("tavlo"), arguments);
    window->show();
    return window;
  }
};

// Makes a table through the engine: the fields, then a record for each row, its texts in
// field order as a user would type them ("" leaves the field empty).
inline void CreateTable(const std::string& path, const TFieldDefs& fields,
                        const std::vector<std::vector<std::string>>& rows = {}) {
  TDbf table;
  table.FieldDefs() = fields;
  table.SetTableName(path);
  table.CreateTableFile();
  if (rows.empty()) return;
  table.Open();
  for (const std::vector<std::string>& row : rows) {
    table.Insert();
    for (std::size_t i = 0; i < row.size() && i < fields.size(); ++i)
      if (!row[i].empty()) table.FieldByName(fields[i].name).SetTextValue(row[i]);
    table.Post();
  }
  table.Close();
}

// The NAME of every record shown, read by a second, read-only cursor from the file.
inline std::vector<std::string> NamesOnDisk(const std::string& path) {
  TDbf table;
  table.SetTableName(path);
  table.SetReadOnly(true);
  table.Open();
  std::vector<std::string> names;
  for (table.First(); !table.AtEnd(); table.Next())
    names.push_back(table.FieldByName("NAME").TextValue());
  table.Close();
  return names;
}

// The rows of the Table page's grid once it has learned every record.
inline int GridRows(TTavloF& window) {
  GridModel* model = window.pageTable->DBGrid1->Model();
  while (model->canFetchMore(QModelIndex())) model->fetchMore(QModelIndex());
  return model->rowCount();
}

// Clicks the file named in the shown file chooser, as a user picks it; false when it is not
// listed.
inline bool ClickChooserItem(TFormSelectF& chooser, const QString& name) {
  const QList<QListWidgetItem*> items = chooser.Files()->findItems(name, Qt::MatchExactly);
  if (items.isEmpty()) return false;
  QTest::mouseClick(chooser.Files()->viewport(), Qt::LeftButton, {},
                    chooser.Files()->visualItemRect(items.first()).center());
  return true;
}

}  // namespace tavlo::testsupport
