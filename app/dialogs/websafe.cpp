// The web-safe palette's colours and the picker component.
#include "app/dialogs/websafe.h"

#include <QRadioButton>

#include "app/dialogs/websafef.h"
#include "app/host/qtdesktophost.h"

namespace tavlo {

int WebSafeCellAt(int x, int y) {
  const int cell = (x / kWebSafeCellSize) + (y / kWebSafeCellSize) * kWebSafeCellSize;
  if (cell < 0) return 0;
  return cell > kWebSafeCells - 1 ? kWebSafeCells - 1 : cell;
}

QColor WebSafeCellColor(int cell) {
  return QColor((cell / 36) * 51, ((cell / 6) % 6) * 51, (cell % 6) * 51);
}

std::string WebColorText(const QColor& color) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text = "#";
  for (int part : {color.red(), color.green(), color.blue()}) {
    text += kDigits[(part >> 4) & 0xF];
    text += kDigits[part & 0xF];
  }
  return text;
}

TqelWebSafe::TqelWebSafe(QWidget* parent)
    : QObject(parent), dialog_(new TwebsafeF(parent)), dialogAlive_(dialog_) {
  setObjectName("qelWebSafe1");
}

TqelWebSafe::~TqelWebSafe() noexcept {
  if (dialogAlive_) delete dialog_;
}

bool TqelWebSafe::Execute() {
  if (dialog_->exec() != QDialog::Accepted) return false;
  const int slot = dialog_->ChosenSlot();
  Color = dialog_->SlotColor(slot);
  ColorText = ToAnsi(dialog_->SlotEdit(slot)->text());
  return true;
}

}  // namespace tavlo
