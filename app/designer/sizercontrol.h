// SizerControl: the designer's selection frame around one form control. It lies over the
// control, 2 pixels larger on every side, paints only its eight 5 x 5 black handles and a
// thin outline so the control shows through, and takes the keyboard focus. Dragging inside
// it moves it, dragging a handle resizes it from that border or corner; either way the
// control follows with the frame's bounds shrunk by 2. It frees itself when the focus goes
// to another widget of the window (not when another window is activated, so the properties
// window can be used while it stays). Arrow keys move the control by a pixel, Shift+arrow
// resizes it, Delete asks the designer to delete it.
#pragma once

#include <QPointer>
#include <QWidget>
#include <array>
#include <functional>

namespace tavlo {

class SizerControl : public QWidget {
  Q_OBJECT
 public:
  // Which part of the frame a point is on; the handles in the order of Handles().
  enum class Hit { Move, TopLeft, Top, TopRight, Right, BottomRight, Bottom, BottomLeft, Left };

  // A frame for target, in target's parent; shown and focused at once.
  explicit SizerControl(QWidget* target);

  QWidget* Target() const { return target_; }
  // The eight handle rectangles for the frame's current size, top-left first, clockwise.
  const std::array<QRect, 8>& Handles() const { return handles_; }
  // The part at a point of the frame: the last handle containing it wins; else Move.
  Hit HitTest(const QPoint& point) const;
  // Starts a move or resize as if the left button went down at globalPos (the designer
  // calls it for the press that selected the control, so one gesture selects and drags).
  void BeginDrag(const QPointF& globalPos);

  // Called when the Delete key is pressed.
  std::function<void()> OnDeleteKey;
  // Called after every change the frame made to the target's bounds.
  std::function<void()> OnTargetChanged;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  void RecomputeHandles();
  void ApplyToTarget();
  void UpdateCursor(Hit hit);
  void DragTo(const QPointF& globalPos);

  QPointer<QWidget> target_;
  std::array<QRect, 8> handles_;
  bool dragging_ = false;
  Hit dragHit_ = Hit::Move;
  QPointF dragStart_;  // global position of the press
  QRect startBounds_;  // frame bounds at the press
};

}  // namespace tavlo
