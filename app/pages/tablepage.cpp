// The "Table" page: open and close buttons over the grid.
#include "app/pages/tablepage.h"

#include <QVBoxLayout>
#include <optional>

#include "app/data/dbgrid.h"
#include "app/pages/pagehost.h"
#include "app/pages/tablemaintenance.h"
#include "app/widgets/buttonpanel.h"
#include "platform/desktophost.h"
#include "platform/filenames.h"

namespace tavlo {

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
  panel->AddStretch();
  connect(btnopen, &QToolButton::clicked, this, &TTablePage::btnopenClick);
  connect(btnclose, &QToolButton::clicked, this, &TTablePage::btncloseClick);
  layout->addWidget(panel);
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

}  // namespace tavlo
