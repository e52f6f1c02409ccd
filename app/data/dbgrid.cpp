// The data grid.
#include "app/data/dbgrid.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMetaProperty>

#include "app/data/griddelegate.h"
#include "app/dialogs/memoeditf.h"
#include "app/host/qtdesktophost.h"
#include "dbf/fields.h"

namespace tavlo {

TDBGrid::TDBGrid(QWidget* parent) : QTableView(parent), model_(new GridModel(this)) {
  setObjectName("DBGrid1");
  setSelectionBehavior(QAbstractItemView::SelectItems);
  // A rectangle of cells can be selected for copying.
  setSelectionMode(QAbstractItemView::ContiguousSelection);
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
  // A title click orders the table (ascending, descending, physical); it selects nothing.
  disconnect(horizontalHeader(), &QHeaderView::sectionPressed, this, nullptr);
  disconnect(horizontalHeader(), &QHeaderView::sectionEntered, this, nullptr);
  horizontalHeader()->setSectionsClickable(true);
  horizontalHeader()->setSortIndicatorShown(false);
  connect(horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int column) {
    if (OnTitleClick) OnTitleClick(column);
    ShowOrder();
  });
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
  setItemDelegate(new TGridDelegate(*model_, this));
  connect(model_, &QAbstractItemModel::modelReset, this, [this] {
    if (!sized_ && model_->columnCount() > 0) SizeColumns();
  });
  connect(model_, &QAbstractItemModel::modelReset, this, &TDBGrid::ShowOrder);
  model_->OnUpdateData = [this] { CommitEdit(); };
}

void TDBGrid::ShowOrder() {
  TDbf* table = model_->Table();
  QHeaderView* header = horizontalHeader();
  if (table == nullptr || !table->Active() || table->OrderFieldNames().empty()) {
    header->setSortIndicatorShown(false);
    return;
  }
  const TField* first = table->FindField(table->OrderFieldNames().front());
  header->setSortIndicatorShown(first != nullptr);
  if (first != nullptr) {
    header->setSortIndicator(first->FieldNo() - 1,
                             table->OrderDescending() ? Qt::DescendingOrder : Qt::AscendingOrder);
  }
}

QString TDBGrid::SelectionText() const {
  const QModelIndexList selected = selectionModel()->selectedIndexes();
  if (selected.isEmpty()) return QString();
  int top = selected.front().row(), bottom = top;
  int left = selected.front().column(), right = left;
  for (const QModelIndex& index : selected) {
    top = std::min(top, index.row());
    bottom = std::max(bottom, index.row());
    left = std::min(left, index.column());
    right = std::max(right, index.column());
  }
  QStringList lines;
  bool wholeColumns = model_->rowCount() > 0;
  for (int column = left; column <= right && wholeColumns; ++column) {
    wholeColumns = selectionModel()->isColumnSelected(column);
  }
  if (wholeColumns) {
    QStringList names;
    for (int column = left; column <= right; ++column) {
      names << model_->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
    }
    lines << names.join('\t');
  }
  for (int row = top; row <= bottom; ++row) {
    QStringList cells;
    for (int column = left; column <= right; ++column) {
      const QModelIndex index = model_->index(row, column);
      // A logical cell shows a check box; its text is what the field shows elsewhere.
      QVariant text = model_->data(index, Qt::DisplayRole);
      if (!text.isValid()) text = model_->data(index, Qt::EditRole);
      QString cell = text.toString();
      cell.replace('\t', ' ').replace('\n', ' ').replace('\r', ' ');
      cells << cell;
    }
    lines << cells.join('\t');
  }
  return lines.join('\n') + '\n';
}

void TDBGrid::CopySelection() {
  const QString text = SelectionText();
  if (!text.isEmpty()) QApplication::clipboard()->setText(text);
}

void TDBGrid::SizeColumns() {
  // Widths come from the fields, never from the rows on screen, so that they stay put when a
  // filter or a scroll changes the rows.
  sized_ = true;
  horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  const int character = fontMetrics().horizontalAdvance('0');
  TDbf* table = model_->Table();
  for (int column = 0; column < model_->columnCount(); ++column) {
    int width = horizontalHeader()->fontMetrics().horizontalAdvance(
                    model_->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString()) +
                24;
    int characters = model_->FieldLength(column);
    if (table != nullptr && table->Active()) {
      switch (table->Fields(column).DataType()) {
        case TFieldType::ftDate:
          characters = 10;
          break;
        case TFieldType::ftMemo:
          characters = 6;
          break;
        default:
          break;
      }
    }
    width = std::max(width, characters * character + 16);
    setColumnWidth(column, std::min(width, 320));
  }
}

bool TDBGrid::IsMemoColumn(int column) const {
  TDbf* table = model_->Table();
  return table != nullptr && table->Active() && column >= 0 && column < table->FieldCount() &&
         table->Fields(column).DataType() == TFieldType::ftMemo;
}

bool TDBGrid::EditMemo(int column) {
  TDbf* table = model_->Table();
  if (table == nullptr || !table->Active() || !IsMemoColumn(column) || table->IsEmpty())
    return false;
  TField& field = table->Fields(column);
  bool stored = false;
  Run([&] {
    const QString text = FromAnsi(field.TextValue());
    const std::optional<QString> edited =
        TMemoEditF::Edit(FromAnsi(field.FieldName()), text, table->ReadOnly(), this);
    if (!edited) return;
    QString typed = *edited;
    typed.replace("\r\n", "\n");
    typed.replace("\n", "\r\n");  // memos keep the program's line ends
    const std::string value = ToAnsi(typed);
    if (value == field.TextValue()) return;
    if (table->State() == TDataSetState::dsBrowse) table->Edit();
    field.SetTextValue(value);
    stored = true;
  });
  return stored;
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
  refused_ = QVariant();  // a post or a move asks afresh, and hears why not
  commitData(editor);
  closeEditor(editor, QAbstractItemDelegate::NoHint);
  following_ = wasFollowing;
  if (commitFailed_) throw EAbort();
}

void TDBGrid::commitData(QWidget* editor) {
  // The refusal's message box takes the focus from the editor, and a key that moves to
  // another cell takes it too before the move commits: each would commit the same text
  // again. One refusal, one message.
  if (committing_) return;
  const QByteArray property = editor->metaObject()->userProperty().name();
  const QVariant typed = property.isEmpty() ? QVariant() : editor->property(property);
  if (commitFailed_ && typed.isValid() && typed == refused_) return;
  committing_ = true;
  QTableView::commitData(editor);
  committing_ = false;
  commitFailed_ = model_->WriteFailed();
  refused_ = commitFailed_ ? typed : QVariant();
}

void TDBGrid::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
  if (committing_) return;
  if (commitFailed_ && hint != QAbstractItemDelegate::RevertModelCache) {
    // The field refused the text: the user corrects it or drops it with Esc.
    editor->setFocus();
    return;
  }
  commitFailed_ = false;
  QTableView::closeEditor(editor, hint);
}

bool TDBGrid::event(QEvent* event) {
  // F2 edits the current cell (a memo in the memo editor) before the navigator's shortcut
  // sees it.
  if (event->type() == QEvent::ShortcutOverride) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_F2 && key->modifiers() == Qt::NoModifier &&
        state() != QAbstractItemView::EditingState && currentIndex().isValid()) {
      event->accept();
      return true;
    }
  }
  return QTableView::event(event);
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
  if (commitFailed_ && previous.isValid() && !following_) {
    // Its text was refused: stay on that cell with the editor open, the cursor unmoved.
    following_ = true;
    selectionModel()->setCurrentIndex(previous, QItemSelectionModel::ClearAndSelect);
    following_ = false;
    if (QWidget* editor = indexWidget(previous)) editor->setFocus();
    return;
  }
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
  if (index.isValid() && IsMemoColumn(index.column()) &&
      (trigger == QAbstractItemView::DoubleClicked ||
       trigger == QAbstractItemView::EditKeyPressed)) {
    if (index.row() == model_->CurrentRow()) EditMemo(index.column());
    return false;
  }
  const EditTrigger lastTrigger = lastTrigger_;
  lastTrigger_ = trigger;
  if (trigger == QAbstractItemView::SelectedClicked) {
    // The view opens the editor of a click on the selected cell only after the double-click
    // time, and refuses every key until then: the first letters typed at once were lost, or
    // searched for. A double-click opens the same editor, so there is nothing to wait for:
    // it opens as soon as the release is handled (inside it, the view would end the editing
    // state it had just begun). A check box still takes the click itself.
    if (QTableView::edit(index, QAbstractItemView::NoEditTriggers, event)) return true;
    if (lastTrigger == QAbstractItemView::DoubleClicked ||
        !(model_->flags(index) & Qt::ItemIsEditable))
      return false;
    clickedCell_ = index;
    return true;
  }
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

void TDBGrid::keyboardSearch(const QString&) {
  // Typing edits the current cell; Find (Ctrl+F) searches. A key the cell does not take (a
  // read-only field) goes nowhere rather than to another record.
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
    const bool editing = IsEditing(table->State());
    if (event->key() == Qt::Key_Insert && event->modifiers() == Qt::NoModifier) {
      Run([&] { table->Insert(); });
      return;
    }
    if (event->key() == Qt::Key_Escape && editing) {
      Run([&] { table->Cancel(); });
      return;
    }
    if (event->matches(QKeySequence::Copy)) {
      CopySelection();
      return;
    }
  }
  QTableView::keyPressEvent(event);
  KeepRefusedCell();
}

void TDBGrid::mousePressEvent(QMouseEvent* event) {
  QTableView::mousePressEvent(event);
  KeepRefusedCell();
}

void TDBGrid::mouseReleaseEvent(QMouseEvent* event) {
  clickedCell_ = QPersistentModelIndex();
  QTableView::mouseReleaseEvent(event);
  const QModelIndex cell = clickedCell_;
  clickedCell_ = QPersistentModelIndex();
  // Before any key that followed the click is handled.
  if (cell.isValid() && cell == currentIndex())
    edit(cell, QAbstractItemView::EditKeyPressed, nullptr);
}

void TDBGrid::KeepRefusedCell() {
  // The key or click selected the cell it aimed at after the move was turned back: the
  // selection belongs with the cell whose text was refused.
  if (!commitFailed_ || !currentIndex().isValid()) return;
  selectionModel()->select(currentIndex(), QItemSelectionModel::ClearAndSelect);
  if (QWidget* editor = indexWidget(currentIndex())) editor->setFocus();
}

}  // namespace tavlo
