// TDBNavigator: the record navigator on a data source (first, prior, next, last, insert,
// delete, edit, post, cancel, refresh), its buttons enabled as the cursor's state allows.
// A failed action's message is shown in a message box; the navigator stays usable.
#pragma once

#include <QToolButton>
#include <QWidget>
#include <array>

#include "app/data/datasource.h"

namespace tavlo {

enum class NavigateButton {
  nbFirst,
  nbPrior,
  nbNext,
  nbLast,
  nbInsert,
  nbDelete,
  nbEdit,
  nbPost,
  nbCancel,
  nbRefresh
};

class TDBNavigator : public QWidget {
  Q_OBJECT
 public:
  explicit TDBNavigator(QWidget* parent = nullptr);
  ~TDBNavigator() noexcept override;

  void SetDataSource(TDataSource* source);
  QToolButton* Button(NavigateButton which) const {
    return buttons_[static_cast<std::size_t>(which)];
  }
  // Asks "Delete record?" before deleting (on by default).
  bool ConfirmDelete = true;

  // Runs the button's action as a click does.
  void BtnClick(NavigateButton which);
  // Brings every button's enabled state in line with the cursor.
  void EnableButtons();

 private:
  class Link;
  std::unique_ptr<Link> link_;
  std::array<QToolButton*, 10> buttons_{};
};

}  // namespace tavlo
