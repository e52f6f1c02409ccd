// TwebsafeF: the "Websafe Colors" window of the colour picker — the palette Image1, the label
// Label1 and preview Shape4 that follow the pointer, and three slots (RadioButton1..3 above
// swatches Shape1..3 and edit boxes Edit1..3); a button release over the palette fills the
// chosen slot. It only shows and collects colours: TqelWebSafe decides what a pick returns.
#pragma once

#include <QColor>
#include <QDialog>
#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace tavlo {

// A filled rectangle of one colour with a thin border (the swatches and the preview).
class TColorShape : public QFrame {
  Q_OBJECT
 public:
  explicit TColorShape(QWidget* parent = nullptr);
  void SetColor(const QColor& color);
  QColor Color() const { return color_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QColor color_ = Qt::black;
};

// The palette picture; reports pointer moves and button releases in picture coordinates.
class TWebSafeImage : public QWidget {
  Q_OBJECT
 public:
  explicit TWebSafeImage(QWidget* parent = nullptr);
  const QImage& Picture() const { return picture_; }
  QSize sizeHint() const override;

 signals:
  void MouseMove(int x, int y);
  void MouseUp(int x, int y);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  QImage picture_;
};

class TwebsafeF : public QDialog {
  Q_OBJECT
 public:
  explicit TwebsafeF(QWidget* parent = nullptr);

  // Pointer over (x, y) of the palette: Label1 shows its colour text, Shape4 its colour.
  void Image1MouseMove(int x, int y);
  // Button released over (x, y): the chosen slot takes the colour and its text.
  void Image1MouseUp(int x, int y);

  // The chosen slot, 0 to 2, and a slot's swatch colour and edit box.
  int ChosenSlot() const;
  QColor SlotColor(int slot) const { return shapes_[slot]->Color(); }
  QLineEdit* SlotEdit(int slot) const { return edits_[slot]; }

  TWebSafeImage* Image1 = nullptr;
  QLabel* Label1 = nullptr;
  TColorShape* Shape4 = nullptr;
  QRadioButton* RadioButton1 = nullptr;
  QRadioButton* RadioButton2 = nullptr;
  QRadioButton* RadioButton3 = nullptr;
  TColorShape* Shape1 = nullptr;
  TColorShape* Shape2 = nullptr;
  TColorShape* Shape3 = nullptr;
  QLineEdit* Edit1 = nullptr;
  QLineEdit* Edit2 = nullptr;
  QLineEdit* Edit3 = nullptr;
  QPushButton* btnOK = nullptr;
  QPushButton* btnCancel = nullptr;

 private:
  QRadioButton* radios_[3] = {};
  TColorShape* shapes_[3] = {};
  QLineEdit* edits_[3] = {};
};

}  // namespace tavlo
