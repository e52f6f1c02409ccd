// The "Table" page: open and close buttons, the code page in use, and the grid.
#include "app/pages/tablepage.h"

#include <QVBoxLayout>
#include <optional>

#include "app/data/datasource.h"
#include "app/data/dbgrid.h"
#include "app/host/qtdesktophost.h"
#include "app/pages/codepagedialog.h"
#include "app/pages/pagehost.h"
#include "app/pages/tablemaintenance.h"
#include "app/widgets/buttonpanel.h"
#include "dbf/datalink.h"
#include "dbf/tdbf.h"
#include "platform/codepage.h"
#include "platform/desktophost.h"
#include "platform/filenames.h"
#include "platform/textcodec.h"

namespace tavlo {

// Hears the cursor open and close. It is attached before the grid's link, so the session's
// page is settled before the grid reads a record.
class TTablePage::ActiveLink : public TDataLink {
 public:
  explicit ActiveLink(TTablePage& page) : page_(page) {}
  void ActiveChanged() override { page_.TableActiveChanged(); }

 private:
  TTablePage& page_;
};

TTablePage::~TTablePage() = default;

TTablePage::TTablePage(TPageHost& host, QWidget* parent) : QWidget(parent), host_(host) {
  setObjectName("pageTable");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->setSpacing(2);
  auto* panel = new ButtonPanel(this);
  // The drawn folder: the desktop theme's pale one reads as a disabled button.
  btnopen = panel->AddButton("btnopen", "Open database", "", IconShape::Open, QKeySequence::Open);
  btnclose = panel->AddButton("btnclose", "Close database", "window-close", IconShape::Close,
                              QKeySequence(Qt::CTRL | Qt::Key_W));
  maintenance = new TTableMaintenance(host_, *panel, this);
  panel->AddSeparator();
  btncodepage =
      panel->AddButton("btncodepage", "Code page", "preferences-desktop-locale", IconShape::Open);
  btncodepage->setEnabled(false);
  lblCodePage = new QLabel(this);
  lblCodePage->setObjectName("lblCodePage");
  panel->AddWidget(lblCodePage);
  panel->AddStretch();
  connect(btnopen, &QToolButton::clicked, this, &TTablePage::btnopenClick);
  connect(btnclose, &QToolButton::clicked, this, &TTablePage::btncloseClick);
  connect(btncodepage, &QToolButton::clicked, this, &TTablePage::btncodepageClick);
  layout->addWidget(panel);
  link_ = std::make_unique<ActiveLink>(*this);
  link_->SetDataSet(&host_.Cursor());
  DBGrid1 = new TDBGrid(this);
  DBGrid1->SetDataSource(&host_.Data());
  layout->addWidget(DBGrid1, 1);
}

void TTablePage::btnopenClick() {
  const std::string& last = host_.LastFile();
  const std::string start = last.empty() ? host_.ExeFolder() + "tables" : ExtractFilePath(last);
  const std::optional<std::string> chosen =
      Host().OpenFileDialog("Open database", "Dbase files (*.dbf)|*.dbf", start);
  if (chosen) host_.OpenTable(*chosen, true);
}

void TTablePage::btncloseClick() {
  host_.CloseTable();
}

void TTablePage::TableActiveChanged() {
  TDbf& table = host_.Cursor();
  const bool open = table.Active() && table.DbfFile() != nullptr;
  btncodepage->setEnabled(open);
  if (!open) {
    lblCodePage->clear();
    return;
  }
  try {
    UseSessionAnsiCodePage(SuitableAnsiPage(table.DbfFile()->CodePage(), DefaultAnsiCodePage()));
  } catch (const std::exception& error) {
    host_.ShowError(error.what());
  }
  lblCodePage->setText("Code page: " + FromAnsi(table.DbfFile()->CodePageDescription()));
}

void TTablePage::btncodepageClick() {
  TDbf& table = host_.Cursor();
  if (!table.Active()) return;
  TCodePageDialog dialog(table, table.CodePage(), this);
  if (dialog.exec() != QDialog::Accepted) return;
  UseCodePage(dialog.ChosenPage());
}

void TTablePage::UseCodePage(int page) {
  TDbf& table = host_.Cursor();
  if (!table.Active()) return;
  host_.ChangeRecordSet([&] {
    table.SetCodePage(page);
    UseSessionAnsiCodePage(SuitableAnsiPage(table.DbfFile()->CodePage(), DefaultAnsiCodePage()));
    table.First();
  });
  lblCodePage->setText("Code page: " + FromAnsi(table.DbfFile()->CodePageDescription()));
}

}  // namespace tavlo
