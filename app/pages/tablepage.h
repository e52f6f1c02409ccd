// TTablePage: the "Table" page — the buttons that open and close a table and the grid DBGrid1
// over the shell's data source. It never opens a table itself: it asks the shell.
#pragma once

#include <QToolButton>
#include <QWidget>

namespace tavlo {

class TDBGrid;
class TPageHost;
class TTableMaintenance;

class TTablePage : public QWidget {
  Q_OBJECT
 public:
  explicit TTablePage(TPageHost& host, QWidget* parent = nullptr);

  void btnopenClick();
  void btncloseClick();

  QToolButton* btnopen = nullptr;
  QToolButton* btnclose = nullptr;
  TDBGrid* DBGrid1 = nullptr;
  // "Table information", "Check table", "Pack table", "Append from CSV...", "Export CSV...".
  TTableMaintenance* maintenance = nullptr;

 private:
  TPageHost& host_;
};

}  // namespace tavlo
