// The data grid's cell editors.
#include "app/data/griddelegate.h"

#include <QLineEdit>

#include "app/data/gridmodel.h"
#include "dbf/fields.h"
#include "platform/regional.h"

namespace tavlo {

TGridDelegate::TGridDelegate(GridModel& model, QObject* parent)
    : QStyledItemDelegate(parent), model_(model) {}

QWidget* TGridDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                     const QModelIndex& index) const {
  QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
  auto* line = qobject_cast<QLineEdit*>(editor);
  TDbf* table = model_.Table();
  if (line == nullptr || table == nullptr || !table->Active() || index.column() < 0 ||
      index.column() >= table->FieldCount())
    return editor;
  const TField& field = table->Fields(index.column());
  // More characters than the field holds would be cut off (text) or refused (numbers) when
  // the record is stored: refuse them while typing instead.
  const int length = model_.FieldLength(index.column());
  if (length > 0) line->setMaxLength(length);
  if (field.DataType() == TFieldType::ftDate) {
    line->setPlaceholderText(QString::fromStdString(Regional().shortDateFormat));
    line->setToolTip("Date as " +
                     QString::fromStdString(Regional().shortDateFormat));
  }
  return editor;
}

}  // namespace tavlo
