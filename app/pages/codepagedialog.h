// TCodePageDialog: the list of code pages the open table can be read in, with its first
// records previewed in the page selected, for the "Table" page's "Code page" button. It only
// reads the table; choosing is the page's business.
#pragma once

#include <QDialog>
#include <vector>

class QListWidget;
class QTableWidget;

namespace tavlo {

class TDbf;

class TCodePageDialog : public QDialog {
  Q_OBJECT
 public:
  // current: the page in use (0: the OEM page, the table names none).
  TCodePageDialog(TDbf& table, int current, QWidget* parent = nullptr);
  // The page chosen; 0 means "as the table says".
  int ChosenPage() const;

  QListWidget* lstPages = nullptr;
  QTableWidget* grdPreview = nullptr;

 private:
  void ShowPreview();
  TDbf& table_;
};

// The pages offered, in the order listed.
const std::vector<int>& OfferedCodePages();

}  // namespace tavlo
