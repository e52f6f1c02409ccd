// ButtonPanel: the strip of icon buttons at the top of a page. Every button is an icon tool
// button whose tooltip is its hint, optionally with a keyboard shortcut named in the tooltip.
#pragma once

#include <QFrame>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QToolButton>

#include "app/widgets/icons.h"

namespace tavlo {

// Hint text with the shortcut a user can press instead: "Open database (Ctrl+O)".
QString HintWithShortcut(const QString& hint, const QKeySequence& shortcut);
// Gives button its shortcut and names it in the tooltip after hint.
void SetButtonShortcut(QAbstractButton* button, const QString& hint, const QKeySequence& shortcut);

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
