// The "Table" page: open and close buttons, the code page in use, deleted records, the find
// bar, the order row and the grid.
#include "app/pages/tablepage.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QShortcut>
#include <QStandardItemModel>
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
#include "dbf/fields.h"
#include "dbf/tableindexes.h"
#include "dbf/tdbf.h"
#include "platform/codepage.h"
#include "platform/desktophost.h"
#include "platform/filenames.h"
#include "platform/textcodec.h"
#include "workspace/workspacefolders.h"

namespace tavlo {

// Hears the cursor open and close, for the code page label and button.
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
  panel->AddSeparator();
  btnfind = panel->AddButton("btnfind", "Find", "edit-find", IconShape::Filter,
                             QKeySequence(Qt::CTRL | Qt::Key_F));
  btnrecall = panel->AddButton("btnrecall", "Recall", "edit-undo", IconShape::Refresh,
                               QKeySequence(Qt::CTRL | Qt::Key_R));
  chkdeleted = new QCheckBox("Show deleted", panel);
  chkdeleted->setObjectName("chkdeleted");
  panel->AddWidget(chkdeleted);
  panel->AddStretch();
  connect(btnfind, &QToolButton::clicked, this, &TTablePage::ShowFindBar);
  connect(btnrecall, &QToolButton::clicked, this, &TTablePage::btnrecallClick);
  connect(chkdeleted, &QCheckBox::clicked, this, &TTablePage::chkdeletedClick);
  connect(btnopen, &QToolButton::clicked, this, &TTablePage::btnopenClick);
  connect(btnclose, &QToolButton::clicked, this, &TTablePage::btncloseClick);
  connect(btncodepage, &QToolButton::clicked, this, &TTablePage::btncodepageClick);
  layout->addWidget(panel);
  findBar = new QWidget(this);
  findBar->setObjectName("findBar");
  auto* findLayout = new QHBoxLayout(findBar);
  findLayout->setContentsMargins(2, 0, 2, 0);
  findLayout->addWidget(new QLabel("Find:", findBar));
  txtfind = new QLineEdit(findBar);
  txtfind->setObjectName("txtfind");
  txtfind->installEventFilter(this);
  findLayout->addWidget(txtfind, 1);
  chkmatchcase = new QCheckBox("Match case", findBar);
  chkwholefield = new QCheckBox("Whole field", findBar);
  cbfindwhere = new QComboBox(findBar);
  cbfindwhere->addItems({"Current column", "All columns"});
  cbfindwhere->setCurrentIndex(1);
  auto* btnprev = new QToolButton(findBar);
  btnprev->setText("Previous");
  auto* btnnext = new QToolButton(findBar);
  btnnext->setText("Next");
  lblfind = new QLabel(findBar);
  lblfind->setObjectName("lblfind");
  lblfind->setMinimumWidth(80);
  auto* btnhide = new QToolButton(findBar);
  btnhide->setText(QString::fromUtf8("\u2715"));
  btnhide->setToolTip("Close the find bar (Esc)");
  for (QWidget* widget : std::initializer_list<QWidget*>{chkmatchcase, chkwholefield, cbfindwhere,
                                                         btnprev, btnnext, lblfind, btnhide})
    findLayout->addWidget(widget);
  connect(btnnext, &QToolButton::clicked, this, [this] { FindNext(false); });
  connect(btnprev, &QToolButton::clicked, this, [this] { FindNext(true); });
  connect(btnhide, &QToolButton::clicked, findBar, &QWidget::hide);
  connect(txtfind, &QLineEdit::textChanged, lblfind, &QLabel::clear);
  findBar->hide();
  layout->addWidget(findBar);
  // F3 and Shift+F3 search again wherever the focus is on this page.
  auto* again = new QShortcut(QKeySequence(Qt::Key_F3), this);
  again->setContext(Qt::WidgetWithChildrenShortcut);
  connect(again, &QShortcut::activated, this, [this] { FindNext(false); });
  auto* back = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F3), this);
  back->setContext(Qt::WidgetWithChildrenShortcut);
  connect(back, &QShortcut::activated, this, [this] { FindNext(true); });

  auto* orderBar = new QWidget(this);
  orderBar->setObjectName("orderBar");
  auto* orderLayout = new QHBoxLayout(orderBar);
  orderLayout->setContentsMargins(2, 0, 2, 0);
  orderLayout->addWidget(new QLabel("Order:", orderBar));
  cborder = new QComboBox(orderBar);
  cborder->setObjectName("cborder");
  cborder->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  orderLayout->addWidget(cborder);
  orderLayout->addStretch();
  layout->addWidget(orderBar);
  connect(cborder, &QComboBox::currentIndexChanged, this, &TTablePage::cborderChange);
  maintenance->OnIndexAttached = [this] { FillOrders(); };

  link_ = std::make_unique<ActiveLink>(*this);
  link_->SetDataSet(&host_.Cursor());
  DBGrid1 = new TDBGrid(this);
  DBGrid1->SetDataSource(&host_.Data());
  DBGrid1->OnTitleClick = [this](int column) { TitleClick(column); };
  layout->addWidget(DBGrid1, 1);
}

void TTablePage::btnopenClick() {
  const std::string& last = host_.LastFile();
  const std::string start = last.empty() ? host_.Workspace().TablesFolder() : ExtractFilePath(last);
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
  FillOrders();
  if (!open) {
    lblCodePage->clear();
    return;
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
  FillOrders();  // the tags were compiled again for the page
}

void TTablePage::TitleClick(int column) {
  TDbf& cursor = host_.Cursor();
  if (!cursor.Active() || column < 0 || column >= cursor.FieldCount()) return;
  const std::string name = cursor.Fields(column).FieldName();
  const std::vector<std::string> current = cursor.OrderFieldNames();
  const bool same = current.size() == 1 && current.front() == name;
  std::vector<std::string> fields{name};
  bool descending = false;
  if (same && !cursor.OrderDescending()) {
    descending = true;
  } else if (same) {
    fields.clear();
  }
  host_.ChangeRecordSet([&] { cursor.SetOrder(fields, descending); });
  DBGrid1->ShowOrder();
  ShowOrderInUse();
}

void TTablePage::FillOrders() {
  const QSignalBlocker quiet(cborder);
  cborder->clear();
  cborder->addItem("physical", -1);
  TDbf& cursor = host_.Cursor();
  const bool open = cursor.Active();
  cborder->setEnabled(open);
  if (open) {
    const std::vector<TAttachedTag>& tags = cursor.Indexes().Tags();
    auto* items = qobject_cast<QStandardItemModel*>(cborder->model());
    for (std::size_t i = 0; i < tags.size(); ++i) {
      cborder->addItem(FromAnsi(tags[i].Info().name), static_cast<int>(i));
      if (tags[i].understood) continue;
      // Listed, so that the user learns why the tag cannot be chosen.
      const int row = cborder->count() - 1;
      cborder->setItemData(row, FromAnsi("Not understood: " + tags[i].notUnderstood),
                           Qt::ToolTipRole);
      if (items != nullptr) items->item(row)->setEnabled(false);
    }
  }
  ShowOrderInUse();
}

void TTablePage::ShowOrderInUse() {
  const QSignalBlocker quiet(cborder);
  TDbf& cursor = host_.Cursor();
  int shown = 0;
  if (cursor.Active() && !cursor.OrderTagName().empty()) {
    const std::vector<TAttachedTag>& tags = cursor.Indexes().Tags();
    for (int row = 1; row < cborder->count(); ++row) {
      const TAttachedTag& tag = tags.at(static_cast<std::size_t>(cborder->itemData(row).toInt()));
      if (tag.Info().name == cursor.OrderTagName()) {
        shown = row;
        break;
      }
    }
  }
  cborder->setCurrentIndex(shown);
}

void TTablePage::cborderChange(int item) {
  TDbf& cursor = host_.Cursor();
  if (!cursor.Active() || item < 0) return;
  const int tag = cborder->itemData(item).toInt();
  host_.ChangeRecordSet([&] {
    if (tag < 0) {
      cursor.SetTagOrder("");
      return;
    }
    // By the entry rather than the name: two files may hold tags of one name.
    const TAttachedTag& chosen = cursor.Indexes().Tags().at(static_cast<std::size_t>(tag));
    cursor.SetTagOrder(*chosen.reader, chosen.tag);
  });
  DBGrid1->ShowOrder();
  ShowOrderInUse();
}

void TTablePage::chkdeletedClick() {
  TDbf& cursor = host_.Cursor();
  const bool show = chkdeleted->isChecked();
  host_.ChangeRecordSet([&] {
    cursor.SetShowDeleted(show);
    if (cursor.Active()) cursor.Refresh();
  });
}

void TTablePage::btnrecallClick() {
  TDbf& cursor = host_.Cursor();
  if (!cursor.Active()) return;
  try {
    if (!cursor.IsEmpty() && !cursor.IsDeleted() && cursor.State() == TDataSetState::dsBrowse) {
      host_.ShowStatus("The current record is not deleted");
      return;
    }
    cursor.Recall();
  } catch (const EAbort&) {
  } catch (const std::exception& error) {
    host_.ShowError(error.what());
  }
}

void TTablePage::ShowFindBar() {
  findBar->show();
  txtfind->setFocus();
  txtfind->selectAll();
}

bool TTablePage::FindNext(bool backward) {
  if (!findBar->isVisible()) {
    ShowFindBar();
    return false;
  }
  GridModel* model = DBGrid1->Model();
  const std::string text = ToAnsi(txtfind->text());
  if (text.empty()) return false;
  const int column =
      cbfindwhere->currentIndex() == 0 ? std::max(DBGrid1->currentIndex().column(), 0) : -1;
  const int from = model->CurrentRow();
  const int row = model->FindRow(from, backward, text, column, chkmatchcase->isChecked(),
                                 chkwholefield->isChecked());
  if (row < 0) {
    lblfind->setText("Not found");
    return false;
  }
  lblfind->clear();
  const QModelIndex target =
      model->index(row, column >= 0 ? column : std::max(DBGrid1->currentIndex().column(), 0));
  DBGrid1->setCurrentIndex(target);
  DBGrid1->scrollTo(target);
  return model->CurrentRow() == row;
}

bool TTablePage::eventFilter(QObject* watched, QEvent* event) {
  if (watched == txtfind && event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
      FindNext(key->modifiers() & Qt::ShiftModifier);
      return true;
    }
    if (key->key() == Qt::Key_Escape) {
      findBar->hide();
      DBGrid1->setFocus();
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace tavlo
