// The "Form" page: the record filter's buttons, the palette and the form area.
#include "app/pages/formpage.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>

#include "app/core/recordfilter.h"
#include "app/host/qtdesktophost.h"
#include "app/pages/pagehost.h"
#include "app/widgets/buttonpanel.h"

namespace tavlo {

TFormPage::TFormPage(TPageHost& host, QWidget* parent) : QWidget(parent), host_(host) {
  setObjectName("pageForm");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->setSpacing(2);
  auto* panel = new ButtonPanel(this);
  panel->setObjectName("pnlFormButtons");
  panel->AddStretch();
  auto* label = new QLabel("Filter:", panel);
  panel->AddWidget(label);
  txtfilter = new QLineEdit(panel);
  txtfilter->setObjectName("txtfilter");
  txtfilter->setPlaceholderText(">CITY.get 'Paris' =");
  txtfilter->setClearButtonEnabled(true);
  txtfilter->setMinimumWidth(260);
  label->setBuddy(txtfilter);
  panel->AddWidget(txtfilter, 1);
  // Their shortcuts belong to the main window, so that they work from every page.
  btnfilter = panel->AddButton("btnfilter", "Filter", "view-filter", IconShape::Filter);
  btnshowall = panel->AddButton("btnshowall", "Show all", "edit-clear-all", IconShape::ShowAll);
  connect(btnfilter, &QToolButton::clicked, this, &TFormPage::btnfilterClick);
  connect(btnshowall, &QToolButton::clicked, this, &TFormPage::btnshowallClick);
  connect(txtfilter, &QLineEdit::returnPressed, this, &TFormPage::btnfilterClick);
  layout->addWidget(panel);

  auto* body = new QHBoxLayout;
  body->setSpacing(2);
  pnlPalette = new QFrame(this);
  pnlPalette->setObjectName("pnlPalette");
  auto* paletteLayout = new QVBoxLayout(pnlPalette);
  paletteLayout->setContentsMargins(2, 2, 2, 2);
  paletteLayout->addStretch(1);
  pnlPalette->setVisible(false);
  body->addWidget(pnlPalette);
  auto* scroll = new QScrollArea(this);
  scroll->setObjectName("scrollForm");
  scroll->setWidgetResizable(false);
  formArea = new QWidget;
  formArea->setObjectName("formArea");
  formArea->resize(600, 400);
  scroll->setWidget(formArea);
  body->addWidget(scroll, 1);
  layout->addLayout(body, 1);
}

void TFormPage::btnfilterClick() {
  if (host_.CurrentTable().empty()) return;
  try {
    host_.Filter().SetFilterText(ToAnsi(txtfilter->text()));
  } catch (const std::exception& error) {
    host_.ShowError(error.what());
    return;
  }
  // The grid learns nothing while the cursor looks for its first record: a failing script
  // is then reported once, by the cursor's move.
  host_.ChangeRecordSet([this] { host_.Filter().Apply(); });
}

void TFormPage::btnshowallClick() {
  host_.ChangeRecordSet([this] { host_.Filter().ShowAll(); });
}

void TFormPage::CloseForm() {
  formFile.clear();
  for (QWidget* child : formArea->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
    delete child;
}

}  // namespace tavlo
