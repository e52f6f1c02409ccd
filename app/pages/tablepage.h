// TTablePage: the "Table" page — the buttons that open and close a table, the switch that
// shows deleted records, "Recall", the find bar and the grid DBGrid1 over the shell's data
// source. It never opens a table itself: it asks the shell; every change of the records the
// grid shows (order, deleted records) goes through the shell's ChangeRecordSet.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <QWidget>

namespace tavlo {

class TDBGrid;
class TPageHost;

class TTablePage : public QWidget {
  Q_OBJECT
 public:
  explicit TTablePage(TPageHost& host, QWidget* parent = nullptr);

  void btnopenClick();
  void btncloseClick();
  // Ascending, then descending, then physical order by the field of column.
  void TitleClick(int column);
  void chkdeletedClick();
  void btnrecallClick();
  // Opens the find bar with the focus in its text.
  void ShowFindBar();
  // Finds the next (previous) matching record in the grid's order and moves there; false
  // (and "Not found" in the bar) when there is none.
  bool FindNext(bool backward = false);

  QToolButton* btnopen = nullptr;
  QToolButton* btnclose = nullptr;
  QCheckBox* chkdeleted = nullptr;
  QToolButton* btnrecall = nullptr;
  QToolButton* btnfind = nullptr;
  QWidget* findBar = nullptr;
  QLineEdit* txtfind = nullptr;
  QCheckBox* chkmatchcase = nullptr;
  QCheckBox* chkwholefield = nullptr;
  QComboBox* cbfindwhere = nullptr;  // "Current column" or "All columns"
  QLabel* lblfind = nullptr;
  TDBGrid* DBGrid1 = nullptr;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  TPageHost& host_;
};

}  // namespace tavlo
