// TDataSet: the small general dataset layer under the table cursor. It holds the state machine
// (inactive, browse, edit, insert and the temporary filter state), the active record buffer,
// AtStart/AtEnd, the field objects, the notifications and the data links. Storage is reached
// only through the protected hooks a concrete dataset implements; this layer never touches a
// file and never shows a message.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dbf/dbferrors.h"
#include "value/value.h"

namespace tavlo {

class TDataLink;
class TField;

// A silent failure: the operation stops without a message (an OnPostError that chose abort).
class EAbort : public Exception {
 public:
  EAbort() : Exception("Operation aborted") {}
};

enum class TDataSetState { dsInactive, dsBrowse, dsEdit, dsInsert, dsFilter, dsCalcFields };

// Whether a record is being edited or inserted: the states in which a buffer holds changes
// that Post writes and Cancel drops.
inline bool IsEditing(TDataSetState state) {
  return state == TDataSetState::dsEdit || state == TDataSetState::dsInsert;
}

enum class TGetMode { gmCurrent, gmNext, gmPrior };
enum class TGetResult { grOK, grBOF, grEOF, grError };

// The bookmark flag byte of a record buffer: 0 for a record read from the file.
enum class TBookmarkFlag : std::uint8_t { bfCurrent = 0, bfBOF = 1, bfEOF = 2, bfInserted = 3 };

enum class TDataAction { daFail, daAbort, daRetry };

// A record buffer as the storage hooks lay it out; its size comes from the concrete dataset.
using TRecordBuffer = std::vector<char>;
// A bookmark is the 4-byte record index.
using TBookmark = std::int32_t;

// One write of a field object into the active record.
struct TFieldWrite {
  enum class Kind { Null, Text, Variant, String, Integer, Float, Boolean, Date };
  Kind kind = Kind::Null;
  std::string text;  // Text, String
  Variant variant;
  std::int64_t integer = 0;
  double real = 0;  // Float; Date as a platform day number
  bool flag = false;
};

using TDataSetNotifyEvent = std::function<void(class TDataSet&)>;
using TDataSetErrorEvent =
    std::function<void(class TDataSet&, const Exception& error, TDataAction& action)>;

// Design note: states and the operation that makes each transition.
//
//   dsInactive --Open--> dsBrowse              --Close (from any state)--> dsInactive
//   dsBrowse   --Edit--> dsEdit                 (Edit on an empty dataset starts an insert)
//                                               A fetch that fails leaves no record shown:
//                                               a failing filter never leaves the record
//                                               shown before it open to Delete or Edit.
//   dsBrowse   --Insert--> dsInsert
//   dsEdit, dsInsert --Post--> dsBrowse         the record is stored; the cursor stays on it
//   dsEdit, dsInsert --Cancel--> dsBrowse       the shown record is read again from storage
//   dsEdit, dsInsert --First/Last/Next/Prior/Refresh--> dsBrowse, through Post when a field
//                                               was changed (Modified) and Cancel otherwise
//   dsInsert   --Delete--> dsBrowse             (same as Cancel)
//   any open state --EnterFilterState/RestoreState--> dsFilter and back, while one record is
//                                               tested by a filter callback
//
// Invariants: hasRecord_ is true exactly when activeBuffer_ holds a record to show (always in
// dsInsert); atStart_ and atEnd_ are both true on an empty dataset; fields_ is empty while
// inactive unless the application made its own field objects.
class TDataSet {
 public:
  TDataSet();
  TDataSet(const TDataSet&) = delete;
  TDataSet& operator=(const TDataSet&) = delete;
  virtual ~TDataSet() noexcept;

  // Opening and closing.
  bool Active() const { return state_ != TDataSetState::dsInactive; }
  void SetActive(bool active);
  void Open() { SetActive(true); }
  void Close() { SetActive(false); }

  // Navigation. Each move first stores a pending insert or edit if a field changed.
  void First();
  void Last();
  void Next();
  void Prior();
  bool AtStart() const { return atStart_; }
  bool AtEnd() const { return atEnd_; }
  bool IsEmpty() const { return !hasRecord_; }
  // While controls are disabled (the calls nest), the links hear nothing of moves, state and
  // field changes, so a walk over every record does not repaint a control per record; when
  // the last EnableControls comes, every link hears DataSetChanged and StateChanged once.
  // Opening, closing and UpdateData still reach them.
  void DisableControls() { ++disabledControls_; }
  void EnableControls();
  bool ControlsDisabled() const { return disabledControls_ > 0; }

  // Changing records.
  virtual void Insert();
  virtual void Edit();
  virtual void Post();
  virtual void Cancel();
  virtual void Delete();
  void Refresh();
  // Post when a field was changed, Cancel otherwise; nothing in browse state.
  void CheckBrowseMode();
  // Asks the data links to store what their controls hold into the record being edited
  // (a cell or edit box still open), so that Modified tells the whole truth; nothing in
  // browse state.
  void UpdateRecord();

  TDataSetState State() const { return state_; }
  bool Modified() const { return modified_; }

  // Field objects in descriptor order.
  int FieldCount() const { return static_cast<int>(fields_.size()); }
  TField& Fields(int index) const;
  // The field of that name without regard to case, or nullptr.
  TField* FindField(const std::string& name) const;
  // As FindField, failing with "Field '%s' not found".
  TField& FieldByName(const std::string& name) const;

  // Bookmarks: remember the current record and return to it.
  TBookmark Bookmark() const;
  void GotoBookmark(TBookmark bookmark);

  virtual int RecordCount() = 0;

  // Data links.
  void AddDataLink(TDataLink* link);
  void RemoveDataLink(TDataLink* link);

  // Field data, as the field objects use it; from is a caller's record buffer, or nullptr
  // for the record in use (the filter record while a filter runs, else the active record;
  // every field is null when no record is shown).
  // GetFieldData decodes the native value into dest (nullptr: null test only); false when
  // the field is null.
  virtual bool GetFieldData(const TField& field, void* dest, const TRecordBuffer* from) = 0;
  virtual std::string FieldText(const TField& field, const TRecordBuffer* from) = 0;
  virtual std::string FieldDisplayText(const TField& field, const TRecordBuffer* from) = 0;
  virtual Variant FieldVariant(const TField& field, const TRecordBuffer* from) = 0;
  // Writes into the active record and announces the change. Fails unless the dataset is in
  // edit or insert state; a failed write leaves the record as it was.
  void SetFieldValue(TField& field, const TFieldWrite& write);

  // Notifications; the system assigns none of them, but they are called as named.
  TDataSetNotifyEvent BeforeOpen, AfterOpen, BeforeClose, AfterClose;
  TDataSetNotifyEvent BeforeInsert, AfterInsert, BeforeEdit, AfterEdit;
  TDataSetNotifyEvent BeforePost, AfterPost, BeforeCancel, AfterCancel;
  TDataSetNotifyEvent BeforeDelete, AfterDelete, BeforeScroll, AfterScroll;
  TDataSetNotifyEvent OnCalcFields, OnNewRecord;
  TDataSetErrorEvent OnPostError, OnEditError, OnDeleteError;

  // Fails with "Cannot perform this operation on a closed dataset" unless open.
  void CheckActive() const;
  // Fails with "Cannot perform this operation on an open dataset" when open.
  void CheckInactive() const;

 protected:
  // Storage hooks.
  virtual TRecordBuffer AllocRecordBuffer() = 0;
  virtual void InternalInitRecord(TRecordBuffer& buffer) = 0;
  virtual TGetResult GetRecord(TRecordBuffer& buffer, TGetMode mode, bool check) = 0;
  virtual void InternalFirst() = 0;
  virtual void InternalLast() = 0;
  virtual void InternalGotoBookmark(TBookmark bookmark) = 0;
  virtual void InternalSetToRecord(const TRecordBuffer& buffer) = 0;
  virtual TBookmark GetBookmarkData(const TRecordBuffer& buffer) const = 0;
  virtual void SetBookmarkData(TRecordBuffer& buffer, TBookmark bookmark) = 0;
  virtual TBookmarkFlag GetBookmarkFlag(const TRecordBuffer& buffer) const = 0;
  virtual void SetBookmarkFlag(TRecordBuffer& buffer, TBookmarkFlag flag) = 0;
  virtual void InternalOpen() = 0;  // attach storage and make fields_
  virtual void InternalClose() = 0;
  virtual void InternalPost() = 0;
  virtual void InternalDelete() = 0;
  virtual void InternalEdit() {}
  virtual void InternalInsert() {}
  virtual void InternalCancel() {}
  virtual void InternalRefresh() {}  // before Refresh reads the shown record again
  virtual void InternalSetFieldValue(TField& field, const TFieldWrite& write) = 0;
  virtual bool IsCursorOpen() const = 0;

  // The active record buffer; meaningful while hasRecord is true.
  TRecordBuffer& ActiveBuffer() { return activeBuffer_; }
  const TRecordBuffer& ActiveBuffer() const { return activeBuffer_; }
  bool HasRecord() const { return hasRecord_; }

  // The temporary filter and calculation states: enter returns the state to restore.
  TDataSetState EnterTempState(TDataSetState tempState);
  void RestoreState(TDataSetState previous);

  // Field objects: the concrete dataset makes them in InternalOpen and frees them on close.
  void AddField(std::unique_ptr<TField> field);
  void ClearFields();
  // Marks the active record changed and tells the links, as a field write does (a memo
  // stream that stored its text).
  void FieldChanged(TField& field);

  // Rereads the shown record after a change in storage: the record itself, else its next
  // visible neighbour, else the previous one, else the dataset is empty. A fetch that fails
  // (a filter that cannot decide) leaves the dataset showing nothing.
  void Resync();

 private:
  void SetState(TDataSetState state);
  void DataEvent(void (TDataLink::*event)());
  void Scrolled(int distance);
  void FetchFirst();
  // Forgets the shown record after a fetch failed, so that no later operation acts on a
  // record the filter never accepted (the caller tells the links).
  void ShowNothing();
  void ResyncShown();
  bool MoveOne(TGetMode mode);
  void RunWithErrorEvent(const std::function<void()>& operation, const TDataSetErrorEvent& event);
  static void Notify(const TDataSetNotifyEvent& event, TDataSet& self);

  TDataSetState state_ = TDataSetState::dsInactive;
  TRecordBuffer activeBuffer_;
  TRecordBuffer fetchBuffer_;
  bool hasRecord_ = false;
  bool atStart_ = true;
  bool atEnd_ = true;
  bool modified_ = false;
  // Record shown before an insert started, so that Cancel returns to it.
  bool insertFromRecord_ = false;
  TBookmark insertFrom_ = -1;
  std::vector<std::unique_ptr<TField>> fields_;
  std::vector<TDataLink*> links_;
  int disabledControls_ = 0;
};

}  // namespace tavlo
