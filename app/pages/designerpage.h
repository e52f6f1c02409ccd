// TDesignerPage: the "Table Designer" page — the definition memo Memo1 (one field per line as
// name="..." type="..." size="..."), the eight buttons that type the attributes, and "Create
// Table", which makes an empty table file from the definition. It reaches the shell only
// through TPageHost and never opens the table it made.
#pragma once

#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>
#include <QWidget>
#include <vector>

namespace tavlo {

class TPageHost;

class TDesignerPage : public QWidget {
  Q_OBJECT
 public:
  explicit TDesignerPage(TPageHost& host, QWidget* parent = nullptr);

  // Inserts the clicked insert button's caption at Memo1's caret, replacing the selection.
  void btninsertClick();
  // "Create Table": asks for the file, closes the open table and creates the new one.
  void CreateTableFromDefinition();

  QToolButton* btncreate = nullptr;
  QPlainTextEdit* Memo1 = nullptr;
  // Top to bottom: name=", size=", then the six type words.
  std::vector<QPushButton*> insertButtons;

 private:
  TPageHost& host_;
};

}  // namespace tavlo
