// The "Form" page: form files, the designer (placing, selecting, the palette, the properties
// window) and the record filter's buttons.
#include "app/pages/formpage.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QVBoxLayout>

#include "query/recordfilter.h"
#include "app/data/datasource.h"
#include "app/designer/formarea.h"
#include "app/designer/formcontrols.h"
#include "app/designer/palette.h"
#include "app/designer/sizercontrol.h"
#include "app/dialogs/formselectf.h"
#include "app/dialogs/propertiesf.h"
#include "app/host/qtdesktophost.h"
#include "app/host/savedialog.h"
#include "app/pages/pagehost.h"
#include "app/widgets/buttonpanel.h"
#include "dbf/datalink.h"
#include "dbf/dbferrors.h"
#include "dbf/fields.h"
#include "dbf/tdbf.h"
#include "platform/desktophost.h"
#include "platform/filenames.h"
#include "platform/filesystem.h"
#include "text/qelstrings.h"
#include "text/trim.h"
#include "workspace/workspacefolders.h"

namespace tavlo {

namespace {

int Clamp(int value, int low, int high) {
  return value < low ? low : (value > high ? high : value);
}

// The field types a data-bound kind may show. "integer" covers every whole-number type the
// engine makes of a numeric field, so a short number field can be bound as well.
bool FieldOffered(FormControlKind kind, TFieldType type) {
  switch (kind) {
    case FormControlKind::Edit:
      return type == TFieldType::ftString || type == TFieldType::ftSmallint ||
             type == TFieldType::ftInteger || type == TFieldType::ftLargeint ||
             type == TFieldType::ftWord || type == TFieldType::ftFloat ||
             type == TFieldType::ftCurrency || type == TFieldType::ftDate;
    case FormControlKind::Memo:
      return type == TFieldType::ftMemo;
    case FormControlKind::CheckBox:
      return type == TFieldType::ftBoolean;
    case FormControlKind::Label:
      return false;
  }
  return false;
}

}  // namespace

// Hears the cursor open a table, for the filter box.
class TFormPage::TableLink : public TDataLink {
 public:
  explicit TableLink(TFormPage& page) : page_(page) {}
  void ActiveChanged() override { page_.TableActiveChanged(); }

 private:
  TFormPage& page_;
};

TFormPage::~TFormPage() = default;

TFormPage::TFormPage(TPageHost& host, QWidget* parent) : QWidget(parent), host_(host) {
  setObjectName("pageForm");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->setSpacing(2);
  auto* panel = new ButtonPanel(this);
  panel->setObjectName("pnlFormButtons");
  btnnewform = panel->AddButton("btnnewform", "New Form", "document-new", IconShape::New);
  btnopenform = panel->AddButton("btnopenform", "Open form", "document-open", IconShape::Open);
  btnsaveform = panel->AddButton("btnsaveform", "Save Form", "document-save", IconShape::Save);
  btncloseform = panel->AddButton("btncloseform", "Close Form", "window-close", IconShape::Close);
  panel->AddSeparator();
  btndesign =
      panel->AddButton("btndesign", "Design Form", "document-properties", IconShape::Design);
  btndesign->setCheckable(true);
  connect(btnnewform, &QToolButton::clicked, this, &TFormPage::btnnewformClick);
  connect(btnopenform, &QToolButton::clicked, this, &TFormPage::btnopenformClick);
  connect(btnsaveform, &QToolButton::clicked, this, &TFormPage::btnsaveformClick);
  connect(btncloseform, &QToolButton::clicked, this, &TFormPage::btncloseformClick);
  // The button shows the mode; a click asks for the other one.
  connect(btndesign, &QToolButton::clicked, this, [this] { btndesignClick(); });
  panel->AddStretch();
  auto* label = new QLabel("Filter:", panel);
  panel->AddWidget(label);
  txtfilter = new QLineEdit(panel);
  txtfilter->setObjectName("txtfilter");
  txtfilter->setPlaceholderText(">CITY.get 'Paris' =");
  txtfilter->setClearButtonEnabled(true);
  txtfilter->setMinimumWidth(260);
  label->setBuddy(txtfilter);
  panel->AddWidget(txtfilter, 1);
  // Their shortcuts belong to the main window, so that they work from every page.
  btnfilter = panel->AddButton("btnfilter", "Filter", "view-filter", IconShape::Filter);
  btnshowall = panel->AddButton("btnshowall", "Show all", "edit-clear-all", IconShape::ShowAll);
  connect(btnfilter, &QToolButton::clicked, this, &TFormPage::btnfilterClick);
  connect(btnshowall, &QToolButton::clicked, this, &TFormPage::btnshowallClick);
  connect(txtfilter, &QLineEdit::returnPressed, this, &TFormPage::btnfilterClick);
  layout->addWidget(panel);

  auto* body = new QHBoxLayout;
  body->setSpacing(2);
  pnlPalette = new TDesignPalette(this);
  pnlPalette->setVisible(false);
  body->addWidget(pnlPalette);
  connect(pnlPalette->btnPointer, &QToolButton::clicked, this, [this] { SelectTool(0); });
  connect(pnlPalette->btnLabel, &QToolButton::clicked, this, [this] { SelectTool(1); });
  connect(pnlPalette->btnEdit, &QToolButton::clicked, this, [this] { SelectTool(2); });
  connect(pnlPalette->btnCheckbox, &QToolButton::clicked, this, [this] { SelectTool(3); });
  connect(pnlPalette->btnMemo, &QToolButton::clicked, this, [this] { SelectTool(4); });
  connect(pnlPalette->btnDelete, &QToolButton::clicked, this, &TFormPage::btndeleteClick);
  connect(pnlPalette->btnSaveForm, &QToolButton::clicked, this, &TFormPage::SaveForm);
  connect(pnlPalette->btnSizeLeft, &QToolButton::clicked, this, &TFormPage::btnsizeleftClick);
  connect(pnlPalette->btnSizeTop, &QToolButton::clicked, this, &TFormPage::btnsizetopClick);
  connect(pnlPalette->btnSizeWidth, &QToolButton::clicked, this, &TFormPage::btnsizewidthClick);
  connect(pnlPalette->btnSizeHeight, &QToolButton::clicked, this, &TFormPage::btnsizeheightClick);
  connect(pnlPalette->btnMarkSize, &QToolButton::clicked, this, &TFormPage::btnmarksizeClick);

  auto* scroll = new QScrollArea(this);
  scroll->setObjectName("box");
  scroll->setWidgetResizable(true);
  formArea = new TFormArea;
  formArea->setObjectName("formArea");
  formArea->installEventFilter(this);
  scroll->setWidget(formArea);
  body->addWidget(scroll, 1);
  layout->addLayout(body, 1);
  tableLink_ = std::make_unique<TableLink>(*this);
  tableLink_->SetDataSet(&host_.Cursor());
}

// ---- The filter --------------------------------------------------------------------------

void TFormPage::btnfilterClick() {
  if (host_.CurrentTable().empty()) return;
  TRecordFilter& filter = host_.Filter();
  // What is in force now comes back when the new script fails: a failed filter left on would
  // show an empty grid, as if the table had no such records.
  const bool wasFiltered = host_.Cursor().Filtered();
  const std::string previous = filter.AppliedText();
  try {
    filter.SetFilterText(ToAnsi(txtfilter->text()));
  } catch (const std::exception& error) {
    host_.ShowError(error.what());
    return;
  }
  // The grid learns nothing while the cursor looks for its first record; then it learns its
  // first rows, which the script may fail on too. Either failure is the script's: it is
  // caught here, not shown as the grid's.
  std::string failure;
  TDataSource& data = host_.Data();
  const std::function<void(const std::string&)> shown = data.OnError;
  data.OnError = [&failure](const std::string& message) {
    if (failure.empty()) failure = message;
  };
  host_.ChangeRecordSet([&] {
    try {
      filter.Apply();
    } catch (const EAbort&) {
      throw;
    } catch (const std::exception& error) {
      failure = error.what();
    }
  });
  data.OnError = shown;
  if (failure.empty()) return;
  std::string restored = "All records are shown.";
  host_.ChangeRecordSet([&] {
    try {
      if (wasFiltered) {
        filter.SetFilterText(previous);
        filter.Apply();
        restored = "The filter in force before is back: " + previous;
        return;
      }
    } catch (const std::exception&) {
      // The old filter no longer runs either (the table changed): nothing is filtered.
    }
    filter.ShowAll();
  });
  host_.ShowError("The filter failed: " + failure + "\n" + restored);
}

void TFormPage::TableActiveChanged() {
  if (!host_.Cursor().Active()) return;
  const std::string& table = host_.CurrentTable();
  if (table == filterTable_) return;
  // A filter names the fields of its own table: the box shows what was typed for this one.
  if (!filterTable_.empty()) filterTexts_[filterTable_] = txtfilter->text();
  const auto known = filterTexts_.find(table);
  txtfilter->setText(known != filterTexts_.end() ? known->second : QString());
  filterTable_ = table;
}

void TFormPage::btnshowallClick() {
  host_.ChangeRecordSet([this] { host_.Filter().ShowAll(); });
}

// ---- Form files --------------------------------------------------------------------------

void TFormPage::LoadForm(const std::string& path) {
  ClearFormArea();
  ClearSelection();
  SetDesignMode(false);
  formFile = path;
  formFileKnown_ = false;
  savedLines_.clear();
  std::string text;
  try {
    text = LoadFileToString(path);
  } catch (const std::exception& error) {
    host_.ShowError(error.what());
    return;
  }
  formFileKnown_ = true;
  const std::vector<std::string> lines = SplitLines(text);
  if (lines.size() < 2) return;
  const std::string table = FormTablePath(
      lines[0], host_.Workspace().Root(), [](const std::string& p) { return Files().FileExists(p); });
  if (table.empty()) return;
  host_.OpenTable(table, false);
  try {
    for (std::size_t i = 1; i < lines.size(); ++i) LineToControl(lines[i]);
  } catch (const std::exception& error) {
    host_.ShowError(error.what());
  }
  FitFormArea();
  // Labels fit their captions and edit boxes their fonts as they are made: what was loaded
  // is the form as it now stands, not the file's bytes.
  savedLines_ = ControlLines();
}

bool TFormPage::LineToControl(const std::string& line) {
  FormControlDesc desc;
  if (!tavlo::LineToControl(line, desc)) return false;
  QWidget* control = NewFormControl(desc.kind, formArea);
  control->setGeometry(Clamp(desc.left, -kLargestFormCoordinate, kLargestFormCoordinate),
                       Clamp(desc.top, -kLargestFormCoordinate, kLargestFormCoordinate),
                       Clamp(desc.width, 0, kLargestFormCoordinate),
                       Clamp(desc.height, 0, kLargestFormCoordinate));
  SetFormControlFont(control, FontOfDesc(desc), desc.fontColor);
  if (desc.kind == FormControlKind::Label)
    static_cast<QLabel*>(control)->setText(FromAnsi(desc.caption));
  Hook(control);
  control->show();
  if (desc.kind != FormControlKind::Label) {
    SetFormControlDataSource(control, &host_.Data());
    SetFormControlField(control, desc.field);
    // The name stays with the control, so a form saved now keeps it.
    if (host_.Cursor().Active() && host_.Cursor().FindField(desc.field) == nullptr)
      throw EDatabaseError::FieldNotFound(desc.field);
  }
  return true;
}

std::string TFormPage::ControlToLine(const QWidget* control) const {
  const std::optional<FormControlDesc> desc = DescribeFormControl(control);
  return desc ? tavlo::ControlToLine(*desc) : std::string();
}

bool TFormPage::SaveForm() {
  if (formFile.empty()) {
    host_.ShowError("FormFile not defined");
    return false;
  }
  const QList<QWidget*> widgets = FormWidgets();
  bool anyControl = false;
  for (QWidget* widget : widgets) anyControl = anyControl || FormControlKindOf(widget).has_value();
  if (!anyControl || host_.CurrentTable().empty()) return true;
  // "New Form" refused a name in use, but another form may have been saved under it since.
  if (!formFileKnown_ && !MayReplace(formFile, "")) return false;
  std::vector<std::string> lines;
  for (QWidget* widget : widgets) lines.push_back(ControlToLine(widget));
  try {
    SaveStringToFile(formFile, FormFileText(host_.CurrentTable(), lines));
  } catch (const std::exception& error) {
    host_.ShowError(error.what());
    return false;
  }
  formFileKnown_ = true;
  savedLines_ = ControlLines();
  return true;
}

std::vector<std::string> TFormPage::ControlLines() const {
  std::vector<std::string> lines;
  for (QWidget* widget : FormWidgets()) {
    std::string line = ControlToLine(widget);
    if (!line.empty()) lines.push_back(std::move(line));
  }
  return lines;
}

bool TFormPage::FormChanged() const {
  return ControlLines() != savedLines_;
}

bool TFormPage::ConfirmFormChanges() {
  if (!FormChanged()) return true;
  const std::string name = formFile.empty() ? "Untitled" : ExtractFileName(formFile);
  switch (Host().Ask("Save changes to the form " + name + "?", true)) {
    case Answer::Yes:
      return SaveForm();
    case Answer::No:
      return true;
    case Answer::Cancel:
      break;
  }
  return false;
}

QList<QWidget*> TFormPage::FormWidgets() const {
  return formArea->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
}

// ---- The form buttons --------------------------------------------------------------------

void TFormPage::btnnewformClick() {
  CloseForm();
  const std::optional<std::string> typed = Host().InputBox("Tavlo forms", "Enter form name", "");
  // A blank name names no form: nothing to say, nothing changes.
  if (!typed || TrimControl(*typed).empty()) return;
  const std::string path = host_.Workspace().FormFile(ChangeFileExt(*typed, ".dfrm"));
  if (Files().FileExists(path)) {
    host_.ShowError("A form named " + *typed + " allready exists.");
    return;
  }
  formFile = path;
  formFileKnown_ = false;
  SetDesignMode(true);
}

void TFormPage::btnopenformClick() {
  const std::optional<std::string> path =
      host_.FileChooser().ChooseFile(host_.Workspace().FormsFolder(), "*.dfrm", "Select form");
  if (path && Files().FileExists(*path)) LoadForm(*path);
}

void TFormPage::btndesignClick() {
  SetDesignMode(!designMode);
  if (!designMode) HideProperties();
}

// ---- Designer ----------------------------------------------------------------------------

void TFormPage::SetDesignMode(bool on) {
  designMode = on;
  pnlPalette->setVisible(on);
  pnlPalette->ShowTool(paletteMode);
  formArea->SetGridVisible(on);
  btndesign->setChecked(on);
  // The frame belongs to the designer; outside it a press no longer selects.
  if (!on) ClearSelection();
}

void TFormPage::SelectTool(int mode) {
  paletteMode = mode;
  pnlPalette->ShowTool(mode);
  // The edit tool keeps the properties window as it is; every other tool hides it.
  if (mode != 2) HideProperties();
}

void TFormPage::btndeleteClick() {
  if (selectedControl != nullptr) {
    QWidget* control = selectedControl;
    ClearSelection();
    delete control;
    FitFormArea();
  }
  HideProperties();
}

void TFormPage::ChangeSelected(const std::function<void(QRect&)>& change) {
  if (selectedControl == nullptr) return;
  QRect bounds = selectedControl->geometry();
  change(bounds);
  selectedControl->setGeometry(bounds);
  FitFormArea();
}

void TFormPage::btnsizeleftClick() {
  ChangeSelected([this](QRect& r) { r.moveLeft(markLeft); });
}

void TFormPage::btnsizetopClick() {
  ChangeSelected([this](QRect& r) { r.moveTop(markTop); });
}

void TFormPage::btnsizewidthClick() {
  ChangeSelected([this](QRect& r) { r.setWidth(markWidth); });
}

void TFormPage::btnsizeheightClick() {
  ChangeSelected([this](QRect& r) { r.setHeight(markHeight); });
}

void TFormPage::btnmarksizeClick() {
  if (selectedControl == nullptr) return;
  const QRect bounds = selectedControl->geometry();
  markLeft = bounds.left();
  markTop = bounds.top();
  markWidth = bounds.width();
  markHeight = bounds.height();
}

void TFormPage::AttachSizer(QWidget* control) {
  if (!designMode) return;
  selectedControl = control;
  ShowControlProperties(control);
  delete sizer_;
  sizer_ = new SizerControl(control);
  sizer_->OnDeleteKey = [this] { btndeleteClick(); };
  sizer_->OnTargetChanged = [this] { FitFormArea(); };
}

void TFormPage::ClearSelection() {
  selectedControl = nullptr;
  delete sizer_;
}

void TFormPage::CloseForm() {
  formFile.clear();
  formFileKnown_ = false;
  savedLines_.clear();
  ClearSelection();
  ClearFormArea();
  HideProperties();
}

void TFormPage::ClearFormArea() {
  const QList<QWidget*> widgets = FormWidgets();
  for (auto it = widgets.rbegin(); it != widgets.rend(); ++it) delete *it;
  FitFormArea();
}

void TFormPage::Hook(QWidget* control) {
  control->installEventFilter(this);
  if (auto* memo = qobject_cast<QPlainTextEdit*>(control))
    memo->viewport()->installEventFilter(this);
}

bool TFormPage::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (watched == formArea) {
    if (type == QEvent::MouseButtonRelease)
      boxMouseUp(static_cast<QMouseEvent*>(event)->position().toPoint());
    return false;
  }
  if (!designMode) return false;
  // The release of a press that selected a control is the designer's too: passed on, a label
  // would hand it to the form area, which would place a control there.
  if (type == QEvent::MouseButtonRelease) return true;
  if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonDblClick) return false;
  auto* control = qobject_cast<QWidget*>(watched);
  if (control != nullptr && !FormControlKindOf(control)) control = control->parentWidget();
  if (control == nullptr || control->parentWidget() != formArea) return false;
  // A press in design mode selects; the control's own behaviour (typing, toggling) waits
  // until design mode is off, and a left press goes on as a drag of the new frame.
  AttachSizer(control);
  auto* mouse = static_cast<QMouseEvent*>(event);
  if (type == QEvent::MouseButtonPress && mouse->button() == Qt::LeftButton && sizer_ != nullptr)
    sizer_->BeginDrag(mouse->globalPosition());
  return true;
}

void TFormPage::boxMouseUp(const QPoint& point) {
  if (!designMode || paletteMode < 1 || paletteMode > 4) return;
  static const FormControlKind kByMode[] = {FormControlKind::Label, FormControlKind::Edit,
                                            FormControlKind::CheckBox, FormControlKind::Memo};
  AttachSizer(PlaceControl(kByMode[paletteMode - 1], point));
}

QWidget* TFormPage::PlaceControl(FormControlKind kind, const QPoint& at) {
  QWidget* control = NewFormControl(kind, formArea);
  SetFormControlFont(control, formArea->font(), clWindowText);
  switch (kind) {
    case FormControlKind::Label: {
      auto* label = static_cast<TFormLabel*>(control);
      label->setText("Label");
      label->resize(65, 17);
      label->AutoSize();
      break;
    }
    case FormControlKind::Edit:
      control->resize(121, control->sizeHint().height());
      break;
    case FormControlKind::CheckBox:
      static_cast<QAbstractButton*>(control)->setText("checkbox");
      control->resize(97, 17);
      break;
    case FormControlKind::Memo:
      control->resize(185, 89);
      break;
  }
  if (kind != FormControlKind::Label) SetFormControlDataSource(control, &host_.Data());
  control->move(at);
  Hook(control);
  control->show();
  FitFormArea();
  return control;
}

void TFormPage::FitFormArea() {
  QRect used;
  for (QWidget* widget : FormWidgets()) used = used.united(widget->geometry());
  formArea->setMinimumSize(qMax(0, used.right() + 16), qMax(0, used.bottom() + 16));
}

// ---- The properties window ---------------------------------------------------------------

TPropertiesF& TFormPage::Properties() {
  if (properties_ == nullptr) {
    properties_ = &host_.Properties();
    // Showing it must not take the focus from the selection frame.
    properties_->setAttribute(Qt::WA_ShowWithoutActivating);
    connect(properties_, &TPropertiesF::FieldClicked, this, &TFormPage::PropertiesFieldClicked);
    connect(properties_, &TPropertiesF::CaptionChanged, this, &TFormPage::PropertiesCaptionChanged);
    connect(properties_, &TPropertiesF::FontClicked, this, &TFormPage::PropertiesFontClicked);
  }
  return *properties_;
}

void TFormPage::HideProperties() {
  // Before its first use the window has never been shown.
  if (properties_ != nullptr) properties_->hide();
}

void TFormPage::ShowControlProperties(QWidget* control) {
  TPropertiesF& properties = Properties();
  const std::optional<FormControlKind> kind = FormControlKindOf(control);
  if (!kind) return;
  properties.SetButtonFont(control->font(), ToQColor(FormControlColor(control)));
  if (*kind == FormControlKind::Label) {
    properties.txtcaption->setText(static_cast<QLabel*>(control)->text());
    properties.SetFieldsPageVisible(false);
    properties.SetCaptionPageVisible(true);
    properties.ActivateCaptionPage();
    properties.show();
    return;
  }
  const QString remembered = FromAnsi(FormControlField(control));
  FillFieldList(control);
  properties.ListBox1->setCurrentRow(-1);
  properties.ListBox1->clearSelection();
  for (int i = 0; i < properties.ListBox1->count(); ++i) {
    if (QString::compare(properties.ListBox1->item(i)->text(), remembered, Qt::CaseInsensitive) ==
        0) {
      properties.ListBox1->setCurrentRow(i);
      break;
    }
  }
}

void TFormPage::FillFieldList(QWidget* control) {
  TPropertiesF& properties = Properties();
  properties.ListBox1->clear();
  TDbf& cursor = host_.Cursor();
  if (!cursor.Active() || cursor.FieldCount() == 0) return;
  const std::optional<FormControlKind> kind = FormControlKindOf(control);
  for (int i = 0; i < cursor.FieldCount(); ++i) {
    const TField& field = cursor.Fields(i);
    if (kind && FieldOffered(*kind, field.DataType()))
      properties.ListBox1->addItem(FromAnsi(field.FieldName()));
  }
  if (properties.ListBox1->count() == 0) {
    properties.hide();
    return;
  }
  properties.SetFieldsPageVisible(true);
  properties.SetCaptionPageVisible(false);
  properties.ActivateFieldsPage();
  properties.show();
}

void TFormPage::PropertiesFieldClicked(const QString& name) {
  QWidget* control = selectedControl;
  if (control == nullptr) return;
  const std::optional<FormControlKind> kind = FormControlKindOf(control);
  if (!kind || *kind == FormControlKind::Label) return;
  SetFormControlField(control, ToAnsi(name));
}

void TFormPage::PropertiesCaptionChanged(const QString& text) {
  auto* label = qobject_cast<TFormLabel*>(selectedControl.data());
  if (label == nullptr || label->text() == text) return;
  label->setText(text);
  label->AutoSize();
  FitFormArea();
}

void TFormPage::PropertiesFontClicked() {
  TPropertiesF& properties = Properties();
  QWidget* control = selectedControl;
  const QFont current = properties.btnfont->font();
  FontChoice initial;
  initial.name = ToAnsi(current.family());
  initial.size = current.pointSize() > 0 ? current.pointSize() : 8;
  initial.bold = current.bold();
  initial.italic = current.italic();
  initial.underline = current.underline();
  initial.color = control != nullptr ? FormControlColor(control) : clWindowText;
  const std::optional<FontChoice> chosen = Host().FontDialog(initial);
  if (!chosen) return;
  FormControlDesc font;
  font.fontName = chosen->name;
  font.fontSize = chosen->size;
  font.bold = chosen->bold;
  font.italic = chosen->italic;
  font.underline = chosen->underline;
  const QFont qfont = FontOfDesc(font);
  properties.SetButtonFont(qfont, ToQColor(chosen->color));
  // The control may have gone while the dialog was open.
  control = selectedControl;
  if (control == nullptr || !FormControlKindOf(control)) return;
  SetFormControlFont(control, qfont, chosen->color);
  // Labels fit their text and edit boxes their font, as when they were placed.
  if (auto* label = qobject_cast<TFormLabel*>(control)) label->AutoSize();
  if (FormControlKindOf(control) == FormControlKind::Edit)
    control->resize(control->width(), control->sizeHint().height());
  FitFormArea();
}

}  // namespace tavlo
