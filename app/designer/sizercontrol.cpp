// The selection frame: handles, hit test, move and resize by mouse and keyboard.
#include "app/designer/sizercontrol.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace tavlo {

namespace {

constexpr int kGrow = 2;              // the frame exceeds the target by this on every side
constexpr int kHandle = 5;            // handle size
constexpr int kSmallest = 2 * kGrow;  // a frame smaller would give the target a negative size

}  // namespace

SizerControl::SizerControl(QWidget* target) : QWidget(target->parentWidget()), target_(target) {
  setObjectName("SizerControl");
  setFocusPolicy(Qt::StrongFocus);
  setMouseTracking(true);
  setGeometry(target->geometry().adjusted(-kGrow, -kGrow, kGrow, kGrow));
  RecomputeHandles();
  show();
  setFocus(Qt::MouseFocusReason);
}

void SizerControl::RecomputeHandles() {
  const int w = width();
  const int h = height();
  const int cx = w / 2;
  const int cy = h / 2;
  // Each as left, top, right, bottom with right and bottom exclusive.
  const int r[8][4] = {
      {0, 0, kHandle, kHandle},         {cx - 3, 0, cx + 2, kHandle},
      {w - kHandle, 0, w, kHandle},     {w - kHandle, cy - 3, w, cy + 2},
      {w - kHandle, h - kHandle, w, h}, {cx - 3, h - kHandle, cx + 2, h},
      {0, h - kHandle, kHandle, h},     {0, cy - 3, kHandle, cy + 2},
  };
  for (int i = 0; i < 8; ++i)
    handles_[i] = QRect(QPoint(r[i][0], r[i][1]), QPoint(r[i][2] - 1, r[i][3] - 1));
}

SizerControl::Hit SizerControl::HitTest(const QPoint& point) const {
  Hit hit = Hit::Move;
  for (int i = 0; i < 8; ++i) {
    if (handles_[i].contains(point)) hit = static_cast<Hit>(i + 1);
  }
  return hit;
}

void SizerControl::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  // A dotted line in the gap around the control, so its own border stays visible.
  painter.setPen(QPen(QColor(0, 0, 0, 150), 1, Qt::DotLine));
  painter.drawRect(rect().adjusted(1, 1, -2, -2));
  for (const QRect& handle : handles_) painter.fillRect(handle, Qt::black);
}

void SizerControl::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  RecomputeHandles();
  ApplyToTarget();
}

void SizerControl::moveEvent(QMoveEvent* event) {
  QWidget::moveEvent(event);
  ApplyToTarget();
}

void SizerControl::ApplyToTarget() {
  if (target_ == nullptr) return;
  const QRect bounds = geometry().adjusted(kGrow, kGrow, -kGrow, -kGrow);
  if (target_->geometry() == bounds) return;
  target_->setGeometry(bounds);
  target_->update();
  if (OnTargetChanged) OnTargetChanged();
}

void SizerControl::UpdateCursor(Hit hit) {
  switch (hit) {
    case Hit::TopLeft:
    case Hit::BottomRight:
      setCursor(Qt::SizeFDiagCursor);
      break;
    case Hit::TopRight:
    case Hit::BottomLeft:
      setCursor(Qt::SizeBDiagCursor);
      break;
    case Hit::Top:
    case Hit::Bottom:
      setCursor(Qt::SizeVerCursor);
      break;
    case Hit::Left:
    case Hit::Right:
      setCursor(Qt::SizeHorCursor);
      break;
    case Hit::Move:
      setCursor(Qt::SizeAllCursor);
      break;
  }
}

void SizerControl::BeginDrag(const QPointF& globalPos) {
  dragHit_ = HitTest(mapFromGlobal(globalPos).toPoint());
  dragStart_ = globalPos;
  startBounds_ = geometry();
  dragging_ = true;
  UpdateCursor(dragHit_);
  grabMouse();
}

void SizerControl::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  setFocus(Qt::MouseFocusReason);
  BeginDrag(event->globalPosition());
}

void SizerControl::mouseMoveEvent(QMouseEvent* event) {
  if (dragging_)
    DragTo(event->globalPosition());
  else
    UpdateCursor(HitTest(event->position().toPoint()));
}

void SizerControl::mouseReleaseEvent(QMouseEvent* event) {
  if (!dragging_ || event->button() != Qt::LeftButton) return;
  DragTo(event->globalPosition());
  dragging_ = false;
  releaseMouse();
}

void SizerControl::DragTo(const QPointF& globalPos) {
  const QPoint delta = (globalPos - dragStart_).toPoint();
  QRect bounds = startBounds_;
  if (dragHit_ == Hit::Move) {
    bounds.translate(delta);
  } else {
    const bool left =
        dragHit_ == Hit::TopLeft || dragHit_ == Hit::Left || dragHit_ == Hit::BottomLeft;
    const bool right =
        dragHit_ == Hit::TopRight || dragHit_ == Hit::Right || dragHit_ == Hit::BottomRight;
    const bool top = dragHit_ == Hit::TopLeft || dragHit_ == Hit::Top || dragHit_ == Hit::TopRight;
    const bool bottom =
        dragHit_ == Hit::BottomLeft || dragHit_ == Hit::Bottom || dragHit_ == Hit::BottomRight;
    // The dragged border stops where the frame would become too small; the other stays.
    if (left) bounds.setLeft(qMin(startBounds_.left() + delta.x(), bounds.right() + 1 - kSmallest));
    if (right)
      bounds.setRight(qMax(startBounds_.right() + delta.x(), bounds.left() + kSmallest - 1));
    if (top) bounds.setTop(qMin(startBounds_.top() + delta.y(), bounds.bottom() + 1 - kSmallest));
    if (bottom)
      bounds.setBottom(qMax(startBounds_.bottom() + delta.y(), bounds.top() + kSmallest - 1));
  }
  setGeometry(bounds);
}

void SizerControl::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Delete) {
    if (OnDeleteKey) OnDeleteKey();
    return;
  }
  int dx = 0;
  int dy = 0;
  switch (event->key()) {
    case Qt::Key_Left:
      dx = -1;
      break;
    case Qt::Key_Right:
      dx = 1;
      break;
    case Qt::Key_Up:
      dy = -1;
      break;
    case Qt::Key_Down:
      dy = 1;
      break;
    default:
      QWidget::keyPressEvent(event);
      return;
  }
  if (target_ == nullptr) return;
  // The keys work on the control as it is now (a size button may have changed it since the
  // frame was placed); the frame then follows it.
  QRect bounds = target_->geometry();
  if (event->modifiers() & Qt::ShiftModifier)
    bounds.setSize(QSize(qMax(0, bounds.width() + dx), qMax(0, bounds.height() + dy)));
  else
    bounds.translate(dx, dy);
  target_->setGeometry(bounds);
  setGeometry(bounds.adjusted(-kGrow, -kGrow, kGrow, kGrow));
  if (OnTargetChanged) OnTargetChanged();
}

void SizerControl::focusOutEvent(QFocusEvent* event) {
  QWidget::focusOutEvent(event);
  // Another window (the properties window, a dialog, a menu) takes the focus only for a
  // while; the frame goes when a widget of this window takes it.
  if (event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason)
    return;
  if (dragging_) releaseMouse();
  deleteLater();
}

}  // namespace tavlo
