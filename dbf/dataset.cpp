// The dataset layer's state machine, navigation and notifications (design note in dataset.h).
// Storage is reached only through the hooks; nothing here reads or writes a file.
#include "dbf/dataset.h"

#include <cassert>
#include <utility>

#include "dbf/datalink.h"
#include "dbf/fields.h"
#include "platform/asciitext.h"

namespace tavlo {

TDataLink::~TDataLink() noexcept {
  if (dataSet_ != nullptr) dataSet_->RemoveDataLink(this);
}

void TDataLink::SetDataSet(TDataSet* dataSet) {
  if (dataSet == dataSet_) return;
  if (dataSet_ != nullptr) dataSet_->RemoveDataLink(this);
  if (dataSet != nullptr) dataSet->AddDataLink(this);
}

TDataSet::TDataSet() = default;

TDataSet::~TDataSet() noexcept {
  for (TDataLink* link : links_) link->dataSet_ = nullptr;
}

void TDataSet::Notify(const TDataSetNotifyEvent& event, TDataSet& self) {
  if (event) event(self);
}

void TDataSet::CheckActive() const {
  if (!Active()) throw EDatabaseError::ClosedDataset();
}

void TDataSet::CheckInactive() const {
  if (Active()) throw EDatabaseError::OpenDataset();
}

void TDataSet::SetState(TDataSetState state) {
  if (state == state_) return;
  state_ = state;
  DataEvent(&TDataLink::StateChanged);
}

TDataSetState TDataSet::EnterTempState(TDataSetState tempState) {
  TDataSetState previous = state_;
  state_ = tempState;  // links are not told: the state lasts for one callback
  return previous;
}

void TDataSet::RestoreState(TDataSetState previous) {
  state_ = previous;
}

void TDataSet::DataEvent(void (TDataLink::*event)()) {
  if (disabledControls_ > 0 && event != &TDataLink::ActiveChanged &&
      event != &TDataLink::UpdateData)
    return;
  // A link may detach itself from inside its notification: walk a copy.
  std::vector<TDataLink*> links = links_;
  for (TDataLink* link : links) (link->*event)();
}

void TDataSet::EnableControls() {
  if (disabledControls_ == 0 || --disabledControls_ > 0) return;
  DataEvent(&TDataLink::DataSetChanged);
  DataEvent(&TDataLink::StateChanged);
}

void TDataSet::Scrolled(int distance) {
  if (disabledControls_ > 0) return;
  std::vector<TDataLink*> links = links_;
  for (TDataLink* link : links) link->DataSetScrolled(distance);
}

void TDataSet::AddDataLink(TDataLink* link) {
  assert(link != nullptr);
  if (link->dataSet_ == this) return;
  if (link->dataSet_ != nullptr) link->dataSet_->RemoveDataLink(link);
  links_.push_back(link);
  link->dataSet_ = this;
}

void TDataSet::RemoveDataLink(TDataLink* link) {
  for (auto it = links_.begin(); it != links_.end(); ++it) {
    if (*it == link) {
      links_.erase(it);
      link->dataSet_ = nullptr;
      return;
    }
  }
}

void TDataSet::SetActive(bool active) {
  if (active == Active()) return;
  if (active) {
    Notify(BeforeOpen, *this);
    InternalOpen();  // leaves the storage closed when it fails
    try {
      activeBuffer_ = AllocRecordBuffer();
      fetchBuffer_ = AllocRecordBuffer();
      modified_ = false;
      SetState(TDataSetState::dsBrowse);
      FetchFirst();
    } catch (...) {
      state_ = TDataSetState::dsInactive;
      hasRecord_ = false;
      try {
        InternalClose();
      } catch (...) {
        // the first failure is the one worth reporting
      }
      throw;
    }
    DataEvent(&TDataLink::ActiveChanged);
    Notify(AfterOpen, *this);
    return;
  }
  Notify(BeforeClose, *this);
  // A pending insert or edit is dropped: nothing is stored on close.
  hasRecord_ = false;
  modified_ = false;
  atStart_ = atEnd_ = true;
  state_ = TDataSetState::dsInactive;
  try {
    InternalClose();
  } catch (...) {
    activeBuffer_.clear();
    fetchBuffer_.clear();
    DataEvent(&TDataLink::StateChanged);
    DataEvent(&TDataLink::ActiveChanged);
    throw;
  }
  activeBuffer_.clear();
  fetchBuffer_.clear();
  DataEvent(&TDataLink::StateChanged);
  DataEvent(&TDataLink::ActiveChanged);
  Notify(AfterClose, *this);
}

void TDataSet::ShowNothing() {
  hasRecord_ = false;
  atStart_ = atEnd_ = true;
}

void TDataSet::FetchFirst() {
  InternalFirst();
  TGetResult result;
  try {
    result = GetRecord(fetchBuffer_, TGetMode::gmNext, true);
  } catch (...) {
    ShowNothing();
    throw;
  }
  hasRecord_ = result == TGetResult::grOK;
  if (hasRecord_) std::swap(activeBuffer_, fetchBuffer_);
  atStart_ = true;
  atEnd_ = !hasRecord_;
}

void TDataSet::First() {
  CheckActive();
  CheckBrowseMode();
  Notify(BeforeScroll, *this);
  try {
    FetchFirst();
  } catch (...) {
    DataEvent(&TDataLink::DataSetChanged);
    throw;
  }
  DataEvent(&TDataLink::DataSetChanged);
  Notify(AfterScroll, *this);
}

void TDataSet::Last() {
  CheckActive();
  CheckBrowseMode();
  Notify(BeforeScroll, *this);
  InternalLast();
  TGetResult result;
  try {
    result = GetRecord(fetchBuffer_, TGetMode::gmPrior, true);
  } catch (...) {
    ShowNothing();
    DataEvent(&TDataLink::DataSetChanged);
    throw;
  }
  hasRecord_ = result == TGetResult::grOK;
  if (hasRecord_) std::swap(activeBuffer_, fetchBuffer_);
  atEnd_ = true;
  atStart_ = !hasRecord_;
  DataEvent(&TDataLink::DataSetChanged);
  Notify(AfterScroll, *this);
}

bool TDataSet::MoveOne(TGetMode mode) {
  InternalSetToRecord(activeBuffer_);
  if (GetRecord(fetchBuffer_, mode, true) != TGetResult::grOK) return false;
  std::swap(activeBuffer_, fetchBuffer_);
  return true;
}

void TDataSet::Next() {
  CheckActive();
  CheckBrowseMode();
  if (!hasRecord_) {
    atEnd_ = true;
    return;
  }
  Notify(BeforeScroll, *this);
  if (MoveOne(TGetMode::gmNext)) {
    atStart_ = atEnd_ = false;
    Scrolled(1);
  } else {
    atEnd_ = true;
  }
  Notify(AfterScroll, *this);
}

void TDataSet::Prior() {
  CheckActive();
  CheckBrowseMode();
  if (!hasRecord_) {
    atStart_ = true;
    return;
  }
  Notify(BeforeScroll, *this);
  if (MoveOne(TGetMode::gmPrior)) {
    atStart_ = atEnd_ = false;
    Scrolled(-1);
  } else {
    atStart_ = true;
  }
  Notify(AfterScroll, *this);
}

void TDataSet::Resync() {
  try {
    if (hasRecord_) {
      ResyncShown();
    } else {
      FetchFirst();
    }
  } catch (...) {
    ShowNothing();
    DataEvent(&TDataLink::DataSetChanged);
    throw;
  }
}

void TDataSet::ResyncShown() {
  InternalSetToRecord(activeBuffer_);
  if (GetRecord(fetchBuffer_, TGetMode::gmCurrent, false) == TGetResult::grOK) {
    std::swap(activeBuffer_, fetchBuffer_);
    atStart_ = atEnd_ = false;
    return;
  }
  if (MoveOne(TGetMode::gmNext)) {
    atStart_ = atEnd_ = false;
    return;
  }
  if (MoveOne(TGetMode::gmPrior)) {
    atStart_ = false;
    atEnd_ = true;
    return;
  }
  hasRecord_ = false;
  atStart_ = atEnd_ = true;
}

void TDataSet::CheckBrowseMode() {
  CheckActive();
  if (!IsEditing(state_)) return;
  DataEvent(&TDataLink::UpdateData);
  if (modified_) {
    Post();
  } else {
    Cancel();
  }
}

void TDataSet::UpdateRecord() {
  CheckActive();
  if (IsEditing(state_)) DataEvent(&TDataLink::UpdateData);
}

void TDataSet::RunWithErrorEvent(const std::function<void()>& operation,
                                 const TDataSetErrorEvent& event) {
  for (;;) {
    try {
      operation();
      return;
    } catch (const EAbort&) {
      throw;
    } catch (const Exception& error) {
      if (!event) throw;
      TDataAction action = TDataAction::daFail;
      event(*this, error, action);
      if (action == TDataAction::daFail) throw;
      if (action == TDataAction::daAbort) throw EAbort();
    }
  }
}

void TDataSet::Insert() {
  CheckActive();
  CheckBrowseMode();
  Notify(BeforeInsert, *this);
  insertFromRecord_ = hasRecord_;
  insertFrom_ = hasRecord_ ? GetBookmarkData(activeBuffer_) : -1;
  InternalInsert();
  InternalInitRecord(activeBuffer_);
  SetBookmarkFlag(activeBuffer_, TBookmarkFlag::bfInserted);
  hasRecord_ = true;
  SetState(TDataSetState::dsInsert);
  Notify(OnNewRecord, *this);
  modified_ = false;
  DataEvent(&TDataLink::DataSetChanged);
  Notify(AfterInsert, *this);
}

void TDataSet::Edit() {
  CheckActive();
  if (IsEditing(state_)) return;
  if (!hasRecord_) {
    Insert();
    return;
  }
  Notify(BeforeEdit, *this);
  RunWithErrorEvent([this] { InternalEdit(); }, OnEditError);
  modified_ = false;
  SetState(TDataSetState::dsEdit);
  std::vector<TDataLink*> links = disabledControls_ > 0 ? std::vector<TDataLink*>() : links_;
  for (TDataLink* link : links) link->RecordChanged(nullptr);
  Notify(AfterEdit, *this);
}

void TDataSet::Post() {
  CheckActive();
  if (IsEditing(state_)) DataEvent(&TDataLink::UpdateData);
  if (!IsEditing(state_)) throw EDatabaseError::NotEditing();
  Notify(BeforePost, *this);
  RunWithErrorEvent([this] { InternalPost(); }, OnPostError);
  modified_ = false;
  SetState(TDataSetState::dsBrowse);
  Resync();
  DataEvent(&TDataLink::DataSetChanged);
  Notify(AfterPost, *this);
}

void TDataSet::Cancel() {
  CheckActive();
  if (!IsEditing(state_)) return;
  Notify(BeforeCancel, *this);
  bool wasInsert = state_ == TDataSetState::dsInsert;
  InternalCancel();
  modified_ = false;
  SetState(TDataSetState::dsBrowse);
  if (wasInsert) {
    hasRecord_ = insertFromRecord_;
    if (hasRecord_) SetBookmarkData(activeBuffer_, insertFrom_);
  }
  Resync();
  DataEvent(&TDataLink::DataSetChanged);
  Notify(AfterCancel, *this);
}

void TDataSet::Delete() {
  CheckActive();
  if (state_ == TDataSetState::dsInsert) {
    Cancel();
    return;
  }
  if (!hasRecord_) throw EDatabaseError::EmptyDataset();
  Notify(BeforeDelete, *this);
  Notify(BeforeScroll, *this);
  RunWithErrorEvent([this] { InternalDelete(); }, OnDeleteError);
  modified_ = false;
  SetState(TDataSetState::dsBrowse);
  Resync();
  DataEvent(&TDataLink::DataSetChanged);
  Notify(AfterDelete, *this);
  Notify(AfterScroll, *this);
}

void TDataSet::Refresh() {
  CheckActive();
  CheckBrowseMode();
  InternalRefresh();
  Resync();
  DataEvent(&TDataLink::DataSetChanged);
}

TField& TDataSet::Fields(int index) const {
  if (index < 0 || index >= FieldCount()) {
    throw EDatabaseError("List index out of bounds (" + std::to_string(index) + ")");
  }
  return *fields_[static_cast<std::size_t>(index)];
}

TField* TDataSet::FindField(const std::string& name) const {
  for (const auto& field : fields_) {
    if (EqualNoCaseAscii(field->FieldName(), name)) return field.get();
  }
  return nullptr;
}

TField& TDataSet::FieldByName(const std::string& name) const {
  TField* field = FindField(name);
  if (field == nullptr) throw EDatabaseError::FieldNotFound(name);
  return *field;
}

void TDataSet::AddField(std::unique_ptr<TField> field) {
  fields_.push_back(std::move(field));
}

void TDataSet::ClearFields() {
  fields_.clear();
}

TBookmark TDataSet::Bookmark() const {
  CheckActive();
  return hasRecord_ ? GetBookmarkData(activeBuffer_) : -1;
}

void TDataSet::GotoBookmark(TBookmark bookmark) {
  CheckActive();
  CheckBrowseMode();
  Notify(BeforeScroll, *this);
  InternalGotoBookmark(bookmark);
  if (GetRecord(fetchBuffer_, TGetMode::gmCurrent, true) != TGetResult::grOK) {
    // The record exists but is hidden (deleted or filtered out): stay where we were.
    throw EDatabaseError("Record not found");
  }
  std::swap(activeBuffer_, fetchBuffer_);
  hasRecord_ = true;
  atStart_ = atEnd_ = false;
  DataEvent(&TDataLink::DataSetChanged);
  Notify(AfterScroll, *this);
}

void TDataSet::SetFieldValue(TField& field, const TFieldWrite& write) {
  CheckActive();
  if (!IsEditing(state_)) throw EDatabaseError::NotEditing();
  InternalSetFieldValue(field, write);
  FieldChanged(field);
}

void TDataSet::FieldChanged(TField& field) {
  modified_ = true;
  std::vector<TDataLink*> links = disabledControls_ > 0 ? std::vector<TDataLink*>() : links_;
  for (TDataLink* link : links) link->RecordChanged(&field);
}

}  // namespace tavlo
