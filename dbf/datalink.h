// TDataLink: the observer through which the grid, the navigator and the form controls follow a
// dataset's cursor. A link only listens; it never moves the cursor from inside a notification.
#pragma once

namespace tavlo {

class TDataSet;
class TField;

class TDataLink {
 public:
  TDataLink() = default;
  TDataLink(const TDataLink&) = delete;
  TDataLink& operator=(const TDataLink&) = delete;
  // Detaches from the dataset so that it never calls a dead link.
  virtual ~TDataLink() noexcept;

  // Attaches to dataSet (nullptr detaches); the link then hears every notification of it.
  void SetDataSet(TDataSet* dataSet);
  TDataSet* DataSet() const { return dataSet_; }

  // The dataset was opened or closed.
  virtual void ActiveChanged() {}
  // The records shown changed as a whole (First, Last, Post, Cancel, Delete, Refresh, Insert).
  virtual void DataSetChanged() {}
  // The cursor moved by distance records (Next: 1, Prior: -1).
  virtual void DataSetScrolled(int distance) { (void)distance; }
  // A field of the current record got a new value; field is nullptr when the whole record did.
  virtual void RecordChanged(TField* field) { (void)field; }
  // The dataset's state changed (browse, edit, insert, inactive).
  virtual void StateChanged() {}
  // Controls write their pending edits into the fields now, before a post.
  virtual void UpdateData() {}

 private:
  friend class TDataSet;
  TDataSet* dataSet_ = nullptr;
};

}  // namespace tavlo
