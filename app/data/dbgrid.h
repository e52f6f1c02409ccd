// TDBGrid: the data grid on a data source, one column per field titled by its name. Selecting
// a row moves the cursor there (storing a pending edit first); typing in a cell edits the
// cursor's record. The view follows the cursor when something else moves it.
#pragma once

#include <QTableView>

#include "app/data/datasource.h"
#include "app/data/gridmodel.h"

namespace tavlo {

class TDBGrid : public QTableView {
  Q_OBJECT
 public:
  explicit TDBGrid(QWidget* parent = nullptr);
  void SetDataSource(TDataSource* source);
  GridModel* Model() const { return model_; }
  // Stores the text of an open cell editor into the cursor's record.
  void CommitEdit();

 protected:
  void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
  void dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                   const QList<int>& roles = QList<int>()) override;

 private:
  void FollowCursor(int row);
  void SizeColumns();
  void Run(const std::function<void()>& action);

  GridModel* model_;
  bool following_ = false;     // the view is being moved to the cursor's row
  bool moving_ = false;        // the cursor is being moved to the view's row
  int pendingRow_ = -2;        // the cursor's row announced while moving_
  bool startingEdit_ = false;  // the cursor enters edit state for a just opened editor
  int changing_ = 0;           // inside a change of the model's rows
  bool sized_ = false;         // columns fitted to the rows of the open table
};

}  // namespace tavlo
