// TRecordFilter: the record filter of the main window and of tavlo-cli. It binds one script
// component and one table cursor: the cursor's OnFilterRecord runs the script once per
// record under test, and the script's onGetVariable answers >NAME.get with the field NAME of
// that record. It never shows a message: every failure reaches the caller as an exception.
//
// The constructor installs both events and the destructor removes them; in between the filter
// is off (the cursor's Filtered clear) or on (after Apply).
#pragma once

#include <string>
#include <vector>

#include "dbf/tdbf.h"
#include "script/qelscript.h"

namespace tavlo {

class TRecordFilter {
 public:
  static constexpr int kScriptTimeOut = 30;

  // Takes over dbf.OnFilterRecord and script.onGetVariable and sets the script's time-out to
  // 30 seconds. Both components must outlive this object.
  TRecordFilter(TDbf& dbf, TqelScript& script);
  ~TRecordFilter() noexcept;
  TRecordFilter(const TRecordFilter&) = delete;
  TRecordFilter& operator=(const TRecordFilter&) = delete;

  // Compiles text when it differs from the current script, or when the last compile of this
  // same text failed; a compile error propagates and leaves the filter as it was. A word
  // that changes something outside (writes or deletes files, changes folders, starts a
  // program, opens a dialog, uses the clipboard) fails the compile with "The word %s is not
  // allowed in a filter".
  void SetFilterText(const std::string& text);
  // Switches the cursor's Filtered on and moves to the first record the script accepts; a
  // failure while a record is evaluated propagates with the filter left on.
  void Apply();
  // The "Filter" button: nothing when currentTable is empty; otherwise SetFilterText, then
  // Apply. A script that does not compile never switches the filter on.
  void Filter(const std::string& currentTable, const std::string& text);
  // The "Show all" button: Filtered off and the first record ("Cannot perform this
  // operation on a closed dataset" when no table is open).
  void ShowAll();

  // The cursor's record filter hook: one Run, its result as a boolean ("Invalid variant
  // type conversion" for Null).
  void NewFilterRecord(TDbf& DataSet, bool& Accept);
  // The script's variable callback: the field named Symbol (without regard to case) of the
  // record under test, or handled false with "The field NAME is not found in this
  // collection".
  void qelScript1GetVariable(TqelScript& Sender, const std::string& Symbol, Variant& value,
                             bool& handled, std::string& ErrorStr);

 private:
  // A symbol once looked up, the position of its field and the name found there, checked
  // on every use so that a table opened since then is looked up afresh.
  struct FieldCacheEntry {
    std::string symbol;
    int fieldIndex;
    std::string fieldName;
  };
  TField* FindFieldCached(const std::string& Symbol);
  void RefuseChangingWords() const;

  TDbf& dbf_;
  TqelScript& script_;
  std::vector<FieldCacheEntry> fieldCache_;
  bool compileFailed_ = false;  // the script's text is one whose compile failed
};

}  // namespace tavlo
