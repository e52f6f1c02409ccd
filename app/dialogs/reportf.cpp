// The report text window.
#include "app/dialogs/reportf.h"

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QVBoxLayout>

namespace tavlo {

TReportTextF::TReportTextF(const QString& caption, const QString& text, const QString& action,
                           QWidget* parent)
    : QDialog(parent) {
  setObjectName("ReportTextF");
  setWindowTitle(caption);
  auto* layout = new QVBoxLayout(this);
  memo = new QPlainTextEdit(this);
  memo->setObjectName("memo");
  memo->setReadOnly(true);
  memo->setLineWrapMode(QPlainTextEdit::NoWrap);
  memo->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  memo->setPlainText(text);
  layout->addWidget(memo, 1);
  auto* buttons = new QDialogButtonBox(this);
  btncopy = buttons->addButton("Copy", QDialogButtonBox::ActionRole);
  btncopy->setObjectName("btncopy");
  connect(btncopy, &QPushButton::clicked, this,
          [this] { QApplication::clipboard()->setText(memo->toPlainText()); });
  if (!action.isEmpty()) {
    btnaction = buttons->addButton(action, QDialogButtonBox::AcceptRole);
    btnaction->setObjectName("btnaction");
    connect(btnaction, &QPushButton::clicked, this, [this] {
      actionChosen_ = true;
      accept();
    });
  }
  QPushButton* close = buttons->addButton(QDialogButtonBox::Close);
  connect(close, &QPushButton::clicked, this, &QDialog::reject);
  layout->addWidget(buttons);
  // Wide enough for an 80-column report without scrolling.
  const QFontMetrics metrics(memo->font());
  resize(metrics.horizontalAdvance(QString(84, 'x')) + 40, 440);
}

}  // namespace tavlo
