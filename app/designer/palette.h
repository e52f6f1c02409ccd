// TDesignPalette: the form designer's palette, a narrow column of icon buttons at the left
// edge of the "Form" page: the five tools (pointer, label, edit, memo, check box; one is
// down at a time), delete, "Save form", and the geometry buttons "Size left", "Size top",
// "Size width", "Size height", "Mark size". The buttons never take the keyboard focus, so the
// selection frame keeps it. What the buttons do is the page's business.
#pragma once

#include <QButtonGroup>
#include <QFrame>
#include <QToolButton>

namespace tavlo {

class TDesignPalette : public QFrame {
  Q_OBJECT
 public:
  explicit TDesignPalette(QWidget* parent = nullptr);
  // Puts down the tool button of a palette mode (0 pointer, 1 label, 2 edit, 3 checkbox,
  // 4 memo) without a click.
  void ShowTool(int paletteMode);

  QToolButton* btnPointer = nullptr;
  QToolButton* btnLabel = nullptr;
  QToolButton* btnEdit = nullptr;
  QToolButton* btnMemo = nullptr;
  QToolButton* btnCheckbox = nullptr;
  QToolButton* btnDelete = nullptr;
  QToolButton* btnSaveForm = nullptr;
  QToolButton* btnSizeLeft = nullptr;
  QToolButton* btnSizeTop = nullptr;
  QToolButton* btnSizeWidth = nullptr;
  QToolButton* btnSizeHeight = nullptr;
  QToolButton* btnMarkSize = nullptr;

 private:
  QToolButton* AddButton(const char* objectName, const QString& hint, int shape, bool tool = false);
  QButtonGroup* tools_;
};

}  // namespace tavlo
