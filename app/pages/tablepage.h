// TTablePage: the "Table" page — the buttons that open and close a table, the code page the
// table is read in (with a choice of another) and the grid DBGrid1 over the shell's data
// source. It never opens a table itself: it asks the shell. When a table opens whose text the
// locale's ANSI page cannot show, it switches the session's page before the grid reads.
#pragma once

#include <QLabel>
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

  QToolButton* btnopen = nullptr;
  QToolButton* btnclose = nullptr;
  QToolButton* btncodepage = nullptr;
  QLabel* lblCodePage = nullptr;
  TDBGrid* DBGrid1 = nullptr;
  // "Table information", "Check table", "Pack table", "Append from CSV...", "Export CSV...".
  TTableMaintenance* maintenance = nullptr;

 private:
  class ActiveLink;
  void TableActiveChanged();
  TPageHost& host_;
  std::unique_ptr<ActiveLink> link_;
};

}  // namespace tavlo
