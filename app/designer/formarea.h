// TFormArea: the surface a data-entry form lies on (the form area "box" inside its scrolling
// panel). In design mode it shows a dot grid, so the user sees the designer is on.
#pragma once

#include <QPaintEvent>
#include <QPainter>
#include <QWidget>

namespace tavlo {

class TFormArea : public QWidget {
 public:
  explicit TFormArea(QWidget* parent = nullptr) : QWidget(parent) { setAutoFillBackground(true); }
  void SetGridVisible(bool visible) {
    grid_ = visible;
    update();
  }

 protected:
  void paintEvent(QPaintEvent* event) override {
    QWidget::paintEvent(event);
    if (!grid_) return;
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::Mid));
    const QRect area = event->rect();
    for (int y = area.top() - area.top() % 8; y <= area.bottom(); y += 8)
      for (int x = area.left() - area.left() % 8; x <= area.right(); x += 8)
        painter.drawPoint(x, y);
  }

 private:
  bool grid_ = false;
};

}  // namespace tavlo
