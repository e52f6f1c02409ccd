// The widgets of a data-entry form: a label and the three data-bound controls, made from a
// control description and described back. The font colour a control was given is kept on it
// as a colour value, so a system colour is written back by its identifier and not by what
// the desktop's palette makes of it. Knows nothing of the designer or the form file.
#pragma once

#include <QColor>
#include <QFont>
#include <QLabel>
#include <QWidget>
#include <optional>

#include "workspace/formfile.h"

namespace tavlo {

class TDataSource;

// The form's static text. Sizes itself to its text when asked (new labels, a new caption or
// font), not when it is loaded with the size its form stored.
class TFormLabel : public QLabel {
  Q_OBJECT
 public:
  explicit TFormLabel(QWidget* parent = nullptr) : QLabel(parent) {}
  void AutoSize() { resize(sizeHint()); }
};

// Pixels a form keeps coordinates and sizes within; stored numbers beyond are damage.
constexpr int kLargestFormCoordinate = 32767;

// The kind of a form widget, or nullopt for anything else (the selection frame).
std::optional<FormControlKind> FormControlKindOf(const QWidget* control);
// A new widget of the kind in parent, with no text, font or binding.
QWidget* NewFormControl(FormControlKind kind, QWidget* parent);
// The bound field of an edit, memo or check box ("" for others).
std::string FormControlField(const QWidget* control);
// Binds an edit, memo or check box to the field by name (through its data source).
void SetFormControlField(QWidget* control, const std::string& field);
void SetFormControlDataSource(QWidget* control, TDataSource* source);

// The colour as the desktop shows it (system colours through the application palette).
QColor ToQColor(TColor color);
// Sets font and colour; the colour is kept as the control's colour value.
void SetFormControlFont(QWidget* control, const QFont& font, TColor color);
TColor FormControlColor(const QWidget* control);
// The font of a description; the size in points.
QFont FontOfDesc(const FormControlDesc& desc);
// The description of a form widget (nullopt for anything else).
std::optional<FormControlDesc> DescribeFormControl(const QWidget* control);

}  // namespace tavlo
