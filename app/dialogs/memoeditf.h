// TMemoEditF: the memo editor of the grid, a modal dialog with the memo's text and OK/Cancel,
// so that memos can be read and edited without a form. It only edits text; the grid decides
// what becomes of it (it never touches the cursor).
#pragma once

#include <QDialog>
#include <QPlainTextEdit>
#include <optional>

namespace tavlo {

class TMemoEditF : public QDialog {
  Q_OBJECT
 public:
  // caption names the field; readOnly shows the text without letting it change.
  TMemoEditF(const QString& caption, const QString& text, bool readOnly,
             QWidget* parent = nullptr);
  QPlainTextEdit* Memo() const { return memo_; }

  // Shows the dialog modally; the edited text on OK, nullopt on Cancel or when read-only.
  static std::optional<QString> Edit(const QString& caption, const QString& text, bool readOnly,
                                     QWidget* parent);

 private:
  QPlainTextEdit* memo_;
};

}  // namespace tavlo
