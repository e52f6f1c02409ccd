// TPageHost: what a page of the main window may reach of the shell — the one table cursor,
// its data source, the script component and the record filter, the workspace folders, the
// settings store, the shared dialogs and the shell's table operations. Pages get this small
// interface rather than the window itself, so a page never depends on another page.
#pragma once

#include <functional>
#include <string>

namespace tavlo {

class FormPlacementStore;
class TDataSource;
class TDbf;
class TFormSelectF;
class TPropertiesF;
class TRecordFilter;
class TWorkspaceFolders;
class TqelWebSafe;
class TqelScript;

class TPageHost {
 public:
  virtual ~TPageHost() = default;

  // Components the shell owns for its whole life.
  virtual TDbf& Cursor() = 0;
  virtual TDataSource& Data() = 0;
  virtual TqelScript& Script() = 0;
  virtual TRecordFilter& Filter() = 0;
  virtual const FormPlacementStore& Settings() const = 0;
  virtual TFormSelectF& FileChooser() = 0;
  virtual TPropertiesF& Properties() = 0;
  // The web-safe colour picker qelWebSafe1 (one window, reused for every pick).
  virtual TqelWebSafe& WebSafe() = 0;

  // The workspace: the executable's folder and the tables, forms and reports folders in it.
  virtual const TWorkspaceFolders& Workspace() const = 0;
  // The path of the open table, "" when none is open.
  virtual const std::string& CurrentTable() const = 0;
  // The table opened last (kept after it is closed; the settings file's "lastfile").
  virtual const std::string& LastFile() const = 0;

  // The shell's table operations (they show their own failures).
  // OpenTable and CloseTable first settle a pending edit (ConfirmPendingEdit) and do nothing
  // when the user keeps it.
  virtual void OpenTable(const std::string& path, bool withForm) = 0;
  virtual void CloseTable() = 0;
  // Before anything that would drop the record being edited (closing the table, loading a
  // form, ending the program): when it holds changes, asks "Save changes to the current
  // record?"; Yes posts it, No cancels the edit, Cancel keeps it. False when the caller must
  // stop: the user chose Cancel, or storing or posting failed (its message is shown).
  virtual bool ConfirmPendingEdit() = 0;
  // Attaches the index file at path to the open table and remembers it in the settings for
  // that table, so that the next opening attaches it again. Raises the reader's error for a
  // file that is no index file; nothing changes then.
  virtual void AttachIndexFile(const std::string& path) = 0;
  // Runs change, which filters, orders or walks the cursor, with the data controls quiet;
  // they learn the records afresh afterwards, whether it succeeded or not (a refused change leaves
  // the records as they were). A failure is shown and false returned.
  virtual bool ChangeRecordSet(const std::function<void()>& change) = 0;

  // A message box with the error; the program goes on.
  virtual void ShowError(const std::string& message) = 0;
  // The status bar's message (empty clears it).
  virtual void ShowStatus(const std::string& text) = 0;
};

}  // namespace tavlo
