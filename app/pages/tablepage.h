// TTablePage: the "Table" page — the buttons that open and close a table, the code page the
// table is read in (with a choice of another), the switch that shows deleted records,
// "Recall", the find bar, the "Order:" row (physical order or a tag of an attached index
// file; a title click orders by a column instead) and the grid DBGrid1 over the shell's data
// source. It never opens a table itself: it asks the shell; every change of the records the grid
// shows (order, code page, deleted records) goes through the shell's ChangeRecordSet. The session's
// page follows each table the shell opens (TTavloF::OpenTable); a page chosen here is followed the
// same way.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <QWidget>
#include <memory>

namespace tavlo {

class TDBGrid;
class TPageHost;
class TTableMaintenance;

class TTablePage : public QWidget {
  Q_OBJECT
 public:
  explicit TTablePage(TPageHost& host, QWidget* parent = nullptr);

  ~TTablePage() override;

  void btnopenClick();
  void btncloseClick();
  // Opens the code page choice; a page chosen is used for the open table from then on.
  void btncodepageClick();
  // Uses page (0: as the table says) for the open table and shows the records again.
  void UseCodePage(int page);
  // Ascending, then descending, then physical order by the field of column.
  void TitleClick(int column);
  // Offers "physical" and the open table's tags in cborder (a tag Tavlo does not understand
  // is listed disabled, its reason as tooltip) and shows the order in use.
  void FillOrders();
  // Orders the grid by the tag at index item of cborder (0: physical order); a refusal is
  // shown and the order in use kept.
  void cborderChange(int item);
  void chkdeletedClick();
  void btnrecallClick();
  // Opens the find bar with the focus in its text.
  void ShowFindBar();
  // Finds the next (previous) matching record in the grid's order and moves there; false
  // (and "Not found" in the bar) when there is none.
  bool FindNext(bool backward = false);

  QToolButton* btnopen = nullptr;
  QToolButton* btnclose = nullptr;
  QToolButton* btncodepage = nullptr;
  QLabel* lblCodePage = nullptr;
  QCheckBox* chkdeleted = nullptr;
  QToolButton* btnrecall = nullptr;
  QToolButton* btnfind = nullptr;
  QWidget* findBar = nullptr;
  QLineEdit* txtfind = nullptr;
  QCheckBox* chkmatchcase = nullptr;
  QCheckBox* chkwholefield = nullptr;
  QComboBox* cbfindwhere = nullptr;  // "Current column" or "All columns"
  QLabel* lblfind = nullptr;
  QComboBox* cborder = nullptr;  // "physical", then each tag of the attached index files
  TDBGrid* DBGrid1 = nullptr;
  // "Table information", "Check table", "Pack table", "Append from CSV...", "Export CSV...".
  TTableMaintenance* maintenance = nullptr;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  class ActiveLink;
  void TableActiveChanged();
  // Selects the order in use in cborder without choosing it again.
  void ShowOrderInUse();
  TPageHost& host_;
  std::unique_ptr<ActiveLink> link_;
};

}  // namespace tavlo
