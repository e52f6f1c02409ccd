// TRecordFilter: the record filter of the main window and of tavlo-cli. It binds one script
// component and one table cursor: the cursor's OnFilterRecord runs the script once per
// record under test, and the script's onGetVariable answers >NAME.get with the field NAME of
// that record. It never shows a message: every failure reaches the caller as an exception.
//
// A script of the common shapes (filterplan.h) is also planned: the cursor's byte test then
// answers for the interpreter on the record's bytes, with the same result for every record.
//
// The constructor installs both events and the destructor removes them; in between the filter
// is off (the cursor's Filtered clear) or on (after Apply).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "query/filterplan.h"

#include "dbf/tdbf.h"
#include "script/qelscript.h"

namespace tavlo {

class TRecordFilter {
 public:
  static constexpr int kScriptTimeOut = 30;
  // Where the refusal of a word that changes something outside says it was refused.
  static constexpr const char* kRefusedIn = "a filter";

  // Takes over dbf.OnFilterRecord, dbf.OnFilterRecordBytes and script.onGetVariable, sets the
  // script's time-out to 30 seconds and makes its runs refuse every word that changes
  // something outside (TqelScript::RefuseChanges). Both components must outlive this object.
  TRecordFilter(TDbf& dbf, TqelScript& script);
  ~TRecordFilter() noexcept;
  TRecordFilter(const TRecordFilter&) = delete;
  TRecordFilter& operator=(const TRecordFilter&) = delete;

  // Compiles text when it differs from the current script, or when the last compile of this
  // same text failed; a compile error propagates and leaves the filter as it was: the script
  // in force is compiled again, so a filter that is on never runs half a program. A word
  // that changes something outside (writes or deletes files, changes folders, starts a
  // program, opens a dialog, uses the clipboard) fails the compile with "The word %s is not
  // allowed in a filter".
  void SetFilterText(const std::string& text);
  // Switches the cursor's Filtered on and moves to the first record the script accepts; a
  // failure while a record is evaluated propagates with the filter left on.
  void Apply();
  // The text of the script the filter runs since the last Apply (what the status bar names).
  const std::string& AppliedText() const { return appliedText_; }
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
  // The cursor's byte test: the plan's verdict, or Undecided when the script is not planned
  // or the plan cannot run on the open table.
  TRecordVerdict TestRecordBytes(TDbf& DataSet, const std::uint8_t* record);

  // Planning is on by default; off, every record runs the interpreter (the yardstick the
  // plan is checked and measured against).
  void SetPlanning(bool on);
  // Whether the current script runs as a plan on the open table.
  bool Planned();
  // The index tags the applied filter found its records in (TFilterPlan::IndexCandidates);
  // empty when it tests every record.
  const std::vector<std::string>& IndexTagsUsed() const { return indexTags_; }

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
  bool planning_ = true;
  std::unique_ptr<TFilterPlan> plan_;  // of the script's text planText_
  std::string planText_;
  // The opening of the table the plan was bound for (0: bind at the next record).
  std::uint64_t planStamp_ = 0;
  bool planBound_ = false;
  std::vector<std::string> indexTags_;
  std::string appliedText_;  // the script the filter in force was applied with
};

}  // namespace tavlo
