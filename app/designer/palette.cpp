// The designer palette and its drawn icons.
#include "app/designer/palette.h"

#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>
#include <cmath>

#include "app/widgets/icons.h"

namespace tavlo {

namespace {

enum Shape {
  kPointer,
  kLabel,
  kEdit,
  kMemo,
  kCheckbox,
  kDelete,
  kSave,
  kSizeLeft,
  kSizeTop,
  kSizeWidth,
  kSizeHeight,
  kMark
};

void Arrow(QPainter& p, QPointF from, QPointF to) {
  p.drawLine(from, to);
  const QPointF d = (to - from) / std::max(1.0, std::hypot((to - from).x(), (to - from).y()));
  const QPointF n(-d.y(), d.x());
  QPainterPath head;
  head.moveTo(to);
  head.lineTo(to - d * 3.5 + n * 2.5);
  head.lineTo(to - d * 3.5 - n * 2.5);
  head.closeSubpath();
  p.fillPath(head, p.pen().color());
}

void PaintShape(QPainter& p, int shape) {
  const QColor& ink = kIconInk;
  const QColor& blue = kIconBlue;
  const QColor& red = kIconRed;
  const QColor paper(0xff, 0xff, 0xff);
  QPen pen(ink, 1.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
  p.setPen(pen);
  switch (shape) {
    case kPointer: {
      QPainterPath path;
      path.moveTo(4, 2);
      path.lineTo(4, 13);
      path.lineTo(6.8, 10.4);
      path.lineTo(9, 14.5);
      path.lineTo(10.8, 13.6);
      path.lineTo(8.7, 9.6);
      path.lineTo(12.3, 9.4);
      path.closeSubpath();
      p.fillPath(path, paper);
      p.drawPath(path);
      break;
    }
    case kLabel: {
      QFont font("Sans Serif");
      font.setPixelSize(12);
      font.setBold(true);
      p.setFont(font);
      p.drawText(QRectF(0, 0, 16, 16), Qt::AlignCenter, "A");
      p.drawLine(QPointF(3, 14.5), QPointF(13, 14.5));
      break;
    }
    case kEdit:
      p.setBrush(paper);
      p.drawRect(QRectF(1.5, 4.5, 13, 7));
      p.setPen(QPen(blue, 1.2));
      p.drawLine(QPointF(4, 6.5), QPointF(4, 9.5));
      p.setPen(QPen(ink, 1));
      p.drawLine(QPointF(6, 8), QPointF(11, 8));
      break;
    case kMemo:
      p.setBrush(paper);
      p.drawRect(QRectF(1.5, 1.5, 13, 13));
      p.setPen(QPen(ink, 1));
      for (double y : {4.5, 7.0, 9.5}) p.drawLine(QPointF(3.5, y), QPointF(10.5, y));
      p.drawLine(QPointF(3.5, 12), QPointF(8, 12));
      p.fillRect(QRectF(12, 2, 2, 12), QColor(0xba, 0xbd, 0xb6));
      break;
    case kCheckbox:
      p.setBrush(paper);
      p.drawRect(QRectF(2.5, 2.5, 11, 11));
      p.setPen(QPen(blue, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
      p.drawPolyline(QPolygonF({QPointF(4.5, 8), QPointF(7, 10.5), QPointF(11.5, 5)}));
      break;
    case kDelete:
      p.setPen(QPen(red, 2.2, Qt::SolidLine, Qt::RoundCap));
      p.drawLine(QPointF(4, 4), QPointF(12, 12));
      p.drawLine(QPointF(12, 4), QPointF(4, 12));
      break;
    case kSave:
      p.setBrush(blue);
      p.setPen(QPen(blue.darker(130), 1));
      p.drawRoundedRect(QRectF(2, 2, 12, 12), 1.5, 1.5);
      p.fillRect(QRectF(4.5, 2.5, 7, 4.5), paper);
      p.fillRect(QRectF(4, 9.5, 8, 4), paper.darker(110));
      break;
    case kSizeLeft:
    case kSizeTop:
    case kSizeWidth:
    case kSizeHeight: {
      p.setPen(QPen(ink.lighter(200), 1, Qt::DashLine));
      p.drawRect(QRectF(4.5, 4.5, 9, 9));
      p.setPen(QPen(blue, 1.4, Qt::SolidLine, Qt::RoundCap));
      if (shape == kSizeLeft) {
        p.drawLine(QPointF(4.5, 2), QPointF(4.5, 15));
        Arrow(p, QPointF(1, 9), QPointF(4, 9));
      } else if (shape == kSizeTop) {
        p.drawLine(QPointF(2, 4.5), QPointF(15, 4.5));
        Arrow(p, QPointF(9, 1), QPointF(9, 4));
      } else if (shape == kSizeWidth) {
        Arrow(p, QPointF(9, 9), QPointF(4.8, 9));
        Arrow(p, QPointF(9, 9), QPointF(13.2, 9));
      } else {
        Arrow(p, QPointF(9, 9), QPointF(9, 4.8));
        Arrow(p, QPointF(9, 9), QPointF(9, 13.2));
      }
      break;
    }
    case kMark:
      p.setPen(QPen(ink, 1, Qt::DashLine));
      p.drawRect(QRectF(2.5, 2.5, 11, 11));
      p.setPen(QPen(red, 1.2));
      p.setBrush(red);
      p.drawEllipse(QPointF(2.5, 2.5), 1.6, 1.6);
      p.drawEllipse(QPointF(13.5, 13.5), 1.6, 1.6);
      break;
  }
}

// The palette's buttons show 20 pixels: that size is drawn too, never scaled from another.
QIcon PaletteIcon(int shape) {
  return PaintedIcon([shape](QPainter& p) { PaintShape(p, shape); }, {16, 20, 24, 32, 48});
}

}  // namespace

TDesignPalette::TDesignPalette(QWidget* parent) : QFrame(parent), tools_(new QButtonGroup(this)) {
  setObjectName("pnlPalette");
  setFrameShape(QFrame::StyledPanel);
  setFrameShadow(QFrame::Raised);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(3, 3, 3, 3);
  layout->setSpacing(1);
  tools_->setExclusive(true);
  btnPointer = AddButton("btnPointer", "Pointer", kPointer, true);
  btnLabel = AddButton("btnLabel", "Label", kLabel, true);
  btnEdit = AddButton("btnEdit", "Edit box", kEdit, true);
  btnMemo = AddButton("btnMemo", "Memo", kMemo, true);
  btnCheckbox = AddButton("btnCheckbox", "Check box", kCheckbox, true);
  auto separator = [&] {
    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    layout->addWidget(line);
  };
  separator();
  btnDelete = AddButton("btnDelete", "Delete control", kDelete);
  btnSaveForm = AddButton("btnSaveForm", "Save form", kSave);
  separator();
  btnSizeLeft = AddButton("btnSizeLeft", "Size left", kSizeLeft);
  btnSizeTop = AddButton("btnSizeTop", "Size top", kSizeTop);
  btnSizeWidth = AddButton("btnSizeWidth", "Size width", kSizeWidth);
  btnSizeHeight = AddButton("btnSizeHeight", "Size height", kSizeHeight);
  btnMarkSize = AddButton("btnMarkSize", "Mark size", kMark);
  layout->addStretch(1);
  btnPointer->setChecked(true);
}

QToolButton* TDesignPalette::AddButton(const char* objectName, const QString& hint, int shape,
                                       bool tool) {
  auto* button = new QToolButton(this);
  button->setObjectName(objectName);
  button->setToolTip(hint);
  button->setAccessibleName(hint);
  button->setIcon(PaletteIcon(shape));
  button->setIconSize(QSize(20, 20));
  button->setAutoRaise(true);
  button->setFocusPolicy(Qt::NoFocus);
  if (tool) {
    button->setCheckable(true);
    tools_->addButton(button);
  }
  layout()->addWidget(button);
  return button;
}

void TDesignPalette::ShowTool(int paletteMode) {
  QToolButton* const byMode[] = {btnPointer, btnLabel, btnEdit, btnCheckbox, btnMemo};
  if (paletteMode >= 0 && paletteMode < 5) byMode[paletteMode]->setChecked(true);
}

}  // namespace tavlo
