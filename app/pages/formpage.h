// TFormPage: the "Form" page — the form buttons ("New Form", "Open form", "Save Form",
// "Close Form", "Design Form"), the filter box with "Filter" and "Show all", the designer's
// palette (shown only in design mode) and the scrolling form area that holds a data-entry
// form: labels and edit boxes, memos and check boxes bound to fields of the open table
// through the shell's data source. It loads and saves form files, places controls, selects
// them with the selection frame, and drives the properties window. The filter buttons go
// through the shell's record filter; the page keeps no copy of its logic, only what it
// shows: the box's text per table, and the filter in force before, given back when a new
// script fails.
//
// Design state: designMode (off at start; "New Form" turns it on, LoadForm off, "Design
// Form" toggles), paletteMode (0 pointer, 1 label, 2 edit, 3 checkbox, 4 memo; kept until
// another tool is picked), selectedControl (set by AttachSizer, cleared by delete, CloseForm,
// LoadForm and design mode going off; a guarded pointer, so a freed control is never used).
#pragma once

#include <QLineEdit>
#include <QPointer>
#include <QToolButton>
#include <QWidget>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "workspace/formfile.h"
#include "app/designer/formarea.h"
#include "app/designer/palette.h"
#include "app/designer/sizercontrol.h"

namespace tavlo {

class TPageHost;
class TPropertiesF;

class TFormPage : public QWidget {
  Q_OBJECT
 public:
  explicit TFormPage(TPageHost& host, QWidget* parent = nullptr);
  ~TFormPage() override;

  // Form files.
  // Replaces the form area with the form stored in the file and opens its table.
  void LoadForm(const std::string& path);
  // Writes the form area to formFile. A file of that name the page neither loaded nor saved
  // (a new form's name taken since) is replaced only when the user says so. False when
  // nothing was written though the form holds controls: no form file, the user's No, or a
  // failed write (shown).
  bool SaveForm();
  // The form's controls differ from what was last loaded or saved (a new form's controls
  // were never saved).
  bool FormChanged() const;
  // Before the form is dropped for another table's: when it holds changes, asks "Save changes
  // to the form NAME?"; Yes saves it, No lets them go. False when the caller must stop:
  // Cancel, or the save did not happen.
  bool ConfirmFormChanges();
  // Creates one control from one attribute line; false when the line is not a control.
  // Raises the cursor's "Field '%s' not found" when the open table lacks its field (the
  // control is kept, unbound, so saving loses nothing).
  bool LineToControl(const std::string& line);
  // The attribute line of a widget of the form area ("" for the selection frame).
  std::string ControlToLine(const QWidget* control) const;

  // The page's buttons.
  void btnnewformClick();
  void btnopenformClick();
  void btnsaveformClick() { SaveForm(); }
  void btncloseformClick() { CloseForm(); }
  void btndesignClick();
  void btnfilterClick();
  void btnshowallClick();

  // The palette's buttons.
  void SelectTool(int mode);
  void btndeleteClick();
  void btnsizeleftClick();
  void btnsizetopClick();
  void btnsizewidthClick();
  void btnsizeheightClick();
  void btnmarksizeClick();

  // Designer operations.
  void SetDesignMode(bool on);
  void AttachSizer(QWidget* control);
  // Forgets the form in use and empties the form area; design mode and the table stay.
  void CloseForm();
  void ClearFormArea();
  void ShowControlProperties(QWidget* control);
  void FillFieldList(QWidget* control);
  // A mouse button released at point (form area coordinates) on the empty form area.
  void boxMouseUp(const QPoint& point);

  // The form area's widgets in creation order (the selection frame included).
  QList<QWidget*> FormWidgets() const;
  SizerControl* Sizer() const { return sizer_; }

  std::string formFile;
  bool designMode = false;
  int paletteMode = 0;
  QPointer<QWidget> selectedControl;
  int markLeft = 0, markTop = 0, markWidth = 0, markHeight = 0;

  QToolButton* btnnewform = nullptr;
  QToolButton* btnopenform = nullptr;
  QToolButton* btnsaveform = nullptr;
  QToolButton* btncloseform = nullptr;
  QToolButton* btndesign = nullptr;
  QLineEdit* txtfilter = nullptr;
  QToolButton* btnfilter = nullptr;
  QToolButton* btnshowall = nullptr;
  TDesignPalette* pnlPalette = nullptr;
  TFormArea* formArea = nullptr;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // The properties window, wired to this page on first use (it is created after the page
  // and after the first table and form open at start-up).
  TPropertiesF& Properties();
  void HideProperties();
  void ClearSelection();
  // The selection hook: a press on the control (or its viewport) in design mode selects it.
  void Hook(QWidget* control);
  QWidget* PlaceControl(FormControlKind kind, const QPoint& at);
  // Grows the form area to hold every control (it scrolls when larger than the page).
  void FitFormArea();
  void PropertiesFieldClicked(const QString& name);
  void PropertiesCaptionChanged(const QString& text);
  void PropertiesFontClicked();
  // Sets a geometry value of the selected control, if any.
  void ChangeSelected(const std::function<void(QRect&)>& change);

  // The attribute lines of the form's controls, the selection frame left out.
  std::vector<std::string> ControlLines() const;
  // A table opened: the filter box shows the text last typed for that table.
  void TableActiveChanged();

  class TableLink;
  TPageHost& host_;
  TPropertiesF* properties_ = nullptr;
  QPointer<SizerControl> sizer_;
  std::unique_ptr<TableLink> tableLink_;
  // The control lines as last loaded or saved, and whether formFile is a file this page
  // loaded or wrote (a new form's name is not, until its first save).
  std::vector<std::string> savedLines_;
  bool formFileKnown_ = false;
  // The filter box's text per table, and the table whose text the box holds.
  std::map<std::string, QString> filterTexts_;
  std::string filterTable_;
};

}  // namespace tavlo
