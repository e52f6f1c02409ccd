// TLinkLabel: underlined blue text with a hand cursor; a click hands UrlOrEmail to the
// desktop's "open" operation. A label without a target does nothing.
#pragma once

#include <QLabel>

namespace tavlo {

class TLinkLabel : public QLabel {
  Q_OBJECT
 public:
  explicit TLinkLabel(QWidget* parent = nullptr);
  QString UrlOrEmail;

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;
};

}  // namespace tavlo
