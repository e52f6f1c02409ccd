// Form widgets made from descriptions and described back.
#include "app/designer/formcontrols.h"

#include <QApplication>
#include <QPalette>
#include <QVariant>

#include "app/data/dbcontrols.h"
#include "app/host/qtdesktophost.h"

namespace tavlo {

namespace {

constexpr const char* kColorProperty = "tavloFontColor";

// The palette roles closest to the window system's colours 0..24.
QPalette::ColorRole SystemColorRole(unsigned index) {
  static const QPalette::ColorRole kRoles[] = {QPalette::Button,
                                               QPalette::Window,
                                               QPalette::Highlight,
                                               QPalette::Mid,
                                               QPalette::Window,
                                               QPalette::Base,
                                               QPalette::Shadow,
                                               QPalette::WindowText,
                                               QPalette::WindowText,
                                               QPalette::HighlightedText,
                                               QPalette::Button,
                                               QPalette::Button,
                                               QPalette::Dark,
                                               QPalette::Highlight,
                                               QPalette::HighlightedText,
                                               QPalette::Button,
                                               QPalette::Mid,
                                               QPalette::PlaceholderText,
                                               QPalette::ButtonText,
                                               QPalette::WindowText,
                                               QPalette::Light,
                                               QPalette::Shadow,
                                               QPalette::Midlight,
                                               QPalette::ToolTipText,
                                               QPalette::ToolTipBase};
  return index < std::size(kRoles) ? kRoles[index] : QPalette::WindowText;
}

}  // namespace

std::optional<FormControlKind> FormControlKindOf(const QWidget* control) {
  if (qobject_cast<const TFormLabel*>(control) != nullptr) return FormControlKind::Label;
  if (qobject_cast<const TDBEdit*>(control) != nullptr) return FormControlKind::Edit;
  if (qobject_cast<const TDBMemo*>(control) != nullptr) return FormControlKind::Memo;
  if (qobject_cast<const TDBCheckBox*>(control) != nullptr) return FormControlKind::CheckBox;
  return std::nullopt;
}

QWidget* NewFormControl(FormControlKind kind, QWidget* parent) {
  switch (kind) {
    case FormControlKind::Label:
      return new TFormLabel(parent);
    case FormControlKind::Edit:
      return new TDBEdit(parent);
    case FormControlKind::Memo:
      return new TDBMemo(parent);
    case FormControlKind::CheckBox:
      return new TDBCheckBox(parent);
  }
  return nullptr;
}

std::string FormControlField(const QWidget* control) {
  if (auto* bound = dynamic_cast<const TDBControl*>(control)) return bound->DataField();
  return std::string();
}

void SetFormControlField(QWidget* control, const std::string& field) {
  if (auto* bound = dynamic_cast<TDBControl*>(control)) bound->SetDataField(field);
}

void SetFormControlDataSource(QWidget* control, TDataSource* source) {
  if (auto* bound = dynamic_cast<TDBControl*>(control)) bound->SetDataSource(source);
}

QColor ToQColor(TColor color) {
  if (color == clNone) return QApplication::palette().color(QPalette::WindowText);
  if ((color & 0xFF000000u) == kSystemColorBase)
    return QApplication::palette().color(SystemColorRole(color & 0xFFFFFFu));
  return QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
}

void SetFormControlFont(QWidget* control, const QFont& font, TColor color) {
  control->setFont(font);
  control->setProperty(kColorProperty, QVariant::fromValue<uint>(color));
  QPalette palette = control->palette();
  const QColor shown = ToQColor(color);
  for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
    palette.setColor(group, QPalette::WindowText, shown);
    palette.setColor(group, QPalette::Text, shown);
    palette.setColor(group, QPalette::ButtonText, shown);
  }
  control->setPalette(palette);
}

TColor FormControlColor(const QWidget* control) {
  const QVariant value = control->property(kColorProperty);
  return value.isValid() ? value.value<uint>() : clWindowText;
}

QFont FontOfDesc(const FormControlDesc& desc) {
  QFont font(FromAnsi(desc.fontName));
  font.setPointSize(desc.fontSize > 0 ? desc.fontSize : 8);
  font.setBold(desc.bold);
  font.setItalic(desc.italic);
  font.setUnderline(desc.underline);
  return font;
}

std::optional<FormControlDesc> DescribeFormControl(const QWidget* control) {
  const std::optional<FormControlKind> kind = FormControlKindOf(control);
  if (!kind) return std::nullopt;
  FormControlDesc desc;
  desc.kind = *kind;
  const QRect bounds = control->geometry();
  desc.left = bounds.left();
  desc.top = bounds.top();
  desc.width = bounds.width();
  desc.height = bounds.height();
  if (*kind == FormControlKind::Label)
    desc.caption = ToAnsi(static_cast<const QLabel*>(control)->text());
  else
    desc.field = FormControlField(control);
  const QFont font = control->font();
  desc.fontName = ToAnsi(font.family());
  desc.fontSize = font.pointSize();
  if (desc.fontSize <= 0) {
    // A font given in pixels: its size in points at the screen's resolution.
    const int dpi = control->logicalDpiY() > 0 ? control->logicalDpiY() : 96;
    desc.fontSize = qMax(1, qRound(font.pixelSize() * 72.0 / dpi));
  }
  desc.fontColor = FormControlColor(control);
  desc.bold = font.bold();
  desc.italic = font.italic();
  desc.underline = font.underline();
  return desc;
}

}  // namespace tavlo
