// TTableMaintenance: the maintenance buttons of the "Table" page — "Table information",
// "Open index...", "Check table", "Pack table", "Append from CSV..." and "Export CSV..." — and what
// they do to the open table through the page host. The page owns it; it adds its buttons to the
// page's button strip.
#pragma once

#include <QObject>
#include <QToolButton>
#include <functional>
#include <string>

namespace tavlo {

class ButtonPanel;
class TPageHost;

class TTableMaintenance : public QObject {
  Q_OBJECT
 public:
  TTableMaintenance(TPageHost& host, ButtonPanel& panel, QObject* parent);

  void btninfoClick();
  void btnindexClick();
  void btncheckClick();
  void btnpackClick();
  void btnimportClick();
  void btnexportClick();

  QToolButton* btninfo = nullptr;
  QToolButton* btnindex = nullptr;
  QToolButton* btncheck = nullptr;
  QToolButton* btnpack = nullptr;
  QToolButton* btnimport = nullptr;
  QToolButton* btnexport = nullptr;
  // Called once "Open index..." has attached a file (the page offers its tags).
  std::function<void()> OnIndexAttached;

 private:
  // The open table's path; "" (and a message) when no table is open.
  std::string OpenTablePath();
  TPageHost& host_;
};

}  // namespace tavlo
