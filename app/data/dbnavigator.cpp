// The record navigator.
#include "app/data/dbnavigator.h"

#include <QHBoxLayout>

#include "app/widgets/icons.h"
#include "platform/desktophost.h"

namespace tavlo {

class TDBNavigator::Link : public TDataLink {
 public:
  explicit Link(TDBNavigator& owner) : owner_(owner) {}
  void ActiveChanged() override { owner_.EnableButtons(); }
  void DataSetChanged() override { owner_.EnableButtons(); }
  void DataSetScrolled(int) override { owner_.EnableButtons(); }
  void StateChanged() override { owner_.EnableButtons(); }
  void RecordChanged(TField*) override { owner_.EnableButtons(); }
  TDataSource* source = nullptr;

 private:
  TDBNavigator& owner_;
};

namespace {

struct ButtonInfo {
  const char* name;
  const char* hint;
  IconShape shape;
};

constexpr std::array<ButtonInfo, 10> kButtons{{
    {"First", "First record", IconShape::First},
    {"Prior", "Prior record", IconShape::Prior},
    {"Next", "Next record", IconShape::Next},
    {"Last", "Last record", IconShape::Last},
    {"Insert", "Insert record", IconShape::Insert},
    {"Delete", "Delete record", IconShape::Delete},
    {"Edit", "Edit record", IconShape::Edit},
    {"Post", "Post edit", IconShape::Post},
    {"Cancel", "Cancel edit", IconShape::Cancel},
    {"Refresh", "Refresh data", IconShape::Refresh},
}};

}  // namespace

TDBNavigator::TDBNavigator(QWidget* parent)
    : QWidget(parent), link_(std::make_unique<Link>(*this)) {
  setObjectName("DBNavigator1");
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(1);
  for (std::size_t i = 0; i < kButtons.size(); ++i) {
    auto* button = new QToolButton(this);
    button->setObjectName(QString("nav") + kButtons[i].name);
    button->setToolTip(kButtons[i].hint);
    button->setIcon(DrawnIcon(kButtons[i].shape));
    button->setIconSize(QSize(18, 18));
    button->setAutoRaise(true);
    // Clicking must not take focus from a cell being edited; the link stores it first.
    button->setFocusPolicy(Qt::NoFocus);
    const auto which = static_cast<NavigateButton>(i);
    connect(button, &QToolButton::clicked, this, [this, which] { BtnClick(which); });
    layout->addWidget(button);
    buttons_[i] = button;
  }
  EnableButtons();
}

TDBNavigator::~TDBNavigator() noexcept = default;

void TDBNavigator::SetDataSource(TDataSource* source) {
  link_->source = source;
  link_->SetDataSet(source != nullptr ? source->DataSet() : nullptr);
  EnableButtons();
}

void TDBNavigator::EnableButtons() {
  TDataSet* data = link_->DataSet();
  const bool active = data != nullptr && data->Active();
  const bool editing = active && IsEditing(data->State());
  const bool up = active && !data->AtStart();
  const bool down = active && !data->AtEnd();
  // Nothing shown (an empty table, a filter that accepts nothing or failed): no record to
  // delete, edit or post.
  const bool empty = !active || data->IsEmpty();
  Button(NavigateButton::nbFirst)->setEnabled(up);
  Button(NavigateButton::nbPrior)->setEnabled(up);
  Button(NavigateButton::nbNext)->setEnabled(down);
  Button(NavigateButton::nbLast)->setEnabled(down);
  Button(NavigateButton::nbInsert)->setEnabled(active);
  Button(NavigateButton::nbDelete)->setEnabled(active && !empty);
  Button(NavigateButton::nbEdit)->setEnabled(active && !editing && !empty);
  Button(NavigateButton::nbPost)->setEnabled(editing);
  Button(NavigateButton::nbCancel)->setEnabled(editing);
  Button(NavigateButton::nbRefresh)->setEnabled(active);
}

void TDBNavigator::BtnClick(NavigateButton which) {
  TDataSet* data = link_->DataSet();
  if (data == nullptr) return;
  try {
    switch (which) {
      case NavigateButton::nbFirst:
        data->First();
        break;
      case NavigateButton::nbPrior:
        data->Prior();
        break;
      case NavigateButton::nbNext:
        data->Next();
        break;
      case NavigateButton::nbLast:
        data->Last();
        break;
      case NavigateButton::nbInsert:
        data->Insert();
        break;
      case NavigateButton::nbDelete:
        if (ConfirmDelete && Host().Ask("Delete record?", false) != Answer::Yes) break;
        data->Delete();
        break;
      case NavigateButton::nbEdit:
        data->Edit();
        break;
      case NavigateButton::nbPost:
        data->Post();
        break;
      case NavigateButton::nbCancel:
        data->Cancel();
        break;
      case NavigateButton::nbRefresh:
        data->Refresh();
        break;
    }
  } catch (const EAbort&) {
  } catch (const std::exception& error) {
    if (link_->source != nullptr) link_->source->ReportError(error.what());
  }
  EnableButtons();
}

}  // namespace tavlo
