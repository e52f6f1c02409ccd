// The data-bound edit box, memo and check box.
#include "app/data/dbcontrols.h"

#include <QKeyEvent>

#include "app/host/qtdesktophost.h"
#include "dbf/fields.h"

namespace tavlo {

void FieldDataLink::SetDataSource(TDataSource* source) {
  source_ = source;
  SetDataSet(source != nullptr ? source->DataSet() : nullptr);
  Load();
}

TField* FieldDataLink::Field() const {
  TDataSet* data = DataSet();
  if (data == nullptr || !data->Active() || DataField.empty()) return nullptr;
  return data->FindField(DataField);
}

bool FieldDataLink::BeginChange() {
  TDataSet* data = DataSet();
  if (data == nullptr || Field() == nullptr) return false;
  if (IsEditing(data->State())) return true;
  try {
    data->Edit();
    return true;
  } catch (const std::exception& error) {
    Report(error);
    Load();
    return false;
  }
}

void FieldDataLink::Report(const std::exception& error) const {
  if (source_ != nullptr) source_->ReportError(error.what());
}

void FieldDataLink::StateChanged() {
  TDataSet* data = DataSet();
  // A cancel or post ends what was typed.
  if (data == nullptr || data->State() == TDataSetState::dsBrowse) modified = false;
}

void FieldDataLink::Load() {
  if (loading) return;
  loading = true;
  modified = false;
  load_();
  loading = false;
}

// ---- Any bound control -------------------------------------------------------------------

// The link calls back only once the control is whole: when it is bound or the cursor moves.
TDBControl::TDBControl()
    : link_(std::make_unique<FieldDataLink>([this] { LoadValue(); }, [this] { UpdateRecord(); })) {}

TDBControl::~TDBControl() noexcept {
  link_->SetDataSet(nullptr);
}

void TDBControl::SetDataField(const std::string& name) {
  link_->DataField = name;
  link_->Load();
}

// ---- Edit box ----------------------------------------------------------------------------

TDBEdit::TDBEdit(QWidget* parent) : QLineEdit(parent) {
  connect(this, &QLineEdit::textEdited, this, [this] {
    if (link_->loading) return;
    // Starting the edit reloads the control; what was typed must survive that.
    const QString typed = text();
    const int position = cursorPosition();
    if (!link_->BeginChange()) return;
    if (text() != typed) {
      link_->loading = true;
      setText(typed);
      setCursorPosition(position);
      link_->loading = false;
    }
    link_->modified = true;
  });
  connect(this, &QLineEdit::returnPressed, this, &TDBEdit::UpdateRecord);
  LoadValue();
}

void TDBEdit::LoadValue() {
  TField* field = link_->Field();
  setEnabled(field != nullptr);
  setText(field != nullptr ? FromAnsi(field->TextValue()) : QString());
  setCursorPosition(0);
}

void TDBEdit::UpdateRecord() {
  TField* field = link_->Field();
  if (!link_->modified || field == nullptr) return;
  try {
    field->SetTextValue(ToAnsi(text()));
    link_->modified = false;
  } catch (const std::exception& error) {
    link_->Report(error);
  }
}

void TDBEdit::focusOutEvent(QFocusEvent* event) {
  UpdateRecord();
  QLineEdit::focusOutEvent(event);
}

void TDBEdit::keyPressEvent(QKeyEvent* event) {
  TDataSet* data = link_->DataSet();
  if (event->key() == Qt::Key_Escape && data != nullptr && link_->modified) {
    link_->Load();  // Esc drops what was typed into this box
    return;
  }
  QLineEdit::keyPressEvent(event);
}

// ---- Memo --------------------------------------------------------------------------------

TDBMemo::TDBMemo(QWidget* parent) : QPlainTextEdit(parent) {
  connect(this, &QPlainTextEdit::textChanged, this, [this] {
    if (link_->loading || link_->modified) return;
    const QString typed = toPlainText();
    const int position = textCursor().position();
    if (!link_->BeginChange()) return;
    if (toPlainText() != typed) {
      link_->loading = true;
      setPlainText(typed);
      QTextCursor cursor = textCursor();
      cursor.setPosition(position);
      setTextCursor(cursor);
      link_->loading = false;
    }
    link_->modified = true;
  });
  LoadValue();
}

void TDBMemo::LoadValue() {
  TField* field = link_->Field();
  setEnabled(field != nullptr);
  setPlainText(field != nullptr ? FromAnsi(field->TextValue()) : QString());
}

void TDBMemo::UpdateRecord() {
  TField* field = link_->Field();
  if (!link_->modified || field == nullptr) return;
  try {
    // Lines of a memo end in CR LF, as every text file of the system.
    QString text = toPlainText();
    text.replace("\n", "\r\n");
    field->SetTextValue(ToAnsi(text));
    link_->modified = false;
  } catch (const std::exception& error) {
    link_->Report(error);
  }
}

void TDBMemo::focusOutEvent(QFocusEvent* event) {
  UpdateRecord();
  QPlainTextEdit::focusOutEvent(event);
}

// ---- Check box ---------------------------------------------------------------------------

TDBCheckBox::TDBCheckBox(QWidget* parent) : QCheckBox(parent) {
  connect(this, &QCheckBox::clicked, this, &TDBCheckBox::Toggled);
  LoadValue();
}

void TDBCheckBox::LoadValue() {
  TField* field = link_->Field();
  setEnabled(field != nullptr);
  bool checked = false;
  if (field != nullptr && !field->IsNull()) {
    const Variant value = field->VariantValue();
    try {
      checked = value.ToBoolean();
    } catch (const std::exception&) {
      checked = false;
    }
  }
  setChecked(checked);
}

void TDBCheckBox::Toggled() {
  if (link_->loading) return;
  // Starting the edit reloads the control; the click's new state must survive that.
  const bool wanted = isChecked();
  if (!link_->BeginChange()) return;
  setChecked(wanted);
  link_->modified = true;
  UpdateRecord();  // a click is a whole change; nothing is left pending
}

void TDBCheckBox::UpdateRecord() {
  TField* field = link_->Field();
  if (!link_->modified || field == nullptr) return;
  try {
    field->SetTextValue(isChecked() ? "True" : "False");
    link_->modified = false;
  } catch (const std::exception& error) {
    link_->Report(error);
    link_->Load();
  }
}

}  // namespace tavlo
