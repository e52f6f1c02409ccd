// The grid's memo editor dialog.
#include "app/dialogs/memoeditf.h"

#include <QDialogButtonBox>
#include <QVBoxLayout>

namespace tavlo {

TMemoEditF::TMemoEditF(const QString& caption, const QString& text, bool readOnly,
                       QWidget* parent)
    : QDialog(parent), memo_(new QPlainTextEdit(this)) {
  setObjectName("MemoEditF");
  setWindowTitle(caption);
  auto* layout = new QVBoxLayout(this);
  memo_->setObjectName("memo");
  memo_->setPlainText(text);
  memo_->setReadOnly(readOnly);
  memo_->setTabChangesFocus(false);
  layout->addWidget(memo_, 1);
  auto* buttons = new QDialogButtonBox(
      readOnly ? QDialogButtonBox::Close : QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->setObjectName("buttons");
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
  resize(520, 360);
  memo_->setFocus();
}

std::optional<QString> TMemoEditF::Edit(const QString& caption, const QString& text,
                                        bool readOnly, QWidget* parent) {
  TMemoEditF dialog(caption, text, readOnly, parent);
  if (dialog.exec() != QDialog::Accepted || readOnly) return std::nullopt;
  return dialog.Memo()->toPlainText();
}

}  // namespace tavlo
