// The data grid.
#include "app/data/dbgrid.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>

namespace tavlo {

TDBGrid::TDBGrid(QWidget* parent) : QTableView(parent), model_(new GridModel(this)) {
  setObjectName("DBGrid1");
  setSelectionBehavior(QAbstractItemView::SelectItems);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::DoubleClicked |
                  QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
  setAlternatingRowColors(true);
  setWordWrap(false);
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setMinimumWidth(22);
  verticalHeader()->setDefaultAlignment(Qt::AlignCenter);
  horizontalHeader()->setHighlightSections(false);
  horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  connect(model_, &GridModel::CurrentRowChanged, this, &TDBGrid::FollowCursor);
  connect(model_, &QAbstractItemModel::modelReset, this, [this] { sized_ = false; });
  // Rows coming and going move the view's current index; that must not move the cursor.
  auto enter = [this] { ++changing_; };
  auto leave = [this] { --changing_; };
  connect(model_, &QAbstractItemModel::rowsAboutToBeRemoved, this, enter);
  connect(model_, &QAbstractItemModel::rowsRemoved, this, leave);
  connect(model_, &QAbstractItemModel::rowsAboutToBeInserted, this, enter);
  connect(model_, &QAbstractItemModel::rowsInserted, this, leave);
  connect(model_, &QAbstractItemModel::modelAboutToBeReset, this, enter);
  connect(model_, &QAbstractItemModel::modelReset, this, leave);
  // After the guards, so that they run before the selection model reacts to the same signals.
  setModel(model_);
  connect(model_, &QAbstractItemModel::rowsInserted, this, [this] {
    if (!sized_) SizeColumns();
  });
  model_->OnUpdateData = [this] { CommitEdit(); };
}

void TDBGrid::SizeColumns() {
  // Columns fit their titles and the first rows, never a scan of the whole table.
  sized_ = true;
  horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  const int rows = std::min(model_->rowCount(), 40);
  for (int column = 0; column < model_->columnCount(); ++column) {
    int width = horizontalHeader()->fontMetrics().horizontalAdvance(
                    model_->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString()) +
                24;
    for (int row = 0; row < rows; ++row) {
      const QString text = model_->data(model_->index(row, column), Qt::DisplayRole).toString();
      width = std::max(width, fontMetrics().horizontalAdvance(text) + 16);
    }
    setColumnWidth(column, std::min(width, 320));
  }
}

void TDBGrid::SetDataSource(TDataSource* source) {
  model_->SetDataSource(source);
}

void TDBGrid::CommitEdit() {
  if (state() != QAbstractItemView::EditingState) return;
  QWidget* editor = indexWidget(currentIndex());
  if (editor == nullptr) editor = QApplication::focusWidget();
  if (editor == nullptr || !isAncestorOf(editor)) return;
  // The dataset is already storing; a second store from inside this commit must not start.
  const bool wasFollowing = following_;
  following_ = true;
  commitData(editor);
  closeEditor(editor, QAbstractItemDelegate::NoHint);
  following_ = wasFollowing;
}

void TDBGrid::FollowCursor(int row) {
  if (moving_) {
    pendingRow_ = row;
    return;
  }
  following_ = true;
  if (row < 0) {
    selectionModel()->clearCurrentIndex();
    clearSelection();
  } else {
    const int column = std::max(currentIndex().column(), 0);
    const QModelIndex target = model_->index(row, column);
    if (currentIndex() != target)
      selectionModel()->setCurrentIndex(target, QItemSelectionModel::ClearAndSelect);
    scrollTo(target);
  }
  following_ = false;
}

void TDBGrid::Run(const std::function<void()>& action) {
  try {
    action();
  } catch (const EAbort&) {
  } catch (const std::exception& error) {
    if (model_->Source() != nullptr) model_->Source()->ReportError(error.what());
  }
}

void TDBGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
  // The base commits an open editor of the previous cell into the cursor's record first.
  QTableView::currentChanged(current, previous);
  if (following_ || changing_ > 0 || !current.isValid() || current.row() == model_->CurrentRow())
    return;
  TDbf* table = model_->Table();
  const std::int32_t record = model_->RecordAt(current.row());
  if (table == nullptr || record < 0) return;
  moving_ = true;
  pendingRow_ = -2;
  Run([&] { table->GotoBookmark(record); });
  moving_ = false;
  // Back to where the cursor is when the move failed, or when a post placed the record.
  const int cursorRow = pendingRow_ != -2 ? pendingRow_ : model_->CurrentRow();
  if (cursorRow != current.row()) FollowCursor(cursorRow);
}

bool TDBGrid::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
  if (!QTableView::edit(index, trigger, event)) return false;
  // An open cell editor is a change in progress: the cursor goes into edit state at once, so
  // that a move or a post asks the grid for the text first instead of dropping it.
  TDbf* table = model_->Table();
  if (table == nullptr || !table->Active() || table->State() != TDataSetState::dsBrowse)
    return true;
  bool started = false;
  startingEdit_ = true;
  Run([&] {
    table->Edit();
    started = true;
  });
  startingEdit_ = false;
  if (!started) {
    if (QWidget* editor = indexWidget(index))
      closeEditor(editor, QAbstractItemDelegate::RevertModelCache);
    else if (QWidget* focused = QApplication::focusWidget();
             focused != nullptr && isAncestorOf(focused))
      closeEditor(focused, QAbstractItemDelegate::RevertModelCache);
    return false;
  }
  return true;
}

void TDBGrid::dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                          const QList<int>& roles) {
  // The values did not change, only the state; refreshing would overwrite the typed key.
  if (startingEdit_) {
    viewport()->update();
    return;
  }
  QTableView::dataChanged(topLeft, bottomRight, roles);
}

void TDBGrid::keyPressEvent(QKeyEvent* event) {
  TDbf* table = model_->Table();
  if (table != nullptr && table->Active() && state() != QAbstractItemView::EditingState) {
    const bool editing =
        table->State() == TDataSetState::dsEdit || table->State() == TDataSetState::dsInsert;
    if (event->key() == Qt::Key_Insert && event->modifiers() == Qt::NoModifier) {
      Run([&] { table->Insert(); });
      return;
    }
    if (event->key() == Qt::Key_Escape && editing) {
      Run([&] { table->Cancel(); });
      return;
    }
  }
  QTableView::keyPressEvent(event);
}

}  // namespace tavlo
