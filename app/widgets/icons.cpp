// Themed icons with drawn fallbacks.
#include "app/widgets/icons.h"

#include <QDir>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace tavlo {
namespace {

void Triangle(QPainter& p, double x, double y, double w, double h, bool pointsLeft) {
  QPainterPath path;
  if (pointsLeft) {
    path.moveTo(x + w, y);
    path.lineTo(x, y + h / 2);
    path.lineTo(x + w, y + h);
  } else {
    path.moveTo(x, y);
    path.lineTo(x + w, y + h / 2);
    path.lineTo(x, y + h);
  }
  path.closeSubpath();
  p.fillPath(path, p.brush());
}

void Paint(QPainter& p, IconShape shape) {
  const QColor& ink = kIconInk;
  const QColor& blue = kIconBlue;
  const QColor& green = kIconGreen;
  const QColor& red = kIconRed;
  p.setBrush(ink);
  QPen pen(ink, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
  p.setPen(pen);
  switch (shape) {
    case IconShape::First:
      p.fillRect(QRectF(3, 3, 2, 10), ink);
      Triangle(p, 5, 3, 8, 10, true);
      break;
    case IconShape::Prior:
      Triangle(p, 4, 3, 8, 10, true);
      break;
    case IconShape::Next:
      Triangle(p, 4, 3, 8, 10, false);
      break;
    case IconShape::Last:
      Triangle(p, 3, 3, 8, 10, false);
      p.fillRect(QRectF(11, 3, 2, 10), ink);
      break;
    case IconShape::Insert:
    case IconShape::New:
      p.setPen(QPen(green, 2.4, Qt::SolidLine, Qt::RoundCap));
      p.drawLine(QPointF(8, 3), QPointF(8, 13));
      p.drawLine(QPointF(3, 8), QPointF(13, 8));
      break;
    case IconShape::Delete:
      p.setPen(QPen(red, 2.4, Qt::SolidLine, Qt::RoundCap));
      p.drawLine(QPointF(3, 8), QPointF(13, 8));
      break;
    case IconShape::Edit:
    case IconShape::Design:
      p.setPen(QPen(ink, 2.2, Qt::SolidLine, Qt::RoundCap));
      p.drawLine(QPointF(4, 12), QPointF(12, 4));
      p.setPen(pen);
      p.drawLine(QPointF(3, 13.5), QPointF(6, 13.5));
      break;
    case IconShape::Post:
      p.setPen(QPen(green, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
      p.drawPolyline(QPolygonF({QPointF(3, 8.5), QPointF(6.5, 12), QPointF(13, 4)}));
      break;
    case IconShape::Cancel:
    case IconShape::Close:
      p.setPen(QPen(red, 2.2, Qt::SolidLine, Qt::RoundCap));
      p.drawLine(QPointF(4, 4), QPointF(12, 12));
      p.drawLine(QPointF(12, 4), QPointF(4, 12));
      break;
    case IconShape::Refresh:
      p.setBrush(Qt::NoBrush);
      p.setPen(QPen(blue, 1.8, Qt::SolidLine, Qt::RoundCap));
      p.drawArc(QRectF(3, 3, 10, 10), 90 * 16, 270 * 16);
      p.setBrush(blue);
      p.setPen(Qt::NoPen);
      Triangle(p, 8, 0.8, 4, 4.4, false);
      break;
    case IconShape::Open:
      p.setPen(QPen(ink, 1));
      p.setBrush(QColor(0xed, 0xd4, 0x00));
      p.drawRect(QRectF(1.5, 4.5, 13, 9));
      p.drawRect(QRectF(1.5, 2.5, 5, 2));
      break;
    case IconShape::Save:
      p.setPen(QPen(ink, 1));
      p.setBrush(blue);
      p.drawRect(QRectF(2.5, 2.5, 11, 11));
      p.setBrush(Qt::white);
      p.drawRect(QRectF(4.5, 2.5, 7, 4));
      break;
    case IconShape::Help:
      p.setBrush(blue);
      p.setPen(Qt::NoPen);
      p.drawEllipse(QRectF(1, 1, 14, 14));
      p.setPen(Qt::white);
      p.setFont(QFont("Sans", 9, QFont::Bold));
      p.drawText(QRectF(1, 1, 14, 14), Qt::AlignCenter, "?");
      break;
    case IconShape::Filter: {
      QPainterPath funnel;
      funnel.moveTo(2, 3);
      funnel.lineTo(14, 3);
      funnel.lineTo(9.5, 8.5);
      funnel.lineTo(9.5, 13.5);
      funnel.lineTo(6.5, 12);
      funnel.lineTo(6.5, 8.5);
      funnel.closeSubpath();
      p.fillPath(funnel, blue);
      break;
    }
    case IconShape::ShowAll:
      p.setPen(QPen(ink, 1.4));
      for (int row = 0; row < 3; ++row)
        p.drawLine(QPointF(3, 4 + row * 4), QPointF(13, 4 + row * 4));
      break;
    case IconShape::Table:
    case IconShape::Form:
    case IconShape::Report:
    case IconShape::Print:
    case IconShape::Color:
      p.setPen(QPen(ink, 1));
      p.setBrush(Qt::white);
      p.drawRect(QRectF(2.5, 2.5, 11, 11));
      p.drawLine(QPointF(2.5, 6), QPointF(13.5, 6));
      p.drawLine(QPointF(7, 6), QPointF(7, 13.5));
      break;
    case IconShape::Info:
      p.setPen(QPen(blue, 1.4));
      p.setBrush(Qt::white);
      p.drawEllipse(QRectF(2, 2, 12, 12));
      p.fillRect(QRectF(7.2, 7, 1.6, 5), blue);
      p.fillRect(QRectF(7.2, 4.2, 1.6, 1.6), blue);
      break;
    case IconShape::Check: {
      p.setPen(QPen(ink, 1.6));
      p.setBrush(Qt::NoBrush);
      p.drawEllipse(QRectF(2, 2, 8, 8));
      p.drawLine(QPointF(9, 9), QPointF(14, 14));
      p.setPen(QPen(green, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
      QPainterPath tick;
      tick.moveTo(3.8, 6);
      tick.lineTo(5.5, 7.8);
      tick.lineTo(8.4, 4.2);
      p.drawPath(tick);
      break;
    }
    case IconShape::Pack:
      p.setPen(QPen(ink, 1));
      p.setBrush(QColor(0xe9, 0xb9, 0x6e));
      p.drawRect(QRectF(2.5, 6.5, 11, 7));
      p.setPen(QPen(red, 2, Qt::SolidLine, Qt::RoundCap));
      p.drawLine(QPointF(5, 2), QPointF(11, 5));
      p.drawLine(QPointF(11, 2), QPointF(5, 5));
      break;
    case IconShape::Import:
    case IconShape::Export: {
      const bool in = shape == IconShape::Import;
      p.setPen(QPen(ink, 1));
      p.setBrush(Qt::white);
      p.drawRect(QRectF(in ? 6.5 : 2.5, 2.5, 7, 11));
      p.setPen(QPen(green, 2, Qt::SolidLine, Qt::RoundCap));
      p.setBrush(green);
      p.drawLine(QPointF(in ? 1.5 : 6.5, 8), QPointF(in ? 8.5 : 13, 8));
      Triangle(p, in ? 8 : 12.5, 5, 3, 6, false);
      break;
    }
  }
}

}  // namespace

QIcon PaintedIcon(const std::function<void(QPainter&)>& paint, std::initializer_list<int> sizes) {
  QIcon icon;
  for (int size : sizes) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 16.0, size / 16.0);
    paint(painter);
    painter.end();
    icon.addPixmap(pixmap);
  }
  return icon;
}

QIcon DrawnIcon(IconShape shape) {
  return PaintedIcon([shape](QPainter& p) { Paint(p, shape); }, {16, 24, 32});
}

QIcon TavloIcon(const char* themeName, IconShape fallback) {
  // No theme name: the drawn icon (a theme may answer yes for the empty name).
  if (themeName != nullptr && *themeName != '\0' && QIcon::hasThemeIcon(themeName))
    return QIcon::fromTheme(themeName);
  return DrawnIcon(fallback);
}

void ChooseIconTheme() {
  if (!QIcon::themeName().isEmpty() && QIcon::hasThemeIcon("go-first")) return;
  for (const char* theme : {"Adwaita", "breeze", "oxygen", "Tango", "hicolor"}) {
    QIcon::setThemeName(theme);
    if (QIcon::hasThemeIcon("go-first")) return;
  }
}

}  // namespace tavlo
