// The "Websafe Colors" window.
#include "app/dialogs/websafef.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>

#include "app/dialogs/websafe.h"
#include "app/host/qtdesktophost.h"

namespace tavlo {

// ---- TColorShape ---------------------------------------------------------------------------

TColorShape::TColorShape(QWidget* parent) : QFrame(parent) {
  setFrameShape(QFrame::Box);
  setMinimumSize(24, 24);
}

void TColorShape::SetColor(const QColor& color) {
  color_ = color;
  update();
}

void TColorShape::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  painter.fillRect(rect(), color_);
  painter.setPen(palette().color(QPalette::Dark));
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
  QFrame::paintEvent(event);
}

// ---- TWebSafeImage -------------------------------------------------------------------------

TWebSafeImage::TWebSafeImage(QWidget* parent)
    : QWidget(parent), picture_(kWebSafePictureSize, kWebSafePictureSize, QImage::Format_RGB32) {
  picture_.fill(Qt::white);
  QPainter painter(&picture_);
  for (int cell = 0; cell < kWebSafeCells; ++cell) {
    painter.fillRect((cell % 16) * kWebSafeCellSize, (cell / 16) * kWebSafeCellSize,
                     kWebSafeCellSize, kWebSafeCellSize, WebSafeCellColor(cell));
  }
  setFixedSize(kWebSafePictureSize, kWebSafeShownHeight);
  setMouseTracking(true);
  setCursor(Qt::CrossCursor);
}

QSize TWebSafeImage::sizeHint() const {
  return {kWebSafePictureSize, kWebSafeShownHeight};
}

void TWebSafeImage::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawImage(QPoint(0, 0), picture_, QRect(0, 0, kWebSafePictureSize, kWebSafeShownHeight));
}

void TWebSafeImage::mouseMoveEvent(QMouseEvent* event) {
  const QPoint point = event->position().toPoint();
  // A drag that left the picture reports nothing: the label follows the palette only.
  if (rect().contains(point)) emit MouseMove(point.x(), point.y());
}

void TWebSafeImage::mouseReleaseEvent(QMouseEvent* event) {
  const QPoint point = event->position().toPoint();
  if (rect().contains(point)) emit MouseUp(point.x(), point.y());
}

// ---- TwebsafeF -----------------------------------------------------------------------------

TwebsafeF::TwebsafeF(QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint) {
  setObjectName("websafeF");
  setWindowTitle("Websafe Colors");
  setModal(true);

  Image1 = new TWebSafeImage(this);
  Image1->setObjectName("Image1");
  Label1 = new QLabel("Color", this);
  Label1->setObjectName("Label1");
  Label1->setAlignment(Qt::AlignCenter);
  QFont labelFont = Label1->font();
  labelFont.setFamily("monospace");
  labelFont.setStyleHint(QFont::Monospace);
  labelFont.setBold(true);
  Label1->setFont(labelFont);
  Shape4 = new TColorShape(this);
  Shape4->setObjectName("Shape4");
  Shape4->SetColor(Qt::white);
  Shape4->setFixedSize(112, 112);

  auto* slotGrid = new QGridLayout;
  slotGrid->setHorizontalSpacing(6);
  for (int slot = 0; slot < 3; ++slot) {
    const QString number = QString::number(slot + 1);
    radios_[slot] = new QRadioButton(number, this);
    radios_[slot]->setObjectName("RadioButton" + number);
    shapes_[slot] = new TColorShape(this);
    shapes_[slot]->setObjectName("Shape" + number);
    shapes_[slot]->setFixedSize(72, 40);
    edits_[slot] = new QLineEdit("#000000", this);
    edits_[slot]->setObjectName("Edit" + number);
    edits_[slot]->setFixedWidth(72);
    edits_[slot]->setFont(labelFont);
    edits_[slot]->setAccessibleName("Colour text " + number);
    slotGrid->addWidget(radios_[slot], 0, slot, Qt::AlignHCenter);
    slotGrid->addWidget(shapes_[slot], 1, slot, Qt::AlignHCenter);
    slotGrid->addWidget(edits_[slot], 2, slot, Qt::AlignHCenter);
  }
  radios_[0]->setChecked(true);
  RadioButton1 = radios_[0];
  RadioButton2 = radios_[1];
  RadioButton3 = radios_[2];
  Shape1 = shapes_[0];
  Shape2 = shapes_[1];
  Shape3 = shapes_[2];
  Edit1 = edits_[0];
  Edit2 = edits_[1];
  Edit3 = edits_[2];

  btnOK = new QPushButton("OK", this);
  btnOK->setObjectName("btnOK");
  btnOK->setDefault(true);
  btnCancel = new QPushButton("Cancel", this);
  btnCancel->setObjectName("btnCancel");
  connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(Image1, &TWebSafeImage::MouseMove, this, &TwebsafeF::Image1MouseMove);
  connect(Image1, &TWebSafeImage::MouseUp, this, &TwebsafeF::Image1MouseUp);

  auto* right = new QVBoxLayout;
  right->addWidget(Label1);
  right->addWidget(Shape4, 0, Qt::AlignHCenter);
  right->addStretch(1);
  right->addLayout(slotGrid);
  auto* top = new QHBoxLayout;
  top->addWidget(Image1, 0, Qt::AlignTop);
  top->addSpacing(8);
  top->addLayout(right);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(btnOK);
  buttons->addWidget(btnCancel);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

int TwebsafeF::ChosenSlot() const {
  for (int slot = 0; slot < 3; ++slot)
    if (radios_[slot]->isChecked()) return slot;
  return 0;
}

void TwebsafeF::Image1MouseMove(int x, int y) {
  const QColor color = WebSafeCellColor(WebSafeCellAt(x, y));
  Label1->setText(FromAnsi(WebColorText(color)));
  Shape4->SetColor(color);
}

void TwebsafeF::Image1MouseUp(int x, int y) {
  const QColor color = WebSafeCellColor(WebSafeCellAt(x, y));
  const int slot = ChosenSlot();
  shapes_[slot]->SetColor(color);
  edits_[slot]->setText(FromAnsi(WebColorText(color)));
}

}  // namespace tavlo
