// TGridDelegate: the cell editors of the data grid, fitted to the field they edit: a
// character or number field takes at most as many characters as the field holds, a date
// field shows the regional short date it expects. Logical fields are check boxes of the
// model and memos open the memo editor, so neither gets a cell editor here.
#pragma once

#include <QStyledItemDelegate>

namespace tavlo {

class GridModel;

class TGridDelegate : public QStyledItemDelegate {
  Q_OBJECT
 public:
  explicit TGridDelegate(GridModel& model, QObject* parent = nullptr);
  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                        const QModelIndex& index) const override;

 private:
  GridModel& model_;
};

}  // namespace tavlo
