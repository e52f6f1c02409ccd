// The footer's link label.
#include "app/widgets/linklabel.h"

#include <QMouseEvent>

#include "app/host/qtdesktophost.h"

namespace tavlo {

TLinkLabel::TLinkLabel(QWidget* parent) : QLabel(parent) {
  setCursor(Qt::PointingHandCursor);
  setStyleSheet("QLabel { color: #0000ee; text-decoration: underline; }");
  setFocusPolicy(Qt::TabFocus);
}

void TLinkLabel::mouseReleaseEvent(QMouseEvent* event) {
  QLabel::mouseReleaseEvent(event);
  if (event->button() != Qt::LeftButton || UrlOrEmail.isEmpty()) return;
  Host().ShellOpen(ToAnsi(UrlOrEmail), "", "");
}

}  // namespace tavlo
