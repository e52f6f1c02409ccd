// The "Table Designer" page.
#include "app/pages/designerpage.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>
#include <optional>

#include "workspace/tabledefinition.h"
#include "app/host/qtdesktophost.h"
#include "app/pages/pagehost.h"
#include "app/widgets/buttonpanel.h"
#include "dbf/tdbf.h"
#include "platform/desktophost.h"
#include "platform/filesystem.h"
#include "text/qelstrings.h"
#include "workspace/workspacefolders.h"

namespace tavlo {

namespace {

const char* const kInsertCaptions[] = {"name=\"",          "size=\"",          "type=\"string\"",
                                       "type=\"integer\"", "type=\"boolean\"", "type=\"date\"",
                                       "type=\"float\"",   "type=\"memo\""};

}  // namespace

TDesignerPage::TDesignerPage(TPageHost& host, QWidget* parent) : QWidget(parent), host_(host) {
  setObjectName("pageDesigner");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->setSpacing(2);
  auto* panel = new ButtonPanel(this);
  panel->setObjectName("pnlDesignerButtons");
  btncreate = panel->AddButton("btncreate", "Create Table", "document-new", IconShape::Table,
                               QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_N));
  auto* hint = new QLabel(
      "One field per line, for example:  name=\"CITY\" type=\"string\" "
      "size=\"30\"",
      panel);
  hint->setObjectName("lblDesignerHint");
  hint->setEnabled(false);
  panel->AddSeparator();
  panel->AddWidget(hint);
  panel->AddStretch();
  connect(btncreate, &QToolButton::clicked, this, &TDesignerPage::CreateTableFromDefinition);
  layout->addWidget(panel);

  auto* body = new QHBoxLayout;
  body->setSpacing(4);
  Memo1 = new QPlainTextEdit(this);
  Memo1->setObjectName("Memo1");
  Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setTabChangesFocus(true);
  Memo1->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  Memo1->setAccessibleName("Table definition");
  body->addWidget(Memo1, 1);

  auto* buttons = new QVBoxLayout;
  buttons->setSpacing(3);
  for (const char* caption : kInsertCaptions) {
    auto* button = new QPushButton(QString::fromLatin1(caption), this);
    button->setObjectName(QString("btninsert%1").arg(insertButtons.size() + 1));
    // Clicking must leave the caret in the memo, where the text goes.
    button->setFocusPolicy(Qt::NoFocus);
    button->setMinimumWidth(button->sizeHint().width() + 16);
    button->setToolTip(QString("Insert %1 at the cursor").arg(caption));
    connect(button, &QPushButton::clicked, this, &TDesignerPage::btninsertClick);
    buttons->addWidget(button);
    insertButtons.push_back(button);
  }
  buttons->addStretch(1);
  body->addLayout(buttons);
  layout->addLayout(body, 1);
}

void TDesignerPage::btninsertClick() {
  auto* button = qobject_cast<QPushButton*>(sender());
  if (button == nullptr) return;
  Memo1->insertPlainText(button->text());
  Memo1->setFocus();
}

void TDesignerPage::CreateTableFromDefinition() {
  const std::string text = ToAnsi(Memo1->toPlainText());
  if (SplitLines(text).empty()) return;
  const std::optional<std::string> chosen = Host().SaveFileDialog(
      "Create Table", "Dbase files (*.dbf)|*.dbf", host_.Workspace().TablesFolder(), "dbf");
  if (!chosen) return;
  const std::string path = TableFileForDefinition(*chosen);
  if (Files().FileExists(path)) {
    host_.ShowError(TableExistsMessage(path));
    return;
  }
  host_.CloseTable();
  host_.ShowStatus("");
  try {
    TDbf& cursor = host_.Cursor();
    cursor.FieldDefs().clear();
    const TableDefinitionOutcome outcome = tavlo::CreateTableFromDefinition(cursor, path, text);
    if (outcome.complete) {
      host_.ShowStatus("Table created: " + path);
    } else {
      // No message box for an unfinished definition; the status bar says which line.
      host_.ShowStatus("No table created: line " + std::to_string(outcome.failedLine) + " has no " +
                       outcome.missing);
    }
  } catch (const std::exception& error) {
    host_.Cursor().FieldDefs().clear();
    host_.ShowError(error.what());
  }
}

}  // namespace tavlo
