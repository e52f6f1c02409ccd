// Data-bound controls for data-entry forms: an edit box, a memo and a check box, each bound
// by field name to the cursor of a data source. A control shows the field of the cursor's
// record; typing starts an edit of that record and the text is stored into the field when the
// control loses focus or the cursor asks for pending edits (before a post or a move). A
// control whose field the open table lacks shows nothing and is disabled.
#pragma once

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <memory>

#include "app/data/datasource.h"

namespace tavlo {

// The link shared by the three controls: finds the field, reloads and stores.
class FieldDataLink : public TDataLink {
 public:
  FieldDataLink(std::function<void()> load, std::function<void()> store)
      : load_(std::move(load)), store_(std::move(store)) {}
  void SetDataSource(TDataSource* source);
  TDataSource* Source() const { return source_; }
  std::string DataField;
  // The bound field of the open table, or nullptr.
  TField* Field() const;
  // Puts the cursor into edit state for a change by the user; false (message shown) when it
  // cannot.
  bool BeginChange();
  void Report(const std::exception& error) const;
  bool modified = false;
  bool loading = false;

  void ActiveChanged() override { Load(); }
  void DataSetChanged() override { Load(); }
  void DataSetScrolled(int) override { Load(); }
  void RecordChanged(TField* field) override {
    if (field == nullptr || field == Field()) Load();
  }
  void StateChanged() override;
  void UpdateData() override { store_(); }
  void Load();

 private:
  TDataSource* source_ = nullptr;
  std::function<void()> load_;
  std::function<void()> store_;
};

// What the three controls have alike: the link to the field and the means to bind it, which
// the form designer uses without knowing the kind of control. A control loads its field's
// value in LoadValue and stores what the user changed in UpdateRecord.
class TDBControl {
 public:
  virtual ~TDBControl() noexcept;
  void SetDataSource(TDataSource* source) { link_->SetDataSource(source); }
  void SetDataField(const std::string& name);
  const std::string& DataField() const { return link_->DataField; }
  // Writes a changed value into the field now.
  virtual void UpdateRecord() = 0;

 protected:
  TDBControl();
  virtual void LoadValue() = 0;
  std::unique_ptr<FieldDataLink> link_;
};

class TDBEdit : public QLineEdit, public TDBControl {
  Q_OBJECT
 public:
  explicit TDBEdit(QWidget* parent = nullptr);
  void UpdateRecord() override;

 protected:
  void focusOutEvent(QFocusEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void LoadValue() override;
};

class TDBMemo : public QPlainTextEdit, public TDBControl {
  Q_OBJECT
 public:
  explicit TDBMemo(QWidget* parent = nullptr);
  void UpdateRecord() override;

 protected:
  void focusOutEvent(QFocusEvent* event) override;

 private:
  void LoadValue() override;
};

class TDBCheckBox : public QCheckBox, public TDBControl {
  Q_OBJECT
 public:
  explicit TDBCheckBox(QWidget* parent = nullptr);
  void UpdateRecord() override;

 private:
  void LoadValue() override;
  void Toggled();
};

}  // namespace tavlo
