// TReportTextF: a modal window showing a long text in a fixed-pitch font that the user can
// select and copy (a table's information, a check report), with "Copy", an optional action
// button and "Close".
#pragma once

#include <QDialog>
#include <QPlainTextEdit>
#include <QPushButton>

namespace tavlo {

class TReportTextF : public QDialog {
  Q_OBJECT
 public:
  TReportTextF(const QString& caption, const QString& text, const QString& action,
               QWidget* parent = nullptr);
  // True when the window was closed with the action button.
  bool ActionChosen() const { return actionChosen_; }

  QPlainTextEdit* memo = nullptr;
  QPushButton* btncopy = nullptr;
  QPushButton* btnaction = nullptr;  // nullptr without an action

 private:
  bool actionChosen_ = false;
};

}  // namespace tavlo
