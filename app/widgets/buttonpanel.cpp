// The page button strip.
#include "app/widgets/buttonpanel.h"

namespace tavlo {

QString HintWithShortcut(const QString& hint, const QKeySequence& shortcut) {
  if (shortcut.isEmpty()) return hint;
  return hint + " (" + shortcut.toString(QKeySequence::NativeText) + ")";
}

void SetButtonShortcut(QAbstractButton* button, const QString& hint,
                       const QKeySequence& shortcut) {
  button->setShortcut(shortcut);
  button->setToolTip(HintWithShortcut(hint, shortcut));
}

ButtonPanel::ButtonPanel(QWidget* parent) : QFrame(parent), layout_(new QHBoxLayout(this)) {
  setFrameShape(QFrame::StyledPanel);
  setFrameShadow(QFrame::Raised);
  layout_->setContentsMargins(4, 2, 4, 2);
  layout_->setSpacing(2);
}

QToolButton* ButtonPanel::AddButton(const QString& objectName, const QString& hint,
                                    const char* themeIcon, IconShape fallback,
                                    const QKeySequence& shortcut) {
  auto* button = new QToolButton(this);
  button->setObjectName(objectName);
  button->setToolTip(HintWithShortcut(hint, shortcut));
  button->setAccessibleName(hint);
  button->setIcon(TavloIcon(themeIcon, fallback));
  button->setIconSize(QSize(22, 22));
  button->setAutoRaise(true);
  if (!shortcut.isEmpty()) button->setShortcut(shortcut);
  layout_->addWidget(button);
  return button;
}

void ButtonPanel::AddWidget(QWidget* widget, int stretch) {
  layout_->addWidget(widget, stretch);
}

void ButtonPanel::AddSeparator() {
  auto* line = new QFrame(this);
  line->setFrameShape(QFrame::VLine);
  line->setFrameShadow(QFrame::Sunken);
  layout_->addWidget(line);
}

}  // namespace tavlo
