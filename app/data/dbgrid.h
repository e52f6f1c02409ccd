// TDBGrid: the data grid on a data source, one column per field titled by its name. Selecting
// a row moves the cursor there (storing a pending edit first); typing in a cell edits the
// cursor's record. The view follows the cursor when something else moves it. A cell whose
// text the field refuses keeps its editor open and the cursor where it is: nothing is stored
// until the text is corrected or dropped (Esc). A memo cell opens the memo editor on a
// double-click or F2.
//
// A key that starts an edit goes to the editor of the cell it was typed in, however fast it
// follows the click: a click on the selected cell opens its editor as soon as its release is
// handled (the view would wait for a possible double-click and meanwhile refuse keys), and a
// typed letter never
// searches the rows (the view's keyboard search would move to another record, dropping a new
// one, and the next keys would edit that record).
#pragma once

#include <QPersistentModelIndex>
#include <QTableView>
#include <functional>

#include "app/data/datasource.h"
#include "app/data/gridmodel.h"

namespace tavlo {

class TDBGrid : public QTableView {
  Q_OBJECT
 public:
  explicit TDBGrid(QWidget* parent = nullptr);
  void SetDataSource(TDataSource* source);
  GridModel* Model() const { return model_; }
  // Stores the text of an open cell editor into the cursor's record. When the field refuses
  // it (the message is shown) the editor stays open and EAbort is raised, so that the post or
  // move that asked for the text stops.
  void CommitEdit();
  // Opens the memo editor on the memo field of column for the cursor's record; OK stores the
  // edited text into the record (starting an edit). False when nothing was stored.
  bool EditMemo(int column);
  // A cell editor is open.
  bool CellEditorOpen() const { return state() == QAbstractItemView::EditingState; }
  // The selected rectangle of cells as tab-separated display texts, one line per row,
  // headed by the field names when whole columns are selected; empty without a selection.
  QString SelectionText() const;
  // Puts SelectionText on the clipboard (Ctrl+C).
  void CopySelection();
  // Shows the cursor's order as the header's arrow.
  void ShowOrder();
  // A click on a column title (the table page orders the cursor by it).
  std::function<void(int column)> OnTitleClick;

 protected:
  void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
  void keyboardSearch(const QString& search) override;
  void dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                   const QList<int>& roles = QList<int>()) override;
  void commitData(QWidget* editor) override;
  void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;
  bool event(QEvent* event) override;

 private:
  void FollowCursor(int row);
  void SizeColumns();
  bool IsMemoColumn(int column) const;
  void KeepRefusedCell();
  void Run(const std::function<void()>& action);

  GridModel* model_;
  bool following_ = false;     // the view is being moved to the cursor's row
  bool moving_ = false;        // the cursor is being moved to the view's row
  int pendingRow_ = -2;        // the cursor's row announced while moving_
  bool startingEdit_ = false;  // the cursor enters edit state for a just opened editor
  int changing_ = 0;           // inside a change of the model's rows
  bool sized_ = false;         // columns fitted to the fields of the open table
  bool commitFailed_ = false;  // the open editor's text was refused: it stays open
  bool committing_ = false;    // inside a commit of an editor's text
  QVariant refused_;           // the editor's text the field refused last
  // The trigger of the last edit the view asked for (a release after a double-click opens
  // nothing), and the selected cell a click is to open once its release is handled.
  EditTrigger lastTrigger_ = QAbstractItemView::NoEditTriggers;
  QPersistentModelIndex clickedCell_;
};

}  // namespace tavlo
