// TPropertiesF: the properties window of the form designer, a stay-on-top tool window that
// lives from start-up to the end of the program and keeps its placement in section
// "PropertiesF". Three pages: "Fields" (the field list ListBox1), "Font" (the button btnfont
// drawn in the selected control's font) and "Caption" (txtcaption). It only shows what the
// "Form" page gives it and reports the user's clicks and edits; the page decides what they
// change.
#pragma once

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QWidget>

#include "workspace/formplacement.h"

namespace tavlo {

class TPropertiesF : public QWidget {
  Q_OBJECT
 public:
  // Restores its placement from store (designed at 398, 193, 277 x 370).
  TPropertiesF(const FormPlacementStore& store, QWidget* parent = nullptr);
  // Saves the placement; raises the settings file's error.
  void FormDestroy();

  // Shows or hides the "Fields" or "Caption" page ("Font" is always there).
  void SetFieldsPageVisible(bool visible);
  void SetCaptionPageVisible(bool visible);
  bool FieldsPageVisible() const;
  bool CaptionPageVisible() const;
  void ActivateFieldsPage();
  void ActivateCaptionPage();
  // The font button takes the control's font and text colour.
  void SetButtonFont(const QFont& font, const QColor& color);

  QTabWidget* pages = nullptr;
  QWidget* tabFields = nullptr;
  QWidget* tabFont = nullptr;
  QWidget* tabCaption = nullptr;
  QListWidget* ListBox1 = nullptr;
  QPushButton* btnfont = nullptr;
  QLineEdit* txtcaption = nullptr;

 signals:
  // The user clicked a field name in the list.
  void FieldClicked(const QString& name);
  // txtcaption changed (by the user or by the page).
  void CaptionChanged(const QString& text);
  void FontClicked();

 private:
  int IndexOf(QWidget* page) const { return pages->indexOf(page); }
  const FormPlacementStore& ini_;
};

}  // namespace tavlo
