// ButtonPanel: the strip of icon buttons at the top of a page. Every button is an icon tool
// button whose tooltip is its hint, optionally with a keyboard shortcut.
#pragma once

#include <QFrame>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QToolButton>

#include "app/widgets/icons.h"

namespace tavlo {

class ButtonPanel : public QFrame {
  Q_OBJECT
 public:
  explicit ButtonPanel(QWidget* parent = nullptr);
  QToolButton* AddButton(const QString& objectName, const QString& hint, const char* themeIcon,
                         IconShape fallback, const QKeySequence& shortcut = QKeySequence());
  void AddWidget(QWidget* widget, int stretch = 0);
  void AddSeparator();
  void AddStretch() { layout_->addStretch(1); }

 private:
  QHBoxLayout* layout_;
};

}  // namespace tavlo
